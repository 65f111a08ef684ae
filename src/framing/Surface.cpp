// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/Surface.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "framing/Frame.h"
#include "sequence/Sequence.h"

namespace {

// Template sides at the coarsest level are at least this many pixels.
constexpr int32_t kCoarsestSide = 16;
constexpr int32_t kMaxLevels = 5;
// A candidate position counts when at least this part of the template overlaps the picture.
constexpr double kMinOverlap = 0.5;
// Candidates kept from the coarsest level, refined each to the full size.
constexpr int kCandidates = 3;

void Crop(const TGreyPlane& in, int32_t x, int32_t y, int32_t w, int32_t h, TGreyPlane& out) {
  out.Width = w;
  out.Height = h;
  out.Pixels.resize(size_t(w) * size_t(h));
  for (int32_t r = 0; r < h; ++r)
    std::copy_n(&in.Pixels[size_t(y + r) * size_t(in.Width) + size_t(x)], size_t(w), &out.Pixels[size_t(r) * size_t(w)]);
}

// The vertex of the parabola through (-1, a), (0, b), (1, c), within -0.5..0.5.
double ParabolaPeak(double a, double b, double c) {
  const double d = a - 2 * b + c;
  if (!(d < 0)) return 0;
  return std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
}

}  // namespace

void GreyPlane(const TFastDIB& image, TGreyPlane& out) {
  const int32_t w = image.Width(), h = image.AbsHeight;
  out.Width = w;
  out.Height = h;
  out.Pixels.resize(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) {
    float* o = &out.Pixels[size_t(y) * size_t(w)];
    if (image.Bpp() == 24) {
      const uint8_t* p = reinterpret_cast<const uint8_t*>(image.Pixels24(y));
      for (int32_t x = 0; x < w; ++x, p += 3) o[x] = float(int(p[0]) + p[1] + p[2]);
    } else if (image.Bpp() == 32) {
      const TColorBGRA* p = image.Pixels32(y);
      for (int32_t x = 0; x < w; ++x) o[x] = float(int(p[x].b) + p[x].g + p[x].r);
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const TColorBGR c = image.GetPixel(y, x);
        o[x] = float(int(c.b) + c.g + c.r);
      }
    }
  }
}

void HalvePlane(const TGreyPlane& in, TGreyPlane& out) {
  out.Width = in.Width / 2;
  out.Height = in.Height / 2;
  out.Pixels.resize(size_t(out.Width) * size_t(out.Height));
  for (int32_t y = 0; y < out.Height; ++y) {
    const float* a = &in.Pixels[size_t(2 * y) * size_t(in.Width)];
    const float* b = a + in.Width;
    float* o = &out.Pixels[size_t(y) * size_t(out.Width)];
    for (int32_t x = 0; x < out.Width; ++x) o[x] = 0.25f * (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1]);
  }
}

bool TSurfaceTracker::SetTemplate(const TFastDIB& reference, const TRect& region) {
  Template_.clear();
  Blank_ = false;
  if (region.Right < region.Left || region.Bottom < region.Top || !RectInsideImage(region, reference)) return false;
  std::vector<TGreyPlane> pyramid(1);
  GreyPlane(reference, pyramid[0]);
  int32_t levels = 1;
  while (levels < kMaxLevels && (std::min(region.Width(), region.Height()) >> levels) >= kCoarsestSide) ++levels;
  for (int32_t l = 1; l < levels; ++l) {
    pyramid.emplace_back();
    HalvePlane(pyramid[size_t(l - 1)], pyramid.back());
  }
  for (int32_t l = 0; l < levels; ++l) {
    TTemplateLevel t;
    const int32_t x = region.Left >> l, y = region.Top >> l;
    const int32_t w = std::min(region.Width() >> l, pyramid[size_t(l)].Width - x);
    const int32_t h = std::min(region.Height() >> l, pyramid[size_t(l)].Height - y);
    Crop(pyramid[size_t(l)], x, y, w, h, t.Plane);
    double sum = 0;
    for (float v : t.Plane.Pixels) sum += v;
    const double mean = sum / double(t.Plane.Pixels.size());
    t.Centred.resize(t.Plane.Pixels.size());
    double sq = 0;
    for (size_t i = 0; i < t.Centred.size(); ++i) {
      t.Centred[i] = float(t.Plane.Pixels[i] - mean);
      sq += double(t.Centred[i]) * t.Centred[i];
    }
    t.Norm = std::sqrt(sq);
    Template_.push_back(std::move(t));
  }
  // Less than a hundredth of a grey level of spread: nothing to find.
  Blank_ = Template_[0].Norm < 0.01 * std::sqrt(double(Template_[0].Centred.size()));
  return true;
}

