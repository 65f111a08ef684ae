// SPDX-License-Identifier: GPL-3.0-or-later
// Number fields of the parameter dialogs: an edit that takes only digits, and
// the up-down arrows attached to it.
#pragma once

#include <QObject>
#include <QWidget>

class QKeyEvent;
class QLineEdit;
class QToolButton;

// True when a key typed into a number edit may reach it: a digit "0" to "9",
// Backspace or Escape, and every key that types no character or is a
// shortcut (arrows, Home/End, Delete, Tab, Enter, Ctrl+C/V/X/Z/A...). Any other
// typed character is discarded.
bool IsNumberEditKey(const QKeyEvent& key);

// Installs that filter on `edit`.
void InstallNumberKeyFilter(QLineEdit* edit);

// Up-down arrows attached to an edit, as a spin button without its own text.
// The position stays within Min..Max; each arrow press (or Up/Down key in the
// edit) starts from the edit's number when it is one within the range, moves
// by one and writes the new position into the edit.
class TParamUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit TParamUpDown(QWidget* parent = nullptr);

  void Associate(QLineEdit* edit);
  QLineEdit* Associated() const { return Edit_; }
  void SetRange(int min, int max);
  int Min() const { return Min_; }
  int Max() const { return Max_; }
  int Position() const { return Position_; }
  // Clamped to the range; the edit shows it.
  void SetPosition(int position);
  // Takes the edit's text when it is a number within the range, else keeps
  // the position; returns the position.
  int PositionFromText();
  void Step(int delta);

  QToolButton* UpButton = nullptr;
  QToolButton* DownButton = nullptr;

 signals:
  void Changed(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int Min_ = 0;
  int Max_ = 100;
  int Position_ = 0;
  QLineEdit* Edit_ = nullptr;
};
