// SPDX-License-Identifier: GPL-3.0-or-later
// Choice of the taking-part frames of a sequence, and the sequence-level
// entry points of the two combinations.
#include "combine/Combine.h"

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

TCombineOutcome MeanCombine(const TSequence& seq, const TCombineParams& params, const TCombineCallbacks& callbacks) {
  return CombineSequence(seq, params, [&](const TCombineFrames& f, TFullDepthImage* full) {
    return MeanCombineFrames(f, callbacks, params.Threads, full);
  });
}

TCombineOutcome KappaSigmaCombine(const TSequence& seq, const TCombineParams& params,
                                  const TCombineCallbacks& callbacks) {
  return CombineSequence(seq, params, [&](const TCombineFrames& f, TFullDepthImage* full) {
    return KappaSigmaCombineFrames(f, params.kappa, params.rejet_kappa, callbacks, params.Threads, full);
  });
}

TCombineOutcome CombineFramesOutcome(const TCombineFrames& frames, std::vector<int> used, bool kappaSigma,
                                     const TCombineParams& params, const TCombineCallbacks& callbacks) {
  TCombineOutcome o;
  if (params.FullDepth) o.Full = std::make_unique<TFullDepthImage>();
  o.Image = kappaSigma ? KappaSigmaCombineFrames(frames, params.kappa, params.rejet_kappa, callbacks,
                                                 params.Threads, o.Full.get())
                       : MeanCombineFrames(frames, callbacks, params.Threads, o.Full.get());
  o.Cancelled = !o.Image;
  if (o.Cancelled) o.Full.reset();
  else o.Used = std::move(used);
  return o;
}
