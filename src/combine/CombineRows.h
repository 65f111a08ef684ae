// SPDX-License-Identifier: GPL-3.0-or-later
// Row driver shared by the mean and kappa-sigma combinations.
//
// The calling thread walks the result rows top to bottom: before each row it
// asks the cancel check, then has the row computed, then reports progress.
// A row is cut into pieces of `piece` columns. With helpers, every worker
// (the calling thread is worker 0) takes the row's pieces one at a time from
// a shared counter until none is left, so a helper that the system does not
// run in time never holds the row up by more than the piece it has started.
// Workers only read the frames and write their own columns of the result and
// their own scratch memory, so the result is the same for any number of them.
#pragma once

#include <functional>

#include "combine/Combine.h"

namespace combine_detail {

// Number of workers for a run: `requested` when positive (at most 64),
// otherwise the machine's cores when a row is big enough to be worth it.
int ChooseWorkers(int requested, int width, long long bytesPerRow);

// Runs work(worker, y, xBegin, xEnd) for every piece of every row. False when
// the cancel check stopped the run (rows from there on are not computed).
bool RunRows(int width, int height, int workers, int piece, const TCombineCallbacks& callbacks,
             const std::function<void(int worker, int y, int xBegin, int xEnd)>& work);

// A fresh 24-bit W x H result (all black); empty when W or H is below 1.
// Throws std::bad_alloc when the picture cannot be allocated.
std::unique_ptr<TFastDIB> NewResult(int width, int height);

// One combination of explicit frames: MeanCombineFrames or
// KappaSigmaCombineFrames with its settings bound.
using TFramesRun = std::function<std::unique_ptr<TFastDIB>(const TCombineFrames&, const TCombineCallbacks&,
                                                           TFullDepthImage*)>;

// `run` over `frames` in bands of rows: each band of every frame is copied
// with ReadFrameBlock (from the frame-copy pool's file for copies kept there)
// into one buffer of about `bandBytes` (at least one row of every frame), and
// combined from there; results, full-depth values and progress positions are
// those of one run over the whole frames. Null when cancelled.
std::unique_ptr<TFastDIB> CombineInBands(const TCombineFrames& frames, const TCombineCallbacks& callbacks,
                                         TFullDepthImage* full, size_t bandBytes, const TFramesRun& run);

}  // namespace combine_detail
