// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

int TerminalColumns() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 20) return ws.ws_col;
  return 80;
}

std::string Duration(double seconds) {
  const long s = long(seconds + 0.5);
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace

TProgressBar::TProgressBar(std::string label, int64_t total, bool quiet, std::string unit)
    : Label_(std::move(label)),
      Unit_(std::move(unit)),
      Total_(total),
      Enabled_(!quiet && total > 0 && ::isatty(STDERR_FILENO) == 1),
      Start_(TClock::now()),
      LastDraw_(Start_ - std::chrono::seconds(1)) {}

TProgressBar::~TProgressBar() { Finish(); }

void TProgressBar::Update(int64_t done) {
  if (!Enabled_) return;
  const TClock::time_point now = TClock::now();
  if (done < Total_ && now - LastDraw_ < std::chrono::milliseconds(100)) return;
  LastDraw_ = now;
  const double seconds = std::chrono::duration<double>(now - Start_).count();
  const std::string line = Line(Label_, Unit_, done, Total_, seconds, TerminalColumns() - 1);
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  Shown_ = true;
}

void TProgressBar::Finish() {
  if (!Shown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  Shown_ = false;
}

void TProgressBar::AddQuietOption(CLI::App& app, bool& quiet) {
  app.add_flag("-q,--quiet", quiet, "no progress bar on standard error");
}

std::string TProgressBar::Line(const std::string& label, const std::string& unit, int64_t done, int64_t total,
                               double seconds, int columns) {
  done = std::clamp<int64_t>(done, 0, total);
  char counts[96];
  std::snprintf(counts, sizeof counts, "  %lld/%lld %s", static_cast<long long>(done),
                static_cast<long long>(total), unit.c_str());
  std::string tail = counts;
  if (done > 0 && seconds > 0) {
    const double rate = double(done) / seconds;
    char speed[48];
    std::snprintf(speed, sizeof speed, "  %.1f/s", rate);
    tail += speed;
    tail += "  " + Duration(double(total - done) / rate) + " left";
  }
  const int room = columns - int(label.size()) - int(tail.size()) - 4;  // "  [" and "]"
  std::string bar;
  if (room >= 5) {
    const int width = std::min(room, 40);
    const int filled = total > 0 ? int(done * width / total) : 0;
    bar = "  [" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "]";
  }
  std::string line = label + bar + tail;
  if (columns > 0 && int(line.size()) > columns) line.resize(size_t(columns));
  return line;
}

}  // namespace cli
