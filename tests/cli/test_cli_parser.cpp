// SPDX-License-Identifier: GPL-3.0-or-later
// What every command shares: help, version, the one format of argument errors,
// and a progress bar that only a terminal sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "base/Version.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }

// The command words listed under "Subcommands:" by the program's own help.
std::vector<std::string> ListedCommands(const std::string& help) {
  std::vector<std::string> names;
  std::istringstream in(help.substr(help.find("Subcommands:")));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line.rfind("  ", 0) == 0) names.push_back(line.substr(2, line.find(' ', 2) - 2));
  return names;
}

TEST(CliParser, EveryCommandHasHelpAndTheProgramItsVersion) {
  TTempDir dir;
  const TCliRun top = RunCli("--help", dir.Path());
  ASSERT_EQ(top.Status, 0) << top.Err;
  const std::vector<std::string> names = ListedCommands(top.Out);
  for (const char* known : {"convert", "extract", "frame", "info", "sample", "stack"})
    EXPECT_NE(std::find(names.begin(), names.end(), known), names.end()) << known << " missing from\n" << top.Out;
  for (const std::string& name : names) {
    const TCliRun r = RunCli(name + " --help", dir.Path());
    EXPECT_EQ(r.Status, 0) << name << ": " << r.Err;
    EXPECT_NE(r.Out.find("Usage: stellon-cli " + name + " "), std::string::npos) << r.Out;
    EXPECT_EQ(r.Err, "") << name;
  }
  const TCliRun v = RunCli("--version", dir.Path());
  EXPECT_EQ(v.Status, 0);
  EXPECT_EQ(v.Out, "stellon-cli " STELLON_VERSION_TEXT "\n");
}

struct TBadArgs {
  const char* Command;
  const char* Args;     // after COMMAND; {v} is a video, {o} a file that must not be written
  const char* Message;  // expected in the first line
};

std::string Expand(std::string args, const std::string& video, const std::string& out) {
  for (auto [key, value] : {std::pair<std::string, std::string>{"{v}", video}, {"{o}", out}})
    for (size_t at; (at = args.find(key)) != std::string::npos;) args.replace(at, key.size(), Q(value));
  return args;
}

class CliArgumentError : public ::testing::TestWithParam<TBadArgs> {};

TEST_P(CliArgumentError, TwoLinesExitTwoNothingWritten) {
  TTempDir dir;
  const std::string avi = dir.File("v.avi");
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 2 --size 32x32", dir.Path()).Status, 0);
  const TBadArgs& p = GetParam();
  const std::string command = p.Command;
  const std::string out = dir.File("out.bmp");
  const TCliRun r = RunCli(command + " " + Expand(p.Args, avi, out), dir.Path());
  EXPECT_EQ(r.Status, 2);
  const std::string who = "stellon-cli " + command;
  EXPECT_EQ(r.Err.rfind(who + ": ", 0), 0u) << r.Err;
  EXPECT_NE(r.Err.find(p.Message), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("\nRun '" + who + " --help' for more information.\n"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_FALSE(std::ifstream(out).good());
}

INSTANTIATE_TEST_SUITE_P(
    RangesAndTypes, CliArgumentError,
    ::testing::Values(TBadArgs{"frame", "{v} --tolerance 256", "not in range 0 to 255"},
                      TBadArgs{"frame", "{v} --margin -1", "--margin"},
                      TBadArgs{"save", "{v} {o} --memory-budget -1", "--memory-budget"},
                      TBadArgs{"stack", "{v} --kappa 11 -o {o}", "not in range 0 to 10"},
                      TBadArgs{"stack", "{v} --fits-bits 12 -o {o}", "--fits-bits"},
                      TBadArgs{"stack", "{v} --simple --complex -o {o}", "excludes"},
                      TBadArgs{"stack", "{v}", "--output is required"},
                      TBadArgs{"extract", "{v} 0 {o}", "not in range 1 to"},
                      TBadArgs{"sample", "{o} --frames 1000001", "not in range 0 to 1000000"},
                      TBadArgs{"sample", "{o} --size 10by10", "WxH"},
                      TBadArgs{"info", "{v} --no-such-option", "--no-such-option"}),
    [](const ::testing::TestParamInfo<TBadArgs>& i) {
      return i.param.Command + std::to_string(i.index);
    });

// Standard error goes to a terminal made by script(1); standard output to a file.
std::string StderrOnTerminal(const std::string& args, const TTempDir& dir) {
  const std::string tty = dir.File("tty.txt");
  const std::string inner = std::string("'") + STELLON_CLI + "' " + args + " >" + dir.File("stdout.txt");
  const std::string cmd = "script -q -e -c \"" + inner + "\" /dev/null >" + Q(tty) + " 2>&1 </dev/null";
  if (std::system(cmd.c_str()) != 0) return "(failed)";
  std::ifstream in(tty);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(CliProgress, OnlyOnATerminalAndNotWhenQuiet) {
  TTempDir dir;
  const std::string avi = dir.File("v.avi");
  ASSERT_EQ(RunCli("sample " + Q(avi) + " --frames 6 --size 64x48", dir.Path()).Status, 0);
  const std::string frame = "frame " + Q(avi) + " --ini " + Q(dir.File("none.ini"));
  const TCliRun piped = RunCli(frame, dir.Path());
  ASSERT_EQ(piped.Status, 0);
  EXPECT_EQ(piped.Err, "");
  if (std::system("script -q -e -c true /dev/null >/dev/null 2>&1 </dev/null") != 0)
    GTEST_SKIP() << "script(1) cannot make a terminal here";
  EXPECT_NE(StderrOnTerminal(frame, dir).find("6/6 images"), std::string::npos);
  EXPECT_EQ(StderrOnTerminal(frame + " --quiet", dir), "");
}

}  // namespace
