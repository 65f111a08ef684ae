// SPDX-License-Identifier: GPL-3.0-or-later
#include "image/HSLUtils.h"

#include <algorithm>
#include <cmath>

void RGBtoHSL(uint32_t colorRef, double& hue, double& saturation, double& lightness) {
  const double r = double(colorRef & 255) / 255.0;
  const double g = double((colorRef >> 8) & 255) / 255.0;
  const double b = double((colorRef >> 16) & 255) / 255.0;
  const double mx = std::max(std::max(r, g), b);
  const double mn = std::min(std::min(r, g), b);
  lightness = (mx + mn) / 2;
  if (mx == mn) {
    hue = 0;
    saturation = 0;
    return;
  }
  const double d = mx - mn;
  saturation = lightness < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
  double h;
  if (r == mx) h = (g - b) / d;
  else if (g == mx) h = 2 + (b - r) / d;
  else h = 4 + (r - g) / d;
  h /= 6;
  if (h < 0) h += 1;
  hue = h;
}

int ColorLightness(TColorBGR c) {
  const int mx = std::max({c.r, c.g, c.b});
  const int mn = std::min({c.r, c.g, c.b});
  const int sum = mx + mn;
  const int half = sum >> 1;
  // An odd sum is an exact .5: go to the even neighbour.
  return half + ((sum & 1) & (half & 1));
}

double ColorNorm(TColorBGR c) {
  const int r = c.r, g = c.g, b = c.b;
  return std::sqrt(double(r * r + g * g + b * b));
}

double MeanOf(const double* values, int count) {
  if (count < 1) return 0;
  const double first = values[0];
  double sum = 0;
  for (int i = 1; i < count; ++i) sum += values[i] - first;
  return first + sum / count;
}

double SpreadOf(const double* values, int count) {
  if (count < 1) return 0;
  const double m = MeanOf(values, count);
  double sum = 0;
  for (int i = 0; i < count; ++i) sum += (values[i] - m) * (values[i] - m);
  return std::sqrt(sum) / count;
}
