// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: creation, layout, closing and window events.
#include "app/ui/MainForm.h"
#include "browse/ui/LoadBMPForm.h"

#include "base/Version.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ParamGlob.h"
#include "platform/Messages.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/ProgressForm.h"
#include "combine/ui/FicheRapport.h"
#include "image/ui/FastIMG.h"

namespace {
QString& TitleStore() {
  static QString title = QStringLiteral(STELLON_TITLE);
  return title;
}
}  // namespace

QString ApplicationTitle() { return TitleStore(); }
void SetApplicationTitle(const QString& title) { TitleStore() = title; }

// --- Creation -------------------------------------------------------------------

namespace {
// The settings are read before the controller takes its working values from them.
TParamglob& LoadedSettings() {
  // A settings file that cannot be used leaves the defaults; the user is told why.
  if (const TStatus read = LireParamGlob(); !read) Messages().Ok("Error", read.Message(), TMsgIcon::Error);
  return ParamGlob;
}

void Name(QWidget* widget, const char* objectName, const QString& accessibleName) {
  widget->setObjectName(QString::fromLatin1(objectName));
  widget->setAccessibleName(accessibleName);
}
}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), Controller_(*this, LoadedSettings()) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowIcon(QIcon(QStringLiteral(":/stellon.png")));
  setAcceptDrops(true);
  BuildLayout();
  CreateActions();
  BuildMenus();
  BuildToolBar();
  ConnectControls();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormClose();
}

void TMainForm::FormCreate() {
  Controller_.WriteSettings = [] {
    return EcrireParamGlob() ? TStatus::Ok() : TStatus::Fail(IniWriteErrorText(IniPath()));
  };
  AppTitle = ApplicationTitle();
  setWindowTitle(AppTitle);
  UpDown1->SetPosition(Controller_.Tolerance());
  Controller_.Refresh();
  mnu_texte_icone->setChecked(ParamGlob.barre_texte);
  ApplyToolBarText(ParamGlob.barre_texte);
  mnu_barre_visible->setChecked(ParamGlob.barre_visible);
  ToolBar1->setVisible(ParamGlob.barre_visible);
}

