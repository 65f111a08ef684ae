// SPDX-License-Identifier: GPL-3.0-or-later
// The two combination commands of the main window without any window: the
// progress caption and bar range of each job, the kappa dialog's rules, and
// one run of the combination giving the result image, its report lines and
// the result window's caption.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "combine/Combine.h"
#include "tools/ResultWindow.h"

class TSequence;

// The job as the progress window shows it: caption and bar range (the bar
// counts the rows of the frame, 0 to FrameHeight).
struct TCombineJobSpec {
  std::string Caption;  // "Combinaison by mean" or "Combinaison Kappa-Sigma"
  int Minimum = 0;
  int Maximum = 0;
};
TCombineJobSpec CombineJobSpec(TCombineMethod method, int frameHeight);

// The kappa dialog ("Kappa-Sigma parameters ..."): its spin runs from 1 to 10.
inline constexpr int kKappaSpinMin = 1;
inline constexpr int kKappaSpinMax = 10;
// The spin's starting position for the kappa setting (0 to 10 in the
// Parameters dialog): brought into the spin's range.
int KappaSpinStart(int32_t kappaSetting);
// The edit lets through the digits, Backspace (8) and Escape (27) only.
bool KappaKeyAccepted(char32_t key);

// One finished combination.
struct TCombineResult {
  std::unique_ptr<TFastDIB> Image;
  std::vector<std::string> Report;
  std::string Caption;  // the result window's caption
  int Count = 0;        // images that took part
  std::unique_ptr<TFullDepthImage> Full;  // the unrounded result, when params.FullDepth
};

// Runs the combination over the sequence's ticked, framed images and builds
// the report. Nothing when the run was cancelled. For kappa-sigma,
// params.kappa is the kappa of the run (the kappa dialog's choice). With
// `subpixel` the frames are aligned to a fraction of a pixel first (the
// Parameters' sub-pixel choice); otherwise they are combined as framed.
std::optional<TCombineResult> RunCombination(const TSequence& sequence, TCombineMethod method,
                                             const TCombineParams& params, const TCombineCallbacks& callbacks,
                                             bool subpixel = false);
