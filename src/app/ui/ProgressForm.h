// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window and the runner of the four long jobs (batch saving, mean
// combination, automatic framing, kappa-sigma combination).
//
// Everything runs on the user-interface thread. RunWithProgress shows the
// progress window modally; showing it posts the job's event to the main window
// (an event whose type is the job's message number, 1027 to 1030). The main
// window's event() override runs the whole job when that event arrives, inside
// the progress window's modal loop:
//
//   RunWithProgress(this, "Combinaison by mean", 0, FrameHeight, JobMean);
//
//   bool TMainForm::event(QEvent* e) {
//     if (e->type() == JobEventType(JobMean)) {
//       RunJob("Combinaison by mean", [&] {
//         for (int y = 0; y < FrameHeight && !CancelRequested; ++y) {
//           ... one row ...
//           JobStep(y + 1);         // moves the bar, pumps pending events
//         }
//       });                        // always ends with EndJob()
//       return true;
//     }
//     return QMainWindow::event(e);
//   }
//
// Core routines that take a cancel check and a progress callback get
// JobCancelCheck() and JobProgress().
#pragma once

#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

// The platform's first private message number; the job messages follow it.
inline constexpr int WmUser = 0x400;
inline constexpr int JobBatchSave = WmUser + 3;  // 1027, "Batch saving"
inline constexpr int JobMean = WmUser + 4;       // 1028, "Combinaison by mean"
inline constexpr int JobAutoFrame = WmUser + 5;  // 1029, "Auto framing(Simple)" / "Auto framing(Complex)"
inline constexpr int JobKappa = WmUser + 6;      // 1030, "Combinaison Kappa-Sigma"

// The event type that carries job message `message` (Qt's user event range
// starts at 1000, so 1027..1030 are ordinary custom event types).
inline QEvent::Type JobEventType(int message) { return static_cast<QEvent::Type>(message); }

// Modal results of the progress window.
inline constexpr int ProgressResultOk = 1;
inline constexpr int ProgressResultAbort = 3;

class TProgressForm : public QDialog {
  Q_OBJECT
 public:
  explicit TProgressForm(QWidget* parent = nullptr);

  // Caption, bar range and position 0; clears Cancelled, CancelRequested,
  // Started and the job.
  void Prepare(const QString& caption, int minimum, int maximum);
  // The object that gets the job event, and the job's message number (0 = none).
  void SetJob(QObject* window, int message);
  void SetPosition(int position);

  // The Cancel button (also Escape and the window manager's close): only asks
  // the job to stop; the job closes the window when it has stopped.
  void BitBtn1Click();
  // Ends the modal loop with OK and hides the window (the job's last step).
  void Finish();

  bool Cancelled() const { return Cancelled_; }
  bool Started() const { return Started_; }
  int JobMessage() const { return JobMessage_; }
  QObject* JobWindow() const { return JobWindow_; }

  QLabel* Label1 = nullptr;              // "process in progress ..."
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* BitBtn1 = nullptr;        // Cancel

 protected:
  void showEvent(QShowEvent* event) override;  // FormShow: posts the job event once
  void closeEvent(QCloseEvent* event) override;
  void reject() override;                      // Escape

 private:
  bool Cancelled_ = false;
  bool Started_ = false;
  int JobMessage_ = 0;
  QPointer<QObject> JobWindow_;
};

// True from a Cancel press until the next job starts; every job reads it.
extern bool CancelRequested;
// The progress window of the running job, or null.
extern TProgressForm* ProgressForm;

// Runs a job under a new modal progress window: the one way to start a job.
// `window` receives the job event (type JobEventType(message)); the call
// returns when the job has ended and the window is destroyed. Returns the
// window's modal result (ProgressResultOk once a job has finished it).
// Should the job event go unhandled, or its handler return without closing
// the window, the window is closed when the event has been delivered, so the
// program never hangs in it.
int RunWithProgress(QObject* window, const QString& caption, int minimum, int maximum, int message);
inline int RunWithProgress(QObject* window, const QString& caption, int maximum, int message) {
  return RunWithProgress(window, caption, 0, maximum, message);
}

// --- For job handlers --------------------------------------------------------
// After a step: moves the bar to `position` and processes pending events (where
// a Cancel press is seen). Returns false when the job must stop.
bool JobStep(int position);
// Processes pending events without moving the bar (e.g. inside a row).
void JobProcessEvents();
// The job's last step, whether it finished or stopped: the progress window gets
// the OK result and is hidden, then pending events run once more.
void EndJob();
// Runs `body` as a job: whatever it throws is caught here, the progress window
// is ended (EndJob) and the failure is told through Messages() with `caption`
// and the error's text (which names the file concerned). EndJob always runs.
// Returns false when body threw.
bool RunJob(const std::string& caption, const std::function<void()>& body);
// The cancel check and progress callback for core routines.
std::function<bool()> JobCancelCheck();
std::function<void(int)> JobProgress();
