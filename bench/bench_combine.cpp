// SPDX-License-Identifier: GPL-3.0-or-later
// Mean and kappa-sigma combination of N registered frames of W x H pixels:
// the program's core next to a vectorised numpy version of the same arithmetic
// (bench/combine_numpy.py, whose results are compared bit for bit) and, when
// installed, Siril's command-line stacking of the same frames.
//
// usage: bench_combine [N [W [H [WORKDIR]]]]   (default 1000 200 200 /tmp/stellon_bench_combine)
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "combine/Combine.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKappa = 3;

long MaxRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Best wall time of `repeat` runs, with the processor time (all threads) of that run.
struct TTiming {
  double Wall = 1e30, Cpu = 0;
};
TTiming Seconds(const std::function<void()>& run, int repeat) {
  TTiming best;
  for (int i = 0; i < repeat; ++i) {
    const double c0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    run();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (wall < best.Wall) best = {wall, CpuSeconds() - c0};
  }
  return best;
}

// A registered planet: a disc with limb darkening on a dark sky, photon-like
// noise, a few hot pixels in every frame and a satellite trail in 1 frame of 100.
std::vector<std::vector<uint8_t>> MakeFrames(int n, int w, int h) {
  std::vector<std::vector<uint8_t>> frames(size_t(n), std::vector<uint8_t>(size_t(w) * h * 3 + 1));
  uint64_t s = 0x9E3779B97F4A7C15ull;
  auto rnd = [&s] {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return s;
  };
  const double cx = w / 2.0, cy = h / 2.0, r = std::min(w, h) * 0.35;
  for (int f = 0; f < n; ++f) {
    uint8_t* p = frames[size_t(f)].data();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (r * r);
        const double lum = d2 < 1 ? 0.55 + 0.45 * (1 - d2) : 0.03;
        const int base[3] = {int(110 * lum), int(170 * lum), int(230 * lum)};
        for (int c = 0; c < 3; ++c) {
          const int noise = int(rnd() % 17) - 8;
          p[(size_t(y) * w + x) * 3 + c] = uint8_t(std::clamp(base[c] + noise, 0, 255));
        }
      }
    for (int k = 0; k < 20; ++k) {
      const size_t at = (rnd() % (uint64_t(w) * h)) * 3;
      p[at] = p[at + 1] = p[at + 2] = 255;
    }
    if (f % 100 == 37)
      for (int x = 0; x < w; ++x) {
        const int y = (x * h) / (2 * w) + h / 4;
        std::memset(p + (size_t(y) * w + x) * 3, 240, 3);
      }
  }
  return frames;
}

void WriteFile(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(size));
}

// An 8-bit colour FITS file (NAXIS3 = 3: red, green, blue planes, bottom row first).
void WriteColourFits(const fs::path& path, const uint8_t* frame, int w, int h) {
  std::string header;
  auto card = [&header](std::string text) {
    text.resize(80, ' ');
    header += text;
  };
  auto num = [](const char* key, long v) {
    std::string c = key;
    c.resize(8, ' ');
    std::string t = std::to_string(v);
    return c + "= " + std::string(20 - t.size(), ' ') + t;
  };
  card("SIMPLE  =                    T");
  card(num("BITPIX", 8));
  card(num("NAXIS", 3));
  card(num("NAXIS1", w));
  card(num("NAXIS2", h));
  card(num("NAXIS3", 3));
  card("END");
  header.resize(2880, ' ');
  std::string data;
  data.reserve(size_t(w) * h * 3 + 2880);
  for (int c = 2; c >= 0; --c)  // red, green, blue
    for (int y = h - 1; y >= 0; --y)
      for (int x = 0; x < w; ++x) data += char(frame[(size_t(y) * w + x) * 3 + c]);
  data.resize((data.size() + 2879) / 2880 * 2880, '\0');
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << header << data;
}

double RunTimed(const std::string& command, std::string* output = nullptr) {
  const auto t0 = std::chrono::steady_clock::now();
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  std::string text;
  while (fgets(buf, sizeof buf, p)) text += buf;
  const int rc = pclose(p);
  const double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (output) *output = text;
  return rc == 0 ? dt : -1;
}

