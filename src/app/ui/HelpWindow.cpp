// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/HelpWindow.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/Messages.h"

THelpWindow::THelpWindow(const QString& guide, QWidget* parent) : QDialog(parent), Guide_(guide) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Stellon guide"));
  resize(760, 640);

  Browser = new QTextBrowser(this);
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setAccessibleName(QStringLiteral("User guide"));
  Browser->setOpenExternalLinks(true);
  if (guide.isEmpty())
    Browser->setMarkdown(QStringLiteral("The user guide was not found beside the program."));
  else
    Browser->setSource(QUrl::fromLocalFile(guide), QTextDocument::MarkdownResource);

  BtBrowser = new QPushButton(QStringLiteral("Open in browser"), this);
  BtBrowser->setObjectName(QStringLiteral("BtBrowser"));
  BtBrowser->setAccessibleName(QStringLiteral("Open the guide in the web browser"));
  BtBrowser->setEnabled(!guide.isEmpty());
  BtClose = new QPushButton(QStringLiteral("Close"), this);
  BtClose->setObjectName(QStringLiteral("BtClose"));
  BtClose->setAccessibleName(QStringLiteral("Close the guide"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtBrowser);
  buttons->addStretch(1);
  buttons->addWidget(BtClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Browser, 1);
  layout->addLayout(buttons);

  connect(BtBrowser, &QPushButton::clicked, this, &THelpWindow::BtBrowserClick);
  connect(BtClose, &QPushButton::clicked, this, &QDialog::close);
}

void THelpWindow::BtBrowserClick() {
  const QUrl url = QUrl::fromLocalFile(Guide_);
  const bool opened = OpenUrl ? OpenUrl(url) : QDesktopServices::openUrl(url);
  if (!opened)
    Messages().Ok("Help", "No program could open " + Guide_.toStdString() + ".\nThe guide stays readable here.",
                  TMsgIcon::Warning);
}
