// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Rotation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/Effects.h"

int SizeFieldValue(const std::string& text) {
  if (text.empty()) return 0;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = std::min<long>(value * 10 + (c - '0'), kSizeFieldMax);
  }
  return int(value);
}

std::string DegreeLabel(double degrees) {
  return std::to_string(static_cast<long long>(std::nearbyint(degrees))) + " ° ";
}

void TRotationState::Open(const TFastDIB& target) {
  Copy_.CopyFrom(target);
  WidthText = std::to_string(Copy_.Width());
  HeightText = std::to_string(Copy_.AbsHeight);
  XMax = target.Width();
  YMax = target.AbsHeight;
  XCenter = XMax / 2;
  YCenter = YMax / 2;
  Label_ = "0 °";
}

void TRotationState::Recompute(TFastDIB& target) {
  const double angle = Angle();
  if (AutoSize) {
    RotateSize(Copy_, target, angle);
    WidthText = std::to_string(target.Width());
    HeightText = std::to_string(target.AbsHeight);
  } else {
    target.SetSize(SizeFieldValue(WidthText), SizeFieldValue(HeightText), Copy_.Bpp(), Copy_.BitFormat);
  }
  if (AutoCenter) {
    Cx_ = target.Width() / 2;
    Cy_ = target.AbsHeight / 2;
  } else {
    XMax = target.Width();
    YMax = target.AbsHeight;
    XCenter = std::clamp(XCenter, 0, XMax);
    YCenter = std::clamp(YCenter, 0, YMax);
    Cx_ = XCenter;
    Cy_ = YCenter;
  }
  if (target.Bits) {
    std::memset(target.Bits, 0, target.Size());
    Rotate(Copy_, target, Cx_, Cy_, angle);
  }
  Label_ = DegreeLabel(angle);
}
