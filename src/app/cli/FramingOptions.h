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

bool ParseInt(const std::string& text, int32_t& value);

struct TFramingOptions {
  static constexpr const char* kUsage =
      "[--ini PATH] [--tolerance T] [--auto-tolerance] [--simple|--complex] [--margin M]";

  // Removes the framing options from args.
  static TFramingOptions Take(TCliArgs& args);

  // Reads the settings file (the --ini one when given) into ParamGlob, then
  // applies the options to a copy of it and to the sequence's tolerance.
  // False after printing what is wrong with an option.
  bool Apply(TParamglob& params, TSequence& sequence) const;

  std::string Ini, Tolerance, Margin;
  bool HasIni = false, HasTolerance = false, HasMargin = false;
  bool AutoTolerance = false, Simple = false, Complex = false;
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
