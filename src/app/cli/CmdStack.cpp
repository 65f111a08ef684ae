// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli stack: automatic framing of every image of an AVI video, then the
// combination of every framed image, written as BMP (OUT ending in .bmp) or
// FITS (OUT ending in .fit, either case), with the combination report beside
// it on request (OUT less its extension + ".txt").
//
// Lucky imaging: --best P keeps only the P percent sharpest framed images (at
// least one); --align subpixel resamples every frame onto the mean of the
// sharpest ones to a fraction of a pixel before the combination (--align frame,
// the default unless the settings file asks otherwise, combines the frames as
// framed); with --surface it follows the region to a fraction of a pixel
// instead, and the frames are combined as cut (as --subpixel does); --full-depth writes the unrounded result to FITS, as 32-bit floats
// or, with --fits-bits 16, as 16-bit integers scaled to 0..65535.
//
// Settings come from the settings file (--ini PATH picks it); the options
// override them for this run only. An existing output file is replaced, unless
// --no-clobber is given: then the run refuses before any work (exit status 1).
//
// A progress bar shows on standard error when it is a terminal (not with --quiet).
// Printed on standard output:
//   framed: F of M          images framed by automatic framing, of all images
//   combined: N             images that took part
//   best: K of F            with --best: the K sharpest of the F framed images are kept
//   left-out: L             ticked, framed images whose frame has another size (only when L > 0)
//   written: PATH           one line per image file written
//   report: PATH            with --report
//
// Exit status: 0 done; 1 a file could not be written, or not enough memory;
// 2 bad arguments, or FILE is not a valid AVI file; 3 no image takes part in
// the combination (nothing is written, standard error says why).

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "app/cli/Progress.h"
#include "combine/Combine.h"
#include "combine/Report.h"
#include "framing/AutoFrame.h"
#include "framing/Frame.h"
#include "lucky/Lucky.h"
#include "output/Fits.h"
#include "sequence/Sequence.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct TStackArgs {
  std::vector<std::string> Files;
  std::string Out, Method = "mean", Align = "frame";
  int32_t Kappa = 0, Bits = 8, Best = 100;
  bool RejectMean = false, Split = false, Report = false, Quiet = false, FullDepth = false;
  const CLI::Option *KappaOption = nullptr, *BitsOption = nullptr, *BestOption = nullptr, *AlignOption = nullptr;
  cli::TFramingOptions Framing;
  cli::TNoClobber NoClobber;
};

