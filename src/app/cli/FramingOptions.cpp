#include "app/cli/FramingOptions.h"

#include <cstdio>

#include "framing/Surface.h"
#include "platform/VideoFile.h"
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
  CLI::Option* surface =
      app.add_flag("--surface", Surface, "surface framing (Moon, Sun): track the --region of the reference image");
  CLI::Option* region = app.add_option("--region", Region, "L,T,R,B: the region to track, pixels, bounds inclusive")
                            ->delimiter(',')
                            ->expected(4)
                            ->check(CLI::Range(0, 32767));
  surface->needs(region);
  region->needs(surface);
  app.add_option("--reference", Reference, "image holding the region, from 1 (default 1)")
      ->check(range::kImageIndex.Check())
      ->needs(surface);
  app.add_flag("--subpixel", SubPixel, "surface framing to a fraction of a pixel")->needs(surface);
}

bool TFramingOptions::Run(TSequence& sequence, const TParamglob& params, const TAutoFrameHooks& hooks,
                          TAutoFrameResult& result) const {
  if (!Surface) {
    result = AutoFrameAll(sequence, AutoFrameOptionsOf(params), hooks);
    return true;
  }
  TSurfaceOptions o;
  o.Region = {Region[0], Region[1], Region[2], Region[3]};
  o.Reference = Reference - 1;
  o.bordure = params.bordure;
  o.SubPixel = SubPixel;
  if (o.Region.Right < o.Region.Left || o.Region.Bottom < o.Region.Top) {
    ArgumentError("--region: right and bottom must not be less than left and top");
    return false;
  }
  TSurfaceResult r = TrackSurface(sequence, o, hooks);
  if (!r.Error.empty()) {
    ArgumentError(r.Error);
    return false;
  }
  result = std::move(r);
  return true;
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
  if (sequence.OpenAvi(path)) return true;
  std::fprintf(stderr, "%sis not a valid AVI file.\n", path.c_str());
  return false;
}

}  // namespace cli
