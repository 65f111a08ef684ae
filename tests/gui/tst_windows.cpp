// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' wiring driven as a user would (their rules are tested headless), and every control's accessible name.
#include <QtTest>
#include <QtWidgets>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/MainForm.h"
#include "app/ui/ParamLot.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/ProgressForm.h"
#include "app/ui/QtMessages.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/FolderTree.h"
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
// A control a user can reach (focusable, or a button, slider or view) outside the parts Qt builds itself.
bool IsUserControl(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QHeaderView*>(w) || w->objectName().startsWith("qt_"))
    return false;
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p)) return false;
  if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w)
    return false;
  return w->focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(w) ||
         qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QAbstractItemView*>(w);
}
std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }
TSampleOptions Sized(int frames, int width, int height, uint32_t seed = 1) {
  TSampleOptions o;
  o.Frames = frames, o.Width = width, o.Height = height, o.Seed = seed;
  return o;
}

// Runs `act` on the modal window of type T once it is up (polled: the window runs its own loop).
template <class T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible())
      timer->stop(), timer->deleteLater(), act(w);
  });
  timer->start(2);
}

// Records the progress window's captions (Cancel at CancelAt) and the problem report's caption and rows.
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
      for (int i = 0; i < report->RowCount(); ++i)
        Seen << report->ListView1->topLevelItem(i)->text(0) + " | " + report->ListView1->topLevelItem(i)->text(1);
      report->accept();
    });
    start(0);
  }
};

TParamglob Sample() {
  TParamglob p;
  p.tolerance_automatique = p.calcul_complexe = p.rejet_kappa = p.texte_avec_compositage = true;
  p.calcul_simple = p.Rapport = p.numerotation_zero = p.Bitmap = p.barre_visible = false;
  p.alignement_subpixel = p.Fits = p.barre_texte = true;
  p.tolerance = 42, p.memoire_copies_mo = 512, p.bordure = 17, p.kappa = 4, p.repertoire = "/data/saves/";
  p.FITS = {false, true, false, true, "Jupiter", "C8", "ToUCam", "Moi", "Seeing 3/5", true};
  return p;
}

void Select(QTreeWidget* list, const QString& name) {
  list->clearSelection();
  list->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
}

// Stands in for the main window: runs Job when the job event of Expected arrives.
struct TJobWindow : QWidget {
  int Expected = JobAutoFrame;
  std::function<void()> Job;
  bool event(QEvent* e) override {
    if (e->type() < JobEventType(JobBatchSave) || e->type() > JobEventType(JobKappa)) return QWidget::event(e);
    if (e->type() == JobEventType(Expected) && Job) Job();
    return true;
  }
};
}  // namespace

class TestWindows : public QObject {
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
  void NewForm(const QString& open = {}) {  // with the default settings and a margin of 4
    Form_ = std::make_unique<TMainForm>();
    Form_->show();
    ParamGlob.bordure = 4;
    if (!open.isEmpty()) QVERIFY(Form_->OpenFile(open));
  }
  std::string Asked() const {
    std::string all;
    for (const TMessageRequest& r : Messages_.Asked) all += r.Caption + " | " + r.Text + "\n";
    return all;
  }

 private slots:
  void initTestCase() {
    InitStellonResources();
    Video_ = Path("clean.avi");
    QVERIFY(WriteSampleVideo(Local(Video_), Sized(6, 160, 120, 4), nullptr));
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
    ParamSaisie = TParamglob{};
  }
  void cleanup() { Form_.reset(); }

