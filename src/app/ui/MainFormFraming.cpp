// Main window: the frame commands and the frame controls of GroupCadre.
#include "app/ui/MainForm.h"

void TMainForm::Action_CadreExecute() {}

void TMainForm::Action_suppression_cadreExecute() {}

void TMainForm::Action_Supprimer_ts_cadreExecute() {}

void TMainForm::Action_cadre_automatiqueExecute() {}

void TMainForm::CheckcadreClick() {}

void TMainForm::EditTolerance1Change() {}

void TMainForm::UpDown1Click() {}

void TMainForm::AutoFrameAll() {}

bool TMainForm::RebuildFrameMargins() { return true; }