void TMainForm::BuildLayout() {
  resize(1040, 720);

  CheckListBox1 = new QListWidget;
  Name(CheckListBox1, "CheckListBox1", QStringLiteral("Image list"));
  CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  CheckListBox1->setMinimumWidth(110);
  CheckListBox1->installEventFilter(this);

  VideoPanel = new TFastIMG;
  Name(VideoPanel, "VideoPanel", QStringLiteral("Picture"));
  VideoPanel->SetSizeMode(smFast);
  VideoPanel->SetDrawStyle(dsCenter);
  // Clicked, the picture takes the focus: Left and Right then step the images.
  VideoPanel->setFocusPolicy(Qt::StrongFocus);
  VideoPanel->installEventFilter(this);
  VideoPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  VideoPanel->SetColor(QColor(48, 48, 52));

  ScrollBox1 = new QScrollArea;
  Name(ScrollBox1, "ScrollBox1", QStringLiteral("Picture area"));
  ScrollBox1->setAlignment(Qt::AlignCenter);
  ScrollBox1->setWidget(VideoPanel);
  ScrollBox1->setWidgetResizable(true);
  // The pictures are night skies: a dark surround flatters them.
  QPalette surround = ScrollBox1->palette();
  surround.setColor(QPalette::Window, QColor(48, 48, 52));
  ScrollBox1->setPalette(surround);
  ScrollBox1->setBackgroundRole(QPalette::Window);
  ScrollBox1->viewport()->setPalette(surround);
  ScrollBox1->viewport()->setBackgroundRole(QPalette::Window);
  ScrollBox1->viewport()->setAutoFillBackground(true);
  ScrollBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  ScrollBox1->installEventFilter(this);

  auto* splitter = new QSplitter(Qt::Horizontal);
  Name(splitter, "Splitter1", QStringLiteral("Image list and picture"));
  splitter->addWidget(CheckListBox1);
  splitter->addWidget(ScrollBox1);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({150, 890});
  splitter->setChildrenCollapsible(false);

  // Bottom panel: position and save number on the left, the frame group on the right.
  auto* bottom = new QWidget;
  bottom->setObjectName(QStringLiteral("PanelBas"));
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->setContentsMargins(6, 4, 6, 4);

  auto* left = new QGridLayout;
  left->setHorizontalSpacing(8);
  auto* labelPos = new QLabel(QStringLiteral("Pos :"));
  TrackBar1 = new QSlider(Qt::Horizontal);
  Name(TrackBar1, "TrackBar1", QStringLiteral("Position"));
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setRange(0, 0);
  TrackBar1->setMinimumWidth(240);
  auto* labelSeq = new QLabel(QStringLiteral("# sequence :"));
  label_sequence = new QLabel(QStringLiteral("0000"));
  Name(label_sequence, "label_sequence", QStringLiteral("Next save number"));
  left->addWidget(labelPos, 0, 0);
  left->addWidget(TrackBar1, 0, 1);
  left->addWidget(labelSeq, 1, 0);
  left->addWidget(label_sequence, 1, 1);
  left->setColumnStretch(1, 1);
  bottomLayout->addLayout(left, 1);

  GroupCadre = new QGroupBox;
  Name(GroupCadre, "GroupCadre", QStringLiteral("Frame group"));
  auto* frameLayout = new QGridLayout(GroupCadre);
  frameLayout->setContentsMargins(8, 4, 8, 4);
  frameLayout->setHorizontalSpacing(6);
  Checkcadre = new QCheckBox(QStringLiteral("Frame"));
  Name(Checkcadre, "Checkcadre", QStringLiteral("Frame"));
  poscadre = new QLabel;
  Name(poscadre, "poscadre", QStringLiteral("Frame position"));
  poscadre->setMinimumWidth(170);
  LabTolerance = new QLabel(QStringLiteral("Tolerance :"));
  Name(LabTolerance, "LabTolerance", QStringLiteral("Tolerance label"));
  EditTolerance1 = new QLineEdit;
  Name(EditTolerance1, "EditTolerance1", QStringLiteral("Tolerance"));
  // Three digit places, blank when empty; the text keeps its blanks, which
  // the tolerance handler removes before reading the number.
  EditTolerance1->setInputMask(QStringLiteral("000; "));
  EditTolerance1->setMaxLength(3);
  EditTolerance1->setText(QStringLiteral("0  "));
  EditTolerance1->setFixedWidth(EditTolerance1->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
  UpDown1 = new TParamUpDown;
  Name(UpDown1, "UpDown1", QStringLiteral("Tolerance arrows"));
  UpDown1->SetRange(0, 255);
  UpDown1->Associate(EditTolerance1);
  auto* tolerance = new QHBoxLayout;
  tolerance->setSpacing(2);
  tolerance->addWidget(LabTolerance);
  tolerance->addSpacing(4);
  tolerance->addWidget(EditTolerance1);
  tolerance->addWidget(UpDown1);
  frameLayout->addWidget(Checkcadre, 0, 0);
  frameLayout->addWidget(poscadre, 1, 0);
  frameLayout->addLayout(tolerance, 0, 1, 2, 1, Qt::AlignVCenter);
  frameLayout->setColumnStretch(0, 1);
  bottomLayout->addWidget(GroupCadre, 0);

  auto* central = new QWidget;
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(0, 0, 0, 0);
  centralLayout->setSpacing(0);
  centralLayout->addWidget(splitter, 1);
  centralLayout->addWidget(bottom, 0);
  setCentralWidget(central);

  StatusPanel1 = new QLabel;
  Name(StatusPanel1, "StatusPanel1", QStringLiteral("Hint"));
  StatusPanel1->setFixedWidth(360);
  StatusPanel2 = new QLabel;
  Name(StatusPanel2, "StatusPanel2", QStringLiteral("Position line"));
  StatusPanel2->setMinimumWidth(150);
  for (QLabel* panel : {StatusPanel1, StatusPanel2}) {
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setContentsMargins(4, 0, 4, 0);
  }
  statusBar()->addWidget(StatusPanel1, 0);
  statusBar()->addWidget(StatusPanel2, 1);
  StatusQuality = new QLabel;
  Name(StatusQuality, "StatusQuality", QStringLiteral("Sharpness of the current image"));
  StatusQuality->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  StatusQuality->setContentsMargins(4, 0, 4, 0);
  statusBar()->addPermanentWidget(StatusQuality, 0);
}

void TMainForm::ConnectControls() {
  TMainController& c = Controller_;
  connect(BtPrec, &QToolButton::clicked, this, [&c] { c.Run([&c] { c.Previous(); }); });
  connect(BtSuiv, &QToolButton::clicked, this, [&c] { c.Run([&c] { c.Next(); }); });
  connect(TrackBar1, &QSlider::valueChanged, this, [&c](int value) { c.Run([&c, value] { c.GoTo(value); }); });
  connect(CheckListBox1, &QListWidget::currentRowChanged, this, [this, &c](int row) {
    if (!FillingList_) c.Run([&c, row] { c.GoTo(row); });
  });
  connect(CheckListBox1, &QListWidget::itemChanged, this, [this, &c](QListWidgetItem* item) {
    if (FillingList_ || !item) return;
    const int row = CheckListBox1->row(item);
    const bool ticked = item->checkState() == Qt::Checked;
    const TAviList* record = c.Sequence().Record(row);
    if (record && record->Checked != ticked) c.Run([&c, row, ticked] { c.TickImage(row, ticked); });
  });
  connect(Checkcadre, &QCheckBox::toggled, this, [&c](bool ticked) { c.Run([&c, ticked] { c.FrameBoxClicked(ticked); }); });
  connect(EditTolerance1, &QLineEdit::textChanged, this,
          [&c](const QString& text) { c.SetToleranceText(text.toStdString()); });
  connect(UpDown1, &TParamUpDown::Changed, this, [&c](int position) { c.SetTolerance(position); });
  auto popup = [this](QWidget* from, const QPoint& at) { Popup_VideoPanel->popup(from->mapToGlobal(at)); };
  connect(VideoPanel, &QWidget::customContextMenuRequested, this,
          [this, popup](const QPoint& at) { popup(VideoPanel, at); });
  connect(ScrollBox1, &QWidget::customContextMenuRequested, this,
          [this, popup](const QPoint& at) { popup(ScrollBox1, at); });
}

// --- Closing --------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  if (Closed_) return;
  Closed_ = true;
  Controller_.Sequence().Close();
  BmpSelection().reset();
  ParamGlob.barre_visible = mnu_barre_visible->isChecked();
  ParamGlob.barre_texte = mnu_texte_icone->isChecked();
  if (const TStatus written = Controller_.WriteSettings(); !written)
    Messages().Ok("Error", written.Message(), TMsgIcon::Error);
}