  // Each control, key and command reaches the controller and its state shows.
  void mainWindowControls() {
    NewForm();
    QString offered;
    Form_->ChooseOpenFile = [&](const QString&, const QString& filter) { return offered = filter, Video_; };
    W("action_ouvrir")->trigger();
    QVERIFY(offered.contains("Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)") && offered.contains("(*.avi *.AVI)"));
    auto* track = W<QSlider>("TrackBar1");
    auto* panel = W<TFastIMG>("VideoPanel");
    QCOMPARE(Form_->windowTitle() + " " + Lines()->item(5)->text() + QString::number(track->maximum()) + " " +
                 Status(), QStringLiteral("Stellon v0.49c (US) - clean.avi Image 65 Pos : 1/6 - 160x120 - 24 bits"));
    QVERIFY(panel->isVisible() && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    QTest::mouseClick(W<QToolButton>("BtSuiv"), Qt::LeftButton);
    QCOMPARE(Status() + QString::number(Lines()->currentRow()), QStringLiteral("Pos : 2/6 - 160x120 - 24 bits1"));
    track->setValue(5);
    QVERIFY(S().CurrentIndex == 5 && !W<QToolButton>("BtSuiv")->isEnabled());
    Lines()->setCurrentRow(3);
    QCOMPARE(track->value(), 3);
    QTest::mouseClick(W<QToolButton>("BtPrec"), Qt::LeftButton);
    panel->setFocus();
    for (int i = 0; i < 2; ++i) QTest::keyClick(panel, Qt::Key_Right);
    QTest::keyClick(W<QWidget>("ScrollBox1"), Qt::Key_Left);
    QCOMPARE(S().CurrentIndex, 3);
    Lines()->item(5)->setCheckState(Qt::Checked);  // ticking a line makes it current
    QVERIFY(S().Record(5)->Checked && S().CurrentIndex == 5);
    W("Action_Decocher_images")->trigger();
    QCOMPARE(Ticked(), 0);
    Lines()->setFocus();
    QTest::keyClicks(Lines(), "xc");
    const TRect r = S().Record(5)->FrameRect;
    QVERIFY(S().Record(5)->HasFrame && W<QCheckBox>("Checkcadre")->isChecked() && Ticked() == 1);
    QVERIFY(panel->Bmp().GetPixel(r.Top, r.Left) == (TColorBGR{255, 255, 255}) && W<QLabel>("poscadre")->text() != "");
    W<QCheckBox>("Checkcadre")->setChecked(false);
    QVERIFY(!S().Record(5)->HasFrame && PackedBgr(panel->Bmp()) == PackedBgr(*C().CurrentImage()));
    for (const char* action : {"Action_Cadre", "Action_suppression_cadre"}) W(action)->trigger();
    QVERIFY(!S().Record(5)->HasFrame && S().Record(5)->HasFramePixels());
    for (const char* action : {"Action_Cadre", "Action_Supprimer_ts_cadre"}) W(action)->trigger();
    QVERIFY(!S().Record(5)->HasFramePixels() && !W("Action_Supprimer_ts_cadre")->isEnabled());
    W<QLineEdit>("EditTolerance1")->setText("12");
    W<TParamUpDown>("UpDown1")->Step(1);
    QCOMPARE(C().Tolerance(), 13);
    QVERIFY(W("Action_Image_Normale")->isChecked() && !W("Action_image_smFast")->isEnabled());
    for (const char* action : {"Action_Image_Ajustee", "Action_image_smBilinear"}) W(action)->trigger();
    QVERIFY(W("Action_image_smBilinear")->isChecked() && !W("Action_image_smFast")->isChecked());
    QVERIFY(panel->SizeMode() == smBilinear && panel->DrawStyle() == dsResize);
    W("Action_Image_Normale")->trigger();
    QVERIFY(panel->SizeMode() == smFast && panel->DrawStyle() == dsCenter);
    QVERIFY(WriteSampleSer(Local(Path("deep.ser")), Sized(5, 64, 48), 0, 12, nullptr));
    Open(Path("deep.ser"));
    QCOMPARE(Status(), QStringLiteral("Pos : 1/5 - 64x48 - 12 bits"));
    W("Action_fermer")->trigger();
    QVERIFY(Lines()->count() == 0 && !panel->isVisible() && Form_->windowTitle() == "Stellon v0.49c (US)");
  }

  // The mouse on the picture: a drag draws the frame, the arrow keys nudge it, in both display sizes.
  void frameDrawnWithTheMouse() {
    NewForm(Video_);
    auto* panel = W<TFastIMG>("VideoPanel");
    auto drag = [panel](QPoint from, QPoint to) {
      QTest::mousePress(panel, Qt::LeftButton, {}, from);
      QTest::mouseMove(panel, (from + to) / 2);
      QTest::mouseRelease(panel, Qt::LeftButton, {}, to);
    };
    drag(panel->PictureRect().topLeft() + QPoint(20, 10), panel->PictureRect().topLeft() + QPoint(80, 70));
    QVERIFY(S().Record(0)->FrameRect == (TRect{20, 10, 80, 70}) && Ticked() == 1);
    QCOMPARE(panel->Bmp().GetPixel(10, 20), (TColorBGR{255, 255, 255}));
    QTest::keyClick(panel, Qt::Key_Down);
    QVERIFY(S().Record(0)->FrameRect == (TRect{20, 11, 80, 71}) && S().CurrentIndex == 0);  // nudged, not stepped
    W("Action_Image_Ajustee")->trigger();
    const QRect shown = panel->PictureRect();
    const double k = double(shown.width()) / 160;
    auto at = [&](int x, int y) { return shown.topLeft() + QPoint(int(x * k + k / 2), int(y * k + k / 2)); };
    drag(at(30, 30), at(40, 34));
    QCOMPARE(S().Record(0)->FrameRect, (TRect{30, 15, 90, 75}));
  }

  // Automatic framing cancelled (report of the rest) and whole; "Tick the best images ..." ticks the share.
  void autoFramingAndTickBest() {
    NewForm(Video_);
    auto watch = std::make_unique<TWatcher>();
    watch->CancelAt = 2;
    W("Action_cadre_automatique")->trigger();
    QCOMPARE(watch->Seen.mid(0, 2).join(", "), "Auto framing(Simple), Auto framing | Error during automatic framing");
    QVERIFY(watch->Seen.size() == 3 && watch->Seen[2].endsWith(" to 6 | Not framed (stopped)"));
    QVERIFY(S().Record(0)->HasFrame && !S().Record(5)->HasFrame && Messages_.Asked.empty());
    watch = std::make_unique<TWatcher>();
    W("Action_cadre_automatique")->trigger();
    QCOMPARE(Asked() + std::to_string(Ticked()), "Automatic frames | No problem occured when building all frame\n6");
    WhenShown<QDialog>([](QDialog* d) { d->findChild<QSpinBox*>("SpinPourcentage")->setValue(50), d->accept(); });
    W("Action_meilleures_images")->trigger();
    QVERIFY(Ticked() == 3 && W<QLabel>("StatusQuality")->text().startsWith(QStringLiteral("Quality ")));
  }

  // Mean and kappa-sigma results saved from their windows equal stellon-cli stack byte for byte.
  void combineEqualsTheCommandLine() {
    NewForm();
    ParamGlob.kappa = 2;
    ParamGlob.Rapport = false;
    QVERIFY(EcrireParamGlob().ok() && Form_->OpenFile(Video_));
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
    W<QToolButton>("BtKappa")->click();
    QCOMPARE(seen.join(", "), "Result : Combinaison by mean (6images), 2, Result : Combinaison Kappa-Sigma (6images)");
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

  // "Save image" and "Batch saving ..." through its dialog: BMP, and FITS with this batch's FITS parameters only.
  void savingCommands_data() {
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QString>("files");
    QTest::newRow("BMP") << false << "Jup0003.bmp Jup0004.bmp Jup0005.bmp Jup0006.bmp Jup0007.bmp Jup0008.bmp";
    QTest::newRow("FITS") << true << "18 JupV0004.fit";
  }
  void savingCommands() {
    QFETCH(bool, fits);
    QFETCH(QString, files);
    for (const char* dir : {"single", "lot"}) QVERIFY(QDir(Path(dir)).removeRecursively() && QDir().mkpath(Path(dir)));
    NewForm(Video_);
    C().SaveDirectory = Local(Path("single"));
    int beeps = 0;
    C().Beep = [&] { ++beeps; };
    W("Action_enregistrer")->trigger();
    W<QToolButton>("BtEnregistrer")->click();
    QCOMPARE(QDir(Path("single")).entryList(QDir::Files), QStringList({"Temp0001.bmp", "Temp0002.bmp"}));
    QCOMPARE(W<QLabel>("label_sequence")->text() + QString::number(beeps), QStringLiteral("00032"));
    ParamGlob.Bitmap = !(ParamGlob.Fits = fits);
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
    QCOMPARE(seen + watch.Seen, QStringList({"Batch saving", "Temp", "3", "0", "1", "Choose a directy for saving files",
                                             "Batch saving"}));
    const QStringList out = QDir(Path("lot")).entryList(QDir::Files);
    QCOMPARE(fits ? QString::number(out.size()) + (out.contains("JupV0004.fit") ? " JupV0004.fit" : "") : out.join(' '),
             files);
    QVERIFY(!ParamGlob.FITS.SepRVB && Messages_.Asked.empty() && S().CurrentIndex == 5);  // left on the last image
  }

  // The BMP list dialog and a Kelvaron list open their sequences; a dropped video or list opens, a BMP does not.
  void listCommandsAndDrop() {
    NewForm();
    ParamGlob.repertoire = Local(Path("pics"));
    WhenShown<TLoadBMPForm>([](TLoadBMPForm* d) { d->FinishListing(), d->Btn_AjAll->click(), d->BtnOK->click(); });
    W("Action_Ouvrir_Bmp")->trigger();
    QCOMPARE(Form_->windowTitle() + " " + Lines()->item(0)->text() + QString::number(C().CurrentImage()->Width()),
             QStringLiteral("Stellon v0.49c (US) - Séquence fichier BMP 1 - one.bmp8"));
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
    QCOMPARE(QString("%1 %2 %3").arg(drag(Path("pics/one.bmp"))).arg(drag(Video_)).arg(drag(List_)), "-1 6 1");
  }

  // The Parameters dialog reaches the controller; tool bar choices persist; an unwritable INI is told at close.
  void settingsThroughTheWindow() {
    NewForm(Video_);
    W("Action_Cadre")->trigger();
    const TRect object = S().Record(0)->ObjectRect;
    Messages_.Answers = {TMsgButton::Yes};
    WhenShown<TFormParam>([](TFormParam* d) {
      d->EditBordure->setText(QStringLiteral("6"));
      d->cd_tolerance_auto->setChecked(true);
      d->BtOk->click();
    });
    W("Action_Parametre")->trigger();
    QCOMPARE(S().Record(0)->FrameRect, (TRect{object.Left - 6, object.Top - 6, object.Right + 6, object.Bottom + 6}));
    QVERIFY(!W<QLineEdit>("EditTolerance1")->isEnabled() && !W<QLabel>("LabTolerance")->isEnabled());
    QVERIFY(W<TParamUpDown>("UpDown1")->isEnabled());  // the arrows keep their own command
    WhenShown<TFormParam>([](TFormParam* d) { d->reject(); });
    ParamGlob.kappa = 9;
    W("Action_Parametre")->trigger();
    QVERIFY(LireParamGlob() && ParamGlob.tolerance_automatique && ParamGlob.kappa == 3);
    for (const char* action : {"mnu_barre_visible", "mnu_texte_icone"}) W(action)->trigger();
    QCOMPARE(W<QToolButton>("BtOuvrir")->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    Form_->close();
    NewForm();
    QVERIFY(W<QToolBar>("ToolBar1")->isHidden() && !W("mnu_barre_visible")->isChecked() &&
            W("mnu_texte_icone")->isChecked());
    Messages_ = TScriptedMessages{};
    SetIniPath(Local(NotAvi_) + "/stellon.ini");
    Form_->close();
    QCOMPARE(Asked(), "Error | " + IniWriteErrorText(Local(NotAvi_) + "/stellon.ini") + "\n");
  }

  // At start a bad file is told (splash gone with the box); a command-line Kelvaron list opens, splash timed.
  void startUp() {
    NewForm();
    auto splash = [] {
      auto* box = new TAboutBox;
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->MakeSplash();
      box->show();
      box->Timer1->setInterval(50);
      return QPointer<TAboutBox>(box);
    };
    QPointer<TAboutBox> box = splash();
    Form_->OpenAtStart({NotAvi_}, box);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 1000);
    box = splash();
    Form_->CommandLineParams = {QStringLiteral("/kelvaron"), QLatin1Char('"') + List_ + QLatin1Char('"')};
    Form_->OpenAtStart(Form_->CommandLineParams, box);
    QVERIFY(Lines()->count() == 1 && box->isVisible() && box->Timer1->isActive());
    QCOMPARE(box->Image1->pixmap().size(), QSize(440, 260));
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
  }

  // OK stores what the controls show (filled from the settings), the tool bar's fields excepted; Cancel nothing.
  void parametersRoundTrip() {
    ParamGlob = Sample();
    TFormParam(nullptr).BtOk->click();
    TParamglob expected = Sample();
    expected.barre_visible = !(expected.barre_texte = false);
    QVERIFY(ParamSaisie == expected);
    TFormParam f;
    f.EditBordure->setText("25");
    f.Edit_Tolerance->setText("300");  // outside 0..255, and empty below: the spin's position stays
    f.Edit_kappa->setText("");
    f.SpinMemoire->setValue(-5);  // below the lowest position: automatic
    auto state = [](TFormParam& d) {  // tolerance edit, its label and arrows, FITS button
      return QString("%1%2%3%4 ").arg(d.Edit_Tolerance->isEnabled()).arg(d.Label4->isEnabled())
          .arg(d.UpDownTolerance->isEnabled()).arg(d.BtnParamFits->isEnabled());
    };
    QString seen = state(f);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             f.Radio_BMP, f.Radio_FITS, f.cd_tolerance_auto, f.cdauto_rapport, f.Radio_CalculSimple,
             f.CheckBox_kappamoyenne, f.CheckBox_texte_compositage, f.CheckBox_subpixel, f.CheckBox_Numerotation,
             f.Radio_BMP})
      b->click(), seen += state(f);
    QCOMPARE(seen, "0011 0010 0011 " + QString("1111 ").repeated(7) + "1110 ");
    f.rep_sauve->setText("  typed dir");
    f.BtOk->click();
    expected.bordure = 25;
    expected.memoire_copies_mo = kMemoireAuto;
    expected.tolerance_automatique = expected.calcul_complexe = expected.rejet_kappa = false;
    expected.texte_avec_compositage = expected.alignement_subpixel = expected.Fits = false;
    expected.Rapport = expected.calcul_simple = expected.numerotation_zero = expected.Bitmap = true;
    expected.repertoire = "  typed dir";
    QVERIFY(ParamSaisie == expected);
    TFormParam surface;  // surface framing keeps the simple/complex choice of the settings
    surface.Radio_CalculSurface->click();
    surface.BtOk->click();
    QVERIFY(ParamSaisie.cadrage_surface && ParamSaisie.calcul_complexe && !ParamSaisie.calcul_simple);
    TFormParam cancelled;
    cancelled.EditBordure->setText("99");
    cancelled.BtCancel->click();
    QVERIFY(ParamSaisie.bordure == 17 && ParamGlob == Sample());
    ParamGlob = TParamglob{};
    TFormParam fromDefaults;
    QCOMPARE(state(fromDefaults), "1110 ");
  }

