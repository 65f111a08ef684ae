// The options that `frame` and `stack` share: where the settings come from and
// how the automatic framing runs.
#pragma once

#include <cstdint>
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

// The video-file service for the life of a command.
struct TVideoService {
  TVideoService();
  ~TVideoService();
  TVideoService(const TVideoService&) = delete;
  TVideoService& operator=(const TVideoService&) = delete;
};

// Opens FILE as the sequence: an AVI video, or another capture (SER, MP4,
// MKV, MOV, WebM). Otherwise prints the path immediately followed by "is not
// a valid AVI file." (for an AVI), or what is wrong with the file, on
// standard error and returns false.
bool OpenVideo(TSequence& sequence, const std::string& path);

}  // namespace cli
