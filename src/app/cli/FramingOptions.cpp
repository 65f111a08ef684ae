#include "app/cli/FramingOptions.h"

#include <charconv>
#include <cstdio>

#include "platform/VideoFile.h"
#include "sequence/Sequence.h"

namespace cli {

bool ParseInt(const std::string& text, int32_t& value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && !text.empty();
}

bool ParseInRange(const std::string& text, const TParamRange& range, const char* option, int32_t& value) {
  int32_t v = 0;
  if (!ParseInt(text, v) || !range.Contains(v)) {
    Error(std::string(option) + " wants a whole number from " + std::to_string(range.Min) + " to " +
          std::to_string(range.Max) + ", not '" + text + "'");
    return false;
  }
  value = v;
  return true;
}

TFramingOptions TFramingOptions::Take(TCliArgs& args) {
  TFramingOptions o;
  o.HasIni = TakeOption(args, "--ini", o.Ini);
  o.HasTolerance = TakeOption(args, "--tolerance", o.Tolerance);
  o.HasMargin = TakeOption(args, "--margin", o.Margin);
  o.AutoTolerance = TakeFlag(args, "--auto-tolerance");
  o.Simple = TakeFlag(args, "--simple");
  o.Complex = TakeFlag(args, "--complex");
  return o;
}

bool TFramingOptions::Apply(TParamglob& params, TSequence& sequence) const {
  if (Simple && Complex) {
    Error("--simple and --complex exclude each other");
    return false;
  }
  if (HasIni) SetIniPath(Ini);
  // A settings file that cannot be used is told, and the defaults serve.
  if (const TStatus s = LireParamGlob(); !s) Error(s.Message() + "; using the default settings");
  params = ParamGlob;
  sequence.Tolerance = params.tolerance;
  if (HasTolerance && !ParseInRange(Tolerance, kToleranceRange, "--tolerance", sequence.Tolerance)) return false;
  if (HasMargin && !ParseInRange(Margin, kBordureRange, "--margin", params.bordure)) return false;
  if (AutoTolerance) params.tolerance_automatique = true;
  if (Simple || Complex) {
    params.calcul_simple = Simple;
    params.calcul_complexe = Complex;
  }
  return true;
}

TVideoService::TVideoService() { AVIFileInit(); }
TVideoService::~TVideoService() { AVIFileExit(); }

bool OpenVideo(TSequence& sequence, const std::string& path) {
  if (sequence.OpenAvi(path)) return true;
  std::fprintf(stderr, "%sis not a valid AVI file.\n", path.c_str());
  return false;
}

}  // namespace cli