  // The number edits take digits and the keys that type no character; the arrows step from the typed number.
  void numberEditsAndSpins() {
    ParamGlob = Sample();
    ParamGlob.kappa = 9;
    TFormParam f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.EditBordure->setFocus();
    f.EditBordure->clear();
    QTest::keyClicks(f.EditBordure, "1a-2 .x");
    QKeyEvent arabicThree(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x0663)));  // not ours
    QApplication::sendEvent(f.EditBordure, &arabicThree);
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Backspace, Qt::Key_Right, Qt::Key_5}) QTest::keyClick(f.EditBordure, key);
    QCOMPARE(f.EditBordure->text(), QStringLiteral("25"));
    QStringList steps;
    for (const auto& act : std::initializer_list<std::function<void()>>{
             [&] { f.UpDownKappa->UpButton->click(); }, [&] { f.UpDownKappa->UpButton->click(); },  // no wrapping
             [&] { f.Edit_kappa->setText("3"), f.UpDownKappa->DownButton->click(); },
             [&] { f.Edit_kappa->setFocus(), QTest::keyClick(f.Edit_kappa, Qt::Key_Up); },
             [&] { f.Edit_kappa->setText("x"), f.UpDownKappa->UpButton->click(); }})  // not a number: from the position
      act(), steps << f.Edit_kappa->text();
    QCOMPARE(steps, QStringList({"10", "10", "2", "3", "4"}));
  }

  // The FITS dialog edits the copy, taken back on OK only; the browser fills the directory.
  void fitsParametersAndBrowse() {
    ParamGlob = Sample();
    TFormParam f;
    WhenShown<TFormParamFits>([](TFormParamFits* d) { d->Edit_Objet->setText("Saturn"), d->BtnAnnuler->click(); });
    f.BtnParamFits->click();
    QVERIFY(f.FitsParams == ParamGlob.FITS);
    WhenShown<TFormParamFits>([](TFormParamFits* d) {
      d->Radio_8bits->click();
      d->Check_PleineProfondeur->click();
      d->Edit_Objet->setText("Lune");
      d->BtnOK->click();
    });
    f.BtnParamFits->click();
    QVERIFY((f.FitsParams == TParamFITS{true, false, false, true, "Lune", "C8", "ToUCam", "Moi", "Seeing 3/5", false}));
    QString start;
    f.BrowseDirectory = [&](const QString& s) { return start = s, QStringLiteral("/mnt/astro"); };
    f.BitBtn1->click();
    f.BrowseDirectory = [](const QString&) { return QString(); };  // cancelled: kept
    f.BitBtn1->click();
    QCOMPARE(start + f.rep_sauve->text(), QStringLiteral("/data/saves//mnt/astro"));
  }

  // The result window's commands reach the picture through its tools, the report and saving.
  void resultWindow() {
    TFastDIB result = Pattern24(320, 240, 7);
    const std::vector<std::string> report{"Result combinaison by mean", "", "Image1"};
    TShowBitmap w;
    w.setWindowTitle("Result : Combinaison by mean (1image)");
    w.Setup(&result, "/v/jupiter.avi", report);
    w.Action_Agrandissement->trigger();
    QCOMPARE(w.VideoPanel->geometry(), QRect(10, 10, 640, 480));
    QVERIFY(w.Action_Agrandissement->isChecked() && !w.Action_Taille_normale->isChecked());
    QStringList seen;
    w.ShowModal = [&](QDialog& d) {
      d.show();
      if (auto* r = qobject_cast<TfrmRotate*>(&d)) {
        seen << r->Label_degre->text();
        r->btnSize->click();
        r->sAmount->setValue(900);
        seen << r->eWidth->text() + QString::number(r->eWidth->isEnabled()) + r->Label_degre->text();
      } else if (auto* a = qobject_cast<TAdjuster*>(&d)) {
        a->Lock->click();
        a->rContrast->setValue(40);
        seen << QString::number(a->bContrast->value()) + QString::number(int(a->LastPath()));
      } else if (auto* rep = qobject_cast<TFormRapport*>(&d)) {
        seen << rep->windowTitle() << QString::number(rep->Lines() == report);
      }
      d.close();
    };
    w.Action_rotation->trigger();
    QCOMPARE(w.VideoPanel->Bmp().Width(), 240);
    w.Action_Taille_normale->trigger();
    QCOMPARE(w.VideoPanel->size(), QSize(320, 240));  // the result's size, whatever the tools did
    w.Action_ajuste_couleur->trigger();
    w.Action_Annuler->trigger();
    QVERIFY(PackedBgr(w.VideoPanel->Bmp()) == PackedBgr(result));
    w.BtRapport->click();
    QCOMPARE(seen, QStringList({"0 ° ", "2400" "90 ° ", "40" + QString::number(int(TAdjustPath::Lut)),
                                "Report :Result : Combinaison by mean (1image)", "1"}));
    TTempDir dir;  // saving: the proposed name; the FITS dialog cancelled: only the report's text is written
    w.SaveSettings.texte_avec_compositage = true;
    QString proposed;
    w.ChooseSaveFile = [&](const QString& name, bool) {
      return proposed = name, QString::fromStdString(dir.File("j.fit"));
    };
    w.FitsParameters = [](const TParamFITS&) { return std::optional<TParamFITS>(); };
    w.BtEnregistre->click();
    QVERIFY(proposed == "jupiter" && !QFile::exists(QString::fromStdString(dir.File("j.fit"))));
    QCOMPARE(ReadFileBytes(dir.File("j.txt")), std::string("Result combinaison by mean\n\nImage1\n"));
    TShowBitmap empty;  // without image and report
    empty.Setup(nullptr, "x.avi", std::nullopt);
    QVERIFY(!empty.BtEnregistre->isEnabled() && !empty.Action_Enregistre->isEnabled() && !empty.BtRapport->isEnabled());
    TParamKappa kappa;  // its edit takes digits and drives the spin
    kappa.Edit_k->selectAll();
    QTest::keyClicks(kappa.Edit_k, "a7-");
    QCOMPARE(kappa.UpDown1->value(), 7);
  }

  // The BMP list dialog and the preview window map their controls to their models.
  void listAndPreviewWindows() {
    TTempDir dir;
    TFastDIB picture = Pattern24(16, 8, 1);
    QVERIFY(picture.SaveToFile(dir.File("first.bmp")).ok());
    picture.SetSize(4, 2, 24, 0);
    QVERIFY(picture.SaveToFile(dir.File("second.BMP")).ok());
    WriteFileBytes(dir.File("bad.bmp"), "x");
    TLoadBMPForm form(dir.Path());
    form.FinishListing();
    Select(form.ListView1, "first.bmp");
    QVERIFY(form.ListView1->topLevelItemCount() == 3 && form.Btn_Ajoute->isEnabled() &&
            form.FastIMG1->Bmp().Width() == 16);  // previewed
    form.Btn_Ajoute->click();
    QVERIFY(!form.Btn_Ajoute->isEnabled() && form.ListView1->selectedItems().isEmpty());
    form.Btn_AjAll->click();
    QCOMPARE(form.ListView2->topLevelItemCount(), 2);
    QStringList line;
    for (int c = 0; c < form.ListView2->columnCount(); ++c) line << form.ListView2->topLevelItem(0)->text(c);
    QCOMPARE(line, QStringList({"first.bmp", "0 Ko", form.Model.SelectedList->Objects(0)->Date.c_str(), "16M", "16x8",
                                QString::fromStdString(dir.Path())}));
    form.Btn_Vider->click();
    form.dfsSystemTreeView1->setCurrentItem(form.dfsSystemTreeView1->topLevelItem(0));  // not a folder
    QCOMPARE(QString("%1 %2 %3").arg(form.LabelRepertoire->text()).arg(form.ListView1->topLevelItemCount())
                 .arg(form.ListView2->topLevelItemCount()), QStringLiteral("[Computer] 3 0"));
    TBrowseImage b(dir.Path());
    b.FinishListing();
    QVERIFY(b.popup_centrer->isChecked() && !b.popup_ajustee->isChecked());
    Select(b.ListView1, "first.bmp");
    QCOMPARE(b.FastIMG1->size(), QSize(16, 8));
    b.popup_ajustee->trigger();
    Select(b.ListView1, "second.BMP");
    QVERIFY(b.FastIMG1->Bmp().Width() == 4 && b.FastIMG1->DrawStyle() == dsResize && !b.popup_centrer->isChecked());
    b.popup_centrer->trigger();
    QCOMPARE(b.FastIMG1->size(), QSize(4, 2));
  }

  // Cancel, Escape and close stop a job at its next step; the next starts afresh; a failure is told; any job ends.
  void progressWindow_data() {
    QTest::addColumn<int>("how");
    int i = 0;
    for (const char* how : {"Cancel button", "Escape key", "window manager close"}) QTest::newRow(how) << i++;
  }
  void progressWindow() {
    QFETCH(int, how);
    TJobWindow w;
    std::vector<int> positions;
    const auto job = [&](int steps, int stopAt) {
      return [&, steps, stopAt] {
        RunJob("Test job", [&] {
          for (int i = 0; i < steps && !CancelRequested; ++i) {
            if (i == stopAt && how == 0) QTimer::singleShot(0, ProgressForm->BitBtn1, &QPushButton::click);
            if (i == stopAt && how == 1)
              QCoreApplication::postEvent(ProgressForm, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
            if (i == stopAt && how == 2) QTimer::singleShot(0, ProgressForm, [] { ProgressForm->close(); });
            JobStep(i + 1);
            const bool shown = ProgressForm->isVisible() && QApplication::activeModalWidget() == ProgressForm;
            positions.push_back(shown ? ProgressForm->ProgressBar1->value() : -1);
          }
        });
      };
    };
    w.Job = job(20, 4);
    QCOMPARE(RunWithProgress(&w, "Auto framing(Complex)", 20, JobAutoFrame), ProgressResultOk);
    QVERIFY(CancelRequested && !ProgressForm);
    w.Job = job(3, -1);
    RunWithProgress(&w, "Auto framing(Complex)", 3, JobAutoFrame);
    QVERIFY(positions == std::vector<int>({1, 2, 3, 4, 5, 1, 2, 3}) && !CancelRequested && !ProgressForm);
    w.Job = [] { RunJob("Batch saving", [] { throw std::runtime_error("Cannot write /out/T0001.bmp: disk full"); }); };
    QCOMPARE(RunWithProgress(&w, "Batch saving", 5, JobAutoFrame), ProgressResultOk);
    QCOMPARE(Asked(), std::string("Batch saving | Cannot write /out/T0001.bmp: disk full\n"));
    w.Job = [] { JobStep(1); };  // a job that never ends its window, and one nobody handles
    QCOMPARE(RunWithProgress(&w, "Combinaison by mean", 10, JobAutoFrame), ProgressResultOk);
    QCOMPARE(RunWithProgress(&w, "Combinaison by mean", 10, JobMean), ProgressResultOk);
  }

  // Qt message boxes: caption, icon, untranslated words; Escape only with Cancel, Enter the first; closed: None.
  void messageBoxes_data() {
    QTest::addColumn<int>("kind");  // 0 Ok, 1 YesNo, 2 YesNoAbortAll, 3 OK/Cancel, 4 no button asked
    QTest::addColumn<QString>("press");
    QTest::addColumn<QString>("seen");  // caption, icon, words left to right, whether the box stayed after each press
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << 0 << "OK" << "Information 1 OK 0" << int(TMsgButton::OK);
    QTest::newRow("Escape, close, No") << 1 << "Escape close No" << "Warning 3 Yes No 110" << int(TMsgButton::No);
    QTest::newRow("All") << 2 << "All" << "Warning 3 Yes No Abort All 0" << int(TMsgButton::All);
    QTest::newRow("Enter") << 2 << "Return" << "Warning 3 Yes No Abort All 0" << int(TMsgButton::Yes);
    QTest::newRow("Escape") << 3 << "Escape" << "Batch 2 OK Cancel 0" << int(TMsgButton::Cancel);
    QTest::newRow("closed by the program") << 1 << "reject" << "Warning 3 Yes No 0" << int(TMsgButton::None);
    QTest::newRow("no button") << 4 << "OK" << "Q 0 OK 0" << int(TMsgButton::OK);
  }
  void messageBoxes() {
    QFETCH(int, kind);
    QFETCH(QString, press);
    QFETCH(QString, seen);
    QFETCH(int, answer);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    TMessages* scripted = InstallQtMessages();
    TMessages& qt = Messages();
    SetMessages(scripted);
    QString shown, text;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      QList<QAbstractButton*> buttons = box->buttons();
      std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
      });
      shown = box->windowTitle() + ' ' + QString::number(int(box->icon()));
      for (QAbstractButton* b : buttons) shown += ' ' + b->text();
      shown += ' ';
      text = box->text();
      for (const QString& p : press.split(' ')) {
        if (p == "Escape" || p == "Return") QTest::keyClick(box, p == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
        if (p == "reject" || p == "close") p == "close" ? void(box->close()) : box->reject();
        for (QAbstractButton* b : buttons)
          if (b->text() == p) b->click();
        shown += QString::number(box->isVisible());
      }
    });
    const std::string asked = "File/tmp/a<b>&c.bmp allready existe.\rOverwrite this file ?";
    const TMsgButton Cancel = TMsgButton::Cancel;
    const TMsgButton got = kind == 0   ? qt.Ok("Information", asked, TMsgIcon::Information)
                           : kind == 1 ? qt.YesNo("Warning", asked, TMsgIcon::Error)
                           : kind == 2 ? qt.YesNoAbortAll("Warning", asked)
                           : kind == 3 ? qt.Show({"Batch", asked, TMsgIcon::Warning, {TMsgButton::OK, Cancel}})
                                       : qt.Show({"Q", asked, TMsgIcon::None, {}});
    QCOMPARE(shown, seen);
    QCOMPARE(text, QStringLiteral("File/tmp/a<b>&c.bmp allready existe.\nOverwrite this file ?"));
    QCOMPARE(int(got), answer);
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
    QStringList missing;
    const QList<QWidget*> all = window->findChildren<QWidget*>() << window.get();
    for (QWidget* w : all)
      if (IsUserControl(w) && w->accessibleName().isEmpty())
        missing << w->metaObject()->className() + (' ' + w->objectName());
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