// Normalised cross-correlation of the template of `level` placed with its
// top-left corner at (x, y) of the picture's level; over the overlapping part
// when the template reaches beyond the picture; -2 when too little overlaps.
double TSurfaceTracker::Score(int32_t level, int32_t x, int32_t y) const {
  const TTemplateLevel& t = Template_[size_t(level)];
  const TGreyPlane& img = Image_[size_t(level)];
  const int32_t tw = t.Plane.Width, th = t.Plane.Height;
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + tw, img.Width), y1 = std::min(y + th, img.Height);
  if (x1 <= x0 || y1 <= y0) return -2;
  const int32_t ow = x1 - x0, oh = y1 - y0;
  const double n = double(ow) * oh;
  if (n < kMinOverlap * tw * th) return -2;
  if (ow == tw && oh == th) {
    double num = 0, s = 0, q = 0;
    for (int32_t r = 0; r < th; ++r) {
      const float* tp = &t.Centred[size_t(r) * size_t(tw)];
      const float* ip = &img.Pixels[size_t(y + r) * size_t(img.Width) + size_t(x)];
      // Eight running sums of each kind, so that the compiler can keep them in
      // vector registers without reordering a sum.
      float fn[8] = {}, fs[8] = {}, fq[8] = {};
      int32_t c = 0;
      for (; c + 8 <= tw; c += 8)
        for (int k = 0; k < 8; ++k) {
          fn[k] += tp[c + k] * ip[c + k];
          fs[k] += ip[c + k];
          fq[k] += ip[c + k] * ip[c + k];
        }
      for (; c < tw; ++c) {
        fn[0] += tp[c] * ip[c];
        fs[0] += ip[c];
        fq[0] += ip[c] * ip[c];
      }
      for (int k = 0; k < 8; ++k) {
        num += fn[k];
        s += fs[k];
        q += fq[k];
      }
    }
    const double var = q - s * s / n;
    if (var <= 1e-6 * n || t.Norm <= 0) return 0;
    return num / (t.Norm * std::sqrt(var));
  }
  double st = 0, stt = 0, si = 0, sii = 0, sti = 0;
  for (int32_t r = y0; r < y1; ++r) {
    const float* tp = &t.Plane.Pixels[size_t(r - y) * size_t(tw) + size_t(x0 - x)];
    const float* ip = &img.Pixels[size_t(r) * size_t(img.Width) + size_t(x0)];
    for (int32_t c = 0; c < ow; ++c) {
      st += tp[c];
      stt += double(tp[c]) * tp[c];
      si += ip[c];
      sii += double(ip[c]) * ip[c];
      sti += double(tp[c]) * ip[c];
    }
  }
  const double vt = stt - st * st / n, vi = sii - si * si / n;
  if (vt <= 1e-6 * n || vi <= 1e-6 * n) return 0;
  return (sti - st * si / n) / std::sqrt(vt * vi);
}

