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

// A grey pyramid of one picture (level 0 the full size, each next one halved).
struct TGreyPlane {
  int32_t Width = 0, Height = 0;
  std::vector<float> Pixels;
  float At(int32_t x, int32_t y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
};

class TSurfaceTracker {
 public:
  // Takes `region` of `reference` as the template. False (nothing kept) when
  // the region is empty or does not lie wholly inside the picture.
  bool SetTemplate(const TFastDIB& reference, const TRect& region);
  // The template has no contrast at all: it can match nowhere.
  bool Blank() const { return Blank_; }
  // Looks for the template in `image` within a quarter of the picture's width
  // and height either side of (centreX, centreY) (the region's top-left
  // corner where it was last found). With `subPixel` the peak is refined to a
  // fraction of a pixel by a parabola through its neighbours.
  TSurfaceMatch Find(const TFastDIB& image, int32_t centreX, int32_t centreY, bool subPixel);
  int32_t Levels() const { return int32_t(Template_.size()); }

 private:
  struct TTemplateLevel {
    TGreyPlane Plane;
    std::vector<float> Centred;  // pixels minus their mean
    double Norm = 0;             // sqrt of the sum of squares of Centred
  };
  double Score(int32_t level, int32_t x, int32_t y) const;
  std::vector<TTemplateLevel> Template_;
  std::vector<TGreyPlane> Image_;
  bool Blank_ = false;
};

// Halves `in` (2 x 2 means; an odd last row or column is dropped).
void HalvePlane(const TGreyPlane& in, TGreyPlane& out);
// Level 0 of a pyramid: the sum of blue, green and red of each pixel (16, 24 or 32 bits).
void GreyPlane(const TFastDIB& image, TGreyPlane& out);

struct TSurfaceResult : TAutoFrameResult {
  std::vector<TSurfaceMatch> Matches;  // one per image, index order
  std::string Error;                   // the run could not start: why (then nothing was framed)
};

// Frames every image of the sequence on the region of the reference image:
// FrameSizeSet is fixed by the region first (FrameWidth = Right - Left, ...);
// each image found with a good peak, region and margin inside the picture,
// gets the frame (HasFrame, Checked, pixel copy, `Framed` hook). Problems, in
// image order: PoorMatch (peak below MinPeak, or a blank template: every
// image), OutOfLimit (the region or its margin leaves the picture: reported,
// never clipped), NotFound (the image cannot be read). The search follows the
// drift from the reference forwards, then from it backwards. CurrentIndex is
// as before at the end.
TSurfaceResult TrackSurface(TSequence& sequence, const TSurfaceOptions& options, const TAutoFrameHooks& hooks = {});

// Copies the pixels of `rect` moved by (dx, dy) (each within -1..1), bilinearly
// interpolated, into the record's pixel copy, like CaptureFramePixels; pixels
// beyond the picture's edge repeat the edge. False when `rect` is not inside.
bool CaptureFramePixelsAt(const TRect& rect, double dx, double dy, const TFastDIB& image, TAviList& record);
