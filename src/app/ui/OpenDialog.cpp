#include "app/ui/OpenDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>

#include <memory>

namespace {

// Fits the columns of the detailed list to their contents and widens the
// dialog by what they lack.
void FitColumns(QFileDialog* dialog, QTreeView* view) {
  const int columns = view->header()->count();
  int needed = 0;
  for (int c = 0; c < columns; ++c) {
    if (view->isColumnHidden(c)) continue;
    view->resizeColumnToContents(c);
    needed += view->columnWidth(c);
  }
  needed += view->verticalScrollBar()->sizeHint().width() + 2 * view->frameWidth();
  const int lacking = needed - view->width();
  if (lacking <= 0) return;
  int width = dialog->width() + lacking;
  if (const QScreen* screen = dialog->screen()) width = std::min(width, screen->availableGeometry().width());
  dialog->resize(width, dialog->height());
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
  dialog->resize(860, 500);
  auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
  auto* model = dialog->findChild<QFileSystemModel*>();
  if (view && model) {
    // Names are never cut: the name column takes what it needs, not the rest.
    view->header()->setStretchLastSection(false);
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
