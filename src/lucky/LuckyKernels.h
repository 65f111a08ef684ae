// SPDX-License-Identifier: GPL-3.0-or-later
// Inner loops of the lucky-imaging routines (LuckyKernels.cpp). Internal.
#pragma once

#include <cstdint>

namespace lucky_detail {
void LightnessRow(const uint8_t* bgr, int n, uint8_t* out);
void RowMoments(const uint8_t* l, int n, uint64_t& sum, uint64_t& sum2);
uint64_t SobelRow(const uint8_t* a, const uint8_t* b, const uint8_t* c, int w);
// out[i] = (w00 r0[i] + w10 r0[i+3] + w01 r1[i] + w11 r1[i+3]) / 65536, rounded;
// the weights sum to 65536.
void BlendRows(const uint8_t* r0, const uint8_t* r1, int n, int w00, int w10, int w01, int w11, uint8_t* out);
}  // namespace lucky_detail
