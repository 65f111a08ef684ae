// The options that `frame` and `stack` share: where the settings come from and
// how the automatic framing runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"

class TSequence;

namespace cli {

struct TFramingOptions {
  // Declares --ini, --tolerance, --auto-tolerance, --simple, --complex and --margin.
  void Add(CLI::App& app);

  // Reads the settings file (the --ini one when given) into ParamGlob, then
  // applies the options given to a copy of it and to the sequence's tolerance.
  void Apply(TParamglob& params, TSequence& sequence) const;

  std::string Ini;
  int32_t Tolerance = 0, Margin = 0;
  bool AutoTolerance = false, Simple = false, Complex = false;
  const CLI::Option *IniOption = nullptr, *ToleranceOption = nullptr, *MarginOption = nullptr;
};

// Opens FILE as the sequence; otherwise prints why on standard error (the
// path immediately followed by "is not a valid AVI file.") and returns false.
// Index entries of a damaged file that were left out are told on standard
// error ("stellon-cli: warning: FILE: 2 unusable index entries skipped").
bool OpenVideo(TSequence& sequence, const std::string& path);

// Runs a job that keeps the frames of the sequence's images (framing,
// combination). When memory runs out, prints "not enough memory to keep the
// frames of N images" and returns false.
bool KeepingFrames(const TSequence& sequence, const std::function<void()>& job);

}  // namespace cli
