// SPDX-License-Identifier: GPL-3.0-or-later
#include "browse/ui/BrowseImage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <system_error>

#include "browse/ui/FolderTree.h"
#include "image/ui/FastIMG.h"

TBrowseImage::TBrowseImage(const std::string& repertoire, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Images preview"));
  setAccessibleName(windowTitle());
  resize(900, 650);

  Label1 = new QLabel(QStringLiteral("Directory :"));
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAccessibleName(QStringLiteral("Directory"));
  SystemTreeView1 = new TFolderTree;
  SystemTreeView1->setObjectName(QStringLiteral("SystemTreeView1"));
  FastIMG1 = new TFastIMG;
  FastIMG1->setObjectName(QStringLiteral("FastIMG1"));
  FastIMG1->setAccessibleName(QStringLiteral("Image"));
  FastIMG1->SetSizeMode(smGDI);
  FastIMG1->SetAutoSize(false);
  ScrollBox1 = new QScrollArea;
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
  ScrollBox1->setAccessibleName(QStringLiteral("Image area"));
  ScrollBox1->setWidget(FastIMG1);
  ScrollBox1->setAlignment(Qt::AlignCenter);

  ListView1 = new QTreeWidget;
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setAccessibleName(QStringLiteral("Images of directory"));
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setSortingEnabled(false);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Date"),
                              QStringLiteral("Color"), QStringLiteral("Width"), QStringLiteral("Height")});
  ListView1->setColumnWidth(0, 150);
  ListView1->setColumnWidth(2, 120);
  ListView1->header()->setStretchLastSection(true);
  ListView1->setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));

  BtFermer = new QPushButton(QStringLiteral("&Close"));
  BtFermer->setObjectName(QStringLiteral("BtFermer"));
  BtFermer->setAccessibleName(QStringLiteral("Close"));
  BtFermer->setDefault(true);
  connect(BtFermer, &QPushButton::clicked, this, &QDialog::accept);

  PopupMenu1 = new QMenu(this);
  popup_centrer = PopupMenu1->addAction(QStringLiteral("Real size"));
  popup_centrer->setObjectName(QStringLiteral("popup_centrer"));
  popup_ajustee = PopupMenu1->addAction(QStringLiteral("adjusted size"));
  popup_ajustee->setObjectName(QStringLiteral("popup_ajustee"));
  for (QAction* a : {popup_centrer, popup_ajustee}) a->setCheckable(true);
  for (QWidget* w : {static_cast<QWidget*>(ScrollBox1), static_cast<QWidget*>(FastIMG1)}) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this,
            [this, w](const QPoint& at) { PopupMenu1->popup(w->mapToGlobal(at)); });
  }
  connect(popup_centrer, &QAction::triggered, this, &TBrowseImage::popup_centrerClick);
  connect(popup_ajustee, &QAction::triggered, this, &TBrowseImage::popup_ajusteeClick);

  auto* left = new QWidget;
  auto* leftLay = new QVBoxLayout(left);
  leftLay->setContentsMargins(0, 0, 0, 0);
  leftLay->addWidget(Label1);
  leftLay->addWidget(SystemTreeView1, 1);
  auto* top = new QSplitter(Qt::Horizontal);
  top->addWidget(left);
  top->addWidget(ScrollBox1);
  top->setStretchFactor(1, 3);
  auto* all = new QSplitter(Qt::Vertical);
  all->addWidget(top);
  all->addWidget(ListView1);
  all->setStretchFactor(0, 3);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(BtFermer);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(all, 1);
  lay->addLayout(bottom);

  ListingTimer_ = new QTimer(this);
  ListingTimer_->setInterval(0);
  connect(ListingTimer_, &QTimer::timeout, this, &TBrowseImage::ListSomeFiles);
  connect(SystemTreeView1, &TFolderTree::NodeChanged, this, &TBrowseImage::SystemTreeView1Change);
  connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TBrowseImage::ListView1SelectItem);

  // FormCreate.
  FastIMG1->SetDrawStyle(dsCenter);
  popup_centrer->setChecked(true);
  SystemTreeView1->SelectPath(QString::fromStdString(repertoire));
  if (Model.CurrentDir.empty()) Model.CurrentDir = repertoire;
}

void TBrowseImage::SystemTreeView1Change(QTreeWidgetItem* node) {
  const bool relist = Model.NodeSelected(node != nullptr, TFolderTree::NodePath(node).toStdString(),
                                         node ? node->text(0).toStdString() : std::string());
  Label1->setText(QString::fromStdString(Model.Label));
  if (!relist) return;
  ListView1->clear();
  Model.StartListing();
  ListingTimer_->start();
}

void TBrowseImage::ListSomeFiles() {
  const size_t from = Model.Rows.size();
  const bool more = Model.ListSome(200);
  QList<QTreeWidgetItem*> lines;
  for (size_t i = from; i < Model.Rows.size(); ++i) {
    QStringList texts;
    for (const std::string& c : Model.Line(int(i)).Columns) texts << QString::fromStdString(c);
    lines << new QTreeWidgetItem(texts);
  }
  ListView1->addTopLevelItems(lines);
  if (!more) ListingTimer_->stop();
}

void TBrowseImage::FinishListing() {
  while (Model.Listing()) ListSomeFiles();
}

void TBrowseImage::ListView1SelectItem() {
  const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
  if (selected.isEmpty()) return;  // deselection does nothing
  const int row = ListView1->indexOfTopLevelItem(selected.last());
  if (row < 0) return;
  auto picture = std::make_unique<TFastDIB>();
  // Only files whose header was read are loaded (a FIFO is never opened).
  if (Model.Rows[size_t(row)].Info.BitCount != -1) {
    try {
      picture->LoadFromFile(Model.PathOf(row));
    } catch (const std::system_error&) {
      // Gone since it was listed: the picture stays empty.
    }
  }
  FastIMG1->SetBmp(std::move(picture));
  if (Model.View == TBrowseImageModel::TView::RealSize) FastIMG1->resize(FastIMG1->Bmp().Width(), FastIMG1->Bmp().AbsHeight);
}

void TBrowseImage::popup_centrerClick() {
  Model.View = TBrowseImageModel::TView::RealSize;
  FastIMG1->SetDrawStyle(dsCenter);
  popup_centrer->setChecked(true);
  popup_ajustee->setChecked(false);
  ScrollBox1->setWidgetResizable(false);
  FastIMG1->resize(FastIMG1->Bmp().Width(), FastIMG1->Bmp().AbsHeight);
}

void TBrowseImage::popup_ajusteeClick() {
  Model.View = TBrowseImageModel::TView::Adjusted;
  FastIMG1->SetDrawStyle(dsResize);
  popup_centrer->setChecked(false);
  popup_ajustee->setChecked(true);
  ScrollBox1->setWidgetResizable(true);  // fills the scroll box
}
