// SPDX-License-Identifier: GPL-3.0-or-later
#include "browse/ui/LoadBMPForm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <system_error>

#include "browse/ui/BrowseImage.h"
#include "browse/ui/FolderTree.h"
#include "image/ui/FastIMG.h"

std::unique_ptr<TBmpEntryList>& BmpSelection() {
  static std::unique_ptr<TBmpEntryList> selection;
  return selection;
}

namespace {

QTreeWidget* MakeList(const char* name, const QString& accessible, const QStringList& columns,
                      const std::vector<int>& widths) {
  auto* list = new QTreeWidget;
  list->setObjectName(QLatin1String(name));
  list->setAccessibleName(accessible);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setHeaderLabels(columns);
  for (size_t i = 0; i < widths.size(); ++i)
    if (widths[i] > 0) list->setColumnWidth(int(i), widths[i]);
  list->setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));  // grid lines
  return list;
}

QTreeWidgetItem* MakeLine(const TFileLine& line) {
  QStringList texts;
  for (const std::string& c : line.Columns) texts << QString::fromStdString(c);
  return new QTreeWidgetItem(texts);
}

QPushButton* MakeButton(const char* name, const QString& caption) {
  auto* b = new QPushButton(caption);
  b->setObjectName(QLatin1String(name));
  b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
  return b;
}

}  // namespace

TLoadBMPForm::TLoadBMPForm(const std::string& repertoire, QWidget* parent) : QDialog(parent), Repertoire_(repertoire) {
  setWindowTitle(QStringLiteral("Open/Edit a BMP file list"));
  setAccessibleName(windowTitle());
  resize(900, 600);

  dfsSystemTreeView1 = new TFolderTree;
  dfsSystemTreeView1->setObjectName(QStringLiteral("dfsSystemTreeView1"));
  LabelRepertoire = new QLabel;
  LabelRepertoire->setObjectName(QStringLiteral("LabelRepertoire"));
  LabelRepertoire->setAccessibleName(QStringLiteral("Directory"));
  FastIMG1 = new TFastIMG;
  FastIMG1->setObjectName(QStringLiteral("FastIMG1"));
  FastIMG1->setAccessibleName(QStringLiteral("Preview"));
  FastIMG1->SetSizeMode(smBilinear);
  FastIMG1->SetDrawStyle(dsDraw);
  FastIMG1->setMinimumSize(160, 120);

  const QStringList columns = {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Date"),
                               QStringLiteral("Color"), QStringLiteral("Size")};
  ListView1 = MakeList("ListView1", QStringLiteral("Images of directory"), columns, {150, 0, 120, 0, 70});
  ListView2 = MakeList("ListView2", QStringLiteral("Selected images"), columns + QStringList{QStringLiteral("Directory")},
                       {150, 0, 120, 0, 70, 200});
  Btn_AjAll = MakeButton("Btn_AjAll", QStringLiteral("Add all"));
  Btn_Ajoute = MakeButton("Btn_Ajoute", QStringLiteral("Add"));
  Btn_Enleve = MakeButton("Btn_Enleve", QStringLiteral("Delete"));
  Btn_Vider = MakeButton("Btn_Vider", QStringLiteral("Clean"));
  Btn_Visu = MakeButton("Btn_Visu", QStringLiteral("View"));
  BtnCancel = MakeButton("BtnCancel", QStringLiteral("Cancel"));
  BtnOK = MakeButton("BtnOK", QStringLiteral("OK"));
  BtnOK->setDefault(true);

  auto* left = new QWidget;
  auto* leftLay = new QVBoxLayout(left);
  leftLay->setContentsMargins(0, 0, 0, 0);
  leftLay->addWidget(LabelRepertoire);
  leftLay->addWidget(dfsSystemTreeView1, 2);
  leftLay->addWidget(FastIMG1, 1);
  auto* right = new QWidget;
  auto* rightLay = new QVBoxLayout(right);
  rightLay->setContentsMargins(0, 0, 0, 0);
  rightLay->addWidget(new QLabel(QStringLiteral("Images of directory :")));
  rightLay->addWidget(ListView1, 1);
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {Btn_AjAll, Btn_Ajoute, Btn_Enleve, Btn_Vider}) row->addWidget(b);
  row->addStretch();
  rightLay->addLayout(row);
  rightLay->addWidget(new QLabel(QStringLiteral("Selected images :")));
  rightLay->addWidget(ListView2, 1);
  auto* split = new QSplitter;
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(1, 2);
  // The bottom buttons stay right-aligned: View, Cancel, OK.
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  for (QPushButton* b : {Btn_Visu, BtnCancel, BtnOK}) bottom->addWidget(b);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(split, 1);
  lay->addLayout(bottom);

  ListingTimer_ = new QTimer(this);
  ListingTimer_->setInterval(0);
  connect(ListingTimer_, &QTimer::timeout, this, &TLoadBMPForm::ListSomeFiles);
  connect(dfsSystemTreeView1, &TFolderTree::NodeChanged, this, &TLoadBMPForm::dfsSystemTreeView1Change);
  connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TLoadBMPForm::ListView1SelectItem);
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { Btn_AjouteClick(); });
  connect(Btn_Ajoute, &QPushButton::clicked, this, &TLoadBMPForm::Btn_AjouteClick);
  connect(Btn_AjAll, &QPushButton::clicked, this, &TLoadBMPForm::Btn_AjAllClick);
  connect(Btn_Enleve, &QPushButton::clicked, this, &TLoadBMPForm::Btn_EnleveClick);
  connect(Btn_Vider, &QPushButton::clicked, this, &TLoadBMPForm::Btn_ViderClick);
  connect(Btn_Visu, &QPushButton::clicked, this, &TLoadBMPForm::Btn_VisuClick);
  connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  // FormCreate: the tree selects the settings' folder, which lists it.
  ShowButtons();
  dfsSystemTreeView1->SelectPath(QString::fromStdString(repertoire));
  if (Model.CurrentDir.empty()) Model.CurrentDir = repertoire;
}

