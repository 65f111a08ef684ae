// The frame commands' wiring: automatic framing through the progress window
// and the problem report (finished and stopped by Cancel), the frame commands
// of the menu and tool bar, and a margin change from the Parameters dialog.
// The rules themselves are tested headless in tests/control.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/MainForm.h"
#include "app/ui/ProgressForm.h"
#include "combine/ui/FicheRapport.h"
#include "platform/Messages.h"
#include "sequence/SamplePlanet.h"

namespace {

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

class TestFraming : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir Dir_;
  QString Clean_;  // 6 whole planets, 160 x 120
  TScriptedMessages Messages_;
  std::unique_ptr<TMessagesScope> Scope_;
  std::unique_ptr<TMainForm> Form_;

  QAction* A(const char* name) const { return Form_->findChild<QAction*>(QString::fromLatin1(name)); }
  const TSequence& S() const { return Form_->Controller().Sequence(); }
  bool LineTicked(int i) const {
    return Form_->findChild<QListWidget*>(QStringLiteral("CheckListBox1"))->item(i)->checkState() == Qt::Checked;
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
    Clean_ = Dir_.filePath(QStringLiteral("clean.avi"));
    std::string error;
    QVERIFY2(WriteSampleVideo(QFile::encodeName(Clean_).toStdString(), clean, &error), error.c_str());
  }

  void init() {
    SetIniPath(QFile::encodeName(Dir_.filePath(QStringLiteral("stellon.ini"))).toStdString());
    Messages_.Asked.clear();
    Messages_.Answers.clear();
    Form_ = std::make_unique<TMainForm>();
    ParamGlob.bordure = 4;
    ParamGlob.Rapport = true;
    Form_->show();
    QVERIFY(Form_->OpenFile(Clean_));
  }

  void cleanup() {
    if (Form_) Form_->close();
    Form_.reset();
  }

  void autoFramingRunsUnderTheProgressWindow() {
    TWatcher watch;
    A("Action_cadre_automatique")->trigger();
    QCOMPARE(watch.ProgressCaption, QStringLiteral("Auto framing(Simple)"));
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Text, std::string("No problem occured when building all frame"));
    for (int i = 0; i < 6; ++i) QVERIFY(S().Record(i)->HasFrame && LineTicked(i));
  }

  // Cancel keeps the frames made so far and the report says what was not looked at.
  void cancelledAutoFramingIsReported() {
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

  void frameCommands() {
    A("Action_Cadre")->trigger();
    QVERIFY(S().Record(0)->HasFrame && LineTicked(0));
    QVERIFY(A("Action_suppression_cadre")->isEnabled());
    A("Action_suppression_cadre")->trigger();
    QVERIFY(!S().Record(0)->HasFrame && S().Record(0)->HasFramePixels());
    A("Action_Cadre")->trigger();
    A("Action_Supprimer_ts_cadre")->trigger();
    QVERIFY(!S().Record(0)->HasFramePixels());
    QVERIFY(!A("Action_Supprimer_ts_cadre")->isEnabled());
    // A failed framing is told in a box.
    Form_->findChild<QLineEdit*>(QStringLiteral("EditTolerance1"))->setText(QStringLiteral("255"));
    A("Action_Cadre")->trigger();
    QCOMPARE(Messages_.Asked.size(), size_t(1));
    QCOMPARE(Messages_.Asked[0].Caption, std::string("Building frame"));
  }

  // A new margin confirmed in the Parameters dialog asks before frames are rebuilt.
  void marginFromTheParametersDialog() {
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
};

QTEST_MAIN(TestFraming)
#include "tst_framing.moc"
