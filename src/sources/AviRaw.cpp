// SPDX-License-Identifier: GPL-3.0-or-later
// Uncompressed DIB video (BI_RGB and BI_BITFIELDS at 8, 16, 24 and 32 bits):
// the chunk already is the pixel block of a DIB. Its rows are read straight
// into place, bottom-up as captures store them, or top-down when the stream
// says so (a negative biHeight, as ffmpeg writes raw RGB). 24 and 32 bits keep
// their depth; 8 bits (with the stream's colour table) and 16 bits (always
// 5-5-5) are converted to 24.
#include <algorithm>
#include <cstring>

#include "image/Convert.h"
#include "sources/AviDecode.h"

namespace avi {
namespace {

class TRawDecoder final : public TFrameDecoder {
 public:
  TRawDecoder(const TBitmapHeader& format, const std::vector<uint8_t>& strf) : Format_(format) {
    Stride_ = DibStride(format.Width, format.BitCount);
    Pixels_ = Stride_ * format.AbsHeight;
    if (format.BitCount == 8) BuildPalette(strf);
  }

  bool ReadImage(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                 TFastDIB& dest) override {
    const TChunkRef* ref = PictureChunk(frames, index);
    if (!ref) return false;
    uint8_t h[8];
    if (!file.ReadAt(ref->Pos - 8, h, 8) || !IsStream0Data(le::U32(h)) || le::U32(h + 4) < ref->Size) return false;
    const int w = Format_.Width, hgt = Format_.AbsHeight, bits = Format_.BitCount;
    const bool direct = bits == 24 || bits == 32;
    TFastDIB& rowsOf = direct ? dest : Packed_;
    rowsOf.SetSize(w, hgt, bits, bits == 16 ? 555 : 0);
    if (!rowsOf.Bits || rowsOf.Width() != w || rowsOf.AbsHeight != hgt || rowsOf.Bpp() != bits) return false;
    if (bits == 8) std::memcpy(static_cast<void*>(Packed_.Colors), Palette_.data(), Palette_.size() * 4);
    // File rows go straight to their places: reversed when the file is bottom-up.
    RowOrder_.resize(size_t(hgt));
    for (int32_t y = 0; y < hgt; ++y)
      RowOrder_[size_t(y)] = rowsOf.Scanlines[size_t(Format_.TopDown ? y : hgt - 1 - y)];
    if (!file.ReadRowsAt(ref->Pos, RowOrder_.data(), RowOrder_.size(), size_t(Stride_))) return false;
    if (direct) return true;
    dest.SetSize(w, hgt, 24, 0);
    if (!dest.Bits || dest.Width() != w || dest.AbsHeight != hgt) return false;
    ConvertTo24(dest, Packed_);
    return true;
  }

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
    Palette_.assign(entries, TRGBQuad{});
    const size_t headerBytes = std::clamp<size_t>(Format_.HeaderSize, 40, strf.size());
    const size_t avail = std::min<size_t>((strf.size() - headerBytes) / 4, entries);
    if (avail > 0) {
      std::memcpy(static_cast<void*>(Palette_.data()), strf.data() + headerBytes, avail * 4);
    } else {
      for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t v = uint8_t(entries > 1 ? i * 255 / (entries - 1) : 0);
        Palette_[i] = TRGBQuad{v, v, v, 0};
      }
    }
  }

  TBitmapHeader Format_;
  int64_t Stride_ = 0;
  int64_t Pixels_ = 0;
  std::vector<TRGBQuad> Palette_;
  TFastDIB Packed_;                // 8- and 16-bit pictures as stored, before conversion
  std::vector<uint8_t*> RowOrder_;
};

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3;

bool IsUncompressedDib(const TBitmapHeader& f) {
  const bool rgb = f.Compression == kBiRgb || f.Compression == kBiBitfields ||
                   f.Compression == le::FourCC("DIB ") || f.Compression == le::FourCC("RGB ");
  return rgb && (f.BitCount == 8 || f.BitCount == 16 || f.BitCount == 24 || f.BitCount == 32);
}

}  // namespace

bool ReadChunk(const TFileReader& file, const TChunkRef& ref, uint8_t* dst) {
  uint8_t h[8];
  if (!file.ReadAt(ref.Pos - 8, h, 8) || !IsStream0Data(le::U32(h)) || le::U32(h + 4) < ref.Size) return false;
  return file.ReadAt(ref.Pos, dst, ref.Size);
}

std::unique_ptr<TFrameDecoder> CreateRawDecoder(const TBitmapHeader& format, const std::vector<uint8_t>& strf) {
  return std::make_unique<TRawDecoder>(format, strf);
}

std::unique_ptr<TFrameDecoder> TFrameDecoder::Create(const TAviContents& contents) {
  TBitmapHeader format;
  if (contents.StreamType != kStreamVideo || contents.Format.size() < 40 ||
      !ReadBitmapHeader(contents.Format.data(), contents.Format.size(), format) || format.HeaderSize < 40)
    return nullptr;
  if (IsUncompressedDib(format)) return CreateRawDecoder(format, contents.Format);
  return CreateCodecDecoder(format, contents.Format);
}

}  // namespace avi
