// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Adjuster.h"

#include <algorithm>
#include <cstring>

namespace {
// Tables of a channel are merged in this order: lightness, contrast, addition, gamma.
int TableSlot(TAdjustRow row) {
  switch (row) {
    case TAdjustRow::Lightness: return 0;
    case TAdjustRow::Contrast: return 1;
    case TAdjustRow::Addition: return 2;
    case TAdjustRow::Gamma: return 3;
  }
  return 0;
}
}  // namespace

TBarRange AdjustRowRange(TAdjustRow row) {
  if (row == TAdjustRow::Gamma) return {1, 20000, 10000, 100};
  return {-256, 256, 0, 20};
}

TAdjusterState::TAdjusterState() { Reset(); }

void TAdjusterState::Open(const TFastDIB& target) {
  Reset();
  Copy_.CopyFrom(target);
}

void TAdjusterState::Reset() {
  for (TAdjustRow row : {TAdjustRow::Contrast, TAdjustRow::Lightness, TAdjustRow::Addition, TAdjustRow::Gamma})
    for (int c = 0; c < 3; ++c) {
      Pos_[size_t(row)][size_t(c)] = AdjustRowRange(row).Neutral;
      Rebuild(row, TChannel(c));
    }
  Saturation_ = kSaturationRange.Neutral;
  SaturationTable(Saturation_, SatTable_);
}

int TAdjusterState::Position(TAdjustRow row, TChannel channel) const { return Pos_[size_t(row)][size_t(channel)]; }

void TAdjusterState::Rebuild(TAdjustRow row, TChannel channel) {
  const int p = Position(row, channel);
  TLut& lut = Tables_[size_t(channel)][size_t(TableSlot(row))];
  switch (row) {
    case TAdjustRow::Contrast: ContrastTable(p, lut); break;
    case TAdjustRow::Lightness: LightnessTable(p, lut); break;
    case TAdjustRow::Addition: AdditionTable(p, lut); break;
    case TAdjustRow::Gamma: GammaTable(p * 0.0001, lut); break;
  }
}

void TAdjusterState::SetPosition(TAdjustRow row, TChannel channel, int position) {
  const TBarRange range = AdjustRowRange(row);
  position = std::clamp(position, range.Min, range.Max);
  for (int c = 0; c < 3; ++c) {
    if (!Lock && c != int(channel)) continue;
    Pos_[size_t(row)][size_t(c)] = position;
    Rebuild(row, TChannel(c));
  }
}

void TAdjusterState::SetSaturation(int position) {
  Saturation_ = std::clamp(position, kSaturationRange.Min, kSaturationRange.Max);
  SaturationTable(Saturation_, SatTable_);
}

TAdjustPath TAdjusterState::Path() const {
  bool neutral = true;
  for (TAdjustRow row : {TAdjustRow::Contrast, TAdjustRow::Lightness, TAdjustRow::Addition, TAdjustRow::Gamma})
    for (int c = 0; c < 3; ++c) neutral = neutral && Pos_[size_t(row)][size_t(c)] == AdjustRowRange(row).Neutral;
  const bool saturated = Saturation_ != kSaturationRange.Neutral;
  if (neutral) return saturated ? TAdjustPath::Saturation : TAdjustPath::CopyOnly;
  return saturated ? TAdjustPath::SaturationLut : TAdjustPath::Lut;
}

TAdjustPath TAdjusterState::Recompute(TFastDIB& target) const {
  const TAdjustPath path = Path();
  if (!Copy_.Bits || !target.Bits || target.Size() != Copy_.Size() || target.Bpp() != Copy_.Bpp()) return path;
  if (Copy_.Bpp() <= 8)
    std::memcpy(target.Colors, Copy_.Colors, sizeof(TRGBQuad) * 256);
  else
    std::memcpy(target.Bits, Copy_.Bits, Copy_.Size());
  if (path == TAdjustPath::CopyOnly) return path;
  if (path == TAdjustPath::Saturation) {
    ApplySaturation(target, SatTable_);
    return path;
  }
  TLut merged[3];
  for (int c = 0; c < 3; ++c) MergeLUTs(std::span<const TLut>(Tables_[size_t(c)]), merged[c]);
  if (path == TAdjustPath::Lut)
    ApplyLUT(target, merged[0], merged[1], merged[2]);
  else
    ApplySaturationLUT(target, SatTable_, merged[0], merged[1], merged[2]);
  return path;
}
