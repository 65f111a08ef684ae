// SPDX-License-Identifier: GPL-3.0-or-later
// The windows besides the main window, as windows (their rules are tested
// headless in tests/tools and tests/browse): the Parameters dialogs' round trip
// and enabling, the result window and its tools, the list and preview windows,
// the report windows, the progress window's job loop and the Qt message boxes.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>

#include "WhenShown.h"
#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/JpegImage.h"
#include "app/ui/ParamUpDown.h"
#include "app/ui/ProgressForm.h"
#include "app/ui/QtMessages.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/FolderTree.h"
#include "browse/ui/LoadBMPForm.h"
#include "combine/ui/FicheRapport.h"
#include "combine/ui/FormRapport.h"
#include "image/ui/FastIMG.h"
#include "support/VideoFixtures.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/Rotate.h"
#include "tools/ui/ShowBitmap.h"

using namespace fixtures;

namespace {
TParamglob Sample() {
  TParamglob p;
  p.tolerance = 42;
  p.tolerance_automatique = p.calcul_complexe = p.rejet_kappa = p.texte_avec_compositage = true;
  p.calcul_simple = p.Rapport = p.numerotation_zero = p.Bitmap = p.barre_visible = false;
  p.alignement_subpixel = p.Fits = p.barre_texte = true;
  p.bordure = 17;
  p.kappa = 4;
  p.repertoire = "/data/saves/";
  p.FITS = {false, true, false, true, "Jupiter", "C8", "ToUCam", "Moi", "Seeing 3/5", true};
  return p;
}

int RowOf(const QTreeWidget* list, const QString& name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == name) return i;
  return -1;
}

// Stands in for the main window: runs Job when the job event of Expected arrives.
class TJobWindow : public QWidget {
 public:
  int Expected = JobAutoFrame;
  std::function<void()> Job;
  bool ModalWhileRunning = false;

 protected:
  bool event(QEvent* e) override {
    if (e->type() < JobEventType(JobBatchSave) || e->type() > JobEventType(JobKappa)) return QWidget::event(e);
    ModalWhileRunning = ProgressForm && QApplication::activeModalWidget() == ProgressForm && ProgressForm->Started();
    if (e->type() == JobEventType(Expected) && Job) Job();
    return true;
  }
};

// A job of `steps` steps; `during(i)` runs inside step i; the bar's position after each step (-1: window hidden).
std::function<void()> CountingJob(int steps, std::vector<int>& positions, std::function<void(int)> during = {}) {
  return [steps, &positions, during] {
    RunJob("Test job", [&] {
      for (int i = 0; i < steps && !CancelRequested; ++i) {
        if (during) during(i);
        JobStep(i + 1);
        positions.push_back(ProgressForm->isVisible() ? ProgressForm->ProgressBar1->value() : -1);
      }
    });
  };
}
}  // namespace

class TestWindows : public QObject {
  Q_OBJECT
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;

