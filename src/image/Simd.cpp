// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/Simd.h"

TSimd BestSimd() {
  static const TSimd best = [] {
    const std::vector<TSimd> levels = SimdLevels();
    return levels.back();
  }();
  return best;
}

std::vector<TSimd> SimdLevels() {
  std::vector<TSimd> levels{TSimd::Plain};
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("ssse3")) {
    levels.push_back(TSimd::Ssse3);
    if (__builtin_cpu_supports("avx2")) {
      levels.push_back(TSimd::Avx2);
      if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi"))
        levels.push_back(TSimd::Avx512);
    }
  }
#endif
  return levels;
}
