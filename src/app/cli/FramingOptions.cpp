// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/FramingOptions.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <filesystem>
#include <memory>

#include "framing/Surface.h"
#include "sequence/BmpInfo.h"
#include "sequence/KelvaronList.h"
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
  MemoryBudgetOption =
      app.add_option("--memory-budget", MemoryBudget,
                     "MB of memory the frame copies may take before the rest go to a temporary file "
                     "(0: all in memory; default: the settings, else half of the physical memory)")
          ->check(CLI::Range(0, kMemoireRange.Max));
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
  // As the window runs it; --subpixel asks for the fraction of a pixel
  // whatever the sub-pixel alignment setting.
  TSurfaceOptions o = SurfaceOptionsOf(params, {Region[0], Region[1], Region[2], Region[3]}, Reference - 1);
  o.SubPixel = o.SubPixel || SubPixel;
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
  // The framing mode is the command line's alone: --surface needs a --region.
  params.cadrage_surface = Surface;
  sequence.Tolerance = ToleranceOption->count() > 0 ? Tolerance : params.tolerance;
  if (MarginOption->count() > 0) params.bordure = Margin;
  if (MemoryBudgetOption->count() > 0) params.memoire_copies_mo = MemoryBudget;
  ApplyFrameMemoryBudget(params);
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

namespace {
bool EndsWithNoCase(const std::string& name, const char* ext) {
  const size_t n = std::strlen(ext);
  if (name.size() <= n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != ext[i]) return false;
  return true;
}
}  // namespace

CLI::Option* AddSequenceFiles(CLI::App& app, std::vector<std::string>& files) {
  return app.add_option("FILE", files, kSequenceFiles)->required();
}

bool OpenVideo(TSequence& sequence, const std::vector<std::string>& files) {
  sequence.Close();
  if (files.size() == 1 && EndsWithNoCase(files[0], ".lst")) {
    const std::string& path = files[0];
    TKelvaronResult read = ReadKelvaronList(path, [](const std::string& text) {
      // A script cannot be asked: the file is skipped, and told.
      std::string line = text.substr(0, text.find('\n'));
      std::fprintf(stderr, "stellon-cli: %s (skipped)\n", line.c_str());
      return TMsgButton::Yes;
    });
    if (!read.Status) {
      std::string message = read.Status.Message();
      for (char& c : message)
        if (c == '\n') c = ' ';
      Error(message);
      return false;
    }
    if (read.Truncated) Error(KelvaronTruncatedText(path));
    sequence.AviFileName = path;
    sequence.BuildBmpSequence(std::move(read.Entries));
    if (!sequence.SequenceOpen) Error(path + ": no listed image file exists");
    return sequence.SequenceOpen;
  }
  if (files.size() > 1 || EndsWithNoCase(files[0], ".bmp")) {
    auto entries = std::make_unique<TBmpEntryList>();
    for (const std::string& file : files) {
      TBmpInfo info;
      if (!ReadBmpFileInfo(file, info) || info.BitCount == -1) {
        Error(file + ": not a readable BMP file");
        return false;
      }
      const std::filesystem::path p(file);
      const std::string dir = p.has_parent_path() ? p.parent_path().string() : std::string(".");
      const std::string name = p.filename().string();
      entries->Add(name, MakeBmpEntry(name, dir, info));
    }
    sequence.BuildBmpSequence(std::move(entries));
    return sequence.SequenceOpen;
  }
  const TStatus opened = sequence.Open(files[0]);
  if (!opened) {
    std::fprintf(stderr, "%s\n", opened.Message().c_str());
    return false;
  }
  if (const int skipped = sequence.Source()->Facts().SkippedEntries; skipped > 0)
    Error("warning: " + files[0] + ": " + std::to_string(skipped) +
          (skipped == 1 ? " unusable index entry skipped" : " unusable index entries skipped"));
  return true;
}

}  // namespace cli
