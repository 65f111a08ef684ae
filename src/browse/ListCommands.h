// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's list commands without Qt: opening a Kelvaron list (from
// the menu or the command line) and opening the BMP list dialog's selection.
// Messages go through the TMessages given; the window then sets the caption
// and shows the sequence.
#pragma once

#include <string>
#include <vector>

#include "platform/Messages.h"
#include "sequence/BmpList.h"
#include "sequence/Sequence.h"

struct TListOpened {
  bool SetCaption = false;  // the window caption becomes Caption
  std::string Caption;
};

// Reads the Kelvaron list `path` into `sequence` (which the caller has closed
// and whose AviFileName the caller has set): missing files are asked about
// (Yes / Abort / All), failures told. The sequence opens when at least one
// listed file exists.
TListOpened LoadKelvaronList(TSequence& sequence, const std::string& path, const std::string& appTitle,
                             TMessages& messages);

// "/KELVARON LIST.LST" among the program's parameters: opens the list, or
// tells that the name is not a Kelvaron file. Nothing for other parameters.
TListOpened OpenFromCommandLine(TSequence& sequence, const std::vector<std::string>& params,
                                const std::string& appTitle, TMessages& messages);

// OK in the BMP list dialog: the sequence is closed and rebuilt from a copy
// of `selection` (nothing opens for an empty selection); the caption always
// changes to "<title> - Séquence fichier BMP".
TListOpened OpenBmpSelection(TSequence& sequence, const TBmpEntryList* selection, const std::string& appTitle);
