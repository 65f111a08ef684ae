// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: the dialogs of saving. The saving itself is the controller's
// (TMainController::Save, StartBatchSave and its job, over app/Saving.h).
#include <QApplication>

#include "app/ParamGlob.h"
#include "app/ui/FormParamFits.h"
#include "app/ui/MainForm.h"
#include "app/ui/ParamLot.h"
#include "app/ui/ProgressForm.h"

void TMainForm::Action_enregistrer_lotExecute() {
  TMainController& c = Controller_;
  if (!c.Sequence().SequenceOpen) return;
  TLotParams choices;
  {
    TParamLot dialog(this);
    dialog.Fill(c.SaveDirectory, c.SaveBaseName, c.SaveNumber);
    if (dialog.exec() != QDialog::Accepted) return;
    choices = dialog.Params();
  }
  c.StartBatchSave(choices);
}

void TMainForm::ConnectSaving() {
  Controller_.Beep = [] { QApplication::beep(); };
  // The FITS parameters dialog edits ParamFits; what it confirms applies to
  // this batch only.
  Controller_.ChooseBatchFits = [this](TParamFITS& fits) {
    ParamFits = fits;
    TFormParamFits dialog(ProgressForm ? static_cast<QWidget*>(ProgressForm) : this);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    if (confirmed) fits = ParamFits;
    ParamFits = ParamGlob.FITS;
    return confirmed;
  };
}
