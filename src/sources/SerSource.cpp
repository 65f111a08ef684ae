// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/SerSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "image/Demosaic.h"
#include "sources/FileReader.h"
#include "sources/SerFormat.h"
#include "sources/SerSourceRows.h"

namespace {

uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Whether a loop going forward from `in` to `out` (see SerSourceRows.h) may
// run in place: out is elsewhere, or starts at or before in and ends at or
// before in's end.
bool SafeForward(const uint8_t* in, size_t inBytes, const uint8_t* out, size_t outBytes) {
  const auto i = reinterpret_cast<uintptr_t>(in), o = reinterpret_cast<uintptr_t>(out);
  return o + outBytes <= i || o >= i + inBytes || (o <= i && o + outBytes <= i + inBytes);
}

uint16_t Swap16(uint16_t v) { return uint16_t(v << 8 | v >> 8); }

// Which byte order the 16-bit samples really have. The header's LittleEndian
// field is meant to say it, but capture programs disagree on what its two
// values mean, and many write it the wrong way round. So the data decides
// when it can:
//  1. range: samples of a capture of depth D < 16 never exceed 2^D - 1; when
//     one reading of the first frame keeps every sample in range and the other
//     does not, the first is right;
//  2. smoothness: a real picture changes little from one pixel to the next
//     sample of the same colour (`lag` samples on); read in the wrong order
//     the low byte (noisy) lands in the high byte, so those differences are
//     many times larger. Used when one order is at least four times smoother
//     than the other;
//  3. otherwise (flat or noise-like data), the header field: 1 means
//     little-endian, any other value big-endian.
bool DetectBigEndian(const uint16_t* samples, size_t count, size_t lag, int depth, int32_t headerField) {
  const bool hostLittle = std::endian::native == std::endian::little;
  const uint32_t maxValue = (1u << depth) - 1;
  size_t outAsStored = 0, outSwapped = 0;
  uint64_t roughAsStored = 0, roughSwapped = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint16_t v = samples[i], s = Swap16(v);
    outAsStored += v > maxValue;
    outSwapped += s > maxValue;
    if (i >= lag) {
      roughAsStored += uint64_t(std::abs(int(v) - int(samples[i - lag])));
      roughSwapped += uint64_t(std::abs(int(s) - int(Swap16(samples[i - lag]))));
    }
  }
  bool asStoredIsRight;
  if (outAsStored == 0 && outSwapped > 0) asStoredIsRight = true;
  else if (outSwapped == 0 && outAsStored > 0) asStoredIsRight = false;
  else if (roughAsStored * 4 < roughSwapped) asStoredIsRight = true;
  else if (roughSwapped * 4 < roughAsStored) asStoredIsRight = false;
  else return headerField != 1;
  return asStoredIsRight ? !hostLittle : hostLittle;
}

class TSerSource final : public TImageSource {
 public:
  ~TSerSource() override {
    if (Fd_ >= 0) ::close(Fd_);
  }