TLoadBMPForm::~TLoadBMPForm() = default;

void TLoadBMPForm::ShowButtons() {
  Btn_Ajoute->setEnabled(Model.AddEnabled);
  Btn_AjAll->setEnabled(Model.AddAllEnabled);
  Btn_Enleve->setEnabled(Model.DeleteEnabled);
  Btn_Vider->setEnabled(Model.CleanEnabled);
}

void TLoadBMPForm::dfsSystemTreeView1Change(QTreeWidgetItem* node) {
  const bool relist = Model.NodeSelected(node != nullptr, TFolderTree::NodePath(node).toStdString(),
                                         node ? node->text(0).toStdString() : std::string());
  LabelRepertoire->setText(QString::fromStdString(Model.Label));
  if (!relist) return;
  ListView1->clear();
  Model.StartListing();
  ShowButtons();
  ListingTimer_->start();
}

void TLoadBMPForm::ListSomeFiles() {
  const size_t from = Model.Rows.size();
  const bool more = Model.ListSome(200);
  QList<QTreeWidgetItem*> lines;
  for (size_t i = from; i < Model.Rows.size(); ++i) lines << MakeLine(Model.DirLine(int(i)));
  ListView1->addTopLevelItems(lines);
  if (!more) {
    ListingTimer_->stop();
    ShowButtons();
  }
}

void TLoadBMPForm::FinishListing() {
  while (Model.Listing()) ListSomeFiles();
}

std::vector<int> TLoadBMPForm::SelectedRows(QTreeWidget* list) const {
  std::vector<int> rows;
  for (QTreeWidgetItem* item : list->selectedItems()) rows.push_back(list->indexOfTopLevelItem(item));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TLoadBMPForm::ListView1SelectItem() {
  const std::vector<int> rows = SelectedRows(ListView1);
  const std::string preview = Model.DirSelectionChanged(rows);
  ShowButtons();
  // Only files whose header was read are loaded (a FIFO is never opened).
  if (preview.empty() || Model.Rows[size_t(rows.back())].Info.BitCount == -1) return;
  auto picture = std::make_unique<TFastDIB>();
  try {
    picture->LoadFromFile(preview);
  } catch (const std::system_error&) {
    // Unreadable since it was listed: the preview shows nothing.
  }
  FastIMG1->SetBmp(std::move(picture));
}

void TLoadBMPForm::AppendSelectedLines(int from) {
  QList<QTreeWidgetItem*> lines;
  for (int i = from; i < Model.SelectedList->Count(); ++i) lines << MakeLine(Model.SelectedLine(i));
  ListView2->addTopLevelItems(lines);
  ShowButtons();
}

void TLoadBMPForm::Btn_AjouteClick() {
  const std::vector<int> rows = SelectedRows(ListView1);
  if (rows.empty()) return;
  const int from = Model.SelectedList->Count();
  Model.Add(rows);
  ListView1->clearSelection();
  Model.AddEnabled = false;
  AppendSelectedLines(from);
}

void TLoadBMPForm::Btn_AjAllClick() {
  FinishListing();
  const int from = Model.SelectedList->Count();
  Model.AddAll();
  AppendSelectedLines(from);
}

void TLoadBMPForm::Btn_EnleveClick() {
  const std::vector<int> rows = SelectedRows(ListView2);
  Model.Delete(rows);
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) delete ListView2->takeTopLevelItem(*it);
  ListView2->clearSelection();
  ShowButtons();
}

void TLoadBMPForm::Btn_ViderClick() {
  ListView2->clear();
  Model.Clean();
  ShowButtons();
}

void TLoadBMPForm::Btn_VisuClick() {
  TBrowseImage browser(Repertoire_, this);
  browser.exec();
}

void TLoadBMPForm::done(int result) {
  // FormClose (OK or Cancel): the selection is handed over.
  ListingTimer_->stop();
  BmpSelection() = Model.TakeSelection();
  QDialog::done(result);
}
