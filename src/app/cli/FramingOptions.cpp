#include "app/cli/FramingOptions.h"

#include <charconv>
#include <cstdio>
#include <new>

#include "sequence/Sequence.h"

namespace cli {

bool ParseInt(const std::string& text, int32_t& value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && !text.empty();
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
  LireParamGlob();
  params = ParamGlob;
  sequence.Tolerance = params.tolerance;
  if (HasTolerance && !ParseInt(Tolerance, sequence.Tolerance)) {
    Error("--tolerance wants a whole number, not '" + Tolerance + "'");
    return false;
  }
  if (HasMargin && (!ParseInt(Margin, params.bordure) || params.bordure < 0)) {
    Error("--margin wants a whole number of 0 or more, not '" + Margin + "'");
    return false;
  }
  if (AutoTolerance) params.tolerance_automatique = true;
  if (Simple || Complex) {
    params.calcul_simple = Simple;
    params.calcul_complexe = Complex;
  }
  return true;
}

bool KeepingFrames(const TSequence& sequence, const std::function<void()>& job) {
  try {
    job();
    return true;
  } catch (const std::bad_alloc&) {
    Error("not enough memory to keep the frames of " + std::to_string(sequence.ImageList.Count()) + " images");
    return false;
  }
}

bool OpenVideo(TSequence& sequence, const std::string& path) {
  const TStatus opened = sequence.Open(path);
  if (!opened) {
    std::fprintf(stderr, "%s\n", opened.Message().c_str());
    return false;
  }
  if (const int skipped = sequence.Source()->Facts().SkippedEntries; skipped > 0)
    Error("warning: " + path + ": " + std::to_string(skipped) +
          (skipped == 1 ? " unusable index entry skipped" : " unusable index entries skipped"));
  return true;
}

}  // namespace cli
