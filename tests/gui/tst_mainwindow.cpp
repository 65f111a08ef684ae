// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's wiring, driven as a user would (its rules are tested
// headless in tests/control): controls, keys and the mouse reach the
// controller and its state shows; jobs under the progress window; the saving,
// list and combination commands; settings; start-up; and the accessible names
// of every window the program can open. Message boxes are answered by a
// TScriptedMessages; widgets are found by object name.
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "AccessibleNames.h"
#include "WhenShown.h"
#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/MainForm.h"
#include "app/ui/OpenDialog.h"
#include "app/ui/ParamLot.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/ProgressForm.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/LoadBMPForm.h"
#include "combine/ui/FicheRapport.h"
#include "combine/ui/FormRapport.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "sequence/SamplePlanet.h"
#include "support/VideoFixtures.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/Rotate.h"
#include "tools/ui/ShowBitmap.h"

using namespace fixtures;
using TMakeWindow = std::function<QWidget*()>;
Q_DECLARE_METATYPE(TMakeWindow)

namespace {
std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString MenuTree(const QMenu* menu) {
  QStringList items;
  for (const QAction* a : menu->actions())
    items << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? "[" + MenuTree(a->menu()) + "]" : a->text());
  return menu->title() + ": " + items.join('|');
}

// Watches the modal windows of a command: the progress window's caption (and
// its Cancel pressed once the bar reaches CancelAt) and the problem report's rows.
class TWatcher : public QObject {
 public:
  QStringList Seen;
  int CancelAt = -1;
  TWatcher() {
    connect(&Timer_, &QTimer::timeout, this, [this] {
      if (ProgressForm && !Seen.contains(ProgressForm->windowTitle())) Seen << ProgressForm->windowTitle();
      if (ProgressForm && CancelAt >= 0 && ProgressForm->ProgressBar1->value() >= CancelAt && !CancelRequested)
        ProgressForm->BitBtn1->click();
      if (auto* report = qobject_cast<TFicheRapport*>(QApplication::activeModalWidget()); report && report->isVisible()) {
        Seen << report->windowTitle() + " | " + report->le_texte->text();
        for (int i = 0; i < report->ListView1->topLevelItemCount(); ++i)
          Seen << report->ListView1->topLevelItem(i)->text(0) + " | " + report->ListView1->topLevelItem(i)->text(1);
        report->accept();
      }
    });
    Timer_.start(0);
  }

