// SPDX-License-Identifier: GPL-3.0-or-later
// Mean and kappa-sigma combination of the framed images of a sequence.
//
// Every frame of a sequence has the same size, W x H pixels, with
// W = FrameWidth + 2 * bordure + 1 and H = FrameHeight + 2 * bordure + 1; pixel
// (x, y) of a frame is the three bytes blue, green, red at byte offset
// (y * W + x) * 3 of its FramePixels block. The result is a 24-bit TFastDIB of
// the same W x H pixels, row 0 at the top.
//
// An image takes part when it is ticked (Checked), framed (HasFrame) and holds
// frame pixels. A ticked, framed image whose pixel block was captured at
// another frame size (a frame kept from before the size or the margin changed)
// is left out: it does not take part, is not counted, and is listed in
// TCombineOutcome::WrongSize so the caller can say so.
//
// The routines run on the calling thread, which alone asks the cancel check and
// reports progress, once per result row. Inside a row the pixels may be shared
// out to helper threads that only read the frames and write disjoint pixels;
// the result does not depend on how many threads ran.
//
// Qt-free; no window is touched.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/FastDIB.h"
#include "image/FullDepth.h"

class TSequence;

struct TCombineCallbacks {
  // Asked before each row; true stops the run at that row.
  std::function<bool()> Cancelled;
  // Told after each row with the new progress position, y + 1.
  std::function<void(int position)> Progress;
};

// The frames one combination reads. Every block holds at least
// Width * Height * 3 bytes in the FramePixels layout; blocks are not owned.
struct TCombineFrames {
  int Width = 0;
  int Height = 0;
  std::vector<const uint8_t*> Blocks;
};

// Arithmetic settings of one run.
struct TCombineParams {
  int32_t bordure = 10;      // margin of the frames, pixels
  int32_t kappa = 3;         // elimination factor (kappa-sigma only)
  bool rejet_kappa = false;  // all rejected: colour mean instead of a black dot
  int Threads = 0;           // 0: decided from the machine and the size of the work
  bool FullDepth = false;    // also keep the unrounded result (TCombineOutcome::Full)
};

// The records of `seq` that take part, in sequence order, and the ticked,
// framed records left out for having a pixel block of another size.
struct TTakingPart {
  TCombineFrames Frames;
  std::vector<int> Used;       // 0-based indices of the records that take part
  std::vector<int> WrongSize;  // 0-based indices left out (block of another size)
};
TTakingPart CollectTakingPart(const TSequence& seq, int32_t bordure);

// The result of one combination.
struct TCombineOutcome {
  std::unique_ptr<TFastDIB> Image;  // null when cancelled
  bool Cancelled = false;
  std::vector<int> Used;            // records that took part (N = Used.size())
  std::vector<int> WrongSize;       // records left out, see above
  std::unique_ptr<TFullDepthImage> Full;  // with FullDepth: the values before rounding
  int Count() const { return int(Used.size()); }
};

// Mean combination: each channel is the truncated integer mean of the
// contributions (10 and 11 give 10); black where nothing takes part.
TCombineOutcome MeanCombine(const TSequence& seq, const TCombineParams& params,
                            const TCombineCallbacks& callbacks = {});

// Kappa-sigma combination: per pixel, contributions whose colour norm lies
// further than kappa x spread from the mean norm are rejected (see Kappa.cpp);
// the accepted colours are averaged and rounded half to even.
TCombineOutcome KappaSigmaCombine(const TSequence& seq, const TCombineParams& params,
                                  const TCombineCallbacks& callbacks = {});

// The same over explicit frames (benchmarks, tests, other front ends). Null
// when cancelled. `threads` as TCombineParams::Threads. With `full`, it is
// sized to the result and receives each value before rounding (the mean
// unrounded; for kappa-sigma the mean of the accepted colours); the 8-bit
// result is the same either way.
std::unique_ptr<TFastDIB> MeanCombineFrames(const TCombineFrames& frames, const TCombineCallbacks& callbacks = {},
                                            int threads = 0, TFullDepthImage* full = nullptr);
std::unique_ptr<TFastDIB> KappaSigmaCombineFrames(const TCombineFrames& frames, int32_t kappa, bool rejetKappa,
                                                  const TCombineCallbacks& callbacks = {}, int threads = 0,
                                                  TFullDepthImage* full = nullptr);

// The combination of explicit frames (already chosen, e.g. resampled copies)
// with the sequence-level outcome; `used` are the record indices they stand for.
TCombineOutcome CombineFramesOutcome(const TCombineFrames& frames, std::vector<int> used, bool kappaSigma,
                                     const TCombineParams& params, const TCombineCallbacks& callbacks = {});
