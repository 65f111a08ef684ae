// SPDX-License-Identifier: GPL-3.0-or-later
// The progress bar of long commands, drawn on standard error:
//   framing  [##########..........]  412/800 images  52.3/s  0:07 left
// Only when standard error is a terminal and the command was not given
// --quiet: what scripts read, on standard output or through a pipe, never
// sees it. Redrawn at most ten times a second; the line is erased at the end.
//
//   bool quiet = false;
//   cli::TProgressBar::AddQuietOption(app, quiet);       // while declaring the command
//   cli::TProgressBar bar("framing", count, quiet);      // when it runs
//   hooks.Progress = [&](int32_t done) { bar.Update(done); };
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace CLI {
class App;
}

namespace cli {

class TProgressBar {
 public:
  TProgressBar(std::string label, int64_t total, bool quiet, std::string unit = "images");
  ~TProgressBar();
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // `done` of the total are finished.
  void Update(int64_t done);
  // Erases the bar (before the command prints on standard error, and at the end).
  void Finish();
  bool Shown() const { return Shown_; }

  // Declares "-q,--quiet" on a command that shows a bar.
  static void AddQuietOption(CLI::App& app, bool& quiet);
  // The text of the bar, fitted into `columns`.
  static std::string Line(const std::string& label, const std::string& unit, int64_t done, int64_t total,
                          double seconds, int columns);

 private:
  using TClock = std::chrono::steady_clock;
  std::string Label_, Unit_;
  int64_t Total_;
  bool Enabled_;
  bool Shown_ = false;
  TClock::time_point Start_, LastDraw_;
};

}  // namespace cli
