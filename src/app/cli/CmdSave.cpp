// stellon-cli save: batch saving of the images of an AVI video into a folder,
// as the main window's "Batch saving ..." does, one file per image named
// PREFIX + number + extension.
//
//   all images by default;
//   --ticked-by-framing   the images that automatic framing frames (and ticks);
//   --inside-frame        the frame cut-outs of the images automatic framing frames;
//   --fits                FITS files (depth, planes and texts from the settings)
//                         instead of BMP;
//   --prefix P            file-name prefix, "Temp" by default;
//   --start N             first number, 1 by default (4 digits unless the settings
//                         turn the zero padding off).
//
// Settings come from the settings file (--ini PATH picks it), the framing
// options override them for this run. An existing file is replaced.
// Printed on standard output: "written: PATH" for every file written.
// Exit status: 0 done; 1 a file could not be written (named on standard error;
// the files written before it stay); 2 bad arguments or FILE not a valid AVI.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "framing/AutoFrame.h"
#include "output/Saving.h"
#include "sequence/Sequence.h"

namespace {

constexpr const char* kUsage =
    "save FILE OUTDIR [--prefix P] [--start N] [--ticked-by-framing] [--inside-frame] [--fits] "
    "[--ini PATH] [--tolerance T] [--auto-tolerance] [--simple|--complex] [--margin M]";

int RunSave(TCliArgs args) {
  // Past a file-size limit a write fails (and is reported) instead of
  // killing the program with a file half-written.
  std::signal(SIGXFSZ, SIG_IGN);
  TLotParams lot;
  lot.Prefix = "Temp";
  std::string start = "1";
  cli::TakeOption(args, "--prefix", lot.Prefix);
  const bool hasStart = cli::TakeOption(args, "--start", start);
  const bool byFraming = cli::TakeFlag(args, "--ticked-by-framing");
  const bool inside = cli::TakeFlag(args, "--inside-frame");
  const bool fits = cli::TakeFlag(args, "--fits");
  const cli::TFramingOptions options = cli::TFramingOptions::Take(args);
  if (args.size() != 2 || args[0].rfind("-", 0) == 0 || args[1].rfind("-", 0) == 0) {
    cli::Error(std::string("usage: ") + kUsage);
    return 2;
  }
  int32_t number = 1;
  if (hasStart && (!cli::ParseInt(start, number) || number < 0)) {
    cli::Error("--start wants a whole number of 0 or more, not '" + start + "'");
    return 2;
  }
  lot.Directory = args[1];
  std::error_code ec;
  if (!std::filesystem::is_directory(lot.Directory, ec)) {
    cli::Error(lot.Directory + ": not a folder");
    return 2;
  }
  TParamglob params;
  TSequence sequence;
  if (!options.Apply(params, sequence)) return 2;
  params.Bitmap = !fits;
  params.Fits = fits;

  const cli::TVideoService video;
  if (!cli::OpenVideo(sequence, args[0])) return 2;
  if (byFraming || inside) {
    // Framing ticks every image it frames; the batch then takes the ticked
    // images whole, or the frames' contents.
    AutoFrameAll(sequence, params);
    lot.AllImages = false;
    lot.SelectedImages = !inside;
    lot.FramedImages = inside;
    lot.InsideFrame = inside;
  }
  TFixedSaveAnswers replace(true);
  TBatchSaveHooks hooks;
  hooks.Written = [](const std::string& path) { std::printf("written: %s\n", path.c_str()); };
  const TBatchSaveOutcome outcome = SaveBatch(sequence, lot, number, params, params.FITS, replace, hooks);
  if (std::fflush(stdout) != 0) return 1;
  if (!outcome.Status) {
    cli::Error(outcome.Status.Message());
    return 1;
  }
  return 0;
}

const TCliCommand kSave("save", kUsage, [](const TCliArgs& args) { return RunSave(args); });

}  // namespace
