// SPDX-License-Identifier: GPL-3.0-or-later
// The help window: the user guide (Markdown, with its pictures) shown by Qt,
// and a button that hands it to the desktop's browser.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QPushButton;
class QTextBrowser;

class THelpWindow : public QDialog {
  Q_OBJECT

 public:
  // `guide`: path of guide.md, empty when it was not found.
  explicit THelpWindow(const QString& guide, QWidget* parent = nullptr);

  QTextBrowser* Browser = nullptr;
  QPushButton* BtBrowser = nullptr;  // "Open in browser"
  QPushButton* BtClose = nullptr;

  // Opens a URL outside the program; tests replace it. False when nothing opened it.
  std::function<bool(const QUrl&)> OpenUrl;

  void BtBrowserClick();

 private:
  QString Guide_;
};
