// SPDX-License-Identifier: GPL-3.0-or-later
// The options that `frame` and `stack` share: where the settings come from and
// how the automatic framing runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "framing/AutoFrame.h"

class TSequence;

namespace cli {

struct TFramingOptions {
  // Declares --ini, --tolerance, --auto-tolerance, --simple, --complex, --margin,
  // --memory-budget, and the surface framing: --surface --region L,T,R,B
  // [--reference N] [--subpixel].
  void Add(CLI::App& app);

  // Reads the settings file (the --ini one when given) into ParamGlob, then
  // applies the options given to a copy of it and to the sequence's tolerance,
  // and sets the frame-copy budget from the result.
  void Apply(TParamglob& params, TSequence& sequence) const;

  // Frames every image: automatic framing by brightness, or with --surface the
  // tracking of the region. A region that cannot serve is printed as an
  // argument error and gives false (nothing framed).
  bool Run(TSequence& sequence, const TParamglob& params, const TAutoFrameHooks& hooks, TAutoFrameResult& result) const;

  std::string Ini;
  bool Surface = false, SubPixel = false;
  std::vector<int32_t> Region;
  int32_t Reference = 1;
  int32_t Tolerance = 0, Margin = 0, MemoryBudget = 0;
  bool AutoTolerance = false, Simple = false, Complex = false;
  const CLI::Option *IniOption = nullptr, *ToleranceOption = nullptr, *MarginOption = nullptr, *MemoryBudgetOption = nullptr;
};

// What the commands that read a sequence take: one AVI video, one Kelvaron
// list (".lst"), or one or more BMP files in the order of the sequence.
inline constexpr const char* kSequenceFiles =
    "AVI video, SER capture, MP4/MKV/MOV/WebM video, Kelvaron list (.lst), or BMP files in order";
// Declares the FILE... argument on `app`.
CLI::Option* AddSequenceFiles(CLI::App& app, std::vector<std::string>& files);

// Opens `files` as the sequence. A video that cannot be opened prints its
// path immediately followed by "is not a valid AVI file."; a list or a BMP
// file that cannot be read, or a list naming no file that exists, is told on
// standard error (listed files that do not exist are skipped, each told).
// Index entries of a damaged video that were left out are told on standard
// error ("stellon-cli: warning: FILE: 2 unusable index entries skipped").
// False when nothing opened.
bool OpenVideo(TSequence& sequence, const std::vector<std::string>& files);

// Runs a job that keeps the frames of the sequence's images (framing,
// combination). When memory runs out, prints "not enough memory to keep the
// frames of N images" and returns false.
bool KeepingFrames(const TSequence& sequence, const std::function<void()>& job);

}  // namespace cli
