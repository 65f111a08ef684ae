// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli frame: automatic framing of every image of an AVI video, one line
// per image, then the frame size.
//
//   N ok LEFT TOP RIGHT BOTTOM   the frame with its margin (N from 1)
//   N out-of-limit               the object was found but its frame leaves the image
//   N not-found                  no object (or the image could not be read)
//   N poor-match                 surface framing: the region was not found well enough
//   frame-size: W H              size of every frame with its margin, or "frame-size: none"
//
// Settings come from the settings file (--ini PATH picks it); the options
// override the tolerance, the automatic threshold, the image mode and the margin.
// With --surface --region L,T,R,B [--reference N] the region of image N (from
// 1, default 1) is tracked through every image instead (surface framing).
// A progress bar shows on standard error when it is a terminal (not with --quiet).
// Exit status: 0 done (whatever the images gave); 2 bad arguments, or FILE is
// not a valid AVI file (the path followed by "is not a valid AVI file." on
// standard error).
#include <cstdio>
#include <memory>
#include <string>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "app/cli/Progress.h"
#include "framing/AutoFrame.h"
#include "framing/Frame.h"
#include "sequence/Sequence.h"

namespace {

struct TFrameArgs {
  std::vector<std::string> Files;
  cli::TFramingOptions Framing;
  bool Quiet = false;
};

int RunFrame(const TFrameArgs& args) {
  TParamglob params;
  TSequence sequence;
  args.Framing.Apply(params, sequence);

  if (!cli::OpenVideo(sequence, args.Files)) return 2;
  cli::TProgressBar bar("framing", sequence.ImageList.Count(), args.Quiet);
  TAutoFrameHooks hooks;
  hooks.Progress = [&bar](int32_t done) { bar.Update(done); };
  TAutoFrameResult result;
  bool ran = true;
  if (!cli::KeepingFrames(sequence, [&] { ran = args.Framing.Run(sequence, params, hooks, result); })) return 1;
  if (!ran) return cli::kArgumentError;
  if (!result.NoRoom.empty()) {
    cli::Error(result.NoRoom);
    return 1;
  }
  bar.Finish();
  size_t next = 0;
  for (int32_t i = 0; i < sequence.ImageList.Count(); ++i) {
    if (next < result.Problems.size() && result.Problems[next].Index == i) {
      const TFrameProblemKind kind = result.Problems[next++].Kind;
      std::printf("%d %s\n", i + 1,
                  kind == TFrameProblemKind::OutOfLimit  ? "out-of-limit"
                  : kind == TFrameProblemKind::PoorMatch ? "poor-match"
                                                         : "not-found");
      continue;
    }
    const TRect& f = sequence.Record(i)->FrameRect;
    std::printf("%d ok %d %d %d %d\n", i + 1, f.Left, f.Top, f.Right, f.Bottom);
  }
  if (sequence.FrameSizeSet)
    std::printf("frame-size: %d %d\n", FrameOuterWidth(sequence, params.bordure),
                FrameOuterHeight(sequence, params.bordure));
  else
    std::printf("frame-size: none\n");
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const TCliCommand kFrame("frame", "automatic framing of every image of a video or an image list", [](CLI::App& app) -> TCliRun {
  auto args = std::make_shared<TFrameArgs>();
  cli::AddSequenceFiles(app, args->Files);
  args->Framing.Add(app);
  cli::TProgressBar::AddQuietOption(app, args->Quiet);
  return [args] { return RunFrame(*args); };
});

}  // namespace
