// SPDX-License-Identifier: GPL-3.0-or-later
// TFormRapport: the text report window. Shows the lines of a combination
// report in a read-only memo above a bottom panel with an OK button. The
// result window creates one per use: caption "Report :" + its own caption,
// SetLines, exec(), delete.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QFrame;
class QPlainTextEdit;
class QPushButton;

class TFormRapport : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kInitialWidth = 326;
  static constexpr int kInitialHeight = 329;
  static constexpr int kPanelHeight = 38;

  explicit TFormRapport(QWidget* parent = nullptr);

  QPlainTextEdit* Memo1 = nullptr;  // read-only, both scroll bars, no word wrap
  QFrame* Panel1 = nullptr;         // bottom panel holding BtOK
  QPushButton* BtOK = nullptr;

  // Clears Memo1 and adds the lines one by one.
  void SetLines(const std::vector<std::string>& lines);
  // The memo's lines, as shown.
  std::vector<std::string> Lines() const;

  // Keeps BtOK at the right of the panel: Left = panel width - 5 - its width.
  void FormResize();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};
