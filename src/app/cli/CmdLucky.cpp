// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli rank and align: automatic framing of every image of a sequence
// (an AVI video, a Kelvaron list or BMP files)
// (the framing options of `frame`), then one line per image:
//
//   rank:   N SCORE    the sharpness of the framed image (larger is sharper)
//           N none     the image has no frame
//   align:  N X Y      the object's position in pixels of the original image,
//                      to a fraction of a pixel; the difference of two lines is
//                      the shift between the two images
//           N none     no frame, or nothing stood out of the sky in it
//
// Exit status as `frame`.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "app/cli/Progress.h"
#include "framing/AutoFrame.h"
#include "lucky/Lucky.h"
#include "sequence/Sequence.h"

namespace {

struct TLuckyArgs {
  std::vector<std::string> Files;
  cli::TFramingOptions Framing;
  bool Quiet = false;
};

// Frames every image; false when FILE is not a video.
bool FrameAll(const TLuckyArgs& args, TSequence& sequence) {
  TParamglob params;
  args.Framing.Apply(params, sequence);
  if (!cli::OpenVideo(sequence, args.Files)) return false;
  cli::TProgressBar bar("framing", sequence.ImageList.Count(), args.Quiet);
  TAutoFrameHooks hooks;
  hooks.Progress = [&bar](int32_t done) { bar.Update(done); };
  AutoFrameAll(sequence, AutoFrameOptionsOf(params), hooks);
  bar.Finish();
  return true;
}

int RunRank(const TLuckyArgs& args) {
  TSequence sequence;
  if (!FrameAll(args, sequence)) return 2;
  const TScores scores = ScoreSequence(sequence);
  for (size_t i = 0; i < scores.size(); ++i) {
    if (scores[i]) std::printf("%zu %.6f\n", i + 1, *scores[i]);
    else std::printf("%zu none\n", i + 1);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunAlign(const TLuckyArgs& args) {
  TSequence sequence;
  if (!FrameAll(args, sequence)) return 2;
  const auto positions = MeasurePositions(sequence);
  for (size_t i = 0; i < positions.size(); ++i) {
    if (positions[i]) std::printf("%zu %.3f %.3f\n", i + 1, positions[i]->X, positions[i]->Y);
    else std::printf("%zu none\n", i + 1);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

TCliRun Setup(CLI::App& app, int (*run)(const TLuckyArgs&)) {
  auto args = std::make_shared<TLuckyArgs>();
  cli::AddSequenceFiles(app, args->Files);
  args->Framing.Add(app);
  cli::TProgressBar::AddQuietOption(app, args->Quiet);
  return [args, run] { return run(*args); };
}

const TCliCommand kRank("rank", "sharpness score of every framed image of an AVI video",
                        [](CLI::App& app) { return Setup(app, RunRank); });
const TCliCommand kAlign("align", "sub-pixel position of the object in every framed image of an AVI video",
                         [](CLI::App& app) { return Setup(app, RunAlign); });

}  // namespace
