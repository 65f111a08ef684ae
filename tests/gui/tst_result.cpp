// SPDX-License-Identifier: GPL-3.0-or-later
// The result window and its tools as windows: the controls are wired to the
// rules (tested headless in tests/tools), the dialogs edit the window's
// picture, and the two combination commands run from the main window.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <filesystem>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/MainForm.h"
#include "app/ui/ProgressForm.h"
#include "sequence/SamplePlanet.h"
#include "combine/ui/FormRapport.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "support/VideoFixtures.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/Rotate.h"
#include "tools/ui/ShowBitmap.h"

using namespace fixtures;

namespace {
std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Runs stellon-cli with `args`; true when it ended with 0.
bool Cli(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(STELLON_CLI), args);
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}  // namespace

class TestResult : public QObject {
  Q_OBJECT

  static std::vector<std::string> Report() { return {"Result combinaison by mean", "", "Image1"}; }

 private slots:
  // The zoom commands are wired to the geometry rule (its cases: tests/tools).
  void zoomGeometry() {
    TFastDIB result = Pattern24(200, 150, 1);
    TShowBitmap w;
    w.Setup(&result, "/v/jupiter.avi", Report());
    w.Action_Agrandissement->trigger();
    QCOMPARE(w.width(), 420);
    QCOMPARE(w.VideoPanel->geometry(), QRect(10, 10, 400, 300));
    QVERIFY(w.Action_Agrandissement->isChecked() && !w.Action_Taille_normale->isChecked());
  }

  void contextMenuAndCommands() {
    TShowBitmap w;
    QStringList names;
    for (QAction* a : w.PopupMenu1->actions()) names << (a->isSeparator() ? "-" : a->objectName());
    QCOMPARE(names, QStringList({"Action_Taille_normale", "Action_Agrandissement", "-", "Action_rotation",
                                 "Action_ajuste_couleur", "-", "Action_Enregistre", "Action_Annuler",
                                 "Action_Rapport"}));
    // Without image and report: no zoom, no save, no report.
    w.Setup(nullptr, "x.avi", std::nullopt);
    QVERIFY(!w.Action_Enregistre->isEnabled() && !w.BtEnregistre->isEnabled());
    QVERIFY(!w.Action_Rapport->isEnabled() && !w.BtRapport->isEnabled());
  }

  // Rotation turns the working image; Normal size keeps the control at the
  // result's size; the adjuster changes it; Undo gives the result back.
  void rotateAdjustUndo() {
    TFastDIB result = Pattern24(320, 240, 7);
    TShowBitmap w;
    w.Setup(&result, "/v/jupiter.avi", Report());
    w.ShowModal = [](QDialog& d) {
      d.show();
      if (auto* r = qobject_cast<TfrmRotate*>(&d)) {
        QCOMPARE(r->Label_degre->text(), QStringLiteral("0 ° "));  // recomputed once when shown
        r->btnSize->click();
        QVERIFY(!r->eWidth->isEnabled());
        r->sAmount->setValue(900);
        QCOMPARE(r->eWidth->text(), QStringLiteral("240"));
        QCOMPARE(r->Label_degre->text(), QStringLiteral("90 ° "));
        r->btnCenter->click();
        QVERIFY(r->xCenter->isEnabled());
      } else if (auto* a = qobject_cast<TAdjuster*>(&d)) {
        a->Lock->click();
        a->rContrast->setValue(40);
        QCOMPARE(a->gContrast->value(), 40);
        QCOMPARE(a->bContrast->value(), 40);
        QCOMPARE(a->LastPath(), TAdjustPath::Lut);
      }
      d.close();
    };
    w.Action_rotation->trigger();
    QCOMPARE(w.VideoPanel->Bmp().Width(), 240);
    QCOMPARE(w.VideoPanel->Bmp().AbsHeight, 320);
    w.Action_Agrandissement->trigger();
    w.Action_Taille_normale->trigger();
    QCOMPARE(w.VideoPanel->size(), QSize(320, 240));
    w.Action_ajuste_couleur->trigger();
    QVERIFY(PackedBgr(w.VideoPanel->Bmp()) != PackedBgr(result));
    w.Action_Annuler->trigger();
    QVERIFY(PackedBgr(w.VideoPanel->Bmp()) == PackedBgr(result));
  }

  void reportAndSave() {
    TFastDIB result = Pattern24(16, 8, 2);
    TShowBitmap w;
    w.setWindowTitle("Result : Combinaison by mean (1image)");
    w.Setup(&result, "/v/jupiter.avi", Report());
    QString caption;
    std::vector<std::string> lines;
    w.ShowModal = [&](QDialog& d) {
      auto* r = qobject_cast<TFormRapport*>(&d);
      QVERIFY(r);
      caption = r->windowTitle();
      lines = r->Lines();
    };
    w.BtRapport->click();
    QCOMPARE(caption, QStringLiteral("Report :Result : Combinaison by mean (1image)"));
    QVERIFY(lines == Report());

    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "stellon_tst_result";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    w.SaveSettings.texte_avec_compositage = true;
    QString proposed;
    w.ChooseSaveFile = [&](const QString& proposal, bool) {
      proposed = proposal;
      return QString::fromStdString((dir / "jup.fit").string());
    };
    w.FitsParameters = [](const TParamFITS&) { return std::optional<TParamFITS>(); };  // Cancel
    w.BtEnregistre->click();
    QCOMPARE(proposed, QStringLiteral("jupiter"));
    QVERIFY(!std::filesystem::exists(dir / "jup.fit"));
    QCOMPARE(QString::fromStdString(ReadFileBytes((dir / "jup.txt").string())),
             QStringLiteral("Result combinaison by mean\n\nImage1\n"));
    std::filesystem::remove_all(dir);
  }