TSurfaceMatch TSurfaceTracker::Find(const TFastDIB& image, int32_t centreX, int32_t centreY, bool subPixel) {
  TSurfaceMatch m;
  if (Template_.empty() || Blank_) return m;
  const int32_t levels = Levels();
  Image_.resize(size_t(levels));
  GreyPlane(image, Image_[0]);
  for (int32_t l = 1; l < levels; ++l) HalvePlane(Image_[size_t(l - 1)], Image_[size_t(l)]);

  // Whole search at the coarsest level: a quarter of the picture either side.
  const int32_t top = levels - 1;
  const int32_t rx = std::max(1, (image.Width() / 4) >> top), ry = std::max(1, (image.AbsHeight / 4) >> top);
  const int32_t cx = centreX >> top, cy = centreY >> top;
  const int32_t sw = 2 * rx + 1, sh = 2 * ry + 1;
  std::vector<double> map(size_t(sw) * size_t(sh), -2);
  for (int32_t dy = -ry; dy <= ry; ++dy)
    for (int32_t dx = -rx; dx <= rx; ++dx) map[size_t(dy + ry) * size_t(sw) + size_t(dx + rx)] = Score(top, cx + dx, cy + dy);
  // The best few local maxima of the coarse map.
  struct TCand {
    double S;
    int32_t X, Y;
  };
  std::vector<TCand> cands;
  for (int32_t j = 0; j < sh; ++j)
    for (int32_t i = 0; i < sw; ++i) {
      const double v = map[size_t(j) * size_t(sw) + size_t(i)];
      if (v <= -2) continue;
      bool peak = true;
      for (int32_t b = -1; b <= 1 && peak; ++b)
        for (int32_t a = -1; a <= 1 && peak; ++a) {
          if ((a == 0 && b == 0) || i + a < 0 || j + b < 0 || i + a >= sw || j + b >= sh) continue;
          peak = map[size_t(j + b) * size_t(sw) + size_t(i + a)] <= v;
        }
      if (peak) cands.push_back({v, cx + i - rx, cy + j - ry});
    }
  std::sort(cands.begin(), cands.end(), [](const TCand& a, const TCand& b) { return a.S > b.S; });
  if (cands.size() > size_t(kCandidates)) cands.resize(size_t(kCandidates));

  // Each candidate is refined down to the level above the full size; only the
  // best one is refined at full size, where a score costs the most.
  // At each level the doubled position is within a pixel or two of the peak:
  // climb from it until no neighbour scores higher.
  auto climb = [this](int32_t level, TCand& c) {
    c.S = Score(level, c.X, c.Y);
    for (int step = 0; step < 8; ++step) {
      TCand next = c;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const double v = Score(level, c.X + dx, c.Y + dy);
          if (v > next.S) next = {v, c.X + dx, c.Y + dy};
        }
      if (next.X == c.X && next.Y == c.Y) break;
      c = next;
    }
  };
  TCand best{-2, 0, 0};
  for (TCand c : cands) {
    for (int32_t l = top - 1; l >= 1; --l) {
      c.X *= 2, c.Y *= 2;
      climb(l, c);
    }
    if (c.S > best.S) best = c;
  }
  double bestS = -2;
  int32_t bestX = 0, bestY = 0;
  double around[3][3] = {};
  if (best.S > -2) {
    int32_t x = top > 0 ? 2 * best.X : best.X, y = top > 0 ? 2 * best.Y : best.Y;
    double s = Score(0, x, y);
    // At full size, climb until the peak is surrounded by lower scores; the
    // last neighbourhood serves the sub-pixel fit.
    for (int step = 0; step < 8; ++step) {
      int32_t nx = x, ny = y;
      double ns = s;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) continue;
          const double v = Score(0, x + dx, y + dy);
          around[dy + 1][dx + 1] = v;
          if (v > ns) ns = v, nx = x + dx, ny = y + dy;
        }
      if (nx == x && ny == y) break;
      x = nx, y = ny, s = ns;
    }
    bestS = s, bestX = x, bestY = y;
  }
  if (bestS <= -2) return m;
  m.Found = true;
  m.Peak = bestS;
  m.X = bestX;
  m.Y = bestY;
  const TGreyPlane& t = Template_[0].Plane;
  m.Inside = bestX >= 0 && bestY >= 0 && bestX + t.Width <= image.Width() && bestY + t.Height <= image.AbsHeight;
  if (subPixel && m.Inside) {
    m.X += ParabolaPeak(around[1][0], bestS, around[1][2]);
    m.Y += ParabolaPeak(around[0][1], bestS, around[2][1]);
  }
  return m;
}

bool CaptureFramePixelsAt(const TRect& rect, double dx, double dy, const TFastDIB& image, TAviList& record) {
  if (!CaptureFramePixels(rect, image, record)) return false;
  if (dx == 0 && dy == 0) return true;
  const int32_t w = rect.Width(), h = rect.Height();
  const int32_t iw = image.Width(), ih = image.AbsHeight;
  const int32_t ox = dx < 0 ? -1 : 0, oy = dy < 0 ? -1 : 0;
  const double fx = dx - ox, fy = dy - oy;
  uint8_t* out = record.FramePixels.data();
  if (image.Bpp() == 24 && rect.Left + ox >= 0 && rect.Top + oy >= 0 && rect.Right + ox + 1 < iw &&
      rect.Bottom + oy + 1 < ih) {
    // Every neighbour inside the picture: straight from the rows, in fixed point.
    const int32_t wx = int32_t(std::lround(fx * 256)), wy = int32_t(std::lround(fy * 256));
    for (int32_t r = 0; r < h; ++r) {
      const uint8_t* a = reinterpret_cast<const uint8_t*>(image.Pixels24(rect.Top + r + oy) + rect.Left + ox);
      const uint8_t* b = reinterpret_cast<const uint8_t*>(image.Pixels24(rect.Top + r + oy + 1) + rect.Left + ox);
      for (int32_t k = 0; k < 3 * w; ++k) {
        const int32_t top = a[k] * (256 - wx) + a[k + 3] * wx, bottom = b[k] * (256 - wx) + b[k + 3] * wx;
        *out++ = uint8_t((top * (256 - wy) + bottom * wy + 32768) >> 16);
      }
    }
    return true;
  }
  auto px = [&](int32_t y, int32_t x) {
    y = std::clamp(y, 0, ih - 1);
    x = std::clamp(x, 0, iw - 1);
    if (image.Bpp() == 32) {
      const TColorBGRA& p = image.Pixels32(y)[x];
      return TColorBGR{p.b, p.g, p.r};
    }
    return image.GetPixel(y, x);
  };
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c, out += 3) {
      const int32_t x = rect.Left + c + ox, y = rect.Top + r + oy;
      const TColorBGR a = px(y, x), b = px(y, x + 1), cc = px(y + 1, x), d = px(y + 1, x + 1);
      auto mix = [&](uint8_t va, uint8_t vb, uint8_t vc, uint8_t vd) {
        const double v = (1 - fy) * ((1 - fx) * va + fx * vb) + fy * ((1 - fx) * vc + fx * vd);
        return uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
      };
      out[0] = mix(a.b, b.b, cc.b, d.b);
      out[1] = mix(a.g, b.g, cc.g, d.g);
      out[2] = mix(a.r, b.r, cc.r, d.r);
    }
  return true;
}

