// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/OpenDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QTreeView>

#include <algorithm>
#include <memory>

namespace {

// Fits the columns of the detailed list to their contents and widens the
// dialog until they show whole (the list gets only part of the extra width,
// so this takes a few steps), or up to the screen's width.
void FitColumns(QFileDialog* dialog, QTreeView* view) {
  int needed = 0;
  for (int c = 0; c < view->header()->count(); ++c) {
    if (view->isColumnHidden(c)) continue;
    view->resizeColumnToContents(c);
    needed += view->columnWidth(c);
  }
  const int screenWidth = dialog->screen() ? dialog->screen()->availableGeometry().width() : 4096;
  for (int step = 0; step < 8; ++step) {
    const int lacking = needed - view->viewport()->width();
    if (lacking <= 0 || dialog->width() >= screenWidth) return;
    dialog->resize(std::min(dialog->width() + lacking, screenWidth), dialog->height());
    if (dialog->layout()) dialog->layout()->activate();
  }
}

}  // namespace

QFileDialog* MakeOpenDialog(QWidget* parent, const QString& caption, const QString& filter) {
  auto* dialog = new QFileDialog(parent, caption, QString(), filter);
  dialog->setObjectName(QStringLiteral("OpenDialog"));
  dialog->setAccessibleName(caption);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setViewMode(QFileDialog::Detail);
  const int screenWidth = dialog->screen() ? dialog->screen()->availableGeometry().width() : 860;
  dialog->resize(std::min(860, screenWidth), 500);
  auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
  auto* model = dialog->findChild<QFileSystemModel*>();
  if (view && model) {
    // Names are never cut: the name column takes what it needs, not the rest.
    // The type column only repeats the filter ("avi File"): its room goes to them.
    view->header()->setStretchLastSection(false);
    view->setColumnHidden(2, true);
    QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog, [dialog, view] { FitColumns(dialog, view); });
    QObject::connect(dialog, &QFileDialog::directoryEntered, dialog, [dialog, view] { FitColumns(dialog, view); });
  }
  return dialog;
}

QString ChooseFileToOpen(QWidget* parent, const QString& caption, const QString& filter) {
  std::unique_ptr<QFileDialog> dialog(MakeOpenDialog(parent, caption, filter));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return QString();
  return dialog->selectedFiles().first();
}
