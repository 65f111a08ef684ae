// SPDX-License-Identifier: GPL-3.0-or-later
// Runs stellon-cli and captures what it says; the planet video the CLI tests share.
#pragma once

#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>
#include "support/VideoFixtures.h"

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct TCliRun {
  int Status = -1;                 // exit status, -1 when it did not exit normally
  std::string Out, Err;            // standard output and standard error
  std::vector<std::string> Lines;  // standard output, line by line
};

// `args` go to the shell as they are, after `shell` (e.g. "ulimit -f 64;"); the output goes through files in `dir`.
inline TCliRun RunCli(const std::string& args, const std::string& dir, const std::string& shell = "") {
  const std::string out = dir + "/cli-stdout.txt", err = dir + "/cli-stderr.txt";
  const int raw = std::system((shell + " '" STELLON_CLI "' " + args + " >'" + out + "' 2>'" + err + "'").c_str());
  TCliRun r;
  r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.Out = fixtures::ReadFileBytes(out);
  r.Err = fixtures::ReadFileBytes(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  r.Lines = SplitLines(r.Out);
  return r;
}

// 12 images 160x120: odd numbers sharp, even blurred, sub-pixel centres; image 4 empty, 9 and 10 cut by the edge.
inline TSampleOptions CliPlanetOptions() {
  TSampleOptions o;
  o.Frames = 12;
  o.Width = 160;
  o.Height = 120;
  o.Seed = 3;
  o.SubPixelCentres = true;
  for (int i = 0; i < o.Frames; ++i) o.BlurSigmas.push_back(i % 2 ? 1.6 : 0);
  o.EmptyFrames = {3};
  o.PartialFrames = {8, 9};
  return o;
}
