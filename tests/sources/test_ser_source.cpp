// SPDX-License-Identifier: GPL-3.0-or-later
// SER files written from known pixels and read back; hostile SER files; the reader's sample loops and
// in-place demosaicing against their rules, in every instruction-set form this processor runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "image/Demosaic.h"
#include "sources/SerFormat.h"
#include "sources/SerSource.h"
#include "sources/SerSourceRows.h"
#include "support/VideoFixtures.h"

namespace fs = std::filesystem;
using fixtures::TTempDir;

namespace {

ser::THeader Header(int32_t colour, int w, int h, int depth, int frames) {
  ser::THeader header;
  header.ColourId = colour, header.Width = w, header.Height = h, header.Depth = depth, header.FrameCount = frames;
  return header;
}

constexpr int W = 37, H = 9, kFrames = 3;

// The scene, 8-bit: noise-like for layouts that store every colour, a linear
// ramp for Bayer mosaics (whose interpolation is then exact inside).
TColorBGR Scene(int32_t colour, int f, int y, int x) {
  if (colour >= ser::BayerRggb && colour <= ser::BayerBggr)
    return {uint8_t(200 - 3 * x - 2 * y - f), uint8_t(20 + 5 * y + f), uint8_t(10 + 4 * x + 8 * f)};
  const unsigned n = unsigned(f * 7919 + y * 131 + x * 31);
  const uint8_t grey = uint8_t(n * 37 % 256);
  if (colour == ser::Mono) return {grey, grey, grey};
  return {uint8_t(n * 11 % 256), grey, uint8_t((n * 53 + 255) % 256)};
}

// The stored sample of channel value v (0..255) at depth d: the full range,
// with sensor-like noise in the low bits that still rounds back to v.
uint16_t Stored(uint8_t v, int depth, unsigned n) {
  const int maxValue = (1 << depth) - 1, jitter = maxValue / 600;
  const int s = (v * maxValue + 127) / 255 + int(n * 2654435761u % unsigned(2 * jitter + 1)) - jitter;
  return uint16_t(std::clamp(s, 0, maxValue));
}

uint8_t Channel(TColorBGR c, char which) { return which == 'R' ? c.r : which == 'G' ? c.g : c.b; }

// colour ID, depth, big-endian data, trailer, header endianness field written the wrong way round
using TCase = std::tuple<int32_t, int, bool, bool, bool>;
class SerReadBack : public ::testing::TestWithParam<TCase> {};

TEST_P(SerReadBack, KnownPixelsComeBack) {
  const auto [colour, depth, big, trailer, lying] = GetParam();
  TTempDir dir;
  const fs::path path = dir.File("rb.ser");
  ser::THeader h = Header(colour, W, H, depth, kFrames);
  h.LittleEndian = (big == lying) ? 1 : 0;
  const std::string layout = ser::ColourName(colour);
  const int planes = ser::Planes(colour);
  {
    ser::TWriter writer;
    ASSERT_TRUE(writer.Open(path, h, big).ok());
    std::vector<uint16_t> samples(size_t(W * H * planes));
    for (int f = 0; f < kFrames; ++f) {
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const TColorBGR c = Scene(colour, f, y, x);
          uint16_t* s = &samples[size_t((y * W + x) * planes)];
          if (planes == 3) {
            for (int p = 0; p < 3; ++p) s[p] = Stored(Channel(c, layout[size_t(p)]), depth, unsigned(f + y * 3 + x * 5 + p));
          } else {
            const char filter = colour == ser::Mono ? 'G' : layout[size_t((y & 1) * 2 + (x & 1))];
            s[0] = Stored(Channel(c, filter), depth, unsigned(f * 13 + y * 7 + x));
          }
        }
      const std::vector<uint8_t> bytes(samples.begin(), samples.end());
      ASSERT_TRUE((depth > 8 ? writer.AddFrame(samples.data()) : writer.AddFrame(bytes.data())).ok());
    }
    ASSERT_TRUE(writer.Finish(trailer ? std::vector<int64_t>{1, 2, 3} : std::vector<int64_t>{}).ok());
  }
  std::unique_ptr<TImageSource> source;
  const TStatus opened = OpenSerSource(path, source);
  ASSERT_TRUE(opened.ok()) << opened.Message();
  const TSourceFacts& facts = source->Facts();
  ASSERT_EQ(std::make_tuple(facts.Format, facts.ColourLayout, facts.BitsPerPixel, facts.ImageCount),
            std::make_tuple(std::string("SER"), layout, depth, kFrames));
  TFastDIB image;
  for (int f : {2, 0, 1}) {
    ASSERT_TRUE(source->ReadImage(f, image).ok() && image.Bpp() == 24);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const TColorBGR want = Scene(colour, f, y, x), got = image.Pixels24(y)[x];
        if (planes == 3 || colour == ser::Mono) {
          ASSERT_EQ(got, want) << "frame " << f << " at " << x << "," << y;
          continue;
        }
        const char filter = layout[size_t((y & 1) * 2 + (x & 1))];
        EXPECT_EQ(Channel(got, filter), Channel(want, filter)) << "own colour at " << x << "," << y;
        const bool inside = x > 0 && y > 0 && x < W - 1 && y < H - 1;
        for (char c : {'R', 'G', 'B'})
          EXPECT_LE(std::abs(Channel(got, c) - Channel(want, c)), inside ? 1 : 8) << c << " at " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SerReadBack,
    ::testing::Combine(::testing::Values(ser::Mono, ser::BayerRggb, ser::BayerGrbg, ser::BayerGbrg, ser::BayerBggr,
                                         ser::Rgb, ser::Bgr),
                       ::testing::Values(8, 10, 12, 14, 16), ::testing::Bool(), ::testing::Bool(), ::testing::Values(false)));
// A wrong endianness field: the data's range decides, or at 16 bits the smoothness of a real picture.
INSTANTIATE_TEST_SUITE_P(WrongEndianField, SerReadBack,
                         ::testing::Combine(::testing::Values(ser::Mono, ser::Rgb), ::testing::Values(10, 12, 14),
                                            ::testing::Bool(), ::testing::Values(false), ::testing::Values(true)));
INSTANTIATE_TEST_SUITE_P(WrongEndianFieldSmooth, SerReadBack,
                         ::testing::Combine(::testing::Values(ser::BayerGbrg), ::testing::Values(12, 16), ::testing::Bool(),
                                            ::testing::Values(true), ::testing::Values(true)));

TEST(SerDepth, LowDepthsUseTheirFullRange) {
  TTempDir dir;
  for (int depth = 1; depth <= 7; ++depth) {
    const uint8_t samples[2] = {0, uint8_t((1 << depth) - 1)};
    ser::TWriter writer;
    ASSERT_TRUE(writer.Open(dir.File("low.ser"), Header(ser::Mono, 2, 1, depth, 1), false).ok() &&
                writer.AddFrame(samples).ok() && writer.Finish().ok());
    std::unique_ptr<TImageSource> source;
    TFastDIB image;
    ASSERT_TRUE(OpenSerSource(dir.File("low.ser"), source).ok() && source->ReadImage(0, image).ok());
    EXPECT_EQ(fixtures::PackedBgr(image), (std::vector<uint8_t>{0, 0, 0, 255, 255, 255})) << "depth " << depth;
  }
}

// Damaged and hostile files: refused with a message, or read up to the last whole frame.
struct THostile {
  const char* Name;
  uint32_t Field, Value, Field2, Value2;  // header fields changed (offset 0: none)
  int64_t KeepBytes;                      // file cut to this size (3 frames of 12 bytes + 24 of trailer); -1 keeps all
  int ExpectedCount;                      // -1: refused
};
class SerHostile : public ::testing::TestWithParam<THostile> {};

TEST_P(SerHostile, RefusedOrReadToLastWholeFrame) {
  const THostile& c = GetParam();
  const size_t frame = 4 * 3;
  std::vector<uint8_t> bytes = ser::EncodeHeader(Header(ser::Mono, 4, 3, 8, 3));
  bytes.resize(ser::kHeaderSize + 3 * frame + 24, 7);
  if (c.Field) std::memcpy(&bytes[c.Field], &c.Value, 4);
  if (c.Field2) std::memcpy(&bytes[c.Field2], &c.Value2, 4);
  if (c.KeepBytes >= 0) bytes.resize(size_t(c.KeepBytes));
  TTempDir dir;
  const std::string path = dir.File("hostile.ser");
  fixtures::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  std::unique_ptr<TImageSource> source;
  const TStatus status = OpenSerSource(path, source);
  const bool opens = c.ExpectedCount >= 0;
  ASSERT_EQ(std::make_pair(status.ok(), bool(source)), std::make_pair(opens, opens)) << status.Message();
  if (c.ExpectedCount < 0) {
    EXPECT_NE(status.Message().find(path + ": "), std::string::npos) << status.Message();
    return;
  }
  EXPECT_EQ(source->Facts().ImageCount, c.ExpectedCount);
  TFastDIB image;
  EXPECT_TRUE(c.ExpectedCount == 0 || source->ReadImage(c.ExpectedCount - 1, image).ok());
  EXPECT_FALSE(source->ReadImage(c.ExpectedCount, image).ok());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerHostile,
    ::testing::Values(THostile{"Whole", 0, 0, 0, 0, -1, 3}, THostile{"FrameCount2pow31", 38, 0x80000000u, 0, 0, 178 + 36, 3},
                      THostile{"MoreFramesPromised", 38, 1000, 0, 0, 178 + 36, 3},
                      THostile{"FewerFramesDeclared", 38, 2, 0, 0, -1, 2},
                      THostile{"TruncatedLastFrame", 0, 0, 0, 0, 178 + 2 * 12 + 5, 2},
                      THostile{"TrailerCut", 0, 0, 0, 0, 178 + 36 + 9, 3}, THostile{"HeaderOnly", 0, 0, 0, 0, 178, 0},
                      THostile{"HeaderCut", 0, 0, 0, 0, 100, -1}, THostile{"Depth0", 34, 0, 0, 0, -1, -1},
                      THostile{"Depth17", 34, 17, 0, 0, -1, -1}, THostile{"UnknownColour", 18, 16, 0, 0, -1, -1},
                      THostile{"NegativeWidth", 26, 0xFFFFFFFFu, 0, 0, -1, -1},
                      THostile{"SizeOverflows32Bits", 26, 0x10000u, 30, 0x10000u, -1, -1},
                      THostile{"NotSer", 2, 0x41414141u, 0, 0, -1, -1},
                      THostile{"HugeFrameTinyFile", 26, 16384, 30, 16384, -1, 0}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(SerSimd, DeepSamplesScaleToTheRoundedFullRange) {
  std::vector<uint8_t> in(2 * 65536), out(65536), want(65536), grey(3 * 65535);
  for (uint32_t v = 0; v < 65536; ++v) in[2 * v] = uint8_t(v), in[2 * v + 1] = uint8_t(v >> 8);
  for (int depth = 9; depth <= 16; ++depth)
    for (bool swap : {false, true}) {
      for (uint32_t v = 0, m = (1u << depth) - 1; v < 65536; ++v) {
        const uint32_t s = swap ? (v >> 8 | (v & 255) << 8) : v;
        want[v] = s >= m ? 255 : uint8_t((s * 255 + m / 2) / m);
      }
      for (TSimd simd : SimdLevels()) {
        ScaleDeep(in.data(), 65536, {depth, swap}, out.data(), simd);
        ASSERT_EQ(out, want) << "depth " << depth << " swap " << swap << " form " << int(simd);
        std::copy(in.begin() + 2, in.end(), grey.begin() + 65535);  // samples 1.., unaligned, at the end
        ScaleDeepGrey(grey.data() + 65535, 65535, {depth, swap}, grey.data(), simd);
        for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], want[i / 3 + 1]) << i << " form " << int(simd);
      }
    }
}

// In place, as the reader works: the mosaic at the end of the picture gives what a separate
// mosaic gives (checked against the definition in the image tests).
TEST(SerSimd, DemosaicAndGreyFromTheEndOfThePicture) {
  std::mt19937 random(3);
  for (int w : {1, 2, 3, 17, 34, 40, 66, 131})
    for (int h : {1, 2, 5, 70})
      for (TSimd simd : SimdLevels()) {
        std::vector<uint8_t> raw(size_t(w * h)), grey(3 * raw.size());
        for (uint8_t& b : raw) b = uint8_t(random() % 3 ? random() : (random() & 1) * 255);
        for (int p = 0; p < 4; ++p) {
          TFastDIB got;
          got.SetSize(w, h, 24, 0);
          uint8_t* mosaic = std::copy(raw.begin(), raw.end(), got.Bits + got.Size() - raw.size()) - raw.size();
          DemosaicBilinear(mosaic, w, h, w, TBayerPattern(p), got, simd);
          TFastDIB want;
          want.SetSize(w, h, 24, 0);
          DemosaicBilinear(raw.data(), w, h, w, TBayerPattern(p), want, TSimd::Plain);
          for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(want.Pixels8(y), want.Pixels8(y) + 3 * w, got.Pixels8(y))) << w << "x" << h << " pattern " << p << " row " << y;
        }
        std::copy(raw.begin(), raw.end(), grey.begin() + ptrdiff_t(2 * raw.size()));
        ExpandGrey(grey.data() + 2 * raw.size(), raw.size(), grey.data(), simd);
        for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], raw[i / 3]) << i;
      }
}

}  // namespace
