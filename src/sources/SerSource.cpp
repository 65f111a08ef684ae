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

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/Demosaic.h"
#include "sources/SerFormat.h"

namespace {

uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Reads exactly `size` bytes at `offset`; false on an error or an early end.
bool ReadAt(int fd, void* data, size_t size, uint64_t offset) {
  auto* p = static_cast<uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pread(fd, p, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
    offset += uint64_t(n);
  }
  return true;
}

// Grey samples to blue-green-red triples.
void ExpandGreyPlain(const uint8_t* s, uint8_t* d, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4, d += 12) {
    // Four pixels as three 32-bit words: a a a b | b b c c | c d d d.
    const uint32_t a = s[x], b = s[x + 1], c = s[x + 2], e = s[x + 3];
    const uint32_t w0 = a | a << 8 | a << 16 | b << 24, w1 = b | b << 8 | c << 16 | c << 24, w2 = c | e << 8 | e << 16 | e << 24;
    std::memcpy(d, &w0, 4);
    std::memcpy(d + 4, &w1, 4);
    std::memcpy(d + 8, &w2, 4);
  }
  for (; x < n; ++x, d += 3) d[0] = d[1] = d[2] = s[x];
}

#if defined(__x86_64__)
__attribute__((target("ssse3"))) void ExpandGreySsse3(const uint8_t* s, uint8_t* d, int n) {
  const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  int x = 0;
  for (; x + 16 <= n; x += 16, d += 48) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(g, m0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_shuffle_epi8(g, m1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm_shuffle_epi8(g, m2));
  }
  ExpandGreyPlain(s + x, d, n - x);
}
#endif

void ExpandGrey(const uint8_t* s, uint8_t* d, int n) {
#if defined(__x86_64__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return ExpandGreySsse3(s, d, n);
#endif
  ExpandGreyPlain(s, d, n);
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
    if (uint64_t(st.st_size) < ser::kHeaderSize || !ReadAt(Fd_, h, sizeof h, 0) ||
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

    // The frame buffer only when there is a frame: its size is then bounded
    // by the file's, whatever the header claims.
    if (count > 0) Frame_.resize((FrameBytes_ + 1) / 2);  // uint16_t storage keeps 16-bit samples aligned
    if (SampleBytes_ == 2) {
      bool big = endianField != 1;
      if (count > 0) {
        if (!ReadAt(Fd_, Frame_.data(), FrameBytes_, ser::kHeaderSize)) return Fail("cannot read the first frame");
        big = DetectBigEndian(Frame_.data(), Samples_, Planes_ == 3 ? 3 : 2, Depth_, endianField);
      }
      BuildLut16(big);
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
    // One read per image.
    if (!ReadAt(Fd_, Frame_.data(), FrameBytes_, ser::kHeaderSize + uint64_t(index) * FrameBytes_))
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " cannot be read (file shortened?)");
    dest.SetSize(Width_, Height_, 24, 0);
    if (!dest.Bits || dest.Width() != Width_ || dest.AbsHeight != Height_ || dest.Bpp() != 24)
      return TStatus::Fail(Path_ + ": not enough memory for image " + std::to_string(index + 1));
    Convert(dest);
    return TStatus::Ok();
  }

 private:
  TStatus Fail(const std::string& why) const { return TStatus::Fail(Path_ + ": " + why); }

  // Output byte of every sample value: value * 255 / (2^depth - 1), rounded;
  // values above the depth's range (damaged data) give 255.
  static uint8_t Scale(uint32_t value, uint32_t maxValue) {
    if (value >= maxValue) return 255;
    return uint8_t((value * 255 + maxValue / 2) / maxValue);
  }
  void BuildLut8() {
    const uint32_t maxValue = (1u << Depth_) - 1;
    Lut_.resize(256);
    for (uint32_t v = 0; v < 256; ++v) Lut_[v] = Scale(v, maxValue);
    Identity_ = Depth_ == 8;
  }
  // Indexed by the sample as it lies in memory, so the lookup also swaps bytes.
  void BuildLut16(bool bigEndian) {
    const uint32_t maxValue = (1u << Depth_) - 1;
    const bool swap = bigEndian == (std::endian::native == std::endian::little);
    Lut_.resize(65536);
    for (uint32_t raw = 0; raw < 65536; ++raw) Lut_[raw] = Scale(swap ? Swap16(uint16_t(raw)) : raw, maxValue);
    Identity_ = false;
  }

  // Samples of row y, as 8-bit values.
  const uint8_t* Row8(int y) {
    const size_t rowSamples = size_t(Width_) * size_t(Planes_);
    if (SampleBytes_ == 1 && Identity_) return Bytes() + size_t(y) * rowSamples;
    Line_.resize(rowSamples);
    // Local pointers: stores through uint8_t* may alias the vectors' own fields.
    const uint8_t* lut = Lut_.data();
    uint8_t* out = Line_.data();
    if (SampleBytes_ == 1) {
      const uint8_t* s = Bytes() + size_t(y) * rowSamples;
      for (size_t i = 0; i < rowSamples; ++i) out[i] = lut[s[i]];
    } else {
      const uint16_t* s = Frame_.data() + size_t(y) * rowSamples;
      for (size_t i = 0; i < rowSamples; ++i) out[i] = lut[s[i]];
    }
    return Line_.data();
  }
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(Frame_.data()); }

  void Convert(TFastDIB& dest) {
    if (Planes_ == 1 && Colour_ != ser::Mono) {
      const uint8_t* raw = Bytes();
      if (SampleBytes_ == 2 || !Identity_) {
        Plane_.resize(Samples_);
        for (int y = 0; y < Height_; ++y) std::memcpy(&Plane_[size_t(y) * size_t(Width_)], Row8(y), size_t(Width_));
        raw = Plane_.data();
      }
      const TBayerPattern pattern = Colour_ == ser::BayerRggb   ? TBayerPattern::RGGB
                                    : Colour_ == ser::BayerGrbg ? TBayerPattern::GRBG
                                    : Colour_ == ser::BayerGbrg ? TBayerPattern::GBRG
                                                                : TBayerPattern::BGGR;
      DemosaicBilinear(raw, Width_, Height_, Width_, pattern, dest);
      return;
    }
    for (int y = 0; y < Height_; ++y) {
      const uint8_t* s = Row8(y);
      uint8_t* d = dest.Scanlines[size_t(y)];
      if (Colour_ == ser::Mono) {
        ExpandGrey(s, d, Width_);
      } else if (Colour_ == ser::Bgr) {
        std::memcpy(d, s, size_t(Width_) * 3);
      } else {
        for (int x = 0; x < Width_; ++x, d += 3, s += 3) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
        }
      }
    }
  }

  std::string Path_;
  int Fd_ = -1;
  TSourceFacts Facts_;
  int32_t Colour_ = 0, Depth_ = 8, Width_ = 0, Height_ = 0;
  int Planes_ = 1, SampleBytes_ = 1;
  size_t Samples_ = 0, FrameBytes_ = 0;
  bool Identity_ = true;
  std::vector<uint16_t> Frame_;   // the last frame read, as stored
  std::vector<uint8_t> Lut_;      // sample as stored -> output byte
  std::vector<uint8_t> Line_;     // one row scaled to 8 bits
  std::vector<uint8_t> Plane_;    // a Bayer mosaic scaled to 8 bits
};

}  // namespace

TStatus OpenSerSource(const std::string& path, std::unique_ptr<TImageSource>& source) {
  source.reset();
  auto ser = std::make_unique<TSerSource>();
  TStatus status = ser->Open(path);
  if (status) source = std::move(ser);
  return status;
}
