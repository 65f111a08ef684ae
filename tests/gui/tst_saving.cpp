// "Save image" and "Batch saving ..." driven through the real main window: the
// wiring only (the saving rules are tested headless in tests/output).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "app/ui/ParamLot.h"
#include "app/ui/ProgressForm.h"
#include "platform/Messages.h"
#include "sequence/SamplePlanet.h"

namespace {
std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// What the Batch saving dialog showed, and how it was answered.
struct TSeenLot {
  QString Caption, Prefix, Directory, Start, BrowseTitle;
  bool InsideEnabledAtOpen = true, InsideEnabledWithFramed = false;
  QString ProgressCaption;
};
}  // namespace

class TestSaving : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  QString Video_;  // 4 images
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;
  int Beeps_ = 0;

  QStringList Files(const QString& dir) const { return QDir(dir).entryList(QDir::Files, QDir::Name); }

  // Runs the batch command; the dialog gets `prefix` and `dir` (typed, or
  // through the ". . ." browser when `browse`) and is confirmed.
  TSeenLot RunBatch(const QString& prefix, const QString& dir, bool browse) {
    TSeenLot seen;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, [&] {
      if (ProgressForm && seen.ProgressCaption.isEmpty()) seen.ProgressCaption = ProgressForm->windowTitle();
      if (auto* fits = qobject_cast<TFormParamFits*>(QApplication::activeModalWidget()); fits && fits->isVisible()) {
        fits->Radio_SepRVB->setChecked(true);  // for this batch only
        fits->BtnOK->click();
        return;
      }
      auto* d = qobject_cast<TParamLot*>(QApplication::activeModalWidget());
      if (!d || !d->isVisible()) return;
      seen.Caption = d->windowTitle();
      seen.Prefix = d->NomEdit->text();
      seen.Directory = d->RepEdit->text();
      seen.Start = d->no_seq->text();
      seen.InsideEnabledAtOpen = d->CheckBox1->isEnabled();
      d->RadioButton3->click();
      seen.InsideEnabledWithFramed = d->CheckBox1->isEnabled();
      d->CheckBox1->setChecked(true);
      d->RadioButton1->click();  // "Inside of frame" stays ticked but no longer counts
      d->NomEdit->setText(prefix);
      if (browse) {
        d->BrowseDirectory = [&](const QString& title, const QString&) {
          seen.BrowseTitle = title;
          return dir;
        };
        d->ChgRepertoire->click();
      } else {
        d->RepEdit->setText(dir);
      }
      d->BitBtn1->click();
    });
    watch.start();
    Form_->Action_enregistrer_lot->trigger();
    return seen;
  }

 private slots:
  void initTestCase() {
    QVERIFY(Dir_.isValid());
    InitStellonResources();
    Scope_ = std::make_unique<TMessagesScope>(Messages_);
    TSampleOptions o;
    o.Frames = 4;
    o.Width = 64;
    o.Height = 48;
    Video_ = Dir_.filePath(QStringLiteral("four.avi"));
    std::string error;
    QVERIFY2(WriteSampleVideo(Local(Video_), o, &error), error.c_str());
  }

  void init() {
    SetIniPath(Local(Dir_.filePath(QStringLiteral("stellon.ini"))));
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    Form_ = std::make_unique<TMainForm>();
    Form_->SaveDirectory = Local(Dir_.filePath(QStringLiteral("single")));
    QDir().mkpath(Dir_.filePath(QStringLiteral("single")));
    Beeps_ = 0;
    Form_->Beep = [this] { ++Beeps_; };
    Form_->show();
    QVERIFY(Form_->OpenAviFile(Video_));
  }

  void cleanup() {
    Form_->close();
    Form_.reset();
    QDir(Dir_.filePath(QStringLiteral("single"))).removeRecursively();
    QDir(Dir_.filePath(QStringLiteral("lot"))).removeRecursively();
  }

  void singleSavesFromMenuAndToolBar() {
    TMainForm& f = *Form_;
    QVERIFY(f.Action_enregistrer->isEnabled());
    QVERIFY(f.BtEnregistrer->isEnabled());
    f.Action_enregistrer->trigger();
    f.BtEnregistrer->click();
    QCOMPARE(Files(Dir_.filePath(QStringLiteral("single"))),
             QStringList({QStringLiteral("Temp0001.bmp"), QStringLiteral("Temp0002.bmp")}));
    QCOMPARE(f.label_sequence->text(), QStringLiteral("0003"));
    QCOMPARE(Beeps_, 2);
    // An existing file: the question in an error box, No keeps the number.
    f.SaveNumber = 1;
    Messages_.Answers = {TMsgButton::No};
    f.Action_enregistrer->trigger();
    QCOMPARE(int(Messages_.Asked.size()), 1);
    QCOMPARE(Messages_.Asked[0].Buttons, std::vector<TMsgButton>({TMsgButton::Yes, TMsgButton::No}));
    QCOMPARE(f.label_sequence->text(), QStringLiteral("0001"));
  }

  void batchFromDialogLeavesLastImageShown() {
    TMainForm& f = *Form_;
    QVERIFY(f.BtEnregistrerLot->isEnabled());
    f.SaveNumber = 3;
    const QString lot = Dir_.filePath(QStringLiteral("lot"));
    QDir().mkpath(lot);
    const TSeenLot seen = RunBatch(QStringLiteral("Jup"), lot, true);
    QCOMPARE(seen.Caption, QStringLiteral("Batch saving"));
    QCOMPARE(seen.ProgressCaption, QStringLiteral("Batch saving"));
    QCOMPARE(seen.Prefix, QStringLiteral("Temp"));
    QCOMPARE(seen.Directory, QString::fromStdString(f.SaveDirectory));
    QCOMPARE(seen.Start, QStringLiteral("3"));
    QCOMPARE(seen.BrowseTitle, QStringLiteral("Choose a directy for saving files"));
    QVERIFY(!seen.InsideEnabledAtOpen);
    QVERIFY(seen.InsideEnabledWithFramed);
    QCOMPARE(Files(lot), QStringList({QStringLiteral("Jup0003.bmp"), QStringLiteral("Jup0004.bmp"),
                                      QStringLiteral("Jup0005.bmp"), QStringLiteral("Jup0006.bmp")}));
    QCOMPARE(f.LotParams.Prefix, std::string("Jup"));
    QCOMPARE(f.SaveBaseName, std::string("Temp"));
    QCOMPARE(f.label_sequence->text(), QStringLiteral("0007"));
    QCOMPARE(f.Sequence.CurrentIndex, 3);
    QVERIFY(f.Sequence.CurrentImage);
    QVERIFY(f.StatusPanel2->text().startsWith(QStringLiteral("Pos : 4/4")));
  }

  void batchAsFitsTakesTheFitsParametersOfThisBatch() {
    ParamGlob.Bitmap = false;
    ParamGlob.Fits = true;
    const QString lot = Dir_.filePath(QStringLiteral("lot"));
    QDir().mkpath(lot);
    RunBatch(QStringLiteral("F"), lot, false);
    QCOMPARE(Files(lot).size(), 12);
    QVERIFY(Files(lot).contains(QStringLiteral("FV0004.fit")));
    QVERIFY(!ParamGlob.FITS.SepRVB);
    ParamGlob.Fits = false;
    ParamGlob.Bitmap = true;
  }

  void batchWriteFailureClosesProgressAndTells() {
    TMainForm& f = *Form_;
    const QString missing = Dir_.filePath(QStringLiteral("no/such/folder"));
    RunBatch(QStringLiteral("X"), missing, false);
    QVERIFY(!ProgressForm);
    QCOMPARE(int(Messages_.Asked.size()), 1);
    QCOMPARE(QString::fromStdString(Messages_.Asked[0].Caption), QStringLiteral("Batch saving"));
    QVERIFY(QString::fromStdString(Messages_.Asked[0].Text).contains(missing + QStringLiteral("/X0001.bmp")));
    QCOMPARE(f.label_sequence->text(), QStringLiteral("0001"));
  }
};

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