  void kappaDialog() {
    TParamKappa d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Kappa-Sigma parameters ..."));
    QCOMPARE(d.Label1->text(), QStringLiteral("Elimination factor :"));
    QCOMPARE(d.UpDown1->minimum(), 1);
    QCOMPARE(d.UpDown1->maximum(), 10);
    QCOMPARE(d.Edit_k->text(), QStringLiteral("1"));
    d.Edit_k->selectAll();
    QTest::keyClicks(d.Edit_k, "a7-");
    QCOMPARE(d.Edit_k->text(), QStringLiteral("7"));
    QTest::keyClick(d.Edit_k, Qt::Key_Backspace);
    QTest::keyClicks(d.Edit_k, "4");
    QCOMPARE(d.UpDown1->value(), 4);
  }

  // From the menu as a user would: open, automatic framing, mean, then
  // kappa-sigma; each result saved from its window equals stellon-cli stack
  // of the same video with the same settings, byte for byte.
  void combineFromTheMainWindowEqualsTheCommandLine() {
    QTemporaryDir dir;
    InitStellonResources();
    TScriptedMessages answers;
    TMessagesScope scope(answers);
    TSampleOptions options;
    options.Frames = 12;
    options.Width = 160;
    options.Height = 120;
    options.Seed = 5;
    const QString video = dir.filePath("planet.avi"), ini = dir.filePath("stellon.ini");
    QVERIFY(WriteSampleVideo(Local(video), options, nullptr));
    SetIniPath(Local(ini));
    TMainForm form;
    ParamGlob.bordure = 4;
    ParamGlob.kappa = 2;
    ParamGlob.Rapport = false;
    QVERIFY(EcrireParamGlob().ok());
    form.show();
    QVERIFY(form.OpenFile(video));
    const auto action = [&form](const char* name) { return form.findChild<QAction*>(name); };
    auto* mean = action("Action_Moyenne");
    auto* kappa = action("Action_kappa");
    auto* kappaButton = form.findChild<QToolButton*>("BtKappa");
    QVERIFY(mean && kappa && kappaButton);
    QVERIFY(!mean->isEnabled() && !kappaButton->isEnabled());
    action("Action_cadre_automatique")->trigger();
    QVERIFY(mean->isEnabled() && kappa->isEnabled() && kappaButton->isEnabled());

    QStringList captions;
    QString saveAs;
    form.ShowResult = [&](TShowBitmap& w) {
      captions << w.windowTitle();
      w.ChooseSaveFile = [&](const QString&, bool) { return saveAs; };
      w.BtEnregistre->click();
    };
    int kappaStart = 0;
    form.AskKappa = [&](TParamKappa& d) {
      kappaStart = d.UpDown1->value();
      return true;
    };
    saveAs = dir.filePath("gui_mean.bmp");
    mean->trigger();
    saveAs = dir.filePath("gui_kappa.bmp");
    kappaButton->click();
    QCOMPARE(captions, QStringList({"Result : Combinaison by mean (12images)",
                                    "Result : Combinaison Kappa-Sigma (12images)"}));
    QCOMPARE(kappaStart, 2);
    QCOMPARE(KappaFactor, 2);

    const QString cliMean = dir.filePath("cli_mean.bmp"), cliKappa = dir.filePath("cli_kappa.bmp");
    QVERIFY(Cli({"stack", video, "-o", cliMean, "--ini", ini}));
    QVERIFY(Cli({"stack", video, "-o", cliKappa, "--method", "kappa", "--kappa", "2", "--ini", ini}));
    QVERIFY(ReadFileBytes(Local(dir.filePath("gui_mean.bmp"))) == ReadFileBytes(Local(cliMean)));
    QVERIFY(ReadFileBytes(Local(dir.filePath("gui_kappa.bmp"))) == ReadFileBytes(Local(cliKappa)));
    QVERIFY(ReadFileBytes(Local(cliMean)) != ReadFileBytes(Local(cliKappa)));

    // Cancel in the progress window: no result window; Cancel in the kappa dialog: no job.
    QTimer cancel;
    cancel.setInterval(0);
    connect(&cancel, &QTimer::timeout, [] {
      if (ProgressForm && !CancelRequested) ProgressForm->BitBtn1Click();
    });
    cancel.start();
    mean->trigger();
    cancel.stop();
    form.AskKappa = [](TParamKappa&) { return false; };
    kappa->trigger();
    QCOMPARE(captions.size(), 2);
  }
};

QTEST_MAIN(TestResult)
#include "tst_result.moc"
