// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli: a thin command-line front over the core, parsed by CLI11. Every
// file of this folder registers its subcommands with a static TCliCommand:
//
//   const TCliCommand kInfo("info", "frames and size of an AVI video", [](CLI::App& app) -> TCliRun {
//     auto file = std::make_shared<std::string>();
//     app.add_option("FILE", *file, "AVI video")->required();
//     return [file] { return Info(*file); };
//   });
//
// Numbers are typed options checked with the ranges of cli::range; every
// argument error reaches the user in one format and exits with status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ParamGlob.h"

// What a command does once its arguments are parsed; returns the exit status.
using TCliRun = std::function<int()>;

struct TCliCommand {
  // name: the subcommand word; description: its line in "stellon-cli --help";
  // setup: declares the command's arguments on its CLI11 subcommand, bound to
  // storage the returned run function keeps alive.
  TCliCommand(const char* name, const char* description, std::function<TCliRun(CLI::App&)> setup);
};

namespace cli {

// Exit status of every argument error.
inline constexpr int kArgumentError = 2;

// Prints "stellon-cli: <message>" on standard error.
void Error(const std::string& message);

// Prints an argument error found after parsing in the format of the parser's
// own errors, and returns kArgumentError:
//   stellon-cli COMMAND: MESSAGE
//   Run 'stellon-cli COMMAND --help' for more information.
int ArgumentError(const std::string& message);

// --no-clobber of the commands that write files: an existing file is replaced
// unless it is given; with it, the command refuses before writing anything,
// says which file is in the way, and exits with kNotReplaced.
inline constexpr int kNotReplaced = 1;  // the status of "a file could not be written"
struct TNoClobber {
  bool On = false;
  void Add(CLI::App& app);
  // True when every path may be written; otherwise prints
  // "stellon-cli: PATH: exists; not replaced (--no-clobber)" for each in the way.
  bool Allows(const std::vector<std::string>& paths) const;
  // The writers' policy: keep or replace an existing file.
  TOverwritePolicy Policy() const { return On ? TOverwritePolicy::Keep() : TOverwritePolicy::Replace(); }
};

// The ranges of numeric options, in one place. Those the Parameters dialog
// also edits use its ranges.
struct TRange {
  long long Min, Max;
  CLI::Range Check() const { return CLI::Range(Min, Max); }
};
namespace range {
inline constexpr TRange kTolerance{kToleranceRange.Min, kToleranceRange.Max};
inline constexpr TRange kMargin{kBordureRange.Min, kBordureRange.Max};
inline constexpr TRange kKappa{kKappaRange.Min, kKappaRange.Max};
inline constexpr TRange kFrames{0, 1000000};
inline constexpr TRange kSeed{0, 0xFFFFFFFFll};
inline constexpr TRange kSide{8, 32767};          // width or height of a generated video
inline constexpr TRange kImageIndex{1, 0x7FFFFFFFll};  // image number as users count, from 1
inline constexpr TRange kSaveNumber{0, 0x7FFFFFFFll};  // number in a saved file's name
}  // namespace range

}  // namespace cli
