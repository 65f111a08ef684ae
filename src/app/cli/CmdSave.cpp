// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli save: batch saving of the images of an AVI video into a folder,
// as the main window's "Batch saving ..." does, one file per image named
// PREFIX + number + extension.
//
//   all images by default;
//   --ticked-by-framing   the images that automatic framing frames (and ticks);
//   --inside-frame        the frame cut-outs of the images automatic framing frames;
//   --surface --region L,T,R,B [--reference N]
//                         framing by the surface instead of by brightness; alone
//                         it saves the frame cut-outs (as --inside-frame);
//   --fits                FITS files (depth, planes and texts from the settings)
//                         instead of BMP;
//   --prefix P            file-name prefix, "Temp" by default;
//   --start N             first number, 1 by default (4 digits unless the settings
//                         turn the zero padding off).
//
// Settings come from the settings file (--ini PATH picks it), the framing
// options override them for this run. An existing file is replaced.
// Printed on standard output: "written: PATH" for every file written; a
// progress bar shows on standard error when it is a terminal (not with --quiet).
// Exit status: 0 done; 1 a file could not be written (named on standard error;
// the files written before it stay); 2 bad arguments or FILE not a valid AVI.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "app/cli/Progress.h"
#include "framing/AutoFrame.h"
#include "app/Saving.h"
#include "sequence/Sequence.h"

namespace {

struct TSaveArgs {
  std::vector<std::string> Files;
  std::string OutDir, Prefix = "Temp";
  int32_t Start = 1;
  bool ByFraming = false, Inside = false, Fits = false, Quiet = false;
  cli::TFramingOptions Framing;
};

int RunSave(const TSaveArgs& args) {
  // Past a file-size limit a write fails (and is reported) instead of
  // killing the program with a file half-written.
  std::signal(SIGXFSZ, SIG_IGN);
  TParamglob params;
  TSequence sequence;
  args.Framing.Apply(params, sequence);
  params.Bitmap = !args.Fits;
  params.Fits = args.Fits;
  TLotParams lot;
  lot.Directory = args.OutDir;
  lot.Prefix = args.Prefix;

  if (!cli::OpenVideo(sequence, args.Files)) return cli::kArgumentError;
  // Surface framing alone saves the registered cut-outs: the frames' contents.
  const bool inside = args.Inside || (args.Framing.Surface && !args.ByFraming);
  if (args.ByFraming || inside) {
    // Framing ticks every image it frames; the batch then takes the ticked
    // images whole, or the frames' contents.
    cli::TProgressBar bar("framing", sequence.ImageList.Count(), args.Quiet);
    TAutoFrameHooks hooks;
    hooks.Progress = [&bar](int32_t done) { bar.Update(done); };
    TAutoFrameResult framing;
    if (!args.Framing.Run(sequence, params, hooks, framing)) return cli::kArgumentError;
    lot.AllImages = false;
    lot.SelectedImages = !inside;
    lot.FramedImages = inside;
    lot.InsideFrame = inside;
  }
  cli::TProgressBar bar("saving", sequence.ImageList.Count(), args.Quiet);
  TFixedSaveAnswers replace(true);
  TBatchSaveHooks hooks;
  hooks.Progress = [&bar](int32_t done) { bar.Update(done); };
  hooks.Written = [](const std::string& path) { std::printf("written: %s\n", path.c_str()); };
  int32_t number = args.Start;
  const TBatchSaveOutcome outcome = SaveBatch(sequence, lot, number, params, params.FITS, replace, hooks);
  bar.Finish();
  if (std::fflush(stdout) != 0) return 1;
  if (!outcome.Status) {
    cli::Error(outcome.Status.Message());
    return 1;
  }
  return 0;
}

const TCliCommand kSave("save", "save the images of a video or an image list (or their frames) as numbered BMP or FITS files",
                        [](CLI::App& app) -> TCliRun {
  auto args = std::make_shared<TSaveArgs>();
  // FILE... OUTDIR: the sequence's files take every argument but the last.
  auto all = std::make_shared<std::vector<std::string>>();
  app.add_option("FILE... OUTDIR", *all, std::string(cli::kSequenceFiles) + ", then the folder of the files")
      ->required()
      ->expected(2, -1);
  app.add_option("--prefix", args->Prefix, "file-name prefix")->capture_default_str();
  app.add_option("--start", args->Start, "number of the first file")
      ->capture_default_str()
      ->check(cli::range::kSaveNumber.Check());
  app.add_flag("--ticked-by-framing", args->ByFraming, "only the images that automatic framing frames");
  app.add_flag("--inside-frame", args->Inside, "the frames' contents of the images automatic framing frames");
  app.add_flag("--fits", args->Fits, "FITS files (parameters from the settings) instead of BMP");
  args->Framing.Add(app);
  cli::TProgressBar::AddQuietOption(app, args->Quiet);
  return [args, all] {
    args->Files.assign(all->begin(), all->end() - 1);
    args->OutDir = all->back();
    if (const std::string bad = CLI::ExistingDirectory(args->OutDir); !bad.empty())
      return cli::ArgumentError("OUTDIR: " + bad);
    return RunSave(*args);
  };
});

}  // namespace
