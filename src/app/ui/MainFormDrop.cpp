// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: a file given from outside, on the command line or dropped on
// the window: an AVI video or a Kelvaron list.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "app/OpenFile.h"
#include "app/ui/MainForm.h"

namespace {
// The one local file of a drag, when it is something the window opens.
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) return {};
  const QString path = data->urls().front().toLocalFile();
  return OpenKindOf(QFile::encodeName(path).toStdString()) == TOpenKind::Unknown ? QString() : path;
}
}  // namespace

void TMainForm::OpenExternalFile(const QString& path) {
  if (OpenKindOf(QFile::encodeName(path).toStdString()) == TOpenKind::KelvaronList) {
    CommandLineParams = {QStringLiteral("/KELVARON"), path};
    OpenFromCommandLine();
  } else {
    OpenFile(path);  // anything else is tried as a video, which says when it is not one
  }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // Opened once the drop is over, so that its messages do not hold the file manager.
  QMetaObject::invokeMethod(this, [this, path] { OpenExternalFile(path); }, Qt::QueuedConnection);
}