 private:
  QTimer Timer_;
};
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
  QTemporaryDir Dir_;
  QString Video_, NotAvi_, List_;  // 6 whole planets 160 x 120; a text; a Kelvaron list of one 8 x 6 picture
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;

  QString Path(const char* name) const { return Dir_.filePath(QString::fromLatin1(name)); }
  template <class T>
  T* W(const char* name) const {
    if (T* w = Form_->findChild<T*>(QString::fromLatin1(name))) return w;
    qFatal("no control %s", name);
  }
  QAction* A(const char* name) const { return W<QAction>(name); }
  TMainController& C() const { return Form_->Controller(); }
  const TSequence& S() const { return Form_->Controller().Sequence(); }
  QString Status() const { return W<QLabel>("StatusPanel2")->text(); }
  QListWidget* Lines() const { return W<QListWidget>("CheckListBox1"); }
  int Ticked() const {
    int n = 0;
    for (int i = 0; i < Lines()->count(); ++i) n += Lines()->item(i)->checkState() == Qt::Checked;
    return n;
  }
  void Open(const QString& path) {
    Form_->ChooseOpenFile = [path](const QString&, const QString&) { return path; };
    A("action_ouvrir")->trigger();
  }
  void OpenClean() {
    ParamGlob.bordure = 4;
    ParamGlob.Rapport = true;
    QVERIFY(Form_->OpenFile(Video_));
  }
  void NewForm() {
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
  }

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
    Video_ = Path("clean.avi");
    std::string error;
    QVERIFY2(WriteSampleVideo(Local(Video_), clean, &error), error.c_str());
    NotAvi_ = Path("notes.avi");
    WriteFileBytes(Local(NotAvi_), "these are observing notes, not a video\n");
    TFastDIB picture;
    picture.SetSize(8, 6, 24, 0);
    QVERIFY(QDir(Dir_.path()).mkpath("pics") && picture.SaveToFile(Local(Path("pics/one.bmp"))).ok());
    List_ = Path("night.lst");  // no header, six lines per entry
    WriteFileBytes(Local(List_), Local("0\n" + Path("pics") + "/\none.bmp\n3\n4\n5\n6\n"));
  }

  void init() {
    QFile::remove(Path("stellon.ini"));
    SetIniPath(Local(Path("stellon.ini")));
    ParamGlob = TParamglob{};
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    NewForm();
  }

  void cleanup() {
    if (Form_) Form_->close();
    Form_.reset();
  }

  // The menus and the tool bar as the user finds them; a hint's long part goes to the first status panel.
  void menusAndToolBar() {
    QStringList menus;
    for (QAction* a : Form_->menuBar()->actions()) menus << MenuTree(a->menu());
    menus << MenuTree(W<QMenu>("Popup_VideoPanel"));
    QCOMPARE(menus, QStringList({"&File: &Open ...|Open/Edit a BMP file list ...|Open a Kelvaron file list ...|Close|-|"
                                 "Images preview|-|Save image|Batch saving ...|-|&Quit",
                                 "&Edition: Copy|-|&Frame\tC|Auto framing|Suppress frame|Suppress all frames|"
                                 "Uncheck all images|Tick the best images ...",
                                 "&View: [&Image: Normal size|Adjusted size|[Resizing: Quick|bi-linear interpolation]]",
                                 "&Options: Parameters ...|[Tool bar: Visible|text && Icon]",
                                 "&Processings: Mean combining|Kappa-Sigma combinaison ...",
                                 "&Help: &Index|&Find ...|&Using help|-|STELLON WEB site|-|&About ...",
                                 ": Normal size|Adjusted size|[Resizing: Quick|bi-linear interpolation]"}));
    auto* bar = W<QToolBar>("ToolBar1");
    QStringList buttons;
    for (QAction* a : bar->actions()) buttons << (a->isSeparator() ? QStringLiteral("-") : bar->widgetForAction(a)->objectName());
    QCOMPARE(buttons.join(' '), QStringLiteral("BtOuvrir BtOuvrirBmp BtParcourirBMP - BtCopier - BtPrec BtSuiv - BtEnregistrer "
                                               "BtEnregistrerLot - BtCadre BtCadreAll BtNoCadre BtDisableCheck - BtMoyenne BtKappa"));
    QStatusTipEvent tip(W<QToolButton>("BtSuiv")->statusTip());
    QApplication::sendEvent(W<QToolButton>("BtSuiv"), &tip);
    QCOMPARE(W<QLabel>("StatusPanel1")->text(), QStringLiteral("Next image"));
  }

  // Each control and command reaches the controller, and its state shows in the controls.
  void controlsDriveTheController() {
    QString offered;
    Form_->ChooseOpenFile = [&](const QString&, const QString& filter) { return offered = filter, Video_; };
    A("action_ouvrir")->trigger();
    QVERIFY(offered.contains("Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)") && offered.contains("Video File AVI (*.avi *.AVI)"));
    auto* track = W<QSlider>("TrackBar1");
    auto* panel = W<TFastIMG>("VideoPanel");
    QCOMPARE(Form_->windowTitle(), QStringLiteral("Stellon v0.49c (US) - clean.avi"));
    QCOMPARE(Lines()->item(5)->text() + QString::number(track->maximum()), QStringLiteral("Image 65"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/6 - 160x120 - 24 bits"));
    QVERIFY(panel->isVisible() && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    QTest::mouseClick(W<QToolButton>("BtSuiv"), Qt::LeftButton);
    QCOMPARE(Status() + QString::number(Lines()->currentRow()), QStringLiteral("Pos : 2/6 - 160x120 - 24 bits1"));
    track->setValue(5);
    QVERIFY(S().CurrentIndex == 5 && !W<QToolButton>("BtSuiv")->isEnabled());
    Lines()->setCurrentRow(3);
    QCOMPARE(track->value(), 3);
    QTest::mouseClick(W<QToolButton>("BtPrec"), Qt::LeftButton);
    panel->setFocus();  // Left and Right on the picture step the images
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(W<QWidget>("ScrollBox1"), Qt::Key_Left);
    QCOMPARE(S().CurrentIndex, 3);
    Lines()->item(5)->setCheckState(Qt::Checked);  // ticking a line makes it current
    QVERIFY(S().Record(5)->Checked && S().CurrentIndex == 5);
    A("Action_Decocher_images")->trigger();
    QCOMPARE(Ticked(), 0);
    Lines()->setFocus();  // C in the list frames: the box, the tick and a white outline follow
    QTest::keyClick(Lines(), Qt::Key_X);
    QVERIFY(!S().Record(5)->HasFrame);
    QTest::keyClick(Lines(), Qt::Key_C);
    const TRect r = S().Record(5)->FrameRect;
    QVERIFY(S().Record(5)->HasFrame && W<QCheckBox>("Checkcadre")->isChecked() && Ticked() == 1);
    QCOMPARE(panel->Bmp().GetPixel(r.Top, r.Left), (TColorBGR{255, 255, 255}));
    QVERIFY(!W<QLabel>("poscadre")->text().isEmpty() && A("Action_Supprimer_ts_cadre")->isEnabled());
    W<QCheckBox>("Checkcadre")->setChecked(false);
    QVERIFY(!S().Record(5)->HasFrame && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    A("Action_Cadre")->trigger();
    A("Action_suppression_cadre")->trigger();
    QVERIFY(!S().Record(5)->HasFrame && S().Record(5)->HasFramePixels());
    A("Action_Cadre")->trigger();
    A("Action_Supprimer_ts_cadre")->trigger();
    QVERIFY(!S().Record(5)->HasFramePixels() && !A("Action_Supprimer_ts_cadre")->isEnabled());
    W<QLineEdit>("EditTolerance1")->setText(QStringLiteral("12"));
    W<TParamUpDown>("UpDown1")->Step(1);
    QCOMPARE(C().Tolerance(), 13);
    // The view commands set the picture control's style and resampling.
    QVERIFY(A("Action_Image_Normale")->isChecked() && !A("Action_image_smFast")->isEnabled());
    A("Action_Image_Ajustee")->trigger();
    A("Action_image_smBilinear")->trigger();
    QVERIFY(A("Action_image_smBilinear")->isChecked() && !A("Action_image_smFast")->isChecked());
    QVERIFY(panel->SizeMode() == smBilinear && panel->DrawStyle() == dsResize);
    A("Action_Image_Normale")->trigger();
    QVERIFY(panel->SizeMode() == smFast && panel->DrawStyle() == dsCenter);
    // A file that cannot be opened is told and changes nothing; a 12-bit SER capture opens.
    Open(NotAvi_);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, Local(NotAvi_) + "is not a valid AVI file.");
    QCOMPARE(Form_->windowTitle() + Status(), QStringLiteral("Stellon v0.49c (US) - clean.aviPos : 6/6 - 160x120 - 24 bits"));
    TSampleOptions o;
    o.Frames = 5;
    o.Width = 64;
    o.Height = 48;
    QVERIFY(WriteSampleSer(Local(Path("deep.ser")), o, 0, 12, nullptr));
    Open(Path("deep.ser"));
    QCOMPARE(Status() + QString::number(Lines()->count()), QStringLiteral("Pos : 1/5 - 64x48 - 12 bits5"));
    // Closed: no lines, no picture, the bare title.
    A("Action_fermer")->trigger();
    QVERIFY(Lines()->count() == 0 && !panel->isVisible() && !A("Action_fermer")->isEnabled());
    QCOMPARE(Form_->windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
  }

  // The mouse on the picture: a drag draws the frame, the arrow keys nudge it, in both display sizes.
  void frameDrawnWithTheMouse() {
    OpenClean();
    auto* panel = W<TFastIMG>("VideoPanel");
    const QPoint o = panel->PictureRect().topLeft();
    QTest::mousePress(panel, Qt::LeftButton, {}, o + QPoint(20, 10));
    QTest::mouseMove(panel, o + QPoint(50, 40));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, o + QPoint(80, 70));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{20, 10, 80, 70}));
    QVERIFY(Ticked() == 1 && panel->Bmp().GetPixel(10, 20) == (TColorBGR{255, 255, 255}));
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
  }

  // A video or a Kelvaron list dropped on the window opens; other files are not taken.
  void dropOpensVideosAndLists() {
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
    QVERIFY(!drag(Path("picture.bmp")) && !S().SequenceOpen);
    QVERIFY(drag(Video_) && S().ImageCount == 6);
    QVERIFY(drag(List_) && S().ImageCount == 1);
    QVERIFY(Form_->windowTitle().endsWith(QStringLiteral(" - night.lst (Kelvaron)")));
  }

  // Automatic framing runs under the progress window; Cancel keeps the frames made and the report
  // says what was not looked at; "Tick the best images ..." ticks the chosen share.
  void autoFramingAndTickBest() {
    OpenClean();
    {
      TWatcher watch;
      watch.CancelAt = 2;
      A("Action_cadre_automatique")->trigger();
      QCOMPARE(watch.Seen.size(), 3);
      QCOMPARE(watch.Seen.mid(0, 2), QStringList({"Auto framing(Simple)", "Auto framing | Error during automatic framing"}));
      QVERIFY2(watch.Seen[2].endsWith(" to 6 | Not framed (stopped)"), qPrintable(watch.Seen[2]));
      QVERIFY(S().Record(0)->HasFrame && !S().Record(5)->HasFrame && Messages_.Asked.empty());
    }
    TWatcher watch;
    A("Action_cadre_automatique")->trigger();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, std::string("No problem occured when building all frame"));
    QCOMPARE(Ticked(), 6);
    WhenShown<QDialog>([](QDialog* d) {
      d->findChild<QSpinBox*>(QStringLiteral("SpinPourcentage"))->setValue(50);
      d->accept();
    });
    A("Action_meilleures_images")->trigger();
    QCOMPARE(Ticked(), 3);
    QVERIFY(W<QLabel>("StatusQuality")->text().startsWith(QStringLiteral("Quality ")));
  }

  // Mean and kappa-sigma from the menu and the tool bar: each result saved from its window equals
  // stellon-cli stack of the same video with the same settings, byte for byte.
  void combineEqualsTheCommandLine() {
    ParamGlob.bordure = 4;
    ParamGlob.kappa = 2;
    ParamGlob.Rapport = false;
    QVERIFY(EcrireParamGlob().ok());
    QVERIFY(Form_->OpenFile(Video_));
    auto* mean = A("Action_Moyenne");
    auto* kappa = W<QToolButton>("BtKappa");
    QVERIFY(!mean->isEnabled() && !kappa->isEnabled());
    A("Action_cadre_automatique")->trigger();
    QVERIFY(mean->isEnabled() && kappa->isEnabled());
    QStringList captions;
    QString saveAs;
    Form_->ShowResult = [&](TShowBitmap& w) {
      captions << w.windowTitle();
      w.ChooseSaveFile = [&](const QString&, bool) { return saveAs; };
      w.BtEnregistre->click();
    };
    bool kappaOk = true;
    Form_->AskKappa = [&](TParamKappa& d) { return captions << QString::number(d.UpDown1->value()), kappaOk; };
    saveAs = Path("gui_mean.bmp");
    mean->trigger();
    saveAs = Path("gui_kappa.bmp");
    kappa->click();
    QCOMPARE(captions, QStringList({"Result : Combinaison by mean (6images)", "2", "Result : Combinaison Kappa-Sigma (6images)"}));
    auto cli = [&](QStringList args) {
      QProcess p;
      p.start(QStringLiteral(STELLON_CLI), QStringList{"stack", Video_, "--ini", Path("stellon.ini"), "-o"} + args);
      return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QVERIFY(cli({Path("cli_mean.bmp")}));
    QVERIFY(cli({Path("cli_kappa.bmp"), "--method", "kappa", "--kappa", "2"}));
    const auto bytes = [&](const char* name) { return ReadFileBytes(Local(Path(name))); };
    QVERIFY(bytes("gui_mean.bmp") == bytes("cli_mean.bmp") && bytes("gui_kappa.bmp") == bytes("cli_kappa.bmp"));
    QVERIFY(bytes("cli_mean.bmp") != bytes("cli_kappa.bmp"));
    // Cancel in the progress window: no result window; Cancel in the kappa dialog: no job.
    TWatcher watch;
    watch.CancelAt = 0;
    mean->trigger();
    kappaOk = false;
    A("Action_kappa")->trigger();
    QCOMPARE(captions.size(), 4);
  }

  // "Save image" from the menu and the tool bar, and "Batch saving ..." through its dialog
  // (BMP, FITS with this batch's own FITS parameters, and a folder that does not exist).
  void savingCommands_data() {
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("files");
    QTest::newRow("BMP") << false << "lot" << "Jup0003.bmp Jup0004.bmp Jup0005.bmp Jup0006.bmp Jup0007.bmp Jup0008.bmp";
    QTest::newRow("FITS") << true << "lot" << "18 JupV0004.fit";
    QTest::newRow("no folder") << false << "no/such" << "";
  }
  void savingCommands() {
    QFETCH(bool, fits);
    QFETCH(QString, folder);
    QFETCH(QString, files);
    QVERIFY(QDir(Dir_.path()).mkpath("single") && QDir(Dir_.path()).mkpath("lot"));
    OpenClean();
    C().SaveDirectory = Local(Path("single"));
    int beeps = 0;
    C().Beep = [&] { ++beeps; };
    A("Action_enregistrer")->trigger();
    W<QToolButton>("BtEnregistrer")->click();
    QCOMPARE(QDir(Path("single")).entryList(QDir::Files), QStringList({"Temp0001.bmp", "Temp0002.bmp"}));
    QCOMPARE(W<QLabel>("label_sequence")->text() + QString::number(beeps), QStringLiteral("00032"));
    ParamGlob.Fits = fits;
    ParamGlob.Bitmap = !fits;
    QStringList seen;
    WhenShown<TParamLot>([&](TParamLot* d) {
      seen << d->windowTitle() << d->NomEdit->text() << d->no_seq->text() << QString::number(d->CheckBox1->isEnabled());
      d->RadioButton3->click();
      seen << QString::number(d->CheckBox1->isEnabled());
      d->NomEdit->setText("Jup");
      d->BrowseDirectory = [&](const QString& title, const QString&) { return seen << title, Dir_.filePath(folder); };
      d->ChgRepertoire->click();
      d->RadioButton1->click();
      if (fits) WhenShown<TFormParamFits>([](TFormParamFits* f) { f->Radio_SepRVB->click(), f->BtnOK->click(); });
      d->BitBtn1->click();
    });
    TWatcher watch;
    W<QToolButton>("BtEnregistrerLot")->click();
    QCOMPARE(seen + watch.Seen.mid(0, 1), QStringList({"Batch saving", "Temp", "3", "0", "1", "Choose a directy for saving files",
                                                        "Batch saving"}));
    const QStringList written = QDir(Path("lot")).entryList(QDir::Files);
    QCOMPARE(fits ? QString::number(written.size()) + (written.contains("JupV0004.fit") ? " JupV0004.fit" : "") : written.join(' '), files);
    QVERIFY(!ParamGlob.FITS.SepRVB && !ProgressForm);
    QDir(Path("lot")).removeRecursively();
    QDir(Path("single")).removeRecursively();
    if (files.isEmpty()) {
      QCOMPARE(Messages_.Asked.size(), size_t(1));
      QVERIFY(QString::fromStdString(Messages_.Asked[0].Text).contains(Dir_.filePath(folder) + "/Jup0003.bmp"));
    } else {
      QVERIFY(Messages_.Asked.empty() && S().CurrentIndex == 5);
    }
  }

  // The BMP list and Kelvaron list commands open their sequences.
  void listCommands() {
    ParamGlob.repertoire = Local(Path("pics"));
    WhenShown<TLoadBMPForm>([](TLoadBMPForm* d) {
      d->FinishListing();
      d->Btn_AjAll->click();
      d->BtnOK->click();
    });
    A("Action_Ouvrir_Bmp")->trigger();
    QVERIFY(Form_->windowTitle().endsWith(QStringLiteral(" - Séquence fichier BMP")));
    QCOMPARE(Lines()->item(0)->text(), QStringLiteral("1 - one.bmp"));
    QCOMPARE(C().CurrentImage()->Width(), 8);
    A("Action_fermer")->trigger();
    Form_->ChooseOpenFile = [this](const QString& caption, const QString&) {
      return caption == QStringLiteral("Open a Kelvaron ffile list") ? List_ : QString();
    };
    A("Action_ouvrir_kelvaron")->trigger();
    QVERIFY(Form_->windowTitle().endsWith(QStringLiteral(" - night.lst (Kelvaron)")) && Lines()->count() == 1);
  }

  // The Parameters dialog reaches the controller (a new margin asks before frames are rebuilt,
  // automatic tolerance disables the edit and its label); tool bar choices are kept at close.
  void settingsThroughTheWindow() {
    OpenClean();
    A("Action_Cadre")->trigger();
    const TRect object = S().Record(0)->ObjectRect;
    Messages_.Answers = {TMsgButton::Yes};
    WhenShown<TFormParam>([](TFormParam* d) {
      d->EditBordure->setText(QStringLiteral("6"));
      d->cd_tolerance_auto->setChecked(true);
      d->BtOk->click();
    });
    A("Action_Parametre")->trigger();
    QCOMPARE(Messages_.Asked.size(), size_t(2));
    QCOMPARE(Messages_.Asked[0].Caption, std::string("Margin"));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{object.Left - 6, object.Top - 6, object.Right + 6, object.Bottom + 6}));
    QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled() && !W<QLabel>("LabTolerance")->isEnabled());
    QVERIFY(W<TParamUpDown>("UpDown1")->isEnabled());
    WhenShown<TFormParam>([](TFormParam* d) { d->reject(); });  // Cancel stores nothing
    ParamGlob.kappa = 9;
    A("Action_Parametre")->trigger();
    QVERIFY(LireParamGlob() && ParamGlob.tolerance_automatique && ParamGlob.kappa == 3);
    A("mnu_barre_visible")->trigger();
    A("mnu_texte_icone")->trigger();
    QVERIFY(W<QToolBar>("ToolBar1")->isHidden());
    QCOMPARE(W<QToolButton>("BtOuvrir")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    Form_->close();
    NewForm();
    QVERIFY(W<QToolBar>("ToolBar1")->isHidden() && !A("mnu_barre_visible")->isChecked() && A("mnu_texte_icone")->isChecked());
    // Settings that cannot be written are told with the file at close; unusable ones at start.
    Messages_.Asked.clear();
    SetIniPath(Local(NotAvi_) + "/stellon.ini");
    Form_->close();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, IniWriteErrorText(Local(NotAvi_) + "/stellon.ini"));
    SetIniPath(Local(Path("stellon.ini")));
    QFile big(Path("stellon.ini"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.write("[cadre]\ntolerance=77\n") > 0 && big.resize(2 << 20));
    big.close();
    NewForm();
    QCOMPARE(Messages_.Asked.size(), size_t(2));
    QVERIFY(Messages_.Asked[1].Text.find(Local(Path("stellon.ini")) + ": too large") == 0);
    QCOMPARE(W<TParamUpDown>("UpDown1")->Position(), 30);
  }

  // At start: a file that cannot be opened is told and the splash is gone with the box; a Kelvaron
  // list of the command line opens and the splash is left to its timer; a sample video that cannot
  // be written is told on the status line.
  void startUp() {
    auto splash = [] {
      auto* box = new TAboutBox;
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->MakeSplash();
      box->show();
      return QPointer<TAboutBox>(box);
    };
    QPointer<TAboutBox> first = splash();
    Form_->OpenAtStart({NotAvi_}, first);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 1000);
    QPointer<TAboutBox> box = splash();
    box->Timer1->setInterval(50);
    Form_->CommandLineParams = {QStringLiteral("/kelvaron"), QLatin1Char('"') + List_ + QLatin1Char('"')};
    Form_->OpenAtStart(Form_->CommandLineParams, box);
    QCOMPARE(Lines()->count(), 1);
    QVERIFY(box->isVisible() && box->Timer1->isActive());
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
    A("Action_fermer")->trigger();
    const QString blocker = NotAvi_;
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), tmp = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker + "/cache"));
    qputenv("TMPDIR", QFile::encodeName(blocker + "/tmp"));
    Form_->OpenAtStart({}, nullptr);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", tmp);
    QVERIFY2(Status().startsWith("No sample video: ") && Status().contains(blocker + "/cache/stellon: Not a directory"),
             qPrintable(Status()));
    QCOMPARE(Messages_.Asked.size(), size_t(1));
  }

  // The guide opens in a window of the program, pictures included; a browser that cannot start is told.
  void helpWindow() {
    A("Action_helpwebsite")->trigger();
    auto* help = Form_->findChild<THelpWindow*>();
    QVERIFY(help && help->isVisible());
    const QTextDocument* guide = help->Browser->document();
    QVERIFY(guide->toPlainText().contains(QStringLiteral("Ticking the good images")));
    QVERIFY(!guide->resource(QTextDocument::ImageResource, QUrl("screenshots/main-window.png")).value<QImage>().isNull());
    QUrl asked;
    help->OpenUrl = [&asked](const QUrl& url) { return asked = url, false; };
    help->BtBrowser->click();
    QVERIFY(asked.isLocalFile() && asked.toLocalFile().endsWith(QStringLiteral("guide.md")));
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QVERIFY(QString::fromStdString(Messages_.Asked[0].Text).contains(asked.toLocalFile()));
  }

  // The open dialog shows the name, size and date columns whole, within the view.
  void openDialogColumns() {
    QVERIFY(QDir().mkpath(Path("captures")));
    QFile::copy(Video_, Path("captures") + "/jupiter_2005-08-12_22h41m_toucam_pro_barlow_2x_ir_cut_seeing_3.avi");
    std::unique_ptr<QFileDialog> dialog(MakeOpenDialog(Form_.get(), "Open", "Video File AVI (*.avi *.AVI)"));
    dialog->setDirectory(Path("captures"));
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(view);
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
    QTest::qWait(50);
    int used = 0;
    for (int column = 0; column < view->header()->count(); ++column)
      if (!view->isColumnHidden(column)) used += view->columnWidth(column);
    QVERIFY(used <= view->viewport()->width());
    for (int column : {0, 1, 3})
      QVERIFY(view->columnWidth(column) >= std::max(view->header()->sectionSizeHint(column),
                                                    static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column)));
  }

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
