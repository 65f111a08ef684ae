// Uncompressed DIB video (BI_RGB and BI_BITFIELDS at 8, 16, 24 and 32 bits):
// the chunk already is the pixel block of a DIB, so the frame is the stream's
// header, its palette and the chunk's rows, turned bottom-up when the file
// stores them top-down (a negative biHeight, as ffmpeg writes raw RGB).
#include <algorithm>
#include <cstring>

#include "image/FastDIB.h"
#include "platform/VideoFileDecode.h"

namespace avi {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

class TRawDecoder final : public TFrameDecoder {
 public:
  TRawDecoder(const TVideoFormat& format, const std::vector<uint8_t>& strf) : Format_(format) {
    Stride_ = DibStride(format.Width, format.BitCount);
    Pixels_ = Stride_ * format.Height;
    if (format.BitCount == 8) BuildPalette(strf);
  }

  const uint8_t* GetFrame(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                          size_t* size) override {
    *size = 0;
    if (index < 0 || size_t(index) >= frames.size()) return nullptr;
    const int32_t source = frames[size_t(index)].Source;
    if (source < 0) return nullptr;
    const TChunkRef& ref = frames[size_t(source)];
    // Only a chunk of exactly one picture is a frame.
    if (int64_t(ref.Size) != Pixels_) return nullptr;
    if (source != Last_) {
      Last_ = -1;
      if (Dib_.empty()) BuildHeader();
      uint8_t* rows = Dib_.data() + 40 + Palette_.size();
      if (!Format_.TopDown) {
        if (!ReadChunk(file, ref, rows)) return nullptr;
      } else {
        Scratch_.resize(size_t(Pixels_));
        if (!ReadChunk(file, ref, Scratch_.data())) return nullptr;
        for (int32_t y = 0; y < Format_.Height; ++y)
          std::memcpy(rows + int64_t(Format_.Height - 1 - y) * Stride_, Scratch_.data() + int64_t(y) * Stride_,
                      size_t(Stride_));
      }
      Last_ = source;
    }
    *size = Dib_.size();
    return Dib_.data();
  }

  bool GetFrameRows(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                    uint8_t* const* rows) override {
    const TChunkRef* ref = PictureChunk(frames, index);
    if (!ref) return false;
    uint8_t h[8];
    if (!file.ReadAt(ref->Pos - 8, h, 8) || !IsStream0Data(Rl32(h)) || Rl32(h + 4) < ref->Size) return false;
    // File rows go straight to their places: reversed when the file is bottom-up.
    RowOrder_.resize(size_t(Format_.Height));
    for (int32_t y = 0; y < Format_.Height; ++y)
      RowOrder_[size_t(y)] = rows[Format_.TopDown ? y : Format_.Height - 1 - y];
    return file.ReadRowsAt(ref->Pos, RowOrder_.data(), RowOrder_.size(), size_t(Stride_));
  }

  int32_t Width() const override { return Format_.Width; }
  int32_t Height() const override { return Format_.Height; }
  int32_t BitCount() const override { return Format_.BitCount; }

 private:
  // The chunk whose pixels image `index` shows, when it holds exactly one picture.
  const TChunkRef* PictureChunk(const std::vector<TChunkRef>& frames, int32_t index) const {
    if (index < 0 || size_t(index) >= frames.size()) return nullptr;
    const int32_t source = frames[size_t(index)].Source;
    if (source < 0 || int64_t(frames[size_t(source)].Size) != Pixels_) return nullptr;
    return &frames[size_t(source)];
  }