int RunStack(const TStackArgs& args) {
  const std::string& out = args.Out;
  TParamglob params;
  TSequence sequence;
  args.Framing.Apply(params, sequence);
  if (args.KappaOption->count() > 0) params.kappa = args.Kappa;
  if (args.RejectMean) params.rejet_kappa = true;
  if (args.BitsOption->count() > 0) {
    params.FITS.Bits8 = args.Bits == 8;
    params.FITS.Bits16 = args.Bits == 16;
  }
  if (args.Split) {
    params.FITS.SepRVB = true;
    params.FITS.MoyRVB = false;
  }
  if (args.AlignOption->count() > 0) params.alignement_subpixel = args.Align == "subpixel";
  if (args.FullDepth) params.FITS.PleineProfondeur = true;
  const bool toBmp = Lower(std::filesystem::path(out).extension().string()) == ".bmp";
  if (args.FullDepth && toBmp) return cli::ArgumentError("--full-depth needs a FITS output (.fit)");
  const bool fullDepth = !toBmp && params.FITS.PleineProfondeur;
  // Every file this run would write, checked before any work is done.
  const std::string base = out.substr(0, out.size() - 4);
  const std::string report = args.Report ? ReportFileName(out) : std::string();
  const bool split = !toBmp && params.FITS.SepRVB;
  std::vector<std::string> outputs = split ? std::vector<std::string>{base + "R.fit", base + "V.fit", base + "B.fit"}
                                           : std::vector<std::string>{out};
  if (args.Report) outputs.push_back(report);
  if (!args.NoClobber.Allows(outputs)) return cli::kNotReplaced;

  if (!cli::OpenVideo(sequence, args.Files)) return 2;
  const int total = sequence.ImageList.Count();
  TAutoFrameResult framing;
  {
    cli::TProgressBar bar("framing", total, args.Quiet);
    TAutoFrameHooks hooks;
    hooks.Progress = [&bar](int32_t done) { bar.Update(done); };
    bool ran = true;
    if (!cli::KeepingFrames(sequence, [&] { ran = args.Framing.Run(sequence, params, hooks, framing); })) return 1;
    if (!ran) return cli::kArgumentError;
  }
  if (!framing.NoRoom.empty()) {
    cli::Error(framing.NoRoom);
    return 1;
  }
  std::printf("framed: %d of %d\n", total - int(framing.Problems.size()), total);
  if (args.BestOption->count() > 0) {
    const TScores scores = ScoreSequence(sequence);
    const std::vector<int> best = BestImages(scores, args.Best);
    TickBest(sequence, best);
    std::printf("best: %d of %d\n", int(best.size()), int(std::count_if(scores.begin(), scores.end(), [](auto& s) {
                  return s.has_value();
                })));
  }

  TCombineParams cp = CombineParamsOf(params, params.kappa);
  cp.FullDepth = fullDepth;
  const bool kappa = args.Method == "kappa";
  TCombineOutcome result;
  {
    const int rows = sequence.FrameSizeSet ? FrameOuterHeight(sequence, params.bordure) : 0;
    cli::TProgressBar bar("combining", rows, args.Quiet, "rows");
    TCombineCallbacks callbacks;
    callbacks.Progress = [&bar](int position) { bar.Update(position); };
    if (!cli::KeepingFrames(sequence, [&] {
          result = CombineLucky(sequence, cp, kappa, CombineAlignsOf(params), callbacks);
        }))
      return 1;
  }
  if (!result.Image) {
    cli::Error("the combination was stopped");
    return 1;
  }
  std::printf("combined: %d\n", result.Count());
  if (!result.WrongSize.empty()) std::printf("left-out: %d\n", int(result.WrongSize.size()));
  if (result.Count() == 0) {
    const int framed = total - int(framing.Problems.size());
    if (total == 0) cli::Error(args.Files[0] + " has no images: nothing written");
    else if (framed == 0) cli::Error("no image of " + args.Files[0] + " could be framed: nothing written");
    else cli::Error("no framed image has the frame size of the first: nothing written");
    return 3;
  }

  std::vector<std::string> written;
  TStatus saved;
  if (toBmp) {
    saved = result.Image->SaveToFile(out);
    written.push_back(out);
  } else {
    TFitsOptions fits;
    fits.Fits = params.FITS;
    fits.Overwrite = args.NoClobber.Policy();
    if (fullDepth && result.Full) {
      const TFitsDepth depth = FitsDepthOf(params.FITS);
      saved = split ? EcrireFitsRVBFull(base, "", *result.Full, depth, fits)
                    : EcrireFitsFull(out, "", kFitsMean, *result.Full, depth, fits);
      if (split)
        for (const char* c : {"R", "V", "B"}) written.push_back(base + c + ".fit");
      else
        written.push_back(out);
    } else if (split) {
      // As the result window does: jup.fit gives jupR.fit, jupV.fit, jupB.fit.
      saved = EcrireFitsRVB(base, "", *result.Image, fits);
      for (const char* c : {"R", "V", "B"}) written.push_back(base + c + ".fit");
    } else {
      saved = EcrireFits(out, "", kFitsMean, *result.Image, fits);
      written.push_back(out);
    }
  }
  if (!saved) {
    cli::Error(saved.Message());
    return 1;
  }
  for (const std::string& w : written) std::printf("written: %s\n", w.c_str());

  if (args.Report) {
    TCombinationReportFacts facts;
    facts.Title = kappa ? kReportTitleKappa : kReportTitleMean;
    if (kappa) facts.Kappa = params.kappa;
    facts.UsedImages.assign(result.Used.begin(), result.Used.end());
    facts.LeftOutImages.assign(result.WrongSize.begin(), result.WrongSize.end());
    const std::string& path = report;
    if (const TStatus s = SaveReportLines(BuildCombinationReport(sequence, facts), path); !s) {
      cli::Error(s.Message());
      return 1;
    }
    std::printf("report: %s\n", path.c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// OUT ends in .bmp or .fit, either case.
std::string CheckOutputName(const std::string& out) {
  const std::string ext = Lower(std::filesystem::path(out).extension().string());
  return ext == ".bmp" || ext == ".fit" ? std::string() : "OUT must end in .bmp or .fit, not '" + out + "'";
}

const TCliCommand kStack("stack", "frame every image of a video or an image list and combine them into one image",
                         [](CLI::App& app) -> TCliRun {
  auto args = std::make_shared<TStackArgs>();
  cli::AddSequenceFiles(app, args->Files);
  app.add_option("-o,--output", args->Out, "result file, .bmp or .fit")
      ->required()
      ->check(CLI::Validator(CheckOutputName, ""));
  app.add_option("--method", args->Method, "combination: mean or kappa (kappa-sigma)")
      ->capture_default_str()
      ->check(CLI::IsMember({"mean", "kappa"}));
  args->KappaOption =
      app.add_option("--kappa", args->Kappa, "kappa-sigma elimination factor")->check(cli::range::kKappa.Check());
  app.add_flag("--reject-mean", args->RejectMean, "all colours of a pixel rejected: their mean instead of black");
  args->BitsOption =
      app.add_option("--fits-bits", args->Bits, "bits per FITS pixel: 8 or 16")->check(CLI::IsMember({8, 16}));
  app.add_flag("--fits-split", args->Split, "one FITS file per colour component (OUTR, OUTV, OUTB)");
  args->BestOption = app.add_option("--best", args->Best, "keep only the P percent sharpest framed images (1-100)")
                         ->check(CLI::Range(1, 100));
  args->AlignOption = app.add_option("--align", args->Align,
                                     "frame: combine as framed; subpixel: align to a fraction of a pixel first "
                                     "(with --surface: follow the region to a fraction of a pixel)")
                          ->check(CLI::IsMember({"frame", "subpixel"}));
  app.add_flag("--full-depth", args->FullDepth,
               "FITS result unrounded: 32-bit floats, or 16-bit scaled to 0..65535 with --fits-bits 16");
  app.add_flag("--report", args->Report, "write the combination report beside OUT (.txt)");
  args->Framing.Add(app);
  cli::TProgressBar::AddQuietOption(app, args->Quiet);
  args->NoClobber.Add(app);
  return [args] { return RunStack(*args); };
});

}  // namespace
