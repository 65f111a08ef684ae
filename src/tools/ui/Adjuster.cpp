// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ui/Adjuster.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>

#include "image/ui/FastIMG.h"

namespace {
QScrollBar* MakeBar(QWidget* parent, const QString& name, int min, int max, int value, int largeStep) {
  auto* bar = new QScrollBar(Qt::Horizontal, parent);
  bar->setObjectName(name);
  bar->setAccessibleName(name);
  bar->setRange(min, max);
  bar->setSingleStep(1);
  bar->setPageStep(largeStep);
  bar->setValue(value);
  bar->setMinimumWidth(220);
  return bar;
}
}  // namespace

TAdjuster::TAdjuster(QWidget* parent) : QDialog(parent) {
  setObjectName("Adjuster");
  setWindowTitle("Image Attributes");
  // No OK or Cancel: the close button is the only title-bar button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto* grid = new QGridLayout(this);
  const struct {
    TAdjustRow Row;
    const char* Label;
    const char* Name;
  } rows[] = {{TAdjustRow::Contrast, "Contrast:", "Contrast"},
              {TAdjustRow::Lightness, "Luminosity:", "Lightness"},
              {TAdjustRow::Addition, "Addition:", "Addition"},
              {TAdjustRow::Gamma, "Gamma correction:", "Gamma"}};
  int line = 0;
  for (const auto& r : rows) {
    grid->addWidget(new QLabel(r.Label, this), line++, 0, 1, 2);
    const TBarRange range = AdjustRowRange(r.Row);
    const char* prefixes[] = {"r", "g", "b"};
    for (int c = 0; c < 3; ++c) {
      QScrollBar* bar = MakeBar(this, QString(prefixes[c]) + r.Name, range.Min, range.Max, range.Neutral,
                                range.LargeStep);
      Bars_[size_t(r.Row)][size_t(c)] = bar;
      grid->addWidget(new QLabel(QString(QChar("RGB"[c])), this), line, 0);
      grid->addWidget(bar, line++, 1);
      connect(bar, &QScrollBar::valueChanged, this,
              [this, row = r.Row, c](int v) { BarMoved(row, TChannel(c), v); });
    }
  }
  grid->addWidget(new QLabel("Saturation", this), line++, 0, 1, 2);
  aSaturation = MakeBar(this, "aSaturation", kSaturationRange.Min, kSaturationRange.Max, kSaturationRange.Neutral,
                        kSaturationRange.LargeStep);
  grid->addWidget(aSaturation, line++, 0, 1, 2);
  connect(aSaturation, &QScrollBar::valueChanged, this, [this](int v) {
    if (Updating_) return;
    State.SetSaturation(v);
    Recompute();
  });
  Lock = new QCheckBox("&Fixed RGB", this);
  Lock->setObjectName("Lock");
  Lock->setAccessibleName("Fixed RGB");
  connect(Lock, &QCheckBox::toggled, this, [this](bool on) { State.Lock = on; });
  btnReset = new QPushButton("&Zero", this);
  btnReset->setObjectName("btnReset");
  btnReset->setAccessibleName("Zero");
  connect(btnReset, &QPushButton::clicked, this, &TAdjuster::btnResetClick);
  grid->addWidget(Lock, line, 0);
  grid->addWidget(btnReset, line, 1, Qt::AlignRight);

  rContrast = Bars_[0][0], gContrast = Bars_[0][1], bContrast = Bars_[0][2];
  rLightness = Bars_[1][0], gLightness = Bars_[1][1], bLightness = Bars_[1][2];
  rAddition = Bars_[2][0], gAddition = Bars_[2][1], bAddition = Bars_[2][2];
  rGamma = Bars_[3][0], gGamma = Bars_[3][1], bGamma = Bars_[3][2];
}

QScrollBar* TAdjuster::Bar(TAdjustRow row, TChannel channel) const { return Bars_[size_t(row)][size_t(channel)]; }

void TAdjuster::ShowPositions() {
  Updating_ = true;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) Bars_[size_t(r)][size_t(c)]->setValue(State.Position(TAdjustRow(r), TChannel(c)));
  aSaturation->setValue(State.Saturation());
  Updating_ = false;
}

void TAdjuster::FormShow() {
  if (Target_) State.Open(Target_->Bmp());
  ShowPositions();
}

void TAdjuster::btnResetClick() {
  State.Reset();
  ShowPositions();
  Recompute();
}

void TAdjuster::BarMoved(TAdjustRow row, TChannel channel, int position) {
  if (Updating_) return;
  State.SetPosition(row, channel, position);
  if (State.Lock) ShowPositions();
  Recompute();
}

TAdjustPath TAdjuster::Recompute() {
  if (!Target_) return LastPath_;
  LastPath_ = State.Recompute(Target_->Bmp());
  Target_->repaint();
  return LastPath_;
}

void TAdjuster::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TAdjuster::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  // The copy goes; the target keeps the adjusted picture.
  State.Open(TFastDIB());
}
