// SPDX-License-Identifier: GPL-3.0-or-later
// Sample loops of the SER reader: stored samples to 8-bit values and grey
// blue-green-red triples. Every loop goes from the first sample to the last,
// reading a group of samples before writing what they give, so `out` may lie
// in the same memory as `in` when it starts at or before `in` and its end is
// at or before in's end (the output then only overwrites samples already
// read). Any TSimd form gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/Simd.h"

// 16-bit samples of a capture of depth 9..16, as stored (any alignment), with
// their bytes swapped first when Swap is set. A sample v becomes
// v * 255 / (2^Depth - 1), rounded; values above 2^Depth - 1 (damaged data)
// become 255.
struct TDeepSamples {
  int Depth = 16;
  bool Swap = false;
};

// n samples at `in` to n bytes.
void ScaleDeep(const uint8_t* in, size_t n, TDeepSamples format, uint8_t* out, TSimd simd);
// n samples at `in` to n grey triples (3n bytes).
void ScaleDeepGrey(const uint8_t* in, size_t n, TDeepSamples format, uint8_t* out, TSimd simd);
// n bytes to n grey triples.
void ExpandGrey(const uint8_t* in, size_t n, uint8_t* out, TSimd simd);
