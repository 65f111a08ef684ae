// SPDX-License-Identifier: GPL-3.0-or-later
// The windows besides the main window (their rules are tested headless in tests/tools and tests/browse): the
// Parameters dialogs' round trip and enabling, the result window and its tools, the list and preview windows,
// the problem report, the progress window's job loop and the Qt message boxes.
#include <QtTest>
#include <QtWidgets>

#include "WhenShown.h"
#include "app/ParamGlob.h"
#include "app/ui/FormParam.h"
#include "app/ui/FormParamFits.h"
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
  p.tolerance_automatique = p.calcul_complexe = p.rejet_kappa = p.texte_avec_compositage = true;
  p.calcul_simple = p.Rapport = p.numerotation_zero = p.Bitmap = p.barre_visible = false;
  p.alignement_subpixel = p.Fits = p.barre_texte = true;
  p.tolerance = 42;
  p.bordure = 17;
  p.kappa = 4;
  p.repertoire = "/data/saves/";
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
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;

 private slots:
  void init() {
    ParamGlob = Sample();
    ParamSaisie = TParamglob{};
    Messages_ = TScriptedMessages{};
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
  }
  void cleanup() { Scope_.reset(); }

  // OK stores what the controls show (filled from the settings), the tool bar's fields excepted; Cancel nothing.
  void parametersRoundTrip() {
    TFormParam(nullptr).BtOk->click();
    TParamglob expected = Sample();
    expected.barre_visible = !(expected.barre_texte = false);
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
    QVERIFY(ParamSaisie.bordure == 17 && ParamGlob == Sample());
  }

  // Tolerance edit and label, tolerance arrows, FITS button: at creation and after each click.
  void parametersEnabling() {
    auto state = [](TFormParam& f) {
      return QString("%1%2%3%4").arg(f.Edit_Tolerance->isEnabled()).arg(f.Label4->isEnabled())
          .arg(f.UpDownTolerance->isEnabled()).arg(f.BtnParamFits->isEnabled());
    };
    TFormParam fromSample;
    ParamGlob = TParamglob{};
    TFormParam f;
    QStringList seen{state(fromSample), state(f)};
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{f.cd_tolerance_auto, f.Radio_FITS,
                                                                      f.cd_tolerance_auto, f.Radio_BMP})
      b->click(), seen << state(f);
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
    QString passed;
    for (const auto& [key, text] : {std::pair{Qt::Key_Tab, "\t"}, {Qt::Key_Backspace, "\b"}, {Qt::Key_Delete, "\x7f"},
                                    {Qt::Key_Right, ""}, {Qt::Key_V, "\x16"}, {Qt::Key_0, "0"}, {Qt::Key_Minus, "-"},
                                    {Qt::Key_Space, " "}, {Qt::Key_unknown, "\u0663"}, {Qt::Key_A, "A"}}) {
      QKeyEvent e(QEvent::KeyPress, key, key == Qt::Key_V ? Qt::ControlModifier : Qt::NoModifier, QString::fromUtf8(text));
      passed += IsNumberEditKey(e) ? '1' : '0';
    }
    QCOMPARE(passed, QStringLiteral("1111110000"));
    QStringList steps;
    for (const auto& act : std::initializer_list<std::function<void()>>{
             [&] { f.UpDownKappa->UpButton->click(); }, [&] { f.UpDownKappa->UpButton->click(); },  // no wrapping
             [&] { f.Edit_kappa->setText("3"), f.UpDownKappa->DownButton->click(); },
             [&] { f.Edit_kappa->setFocus(), QTest::keyClick(f.Edit_kappa, Qt::Key_Up); },
             [&] { f.Edit_kappa->setText("x"), f.UpDownKappa->UpButton->click(); }})  // not a number: from the position
      act(), steps << f.Edit_kappa->text();
    QCOMPARE(steps, QStringList({"10", "10", "2", "3", "4"}));
  }

  // The FITS dialog edits the Parameters dialog's copy, taken back on OK only; the browser fills the directory.
  void fitsParametersAndBrowse() {
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
    // Saving: the proposed name; the FITS dialog cancelled: only the report's text is written.
    TTempDir dir;
    w.SaveSettings.texte_avec_compositage = true;
    QString proposed;
    w.ChooseSaveFile = [&](const QString& proposal, bool) { return proposed = proposal, QString::fromStdString(dir.File("jup.fit")); };
    w.FitsParameters = [](const TParamFITS&) { return std::optional<TParamFITS>(); };
    w.BtEnregistre->click();
    QVERIFY(proposed == "jupiter" && !QFile::exists(QString::fromStdString(dir.File("jup.fit"))));
    QCOMPARE(ReadFileBytes(dir.File("jup.txt")), std::string("Result combinaison by mean\n\nImage1\n"));
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
    QVERIFY(form.ListView1->topLevelItemCount() == 3 && form.Btn_AjAll->isEnabled() && !form.Btn_Ajoute->isEnabled());
    Select(form.ListView1, "first.bmp");
    QVERIFY(form.Btn_Ajoute->isEnabled() && form.FastIMG1->Bmp().Width() == 16);  // previewed
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
    QCOMPARE(form.LabelRepertoire->text() + QString::number(form.ListView1->topLevelItemCount() * 10 +
                                                            form.ListView2->topLevelItemCount()),
             QStringLiteral("[Computer]30"));
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

  // The problem report: rows, its two heights and the detail button (hidden without rows).
  void problemReport() {
    TFicheRapport r;
    r.SetupReport(QStringLiteral("Auto framing"), QStringLiteral("Error during automatic framing"));
    QVERIFY(r.btDetail->isHidden() && r.height() == TFicheRapport::kShortHeight);
    r.AddRows(MakeProblemRows({{1, TFrameProblemKind::NotFound}, {4, TFrameProblemKind::OutOfLimit}}));
    r.SetupReport(QString::fromUtf8(kRebuildReportCaption), QString::fromUtf8(kRebuildReportText));
    QStringList seen;
    for (int i = 0; i < r.RowCount(); ++i) seen << r.ListView1->topLevelItem(i)->text(0) + r.ListView1->topLevelItem(i)->text(1);
    for (int i = 0; i < 3; ++i, r.btDetail->click()) seen << r.btDetail->text() + QString::number(r.height());
    QCOMPARE(seen, QStringList({"Image 2Impossible to draw frame", "Image 5Frame out of limit", "<<< Detail278",
                                "Detail >>>101", "<<< Detail278"}));
    QVERIFY(r.ListView1->geometry().top() >= 101 && r.ListView1->geometry().bottom() < 278);
  }

  // A job runs inside the progress window's modal loop; Cancel, Escape and the window manager's close stop it
  // at its next step, never under it; the next job starts afresh; a failing job is told; any job ends.
  void progressWindow_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape key") << 1;
    QTest::newRow("window manager close") << 2;
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
            if (i == stopAt && how == 1) QCoreApplication::postEvent(ProgressForm, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
            if (i == stopAt && how == 2) QTimer::singleShot(0, ProgressForm, [] { ProgressForm->close(); });
            JobStep(i + 1);
            positions.push_back(ProgressForm->isVisible() && QApplication::activeModalWidget() == ProgressForm
                                    ? ProgressForm->ProgressBar1->value() : -1);
          }
        });
      };
    };
    w.Job = job(20, 4);
    QCOMPARE(RunWithProgress(&w, "Auto framing(Complex)", 20, JobAutoFrame), ProgressResultOk);
    QVERIFY(CancelRequested && !ProgressForm);  // the press is seen at the pump of step 5
    w.Job = job(3, -1);
    RunWithProgress(&w, "Auto framing(Complex)", 3, JobAutoFrame);
    QVERIFY(positions == std::vector<int>({1, 2, 3, 4, 5, 1, 2, 3}) && !CancelRequested && !ProgressForm);
    w.Job = [] { RunJob("Batch saving", [] { throw std::runtime_error("Cannot write /out/T0001.bmp: disk full"); }); };
    QCOMPARE(RunWithProgress(&w, "Batch saving", 5, JobAutoFrame), ProgressResultOk);
    QVERIFY(Messages_.Asked.size() == 1 && Messages_.Asked[0].Caption == "Batch saving" && !ProgressForm);
    QCOMPARE(Messages_.Asked[0].Text, std::string("Cannot write /out/T0001.bmp: disk full"));
    w.Job = [] { JobStep(1); };  // a job that never ends its window, and one nobody handles
    QCOMPARE(RunWithProgress(&w, "Combinaison by mean", 10, JobAutoFrame), ProgressResultOk);
    QCOMPARE(RunWithProgress(&w, "Combinaison by mean", 10, JobMean), ProgressResultOk);
  }

  // The Qt message boxes show the caption, icon, text and button words asked for (never translated) and answer
  // the button pressed; Escape only where there is Cancel, Enter the first button; closed unanswered: None.
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
    QVERIFY(dynamic_cast<TQtMessages*>(&qt));
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
    const TMsgButton got = kind == 0   ? qt.Ok("Information", asked, TMsgIcon::Information)
                           : kind == 1 ? qt.YesNo("Warning", asked, TMsgIcon::Error)
                           : kind == 2 ? qt.YesNoAbortAll("Warning", asked)
                           : kind == 3 ? qt.Show({"Batch", asked, TMsgIcon::Warning, {TMsgButton::OK, TMsgButton::Cancel}})
                                       : qt.Show({"Q", asked, TMsgIcon::None, {}});
    QCOMPARE(shown, seen);
    QCOMPARE(text, QStringLiteral("File/tmp/a<b>&c.bmp allready existe.\nOverwrite this file ?"));
    QCOMPARE(int(got), answer);
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
