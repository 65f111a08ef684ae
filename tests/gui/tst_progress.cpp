// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window and the job runner: a job posted when the window shows,
// run inside its modal loop, stopped by Cancel, Escape or a close request, and
// always ending with the window closed.
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <vector>

#include "app/ui/ProgressForm.h"
#include "platform/Messages.h"

namespace {
// Stands in for the main window: runs `Job` when its job event arrives.
class TJobWindow : public QWidget {
 public:
  int Expected = JobAutoFrame;
  std::function<void()> Job;
  std::vector<int> Delivered;  // event types of the job events seen
  bool ModalWhileRunning = false;
  bool SentBeforeShow = false;

 protected:
  bool event(QEvent* e) override {
    if (e->type() >= JobEventType(JobBatchSave) && e->type() <= JobEventType(JobKappa)) {
      Delivered.push_back(e->type());
      ModalWhileRunning = ProgressForm && ProgressForm->isVisible() &&
                          QApplication::activeModalWidget() == ProgressForm && ProgressForm->Started();
      if (e->type() == JobEventType(Expected) && Job) Job();
      return true;
    }
    return QWidget::event(e);
  }
};

// A job of `steps` steps following the job contract; `during(i)` runs inside
// step i. Returns the steps actually done through `done`.
std::function<void()> CountingJob(int steps, int& done, std::vector<int>& positions,
                                  const std::function<void(int)>& during = {}) {
  return [steps, &done, &positions, during] {
    RunJob("Test job", [&] {
      for (int i = 0; i < steps; ++i) {
        if (CancelRequested) break;
        if (during) during(i);
        ++done;
        JobStep(i + 1);
        positions.push_back(ProgressForm->ProgressBar1->value());
      }
    });
  };
}
}  // namespace

