// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/ProgressForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <exception>
#include <memory>

#include "platform/Messages.h"

bool CancelRequested = false;
TProgressForm* ProgressForm = nullptr;

namespace {
// The job event. Qt deletes a posted event once it has been delivered (or
// dropped with its receiver), that is right after the job handler returned:
// if the window that posted it is still up then, nobody is going to close it.
class TJobEvent : public QEvent {
 public:
  TJobEvent(int message, TProgressForm* form) : QEvent(JobEventType(message)), Form_(form) {}
  ~TJobEvent() override {
    if (Form_ && Form_->isVisible()) Form_->Finish();
  }

 private:
  QPointer<TProgressForm> Form_;
};
}  // namespace

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("ProgressForm");
  setModal(true);

  Label1 = new QLabel(tr("process in progress ..."), this);
  Label1->setObjectName("Label1");
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setMinimumWidth(217);
  ProgressBar1->setFixedHeight(16);
  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
  BitBtn1->setAccessibleName(QStringLiteral("Cancel"));
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, &TProgressForm::BitBtn1Click);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(7, 7, 7, 7);
  layout->addWidget(Label1);
  layout->addWidget(ProgressBar1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumSize(231, 80);
}

void TProgressForm::Prepare(const QString& caption, int minimum, int maximum) {
  setWindowTitle(caption);
  // An empty range (no image, no row) would turn the bar into a busy indicator.
  ProgressBar1->setRange(minimum, maximum > minimum ? maximum : minimum + 1);
  ProgressBar1->setValue(minimum);
  Cancelled_ = false;
  CancelRequested = false;
  Started_ = false;
  JobMessage_ = 0;
}

void TProgressForm::SetJob(QObject* window, int message) {
  JobWindow_ = window;
  JobMessage_ = message;
}

void TProgressForm::SetPosition(int position) {
  ProgressBar1->setValue(qBound(ProgressBar1->minimum(), position, ProgressBar1->maximum()));
}

void TProgressForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (JobMessage_ != 0 && !Started_) {
    // Posted, not sent: the job runs once the modal loop is running.
    if (JobWindow_) QCoreApplication::postEvent(JobWindow_, new TJobEvent(JobMessage_, this));
    Started_ = true;
    // Nothing to run the job: do not leave the window up for ever.
    if (!JobWindow_) QMetaObject::invokeMethod(this, &TProgressForm::Finish, Qt::QueuedConnection);
  }
}

void TProgressForm::BitBtn1Click() {
  CancelRequested = true;
  Cancelled_ = true;
  // The result is noted but the loop is not ended here: the job is still
  // running inside it and ends it itself once it has seen the flag.
  setResult(ProgressResultAbort);
}

void TProgressForm::reject() { BitBtn1Click(); }

void TProgressForm::closeEvent(QCloseEvent* event) {
  // There is no close box; a close asked by the window manager all the same
  // counts as Cancel.
  event->ignore();
  BitBtn1Click();
}

void TProgressForm::Finish() { done(ProgressResultOk); }

int RunWithProgress(QObject* window, const QString& caption, int minimum, int maximum, int message) {
  CancelRequested = false;
  // The window is placed over the main window but owned here: it lives for
  // this one job.
  QWidget* over = qobject_cast<QWidget*>(window);
  auto form = std::make_unique<TProgressForm>(over ? over->window() : nullptr);
  ProgressForm = form.get();
  form->Prepare(caption, minimum, maximum);
  form->SetJob(window, message);
  const int result = form->exec();
  ProgressForm = nullptr;
  form.reset();
  return result;
}

void JobProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool JobStep(int position) {
  if (ProgressForm) ProgressForm->SetPosition(position);
  JobProcessEvents();
  return !CancelRequested;
}

void EndJob() {
  if (ProgressForm) ProgressForm->Finish();
  JobProcessEvents();
}

bool RunJob(const std::string& caption, const std::function<void()>& body) {
  std::string failure;
  try {
    body();
  } catch (const std::exception& e) {
    failure = e.what();
    if (failure.empty()) failure = "Unexpected error";
  } catch (...) {
    failure = "Unexpected error";
  }
  EndJob();
  // Told once the progress window is gone, so the box is not hidden under it.
  if (!failure.empty()) Messages().Ok(caption, failure, TMsgIcon::Error);
  return failure.empty();
}

std::function<bool()> JobCancelCheck() {
  return [] { return CancelRequested; };
}

std::function<void(int)> JobProgress() {
  return [](int position) { JobStep(position); };
}
