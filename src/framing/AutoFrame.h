// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic framing of every image of the sequence, and the rebuilding of
// existing frames when the margin changes. Both are long jobs of the core:
// they read images through TSequence::FetchImage, never touch a window, and
// report through the hooks and the rows they return.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framing/Detect.h"

class TSequence;

enum class TFrameProblemKind {
  OutOfLimit,  // "Frame out of limit": the frame with its margin leaves the image
  NotFound,    // "Impossible to draw frame": no object detected (or the image could not be read)
  PoorMatch,   // "Region not found": surface framing found no good match of its region
};

// One image that could not be framed; Index counts from 0.
struct TFrameProblem {
  int32_t Index = 0;
  TFrameProblemKind Kind = TFrameProblemKind::NotFound;
  friend bool operator==(const TFrameProblem&, const TFrameProblem&) = default;
};

// The problem report's texts: "Frame out of limit" / "Impossible to draw frame".
const char* FrameProblemText(TFrameProblemKind kind);

struct TAutoFrameHooks {
  // Asked before each image; true stops the run (frames made so far stay).
  std::function<bool()> Cancelled;
  // After each image: the number of images done (index + 1).
  std::function<void(int32_t)> Progress;
  // As soon as an image fails, before the next one is read (the window shows a
  // message box here when no report is wanted).
  std::function<void(const TFrameProblem&)> Problem;
  // An image got its frame and was ticked (the window ticks its line).
  std::function<void(int32_t)> Framed;
};

// The settings of one automatic framing run.
struct TAutoFrameOptions {
  bool ComplexMode = false;    // "Complex image mode"
  bool AutoTolerance = false;  // threshold computed per image
  int32_t bordure = 10;        // margin added round each object, pixels
  TDetectOptions Detect() const { return {ComplexMode, AutoTolerance}; }
};

struct TAutoFrameResult {
  std::vector<TFrameProblem> Problems;  // in image order
  int32_t Done = 0;                     // images looked at
  bool Cancelled = false;               // stopped before the end
  // Set when the run stopped because the frame copies of the images left
  // cannot fit in the memory budget and the temporary folder (checked as soon
  // as the first frame fixes their size, before the others are copied; a
  // surface run knows it from its region and checks before the first).
  std::string NoRoom;
};

// Frames every image, ticked or not, from index 0 on. FrameSizeSet is reset
// first, so the first object found in this run fixes the frame size. Uses the
// options and the sequence's Tolerance (replaced per image under automatic tolerance, so it
// keeps the last image's). CurrentIndex and CurrentImage are as before at the
// end. Per image:
//   accepted     - new frame of this run's size, HasFrame and Checked;
//   out of limit - ObjectRect holds the new normalised rectangle, the rest
//                  (an older frame included) is unchanged;
//   not found    - unchanged. An image that cannot be read counts as not found.
TAutoFrameResult AutoFrameAll(TSequence& sequence, const TAutoFrameOptions& options,
                              const TAutoFrameHooks& hooks = {});

// Rebuilds every existing frame with the margin `margin`, from its ObjectRect,
// without detecting again: each framed image is read again, and its frame is
// dropped (HasFrame and Checked false, `unticked` called; the pixel copy stays)
// when the grown rectangle leaves the image or the image cannot be read;
// otherwise FrameRect and the pixel copy are renewed (Checked unchanged).
// The frame size does not change. CurrentIndex is as before at the end.
// Returns one OutOfLimit row per dropped frame.
std::vector<TFrameProblem> RebuildFrameMargins(TSequence& sequence, int32_t margin,
                                               const std::function<void(int32_t)>& unticked = {});
