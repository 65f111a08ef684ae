#include "app/cli/FramingOptions.h"

#include <cstdio>
#include <new>

#include "sequence/Sequence.h"

namespace cli {

void TFramingOptions::Add(CLI::App& app) {
  IniOption = app.add_option("--ini", Ini, "settings file to read instead of stellon.ini");
  ToleranceOption = app.add_option("--tolerance", Tolerance, "brightness threshold of the object")
                        ->check(range::kTolerance.Check());
  app.add_flag("--auto-tolerance", AutoTolerance, "threshold chosen for each image");
  CLI::Option* simple = app.add_flag("--simple", Simple, "simple image mode");
  app.add_flag("--complex", Complex, "complex image mode: contrast, gamma and blur before detection")
      ->excludes(simple);
  MarginOption = app.add_option("--margin", Margin, "margin round the object, pixels")->check(range::kMargin.Check());
}

void TFramingOptions::Apply(TParamglob& params, TSequence& sequence) const {
  if (IniOption->count() > 0) SetIniPath(Ini);
  // A settings file that cannot be used is told, and the defaults serve.
  if (const TStatus s = LireParamGlob(); !s) Error(s.Message() + "; using the default settings");
  params = ParamGlob;
  sequence.Tolerance = ToleranceOption->count() > 0 ? Tolerance : params.tolerance;
  if (MarginOption->count() > 0) params.bordure = Margin;
  if (AutoTolerance) params.tolerance_automatique = true;
  if (Simple || Complex) {
    params.calcul_simple = Simple;
    params.calcul_complexe = Complex;
  }
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
