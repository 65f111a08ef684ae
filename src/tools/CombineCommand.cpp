// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/CombineCommand.h"

#include "lucky/Lucky.h"

#include <algorithm>

#include "combine/Report.h"
#include "sequence/Sequence.h"

TCombineJobSpec CombineJobSpec(TCombineMethod method, int frameHeight) {
  return {method == TCombineMethod::Mean ? "Combinaison by mean" : "Combinaison Kappa-Sigma", 0, frameHeight};
}

int KappaSpinStart(int32_t kappaSetting) { return std::clamp<int32_t>(kappaSetting, kKappaSpinMin, kKappaSpinMax); }

bool KappaKeyAccepted(char32_t key) { return (key >= U'0' && key <= U'9') || key == 8 || key == 27; }

std::optional<TCombineResult> RunCombination(const TSequence& sequence, TCombineMethod method,
                                             const TCombineParams& params, const TCombineCallbacks& callbacks,
                                             bool subpixel) {
  const bool kappa = method == TCombineMethod::KappaSigma;
  TCombineOutcome outcome = CombineLucky(sequence, params, kappa, subpixel, callbacks);
  if (outcome.Cancelled || !outcome.Image) return std::nullopt;
  TCombinationReportFacts facts;
  facts.Title = kappa ? kReportTitleKappa : kReportTitleMean;
  if (kappa) facts.Kappa = params.kappa;
  facts.UsedImages.assign(outcome.Used.begin(), outcome.Used.end());
  facts.LeftOutImages.assign(outcome.WrongSize.begin(), outcome.WrongSize.end());
  TCombineResult result;
  result.Count = outcome.Count();
  result.Image = std::move(outcome.Image);
  result.Full = std::move(outcome.Full);
  result.Report = BuildCombinationReport(sequence, facts);
  result.Caption = ResultCaption(method, result.Count);
  return result;
}
