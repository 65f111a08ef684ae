// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the two combination commands: the kappa dialog before
// the kappa-sigma job, and the result window that shows a finished
// combination. The jobs themselves are TMainController's (StartMean,
// StartKappa, CombineJob).
#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "tools/CombineCommand.h"
#include "tools/ui/ParamKappa.h"
#include "tools/ui/ShowBitmap.h"

void TMainForm::Action_kappaExecute() {
  TParamKappa dialog(this);
  dialog.UpDown1->setValue(KappaSpinStart(ParamGlob.kappa));
  const bool ok = AskKappa ? AskKappa(dialog) : dialog.exec() == QDialog::Accepted;
  if (ok) Controller_.StartKappa(dialog.UpDown1->value());
}

void TMainForm::ShowCombinationResult(TCombineResult& result) {
  // The window owns the report; the result image lives until the window is gone.
  const std::unique_ptr<TFastDIB> image = std::move(result.Image);
  const std::unique_ptr<TFullDepthImage> full = std::move(result.Full);
  TShowBitmap window(this);
  window.Setup(image.get(), QString::fromStdString(Controller_.Sequence().AviFileName), std::move(result.Report));
  window.State.SetFullDepth(full.get());
  window.setWindowTitle(QString::fromStdString(result.Caption));
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