  // The stream's own colour table: biClrUsed entries (256 when 0), at most
  // 256; a file that carries none gets a grey ramp.
  void BuildPalette(const std::vector<uint8_t>& strf) {
    const uint32_t entries = Format_.ClrUsed == 0 ? 256u : std::min<uint32_t>(Format_.ClrUsed, 256u);
    ClrUsedOut_ = Format_.ClrUsed == 0 ? 0u : entries;
    Palette_.assign(size_t(entries) * 4, 0);
    const size_t avail = std::min<size_t>((strf.size() - Format_.HeaderBytes) / 4, entries);
    if (avail > 0) {
      std::memcpy(Palette_.data(), strf.data() + Format_.HeaderBytes, avail * 4);
    } else {
      for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t v = uint8_t(entries > 1 ? i * 255 / (entries - 1) : 0);
        Palette_[i * 4] = Palette_[i * 4 + 1] = Palette_[i * 4 + 2] = v;
      }
    }
  }

  void BuildHeader() {
    Dib_.assign(40 + Palette_.size() + size_t(Pixels_), 0);
    uint8_t* h = Dib_.data();
    PutLe32(h, 40);
    PutLe32(h + 4, uint32_t(Format_.Width));
    PutLe32(h + 8, uint32_t(Format_.Height));
    h[12] = 1;
    h[14] = uint8_t(Format_.BitCount);
    PutLe32(h + 20, uint32_t(Pixels_));
    PutLe32(h + 32, ClrUsedOut_);
    if (!Palette_.empty()) std::memcpy(h + 40, Palette_.data(), Palette_.size());
  }

  TVideoFormat Format_;
  int64_t Stride_ = 0;
  int64_t Pixels_ = 0;
  uint32_t ClrUsedOut_ = 0;
  std::vector<uint8_t> Palette_;
  std::vector<uint8_t> Dib_;
  std::vector<uint8_t> Scratch_;
  std::vector<uint8_t*> RowOrder_;
  int32_t Last_ = -1;  // entry whose pixels Dib_ holds
};

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

bool IsUncompressedDib(const TVideoFormat& f) {
  const bool rgb = f.Compression == kBiRgb || f.Compression == kBiBitfields ||
                   f.Compression == MakeFourCC('D', 'I', 'B', ' ') || f.Compression == MakeFourCC('R', 'G', 'B', ' ');
  return rgb && (f.BitCount == 8 || f.BitCount == 16 || f.BitCount == 24 || f.BitCount == 32);
}

}  // namespace

bool ReadVideoFormat(const std::vector<uint8_t>& strf, TVideoFormat& out) {
  if (strf.size() < 40) return false;
  const uint8_t* h = strf.data();
  const int64_t width = int32_t(Rl32(h + 4));
  const int64_t height = int32_t(Rl32(h + 8));
  out.Width = int32_t(width);
  out.Height = int32_t(height < 0 ? -height : height);
  out.TopDown = height < 0;
  out.BitCount = Rl16(h + 14);
  out.Compression = Rl32(h + 16);
  out.ClrUsed = Rl32(h + 32);
  out.HeaderBytes = std::clamp<size_t>(Rl32(h), 40, strf.size());
  const int64_t absHeight = height < 0 ? -height : height;
  return width >= 1 && absHeight >= 1 && width <= TFastDIB::kMaxSide && absHeight <= TFastDIB::kMaxSide &&
         width * absHeight <= TFastDIB::kMaxPixels;
}

bool ReadChunk(const TFileReader& file, const TChunkRef& ref, uint8_t* dst) {
  uint8_t h[8];
  if (!file.ReadAt(ref.Pos - 8, h, 8) || !IsStream0Data(Rl32(h)) || Rl32(h + 4) < ref.Size) return false;
  return file.ReadAt(ref.Pos, dst, ref.Size);
}

std::unique_ptr<TFrameDecoder> CreateRawDecoder(const TVideoFormat& format, const std::vector<uint8_t>& strf) {
  return std::make_unique<TRawDecoder>(format, strf);
}

std::unique_ptr<TFrameDecoder> TFrameDecoder::Create(const TAviContents& contents) {
  TVideoFormat format;
  if (contents.Info.fccType != streamtypeVIDEO || !ReadVideoFormat(contents.Format, format)) return nullptr;
  if (IsUncompressedDib(format)) return CreateRawDecoder(format, contents.Format);
  return CreateCodecDecoder(format, contents.Format);
}

}  // namespace avi
