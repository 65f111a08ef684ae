// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QAction>
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
}  // namespace

class TestSaving : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;
  int Beeps_ = 0;
  QStringList Seen_;  // what the batch dialogs showed

  template <class T>
  T* W(const char* name) const {
    return Form_->findChild<T*>(QString::fromLatin1(name));
  }
  QAction* Command(const char* name) const { return W<QAction>(name); }
  TMainController& C() const { return Form_->Controller(); }
  QString Label() const { return W<QLabel>("label_sequence")->text(); }
  QString Path(const char* name) const { return Dir_.filePath(QString::fromLatin1(name)); }
  QStringList Files(const char* dir) const { return QDir(Path(dir)).entryList(QDir::Files, QDir::Name); }

  // Runs the batch command; the dialog gets `prefix` and `dir` through the
  // ". . ." browser and is confirmed; a FITS parameters dialog gets "RGB layer
  // separation" and OK.
  void RunBatch(const QString& prefix, const QString& dir) {
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, [&] {
      const QString progress = ProgressForm ? QStringLiteral("progress ") + ProgressForm->windowTitle() : QString();
      if (ProgressForm && !Seen_.contains(progress)) Seen_ << progress;
      if (auto* fits = qobject_cast<TFormParamFits*>(QApplication::activeModalWidget()); fits && fits->isVisible()) {
        fits->Radio_SepRVB->setChecked(true);
        fits->BtnOK->click();
      }
      auto* d = qobject_cast<TParamLot*>(QApplication::activeModalWidget());
      if (!d || !d->isVisible()) return;
      Seen_ << d->windowTitle() << d->NomEdit->text() << d->RepEdit->text() << d->no_seq->text();
      const bool atOpen = d->CheckBox1->isEnabled();
      d->RadioButton3->click();
      Seen_ << QStringLiteral("inside %1 %2").arg(atOpen).arg(d->CheckBox1->isEnabled());
      d->CheckBox1->setChecked(true);
      d->RadioButton1->click();  // "Inside of frame" stays ticked but no longer counts
      d->NomEdit->setText(prefix);
      d->BrowseDirectory = [&](const QString& title, const QString&) {
        Seen_ << title;
        return dir;
      };
      d->ChgRepertoire->click();
      d->BitBtn1->click();
    });
    watch.start();
    Command("Action_enregistrer_lot")->trigger();
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
    std::string error;
    QVERIFY2(WriteSampleVideo(Local(Path("four.avi")), o, &error), error.c_str());
  }

  void init() {
    QFile::remove(Path("stellon.ini"));  // default settings: BMP, 4 digits
    SetIniPath(Local(Path("stellon.ini")));
    Messages_.Asked.clear();
    Seen_.clear();
    QDir().mkpath(Path("single"));
    QDir().mkpath(Path("lot"));
    Form_ = std::make_unique<TMainForm>();
    C().SaveDirectory = Local(Path("single"));
    Beeps_ = 0;
    C().Beep = [this] { ++Beeps_; };
    Form_->show();
    QVERIFY(Form_->OpenFile(Path("four.avi")));
  }

  void cleanup() {
    Form_->close();
    Form_.reset();
    QDir(Path("single")).removeRecursively();
    QDir(Path("lot")).removeRecursively();
  }

  void singleSavesFromMenuAndToolBar() {
    Command("Action_enregistrer")->trigger();
    W<QToolButton>("BtEnregistrer")->click();
    QCOMPARE(Files("single"), QStringList({QStringLiteral("Temp0001.bmp"), QStringLiteral("Temp0002.bmp")}));
    QCOMPARE(Label(), QStringLiteral("0003"));
    QCOMPARE(Beeps_, 2);
    // An existing file: Yes/No through the message interface; No keeps the number.
    C().SaveNumber = 1;
    Messages_.Answers = {TMsgButton::No};
    Command("Action_enregistrer")->trigger();
    QCOMPARE(int(Messages_.Asked.size()), 1);
    QCOMPARE(Messages_.Asked[0].Buttons, std::vector<TMsgButton>({TMsgButton::Yes, TMsgButton::No}));
    QCOMPARE(Label(), QStringLiteral("0001"));
  }

  void batchFromToolBarLeavesLastImageShown() {
    C().SaveNumber = 3;
    QVERIFY(W<QToolButton>("BtEnregistrerLot")->isEnabled());
    RunBatch(QStringLiteral("Jup"), Path("lot"));
    QCOMPARE(Seen_, QStringList({QStringLiteral("Batch saving"), QStringLiteral("Temp"),
                                 QString::fromStdString(C().SaveDirectory), QStringLiteral("3"),
                                 QStringLiteral("inside 0 1"), QStringLiteral("Choose a directy for saving files"),
                                 QStringLiteral("progress Batch saving")}));
    QCOMPARE(Files("lot"), QStringList({QStringLiteral("Jup0003.bmp"), QStringLiteral("Jup0004.bmp"),
                                        QStringLiteral("Jup0005.bmp"), QStringLiteral("Jup0006.bmp")}));
    QCOMPARE(C().SaveBaseName, std::string("Temp"));
    QCOMPARE(Label(), QStringLiteral("0007"));
    QCOMPARE(C().Sequence().CurrentIndex, 3);
    QVERIFY(C().CurrentImage());
  }

  void fitsBatchTakesTheFitsParametersOfThisBatchOnly() {
    ParamGlob.Bitmap = false;
    ParamGlob.Fits = true;
    RunBatch(QStringLiteral("F"), Path("lot"));
    QCOMPARE(Files("lot").size(), 12);
    QVERIFY(Files("lot").contains(QStringLiteral("FV0004.fit")));
    QVERIFY(!ParamGlob.FITS.SepRVB);
  }

  void batchWriteFailureClosesProgressAndTells() {
    const QString missing = Path("no/such/folder");
    RunBatch(QStringLiteral("X"), missing);
    QVERIFY(!ProgressForm);
    QCOMPARE(int(Messages_.Asked.size()), 1);
    QCOMPARE(Messages_.Asked[0].Caption, std::string("Batch saving"));
    const QString text = QString::fromStdString(Messages_.Asked[0].Text);
    QVERIFY2(text.contains(missing + QStringLiteral("/X0001.bmp")), qPrintable(text));
    QCOMPARE(Label(), QStringLiteral("0001"));
  }
};

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