 private slots:
  void initTestCase() {
    InitStellonResources();
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));  // the box words must not follow it
    InstallQtMessages();
    QVERIFY(dynamic_cast<TQtMessages*>(&Messages()));
  }
  void init() {
    ParamGlob = Sample();
    ParamSaisie = TParamglob{};
    Messages_ = TScriptedMessages{};
    if (QTest::currentTestFunction() != QLatin1String("messageBoxes")) Scope_ = std::make_unique<TMessagesScope>(Messages_);
  }
  void cleanup() { Scope_.reset(); }

  // OK stores what the controls show (filled from the settings), the tool bar's fields excepted; Cancel nothing.
  void parametersRoundTrip() {
    TFormParam(nullptr).BtOk->click();
    TParamglob expected = Sample();
    expected.barre_visible = true;
    expected.barre_texte = false;
    QVERIFY(ParamSaisie == expected);
    TFormParam f;
    f.EditBordure->setText("25");
    f.Edit_Tolerance->setText("300");  // outside 0..255, and empty below: the spin's position stays
    f.Edit_kappa->setText("");
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             f.cd_tolerance_auto, f.cdauto_rapport, f.Radio_CalculSimple, f.CheckBox_kappamoyenne,
             f.CheckBox_texte_compositage, f.CheckBox_subpixel, f.CheckBox_Numerotation, f.Radio_BMP})
      b->click();
    f.rep_sauve->setText("  typed dir");
    f.BtOk->click();
    expected.bordure = 25;
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
    QVERIFY(ParamSaisie.cadrage_surface && ParamSaisie.bordure == 17 && ParamGlob == Sample());
    // Settings no dialog could write show one choice of each pair and the bound.
    ParamGlob.calcul_complexe = false;
    ParamGlob.Bitmap = true;
    ParamGlob.tolerance = 300;
    TFormParam odd;
    QVERIFY(odd.Radio_CalculSimple->isChecked() && odd.Radio_FITS->isChecked());
    QCOMPARE(odd.Edit_Tolerance->text(), QStringLiteral("255"));
  }

  // Tolerance edit and label, tolerance arrows, FITS button: at creation and after each click.
  void parametersEnabling() {
    auto state = [](TFormParam& f) {
      return QString::number(f.Edit_Tolerance->isEnabled()) + QString::number(f.Label4->isEnabled()) +
             QString::number(f.UpDownTolerance->isEnabled()) + QString::number(f.BtnParamFits->isEnabled());
    };
    TFormParam fromSample;
    ParamGlob = TParamglob{};
    TFormParam f;
    QStringList seen{state(fromSample), state(f)};
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{f.cd_tolerance_auto, f.Radio_FITS,
                                                                      f.cd_tolerance_auto, f.Radio_BMP}) {
      b->click();
      seen << state(f);
    }
    QCOMPARE(seen, QStringList({"0011", "1110", "0010", "0011", "1111", "1110"}));
  }

  // The number edits take digits and keys that type nothing; the arrows step from the typed number.
  void numberEditsAndSpins() {
    ParamGlob.kappa = 9;
    TFormParam f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.EditBordure->clear();
    f.EditBordure->setFocus();
    QTest::keyClicks(f.EditBordure, "1a-2 .x");
    QCOMPARE(f.EditBordure->text(), QStringLiteral("12"));
    const struct {
      int Key;
      const char* Text;
      bool Ctrl, Passes;
    } keys[] = {{Qt::Key_Tab, "\t", false, true},      {Qt::Key_Backspace, "\b", false, true},
                {Qt::Key_Delete, "\x7f", false, true}, {Qt::Key_Right, "", false, true},
                {Qt::Key_V, "\x16", true, true},       {Qt::Key_0, "0", false, true},
                {Qt::Key_Minus, "-", false, false},    {Qt::Key_Space, " ", false, false},
                {Qt::Key_unknown, "\u0663", false, false}, {Qt::Key_A, "A", false, false}};
    for (const auto& k : keys) {
      QKeyEvent e(QEvent::KeyPress, k.Key, k.Ctrl ? Qt::ControlModifier : Qt::NoModifier, QString::fromUtf8(k.Text));
      QVERIFY2(IsNumberEditKey(e) == k.Passes, k.Text);
    }
    QStringList steps;
    auto step = [&](auto act) {
      act();
      steps << f.Edit_kappa->text();
    };
    step([&] { f.UpDownKappa->UpButton->click(); });
    step([&] { f.UpDownKappa->UpButton->click(); });  // no wrapping past 10
    step([&] { f.Edit_kappa->setText("3"), f.UpDownKappa->DownButton->click(); });
    step([&] { f.Edit_kappa->setFocus(), QTest::keyClick(f.Edit_kappa, Qt::Key_Up); });
    step([&] { f.Edit_kappa->setText("x"), f.UpDownKappa->UpButton->click(); });  // not a number: from the position
    QCOMPARE(steps, QStringList({"10", "10", "2", "3", "4"}));
  }

  // The FITS dialog edits the Parameters dialog's copy, taken back on OK only; the browser fills the directory.
  void fitsParametersAndBrowse() {
    TFormParam f;
    WhenShown<TFormParamFits>([](TFormParamFits* d) {
      d->Edit_Objet->setText("Saturn");
      d->BtnAnnuler->click();
    });
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
    QStringList menu;
    for (QAction* a : w.PopupMenu1->actions()) menu << (a->isSeparator() ? "-" : a->objectName());
    QCOMPARE(menu.join(' '), QStringLiteral("Action_Taille_normale Action_Agrandissement - Action_rotation "
                                            "Action_ajuste_couleur - Action_Enregistre Action_Annuler Action_Rapport"));
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
    // Saving: the proposed name, the FITS dialog cancelled: only the report's text is written.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "stellon_tst_windows";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    w.SaveSettings.texte_avec_compositage = true;
    QString proposed;
    w.ChooseSaveFile = [&](const QString& proposal, bool) {
      return proposed = proposal, QString::fromStdString((dir / "jup.fit").string());
    };
    w.FitsParameters = [](const TParamFITS&) { return std::optional<TParamFITS>(); };
    w.BtEnregistre->click();
    QCOMPARE(proposed, QStringLiteral("jupiter"));
    QVERIFY(!std::filesystem::exists(dir / "jup.fit"));
    QCOMPARE(ReadFileBytes((dir / "jup.txt").string()), std::string("Result combinaison by mean\n\nImage1\n"));
    std::filesystem::remove_all(dir);
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
    const QString path = QString::fromStdString(dir.Path());
    TLoadBMPForm form(dir.Path());
    form.FinishListing();
    QCOMPARE(form.ListView1->topLevelItemCount(), 3);
    QVERIFY(form.Btn_AjAll->isEnabled() && !form.Btn_Ajoute->isEnabled());
    form.ListView1->topLevelItem(RowOf(form.ListView1, "first.bmp"))->setSelected(true);
    QVERIFY(form.Btn_Ajoute->isEnabled());
    QCOMPARE(form.FastIMG1->Bmp().Width(), 16);  // previewed
    form.Btn_Ajoute->click();
    QVERIFY(!form.Btn_Ajoute->isEnabled() && form.ListView1->selectedItems().isEmpty());
    form.Btn_AjAll->click();
    QCOMPARE(form.ListView2->topLevelItemCount(), 2);
    QStringList line;
    for (int c = 0; c < form.ListView2->columnCount(); ++c) line << form.ListView2->topLevelItem(0)->text(c);
    QCOMPARE(line, QStringList({"first.bmp", "0 Ko", form.Model.SelectedList->Objects(0)->Date.c_str(), "16M", "16x8", path}));
    form.Btn_Vider->click();
    QCOMPARE(form.ListView2->topLevelItemCount(), 0);
    form.dfsSystemTreeView1->setCurrentItem(form.dfsSystemTreeView1->topLevelItem(0));  // not a folder
    QCOMPARE(form.LabelRepertoire->text() + QString::number(form.ListView1->topLevelItemCount()),
             QStringLiteral("[Computer]3"));

    TBrowseImage b(dir.Path());
    b.FinishListing();
    QVERIFY(b.popup_centrer->isChecked() && !b.popup_ajustee->isChecked());
    b.ListView1->topLevelItem(RowOf(b.ListView1, "first.bmp"))->setSelected(true);
    QCOMPARE(b.FastIMG1->size(), QSize(16, 8));
    b.popup_ajustee->trigger();
    b.ListView1->clearSelection();
    b.ListView1->topLevelItem(RowOf(b.ListView1, "second.BMP"))->setSelected(true);
    QVERIFY(b.FastIMG1->Bmp().Width() == 4 && b.FastIMG1->DrawStyle() == dsResize && !b.popup_centrer->isChecked());
    b.popup_centrer->trigger();
    QCOMPARE(b.FastIMG1->size(), QSize(4, 2));
  }

  // The problem report's detail button and heights; the text report's lines and its OK kept at the right.
  void reportWindows() {
    TFicheRapport r;
    r.SetupReport(QStringLiteral("Auto framing"), QStringLiteral("Error during automatic framing"));
    QVERIFY(r.btDetail->isHidden() && r.height() == TFicheRapport::kShortHeight);
    r.AddRows(MakeProblemRows({{1, TFrameProblemKind::NotFound}, {4, TFrameProblemKind::OutOfLimit}}));
    r.SetupReport(QString::fromUtf8(kRebuildReportCaption), QString::fromUtf8(kRebuildReportText));
    QStringList seen;
    for (int i = 0; i < r.RowCount(); ++i)
      seen << r.ListView1->topLevelItem(i)->text(0) + " | " + r.ListView1->topLevelItem(i)->text(1);
    for (int i = 0; i < 3; ++i, r.btDetail->click())
      seen << r.btDetail->text() + QString::number(r.height()) + QString::number(r.DetailShown);
    QCOMPARE(seen, QStringList({"Image 2 | Impossible to draw frame", "Image 5 | Frame out of limit",
                                "<<< Detail2781", "Detail >>>1010", "<<< Detail2781"}));
    QVERIFY(r.ListView1->geometry().top() >= TFicheRapport::kShortHeight &&
            r.ListView1->geometry().bottom() < TFicheRapport::kFullHeight);
    TFormRapport f;
    const std::vector<std::string> lines{"Result combinaison by mean", "", "Image2"};
    f.SetLines({"old line"});
    f.SetLines(lines);
    QVERIFY(f.Lines() == lines);
    f.show();
    f.resize(500, 400);
    QCoreApplication::processEvents();
    QCOMPARE(f.BtOK->x(), 500 - 5 - f.BtOK->width());
    QVERIFY(f.Panel1->y() + f.Panel1->height() == 400 && f.Memo1->geometry().bottom() < f.Panel1->y());
  }

  // A job runs inside the progress window's modal loop to its end; the bar stays within its range.
  void jobRunsInsideTheProgressWindow() {
    TJobWindow w;
    std::vector<int> positions;
    w.Expected = JobMean;
    w.Job = CountingJob(4, positions);
    CancelRequested = true;  // left from an earlier job: cleared on start
    QCOMPARE(RunWithProgress(&w, "Combinaison by mean", 4, JobMean), ProgressResultOk);
    QCOMPARE(positions, (std::vector<int>{1, 2, 3, 4}));
    QVERIFY(w.ModalWhileRunning && !CancelRequested && !ProgressForm);
    // A failing job is told with its caption and closes its window.
    w.Expected = JobBatchSave;
    w.Job = [] { RunJob("Batch saving", [] { throw std::runtime_error("Cannot write /out/T0001.bmp: disk full"); }); };
    QCOMPARE(RunWithProgress(&w, "Batch saving", 5, JobBatchSave), ProgressResultOk);
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Caption + "|" + Messages_.Asked[0].Text, std::string("Batch saving|Cannot write /out/T0001.bmp: disk full"));
    QVERIFY(!ProgressForm);
    // A job nobody handles, or one that never ends its window, still ends.
    w.Expected = JobKappa;
    QCOMPARE(RunWithProgress(&w, "Combinaison Kappa-Sigma", 10, JobMean), ProgressResultOk);
    w.Job = [] { JobStep(1); };
    QCOMPARE(RunWithProgress(&w, "Combinaison Kappa-Sigma", 10, JobKappa), ProgressResultOk);
    TProgressForm form;
    form.Prepare("Batch saving", 0, 0);  // an empty range is an empty bar, not a busy indicator
    form.SetPosition(500);
    QVERIFY(form.ProgressBar1->maximum() > form.ProgressBar1->minimum() && form.ProgressBar1->value() == form.ProgressBar1->maximum());
  }

  // Cancel, Escape and the window manager's close stop the job at its next step, never under it.
  void cancelStopsTheJob_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape key") << 1;
    QTest::newRow("window manager close") << 2;
  }
  void cancelStopsTheJob() {
    QFETCH(int, how);
    TJobWindow w;
    std::vector<int> positions;
    w.Job = CountingJob(20, positions, [how](int i) {
      if (i != 4) return;
      if (how == 0) QTimer::singleShot(0, ProgressForm->BitBtn1, &QPushButton::click);
      if (how == 1) QCoreApplication::postEvent(ProgressForm, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
      if (how == 2) QTimer::singleShot(0, ProgressForm, [] { ProgressForm->close(); });
    });
    QCOMPARE(RunWithProgress(&w, "Auto framing(Complex)", 20, JobAutoFrame), ProgressResultOk);
    QCOMPARE(positions, (std::vector<int>{1, 2, 3, 4, 5}));  // the press is seen at the pump of step 5
    QVERIFY(CancelRequested && !ProgressForm);
    positions.clear();
    w.Job = CountingJob(3, positions);  // the next job starts afresh
    RunWithProgress(&w, "Auto framing(Complex)", 3, JobAutoFrame);
    QVERIFY(positions.size() == 3 && !CancelRequested);
  }

  // The Qt message boxes show the caption, text, icon and button words asked for, whatever the
  // desktop's language, and answer the button pressed; Escape only where there is Cancel.
  void messageBoxes_data() {
    QTest::addColumn<int>("kind");  // 0 Ok, 1 YesNo, 2 YesNoAbortAll, 3 OK/Cancel, 4 no button asked
    QTest::addColumn<QString>("press");
    QTest::addColumn<QString>("seen");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << 0 << "OK" << "Information 1 OK" << int(TMsgButton::OK);
    QTest::newRow("Yes") << 1 << "Yes" << "Warning 3 Yes No" << int(TMsgButton::Yes);
    QTest::newRow("Escape then No") << 1 << "Escape No" << "Warning 3 Yes No" << int(TMsgButton::No);
    QTest::newRow("Abort") << 2 << "Abort" << "Warning 3 Yes No Abort All" << int(TMsgButton::Abort);
    QTest::newRow("All") << 2 << "All" << "Warning 3 Yes No Abort All" << int(TMsgButton::All);
    QTest::newRow("Enter") << 2 << "Return" << "Warning 3 Yes No Abort All" << int(TMsgButton::Yes);
    QTest::newRow("Cancel") << 3 << "Cancel" << "Batch 2 OK Cancel" << int(TMsgButton::Cancel);
    QTest::newRow("Escape") << 3 << "Escape" << "Batch 2 OK Cancel" << int(TMsgButton::Cancel);
    QTest::newRow("closed") << 1 << "reject" << "Warning 3 Yes No" << int(TMsgButton::None);
    QTest::newRow("plain") << 4 << "OK" << "Q 0 OK" << int(TMsgButton::OK);
  }
  void messageBoxes() {
    QFETCH(int, kind);
    QFETCH(QString, press);
    QFETCH(QString, seen);
    QFETCH(int, answer);
    QString shown, text;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      QList<QAbstractButton*> buttons = box->buttons();
      std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
      });
      shown = box->windowTitle() + ' ' + QString::number(int(box->icon()));
      for (QAbstractButton* b : buttons) shown += ' ' + b->text();
      text = box->text();
      for (const QString& p : press.split(' ')) {
        if (!box->isVisible()) break;
        if (p == "Escape" || p == "Return") QTest::keyClick(box, p == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
        else if (p == "reject") box->reject();
        for (QAbstractButton* b : buttons)
          if (b->text() == p && box->isVisible()) b->click();
      }
    });
    const std::string asked = "File/tmp/a<b>&c.bmp allready existe.\rOverwrite this file ?";
    TMsgButton got = TMsgButton::None;
    switch (kind) {
      case 0: got = Messages().Ok("Information", asked, TMsgIcon::Information); break;
      case 1: got = Messages().YesNo("Warning", asked, TMsgIcon::Error); break;
      case 2: got = Messages().YesNoAbortAll("Warning", asked); break;
      case 3: got = Messages().Show({"Batch", asked, TMsgIcon::Warning, {TMsgButton::OK, TMsgButton::Cancel}}); break;
      case 4: got = Messages().Show({"Q", asked, TMsgIcon::None, {}}); break;
    }
    QCOMPARE(shown, seen);
    QCOMPARE(text, QStringLiteral("File/tmp/a<b>&c.bmp allready existe.\nOverwrite this file ?"));
    QCOMPARE(int(got), answer);
  }

  // The splash picture's decoder: the picture, and nothing from damaged bytes.
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
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
