// SPDX-License-Identifier: GPL-3.0-or-later
// Every message box and question of the program goes through TMessages, so the
// core never shows a window and tests can answer and check what was asked.
//
// Captions and texts are passed exactly as the user must see them; the buttons
// are offered in the order given and carry exactly the words Yes, No, Abort,
// All, OK, Cancel.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/Overwrite.h"

enum class TMsgButton { None, OK, Cancel, Yes, No, Abort, All };
enum class TMsgIcon { None, Information, Warning, Error, Question };

struct TMessageRequest {
  std::string Caption;
  std::string Text;
  TMsgIcon Icon = TMsgIcon::None;
  std::vector<TMsgButton> Buttons;
};

class TMessages {
 public:
  virtual ~TMessages() = default;
  // Shows the box and returns the button pressed; TMsgButton::None when the
  // box was closed without a button.
  virtual TMsgButton Show(const TMessageRequest& request) = 0;

  TMsgButton Ok(const std::string& caption, const std::string& text, TMsgIcon icon = TMsgIcon::None) {
    return Show({caption, text, icon, {TMsgButton::OK}});
  }
  TMsgButton YesNo(const std::string& caption, const std::string& text, TMsgIcon icon = TMsgIcon::Question) {
    return Show({caption, text, icon, {TMsgButton::Yes, TMsgButton::No}});
  }
  TMsgButton YesNoAbortAll(const std::string& caption, const std::string& text, TMsgIcon icon = TMsgIcon::Error) {
    return Show({caption, text, icon, {TMsgButton::Yes, TMsgButton::No, TMsgButton::Abort, TMsgButton::All}});
  }
};

// The process-wide message service. Until one is installed, messages go to
// standard error and every question is answered with its first button.
TMessages& Messages();
// Installs `service` (not owned; null restores the default). Returns the previous one.
TMessages* SetMessages(TMessages* service);

// A scripted service for tests and batch use: records every request and answers
// from a queue; when the queue is empty it answers `Fallback`.
class TScriptedMessages : public TMessages {
 public:
  std::vector<TMessageRequest> Asked;
  std::deque<TMsgButton> Answers;
  TMsgButton Fallback = TMsgButton::OK;

  TMsgButton Show(const TMessageRequest& request) override {
    Asked.push_back(request);
    if (Answers.empty()) return Fallback;
    TMsgButton a = Answers.front();
    Answers.pop_front();
    return a;
  }
};

// Installs a service for the lifetime of a scope.
class TMessagesScope {
 public:
  explicit TMessagesScope(TMessages& service) : Previous_(SetMessages(&service)) {}
  ~TMessagesScope() { SetMessages(Previous_); }
  TMessagesScope(const TMessagesScope&) = delete;
  TMessagesScope& operator=(const TMessagesScope&) = delete;

 private:
  TMessages* Previous_;
};

// The windows' policy for an existing FITS file: ask, through Messages(), the
// warning "Replace file" immediately followed by the full name, with Yes and
// No; only Yes replaces it.
TOverwritePolicy AskReplaceFile();
