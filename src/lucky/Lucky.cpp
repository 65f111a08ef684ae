// SPDX-License-Identifier: GPL-3.0-or-later
#include "lucky/Lucky.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "lucky/LuckyKernels.h"
#include "sequence/Sequence.h"

namespace {

using namespace lucky_detail;

std::vector<uint8_t> Lightness(const uint8_t* bgr, int w, int h) {
  std::vector<uint8_t> l(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) LightnessRow(bgr + size_t(y) * size_t(w) * 3, w, l.data() + size_t(y) * size_t(w));
  return l;
}

// A frame's pixel block, when it is whole: the rectangle it was captured from.
const uint8_t* FrameBlock(const TAviList* r, int& w, int& h) {
  if (!r || !r->HasFrame || !r->HasFramePixels()) return nullptr;
  w = r->FramePixelsRect.Width();
  h = r->FramePixelsRect.Height();
  if (w < 1 || h < 1 || r->FramePixels.size() < size_t(w) * size_t(h) * 3) return nullptr;
  return r->FramePixels.data();
}

}  // namespace

double SharpnessScore(const uint8_t* bgr, int w, int h) {
  if (w < 3 || h < 3) return 0;
  const std::vector<uint8_t> l = Lightness(bgr, w, h);
  uint64_t sum = 0, sum2 = 0;
  for (int y = 0; y < h; ++y) RowMoments(l.data() + size_t(y) * size_t(w), w, sum, sum2);
  const double n = double(l.size());
  const double variance = double(sum2) / n - (double(sum) / n) * (double(sum) / n);
  if (variance <= 1e-9) return 0;
  uint64_t energy = 0;
  for (int y = 1; y < h - 1; ++y) {
    const uint8_t* a = l.data() + size_t(y - 1) * size_t(w);
    energy += SobelRow(a, a + w, a + 2 * size_t(w), w);
  }
  const double mean = double(energy) / (double(w - 2) * double(h - 2));
  return std::sqrt(mean / variance) / 8.0;  // Sobel gains 8 on a unit step
}

std::optional<TPoint2> ObjectPosition(const uint8_t* bgr, int w, int h) {
  if (w < 1 || h < 1) return std::nullopt;
  const std::vector<uint8_t> l = Lightness(bgr, w, h);
  // Sky: the mean of the outer ring of the frame (its margin holds no object).
  double sky = 0;
  int ring = 0;
  for (int x = 0; x < w; ++x) {
    sky += l[size_t(x)] + l[size_t(h - 1) * size_t(w) + size_t(x)];
    ring += 2;
  }
  for (int y = 1; y < h - 1; ++y) {
    sky += l[size_t(y) * size_t(w)] + l[size_t(y) * size_t(w) + size_t(w - 1)];
    ring += 2;
  }
  sky /= ring;
  const int top = *std::max_element(l.begin(), l.end());
  // Above the sky's noise, and low enough to take the limb's whole slope.
  const int cut = int(std::ceil(sky + std::max(8.0, 0.1 * (top - sky))));
  uint64_t sw = 0, sx = 0, sy = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = l.data() + size_t(y) * size_t(w);
    uint64_t rw = 0, rx = 0;
    for (int x = 0; x < w; ++x) {
      const int v = std::max(0, int(row[x]) - cut);
      rw += uint64_t(v);
      rx += uint64_t(v) * uint64_t(x);
    }
    sw += rw;
    sx += rx;
    sy += rw * uint64_t(y);
  }
  if (sw == 0) return std::nullopt;
  return TPoint2{double(sx) / double(sw), double(sy) / double(sw)};
}

TScores ScoreSequence(const TSequence& sequence) {
  TScores scores(size_t(sequence.ImageList.Count()));
  for (int i = 0; i < sequence.ImageList.Count(); ++i) {
    int w = 0, h = 0;
    if (const uint8_t* block = FrameBlock(sequence.Record(i), w, h)) {
      scores[size_t(i)] = SharpnessScore(block, w, h);
      ReleaseFrameBlockPages(block, size_t(w) * size_t(h) * 3);  // the copies of a long capture stay in their file
    }
  }
  return scores;
}

std::vector<std::optional<TPoint2>> MeasurePositions(const TSequence& sequence) {
  std::vector<std::optional<TPoint2>> out(size_t(sequence.ImageList.Count()));
  for (int i = 0; i < sequence.ImageList.Count(); ++i) {
    const TAviList* r = sequence.Record(i);
    int w = 0, h = 0;
    const uint8_t* block = FrameBlock(r, w, h);
    if (!block) continue;
    if (const auto p = ObjectPosition(block, w, h))
      out[size_t(i)] = TPoint2{p->X + r->FramePixelsRect.Left, p->Y + r->FramePixelsRect.Top};
    ReleaseFrameBlockPages(block, size_t(w) * size_t(h) * 3);
  }
  return out;
}

int BestCount(int scored, int percent) {
  if (scored <= 0) return 0;
  percent = std::clamp(percent, 1, 100);
  const long long n = (static_cast<long long>(scored) * percent + 99) / 100;
  return int(std::clamp<long long>(n, 1, scored));
}

std::vector<int> BestImages(const TScores& scores, int percent) {
  std::vector<int> order;
  for (size_t i = 0; i < scores.size(); ++i)
    if (scores[i]) order.push_back(int(i));
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return *scores[size_t(a)] > *scores[size_t(b)]; });
  order.resize(size_t(BestCount(int(order.size()), percent)));
  return order;
}

