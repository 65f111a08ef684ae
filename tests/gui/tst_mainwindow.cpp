// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's wiring, driven as a user would: the command table, menus
// and tool bar; each control and command reaching the controller (whose rules
// are tested headless in tests/control); what the window shows back;
// automatic framing under the progress window; the settings kept at close;
// start-up, the splash, the about box and the open dialog; and the accessible
// names of every window the program can open. Message boxes are answered by a
// TScriptedMessages; widgets are found by object name.
#include <QDialog>
#include <QSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTextBrowser>
#include <QTextDocument>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

#include "AccessibleNames.h"

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/JpegImage.h"
#include "app/ui/MainForm.h"
#include "app/ui/OpenDialog.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/ParamLot.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/LoadBMPForm.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/Rotate.h"
#include "tools/ui/ShowBitmap.h"
#include "app/ui/ProgressForm.h"
#include "combine/ui/FicheRapport.h"
#include "combine/ui/FormRapport.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "image/FastDIB.h"
#include "sequence/SamplePlanet.h"

namespace {

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

bool SamePixels(const TFastDIB& a, const TFastDIB& b) {
  return a.Width() == b.Width() && a.AbsHeight == b.AbsHeight && a.Size() == b.Size() && a.Bits && b.Bits &&
         std::equal(a.Bits, a.Bits + a.Size(), b.Bits);
}

// Answers the modal Parameters dialog once it shows.
void OnParameters(std::function<void(TFormParam*)> answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* dialog = qobject_cast<TFormParam*>(QApplication::activeModalWidget())) answer(dialog);
  });
}

// Watches for the modal windows of a command: reads the progress window's
// caption, presses its Cancel once the bar reaches CancelAt, and reads and
// closes a problem report.
class TWatcher : public QObject {
 public:
  QString ProgressCaption, ReportCaption;
  QStringList Rows;
  int CancelAt = -1;

  TWatcher() {
    Timer_.setInterval(0);
    connect(&Timer_, &QTimer::timeout, this, [this] { Look(); });
    Timer_.start();
  }

 private:
  void Look() {
    if (ProgressForm) {
      if (ProgressCaption.isEmpty()) ProgressCaption = ProgressForm->windowTitle();
      if (CancelAt >= 0 && ProgressForm->ProgressBar1->value() >= CancelAt && !CancelRequested)
        ProgressForm->BitBtn1->click();
    }
    auto* report = qobject_cast<TFicheRapport*>(QApplication::activeModalWidget());
    if (report && report->isVisible()) {
      ReportCaption = report->windowTitle() + QStringLiteral(" | ") + report->le_texte->text();
      for (int i = 0; i < report->ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = report->ListView1->topLevelItem(i);
        Rows << it->text(0) + QStringLiteral(" | ") + it->text(1);
      }
      report->accept();
    }
  }
  QTimer Timer_;
};

}  // namespace

using TMakeWindow = std::function<QWidget*()>;
Q_DECLARE_METATYPE(TMakeWindow)

