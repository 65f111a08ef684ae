// SPDX-License-Identifier: GPL-3.0-or-later
// bench_ser: reading every image of a SER capture through the SER source,
// against a plain pread() of the same frame bytes in the same run.
//
// Captures: 1000 frames of 640x480 (default), written to a temporary folder:
// 8-bit mono, 16-bit mono (12-bit depth, scaled to 8 bits), 8-bit RGGB
// (demosaiced). The file is read once first so every row reads from the page
// cache. Rows per capture: sequential fetch of every image, the plain read of
// the same bytes, and the floor (the plain read plus filling a 24-bit picture),
// best of 5 passes taken in turns; ratios in the thread's CPU time (user +
// system; steadier on a shared machine, since time spent waiting for a core
// does not count) and in wall time; random access to 300
// arbitrary images with the read() system calls each cost (from
// /proc/self/io); resident memory growth over the whole run.
// Usage: bench_ser [frames] [folder].
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "sources/SerFormat.h"
#include "sources/SerSource.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

long ReadCalls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value)
    if (key == "syscr:") return value;
  return 0;
}

// Best wall and CPU time over the kept passes of one row.
struct TTimes {
  double Wall = 1e9, Cpu = 1e9;
  template <typename F>
  bool Time(bool keep, F pass) {
    const auto t0 = Clock::now();
    const double c0 = CpuSeconds();
    if (!pass()) return false;
    if (keep) Wall = std::min(Wall, Seconds(t0, Clock::now())), Cpu = std::min(Cpu, CpuSeconds() - c0);
    return true;
  }
};

struct TCapture {
  const char* Name;
  int32_t Colour;
  int Depth;
};

bool WriteCapture(const std::string& path, const TCapture& c, int frames, int w, int h) {
  ser::THeader header;
  header.ColourId = c.Colour;
  header.Width = w;
  header.Height = h;
  header.Depth = c.Depth;
  header.FrameCount = frames;
  ser::TWriter writer;
  if (!writer.Open(path, header, false)) return false;
  std::vector<uint16_t> samples(size_t(w) * size_t(h));
  std::vector<uint8_t> bytes(samples.size());
  const unsigned maxValue = (1u << c.Depth) - 1;
  for (int f = 0; f < frames; ++f) {
    // A disc that moves a little from frame to frame, on noise.
    const int cx = w / 2 + (f % 17) - 8, cy = h / 2 + (f % 13) - 6;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        const unsigned v = d2 < 100 * 100 ? maxValue * 3 / 4 : (unsigned(x * 7 + y * 13 + f) % 16) * maxValue / 255;
        samples[size_t(y) * w + x] = uint16_t(std::min(v, maxValue));
      }
    std::copy(samples.begin(), samples.end(), bytes.begin());
    if (!(c.Depth > 8 ? writer.AddFrame(samples.data()) : writer.AddFrame(bytes.data()))) return false;
  }
  return writer.Finish().ok();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
  const std::filesystem::path dir = (argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path()) /
                                    ("bench_ser_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const int w = 640, h = 480;
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("bench_ser: %d frames of %dx%d, load average %.1f\n\n", frames, w, h, load[0]);
  std::printf("| capture | frame bytes | plain read CPU ms/img | fetch CPU ms/img | x read CPU | x read wall | floor CPU ms/img "
              "| floor x read CPU | random ms/img | reads/img | RSS growth KB |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
  const TCapture captures[] = {{"8-bit mono", ser::Mono, 8}, {"16-bit mono (12-bit depth)", ser::Mono, 12},
                               {"8-bit RGGB", ser::BayerRggb, 8}};
  TFastDIB filled;  // the floor's picture, outside the resident-memory figure
  filled.SetSize(w, h, 24, 0);
  for (const TCapture& c : captures) {
    const std::string path = (dir / "capture.ser").string();
    if (!WriteCapture(path, c, frames, w, h)) return 1;
    const size_t frameBytes = size_t(w) * h * (c.Depth > 8 ? 2 : 1);
    const long rssBefore = ResidentKb();

    // Baseline: the same bytes with one pread per frame, into a buffer as
    // aligned as a picture's pixels (the kernel copies into a 16-byte-aligned
    // std::vector about a fifth slower: that would flatter the reader).
    // Floor: the same reads, each followed by filling a 24-bit picture of the
    // frame's size with memset, the least any reader handing out 24-bit
    // pictures can cost. The three are measured in turns, pass by pass, so a
    // change in the machine's load touches all of them.
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct TFree {
      void operator()(uint8_t* p) const { std::free(p); }
    };
    const std::unique_ptr<uint8_t, TFree> buffer(static_cast<uint8_t*>(std::aligned_alloc(64, (frameBytes + 63) / 64 * 64)));
    std::unique_ptr<TImageSource> source;
    if (!OpenSerSource(path, source)) return 1;
    TFastDIB image;
    auto plainPass = [&](bool fill) {
      for (int i = 0; i < frames; ++i) {
        if (::pread(fd, buffer.get(), frameBytes, off_t(ser::kHeaderSize + uint64_t(i) * frameBytes)) != ssize_t(frameBytes))
          return false;
        if (fill) std::memset(filled.Bits, i, filled.Size());
      }
      return true;
    };
    auto fetchPass = [&] {
      for (int i = 0; i < frames; ++i)
        if (!source->ReadImage(i, image)) return false;
      return true;
    };
    TTimes plain, floor, fetch;
    for (int pass = 0; pass < 6; ++pass) {  // the first pass fills the page cache and the pictures
      const bool keep = pass > 0;
      if (!plain.Time(keep, [&] { return plainPass(false); }) || !floor.Time(keep, [&] { return plainPass(true); }) ||
          !fetch.Time(keep, fetchPass))
        return 1;
    }
    ::close(fd);
    std::mt19937 random(7);
    const long calls0 = ReadCalls();
    const auto t0 = Clock::now();
    for (int n = 0; n < 300; ++n)
      if (!source->ReadImage(int(random() % unsigned(frames)), image)) return 1;
    const double randomMs = Seconds(t0, Clock::now()) * 1000 / 300;
    const double readsPerImage = double(ReadCalls() - calls0) / 300;
    const double ms = 1000.0 / frames;
    std::printf("| %s | %zu | %.4f | %.4f | %.2f | %.2f | %.4f | %.2f | %.3f | %.2f | %ld |\n", c.Name, frameBytes, plain.Cpu * ms,
                fetch.Cpu * ms, fetch.Cpu / plain.Cpu, fetch.Wall / plain.Wall, floor.Cpu * ms, floor.Cpu / plain.Cpu, randomMs,
                readsPerImage, ResidentKb() - rssBefore);
    source.reset();
    std::filesystem::remove(path);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
