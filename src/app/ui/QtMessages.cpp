// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/QtMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

namespace {
QMessageBox::Icon ToQt(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::Information: return QMessageBox::Information;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::Error: return QMessageBox::Critical;
    case TMsgIcon::Question: return QMessageBox::Question;
    case TMsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// Texts come with Windows line breaks (a lone CR, or CR LF); a Qt label wants LF.
QString DisplayText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}
}  // namespace

const char* TQtMessages::ButtonText(TMsgButton button) {
  switch (button) {
    case TMsgButton::OK: return "OK";
    case TMsgButton::Cancel: return "Cancel";
    case TMsgButton::Yes: return "Yes";
    case TMsgButton::No: return "No";
    case TMsgButton::Abort: return "Abort";
    case TMsgButton::All: return "All";
    case TMsgButton::None: break;
  }
  return "";
}

QWidget* TQtMessages::DefaultParent() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  return QApplication::activeWindow();
}

TMsgButton TQtMessages::Show(const TMessageRequest& request) {
  QMessageBox box(DefaultParent());
  box.setWindowTitle(QString::fromStdString(request.Caption));
  box.setTextFormat(Qt::PlainText);  // file names may hold '<' or '&'
  box.setText(DisplayText(request.Text));
  box.setIcon(ToQt(request.Icon));
  box.setWindowModality(Qt::ApplicationModal);

  std::vector<TMsgButton> wanted = request.Buttons;
  if (wanted.empty()) wanted.push_back(TMsgButton::OK);
  std::vector<std::pair<QAbstractButton*, TMsgButton>> buttons;
  QAbstractButton* escape = nullptr;
  for (TMsgButton b : wanted) {
    if (b == TMsgButton::None) continue;
    // One role for all, so the box keeps the requested order instead of
    // sorting the buttons by the desktop's conventions.
    QPushButton* pb = box.addButton(QString::fromLatin1(ButtonText(b)), QMessageBox::ActionRole);
    pb->setObjectName(QString::fromLatin1(ButtonText(b)));
    if (buttons.empty()) box.setDefaultButton(pb);
    if (b == TMsgButton::Cancel) escape = pb;
    buttons.emplace_back(pb, b);
  }
  if (!escape && buttons.size() == 1) escape = buttons.front().first;
  // Without an escape button QMessageBox ignores Escape and the close box.
  box.setEscapeButton(escape);

  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  for (const auto& [pb, b] : buttons)
    if (pb == clicked) return b;
  return TMsgButton::None;
}

TMessages* InstallQtMessages() {
  static TQtMessages service;
  return SetMessages(&service);
}
