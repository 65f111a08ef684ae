// SPDX-License-Identifier: GPL-3.0-or-later
#include "browse/ui/FolderTree.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;
}  // namespace

TFolderTree::TFolderTree(QWidget* parent) : QTreeWidget(parent) {
  setAccessibleName(QStringLiteral("Folders"));
  setHeaderHidden(true);
  setContextMenuPolicy(Qt::NoContextMenu);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  Computer_ = new QTreeWidgetItem(this, {QStringLiteral("Computer")});
  Computer_->setData(0, kLoadedRole, true);
  AddFolder(Computer_, QStringLiteral("/"), QStringLiteral("/"));
  AddFolder(Computer_, QDir::home().dirName(), QDir::homePath());
  Computer_->setExpanded(true);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Populate(item); });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { emit NodeChanged(current); });
}

QString TFolderTree::NodePath(const QTreeWidgetItem* node) {
  return node ? node->data(0, kPathRole).toString() : QString();
}

QTreeWidgetItem* TFolderTree::AddFolder(QTreeWidgetItem* parent, const QString& text, const QString& path) {
  auto* item = new QTreeWidgetItem(parent, {text});
  item->setData(0, kPathRole, path);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void TFolderTree::Populate(QTreeWidgetItem* node) {
  if (!node || node->data(0, kLoadedRole).toBool()) return;
  node->setData(0, kLoadedRole, true);
  // A folder that cannot be read simply has no sub-folders.
  const QDir dir(NodePath(node));
  const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& name : names) AddFolder(node, name, dir.filePath(name));
  if (names.isEmpty()) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

bool TFolderTree::SelectPath(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isDir()) return false;
  const QString clean = QDir::cleanPath(info.absoluteFilePath());
  // Below the home folder, go from there; otherwise from the root.
  const QString home = QDir::cleanPath(QDir::homePath());
  QTreeWidgetItem* node = Computer_->child(0);
  QString rest = clean;
  if (clean == home || clean.startsWith(home + QLatin1Char('/'))) {
    node = Computer_->child(1);
    rest = clean.mid(home.size());
  }
  for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    Populate(node);
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < node->childCount() && !next; ++i)
      if (node->child(i)->text(0) == part) next = node->child(i);
    // A hidden folder is not shown until it is asked for.
    if (!next && QFileInfo(QDir(NodePath(node)).filePath(part)).isDir())
      next = AddFolder(node, part, QDir(NodePath(node)).filePath(part));
    if (!next) return false;
    node->setExpanded(true);
    node = next;
  }
  setCurrentItem(node);
  scrollToItem(node);
  return true;
}