// --- Window events ----------------------------------------------------------------

bool TMainForm::event(QEvent* event) {
  // The first status panel shows the long hint of whatever is under the mouse.
  if (event->type() == QEvent::StatusTip) {
    StatusPanel1->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  const int type = int(event->type());
  if (type >= int(TJobKind::BatchSave) && type <= int(TJobKind::Kappa)) {
    const TJobHooks hooks{JobCancelCheck(), JobProgress(), [] { EndJob(); }};
    RunJob(JobCaption_, [this, type, &hooks] { Controller_.RunJob(TJobKind(type), hooks); });
    return true;
  }
  return QMainWindow::event(event);
}

bool TMainForm::PictureMouse(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (type == QEvent::MouseButtonPress && mouse->button() != Qt::LeftButton) return false;
  if (type == QEvent::MouseButtonRelease && mouse->button() != Qt::LeftButton) return false;
  TMainController& c = Controller_;
  const QRect r = VideoPanel->PictureRect();
  const TPictureGeometry g{r.left(), r.top(), r.width(), r.height()};
  const QPoint at = mouse->position().toPoint();
  if (type == QEvent::MouseButtonPress) {
    VideoPanel->setFocus(Qt::MouseFocusReason);
    c.Run([&] { c.PicturePressed(g, at.x(), at.y()); });
    DragOrigin = at;
  } else if (type == QEvent::MouseMove) {
    if (c.Dragging() == TPictureDrag::None) return false;
    c.Run([&] { c.PictureDragged(g, at.x(), at.y()); });
  } else {
    c.Run([&] { c.PictureReleased(g, at.x(), at.y()); });
  }
  // The rubber band follows a frame being drawn, in the control's own pixels.
  if (c.Dragging() == TPictureDrag::Drawing) {
    if (!RubberBand) {
      RubberBand = new QRubberBand(QRubberBand::Rectangle, VideoPanel);
      RubberBand->setAccessibleName(QStringLiteral("Frame being drawn"));
    }
    RubberBand->setGeometry(QRect(DragOrigin, at).normalized());
    RubberBand->show();
  } else if (RubberBand) {
    RubberBand->hide();
  }
  return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == VideoPanel && PictureMouse(event)) return true;
  if (event->type() != QEvent::KeyPress || (watched != CheckListBox1 && watched != VideoPanel && watched != ScrollBox1))
    return QMainWindow::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  TMainController& c = Controller_;
  // C or c toggles the Frame box, in the image list and on the picture.
  const QString text = key->text();
  if (text.size() == 1 && (text[0] == QLatin1Char('c') || text[0] == QLatin1Char('C'))) {
    c.Run([&c] { c.FrameKey(); });
    return true;
  }
  // A selected frame is nudged by the arrow keys, one pixel at a time.
  if (watched != CheckListBox1) {
    int dx = 0, dy = 0;
    switch (key->key()) {
      case Qt::Key_Left: dx = -1; break;
      case Qt::Key_Right: dx = 1; break;
      case Qt::Key_Up: dy = -1; break;
      case Qt::Key_Down: dy = 1; break;
      default: break;
    }
    bool nudged = false;
    if (dx != 0 || dy != 0) c.Run([&] { nudged = c.NudgeFrame(dx, dy); });
    if (nudged) return true;
  }
  // On the picture, Left and Right step the images (the list has its own keys).
  if (watched != CheckListBox1 && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
    const bool back = key->key() == Qt::Key_Left;
    c.Run([&c, back] { back ? c.Previous() : c.Next(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- What the controller asks the window to show ----------------------------------

void TMainForm::SequenceChanged() {
  const TSequence& s = Controller_.Sequence();
  const QSignalBlocker blockTrack(TrackBar1);
  FillingList_ = true;
  CheckListBox1->clear();
  for (int i = 0; i < s.ImageList.Count(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(s.ImageList.Strings(i)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(s.Record(i)->Checked ? Qt::Checked : Qt::Unchecked);
    CheckListBox1->addItem(item);
  }
  FillingList_ = false;
  const int step = TMainController::PositionStep(s.ImageCount);
  TrackBar1->setRange(0, std::max(0, s.ImageCount - 1));
  TrackBar1->setValue(0);
  TrackBar1->setTickInterval(step);
  TrackBar1->setPageStep(step);
}

void TMainForm::TickChanged(int32_t index) {
  const TAviList* record = Controller_.Sequence().Record(index);
  QListWidgetItem* item = CheckListBox1->item(index);
  if (!record || !item) return;
  FillingList_ = true;
  item->setCheckState(record->Checked ? Qt::Checked : Qt::Unchecked);
  FillingList_ = false;
}

void TMainForm::PictureChanged() {
  TFastDIB& shown = VideoPanel->Bmp();
  if (const TFastDIB* image = Controller_.CurrentImage()) {
    shown.CopyFrom(*image);
    Controller_.DrawFrameOutline(shown);
  } else {
    shown.SetSize(0, 0, 24, 0);
  }
  VideoPanel->Changed();
}

void TMainForm::RunJobWithProgress(const TJobRequest& request) {
  JobCaption_ = request.Caption;
  RunWithProgress(this, QString::fromStdString(request.Caption), 0, request.Maximum, int(request.Kind));
}

void TMainForm::ShowProblemReport(const std::string& caption, const std::string& text,
                                  const std::vector<TProblemRow>& rows) {
  TFicheRapport report(this);
  report.BeginUpdate();
  report.AddRows(rows);
  report.EndUpdate();
  report.SetupReport(QString::fromStdString(caption), QString::fromStdString(text));
  report.exec();
}
