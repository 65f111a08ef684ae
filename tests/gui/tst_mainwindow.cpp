// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's wiring, driven as a user would (its rules are tested headless in tests/control): controls,
// keys and the mouse reach the controller and its state shows; the commands with windows of their own; settings;
// start-up; and the accessible names of every window the program can open. Message boxes are answered by a
// TScriptedMessages; widgets are found by object name.
#include <QtTest>
#include <QtWidgets>

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

// Watches a command's modal windows: the progress window's caption (its Cancel pressed once the bar reaches
// CancelAt) and the problem report's caption and rows.
struct TWatcher : QTimer {
  QStringList Seen;
  int CancelAt = -1;
  TWatcher() {
    connect(this, &QTimer::timeout, [this] {
      if (ProgressForm && !Seen.contains(ProgressForm->windowTitle())) Seen << ProgressForm->windowTitle();
      if (ProgressForm && CancelAt >= 0 && ProgressForm->ProgressBar1->value() >= CancelAt && !CancelRequested)
        ProgressForm->BitBtn1->click();
      auto* report = qobject_cast<TFicheRapport*>(QApplication::activeModalWidget());
      if (!report || !report->isVisible()) return;
      Seen << report->windowTitle() + " | " + report->le_texte->text();
      for (int i = 0; i < report->ListView1->topLevelItemCount(); ++i)
        Seen << report->ListView1->topLevelItem(i)->text(0) + " | " + report->ListView1->topLevelItem(i)->text(1);
      report->accept();
    });
    start(0);
  }
};
}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
  QTemporaryDir Dir_;
  QString Video_, NotAvi_, List_;  // 6 whole planets 160 x 120; a text; a Kelvaron list of one 8 x 6 picture
  TScriptedMessages Messages_;
  TMessagesScope Scope_{Messages_};
  std::unique_ptr<TMainForm> Form_;

  QString Path(const QString& name) const { return Dir_.filePath(name); }
  template <class T = QAction>
  T* W(const char* name) const {
    if (T* w = Form_->findChild<T*>(QString::fromLatin1(name))) return w;
    qFatal("no control %s", name);
  }
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
    W("action_ouvrir")->trigger();
  }
  void NewForm() {
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
  }
  std::string Asked() const {
    std::string all;
    for (const TMessageRequest& r : Messages_.Asked) all += r.Caption + " | " + r.Text + "\n";
    return all;
  }

 private slots:
  void initTestCase() {
    InitStellonResources();
    TSampleOptions o;
    o.Frames = 6;
    o.Width = 160;
    o.Height = 120;
    o.Seed = 4;
    Video_ = Path("clean.avi");
    QVERIFY(WriteSampleVideo(Local(Video_), o, nullptr));
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
    Messages_ = TScriptedMessages{};
    NewForm();
    ParamGlob.bordure = 4;
  }
  void cleanup() { Form_.reset(); }

  // Each control reaches the controller and its state shows: opening, stepping by buttons, position, list and
  // the Left/Right keys, ticks, the C key and the frame box with the outline, the frame commands, the tolerance,
  // the view commands, a failed open that changes nothing, a SER capture's depth, closing.
  void controlsDriveTheController() {
    QString offered;
    Form_->ChooseOpenFile = [&](const QString&, const QString& filter) { return offered = filter, Video_; };
    W("action_ouvrir")->trigger();
    QVERIFY(offered.contains("Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)") && offered.contains("(*.avi *.AVI)"));
    auto* track = W<QSlider>("TrackBar1");
    auto* panel = W<TFastIMG>("VideoPanel");
    QCOMPARE(Form_->windowTitle() + " " + Lines()->item(5)->text() + QString::number(track->maximum()),
             QStringLiteral("Stellon v0.49c (US) - clean.avi Image 65"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/6 - 160x120 - 24 bits"));
    QVERIFY(panel->isVisible() && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    QTest::mouseClick(W<QToolButton>("BtSuiv"), Qt::LeftButton);
    QCOMPARE(Status() + QString::number(Lines()->currentRow()), QStringLiteral("Pos : 2/6 - 160x120 - 24 bits1"));
    track->setValue(5);
    QVERIFY(S().CurrentIndex == 5 && !W<QToolButton>("BtSuiv")->isEnabled());
    Lines()->setCurrentRow(3);
    QCOMPARE(track->value(), 3);
    QTest::mouseClick(W<QToolButton>("BtPrec"), Qt::LeftButton);
    panel->setFocus();
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(W<QWidget>("ScrollBox1"), Qt::Key_Left);
    QCOMPARE(S().CurrentIndex, 3);
    Lines()->item(5)->setCheckState(Qt::Checked);  // ticking a line makes it current
    QVERIFY(S().Record(5)->Checked && S().CurrentIndex == 5);
    W("Action_Decocher_images")->trigger();
    QCOMPARE(Ticked(), 0);
    Lines()->setFocus();
    QTest::keyClick(Lines(), Qt::Key_X);
    QTest::keyClick(Lines(), Qt::Key_C);
    const TRect r = S().Record(5)->FrameRect;
    QVERIFY(S().Record(5)->HasFrame && W<QCheckBox>("Checkcadre")->isChecked() && Ticked() == 1);
    QVERIFY(panel->Bmp().GetPixel(r.Top, r.Left) == (TColorBGR{255, 255, 255}) && !W<QLabel>("poscadre")->text().isEmpty());
    W<QCheckBox>("Checkcadre")->setChecked(false);
    QVERIFY(!S().Record(5)->HasFrame && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    W("Action_Cadre")->trigger();
    W("Action_suppression_cadre")->trigger();
    QVERIFY(!S().Record(5)->HasFrame && S().Record(5)->HasFramePixels());
    W("Action_Cadre")->trigger();
    W("Action_Supprimer_ts_cadre")->trigger();
    QVERIFY(!S().Record(5)->HasFramePixels() && !W("Action_Supprimer_ts_cadre")->isEnabled());
    W<QLineEdit>("EditTolerance1")->setText(QStringLiteral("12"));
    W<TParamUpDown>("UpDown1")->Step(1);
    QCOMPARE(C().Tolerance(), 13);
    QVERIFY(W("Action_Image_Normale")->isChecked() && !W("Action_image_smFast")->isEnabled());
    W("Action_Image_Ajustee")->trigger();
    W("Action_image_smBilinear")->trigger();
    QVERIFY(W("Action_image_smBilinear")->isChecked() && !W("Action_image_smFast")->isChecked());
    QVERIFY(panel->SizeMode() == smBilinear && panel->DrawStyle() == dsResize);
    W("Action_Image_Normale")->trigger();
    QVERIFY(panel->SizeMode() == smFast && panel->DrawStyle() == dsCenter);
    Open(NotAvi_);
    QCOMPARE(Asked(), "Error | " + Local(NotAvi_) + "is not a valid AVI file.\n");
    QCOMPARE(Form_->windowTitle() + Status(), QStringLiteral("Stellon v0.49c (US) - clean.aviPos : 6/6 - 160x120 - 24 bits"));
    TSampleOptions o;
    o.Frames = 5;
    o.Width = 64;
    o.Height = 48;
    QVERIFY(WriteSampleSer(Local(Path("deep.ser")), o, 0, 12, nullptr));
    Open(Path("deep.ser"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/5 - 64x48 - 12 bits"));
    W("Action_fermer")->trigger();
    QVERIFY(Lines()->count() == 0 && !panel->isVisible() && !W("Action_fermer")->isEnabled());
    QCOMPARE(Form_->windowTitle(), QStringLiteral("Stellon v0.49c (US)"));
  }

  // The mouse on the picture: a drag draws the frame, the arrow keys nudge it, in both display sizes.
  void frameDrawnWithTheMouse() {
    QVERIFY(Form_->OpenFile(Video_));
    auto* panel = W<TFastIMG>("VideoPanel");
    const QPoint o = panel->PictureRect().topLeft();
    QTest::mousePress(panel, Qt::LeftButton, {}, o + QPoint(20, 10));
    QTest::mouseMove(panel, o + QPoint(50, 40));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, o + QPoint(80, 70));
    QVERIFY(S().Record(0)->FrameRect == (TRect{20, 10, 80, 70}) && Ticked() == 1);
    QCOMPARE(panel->Bmp().GetPixel(10, 20), (TColorBGR{255, 255, 255}));
    QTest::keyClick(panel, Qt::Key_Down);
    QVERIFY(S().Record(0)->FrameRect == (TRect{20, 11, 80, 71}) && S().CurrentIndex == 0);  // nudged, not stepped
    W("Action_Image_Ajustee")->trigger();
    const QRect shown = panel->PictureRect();
    const double k = double(shown.width()) / 160;
    auto at = [&](int x, int y) { return shown.topLeft() + QPoint(int(x * k + k / 2), int(y * k + k / 2)); };
    QTest::mousePress(panel, Qt::LeftButton, {}, at(30, 30));
    QTest::mouseMove(panel, at(35, 32));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, at(40, 34));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{30, 15, 90, 75}));
  }

  // Automatic framing under the progress window: Cancel keeps the frames made and the report says what was not
  // looked at; run whole, it is told; "Tick the best images ..." ticks the chosen share.
  void autoFramingAndTickBest() {
    QVERIFY(Form_->OpenFile(Video_));
    auto watch = std::make_unique<TWatcher>();
    watch->CancelAt = 2;
    W("Action_cadre_automatique")->trigger();
    QCOMPARE(watch->Seen.mid(0, 2), QStringList({"Auto framing(Simple)", "Auto framing | Error during automatic framing"}));
    QVERIFY2(watch->Seen.size() == 3 && watch->Seen[2].endsWith(" to 6 | Not framed (stopped)"), qPrintable(watch->Seen.join(',')));
    QVERIFY(S().Record(0)->HasFrame && !S().Record(5)->HasFrame && Messages_.Asked.empty());
    watch = std::make_unique<TWatcher>();
    W("Action_cadre_automatique")->trigger();
    QCOMPARE(Asked(), std::string("Automatic frames | No problem occured when building all frame\n"));
    QCOMPARE(Ticked(), 6);
    WhenShown<QDialog>([](QDialog* d) {
      d->findChild<QSpinBox*>(QStringLiteral("SpinPourcentage"))->setValue(50);
      d->accept();
    });
    W("Action_meilleures_images")->trigger();
    QVERIFY(Ticked() == 3 && W<QLabel>("StatusQuality")->text().startsWith(QStringLiteral("Quality ")));
  }

  // Mean from the menu and kappa-sigma from the tool bar: each result saved from its window equals stellon-cli
  // stack of the same video with the same settings, byte for byte; cancelled, no result window.
  void combineEqualsTheCommandLine() {
    ParamGlob.kappa = 2;
    ParamGlob.Rapport = false;
    QVERIFY(EcrireParamGlob().ok() && Form_->OpenFile(Video_));
    auto* kappa = W<QToolButton>("BtKappa");
    QVERIFY(!W("Action_Moyenne")->isEnabled() && !kappa->isEnabled());
    W("Action_cadre_automatique")->trigger();
    QStringList seen;
    QString saveAs;
    Form_->ShowResult = [&](TShowBitmap& w) {
      seen << w.windowTitle();
      w.ChooseSaveFile = [&](const QString&, bool) { return saveAs; };
      w.BtEnregistre->click();
    };
    bool kappaOk = true;
    Form_->AskKappa = [&](TParamKappa& d) { return seen << QString::number(d.UpDown1->value()), kappaOk; };
    saveAs = Path("gui_mean.bmp");
    W("Action_Moyenne")->trigger();
    saveAs = Path("gui_kappa.bmp");
    kappa->click();
    QCOMPARE(seen, QStringList({"Result : Combinaison by mean (6images)", "2", "Result : Combinaison Kappa-Sigma (6images)"}));
    auto cli = [&](QStringList args) {
      QProcess p;
      p.start(QStringLiteral(STELLON_CLI), QStringList{"stack", Video_, "--ini", Path("stellon.ini"), "-o"} + args);
      return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QVERIFY(cli({Path("cli_mean.bmp")}) && cli({Path("cli_kappa.bmp"), "--method", "kappa", "--kappa", "2"}));
    const auto bytes = [&](const char* name) { return ReadFileBytes(Local(Path(name))); };
    QVERIFY(bytes("gui_mean.bmp") == bytes("cli_mean.bmp") && bytes("gui_kappa.bmp") == bytes("cli_kappa.bmp"));
    QVERIFY(bytes("cli_mean.bmp") != bytes("cli_kappa.bmp"));
    TWatcher watch;
    watch.CancelAt = 0;
    W("Action_Moyenne")->trigger();
    kappaOk = false;
    W("Action_kappa")->trigger();
    QCOMPARE(seen.size(), 4);  // the kappa dialog asked, no job
  }

  // "Save image" from the menu and the tool bar, and "Batch saving ..." through its dialog: BMP, and FITS with
  // the FITS parameters of this batch only.
  void savingCommands_data() {
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QString>("files");
    QTest::newRow("BMP") << false << "Jup0003.bmp Jup0004.bmp Jup0005.bmp Jup0006.bmp Jup0007.bmp Jup0008.bmp";
    QTest::newRow("FITS") << true << "18 JupV0004.fit";
  }
  void savingCommands() {
    QFETCH(bool, fits);
    QFETCH(QString, files);
    QDir(Path("lot")).removeRecursively();
    QDir(Path("single")).removeRecursively();
    QVERIFY(QDir(Dir_.path()).mkpath("single") && QDir(Dir_.path()).mkpath("lot") && Form_->OpenFile(Video_));
    C().SaveDirectory = Local(Path("single"));
    int beeps = 0;
    C().Beep = [&] { ++beeps; };
    W("Action_enregistrer")->trigger();
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
      d->BrowseDirectory = [&](const QString& title, const QString&) { return seen << title, Path("lot"); };
      d->ChgRepertoire->click();
      d->RadioButton1->click();
      if (fits) WhenShown<TFormParamFits>([](TFormParamFits* f) { f->Radio_SepRVB->click(), f->BtnOK->click(); });
      d->BitBtn1->click();
    });
    TWatcher watch;
    W<QToolButton>("BtEnregistrerLot")->click();
    QCOMPARE(seen + watch.Seen, QStringList({"Batch saving", "Temp", "3", "0", "1", "Choose a directy for saving files", "Batch saving"}));
    const QStringList written = QDir(Path("lot")).entryList(QDir::Files);
    QCOMPARE(fits ? QString::number(written.size()) + (written.contains("JupV0004.fit") ? " JupV0004.fit" : "") : written.join(' '), files);
    QVERIFY(!ParamGlob.FITS.SepRVB && Messages_.Asked.empty() && S().CurrentIndex == 5);  // left on the last image
  }

  // The list commands open their sequences: the BMP list dialog, a Kelvaron list chosen or dropped; a dropped
  // video opens; other files are not taken.
  void listCommandsAndDrop() {
    ParamGlob.repertoire = Local(Path("pics"));
    WhenShown<TLoadBMPForm>([](TLoadBMPForm* d) { d->FinishListing(), d->Btn_AjAll->click(), d->BtnOK->click(); });
    W("Action_Ouvrir_Bmp")->trigger();
    QCOMPARE(Form_->windowTitle() + " " + Lines()->item(0)->text(), QStringLiteral("Stellon v0.49c (US) - Séquence fichier BMP 1 - one.bmp"));
    QCOMPARE(C().CurrentImage()->Width(), 8);
    Form_->ChooseOpenFile = [this](const QString& caption, const QString&) {
      return caption == QStringLiteral("Open a Kelvaron ffile list") ? List_ : QString();
    };
    W("Action_fermer")->trigger();
    W("Action_ouvrir_kelvaron")->trigger();
    QVERIFY(Form_->windowTitle().endsWith(QStringLiteral(" - night.lst (Kelvaron)")) && Lines()->count() == 1);
    auto drag = [this](const QString& path) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(Form_.get(), &enter);
      QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      if (enter.isAccepted()) QApplication::sendEvent(Form_.get(), &drop);
      QCoreApplication::processEvents();
      return enter.isAccepted() ? S().ImageCount : -1;
    };
    QCOMPARE(QString("%1 %2 %3").arg(drag(Path("pics/one.bmp"))).arg(drag(Video_)).arg(drag(List_)), QStringLiteral("-1 6 1"));
  }

  // The Parameters dialog reaches the controller: a new margin asks before frames are rebuilt, automatic tolerance
  // disables the edit and its label; Cancel stores nothing. Tool bar choices come back at the next start; settings
  // that cannot be written are told at close, unusable ones at start.
  void settingsThroughTheWindow() {
    QVERIFY(Form_->OpenFile(Video_));
    W("Action_Cadre")->trigger();
    const TRect object = S().Record(0)->ObjectRect;
    Messages_.Answers = {TMsgButton::Yes};
    WhenShown<TFormParam>([](TFormParam* d) {
      d->EditBordure->setText(QStringLiteral("6"));
      d->cd_tolerance_auto->setChecked(true);
      d->BtOk->click();
    });
    W("Action_Parametre")->trigger();
    QVERIFY(Messages_.Asked.size() == 2 && Messages_.Asked[0].Caption == "Margin");
    QCOMPARE(S().Record(0)->FrameRect, (TRect{object.Left - 6, object.Top - 6, object.Right + 6, object.Bottom + 6}));
    QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled() && !W<QLabel>("LabTolerance")->isEnabled());
    QVERIFY(W<TParamUpDown>("UpDown1")->isEnabled());
    WhenShown<TFormParam>([](TFormParam* d) { d->reject(); });
    ParamGlob.kappa = 9;
    W("Action_Parametre")->trigger();
    QVERIFY(LireParamGlob() && ParamGlob.tolerance_automatique && ParamGlob.kappa == 3);
    W("mnu_barre_visible")->trigger();
    W("mnu_texte_icone")->trigger();
    QCOMPARE(W<QToolButton>("BtOuvrir")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    Form_->close();
    NewForm();
    QVERIFY(W<QToolBar>("ToolBar1")->isHidden() && !W("mnu_barre_visible")->isChecked() && W("mnu_texte_icone")->isChecked());
    Messages_ = TScriptedMessages{};
    SetIniPath(Local(NotAvi_) + "/stellon.ini");
    Form_->close();
    QCOMPARE(Asked(), "Error | " + IniWriteErrorText(Local(NotAvi_) + "/stellon.ini") + "\n");
    SetIniPath(Local(Path("stellon.ini")));
    QFile big(Path("stellon.ini"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.write("[cadre]\ntolerance=77\n") > 0 && big.resize(2 << 20));
    big.close();
    NewForm();
    QVERIFY(Messages_.Asked.size() == 2 && Messages_.Asked[1].Text.find(Local(Path("stellon.ini")) + ": too large") == 0);
    QCOMPARE(W<TParamUpDown>("UpDown1")->Position(), 30);
  }

  // At start: a file that cannot be opened is told and the splash is gone with the box; a Kelvaron list of the
  // command line opens and the splash (its picture decoded) is left to its timer; a sample video that cannot be
  // written is told on the status line.
  void startUp() {
    auto splash = [] {
      auto* box = new TAboutBox;
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->MakeSplash();
      box->show();
      return QPointer<TAboutBox>(box);
    };
    QPointer<TAboutBox> box = splash();
    Form_->OpenAtStart({NotAvi_}, box);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 1000);
    box = splash();
    box->Timer1->setInterval(50);
    Form_->CommandLineParams = {QStringLiteral("/kelvaron"), QLatin1Char('"') + List_ + QLatin1Char('"')};
    Form_->OpenAtStart(Form_->CommandLineParams, box);
    QVERIFY(Lines()->count() == 1 && box->isVisible() && box->Timer1->isActive());
    QCOMPARE(box->Image1->pixmap().size(), QSize(440, 260));
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
    W("Action_fermer")->trigger();
    const QByteArray cache = qgetenv("XDG_CACHE_HOME"), tmp = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(NotAvi_ + "/cache"));
    qputenv("TMPDIR", QFile::encodeName(NotAvi_ + "/tmp"));
    Form_->OpenAtStart({}, nullptr);
    qputenv("XDG_CACHE_HOME", cache);
    qputenv("TMPDIR", tmp);
    QVERIFY2(Status().startsWith("No sample video: ") && Status().contains(NotAvi_ + "/cache/stellon: Not a directory"),
             qPrintable(Status()));
  }

  // The guide opens in a window of the program, pictures included; a browser that cannot start is told.
  void helpWindow() {
    W("Action_helpwebsite")->trigger();
    auto* help = Form_->findChild<THelpWindow*>();
    QVERIFY(help && help->isVisible() && help->Browser->toPlainText().contains("Ticking the good images"));
    QVERIFY(!help->Browser->document()->resource(QTextDocument::ImageResource, QUrl("screenshots/main-window.png")).value<QImage>().isNull());
    QUrl asked;
    help->OpenUrl = [&asked](const QUrl& url) { return asked = url, false; };
    help->BtBrowser->click();
    QVERIFY(asked.toLocalFile().endsWith("guide.md") && Asked().find(Local(asked.toLocalFile())) != std::string::npos);
  }

  // The open dialog shows the name, size and date columns whole, within the view.
  void openDialogColumns() {
    QVERIFY(QDir(Dir_.path()).mkpath("captures"));
    QFile::copy(Video_, Path("captures/jupiter_2005-08-12_22h41m_toucam_pro_barlow_2x_ir_cut_seeing_3.avi"));
    std::unique_ptr<QFileDialog> dialog(MakeOpenDialog(Form_.get(), "Open", "Video File AVI (*.avi *.AVI)"));
    dialog->setDirectory(Path("captures"));
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 1);
    QTest::qWait(50);
    int used = 0;
    for (int column = 0; column < view->header()->count(); ++column) used += view->isColumnHidden(column) ? 0 : view->columnWidth(column);
    QVERIFY(used <= view->viewport()->width());
    for (int column : {0, 1, 3})
      QVERIFY(view->columnWidth(column) >= std::max(view->header()->sectionSizeHint(column),
                                                    static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column)));
  }

  void everyControlIsNamed_data() {
    QTest::addColumn<TMakeWindow>("make");
    const std::string dir = Local(Dir_.path());
    const std::pair<const char*, TMakeWindow> windows[] = {
        {"main window", [this] { auto* f = new TMainForm; return f->OpenFile(Video_), f; }},
        {"about box", [] { return new TAboutBox; }},
        {"parameters", [] { return new TFormParam; }},
        {"FITS parameters", [] { return new TFormParamFits; }},
        {"progress", [] { return new TProgressForm; }},
        {"problem report", [] { auto* r = new TFicheRapport; return r->AddRow("Image 2", "Frame out of limit"), r; }},
        {"combination report", [] { return new TFormRapport; }},
        {"help", [] { return new THelpWindow(QString()); }},
        {"result", [] {
           static const TFastDIB result = Pattern24(20, 10, 1);
           auto* w = new TShowBitmap;
           return w->Setup(&result, "v.avi", std::vector<std::string>{"x"}), w;
         }},
        {"colour adjuster", [] { return new TAdjuster; }},
        {"rotation", [] { return new TfrmRotate; }},
        {"kappa", [] { return new TParamKappa; }},
        {"batch saving", [] { return new TParamLot; }},
        {"BMP list", [dir] { return new TLoadBMPForm(dir); }},
        {"preview", [dir] { return new TBrowseImage(dir); }}};
    for (const auto& [name, make] : windows) QTest::newRow(name) << make;
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
