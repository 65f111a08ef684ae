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
// A whole number within `range` (the Parameters dialog's ranges); otherwise
// prints "<option> wants a whole number from MIN to MAX, not '<text>'".
bool ParseInRange(const std::string& text, const TParamRange& range, const char* option, int32_t& value);

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

// The video-file service for the life of a command.
struct TVideoService {
  TVideoService();
  ~TVideoService();
  TVideoService(const TVideoService&) = delete;
  TVideoService& operator=(const TVideoService&) = delete;
};

// Opens FILE as the sequence; otherwise prints the path immediately followed
// by "is not a valid AVI file." on standard error and returns false.
bool OpenVideo(TSequence& sequence, const std::string& path);

}  // namespace cli
