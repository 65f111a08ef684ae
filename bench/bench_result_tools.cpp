// SPDX-License-Identifier: GPL-3.0-or-later
// The result window's live tools on a 1920x1080 result: each move of a bar
// recomputes the picture from the copy and repaints the window's picture
// control at once. Measured through the real windows (TShowBitmap with
// TAdjuster or TfrmRotate, the bars moved by setValue), next to a plain copy
// of the picture's bytes measured in the same run.
//
// Rows: the adjuster's table path (contrast bar), its saturation path
// (saturation bar alone), the same two with both, the rotation at 30 degrees
// with auto sizing (2203x1895 turned picture fitted into the 1920x1080
// control), and the copy-only path (everything neutral: copy back + repaint).
// Wall-clock median and best, and the process CPU time per move (the
// machine is shared). Runs on the offscreen platform unless QT_QPA_PLATFORM
// says otherwise (e.g. xcb under Xvfb).
#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "image/ui/FastIMG.h"
#include "tools/ui/Adjuster.h"
#include "tools/ui/Rotate.h"
#include "tools/ui/ShowBitmap.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct TTiming {
  double MedianMs, BestMs, CpuMs;
};

// `step(i)` is one move; 40 moves after 3 warm-up moves. i runs on from one
// call to the next, so that i % 2 always differs from the move before.
TTiming Measure(const std::function<void(int)>& step) {
  static int counter = 0;
  for (int i = 0; i < 3; ++i) step(counter++);
  std::vector<double> wall;
  const double c0 = CpuSeconds();
  const int n = 40;
  for (int i = 0; i < n; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    step(counter++);
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  const double cpu = (CpuSeconds() - c0) * 1e3 / n;
  std::sort(wall.begin(), wall.end());
  return {wall[wall.size() / 2], wall.front(), cpu};
}

class TPaintCounter : public QObject {
 public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string a, b, c;
  f >> a >> b >> c;
  return a + " " + b + " " + c;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int w = 1920, h = 1080;
  TFastDIB result;
  result.SetSize(w, h, 24, 0);
  uint32_t seed = 12345;
  for (uint32_t i = 0; i < result.Size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    result.Bits[i] = uint8_t(seed >> 24);
  }
  TShowBitmap window;
  window.Setup(&result, "bench.avi", std::vector<std::string>{});
  window.show();
  QApplication::processEvents();
  TPaintCounter paints;
  window.VideoPanel->installEventFilter(&paints);

  // Baseline: a plain copy of the picture's bytes.
  std::vector<uint8_t> a(result.Size(), 1), b(result.Size(), 2);
  const TTiming copy = Measure([&](int i) {
    std::memcpy(b.data(), a.data(), a.size());
    a[size_t(i) % a.size()] ^= b[a.size() / 3];
  });

  struct TRowOut {
    const char* Name;
    TTiming T;
    int Paints;
  };
  std::vector<TRowOut> rows;
  const auto run = [&](const char* name, const std::function<void(int)>& step) {
    const int before = paints.Paints;
    const TTiming t = Measure(step);
    rows.push_back({name, t, paints.Paints - before});
  };

  {
    TAdjuster adjuster(&window);
    adjuster.SetTarget(window.VideoPanel);
    adjuster.FormShow();
    run("adjuster: copy only (all neutral)", [&](int) { adjuster.Recompute(); });
    run("adjuster: table path (contrast)", [&](int i) { adjuster.rContrast->setValue(40 + i % 2); });
    adjuster.btnResetClick();
    run("adjuster: saturation path", [&](int i) { adjuster.aSaturation->setValue(300 + i % 2); });
    adjuster.gGamma->setValue(12000);
    run("adjuster: saturation + tables", [&](int i) { adjuster.aSaturation->setValue(300 + i % 2); });
  }
  window.Action_AnnulerExecute();
  {
    TfrmRotate rotate(&window);
    rotate.SetTarget(window.VideoPanel);
    rotate.FormShow();
    rotate.btnSize->click();
    run("rotation 30 deg, auto sizing", [&](int i) { rotate.sAmount->setValue(300 + i % 2); });
    rotate.btnSize->click();
    run("rotation 30 deg, fixed size", [&](int i) { rotate.sAmount->setValue(300 + i % 2); });
  }

  std::printf("1920x1080 24-bit result in TShowBitmap (control 1920x1080), platform %s, load average %s\n",
              QApplication::platformName().toUtf8().constData(), LoadAverage().c_str());
  std::printf("40 moves per row; every move recomputes and repaints (paints counted)\n\n");
  std::printf("| %-34s | median ms | best ms | CPU ms | paints | x copy (median) |\n", "move");
  std::printf("|%s|-----------|---------|--------|--------|-----------------|\n", std::string(36, '-').c_str());
  std::printf("| %-34s | %9.2f | %7.2f | %6.2f | %6s | %15.2f |\n", "(plain copy of the 6.2 MB picture)",
              copy.MedianMs, copy.BestMs, copy.CpuMs, "-", 1.0);
  for (const TRowOut& r : rows)
    std::printf("| %-34s | %9.2f | %7.2f | %6.2f | %6d | %15.1f |\n", r.Name, r.T.MedianMs, r.T.BestMs, r.T.CpuMs,
                r.Paints, r.T.MedianMs / copy.MedianMs);
  return 0;
}
