// SPDX-License-Identifier: GPL-3.0-or-later
// The state and rules of the rotation dialog ("Rotation", TfrmRotate in
// tools/ui/Rotate.h), without any window: the angle, the centre (automatic or
// from the two bars), the size (automatic or from the two fields), and the
// recomputation of the target picture from the copy taken when the window
// opened.
#pragma once

#include <string>

#include "image/FastDIB.h"

inline constexpr int kAngleMax = 3600;       // angle bar: tenths of a degree
inline constexpr int kAngleLargeStep = 100;
inline constexpr int kSizeFieldMax = 32767;  // largest number a size field takes

// A size field's number: its digits as a whole number, clamped to
// 0..kSizeFieldMax; text that is not a whole number (empty included) gives 0.
int SizeFieldValue(const std::string& text);
// The degree label: the angle rounded to the nearest whole degree, then " ° ".
std::string DegreeLabel(double degrees);

class TRotationState {
 public:
  // The window opens on `target`: the copy is taken, the size fields get its
  // size, the centre bars' maxima the target's size and their positions half
  // of it. The caller then recomputes.
  void Open(const TFastDIB& target);

  int AnglePosition = 0;  // 0..kAngleMax; the angle is position x 0.1 degrees
  bool AutoCenter = true;
  bool AutoSize = false;
  int XCenter = 0, YCenter = 0;  // centre bar positions (used without AutoCenter)
  int XMax = 0, YMax = 0;        // centre bar maxima
  std::string WidthText, HeightText;

  double Angle() const { return AnglePosition * 0.1; }
  // Controls enabled: the centre bars without AutoCenter, the size fields without AutoSize.
  bool CenterBarsEnabled() const { return !AutoCenter; }
  bool SizeFieldsEnabled() const { return !AutoSize; }

  // Sizes `target` (automatically, or from the fields), finds the centre,
  // blackens it and turns the copy into it. Updates the size fields (auto
  // sizing), the centre maxima (manual centre) and the label.
  void Recompute(TFastDIB& target);
  const std::string& Label() const { return Label_; }
  int CenterX() const { return Cx_; }
  int CenterY() const { return Cy_; }

  const TFastDIB& Copy() const { return Copy_; }

 private:
  TFastDIB Copy_;
  std::string Label_ = "0 °";
  int Cx_ = 0, Cy_ = 0;
};