TSurfaceResult TrackSurface(TSequence& sequence, const TSurfaceOptions& options, const TAutoFrameHooks& hooks) {
  TSurfaceResult result;
  const int32_t count = sequence.ImageList.Count();
  if (options.Reference < 0 || options.Reference >= count) {
    result.Error = "reference image " + std::to_string(options.Reference + 1) + " is not in the sequence (1 to " +
                   std::to_string(count) + ")";
    return result;
  }
  TFastDIB image;
  TSurfaceTracker tracker;
  if (!sequence.ReadImage(options.Reference, image).ok()) {
    result.Error = "reference image " + std::to_string(options.Reference + 1) + " cannot be read";
    return result;
  }
  const TRect& region = options.Region;
  if (!tracker.SetTemplate(image, region)) {
    result.Error = "region (" + std::to_string(region.Left) + "," + std::to_string(region.Top) + ") - (" +
                   std::to_string(region.Right) + "," + std::to_string(region.Bottom) + ") is not inside reference image " +
                   std::to_string(options.Reference + 1) + " (" + std::to_string(image.Width()) + "x" +
                   std::to_string(image.AbsHeight) + ")";
    return result;
  }
  sequence.FrameSizeSet = true;
  sequence.FrameWidth = region.Right - region.Left;
  sequence.FrameHeight = region.Bottom - region.Top;
  result.Matches.assign(size_t(count), {});

  auto one = [&](int32_t index, int32_t& cx, int32_t& cy) {
    TFrameProblem problem{index, TFrameProblemKind::NotFound};
    bool failed = true;
    if (index == options.Reference || sequence.ReadImage(index, image).ok()) {
      TSurfaceMatch m;
      if (index == options.Reference && !tracker.Blank())
        m = {true, true, double(region.Left), double(region.Top), 1.0};
      else
        m = tracker.Find(image, cx, cy, options.SubPixel);
      result.Matches[size_t(index)] = m;
      problem.Kind = TFrameProblemKind::PoorMatch;
      if (m.Found && m.Peak >= options.MinPeak) {
        const int32_t x = int32_t(std::lround(m.X)), y = int32_t(std::lround(m.Y));
        cx = x, cy = y;  // the next image is searched round here
        problem.Kind = TFrameProblemKind::OutOfLimit;
        TRect rect{x, y, x + sequence.FrameWidth, y + sequence.FrameHeight};
        TRect frame = rect;
        AddMargin(frame, options.bordure);
        if (m.Inside && MakeFrame(sequence, index, rect, image, options.bordure) == TFrameResult::Accepted) {
          failed = false;
          if (options.SubPixel) CaptureFramePixelsAt(frame, m.X - x, m.Y - y, image, *sequence.Record(index));
        } else {
          sequence.Record(index)->ObjectRect = rect;
        }
      }
    }
    if (failed) {
      result.Problems.push_back(problem);
      if (hooks.Problem) hooks.Problem(problem);
    } else if (hooks.Framed) {
      hooks.Framed(index);
    }
    ++result.Done;
    if (hooks.Progress) hooks.Progress(result.Done);
  };
  // The reference image first (it is re-read by the loop when it is not the
  // picture in hand), then onwards, then backwards, each following the drift.
  int32_t cx = region.Left, cy = region.Top;
  for (int32_t i = options.Reference; i < count && !result.Cancelled; ++i) {
    if (hooks.Cancelled && hooks.Cancelled()) result.Cancelled = true;
    else one(i, cx, cy);
  }
  cx = region.Left, cy = region.Top;
  for (int32_t i = options.Reference - 1; i >= 0 && !result.Cancelled; --i) {
    if (hooks.Cancelled && hooks.Cancelled()) result.Cancelled = true;
    else one(i, cx, cy);
  }
  std::sort(result.Problems.begin(), result.Problems.end(),
            [](const TFrameProblem& a, const TFrameProblem& b) { return a.Index < b.Index; });
  return result;
}
