// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: BMP reading from memory, then a save and reload of
// whatever loaded, and a conversion to 24 bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "image/Convert.h"
#include "image/FastDIB.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A few bytes of run-length data may ask for a picture of hundreds of
  // megabytes (legitimately: the reader caps it at kMaxPixels). Zeroing such
  // buffers would take all the time, so the fuzzer keeps to smaller ones; the
  // caps themselves are covered by the unit tests.
  if (size >= 26 && data[14] == 40) {
    int64_t w = int32_t(uint32_t(data[18]) | uint32_t(data[19]) << 8 | uint32_t(data[20]) << 16 | uint32_t(data[21]) << 24);
    int64_t h = int32_t(uint32_t(data[22]) | uint32_t(data[23]) << 8 | uint32_t(data[24]) << 16 | uint32_t(data[25]) << 24);
    if (h < 0) h = -h;
    if (w * h > (int64_t(1) << 22)) return 0;
  }
  TFastDIB d;
  if (!d.LoadFromMemory(data, size)) return 0;
  if (d.Width() < 1 || d.AbsHeight < 1 || !d.Bits) std::abort();

  TFastDIB rgb;
  rgb.SetSize(d.Width(), d.AbsHeight, 24, 0);
  ConvertTo24(rgb, d);

  std::ostringstream os;
  d.SaveToStream(os);
  const std::string s = os.str();
  TFastDIB back;
  if (!back.LoadFromMemory(reinterpret_cast<const uint8_t*>(s.data()), s.size())) std::abort();
  if (back.Width() != d.Width() || back.AbsHeight != d.AbsHeight || back.Bpp() != d.Bpp()) std::abort();
  TFastDIB rgb2;
  rgb2.SetSize(d.Width(), d.AbsHeight, 24, 0);
  ConvertTo24(rgb2, back);
  if (std::memcmp(rgb.Bits, rgb2.Bits, rgb.Size()) != 0) std::abort();
  return 0;
}
