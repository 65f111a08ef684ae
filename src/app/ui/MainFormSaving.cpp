// Main window: "Save image" and "Batch saving ...".
//
// The rules (names, numbers, which images, what each answer does) are the
// saving core's (output/Saving.h); these handlers feed it the window's working
// values and the settings, ask its questions through the message interface,
// and keep the display and the next-number label in step.
#include <QApplication>

#include <string>

#include "app/ParamGlob.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "app/ui/ParamLot.h"
#include "app/ui/ProgressForm.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"

namespace {
constexpr const char* kBatchCaption = "Batch saving";
}  // namespace

void TMainForm::Action_enregistrerExecute() {
  if (!Sequence.CurrentImage) return;
  TMessageSaveQuestions questions;
  const TSaveOutcome outcome = SaveSingleImage(*Sequence.CurrentImage, SaveDirectory, SaveBaseName, SaveNumber,
                                               ParamGlob, ParamGlob.FITS, questions);
  // One beep for each format step that ran to its end (BMP, then FITS).
  for (int i = 0; i < outcome.Beeps; ++i) {
    if (Beep) Beep();
    else QApplication::beep();
  }
  RefreshWindowState();
  if (!outcome.Status) Messages().Ok("Save image", outcome.Status.Message(), TMsgIcon::Error);
}

void TMainForm::Action_enregistrer_lotExecute() {
  if (!Sequence.SequenceOpen) return;
  {
    TParamLot dialog(this);
    dialog.Fill(SaveDirectory, SaveBaseName, SaveNumber);
    if (dialog.exec() != QDialog::Accepted) return;
    LotParams = dialog.Params();
  }
  RunWithProgress(this, QString::fromLatin1(kBatchCaption), 0, Sequence.ImageCount, JobBatchSave);
}

void TMainForm::BatchSave() {
  // FITS texts and depth for this batch only: the settings', or what the FITS
  // parameters dialog confirms now.
  TParamFITS fits = ParamGlob.FITS;
  if (ParamGlob.Fits) {
    ParamFits = ParamGlob.FITS;
    TFormParamFits dialog(ProgressForm ? static_cast<QWidget*>(ProgressForm) : this);
    if (dialog.exec() == QDialog::Accepted) fits = ParamFits;
    else ParamFits = ParamGlob.FITS;
  }
  const int32_t remembered = Sequence.CurrentIndex;
  TMessageSaveQuestions questions;
  TBatchSaveHooks hooks;
  hooks.Cancelled = JobCancelCheck();
  hooks.Progress = JobProgress();
  TBatchSaveOutcome outcome;
  RunJob(kBatchCaption, [&] {
    outcome = SaveBatch(Sequence, LotParams, SaveNumber, ParamGlob, fits, questions, hooks);
    if (outcome.Aborted) CancelRequested = true;
  });
  // The progress window is closed: the window shows the last image read.
  if (Sequence.CurrentIndex != remembered) {
    RestoreDisplayedImage();
    ShowCurrentImage();
  }
  RefreshWindowState();
  if (!outcome.Status) Messages().Ok(kBatchCaption, outcome.Status.Message(), TMsgIcon::Error);
}
