#include "app/cli/FramingOptions.h"

#include <cstdio>

#include "platform/VideoFile.h"
#include "sequence/Sequence.h"
#include "sources/CaptureSource.h"

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

TVideoService::TVideoService() { AVIFileInit(); }
TVideoService::~TVideoService() { AVIFileExit(); }

bool OpenVideo(TSequence& sequence, const std::string& path) {
  // Captures known by their extension go to their readers, which say what is
  // wrong; any other file is an AVI first, then whatever FFmpeg can read, and
  // the AVI answer when neither takes it.
  if (IsCapturePath(path)) {
    const TStatus opened = sequence.OpenCapture(path);
    if (!opened) Error(opened.Message());
    return opened.ok();
  }
  if (sequence.OpenAvi(path)) return true;
  if (!IsAviPath(path) && sequence.OpenCapture(path).ok()) return true;
  std::fprintf(stderr, "%sis not a valid AVI file.\n", path.c_str());
  return false;
}

}  // namespace cli
