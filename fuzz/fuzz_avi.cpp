// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: an arbitrary file opened through the image-source factory
// as a sequence, counted, and a few of its images read, forwards and back, as
// the program reads them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/FastDIB.h"
#include "sequence/Sequence.h"

namespace {
const std::string& InputPath() {
  static const std::string path = "/tmp/fuzz_avi_" + std::to_string(::getpid()) + ".avi";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) return 0;

  TSequence seq;
  if (!seq.Open(path)) return 0;
  const TSourceFacts& facts = seq.Source()->Facts();
  if (facts.ImageCount != seq.ImageCount || facts.SkippedEntries < 0) __builtin_trap();
  const int n = seq.ImageCount;
  for (const int i : {0, 1, n - 1, n / 2, 0}) {
    if (i < 0 || i >= n) continue;
    seq.CurrentIndex = i;
    TFastDIB img;
    if (seq.FetchImage(img) != seq.FetchError().ok()) __builtin_trap();
    if (seq.FetchError().ok() && (img.Width() < 1 || img.AbsHeight < 1 || !img.Bits)) __builtin_trap();
    if (seq.FetchError().ok() && img.Bpp() != 24 && img.Bpp() != 32) __builtin_trap();
  }
  return 0;
}
