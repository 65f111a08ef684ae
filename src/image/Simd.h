// SPDX-License-Identifier: GPL-3.0-or-later
// Instruction sets the pixel loops may use. Each loop has a plain C++ form and
// may have faster forms for newer processors; every form gives exactly the
// same bytes. The caller picks one (normally BestSimd(), chosen once from what
// the processor reports).
#pragma once

#include <vector>

// Avx512: with the byte instructions (AVX-512 BW and VBMI).
enum class TSimd { Plain, Ssse3, Avx2, Avx512 };

// The fastest form this processor runs.
TSimd BestSimd();
// Every form this processor runs, Plain first.
std::vector<TSimd> SimdLevels();
