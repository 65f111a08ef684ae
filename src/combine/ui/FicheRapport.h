// SPDX-License-Identifier: GPL-3.0-or-later
// TFicheRapport: the problem report window. It lists the images that automatic
// framing or margin rebuilding could not frame, one row per image ("Image 2" |
// "Impossible to draw frame"), under a one-line summary, with a button that
// shows or hides the list.
//
// Use: create it hidden, BeginUpdate, AddRow for each problem, then, when there
// is at least one row, EndUpdate, SetupReport and exec(); delete it afterwards.
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "combine/Report.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TFicheRapport : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kFullHeight = 278;   // summary, buttons and the list
  static constexpr int kShortHeight = 101;  // summary and buttons only
  static constexpr int kFixedWidth = 377;

  explicit TFicheRapport(QWidget* parent = nullptr);

  // Components, in creation order.
  QLabel* le_texte = nullptr;        // the one-line summary
  QPushButton* btDetail = nullptr;   // shows or hides the list
  QPushButton* BtOK = nullptr;       // closes the window
  QTreeWidget* ListView1 = nullptr;  // report view: "Image" (80 pixels), "Error" (the rest)
  bool DetailShown = false;          // the list part is shown

  // Bulk update of the list: painting is held back until EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  void AddRow(const QString& image, const QString& error);
  void AddRow(const TProblemRow& row);
  void AddRows(const std::vector<TProblemRow>& rows);
  int RowCount() const;

  // Caption and summary; hides btDetail and uses the short height when the
  // list is empty, otherwise shows it as "<<< Detail" at the full height.
  void SetupReport(const QString& caption, const QString& text);

 public slots:
  void btDetailClick();

 private:
  void SetHeight(int height);
};
