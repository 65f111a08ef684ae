// Main window: creation, layout, closing and window events.
#include "app/ui/MainForm.h"

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
#include "app/ui/ProgressForm.h"
#include "image/ui/FastIMG.h"
#include "platform/VideoFile.h"

namespace {
QString& TitleStore() {
  static QString title = QStringLiteral("Stellon v0.49c (US)");
  return title;
}
}  // namespace

QString ApplicationTitle() { return TitleStore(); }
void SetApplicationTitle(const QString& title) { TitleStore() = title; }

// --- Creation -------------------------------------------------------------------

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowIcon(QIcon(QStringLiteral(":/stellon.png")));
  BuildLayout();
  CreateActions();
  BuildMenus();
  BuildToolBar();
  ConnectControls();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormClose();
  AVIFileExit();
}

void TMainForm::FormCreate() {
  // A settings file that cannot be used leaves the defaults; the user is told why.
  if (const TStatus read = LireParamGlob(); !read) Messages().Ok("Error", read.Message(), TMsgIcon::Error);
  Sequence.Close();
  Sequence.Tolerance = ParamGlob.tolerance;
  SaveDirectory = ParamGlob.repertoire;
  SaveBaseName = "Temp";
  SaveNumber = 1;
  AppTitle = ApplicationTitle();
  setWindowTitle(AppTitle);
  UpDown1->SetPosition(Sequence.Tolerance);
  Sequence.FrameSizeSet = false;
  RefreshWindowState();
  mnu_texte_icone->setChecked(ParamGlob.barre_texte);
  ApplyToolBarText(ParamGlob.barre_texte);
  mnu_barre_visible->setChecked(ParamGlob.barre_visible);
  ToolBar1->setVisible(ParamGlob.barre_visible);
  Action_image_smFast->setChecked(true);
  Action_image_smBilinear->setChecked(false);
  VideoPanel->SetSizeMode(smFast);
  AVIFileInit();
}

void TMainForm::BuildLayout() {
  resize(1040, 720);

  CheckListBox1 = new QListWidget;
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  CheckListBox1->setMinimumWidth(110);
  CheckListBox1->installEventFilter(this);

  VideoPanel = new TFastIMG;
  VideoPanel->setObjectName(QStringLiteral("VideoPanel"));
  VideoPanel->SetSizeMode(smFast);
  VideoPanel->SetDrawStyle(dsCenter);
  VideoPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  VideoPanel->SetColor(QColor(48, 48, 52));

  ScrollBox1 = new QScrollArea;
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
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

  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("Splitter1"));
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
  TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setRange(0, 0);
  TrackBar1->setMinimumWidth(240);
  auto* labelSeq = new QLabel(QStringLiteral("# sequence :"));
  label_sequence = new QLabel(QStringLiteral("0000"));
  label_sequence->setObjectName(QStringLiteral("label_sequence"));
  left->addWidget(labelPos, 0, 0);
  left->addWidget(TrackBar1, 0, 1);
  left->addWidget(labelSeq, 1, 0);
  left->addWidget(label_sequence, 1, 1);
  left->setColumnStretch(1, 1);
  bottomLayout->addLayout(left, 1);

  GroupCadre = new QGroupBox;
  GroupCadre->setObjectName(QStringLiteral("GroupCadre"));
  auto* frameLayout = new QGridLayout(GroupCadre);
  frameLayout->setContentsMargins(8, 4, 8, 4);
  frameLayout->setHorizontalSpacing(6);
  Checkcadre = new QCheckBox(QStringLiteral("Frame"));
  Checkcadre->setObjectName(QStringLiteral("Checkcadre"));
  poscadre = new QLabel;
  poscadre->setObjectName(QStringLiteral("poscadre"));
  poscadre->setMinimumWidth(170);
  LabTolerance = new QLabel(QStringLiteral("Tolerance :"));
  LabTolerance->setObjectName(QStringLiteral("LabTolerance"));
  EditTolerance1 = new QLineEdit;
  EditTolerance1->setObjectName(QStringLiteral("EditTolerance1"));
  // Three digit places, blank when empty; the text keeps its blanks, which
  // the tolerance handler removes before reading the number.
  EditTolerance1->setInputMask(QStringLiteral("000; "));
  EditTolerance1->setMaxLength(3);
  EditTolerance1->setText(QStringLiteral("0  "));
  EditTolerance1->setFixedWidth(EditTolerance1->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
  UpDown1 = new TParamUpDown;
  UpDown1->setObjectName(QStringLiteral("UpDown1"));
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
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setFixedWidth(360);
  StatusPanel2 = new QLabel;
  StatusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
  StatusPanel2->setMinimumWidth(150);
  for (QLabel* panel : {StatusPanel1, StatusPanel2}) {
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setContentsMargins(4, 0, 4, 0);
  }
  statusBar()->addWidget(StatusPanel1, 0);
  statusBar()->addWidget(StatusPanel2, 1);
}

void TMainForm::ConnectControls() {
  connect(BtPrec, &QToolButton::clicked, this, [this] { RunCommand([this] { BtPrecClick(); }); });
  connect(BtSuiv, &QToolButton::clicked, this, [this] { RunCommand([this] { BtSuivClick(); }); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { RunCommand([this] { trackbar1Change(); }); });
  connect(CheckListBox1, &QListWidget::currentRowChanged, this,
          [this] { RunCommand([this] { CheckListBox1Click(); }); });
  connect(CheckListBox1, &QListWidget::itemChanged, this,
          [this](QListWidgetItem* item) { RunCommand([this, item] { CheckListBox1ClickCheck(item); }); });
  connect(Checkcadre, &QCheckBox::toggled, this, [this] { RunCommand([this] { CheckcadreClick(); }); });
  connect(EditTolerance1, &QLineEdit::textChanged, this, [this] { RunCommand([this] { EditTolerance1Change(); }); });
  connect(UpDown1, &TParamUpDown::Changed, this, [this] {
    if (!Refreshing) RunCommand([this] { UpDown1Click(); });
  });
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
  Sequence.Close();
  ParamGlob.barre_visible = mnu_barre_visible->isChecked();
  ParamGlob.barre_texte = mnu_texte_icone->isChecked();
  if (!EcrireParamGlob()) Messages().Ok("Error", IniWriteErrorText(IniPath()), TMsgIcon::Error);
}

// --- Window events ----------------------------------------------------------------

bool TMainForm::event(QEvent* event) {
  // The first status panel shows the long hint of whatever is under the mouse.
  if (event->type() == QEvent::StatusTip) {
    StatusPanel1->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  if (event->type() == JobEventType(JobAutoFrame)) {
    RunCommand([this] { AutoFrameAll(); });
    return true;
  }
  return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CheckListBox1 && event->type() == QEvent::KeyPress) {
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.size() == 1 && (text[0] == QLatin1Char('c') || text[0] == QLatin1Char('C'))) {
      RunCommand([this, key = text[0]] { CheckListBox1KeyPress(key); });
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
