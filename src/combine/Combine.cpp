// SPDX-License-Identifier: GPL-3.0-or-later
// Choice of the taking-part frames of a sequence, and the sequence-level
// entry points of the two combinations.
#include "combine/Combine.h"

#include <algorithm>
#include <cstring>

#include "combine/CombineRows.h"
#include "sequence/FrameBlockPool.h"
#include "sequence/Sequence.h"

TTakingPart CollectTakingPart(const TSequence& seq, int32_t bordure) {
  TTakingPart t;
  // Computed in 64 bits: a settings file may hold any margin.
  const long long w = (long long)seq.FrameWidth + 2LL * bordure + 1;
  const long long h = (long long)seq.FrameHeight + 2LL * bordure + 1;
  const bool sane = w >= 1 && h >= 1 && w <= TFastDIB::kMaxSide && h <= TFastDIB::kMaxSide;
  t.Frames.Width = sane ? int(w) : 0;
  t.Frames.Height = sane ? int(h) : 0;
  const size_t need = size_t(t.Frames.Width) * size_t(t.Frames.Height) * 3;
  for (int i = 0; i < seq.ImageList.Count(); ++i) {
    const TAviList* r = seq.ImageList.Objects(i);
    if (!r || !r->Checked || !r->HasFrame || !r->HasFramePixels()) continue;
    // A block captured at another frame size would be read with the wrong row
    // length, or beyond its end: such a frame is left out.
    const bool fits = sane && r->FramePixelsRect.Width() == w && r->FramePixelsRect.Height() == h &&
                      r->FramePixels.size() >= need;
    if (!fits) {
      t.WrongSize.push_back(i);
      continue;
    }
    t.Used.push_back(i);
    t.Frames.Blocks.push_back(r->FramePixels.data());
  }
  return t;
}

namespace {

// Frame copies of a long capture may live in the pool's temporary file. Read
// row by row through their mapping, every row of the result would touch a
// page of every copy and bring the whole file into memory. Such frames are
// combined in bands of rows instead: each band of every frame is read from the
// file into one buffer of at most about kBandBytes, and the band combined from
// there. Every pixel depends only on the same pixel of the frames, so the
// result is the same.
constexpr size_t kBandBytes = size_t(64) << 20;

bool AnyInFile(const TCombineFrames& frames) {
  for (const uint8_t* b : frames.Blocks)
    if (FrameBlockInFile(b)) return true;
  return false;
}

std::unique_ptr<TFastDIB> CombineStaged(const TCombineFrames& frames, const TCombineCallbacks& callbacks,
                                        TFullDepthImage* full, const combine_detail::TFramesRun& run) {
  if (frames.Width < 1 || frames.Height < 1 || !AnyInFile(frames)) return run(frames, callbacks, full);
  return combine_detail::CombineInBands(frames, callbacks, full, kBandBytes, run);
}

std::unique_ptr<TFastDIB> Mean(const TCombineFrames& frames, const TCombineCallbacks& callbacks, int threads,
                               TFullDepthImage* full) {
  return CombineStaged(frames, callbacks, full, [&](const TCombineFrames& f, const TCombineCallbacks& c,
                                                    TFullDepthImage* fd) { return MeanCombineFrames(f, c, threads, fd); });
}

std::unique_ptr<TFastDIB> KappaSigma(const TCombineFrames& frames, const TCombineParams& params,
                                     const TCombineCallbacks& callbacks, TFullDepthImage* full) {
  return CombineStaged(frames, callbacks, full,
                       [&](const TCombineFrames& f, const TCombineCallbacks& c, TFullDepthImage* fd) {
                         return KappaSigmaCombineFrames(f, params.kappa, params.rejet_kappa, c, params.Threads, fd);
                       });
}

template <class Run>
TCombineOutcome CombineSequence(const TSequence& seq, const TCombineParams& params, Run run) {
  TTakingPart t = CollectTakingPart(seq, params.bordure);
  TCombineOutcome o;
  if (params.FullDepth) o.Full = std::make_unique<TFullDepthImage>();
  o.Image = run(t.Frames, o.Full.get());
  o.Cancelled = !o.Image;
  if (!o.Cancelled) {
    o.Used = std::move(t.Used);
    o.WrongSize = std::move(t.WrongSize);
  } else {
    o.Full.reset();
  }
  return o;
}
}  // namespace

std::unique_ptr<TFastDIB> combine_detail::CombineInBands(const TCombineFrames& frames,
                                                         const TCombineCallbacks& callbacks, TFullDepthImage* full,
                                                         size_t bandBytes, const TFramesRun& run) {
  const int W = std::max(frames.Width, 0), H = std::max(frames.Height, 0);
  const size_t n = frames.Blocks.size(), rowBytes = size_t(W) * 3;
  if (n == 0 || W == 0 || H == 0) return run(frames, callbacks, full);
  const int band = int(std::clamp<size_t>(bandBytes / (n * rowBytes), 1, size_t(H)));
  auto result = NewResult(W, H);
  if (full) full->Resize(W, H);
  std::vector<uint8_t> buffer(n * size_t(band) * rowBytes);
  TFullDepthImage bandFull;
  for (int y0 = 0; y0 < H; y0 += band) {
    const int rows = std::min(band, H - y0);
    const size_t bytes = size_t(rows) * rowBytes;
    TCombineFrames part{W, rows, {}};
    part.Blocks.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      uint8_t* to = buffer.data() + i * bytes;
      ReadFrameBlock(frames.Blocks[i], size_t(y0) * rowBytes, to, bytes);
      part.Blocks.push_back(to);
    }
    TCombineCallbacks inBand;
    inBand.Cancelled = callbacks.Cancelled;
    if (callbacks.Progress) inBand.Progress = [&](int position) { callbacks.Progress(y0 + position); };
    const std::unique_ptr<TFastDIB> done = run(part, inBand, full ? &bandFull : nullptr);
    if (!done) return nullptr;
    for (int y = 0; y < rows; ++y) std::memcpy(result->Scanlines[size_t(y0 + y)], done->Scanlines[size_t(y)], rowBytes);
    if (full) std::copy(bandFull.Bgr.begin(), bandFull.Bgr.end(), full->Bgr.begin() + ptrdiff_t(size_t(y0) * rowBytes));
  }
  return result;
}

TCombineOutcome MeanCombine(const TSequence& seq, const TCombineParams& params, const TCombineCallbacks& callbacks) {
  return CombineSequence(seq, params, [&](const TCombineFrames& f, TFullDepthImage* full) {
    return Mean(f, callbacks, params.Threads, full);
  });
}

TCombineOutcome KappaSigmaCombine(const TSequence& seq, const TCombineParams& params,
                                  const TCombineCallbacks& callbacks) {
  return CombineSequence(seq, params, [&](const TCombineFrames& f, TFullDepthImage* full) {
    return KappaSigma(f, params, callbacks, full);
  });
}

TCombineOutcome CombineFramesOutcome(const TCombineFrames& frames, std::vector<int> used, bool kappaSigma,
                                     const TCombineParams& params, const TCombineCallbacks& callbacks) {
  TCombineOutcome o;
  if (params.FullDepth) o.Full = std::make_unique<TFullDepthImage>();
  o.Image = kappaSigma ? KappaSigma(frames, params, callbacks, o.Full.get())
                       : Mean(frames, callbacks, params.Threads, o.Full.get());
  o.Cancelled = !o.Image;
  if (o.Cancelled) o.Full.reset();
  else o.Used = std::move(used);
  return o;
}