class TestMainWindow : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  QString Video_;  // 6 whole planets, 160 x 120
  QString NotAvi_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;

  QString IniFile() const { return Dir_.filePath(QStringLiteral("stellon.ini")); }
  template <class T>
  T* W(const char* name) const {
    if (T* w = Form_->findChild<T*>(QString::fromLatin1(name))) return w;
    qFatal("no control %s", name);
  }
  QAction* A(const char* name) const { return W<QAction>(name); }
  TMainController& C() const { return Form_->Controller(); }
  const TSequence& S() const { return Form_->Controller().Sequence(); }
  void Open(const QString& path) {
    Form_->ChooseOpenFile = [path](const QString&, const QString&) { return path; };
    A("action_ouvrir")->trigger();
  }
  QString Status() const { return W<QLabel>("StatusPanel2")->text(); }
  // The video with margin 4 and the report on.
  void OpenClean() {
    ParamGlob.bordure = 4;
    ParamGlob.Rapport = true;
    QVERIFY(Form_->OpenFile(Video_));
  }
  bool LineTicked(int i) const { return W<QListWidget>("CheckListBox1")->item(i)->checkState() == Qt::Checked; }

 private slots:
  void initTestCase() {
    QVERIFY(Dir_.isValid());
    InitStellonResources();
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    TSampleOptions clean;
    clean.Frames = 6;
    clean.Width = 160;
    clean.Height = 120;
    clean.Seed = 4;
    Video_ = Dir_.filePath(QStringLiteral("clean.avi"));
    std::string error;
    QVERIFY2(WriteSampleVideo(QFile::encodeName(Video_).toStdString(), clean, &error), error.c_str());
    NotAvi_ = Dir_.filePath(QStringLiteral("notes.avi"));
    QFile text(NotAvi_);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("these are observing notes, not a video\n");
  }

  void init() {
    QFile::remove(IniFile());
    SetIniPath(QFile::encodeName(IniFile()).toStdString());
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
  }

  void cleanup() {
    if (Form_) Form_->close();
    Form_.reset();
  }

  // The command table, the menus and the tool bar as the user finds them.
  void commandsMenusAndToolBar() {
    TMainForm& f = *Form_;
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
    QCOMPARE(A("action_ouvrir")->text(), QStringLiteral("&Open"));
    QCOMPARE(A("action_ouvrir")->property("Category").toString(), QStringLiteral("File"));
    QCOMPARE(A("action_ouvrir")->toolTip(), QStringLiteral("Open"));
    QCOMPARE(A("action_ouvrir")->statusTip(), QStringLiteral("Open a AVI file"));
    QCOMPARE(A("Action_Decocher_images")->statusTip(), QStringLiteral("Décoche toutes les images de la liste"));

    QCOMPARE(f.menuBar()->actions().size(), 6);
    auto menu = [&f](const QString& title) {
      for (QAction* a : f.menuBar()->actions())
        if (a->text() == title) return a->menu();
      return static_cast<QMenu*>(nullptr);
    };
    QCOMPARE(MenuTexts(menu("&File")),
             QStringList({"&Open ...", "Open/Edit a BMP file list ...", "Open a Kelvaron file list ...", "Close", "-",
                          "Images preview", "-", "Save image", "Batch saving ...", "-", "&Quit"}));
    QCOMPARE(menu("&File")->actions().first()->shortcut(), QKeySequence(QKeySequence::Open));
    // The C key that frames is shown beside Frame.
    QCOMPARE(MenuTexts(menu("&Edition")), QStringList({"Copy", "-", "&Frame\tC", "Auto framing", "Suppress frame",
                                                       "Suppress all frames", "Uncheck all images",
                                                       "Tick the best images ..."}));
    QCOMPARE(MenuTexts(menu("&Help")),
             QStringList({"&Index", "&Find ...", "&Using help", "-", "STELLON WEB site", "-", "&About ..."}));
    QCOMPARE(MenuTexts(W<QMenu>("Popup_VideoPanel")), QStringList({"Normal size", "Adjusted size", "Resizing"}));

    auto* bar = W<QToolBar>("ToolBar1");
    QStringList buttons;
    for (QAction* a : bar->actions())
      buttons << (a->isSeparator() ? QStringLiteral("-") : bar->widgetForAction(a)->objectName());
    QCOMPARE(buttons, QStringList({"BtOuvrir", "BtOuvrirBmp", "BtParcourirBMP", "-", "BtCopier", "-", "BtPrec", "BtSuiv",
                                   "-", "BtEnregistrer", "BtEnregistrerLot", "-", "BtCadre", "BtCadreAll", "BtNoCadre",
                                   "BtDisableCheck", "-", "BtMoyenne", "BtKappa"}));
    QCOMPARE(W<QToolButton>("BtOuvrirBmp")->toolTip(), QStringLiteral("Open BMP files"));
    // The long part of a hint goes to the first status panel.
    QStatusTipEvent tip(W<QToolButton>("BtSuiv")->statusTip());
    QApplication::sendEvent(W<QToolButton>("BtSuiv"), &tip);
    QCOMPARE(W<QLabel>("StatusPanel1")->text(), QStringLiteral("Next image"));
  }

  // A video or a Kelvaron list dropped on the window opens; other files are not taken.
  void dropOpensAVideo() {
    auto drag = [this](const QString& path) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(Form_.get(), &enter);
      if (!enter.isAccepted()) return false;
      QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(Form_.get(), &drop);
      QCoreApplication::processEvents();
      return true;
    };
    QVERIFY(!drag(Dir_.filePath(QStringLiteral("picture.bmp"))));
    QVERIFY(!S().SequenceOpen);
    QVERIFY(drag(Video_));
    QVERIFY(S().SequenceOpen);
    QCOMPARE(S().ImageCount, 6);
    // A Kelvaron list (no header, six lines per entry) opens as its BMP sequence.
    const QString bmp = Dir_.filePath(QStringLiteral("one.bmp"));
    TFastDIB picture;
    picture.SetSize(8, 6, 24, 0);
    QVERIFY(picture.SaveToFile(QFile::encodeName(bmp).toStdString()).ok());
    QFile list(Dir_.filePath(QStringLiteral("night.lst")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(("0\n" + Dir_.path() + "/\none.bmp\n3\n4\n5\n6\n").toUtf8());
    list.close();
    QVERIFY(drag(list.fileName()));
    QCOMPARE(S().ImageCount, 1);
    QVERIFY(Form_->windowTitle().endsWith(QStringLiteral(" - night.lst (Kelvaron)")));
  }

  void openNavigateTickAndFrame() {
    TMainForm& f = *Form_;
    Open(Video_);
    QVERIFY(Messages_.Asked.empty());
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US) - clean.avi"));
    auto* list = W<QListWidget>("CheckListBox1");
    auto* track = W<QSlider>("TrackBar1");
    auto* panel = W<TFastIMG>("VideoPanel");
    QCOMPARE(list->count(), 6);
    QCOMPARE(list->item(5)->text(), QStringLiteral("Image 6"));
    QCOMPARE(track->maximum(), 5);
    QCOMPARE(track->tickInterval(), 1);
    QCOMPARE(Status(), QStringLiteral("Pos : 1/6 - 160x120 - 24 bits"));
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->size(), QSize(160, 120));
    QVERIFY(SamePixels(panel->Bmp(), *C().CurrentImage()));

    QTest::mouseClick(W<QToolButton>("BtSuiv"), Qt::LeftButton);
    QCOMPARE(Status(), QStringLiteral("Pos : 2/6 - 160x120 - 24 bits"));
    QCOMPARE(list->currentRow(), 1);
    track->setValue(5);
    QCOMPARE(S().CurrentIndex, 5);
    QVERIFY(!W<QToolButton>("BtSuiv")->isEnabled());
    list->setCurrentRow(3);
    QCOMPARE(track->value(), 3);
    QTest::mouseClick(W<QToolButton>("BtPrec"), Qt::LeftButton);
    QCOMPARE(S().CurrentIndex, 2);
    // Left and Right on the picture step the images.
    panel->setFocus();
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(panel, Qt::Key_Right);
    QCOMPARE(S().CurrentIndex, 4);
    QTest::keyClick(W<QWidget>("ScrollBox1"), Qt::Key_Left);
    QCOMPARE(S().CurrentIndex, 3);

    // Ticking a line that is not the current one makes it current.
    list->item(5)->setCheckState(Qt::Checked);
    QVERIFY(S().Record(5)->Checked);
    QCOMPARE(S().CurrentIndex, 5);
    A("Action_Decocher_images")->trigger();
    QCOMPARE(list->item(5)->checkState(), Qt::Unchecked);

    // C in the list frames the image: the box, the tick and a white outline follow.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C);
    QVERIFY(S().Record(5)->HasFrame);
    QVERIFY(W<QCheckBox>("Checkcadre")->isChecked());
    QCOMPARE(list->item(5)->checkState(), Qt::Checked);
    const TRect r = S().Record(5)->FrameRect;
    QCOMPARE(panel->Bmp().GetPixel(r.Top, r.Left), (TColorBGR{255, 255, 255}));
    QVERIFY(!W<QLabel>("poscadre")->text().isEmpty());
    QVERIFY(A("Action_Supprimer_ts_cadre")->isEnabled());
    QTest::keyClick(list, Qt::Key_X);  // other keys do nothing here
    QVERIFY(S().Record(5)->HasFrame);
    W<QCheckBox>("Checkcadre")->setChecked(false);
    QVERIFY(!S().Record(5)->HasFrame);
    QVERIFY(SamePixels(panel->Bmp(), *C().CurrentImage()));
    // The tolerance edit and its arrows.
    W<QLineEdit>("EditTolerance1")->setText(QStringLiteral("12"));
    W<TParamUpDown>("UpDown1")->Step(1);
    QCOMPARE(C().Tolerance(), 13);
  }

  // The mouse on the picture reaches the controller: a drag draws the frame, a
  // drag inside moves it, the arrow keys nudge it, in both display sizes.
  void frameDrawnWithTheMouse() {
    OpenClean();
    auto* panel = W<TFastIMG>("VideoPanel");
    const QPoint o = panel->PictureRect().topLeft();
    QTest::mousePress(panel, Qt::LeftButton, {}, o + QPoint(20, 10));
    QTest::mouseMove(panel, o + QPoint(50, 40));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, o + QPoint(80, 70));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{20, 10, 80, 70}));
    QVERIFY(LineTicked(0));
    QCOMPARE(panel->Bmp().GetPixel(10, 20), (TColorBGR{255, 255, 255}));
    QTest::keyClick(panel, Qt::Key_Down);
    QCOMPARE(S().Record(0)->FrameRect, (TRect{20, 11, 80, 71}));
    QCOMPARE(S().CurrentIndex, 0);  // nudged, not stepped to another image
    A("Action_Image_Ajustee")->trigger();
    const QRect shown = panel->PictureRect();
    const double k = double(shown.width()) / 160;
    auto at = [&](int x, int y) { return shown.topLeft() + QPoint(int(x * k + k / 2), int(y * k + k / 2)); };
    QTest::mousePress(panel, Qt::LeftButton, {}, at(30, 30));
    QTest::mouseMove(panel, at(35, 32));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, at(40, 34));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{30, 15, 90, 75}));
    A("Action_Image_Normale")->trigger();
  }

  void viewCommands() {
    Open(Video_);
    auto* panel = W<TFastIMG>("VideoPanel");
    QVERIFY(A("Action_Image_Normale")->isChecked());
    QVERIFY(!A("Action_image_smFast")->isEnabled());  // nothing to resample at normal size
    A("Action_Image_Ajustee")->trigger();
    QVERIFY(A("Action_image_smBilinear")->isEnabled());
    A("Action_image_smBilinear")->trigger();
    QVERIFY(A("Action_image_smBilinear")->isChecked() && !A("Action_image_smFast")->isChecked());
    QVERIFY(panel->SizeMode() == smBilinear && panel->DrawStyle() == dsResize);
    A("Action_Image_Normale")->trigger();
    QVERIFY(panel->SizeMode() == smFast && panel->DrawStyle() == dsCenter);
  }

  // A file that cannot be opened leaves the window as it was; so does a cancelled dialog.
  void failedOpenKeepsTheSequence() {
    TMainForm& f = *Form_;
    Open(Video_);
    auto* list = W<QListWidget>("CheckListBox1");
    list->item(3)->setCheckState(Qt::Checked);
    Open(NotAvi_);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, QFile::encodeName(NotAvi_).toStdString() + "is not a valid AVI file.");
    QCOMPARE(list->count(), 6);
    QCOMPARE(list->item(3)->checkState(), Qt::Checked);
    QCOMPARE(list->currentRow(), 3);
    QCOMPARE(f.windowTitle(), QStringLiteral("Stellon v0.49c (US) - clean.avi"));
    QCOMPARE(Status(), QStringLiteral("Pos : 4/6 - 160x120 - 24 bits"));
    f.ChooseOpenFile = [](const QString&, const QString& filter) {
      return filter.contains("*.avi") && filter.contains("*.AVI") ? QString() : QStringLiteral("wrong filter");
    };
    A("action_ouvrir")->trigger();
    QCOMPARE(list->count(), 6);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
  }

  // A 12-bit SER capture: offered by the dialog, listed like a video, its real depth on the status line.
  void openSerCapture() {
    TMainForm& f = *Form_;
    const QString ser = Dir_.filePath(QStringLiteral("deep.ser"));
    TSampleOptions o;
    o.Frames = 5;
    o.Width = 64;
    o.Height = 48;
    std::string error;
    QVERIFY2(WriteSampleSer(ser.toStdString(), o, 0, 12, &error), error.c_str());
    QString offered;
    f.ChooseOpenFile = [&](const QString&, const QString& filter) {
      offered = filter;
      return ser;
    };
    A("action_ouvrir")->trigger();
    QVERIFY(offered.contains(QStringLiteral("Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)")));
    QVERIFY(offered.contains(QStringLiteral("Video File AVI (*.avi *.AVI)")));
    QVERIFY(Messages_.Asked.empty());
    QCOMPARE(W<QListWidget>("CheckListBox1")->count(), 5);
    QCOMPARE(W<QListWidget>("CheckListBox1")->item(4)->text(), QStringLiteral("Image 5"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/5 - 64x48 - 12 bits"));
    QFile damaged(Dir_.filePath(QStringLiteral("bad.ser")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("LUCAM-RECORDER but nothing else");
    damaged.close();
    Open(damaged.fileName());
    QCOMPARE(W<QListWidget>("CheckListBox1")->count(), 5);  // the capture stays open
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QVERIFY(QString::fromStdString(Messages_.Asked.back().Text).startsWith(damaged.fileName() + ": "));
  }

  // Without a sequence (at start and after Close) the controls follow the
  // rules: nothing ticked, nothing to type in, no picture.
  void noSequence() {
    for (bool opened : {false, true}) {
      if (opened) {
        Open(Video_);
        A("Action_fermer")->trigger();
      }
      QCOMPARE(W<QListWidget>("CheckListBox1")->count(), 0);
      QVERIFY(!W<QWidget>("VideoPanel")->isVisible());
      QCOMPARE(Form_->windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
      QVERIFY(A("action_ouvrir")->isEnabled() && !A("Action_fermer")->isEnabled());
      QVERIFY(!A("Action_helpindex")->isEnabled());  // no handler
      QVERIFY(!W<QCheckBox>("Checkcadre")->isEnabled() && !W<QCheckBox>("Checkcadre")->isChecked());
      QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled());
      QCOMPARE(W<QLabel>("label_sequence")->text(), QStringLiteral("0001"));
    }
  }

  // Tool bar choices are written at close and come back at the next start;
  // confirming the Parameters dialog in between does not store them.
  void toolBarSettingsStoredAtClose() {
    auto* bar = W<QToolBar>("ToolBar1");
    QVERIFY(!bar->isHidden());
    QCOMPARE(W<QToolButton>("BtOuvrir")->toolButtonStyle(), Qt::ToolButtonIconOnly);
    A("mnu_barre_visible")->trigger();
    A("mnu_texte_icone")->trigger();
    QVERIFY(bar->isHidden());
    QCOMPARE(W<QToolButton>("BtOuvrir")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(W<QToolButton>("BtOuvrir")->minimumHeight() >= 36);
    OnParameters([](TFormParam* dialog) { dialog->BtOk->click(); });
    A("Action_Parametre")->trigger();
    QFile ini(IniFile());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(ini.readAll()).contains(QRegularExpression("\\[Menu bar\\][^\\[]*visible=1")));
    ini.close();

    Form_->close();
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
    QVERIFY(W<QToolBar>("ToolBar1")->isHidden());
    QVERIFY(!A("mnu_barre_visible")->isChecked());
    QVERIFY(A("mnu_texte_icone")->isChecked());
  }

  // Settings that cannot be written are told with the file, at close and
  // after the Parameters dialog; with no video the tolerance field stays disabled.
  void unwritableSettings() {
    const std::string ini = QFile::encodeName(NotAvi_).toStdString() + "/stellon.ini";
    SetIniPath(ini);
    OnParameters([](TFormParam* dialog) { dialog->BtOk->click(); });
    A("Action_Parametre")->trigger();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, IniWriteErrorText(ini));
    QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled());
    QVERIFY(!W<QCheckBox>("Checkcadre")->isChecked());
    Form_->close();
    QCOMPARE(Messages_.Asked.size(), size_t(2));
    QCOMPARE(Messages_.Asked[1].Text, IniWriteErrorText(ini));
  }

  // A settings file that cannot be used is told at start; the defaults serve.
  void unusableSettingsAtStart() {
    Form_.reset();
    Messages_.Asked.clear();
    QFile big(IniFile());
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.write("[cadre]\ntolerance=77\n") > 0 && big.resize(2 << 20));
    big.close();
    Form_ = std::make_unique<TMainForm>();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QVERIFY(Messages_.Asked[0].Text.find(QFile::encodeName(IniFile()).toStdString() + ": too large") == 0);
    QCOMPARE(W<TParamUpDown>("UpDown1")->Position(), 30);
    QFile::remove(IniFile());
  }

  // Automatic tolerance from the dialog disables the edit and its label, not the arrows.
  void parametersDialog() {
    Open(Video_);
    OnParameters([](TFormParam* dialog) {
      dialog->cd_tolerance_auto->setChecked(true);
      dialog->BtOk->click();
    });
    A("Action_Parametre")->trigger();
    QVERIFY(ParamGlob.tolerance_automatique);
    QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled());
    QVERIFY(!W<QLabel>("LabTolerance")->isEnabled());
    QVERIFY(W<TParamUpDown>("UpDown1")->isEnabled());
    ParamGlob.kappa = 9;  // Cancel stores nothing
    OnParameters([](TFormParam* dialog) { dialog->reject(); });
    A("Action_Parametre")->trigger();
    QVERIFY(LireParamGlob());
    QVERIFY(ParamGlob.tolerance_automatique);
    QCOMPARE(ParamGlob.kappa, 3);
    ParamGlob.tolerance_automatique = false;
  }

  void webSiteAndAbout() {
    // The guide opens in a window of the program, pictures included; a browser
    // that cannot be started is told in a message box.
    A("Action_helpwebsite")->trigger();
    auto* help = Form_->findChild<THelpWindow*>();
    QVERIFY(help && help->isVisible());
    const QTextDocument* guide = help->Browser->document();
    QVERIFY(guide->toPlainText().contains(QStringLiteral("Ticking the good images")));
    QVERIFY(!guide->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("screenshots/main-window.png")))
                 .value<QImage>()
                 .isNull());
    QUrl asked;
    help->OpenUrl = [&asked](const QUrl& url) { return asked = url, false; };
    const size_t before = Messages_.Asked.size();
    help->BtBrowser->click();
    QVERIFY(asked.isLocalFile() && asked.toLocalFile().endsWith(QStringLiteral("guide.md")));
    QCOMPARE(Messages_.Asked.size(), before + 1);
    QVERIFY(QString::fromStdString(Messages_.Asked.back().Text).contains(asked.toLocalFile()));
    help->close();
    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
      if (!box) return;
      QVERIFY(!box->Timer1->isActive());
      QCOMPARE(box->Version->text(), QStringLiteral("Version 0.49c (US)"));
      QVERIFY(box->ProductName->isVisible());
      box->OKButton->click();
    });
    A("Action_about")->trigger();
    QVERIFY(!QApplication::activeModalWidget());
  }

  // At start a file that cannot be opened is told, and the splash is gone
  // once the box is. After a good opening the splash (picture and version
  // only, black, on top) is left to its timer, the only way it closes.
  void sampleVideoNowhereToWriteIsTold() {
    const QString blocker = Dir_.filePath(QStringLiteral("plain-file"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), tmp = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker + QStringLiteral("/cache")));
    qputenv("TMPDIR", QFile::encodeName(blocker + QStringLiteral("/tmp")));
    Form_->OpenAtStart({}, nullptr);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", tmp);
    QVERIFY(!S().SequenceOpen);
    QVERIFY2(Status().startsWith(QStringLiteral("No sample video: ")), qPrintable(Status()));
    QVERIFY2(Status().contains(blocker + QStringLiteral("/cache/stellon: Not a directory")), qPrintable(Status()));
    QVERIFY(Messages_.Asked.empty());
  }

  void startUpAndTheSplash() {
    auto splashFor = [] {
      auto* box = new TAboutBox;
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->MakeSplash();
      box->show();
      return QPointer<TAboutBox>(box);
    };
    QPointer<TAboutBox> first = splashFor();
    Form_->OpenAtStart({NotAvi_}, first);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 1000);
    QPointer<TAboutBox> box = splashFor();
    box->Timer1->setInterval(50);
    Form_->OpenAtStart({Video_}, box);
    QCOMPARE(W<QListWidget>("CheckListBox1")->count(), 6);
    QVERIFY(box->isVisible() && box->Timer1->isActive());
    QCOMPARE(box->Image1->pixmap().size(), QSize(440, 260));
    for (QWidget* w : std::initializer_list<QWidget*>{box->ProductName, box->Copyright, box->Comments, box->Contact,
                                                      box->OKButton})
      QVERIFY(!w->isVisible());
    QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint && box->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(box->palette().color(QPalette::Window), QColor(Qt::black));
    box->close();
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
  }

  // The open dialog shows the name, size and date columns whole.
  void openDialogColumns() {
    const QString folder = Dir_.filePath(QStringLiteral("captures"));
    QVERIFY(QDir().mkpath(folder));
    QFile::copy(Video_, folder + QStringLiteral("/jupiter_2005-08-12_22h41m_toucam_pro_barlow_2x_ir_cut_seeing_3.avi"));
    std::unique_ptr<QFileDialog> dialog(MakeOpenDialog(Form_.get(), QStringLiteral("Open"),
                                                       QStringLiteral("Video File AVI (*.avi *.AVI)")));
    dialog->setDirectory(folder);
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(view);
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
    QTest::qWait(50);
    for (int column : {0, 1, 3}) {
      QVERIFY2(view->columnWidth(column) >= static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column), qPrintable(QString::number(column)));
      QVERIFY(view->columnWidth(column) >= view->header()->sectionSizeHint(column));
    }
    int used = 0;
    for (int column = 0; column < view->header()->count(); ++column)
      if (!view->isColumnHidden(column)) used += view->columnWidth(column);
    QVERIFY(used <= view->viewport()->width());
  }

  void jpegDecoding() {
    QFile file(QStringLiteral(":/EXEFILE/SPLASHIMG"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QImage picture = DecodeJpeg(bytes);
    QCOMPARE(picture.size(), QSize(440, 260));
    QVERIFY(qGray(picture.pixel(2, 2)) < 40 && qGray(picture.pixel(318, 130)) > 120);
    QVERIFY(DecodeJpeg(QByteArray()).isNull() && DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
    QByteArray broken = bytes;
    for (int i = 200; i < 260; ++i) broken[i] = char(0xFF);
    DecodeJpeg(broken);  // must not crash, whatever it returns
    QVERIFY(LoadJpegResource(QStringLiteral(":/no/such/picture")).isNull());
  }

  // --- Framing through the progress window and the problem report ---------------

  void autoFramingRunsUnderTheProgressWindow() {
    OpenClean();
    TWatcher watch;
    A("Action_cadre_automatique")->trigger();
    QCOMPARE(watch.ProgressCaption, QStringLiteral("Auto framing(Simple)"));
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, std::string("No problem occured when building all frame"));
    for (int i = 0; i < 6; ++i) QVERIFY(S().Record(i)->HasFrame && LineTicked(i));
  }

  // Cancel keeps the frames made so far and the report says what was not looked at.
  void cancelledAutoFramingIsReported() {
    OpenClean();
    TWatcher watch;
    watch.CancelAt = 2;
    A("Action_cadre_automatique")->trigger();
    QVERIFY(S().Record(0)->HasFrame);
    QVERIFY(!S().Record(5)->HasFrame && !LineTicked(5));
    QCOMPARE(watch.ReportCaption, QStringLiteral("Auto framing | Error during automatic framing"));
    QCOMPARE(watch.Rows.size(), 1);
    QVERIFY2(watch.Rows[0].endsWith(QStringLiteral(" to 6 | Not framed (stopped)")), qPrintable(watch.Rows[0]));
    QVERIFY(Messages_.Asked.empty());
  }

  // "Tick the best images ...": the percentage dialog's choice reaches the
  // controller, the lines follow, and the status bar tells the quality.
  void tickBestImages() {
    OpenClean();
    TWatcher watch;
    A("Action_cadre_automatique")->trigger();
    QTimer::singleShot(0, [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("FormMeilleures")) {
          w->findChild<QSpinBox*>(QStringLiteral("SpinPourcentage"))->setValue(50);
          static_cast<QDialog*>(w)->accept();
        }
    });
    A("Action_meilleures_images")->trigger();
    int ticked = 0;
    for (int i = 0; i < 6; ++i) ticked += LineTicked(i) ? 1 : 0;
    QCOMPARE(ticked, 3);
    QVERIFY(W<QLabel>("StatusQuality")->text().startsWith(QStringLiteral("Quality ")));
  }

  void suppressCommands() {
    OpenClean();
    A("Action_Cadre")->trigger();
    A("Action_suppression_cadre")->trigger();
    QVERIFY(!S().Record(0)->HasFrame && S().Record(0)->HasFramePixels());
    A("Action_Cadre")->trigger();
    A("Action_Supprimer_ts_cadre")->trigger();
    QVERIFY(!S().Record(0)->HasFramePixels());
    QVERIFY(!A("Action_Supprimer_ts_cadre")->isEnabled());
  }

  // A new margin confirmed in the Parameters dialog asks before frames are rebuilt.
  void marginFromTheParametersDialog() {
    OpenClean();
    A("Action_Cadre")->trigger();
    const TRect object = S().Record(0)->ObjectRect;
    Messages_.Answers = {TMsgButton::Yes};
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<TFormParam*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->EditBordure->setText(QStringLiteral("6"));
      dialog->BtOk->click();
    });
    A("Action_Parametre")->trigger();
    QCOMPARE(Messages_.Asked.size(), size_t(2));
    QCOMPARE(Messages_.Asked[0].Caption, std::string("Margin"));
    QCOMPARE(ParamGlob.bordure, 6);
    QCOMPARE(S().Record(0)->FrameRect, (TRect{object.Left - 6, object.Top - 6, object.Right + 6, object.Bottom + 6}));
  }

  // --- Every window the program can open names its controls ---------------------

  void everyControlIsNamed_data() {
    QTest::addColumn<TMakeWindow>("make");
    QTest::newRow("main window") << TMakeWindow([video = Video_] {
      auto* form = new TMainForm;
      form->OpenFile(video);
      return form;
    });
    QTest::newRow("about box") << TMakeWindow([] { return new TAboutBox; });
    QTest::newRow("parameters") << TMakeWindow([] { return new TFormParam; });
    QTest::newRow("FITS parameters") << TMakeWindow([] { return new TFormParamFits; });
    QTest::newRow("progress") << TMakeWindow([] { return new TProgressForm; });
    QTest::newRow("problem report") << TMakeWindow([] {
      auto* report = new TFicheRapport;
      report->AddRow(QStringLiteral("Image 2"), QStringLiteral("Frame out of limit"));
      return report;
    });
    QTest::newRow("combination report") << TMakeWindow([] { return new TFormRapport; });
    QTest::newRow("help") << TMakeWindow([] { return new THelpWindow(QString()); });
    QTest::newRow("result") << TMakeWindow([] {
      auto* window = new TShowBitmap;
      TFastDIB result;
      result.SetSize(20, 10, 24, 0);
      window->Setup(&result, QStringLiteral("clean.avi"), std::vector<std::string>{"Image 1"});
      return window;
    });
    QTest::newRow("colour adjuster") << TMakeWindow([] { return new TAdjuster; });
    QTest::newRow("rotation") << TMakeWindow([] { return new TfrmRotate; });
    QTest::newRow("kappa") << TMakeWindow([] { return new TParamKappa; });
    QTest::newRow("batch saving") << TMakeWindow([] { return new TParamLot; });
    QTest::newRow("BMP list") << TMakeWindow([dir = Dir_.path()] { return new TLoadBMPForm(dir.toStdString()); });
    QTest::newRow("preview") << TMakeWindow([dir = Dir_.path()] { return new TBrowseImage(dir.toStdString()); });
  }
  void everyControlIsNamed() {
    QFETCH(TMakeWindow, make);
    std::unique_ptr<QWidget> window(make());
    window->show();
    const QStringList missing = ControlsWithoutAccessibleName(window.get());
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
