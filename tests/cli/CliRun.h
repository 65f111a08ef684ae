// SPDX-License-Identifier: GPL-3.0-or-later
// Runs stellon-cli as a program and captures what it says.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TCliRun {
  int Status = -1;                 // exit status, -1 when it did not exit normally
  std::string Out, Err;            // standard output and standard error
  std::vector<std::string> Lines;  // standard output, line by line
};

// `args` are already shell-quoted; the output goes through files in `dir`.
inline TCliRun RunCli(const std::string& args, const std::filesystem::path& dir) {
  const std::filesystem::path out = dir / "cli-stdout.txt", err = dir / "cli-stderr.txt";
  const std::string cmd =
      std::string("'") + STELLON_CLI + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int raw = std::system(cmd.c_str());
  TCliRun r;
  r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  r.Out = slurp(out);
  r.Err = slurp(err);
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  return r;
}
