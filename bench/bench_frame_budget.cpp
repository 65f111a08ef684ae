// SPDX-License-Identifier: GPL-3.0-or-later
// bench_frame_budget: the frame copies of a long capture with the memory
// budget on (copies past it continue in the temporary file) and off.
//
// Each run is a child process: it copies the framed object (141x141 pixels,
// a 120-pixel planet with a margin of 10) out of a 640x480 picture for every
// image, as automatic framing does, then combines the copies (the mean
// combination, as the program runs it). Rows: images, budget, time of both
// phases, the child's peak resident memory (file pages included) after
// copying and at the end, and its anonymous memory after copying.
// Usage: bench_frame_budget [budget MB] [image counts...] (default 256, 5000 50000).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "combine/Combine.h"
#include "image/FastDIB.h"
#include "sequence/FrameBlockPool.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  return 0;
}

constexpr int kSide = 141;

// In the child: writes "copy-seconds combine-seconds anon-kb file-mb peak-after-copy-kb" to `fd`.
void Run(int images, size_t budget, int fd) {
  SetFrameBlockBudget(budget);
  TFastDIB picture;
  picture.SetSize(640, 480, 24, 0);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640 * 3; ++x) picture.Scanlines[size_t(y)][x] = uint8_t(x * 7 + y);
  const size_t bytes = size_t(kSide) * kSide * 3 + 1;
  const TStatus room = CheckFrameBlockRoom(uint64_t(images), bytes);
  if (!room) {
    dprintf(fd, "no room: %s\n", room.Message().c_str());
    return;
  }
  std::vector<TFramePixels> copies;
  copies.reserve(size_t(images));
  const auto t0 = Clock::now();
  for (int i = 0; i < images; ++i) {
    TFramePixels& block = copies.emplace_back(bytes);
    const int left = 100 + i % 200, top = 50 + i % 150;
    for (int y = 0; y < kSide; ++y)
      std::memcpy(&block[size_t(y) * kSide * 3], picture.Scanlines[size_t(top + y)] + left * 3, size_t(kSide) * 3);
  }
  const auto t1 = Clock::now();
  const long anon = StatusKb("RssAnon:");
  const long copyPeak = StatusKb("VmHWM:");
  const size_t inFile = FrameBlockPoolStats().FileBytes;
  TCombineFrames frames;
  frames.Width = frames.Height = kSide;
  for (const TFramePixels& block : copies) frames.Blocks.push_back(block.data());
  const TCombineOutcome mean = CombineFramesOutcome(frames, {}, false, TCombineParams{});
  const auto t2 = Clock::now();
  dprintf(fd, "%.2f %.2f %ld %zu %ld %u\n", Seconds(t0, t1), Seconds(t1, t2), anon, inFile >> 20, copyPeak,
          unsigned(mean.Image ? mean.Image->Scanlines[kSide / 2][kSide * 3 / 2] : 0));
}

}  // namespace

int main(int argc, char** argv) {
  const size_t budgetMb = argc > 1 ? size_t(std::atol(argv[1])) : 256;
  std::vector<int> counts;
  for (int i = 2; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {5000, 50000};
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("bench_frame_budget: copies of %dx%d pixels (%d bytes), load average %.1f\n\n", kSide, kSide,
              kSide * kSide * 3 + 1, load[0]);
  std::printf("| images | budget | copy s | mean combination s | peak RSS MB after copying | peak RSS MB | "
              "anonymous MB after copying | MB in the file |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (int images : counts)
    for (size_t budget : {size_t(0), budgetMb << 20}) {
      int pipefd[2];
      if (::pipe(pipefd) != 0) return 1;
      const pid_t child = ::fork();
      if (child == 0) {
        ::close(pipefd[0]);
        Run(images, budget, pipefd[1]);
        ::_exit(0);
      }
      ::close(pipefd[1]);
      char text[512] = {};
      ssize_t got = 0, n;
      while ((n = ::read(pipefd[0], text + got, sizeof text - 1 - size_t(got))) > 0) got += n;
      ::close(pipefd[0]);
      int status = 0;
      struct rusage usage {};
      ::wait4(child, &status, 0, &usage);
      double copy = 0, combine = 0;
      long anon = 0, copyPeak = 0;
      size_t inFile = 0;
      if (std::sscanf(text, "%lf %lf %ld %zu %ld", &copy, &combine, &anon, &inFile, &copyPeak) != 5) {
        std::printf("| %d | %s | %s |\n", images, budget ? (std::to_string(budgetMb) + " MB").c_str() : "off", text);
        continue;
      }
      std::printf("| %d | %s | %.2f | %.2f | %ld | %ld | %ld | %zu |\n", images,
                  budget ? (std::to_string(budgetMb) + " MB").c_str() : "off", copy, combine, copyPeak / 1024,
                  usage.ru_maxrss / 1024, anon / 1024, inFile);
      std::fflush(stdout);
    }
  return 0;
}
