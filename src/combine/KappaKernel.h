// SPDX-License-Identifier: GPL-3.0-or-later
// The per-pixel arithmetic of the kappa-sigma combination, for a chunk of
// kKappaLanes neighbouring pixels of one row at a time (one lane per pixel).
// Internal to the combination.
#pragma once

#include <cstddef>
#include <cstdint>

namespace combine_detail {

constexpr int kKappaLanes = 32;

// n >= 1 contributions. Frame f's blue, green and red bytes of the chunk are
// at B/G/R + f * stride, lanes 0 .. kKappaLanes - 1. norms: scratch of
// n * kKappaLanes values. Out, per lane: the channel sums of the accepted
// colours and their count (exact integers held in doubles).
//
// Per lane, with norm_i the colour norm sqrt(r^2 + g^2 + b^2) of frame i:
//   m = norm_0 + (sum over i >= 1 of (norm_i - norm_0)) / n   (as MeanOf)
//   s = sqrt(sum over i of (norm_i - m)^2) / n                (as SpreadOf)
//   frame i is accepted when |m - norm_i| <= kappa * s.
// Every sum runs over the frames in order, so each lane gives exactly what the
// one-pixel-at-a-time computation gives.
void KappaChunk(int n, const uint8_t* B, const uint8_t* G, const uint8_t* R, size_t stride, double kappa,
                double* norms, double* sumB, double* sumG, double* sumR, double* accepted);

// Splits `len` interleaved blue, green, red pixels of src into three planes.
void SplitPlanes(const uint8_t* src, int len, uint8_t* B, uint8_t* G, uint8_t* R);

// The two routines above exist in a portable form and, on x86-64 processors
// with AVX2, in a hand-vectorised form chosen at run time; both give the same
// bits. Tests pin the portable form to check them against each other.
enum class TKappaKernel { Auto, Portable };
void SetKappaKernel(TKappaKernel kernel);
bool KappaKernelVectorised();  // the AVX2 form runs under Auto

// The AVX2 forms (KappaKernelAvx2.cpp); call only when KappaAvx2Available().
bool KappaAvx2Available();
void KappaChunkAvx2(int n, const uint8_t* B, const uint8_t* G, const uint8_t* R, size_t stride, double kappa,
                    double* norms, double* sumB, double* sumG, double* sumR, double* accepted);
void SplitPlanesAvx2(const uint8_t* src, int len, uint8_t* B, uint8_t* G, uint8_t* R);

}  // namespace combine_detail
