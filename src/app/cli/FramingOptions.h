// The options that `frame` and `stack` share: where the settings come from and
// how the automatic framing runs.
#pragma once

#include <cstdint>
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
bool OpenVideo(TSequence& sequence, const std::string& path);

}  // namespace cli
