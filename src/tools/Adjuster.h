// SPDX-License-Identifier: GPL-3.0-or-later
// The state and rules of the colour adjuster ("Image Attributes", TAdjuster in
// tools/ui/Adjuster.h), without any window: the thirteen bar positions, the
// lookup tables built from them, "&Fixed RGB", "&Zero", and the recomputation
// of the target picture from the copy taken when the window opened.
#pragma once

#include <array>

#include "image/Effects.h"
#include "image/FastDIB.h"

enum class TAdjustRow { Contrast, Lightness, Addition, Gamma };
enum class TChannel { Red, Green, Blue };

struct TBarRange {
  int Min, Max, Neutral, LargeStep;
};
TBarRange AdjustRowRange(TAdjustRow row);
inline constexpr TBarRange kSaturationRange{0, 512, 256, 20};

// Which work a recomputation does after copying the copy's pixels back.
enum class TAdjustPath {
  CopyOnly,       // everything neutral
  Lut,            // ApplyLUT with the merged channel tables
  SaturationLut,  // ApplySaturationLUT: saturation and merged tables in one pass
  Saturation,     // ApplySaturation alone
};

class TAdjusterState {
 public:
  TAdjusterState();

  // The window opens: every bar neutral, then the copy of `target`.
  void Open(const TFastDIB& target);
  // "&Zero": every bar neutral and every table rebuilt. The caller recomputes.
  void Reset();

  bool Lock = false;  // "&Fixed RGB"

  int Position(TAdjustRow row, TChannel channel) const;
  int Saturation() const { return Saturation_; }
  // A colour bar moved to `position` (clamped to its range): its table is
  // rebuilt; with Lock, the row's other two bars take the same position.
  void SetPosition(TAdjustRow row, TChannel channel, int position);
  void SetSaturation(int position);

  TAdjustPath Path() const;
  // The copy's pixels back into `target` (same size and depth), then the
  // work of Path(). Returns the path taken.
  TAdjustPath Recompute(TFastDIB& target) const;

  const TFastDIB& Copy() const { return Copy_; }

 private:
  void Rebuild(TAdjustRow row, TChannel channel);
  std::array<std::array<int, 3>, 4> Pos_{};        // [row][channel]
  std::array<std::array<TLut, 4>, 3> Tables_{};    // [channel][lightness, contrast, addition, gamma]
  int Saturation_ = 256;
  TSatTable SatTable_{};
  TFastDIB Copy_;
};
