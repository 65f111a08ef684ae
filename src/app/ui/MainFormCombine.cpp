// The two combination commands: the kappa dialog, the jobs 1028 (mean) and
// 1030 (kappa-sigma) under the progress window, and the result window.
// What the jobs compute and report is RunCombination's (tools/CombineCommand.h).
#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "app/ui/ProgressForm.h"
#include "tools/CombineCommand.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/ShowBitmap.h"

void TMainForm::Action_MoyenneExecute() {
  if (!Sequence.FrameSizeSet) return;
  const TCombineJobSpec job = CombineJobSpec(TCombineMethod::Mean, Sequence.FrameHeight);
  RunWithProgress(this, QString::fromStdString(job.Caption), job.Minimum, job.Maximum, JobMean);
}

void TMainForm::Action_kappaExecute() {
  if (!Sequence.FrameSizeSet) return;
  TParamKappa dialog(this);
  dialog.UpDown1->setValue(KappaSpinStart(ParamGlob.kappa));
  const bool ok = AskKappa ? AskKappa(dialog) : dialog.exec() == QDialog::Accepted;
  if (!ok) return;
  KappaFactor = dialog.UpDown1->value();
  const TCombineJobSpec job = CombineJobSpec(TCombineMethod::KappaSigma, Sequence.FrameHeight);
  RunWithProgress(this, QString::fromStdString(job.Caption), job.Minimum, job.Maximum, JobKappa);
}

void TMainForm::CombineJob(bool kappa) {
  const TCombineMethod method = kappa ? TCombineMethod::KappaSigma : TCombineMethod::Mean;
  const int32_t current = Sequence.CurrentIndex;
  std::optional<TCombineResult> result;
  TCombineCallbacks callbacks;
  callbacks.Cancelled = JobCancelCheck();
  callbacks.Progress = JobProgress();
  RunJob(CombineJobSpec(method, Sequence.FrameHeight).Caption,
         [&] { result = RunCombination(Sequence, method, CurrentCombineParams(), callbacks); });
  Sequence.CurrentIndex = current;
  DrawCurrentFrame();
  if (!result || CancelRequested) return;  // cancelled: no result, no report, no message

  // The window owns the report; the result image lives until the window is gone.
  const std::unique_ptr<TFastDIB> image = std::move(result->Image);
  TShowBitmap window(this);
  window.Setup(image.get(), QString::fromStdString(Sequence.AviFileName), std::move(result->Report));
  window.setWindowTitle(QString::fromStdString(result->Caption));
  window.SaveSettings = {ParamGlob.Bitmap, ParamGlob.texte_avec_compositage, ParamGlob.FITS, ParamGlob.repertoire};
  window.FitsParameters = [&window](const TParamFITS& start) -> std::optional<TParamFITS> {
    ParamFits = start;
    TFormParamFits dialog(&window);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ParamFits;
  };
  if (ShowResult)
    ShowResult(window);
  else
    window.exec();
}
