// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/ParamUpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
class TNumberKeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && !IsNumberEditKey(*static_cast<QKeyEvent*>(event))) return true;
    return QObject::eventFilter(watched, event);
  }
};
}  // namespace

bool IsNumberEditKey(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return true;
  const QString text = key.text();
  if (text.isEmpty()) return true;  // arrows, Home, End, function keys...
  for (const QChar c : text) {
    // Control characters (Backspace 8, Tab, Enter, Escape 27, Delete 127) pass.
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) continue;
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

void InstallNumberKeyFilter(QLineEdit* edit) { edit->installEventFilter(new TNumberKeyFilter(edit)); }

TParamUpDown::TParamUpDown(QWidget* parent) : QWidget(parent) {
  UpButton = new QToolButton(this);
  UpButton->setArrowType(Qt::UpArrow);
  UpButton->setObjectName("Up");
  DownButton = new QToolButton(this);
  DownButton->setArrowType(Qt::DownArrow);
  DownButton->setObjectName("Down");
  UpButton->setAccessibleName(QStringLiteral("Increase"));
  DownButton->setAccessibleName(QStringLiteral("Decrease"));
  for (QToolButton* b : {UpButton, DownButton}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    b->setFixedWidth(18);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(UpButton);
  layout->addWidget(DownButton);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  connect(UpButton, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TParamUpDown::Associate(QLineEdit* edit) {
  if (Edit_) Edit_->removeEventFilter(this);
  Edit_ = edit;
  if (Edit_) {
    Edit_->installEventFilter(this);
    setFixedHeight(Edit_->sizeHint().height());
    SetPosition(Position_);
  }
}

void TParamUpDown::SetRange(int min, int max) {
  Min_ = min;
  Max_ = max < min ? min : max;
  SetPosition(Position_);
}

void TParamUpDown::SetPosition(int position) {
  Position_ = qBound(Min_, position, Max_);
  if (Edit_) Edit_->setText(QString::number(Position_));
  emit Changed(Position_);
}

int TParamUpDown::PositionFromText() {
  if (!Edit_) return Position_;
  const QString text = Edit_->text().trimmed();
  bool digits = !text.isEmpty() && text.size() <= 9;
  for (const QChar c : text) digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
  if (digits) {
    const int v = text.toInt();
    if (v >= Min_ && v <= Max_) Position_ = v;
  }
  return Position_;
}

void TParamUpDown::Step(int delta) { SetPosition(PositionFromText() + delta); }

bool TParamUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit_ && event->type() == QEvent::KeyPress && isEnabled()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Up) return Step(+1), true;
      if (key->key() == Qt::Key_Down) return Step(-1), true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
