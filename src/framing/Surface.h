// SPDX-License-Identifier: GPL-3.0-or-later
// Surface framing: for the Moon or the Sun, where the object fills the picture
// and no dark sky surrounds it. A region of a reference image is the template;
// every image of the sequence is framed where that region is found again, by
// normalised cross-correlation, coarse to fine over a pyramid of halved
// pictures. The frame is the found region grown by the margin, exactly like a
// detected object's: margin rebuilding, combination and saving take it as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framing/AutoFrame.h"
#include "image/FastDIB.h"
#include "sequence/AviList.h"

class TSequence;

struct TSurfaceOptions {
  TRect Region;               // the template on the reference image, before the margin
  int32_t Reference = 0;      // index of the reference image (from 0)
  int32_t bordure = 10;       // margin round the region, pixels
  bool SubPixel = false;      // capture frames at the fractional position found
  double MinPeak = 0.5;       // correlation below this is a poor match
};

// Where the template was found in one image: the position of its top-left
// corner (fractional with sub-pixel fitting), and the correlation peak (-1..1).
struct TSurfaceMatch {
  bool Found = false;   // a peak was found at least half inside the picture
  bool Inside = false;  // the whole region lies inside the picture there
  double X = 0, Y = 0;
  double Peak = 0;
};

// One level of a grey pyramid, held for a part of the picture only. Level 0
// is the sum of blue, green and red of each pixel (0..765); each next level
// halves the previous one (rounded means of 2 x 2 blocks, an odd last row or
// column dropped), so every level keeps the range 0..765.
struct TGreyPlane {
  int32_t Width = 0, Height = 0;     // the whole picture at this level
  int32_t X0 = 0, Y0 = 0, W = 0, H = 0;  // the part held: W x H pixels from (X0, Y0)
  std::vector<int16_t> Pixels;       // row by row, W per row
  const int16_t* Row(int32_t y, int32_t x) const {
    return &Pixels[size_t(y - Y0) * size_t(W) + size_t(x - X0)];
  }
  bool Holds(int32_t x, int32_t y, int32_t w, int32_t h) const {
    return x >= X0 && y >= Y0 && x + w <= X0 + W && y + h <= Y0 + H;
  }
};

// Level 0 of the part [x0, x1) x [y0, y1) of `image` (16, 24 or 32 bits),
// cut to the picture.
void GreyPlane(const TFastDIB& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, TGreyPlane& out);
// The next level of `in`, over the part of it that `in` holds.
void HalvePlane(const TGreyPlane& in, TGreyPlane& out);

class TSurfaceTracker {
 public:
  // Takes `region` of `reference` as the template. False (nothing kept) when
  // the region is empty or does not lie wholly inside the picture.
  bool SetTemplate(const TFastDIB& reference, const TRect& region);
  // The template has no contrast at all: it can match nowhere.
  bool Blank() const { return Blank_; }
  // Looks for the template in `image` within a quarter of the picture's width
  // and height either side of (centreX, centreY) (the region's top-left
  // corner where it was last found). A small search round that place comes
  // first; an excellent peak there is taken, anything else searches the whole
  // window. With `subPixel` the peak is refined to a fraction of a pixel by a
  // parabola through its neighbours.
  TSurfaceMatch Find(const TFastDIB& image, int32_t centreX, int32_t centreY, bool subPixel);
  int32_t Levels() const { return int32_t(Template_.size()); }
  // How many finds needed the whole window (the small search fell short).
  int32_t WideSearches() const { return WideSearches_; }

 private:
  struct TTemplateLevel {
    TGreyPlane Plane;
    int64_t Sum = 0, SumSq = 0;  // of the pixels
    double Norm = 0;             // sqrt of n * SumSq - Sum^2
  };
  struct TPos {
    int32_t X = 0, Y = 0;
    double S = -2;
  };
  // Searches from `level` (a grid of (2 rx + 1) x (2 ry + 1) positions round
  // the centre, the best `candidates` local maxima refined level by level).
  TSurfaceMatch Search(const TFastDIB& image, int32_t centreX, int32_t centreY, int32_t level, int32_t rx,
                       int32_t ry, int32_t candidates, bool subPixel);
  double Score(int32_t level, int32_t x, int32_t y) const;
  double CachedScore(int32_t level, int32_t x, int32_t y);
  TPos Climb(int32_t level, TPos from);
  std::vector<TTemplateLevel> Template_;
  std::vector<TGreyPlane> Image_;
  std::vector<std::pair<int64_t, double>> Cache_;  // scores already taken at the climbing level
  int32_t CacheLevel_ = -1;
  bool ReachedEdge_ = false;  // the last search asked for a place beyond the part converted
  bool Blank_ = false;
  int32_t WideSearches_ = 0;
};

struct TSurfaceResult : TAutoFrameResult {
  std::vector<TSurfaceMatch> Matches;  // one per image, index order
  std::string Error;                   // the run could not start: why (then nothing was framed)
  int32_t WideSearches = 0;            // images searched over the whole window (see TSurfaceTracker::Find)
};

// Frames every image of the sequence on the region of the reference image:
// FrameSizeSet is fixed by the region first (FrameWidth = Right - Left, ...);
// each image found with a good peak, region and margin inside the picture,
// gets the frame (HasFrame, Checked, pixel copy, `Framed` hook). Problems, in
// image order: PoorMatch (peak below MinPeak, or a blank template: every
// image), OutOfLimit (the region or its margin leaves the picture: reported,
// never clipped), NotFound (the image cannot be read). The search follows the
// drift from the reference forwards, then from it backwards. CurrentIndex is
// as before at the end. When the copies of every image's frame cannot be kept
// (NoRoom), nothing is framed.
TSurfaceResult TrackSurface(TSequence& sequence, const TSurfaceOptions& options, const TAutoFrameHooks& hooks = {});

// Copies the pixels of `rect` moved by (dx, dy) (each within -1..1), bilinearly
// interpolated, into the record's pixel copy, like CaptureFramePixels; pixels
// beyond the picture's edge repeat the edge. False when `rect` is not inside.
bool CaptureFramePixelsAt(const TRect& rect, double dx, double dy, const TFastDIB& image, TAviList& record);
