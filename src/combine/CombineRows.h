// Row driver shared by the mean and kappa-sigma combinations.
//
// The calling thread walks the result rows top to bottom: before each row it
// asks the cancel check, then has the row computed, then reports progress.
// A row's columns are split into `parts` contiguous ranges of near-equal
// width; part 0 runs on the calling thread and the others on helper threads
// that live for one run. Helpers only read the frames and write their own
// columns of the result and their own scratch memory, so the result is the
// same for any number of parts.
#pragma once

#include <functional>

#include "combine/Combine.h"

namespace combine_detail {

// Number of parts for a run: `requested` when positive (at most `width`),
// otherwise the machine's cores when a row is big enough to be worth it.
int ChooseParts(int requested, int width, long long bytesPerRow);

// Columns [begin, end) of part p out of `parts` for a row of `width` pixels.
void PartRange(int p, int parts, int width, int& begin, int& end);

// Runs work(part, y, xBegin, xEnd) for every row and part. False when the
// cancel check stopped the run (rows from there on are not computed).
bool RunRows(int width, int height, int parts, const TCombineCallbacks& callbacks,
             const std::function<void(int part, int y, int xBegin, int xEnd)>& work);

// A fresh 24-bit W x H result (all black). Throws std::bad_alloc when the
// picture cannot be allocated.
std::unique_ptr<TFastDIB> NewResult(int width, int height);

}  // namespace combine_detail
