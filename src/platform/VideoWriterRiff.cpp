// SPDX-License-Identifier: GPL-3.0-or-later
// Uncompressed AVI written the way capture programs write it: one video
// stream, bottom-up DIB rows in "00db" chunks, an idx1 index with every frame
// a key frame. The header is written first with zero counts and patched when
// the file is closed.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/ByteOrder.h"
#include "platform/VideoWriterImpl.h"

namespace {

// Byte by byte: GCC 12 misreads a range insert here as an overflow (-Wstringop-overflow).
void PutTag(std::vector<uint8_t>& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
}

class TRiffWriter final : public TVideoWriter::TImpl {
 public:
  ~TRiffWriter() override {
    if (F_) std::fclose(F_);
  }

  bool Open(const std::string& path, const TVideoWriterOptions& o, std::string* error) override {
    O_ = o;
    switch (o.Codec) {
      case TVideoCodec::Pal8: Bpp_ = 8; break;
      case TVideoCodec::Rgb555: Bpp_ = 16; break;
      case TVideoCodec::Bgr24: Bpp_ = 24; break;
      default: Bpp_ = 32; break;
    }
    if (o.Codec == TVideoCodec::Pal8) {
      Palette_ = o.Palette.empty() ? GreyPalette(o.PaletteColours) : o.Palette;
      if (Palette_.empty() || Palette_.size() > 256) return Fail(error, "palette must have 1 to 256 colours");
      Grey_ = o.Palette.empty();
      if (o.ClrUsedZero) Palette_.resize(256);
    }
    Stride_ = ((o.Width * Bpp_ + 31) & ~31) / 8;
    Frame_.resize(size_t(Stride_) * size_t(o.Height));
    F_ = std::fopen(path.c_str(), "wb");
    if (!F_) return SysFail(error, "cannot create the video file");
    return WriteHeader(0) || SysFail(error, "cannot write the video file");
  }

  bool WriteFrame(const TFastDIB& f, std::string* error) override {
    if (f.Width() != O_.Width || f.AbsHeight != O_.Height) return Fail(error, "frame size differs from the video's");
    const bool sameDepth = f.Bpp() == Bpp_ && (Bpp_ != 16 || f.BitFormat == 555);
    if (!sameDepth && !(f.Bpp() == 24 && (Bpp_ != 8 || Grey_)))
      return Fail(error, "frame depth cannot be written in this format");
    for (int y = 0; y < O_.Height; ++y) {
      uint8_t* out = Frame_.data() + size_t(O_.Height - 1 - y) * size_t(Stride_);  // bottom-up
      const uint8_t* in = f.Scanlines[size_t(y)];
      if (sameDepth) {
        std::memcpy(out, in, size_t(Stride_));
        continue;
      }
      for (int x = 0; x < O_.Width; ++x) {
        const uint8_t b = in[3 * x], g = in[3 * x + 1], r = in[3 * x + 2];
        if (Bpp_ == 8) {
          const int lum = (299 * r + 587 * g + 114 * b + 500) / 1000;
          const int n = O_.PaletteColours;
          out[x] = uint8_t((lum * (n - 1) + 127) / 255);
        } else if (Bpp_ == 16) {
          const uint16_t v = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
          out[2 * x] = uint8_t(v);
          out[2 * x + 1] = uint8_t(v >> 8);
        } else {
          out[4 * x] = b;
          out[4 * x + 1] = g;
          out[4 * x + 2] = r;
          out[4 * x + 3] = 0;
        }
      }
    }
    return WriteChunk(Frame_.data(), uint32_t(Frame_.size())) || SysFail(error, "cannot write the video file");
  }

  bool WriteDropped(std::string* error) override {
    return WriteChunk(nullptr, 0) || SysFail(error, "cannot write the video file");
  }

  bool Close(std::string* error) override {
    if (!F_) return true;
    bool ok = true;
    std::vector<uint8_t> idx;
    PutTag(idx, "idx1");
    le::Append32(idx, uint32_t(Index_.size() * 16));
    for (const auto& [offset, size] : Index_) {
      PutTag(idx, "00db");
      le::Append32(idx, 0x10);  // AVIIF_KEYFRAME
      le::Append32(idx, offset);
      le::Append32(idx, size);
    }
    ok = std::fwrite(idx.data(), 1, idx.size(), F_) == idx.size();
    const long end = std::ftell(F_);
    ok = ok && end > 0 && std::fseek(F_, 0, SEEK_SET) == 0 && WriteHeader(uint32_t(end));
    ok = std::fclose(F_) == 0 && ok;
    F_ = nullptr;
    return ok || SysFail(error, "cannot finish the video file");
  }

 private:
  static bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
  }
  // With the system's reason (the errno of the failed call).
  static bool SysFail(std::string* error, const std::string& message) {
    const int err = errno;
    return Fail(error, err ? message + ": " + std::strerror(err) : message);
  }