int RankOf(const TScores& scores, int index) {
  if (index < 0 || size_t(index) >= scores.size() || !scores[size_t(index)]) return 0;
  const double mine = *scores[size_t(index)];
  int rank = 1;
  for (size_t i = 0; i < scores.size(); ++i)
    if (scores[i] && (*scores[i] > mine || (*scores[i] == mine && int(i) < index))) ++rank;
  return rank;
}

int TickBest(TSequence& sequence, const std::vector<int>& best) {
  for (int i = 0; i < sequence.ImageList.Count(); ++i)
    if (TAviList* r = sequence.Record(i); r && r->HasFrame) r->Checked = false;
  int ticked = 0;
  for (int i : best)
    if (TAviList* r = sequence.Record(i); r && r->HasFrame) {
      r->Checked = true;
      ++ticked;
    }
  return ticked;
}

void ShiftFrame(const uint8_t* in, int w, int h, double dx, double dy, uint8_t* out) {
  const double fx0 = std::floor(dx), fy0 = std::floor(dy);
  const int ix = int(fx0), iy = int(fy0);
  const double ax = dx - fx0, ay = dy - fy0;
  const int w00 = int(std::lround((1 - ax) * (1 - ay) * 65536)), w10 = int(std::lround(ax * (1 - ay) * 65536));
  const int w01 = int(std::lround((1 - ax) * ay * 65536)), w11 = 65536 - w00 - w10 - w01;
  const size_t stride = size_t(w) * 3;
  // Columns whose two source columns both lie inside: one blended run.
  const int xs = std::clamp(-ix, 0, w), xe = std::clamp(w - 1 - ix, xs, w);
  for (int y = 0; y < h; ++y) {
    const uint8_t* r0 = in + size_t(std::clamp(y + iy, 0, h - 1)) * stride;
    const uint8_t* r1 = in + size_t(std::clamp(y + iy + 1, 0, h - 1)) * stride;
    uint8_t* o = out + size_t(y) * stride;
    if (xe > xs) BlendRows(r0 + size_t(xs + ix) * 3, r1 + size_t(xs + ix) * 3, (xe - xs) * 3, w00, w10, w01, w11, o + size_t(xs) * 3);
    for (int x = 0; x < w; ++x) {
      if (x >= xs && x < xe) {
        x = xe - 1;
        continue;
      }
      const size_t a = size_t(std::clamp(x + ix, 0, w - 1)) * 3, b = size_t(std::clamp(x + ix + 1, 0, w - 1)) * 3;
      for (int c = 0; c < 3; ++c) {
        const int v = w00 * r0[a + c] + w10 * r0[b + c] + w01 * r1[a + c] + w11 * r1[b + c];
        o[3 * x + c] = uint8_t((v + 32768) >> 16);
      }
    }
  }
}

TAlignedFrames AlignTakingPart(const TSequence& sequence, int32_t bordure, int referencePercent) {
  TAlignedFrames a;
  const TTakingPart t = CollectTakingPart(sequence, bordure);
  a.Frames.Width = t.Frames.Width;
  a.Frames.Height = t.Frames.Height;
  a.WrongSize = t.WrongSize;
  const int w = t.Frames.Width, h = t.Frames.Height;
  const size_t bytes = size_t(w) * size_t(h) * 3;
  if (t.Used.empty() || bytes == 0) return a;

  // The reference: the mean of the sharpest frames, as framed.
  TScores scores(t.Used.size());
  for (size_t k = 0; k < t.Used.size(); ++k) {
    scores[k] = SharpnessScore(t.Frames.Blocks[k], w, h);
    ReleaseFrameBlockPages(t.Frames.Blocks[k], bytes);
  }
  const std::vector<int> best = BestImages(scores, referencePercent);
  TCombineFrames refFrames;
  refFrames.Width = w;
  refFrames.Height = h;
  for (int k : best) refFrames.Blocks.push_back(t.Frames.Blocks[size_t(k)]);
  const std::unique_ptr<TFastDIB> reference = MeanCombineFrames(refFrames, {}, 1);
  std::vector<uint8_t> refBlock(bytes);
  for (int y = 0; y < h; ++y)
    std::copy_n(reference->Scanlines[size_t(y)], size_t(w) * 3, refBlock.data() + size_t(y) * size_t(w) * 3);
  const std::optional<TPoint2> origin = ObjectPosition(refBlock.data(), w, h);

  a.Pixels.reserve(t.Used.size());
  for (size_t k = 0; k < t.Used.size(); ++k) {
    TPoint2 d;
    if (origin)
      if (const auto p = ObjectPosition(t.Frames.Blocks[k], w, h)) d = TPoint2{p->X - origin->X, p->Y - origin->Y};
    a.Pixels.emplace_back(bytes + 1);
    ShiftFrame(t.Frames.Blocks[k], w, h, d.X, d.Y, a.Pixels.back().data());
    ReleaseFrameBlockPages(t.Frames.Blocks[k], bytes);
    a.Offsets.push_back(d);
    a.Used.push_back(t.Used[k]);
  }
  for (const auto& p : a.Pixels) a.Frames.Blocks.push_back(p.data());
  return a;
}

TCombineOutcome CombineLucky(const TSequence& sequence, const TCombineParams& params, bool kappaSigma, bool subpixel,
                             const TCombineCallbacks& callbacks) {
  if (!subpixel)
    return kappaSigma ? KappaSigmaCombine(sequence, params, callbacks) : MeanCombine(sequence, params, callbacks);
  TAlignedFrames aligned = AlignTakingPart(sequence, params.bordure);
  TCombineOutcome o = CombineFramesOutcome(aligned.Frames, std::move(aligned.Used), kappaSigma, params, callbacks);
  if (!o.Cancelled) o.WrongSize = std::move(aligned.WrongSize);
  return o;
}
