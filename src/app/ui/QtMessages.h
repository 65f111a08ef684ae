// SPDX-License-Identifier: GPL-3.0-or-later
// The message service of the GUI program: every TMessages request becomes a
// modal QMessageBox with exactly the caption, text, icon and buttons asked for.
// Button words are fixed ("Yes", "No", "Abort", "All", "OK", "Cancel"), never
// translated, and appear in the order requested; the first is the default.
// Escape answers Cancel when the box has one, or the only button of a
// one-button box; otherwise Escape and the close box do nothing, as with the
// Windows message boxes. A box closed without a button answers None.
#pragma once

#include "platform/Messages.h"

class QMessageBox;
class QWidget;

class TQtMessages : public TMessages {
 public:
  TMsgButton Show(const TMessageRequest& request) override;

  // The box is made modal over the active modal window (a progress window,
  // a dialog) or else the active window.
  static QWidget* DefaultParent();
  // The word a button carries.
  static const char* ButtonText(TMsgButton button);
};

// Installs the Qt service as Messages() for the rest of the process (call once
// the QApplication exists). Returns the service that was installed before.
TMessages* InstallQtMessages();
