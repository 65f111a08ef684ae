// SPDX-License-Identifier: GPL-3.0-or-later
// Effects and resampling on a 1920x1080 24-bit picture, each timed next to a
// memcpy of the bytes it writes (same run, same buffers' sizes), and the 2x
// bilinear resize next to Qt's smooth scaling of the same pixels.
//
// Prints one row per operation: bytes written per call, best time of several
// calls, throughput, the baseline's throughput and the ratio of the times.
// Times are CPU time of the whole process (all its threads, Qt's scaling
// workers included), so that other programs on a shared machine do not
// inflate them.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/Effects.h"
#include "image/Resample.h"

#ifdef QT_GUI_LIB
#include <QImage>
#endif

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best seconds per call over at least 5 calls and 0.4 s, after one warm-up.
double Time(const std::function<void()>& f) {
  f();
  double best = 1e30, total = 0;
  for (int n = 0; n < 5 || total < 0.4; ++n) {
    const double t0 = CpuSeconds();
    f();
    const double s = CpuSeconds() - t0;
    best = std::min(best, s);
    total += s;
  }
  return best;
}

double CopyTime(size_t bytes) {
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  return Time([&] {
    std::memcpy(b.data(), a.data(), bytes);
    a[bytes / 2] ^= b[bytes / 3];  // keep the copies observable
  });
}

void Row(const char* name, size_t bytes, double seconds, double baseline, const char* baseName) {
  const double mb = double(bytes) / 1e6;
  std::printf("| %-34s | %8.1f | %8.2f | %8.0f | %-21s | %9.0f | %6.2f |\n", name, mb, seconds * 1e3, mb / seconds,
              baseName, mb / baseline, seconds / baseline);
}

}  // namespace

int main() {
  const int w = 1920, h = 1080;
  TFastDIB img;
  img.SetSize(w, h, 24, 0);
  uint32_t seed = 12345;
  for (uint32_t i = 0; i < img.Size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    img.Bits[i] = uint8_t(seed >> 24);
  }

  TLut red, green, blue, gamma;
  GammaTable(1.2, gamma);
  MergeLUTs({[] { TLut t; LightnessTable(20, t); return t; }(), [] { TLut t; ContrastTable(100, t); return t; }(),
             gamma},
            red);
  AdditionTable(15, green);
  ContrastTable(-40, blue);
  TSatTable sat;
  SaturationTable(320, sat);

  std::printf("1920x1080 24-bit picture; process CPU time, best of several calls\n\n");
  std::printf("| %-34s | %8s | %8s | %8s | %-21s | %9s | %6s |\n", "operation", "MB", "ms", "MB/s", "baseline",
              "base MB/s", "ratio");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str(), std::string(10, '-').c_str(), std::string(23, '-').c_str(),
              std::string(11, '-').c_str(), std::string(8, '-').c_str());

  const size_t frame = img.Size();
  const double copyFrame = CopyTime(frame);
  Row("ApplyLUT (in place)", frame, Time([&] { ApplyLUT(img, red, green, blue); }), copyFrame, "memcpy");
  Row("ApplySaturationLUT (in place)", frame, Time([&] { ApplySaturationLUT(img, sat, red, green, blue); }),
      copyFrame, "memcpy");
  Row("DiagonalBlur 2 (in place)", frame, Time([&] { DiagonalBlur(img, 2); }), copyFrame, "memcpy");

  TFastDIB turned;
  RotateSize(img, turned, 30);
  const double copyTurned = CopyTime(turned.Size());
  Row("Rotate 30 deg (into RotateSize)", turned.Size(),
      Time([&] { Rotate(img, turned, turned.Width() / 2, turned.AbsHeight / 2, 30); }), copyTurned, "memcpy");
  Row("RotateWrap 30 deg", turned.Size(),
      Time([&] { RotateWrap(img, turned, turned.Width() / 2, turned.AbsHeight / 2, 30); }), copyTurned, "memcpy");

  TFastDIB big;
  big.SetSize(2 * w, 2 * h, 24, 0);
  const double copyBig = CopyTime(big.Size());
  const double bilinear = Time([&] { ResizeBilinear(img, big); });
  Row("ResizeBilinear 2x", big.Size(), bilinear, copyBig, "memcpy");
  Row("ResizeNearest 2x", big.Size(), Time([&] { ResizeNearest(img, big); }), copyBig, "memcpy");
#ifdef QT_GUI_LIB
  // Qt's smooth scaling of the very same bytes (a BGR888 view of the picture).
  const QImage view(img.Bits, w, h, img.RowSize, QImage::Format_BGR888);
  QImage scaled;
  const double qt = Time([&] { scaled = view.scaled(2 * w, 2 * h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); });
  Row("ResizeBilinear 2x", big.Size(), bilinear, qt, "QImage::scaled smooth");
  Row("QImage::scaled smooth (BGR888) 2x", big.Size(), qt, copyBig, "memcpy");
#endif
  return 0;
}