// Siril 1.0: link the FITS frames of dir/src as a sequence in dir/run and
// stack it without normalisation; best of two runs, each from a fresh dir/run.
// `stacking` gets Siril's own "Execution time" of the stack command.
double SirilStack(const fs::path& dir, const std::string& stackArgs, std::string& log, double& stacking) {
  const fs::path script = dir / "stack.ssf";
  {
    std::ofstream s(script);
    s << "requires 1.0.0\n"
      << "cd " << (dir / "src").string() << "\n"
      << "link frame_ -out=" << (dir / "run").string() << "\n"
      << "cd " << (dir / "run").string() << "\n"
      << "stack frame_ " << stackArgs << " -nonorm -out=" << (dir / "result").string() << "\n";
  }
  double best = 1e30;
  for (int i = 0; i < 2; ++i) {
    fs::remove_all(dir / "run");
    fs::remove(dir / "result.fit");
    const double t = RunTimed("siril-cli -s '" + script.string() + "' 2>&1", &log);
    if (t < 0 || !fs::exists(dir / "result.fit")) return -1;
    if (t < best) {
      best = t;
      const size_t at = log.find("log: Execution time: ");
      char* end = nullptr;
      stacking = at == std::string::npos ? -1 : std::strtod(log.c_str() + at + 21, &end);
      if (end && std::strncmp(end, " ms", 3) == 0) stacking /= 1000;  // "985.63 ms." below a second
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int w = argc > 2 ? std::atoi(argv[2]) : 200;
  const int h = argc > 3 ? std::atoi(argv[3]) : 200;
  const fs::path work = argc > 4 ? fs::path(argv[4]) : fs::path("/tmp/stellon_bench_combine");
  const fs::path here = fs::path(__FILE__).parent_path();
  fs::create_directories(work);

  const long rssStart = MaxRssKiB();
  auto frames = MakeFrames(n, w, h);
  const long rssFrames = MaxRssKiB();
  TCombineFrames view;
  view.Width = w, view.Height = h;
  for (const auto& f : frames) view.Blocks.push_back(f.data());

  std::unique_ptr<TFastDIB> mean, kappa;
  const TTiming mean1 = Seconds([&] { mean = MeanCombineFrames(view, {}, 1); }, 5);
  const TTiming meanN = Seconds([&] { mean = MeanCombineFrames(view, {}, 0); }, 5);
  const TTiming kappa1 = Seconds([&] { kappa = KappaSigmaCombineFrames(view, kKappa, false, {}, 1); }, 5);
  const TTiming kappaN = Seconds([&] { kappa = KappaSigmaCombineFrames(view, kKappa, false, {}, 0); }, 5);
  const long rssAfter = MaxRssKiB();

  // Frames and our results for the numpy run.
  {
    std::ofstream raw(work / "frames.raw", std::ios::binary | std::ios::trunc);
    for (const auto& f : frames) raw.write(reinterpret_cast<const char*>(f.data()), std::streamsize(size_t(w) * h * 3));
    auto dump = [&](const TFastDIB& img, const char* name) {
      std::vector<uint8_t> px;
      for (int y = 0; y < h; ++y)
        px.insert(px.end(), img.Scanlines[size_t(y)], img.Scanlines[size_t(y)] + size_t(w) * 3);
      WriteFile(work / name, px.data(), px.size());
    };
    dump(*mean, "ours_mean.raw");
    dump(*kappa, "ours_kappa.raw");
  }
  std::string npOut;
  const std::string npCmd = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 '" +
                            (here / "combine_numpy.py").string() + "' '" + (work / "frames.raw").string() + "' " +
                            std::to_string(n) + " " + std::to_string(w) + " " + std::to_string(h) + " " +
                            std::to_string(kKappa) + " '" + (work / "ours_mean.raw").string() + "' '" +
                            (work / "ours_kappa.raw").string() + "'";
  RunTimed(npCmd, &npOut);
  double npMean = -1, npKappa = -1;
  char sameMean[32] = "?", sameKappa[32] = "?";
  std::sscanf(npOut.c_str(), "mean %lf %31s kappa %lf %31s", &npMean, sameMean, &npKappa, sameKappa);

  double sirilSigma = -1, sirilMean = -1, sirilStart = -1, sirilSigmaOwn = -1, sirilMeanOwn = -1;
  std::string sirilLog;
  if (RunTimed("command -v siril-cli >/dev/null") >= 0) {
    const fs::path dir = work / "siril";
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    char name[64];
    for (int f = 0; f < n; ++f) {
      std::snprintf(name, sizeof name, "src_%05d.fit", f + 1);
      WriteColourFits(dir / "src" / name, frames[size_t(f)].data(), w, h);
    }
    sirilSigma = SirilStack(dir, "rej s " + std::to_string(kKappa) + " " + std::to_string(kKappa), sirilLog,
                            sirilSigmaOwn);
    if (sirilSigma >= 0) sirilMean = SirilStack(dir, "rej 0 0", sirilLog, sirilMeanOwn);
    // Start-up and exit of siril-cli alone, with an empty script.
    {
      std::ofstream(dir / "empty.ssf") << "requires 1.0.0\n";
      sirilStart = 1e30;
      for (int i = 0; i < 2; ++i)
        sirilStart = std::min(sirilStart, RunTimed("siril-cli -s '" + (dir / "empty.ssf").string() + "' >/dev/null 2>&1"));
    }
    if (sirilSigma < 0 || sirilMean < 0) std::fprintf(stderr, "siril failed:\n%s\n", sirilLog.c_str());
  }

  const double frameMiB = double(n) * w * h * 3 / (1 << 20);
  {
    std::ifstream load("/proc/loadavg");
    std::string one, five;
    load >> one >> five;
    std::printf("load average at the end: %s (1 min), %s (5 min) on %u cores\n", one.c_str(), five.c_str(),
                std::max(1u, std::thread::hardware_concurrency()));
  }
  std::printf("frames: %d of %dx%d (%.1f MiB), kappa %d\n\n", n, w, h, frameMiB, kKappa);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf("| method | Stellon, 1 thread | Stellon, %u threads (CPU time) | numpy | numpy / Stellon | Siril "
              "(its stacking time) | Siril / Stellon | numpy result |\n", cores);
  std::printf("|---|---|---|---|---|---|---|---|\n");
  auto ms = [](double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, s < 0.1 ? "%.1f ms" : "%.0f ms", s * 1e3);
    return std::string(buf);
  };
  auto ratio = [](double a, double b) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1fx", a / b);
    return std::string(buf);
  };
  auto row = [&](const char* name, TTiming one, TTiming all, double np, double siril, double sirilOwn,
                 const char* same) {
    const double fastest = std::min(one.Wall, all.Wall);
    const std::string sirilText = siril >= 0 ? ms(siril) + " (" + ms(sirilOwn) + ")" : "n/a";
    std::printf("| %s | %s | %s (%s) | %s | %s | %s | %s | %s |\n", name, ms(one.Wall).c_str(), ms(all.Wall).c_str(),
                ms(all.Cpu).c_str(), np >= 0 ? ms(np).c_str() : "n/a", np >= 0 ? ratio(np, fastest).c_str() : "n/a",
                sirilText.c_str(), siril >= 0 ? ratio(std::min(siril, sirilOwn), fastest).c_str() : "n/a", same);
  };
  row("mean", mean1, meanN, npMean, sirilMean, sirilMeanOwn, sameMean);
  row("kappa-sigma", kappa1, kappaN, npKappa, sirilSigma, sirilSigmaOwn, sameKappa);
  if (sirilStart >= 0)
    std::printf("\nSiril: whole siril-cli run (start-up and exit alone: %.0f ms), in brackets the stacking time it "
                "reports itself, which still includes reading the %d FITS files; Siril / Stellon uses the latter. "
                "Siril clips each channel on its own and writes 32-bit floats.\n",
                sirilStart * 1e3, n);
  std::printf("\npeak memory: start %ld KiB, with frames %ld KiB, after combining %ld KiB: %+ld KiB over the frames "
              "(one row of all frames is %ld KiB)\n",
              rssStart, rssFrames, rssAfter, rssAfter - rssFrames, long(size_t(n) * w * 3 / 1024));
  return 0;
}
