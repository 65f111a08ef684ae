// Main window: a Kelvaron list handed over on the command line
// ("/KELVARON" followed by the list's path, kept in CommandLineParams).
#include "app/ui/MainForm.h"

void TMainForm::OpenFromCommandLine() {}
