// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Messages.h"

#include <cstdio>

namespace {
class TStderrMessages : public TMessages {
 public:
  TMsgButton Show(const TMessageRequest& r) override {
    std::fprintf(stderr, "%s: %s\n", r.Caption.c_str(), r.Text.c_str());
    return r.Buttons.empty() ? TMsgButton::None : r.Buttons.front();
  }
};

TStderrMessages gDefault;
TMessages* gCurrent = nullptr;
}  // namespace

TMessages& Messages() { return gCurrent ? *gCurrent : gDefault; }

TMessages* SetMessages(TMessages* service) {
  TMessages* old = gCurrent;
  gCurrent = service;
  return old;
}

TOverwritePolicy AskReplaceFile() {
  return TOverwritePolicy::Asking([](const std::string& path) {
    return Messages().Show({"Warning", "Replace file" + path, TMsgIcon::Warning, {TMsgButton::Yes, TMsgButton::No}}) ==
           TMsgButton::Yes;
  });
}
