// SPDX-License-Identifier: GPL-3.0-or-later
#include "browse/ListCommands.h"

#include <memory>

#include "sequence/BmpInfo.h"
#include "sequence/KelvaronList.h"

TListOpened LoadKelvaronList(TSequence& sequence, const std::string& path, const std::string& appTitle,
                             TMessages& messages) {
  TKelvaronResult read = ReadKelvaronList(path, [&messages](const std::string& text) {
    return messages.Show({"Error", text, TMsgIcon::Error, {TMsgButton::Yes, TMsgButton::Abort, TMsgButton::All}});
  });
  if (!read.Status) {
    messages.Ok("Error", read.Status.Message(), TMsgIcon::Error);
    return {};
  }
  if (read.Aborted) return {};
  if (read.Truncated) messages.Ok("Error", KelvaronTruncatedText(path), TMsgIcon::Warning);
  sequence.BuildBmpSequence(std::move(read.Entries));
  return {true, KelvaronCaption(appTitle, path)};
}

TListOpened OpenFromCommandLine(TSequence& sequence, const std::vector<std::string>& params,
                                const std::string& appTitle, TMessages& messages) {
  const TKelvaronCommandLine cmd = ParseKelvaronCommandLine(params);
  if (!cmd.Requested) return {};
  if (!cmd.Status) {
    messages.Ok("Error", cmd.Status.Message(), TMsgIcon::Error);
    return {};
  }
  sequence.Close();
  sequence.AviFileName = cmd.Name;
  return LoadKelvaronList(sequence, cmd.Name, appTitle, messages);
}

TListOpened OpenBmpSelection(TSequence& sequence, const TBmpEntryList* selection, const std::string& appTitle) {
  sequence.Close();
  auto entries = std::make_unique<TBmpEntryList>();
  if (selection) CopyBmpList(*selection, *entries);
  sequence.BuildBmpSequence(std::move(entries));
  sequence.AviFileName.clear();
  return {true, appTitle + " - Séquence fichier BMP"};
}