  TStatus Open(const std::string& path) {
    Path_ = path;
    Fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd_ < 0) return Fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(Fd_, &st) != 0) return Fail(std::strerror(errno));
    uint8_t h[ser::kHeaderSize];
    if (uint64_t(st.st_size) < ser::kHeaderSize || !PreadFull(Fd_, h, sizeof h, 0) ||
        std::memcmp(h, ser::kFileId, 14) != 0)
      return Fail("not a SER file");
    Colour_ = int32_t(Get32(h + 18));
    const int32_t endianField = int32_t(Get32(h + 22));
    const int32_t width = int32_t(Get32(h + 26)), height = int32_t(Get32(h + 30));
    Depth_ = int32_t(Get32(h + 34));
    const uint32_t declared = Get32(h + 38);
    Planes_ = ser::Planes(Colour_);
    if (Planes_ == 0) return Fail("colour layout " + std::to_string(Colour_) + " is not supported");
    if (Depth_ < 1 || Depth_ > 16) return Fail("pixel depth " + std::to_string(Depth_) + " is not between 1 and 16");
    if (width < 1 || height < 1 || width > TFastDIB::kMaxSide || height > TFastDIB::kMaxSide ||
        int64_t(width) * height > TFastDIB::kMaxPixels)
      return Fail("image size " + std::to_string(width) + " x " + std::to_string(height) + " is not supported");
    Width_ = width;
    Height_ = height;
    SampleBytes_ = Depth_ > 8 ? 2 : 1;
    Samples_ = size_t(width) * size_t(height) * size_t(Planes_);
    FrameBytes_ = Samples_ * SampleBytes_;

    // The images are the whole frames present, never more than the header
    // promises. A header count of 0 (or one beyond any real file, as 2^31)
    // comes from capture programs that stopped before rewriting the header:
    // then the data alone says how many frames there are.
    const uint64_t whole = (uint64_t(st.st_size) - ser::kHeaderSize) / FrameBytes_;
    uint64_t count = whole;
    if (declared >= 1 && declared <= uint32_t(INT32_MAX)) count = std::min<uint64_t>(declared, whole);
    count = std::min<uint64_t>(count, uint64_t(INT32_MAX));

    if (SampleBytes_ == 2) {
      bool big = endianField != 1;
      if (count > 0) {
        // Only when there is a frame: its size is then bounded by the file's, whatever the header claims.
        std::vector<uint16_t> first(Samples_);
        if (!PreadFull(Fd_, first.data(), FrameBytes_, int64_t(ser::kHeaderSize))) return Fail("cannot read the first frame");
        big = DetectBigEndian(first.data(), Samples_, Planes_ == 3 ? 3 : 2, Depth_, endianField);
      }
      Deep_ = TDeepSamples{Depth_, big == (std::endian::native == std::endian::little)};
    } else {
      BuildLut8();
    }
    Facts_.Format = "SER";
    Facts_.ImageCount = int32_t(count);
    Facts_.Width = width;
    Facts_.Height = height;
    Facts_.BitsPerPixel = Depth_;
    Facts_.ColourLayout = ser::ColourName(Colour_);
    return TStatus::Ok();
  }

  const TSourceFacts& Facts() const override { return Facts_; }

  TStatus ReadImage(int index, TFastDIB& dest) override {
    if (index < 0 || index >= Facts_.ImageCount)
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " does not exist");
    dest.SetSize(Width_, Height_, 24, 0);
    if (!dest.Bits || dest.Width() != Width_ || dest.AbsHeight != Height_ || dest.Bpp() != 24)
      return TStatus::Fail(Path_ + ": not enough memory for image " + std::to_string(index + 1));
    // One read per image, into the end of the picture's own memory when the
    // frame fits there (all but 16-bit colour): the picture is then built
    // in place, front to back, and the frame and the picture share one block
    // that stays in the cache.
    uint8_t* frame;
    if (FrameBytes_ <= dest.Size()) {
      frame = dest.Bits + (dest.Size() - FrameBytes_);
    } else {
      Frame_.resize(FrameBytes_);
      frame = Frame_.data();
    }
    if (!PreadFull(Fd_, frame, FrameBytes_, int64_t(ser::kHeaderSize + uint64_t(index) * FrameBytes_)))
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " cannot be read (file shortened?)");
    Convert(frame, dest);
    return TStatus::Ok();
  }

 private:
  TStatus Fail(const std::string& why) const { return TStatus::Fail(Path_ + ": " + why); }

  // Output byte of every 8-bit sample value: value * 255 / (2^depth - 1),
  // rounded; values above the depth's range (damaged data) give 255. Deeper
  // samples follow the same rule (SerSourceRows.h).
  void BuildLut8() {
    const uint32_t maxValue = (1u << Depth_) - 1;
    Lut_.resize(256);
    for (uint32_t v = 0; v < 256; ++v) Lut_[v] = v >= maxValue ? 255 : uint8_t((v * 255 + maxValue / 2) / maxValue);
    Identity_ = Depth_ == 8;
  }

  // n samples of `in` to n bytes (out may be in, or before it as SerSourceRows.h allows).
  void ToBytes(const uint8_t* in, size_t n, uint8_t* out) const {
    if (SampleBytes_ == 2) return ScaleDeep(in, n, Deep_, out, Simd_);
    if (Identity_) {
      if (out != in) std::memmove(out, in, n);
      return;
    }
    const uint8_t* lut = Lut_.data();
    for (size_t i = 0; i < n; ++i) out[i] = lut[in[i]];
  }

  // Row y of the frame, or a copy of it when a forward loop writing `outBytes`
  // at `out` would overwrite samples before reading them.
  const uint8_t* Row(const uint8_t* frame, int y, uint8_t* out, size_t outBytes) {
    const size_t rowBytes = size_t(Width_) * size_t(Planes_) * size_t(SampleBytes_);
    const uint8_t* row = frame + size_t(y) * rowBytes;
    if (SafeForward(row, rowBytes, out, outBytes)) return row;
    Copy_.assign(row, row + rowBytes);
    return Copy_.data();
  }

  // The frame at `frame` (at the end of dest's pixels, or in Frame_) into dest.
  // Rows go top to bottom; the frame's rows never start before the picture
  // rows of the same number, so writing picture row y leaves the frame's
  // later rows alone.
  void Convert(const uint8_t* frame, TFastDIB& dest) {
    const size_t w = size_t(Width_);
    if (Planes_ == 1 && Colour_ != ser::Mono) return ConvertBayer(frame, dest);
    if (Colour_ == ser::Mono && dest.Gap == 0 && (SampleBytes_ == 2 || Identity_)) {
      // Rows without padding: the whole picture in one run.
      const size_t n = w * size_t(Height_);
      if (SampleBytes_ == 2) ScaleDeepGrey(frame, n, Deep_, dest.Bits, Simd_);
      else ExpandGrey(frame, n, dest.Bits, Simd_);
      return;
    }
    for (int y = 0; y < Height_; ++y) {
      uint8_t* d = dest.Scanlines[size_t(y)];
      if (Colour_ == ser::Mono) {
        const uint8_t* s = Row(frame, y, d, 3 * w);
        if (SampleBytes_ == 2) {
          ScaleDeepGrey(s, w, Deep_, d, Simd_);
        } else if (Identity_) {
          ExpandGrey(s, w, d, Simd_);
        } else {
          const uint8_t* lut = Lut_.data();
          for (size_t x = 0; x < w; ++x, d += 3) d[0] = d[1] = d[2] = lut[s[x]];
        }
        continue;
      }
      // Colour: the row as bytes first (in place when it stays in place),
      // then in blue-green-red order.
      const uint8_t* s = Row(frame, y, d, 3 * w);
      const uint8_t* bytes = s;
      if (SampleBytes_ == 2 || !Identity_) {
        Line_.resize(3 * w);
        ToBytes(s, 3 * w, Line_.data());
        bytes = Line_.data();
      }
      if (Colour_ == ser::Bgr) {
        std::memmove(d, bytes, 3 * w);
      } else {
        for (size_t x = 0; x < w; ++x, d += 3, bytes += 3) {
          const uint8_t r = bytes[0], g = bytes[1], b = bytes[2];
          d[0] = b;
          d[1] = g;
          d[2] = r;
        }
      }
    }
  }

  void ConvertBayer(const uint8_t* frame, TFastDIB& dest) {
    const size_t w = size_t(Width_), h = size_t(Height_);
    // The mosaic as 8-bit values at the very end of the picture's memory:
    // built from the last row back, so no row is overwritten before it is
    // read (each mosaic row starts at or after the frame row it comes from).
    uint8_t* mosaic = dest.Bits + (dest.Size() - w * h);
    if (mosaic != frame) {
      for (int y = Height_ - 1; y >= 0; --y) {
        uint8_t* out = mosaic + size_t(y) * w;
        ToBytes(Row(frame, y, out, w), w, out);
      }
    } else if (!Identity_) {
      ToBytes(frame, w * h, mosaic);
    }
    const TBayerPattern pattern = Colour_ == ser::BayerRggb   ? TBayerPattern::RGGB
                                  : Colour_ == ser::BayerGrbg ? TBayerPattern::GRBG
                                  : Colour_ == ser::BayerGbrg ? TBayerPattern::GBRG
                                                              : TBayerPattern::BGGR;
    DemosaicBilinear(mosaic, Width_, Height_, Width_, pattern, dest, Simd_);
  }

  std::string Path_;
  int Fd_ = -1;
  TSourceFacts Facts_;
  int32_t Colour_ = 0, Depth_ = 8, Width_ = 0, Height_ = 0;
  int Planes_ = 1, SampleBytes_ = 1;
  size_t Samples_ = 0, FrameBytes_ = 0;
  bool Identity_ = true;         // 8-bit samples that are their own output byte
  TDeepSamples Deep_;            // 16-bit samples: depth and byte order
  TSimd Simd_ = BestSimd();
  std::vector<uint8_t> Frame_;   // a frame that does not fit in its picture (16-bit colour)
  std::vector<uint8_t> Lut_;     // 8-bit sample -> output byte
  std::vector<uint8_t> Line_;    // one colour row as bytes
  std::vector<uint8_t> Copy_;    // one row that cannot be converted where it lies
};

}  // namespace

TStatus OpenSerSource(const std::string& path, std::unique_ptr<TImageSource>& source) {
  source.reset();
  auto ser = std::make_unique<TSerSource>();
  TStatus status = ser->Open(path);
  if (status) source = std::move(ser);
  return status;
}
