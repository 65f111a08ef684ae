// SPDX-License-Identifier: GPL-3.0-or-later
// Lucky imaging: rank the framed images of a sequence by sharpness, keep the
// best of them, and align frames to a fraction of a pixel before combining.
//
// Sharpness: on the frame's lightness (ColorLightness), the mean squared Sobel
// gradient divided by the variance of the lightness, square-rooted. Larger is
// sharper. Dividing by the variance makes the score blind to a change of
// brightness or contrast between frames (L -> a L + b gives the same score), so
// a frame dimmed by a passing haze is not ranked down for it; only the
// steepness of the detail relative to its contrast counts. Scores compare the
// images of one sequence (same object, same frame size).
//
// Position: the centroid of the object's lightness above the sky (the frame's
// outer ring), weighted by the excess over a small threshold. A symmetric blur
// does not move it, and a brightness change does not either, so it measures the
// object's place to a fraction of a pixel even on frames the seeing blurred.
// Positions are in pixels of the original image.
//
// Alignment: the reference is the mean of the best-ranked frames; each frame's
// offset is its position minus the reference's, and the frame is resampled
// (bilinear) at that offset so that its object lands where the reference's is.
// Qt-free; reads only the records' frame pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "combine/Combine.h"
#include "sequence/FrameBlockPool.h"

class TSequence;

// Per image of a sequence (index from 0): a value, or none for an image
// without a usable frame.
using TScores = std::vector<std::optional<double>>;

struct TPoint2 {
  double X = 0;
  double Y = 0;
};

// Sharpness of a W x H frame of blue, green, red bytes (the FramePixels
// layout). 0 for a frame too small (under 3 x 3) or without contrast.
double SharpnessScore(const uint8_t* bgr, int width, int height);

// The object's position in a W x H frame, in frame pixels (pixel centres at
// integer coordinates); none when nothing stands out of the sky.
std::optional<TPoint2> ObjectPosition(const uint8_t* bgr, int width, int height);

// The score of every image that has a frame and its pixel copy.
TScores ScoreSequence(const TSequence& sequence);

// The object position of every framed image, in pixels of the original image.
std::vector<std::optional<TPoint2>> MeasurePositions(const TSequence& sequence);

// How many of n scored images are the best `percent` (1..100): the percentage
// rounded up, at least one when n > 0.
int BestCount(int scored, int percent);
// Indices of the best `percent` of the scored images, best first (ties: lower
// index first).
std::vector<int> BestImages(const TScores& scores, int percent);
// Rank of image `index` among the scored images, 1 for the sharpest; 0 when it
// has no score.
int RankOf(const TScores& scores, int index);
// Ticks the images of `best`, unticks every other framed image. Returns the
// number ticked.
int TickBest(TSequence& sequence, const std::vector<int>& best);

// --- Sub-pixel alignment -----------------------------------------------------------

// Frames resampled onto a common reference, owned, with the record indices
// they stand for. Frames.Blocks point into Pixels, which are frame copies like
// the records' (the memory budget and its temporary file hold for them too).
struct TAlignedFrames {
  TCombineFrames Frames;
  std::vector<int> Used;
  std::vector<int> WrongSize;
  std::vector<TPoint2> Offsets;  // per used frame: the shift measured (frame pixels)
  std::vector<TFramePixels> Pixels;
};

// out(x, y) = in(x + dx, y + dy), bilinear, edges repeated; rounded to bytes.
void ShiftFrame(const uint8_t* in, int width, int height, double dx, double dy, uint8_t* out);

// Shares of the taking-part frames of `sequence` (as the combination chooses
// them) aligned to the mean of the best-ranked `referencePercent` of them.
TAlignedFrames AlignTakingPart(const TSequence& sequence, int32_t bordure, int referencePercent = 10);

// The combination of the taking-part frames of `sequence`, as framed
// (MeanCombine / KappaSigmaCombine, exactly) or, with `subpixel`, aligned by
// AlignTakingPart first.
TCombineOutcome CombineLucky(const TSequence& sequence, const TCombineParams& params, bool kappaSigma, bool subpixel,
                             const TCombineCallbacks& callbacks = {});