class TestProgress : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Scripted = TScriptedMessages{};
    Scope = std::make_unique<TMessagesScope>(Scripted);
  }
  void cleanup() { Scope.reset(); }

  void windowLooksAsItShould() {
    TProgressForm form;
    form.Prepare("Auto framing(Simple)", 0, 120);
    QCOMPARE(form.windowTitle(), QString("Auto framing(Simple)"));
    QCOMPARE(form.ProgressBar1->minimum(), 0);
    QCOMPARE(form.ProgressBar1->maximum(), 120);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.Label1->text(), QString("process in progress ..."));
    QCOMPARE(form.BitBtn1->text(), QString("Cancel"));
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(form.isModal());
    form.SetPosition(500);  // kept within the bar
    QCOMPARE(form.ProgressBar1->value(), 120);
    // An empty range still shows an empty bar, not a busy indicator.
    form.Prepare("Batch saving", 0, 0);
    QVERIFY(form.ProgressBar1->maximum() > form.ProgressBar1->minimum());
  }

  void jobRunsToTheEndInsideTheModalLoop() {
    TJobWindow w;
    int done = 0;
    std::vector<int> positions;
    w.Expected = JobMean;
    w.Job = CountingJob(10, done, positions);
    CancelRequested = true;  // left from an earlier job: cleared on start
    const int result = RunWithProgress(&w, "Combinaison by mean", 10, JobMean);
    QCOMPARE(result, ProgressResultOk);
    QCOMPARE(done, 10);
    QCOMPARE(positions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    QCOMPARE(w.Delivered, std::vector<int>{JobMean});
    QVERIFY(w.ModalWhileRunning);
    QVERIFY(!CancelRequested);
    QCOMPARE(ProgressForm, nullptr);
    QVERIFY(Scripted.Asked.empty());
  }

  void cancelStopsTheJobMidway_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape key") << 1;
    QTest::newRow("window manager close") << 2;
  }

  void cancelStopsTheJobMidway() {
    QFETCH(int, how);
    TJobWindow w;
    int done = 0;
    std::vector<int> positions;
    w.Job = CountingJob(20, done, positions, [&](int i) {
      if (i == 4) {
        // The user acts while step 4 runs; the press is seen at the pump after it.
        if (how == 0) QTimer::singleShot(0, ProgressForm->BitBtn1, &QPushButton::click);
        if (how == 1)
          QCoreApplication::postEvent(ProgressForm, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        if (how == 2) QTimer::singleShot(0, ProgressForm, [] { ProgressForm->close(); });
      }
    });
    const int result = RunWithProgress(&w, "Auto framing(Complex)", 20, JobAutoFrame);
    QCOMPARE(done, 5);  // steps 0..4; the check before step 5 stops it
    QCOMPARE(positions.back(), 5);
    QCOMPARE(result, ProgressResultOk);  // the job ends the window, whatever stopped it
    QVERIFY(CancelRequested);            // kept until the next job
    QCOMPARE(ProgressForm, nullptr);

    // The next job starts afresh.
    done = 0;
    positions.clear();
    w.Job = CountingJob(3, done, positions);
    RunWithProgress(&w, "Auto framing(Complex)", 3, JobAutoFrame);
    QCOMPARE(done, 3);
    QVERIFY(!CancelRequested);
  }

  void cancelDoesNotCloseTheWindowUnderARunningJob() {
    TJobWindow w;
    w.Expected = JobBatchSave;
    bool shownAfterCancel = false;
    w.Job = [&] {
      RunJob("Test job", [&] {
        ProgressForm->BitBtn1->click();
        JobStep(1);
        shownAfterCancel = ProgressForm->isVisible();
        QCOMPARE(ProgressForm->result(), ProgressResultAbort);
      });
    };
    RunWithProgress(&w, "Batch saving", 4, JobBatchSave);
    QVERIFY(shownAfterCancel);
    QVERIFY(CancelRequested);
  }

  void failingJobIsReportedAndClosesItsWindow() {
    TJobWindow w;
    w.Expected = JobBatchSave;
    bool ended = false;
    w.Job = [&] {
      ended = !RunJob("Batch saving", [] {
        JobStep(1);
        throw std::runtime_error("Cannot write /tmp/out/Temp0001.bmp: No space left on device");
      });
    };
    const int result = RunWithProgress(&w, "Batch saving", 0, 5, JobBatchSave);
    QVERIFY(ended);
    QCOMPARE(result, ProgressResultOk);
    QCOMPARE(Scripted.Asked.size(), size_t(1));
    QCOMPARE(Scripted.Asked[0].Caption, std::string("Batch saving"));
    QCOMPARE(Scripted.Asked[0].Text, std::string("Cannot write /tmp/out/Temp0001.bmp: No space left on device"));
    QCOMPARE(Scripted.Asked[0].Icon, TMsgIcon::Error);
  }

  void unhandledJobStillEnds() {
    // The window ignores this message, or its handler forgets to end the job:
    // the progress window must not stay up for ever.
    TJobWindow w;
    w.Expected = JobKappa;
    QCOMPARE(RunWithProgress(&w, "Combinaison Kappa-Sigma", 10, JobMean), ProgressResultOk);
    QCOMPARE(w.Delivered, std::vector<int>{JobMean});
    int steps = 0;
    w.Job = [&] { steps = JobStep(1) ? 1 : -1; };  // no EndJob
    QCOMPARE(RunWithProgress(&w, "Combinaison Kappa-Sigma", 10, JobKappa), ProgressResultOk);
    QCOMPARE(steps, 1);
    QCOMPARE(RunWithProgress(nullptr, "Nobody", 10, JobKappa), ProgressResultOk);
  }

  void coreCallbacksFollowTheFlag() {
    TJobWindow w;
    std::vector<bool> checks;
    w.Job = [&] {
      RunJob("Test job", [&] {
        auto cancelled = JobCancelCheck();
        auto progress = JobProgress();
        checks.push_back(cancelled());
        progress(2);
        QCOMPARE(ProgressForm->ProgressBar1->value(), 2);
        ProgressForm->BitBtn1->click();
        checks.push_back(cancelled());
      });
    };
    RunWithProgress(&w, "Combinaison by mean", 4, JobAutoFrame);
    QCOMPARE(checks, (std::vector<bool>{false, true}));
  }

 private:
  TScriptedMessages Scripted;
  std::unique_ptr<TMessagesScope> Scope;
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