  // RIFF, hdrl (avih, strl with strh and strf) and the movi list header.
  bool WriteHeader(uint32_t fileSize) {
    const uint32_t frames = uint32_t(Index_.size());
    const uint32_t palBytes = uint32_t(Palette_.size() * 4);
    const uint32_t strlSize = 4 + (8 + 56) + (8 + 40 + palBytes);
    const uint32_t hdrlSize = 4 + (8 + 56) + (8 + strlSize);
    std::vector<uint8_t> b;
    PutTag(b, "RIFF");
    le::Append32(b, fileSize ? fileSize - 8 : 0);
    PutTag(b, "AVI ");
    PutTag(b, "LIST");
    le::Append32(b, hdrlSize);
    PutTag(b, "hdrl");
    PutTag(b, "avih");
    le::Append32(b, 56);
    le::Append32(b, uint32_t(1000000 / std::max(1, O_.FrameRate)));
    le::Append32(b, uint32_t(Frame_.size()) * uint32_t(std::max(1, O_.FrameRate)));
    le::Append32(b, 0);
    le::Append32(b, 0x10);  // AVIF_HASINDEX
    le::Append32(b, frames);
    le::Append32(b, 0);
    le::Append32(b, 1);
    le::Append32(b, uint32_t(Frame_.size()));
    le::Append32(b, uint32_t(O_.Width));
    le::Append32(b, uint32_t(O_.Height));
    for (int i = 0; i < 4; ++i) le::Append32(b, 0);
    PutTag(b, "LIST");
    le::Append32(b, strlSize);
    PutTag(b, "strl");
    PutTag(b, "strh");
    le::Append32(b, 56);
    PutTag(b, "vids");
    PutTag(b, "DIB ");
    le::Append32(b, 0);
    le::Append32(b, 0);  // priority, language
    le::Append32(b, 0);
    le::Append32(b, 1);
    le::Append32(b, uint32_t(std::max(1, O_.FrameRate)));
    le::Append32(b, 0);
    le::Append32(b, frames);
    le::Append32(b, uint32_t(Frame_.size()));
    le::Append32(b, 0xFFFFFFFFu);
    le::Append32(b, 0);
    le::Append16(b, 0);
    le::Append16(b, 0);
    le::Append16(b, uint32_t(O_.Width));
    le::Append16(b, uint32_t(O_.Height));
    PutTag(b, "strf");
    le::Append32(b, 40 + palBytes);
    le::Append32(b, 40);
    le::Append32(b, uint32_t(O_.Width));
    le::Append32(b, uint32_t(O_.Height));  // positive: bottom-up rows
    le::Append16(b, 1);
    le::Append16(b, uint32_t(Bpp_));
    le::Append32(b, 0);  // BI_RGB
    le::Append32(b, uint32_t(Frame_.size()));
    le::Append32(b, 0);
    le::Append32(b, 0);
    le::Append32(b, O_.Codec == TVideoCodec::Pal8 && !O_.ClrUsedZero ? uint32_t(Palette_.size()) : 0);
    le::Append32(b, 0);
    for (const TRGBQuad& q : Palette_) {
      b.push_back(q.rgbBlue);
      b.push_back(q.rgbGreen);
      b.push_back(q.rgbRed);
      b.push_back(0);
    }
    PutTag(b, "LIST");
    le::Append32(b, MoviBytes_);
    PutTag(b, "movi");
    MoviTag_ = uint32_t(b.size() - 4);
    return std::fwrite(b.data(), 1, b.size(), F_) == b.size();
  }

  bool WriteChunk(const uint8_t* data, uint32_t size) {
    if (uint64_t(MoviBytes_) + 8 + size + (size & 1) > 0xF0000000u) return false;  // RIFF's 4 GiB limit
    const uint32_t offset = MoviBytes_;  // from the "movi" tag, as idx1 counts
    std::vector<uint8_t> h;
    PutTag(h, "00db");
    le::Append32(h, size);
    bool ok = std::fwrite(h.data(), 1, 8, F_) == 8 && (size == 0 || std::fwrite(data, 1, size, F_) == size);
    if (size & 1) ok = ok && std::fputc(0, F_) != EOF;
    Index_.push_back({offset, size});
    MoviBytes_ += 8 + size + (size & 1);
    return ok;
  }

  TVideoWriterOptions O_;
  FILE* F_ = nullptr;
  int Bpp_ = 24;
  int Stride_ = 0;
  bool Grey_ = false;
  std::vector<TRGBQuad> Palette_;
  std::vector<uint8_t> Frame_;
  std::vector<std::pair<uint32_t, uint32_t>> Index_;  // (offset from the movi tag, size)
  uint32_t MoviBytes_ = 4;  // the movi list's size: its tag and the chunks so far
  uint32_t MoviTag_ = 0;
};

}  // namespace

std::unique_ptr<TVideoWriter::TImpl> MakeRiffWriter() { return std::make_unique<TRiffWriter>(); }
