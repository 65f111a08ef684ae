// SPDX-License-Identifier: GPL-3.0-or-later
// Batch saving of a generated 1000-image 640x480 24-bit uncompressed video,
// whole images and frame cut-outs, as BMP files, next to writing the same
// bytes into the same number of new files with plain open()/write()/close()
// in the same run. Also times the image fetches alone (the decode share).
//
// Each contender writes into a fresh folder that is emptied and synced to the
// disk (not timed) before the next run; the runs of the batch and of its baseline alternate, so both
// see the same machine load and page-cache state. Times are wall-clock and
// CPU seconds (user + system), best of the runs. Resident memory is sampled
// after 100 images and after the last one of a batch.
//
// Usage: bench_save [FRAMES] [RUNS] [FOLDER]   (defaults 1000, 3 and the temporary folder)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/Saving.h"
#include "framing/AutoFrame.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"

namespace fs = std::filesystem;

namespace {

struct TTimes {
  double Wall = 1e30, Cpu = 1e30;
};

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void Time(TTimes& best, const std::function<void()>& f) {
  const auto w0 = std::chrono::steady_clock::now();
  const double c0 = CpuSeconds();
  f();
  best.Cpu = std::min(best.Cpu, CpuSeconds() - c0);
  best.Wall = std::min(best.Wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count());
}

double RssMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// A new empty folder for each timed run, with every earlier write on the
// disk, so that no contender pays for the writeback of the one before it.
// Files are removed only at the end: creating files just after deleting
// thousands costs ext4 a search among the recently freed inodes, which would
// fall on whichever contender ran next.
fs::path Fresh(const fs::path& root) {
  static int runs = 0;
  const fs::path dir = root / ("run" + std::to_string(runs++));
  fs::create_directories(dir);
  ::sync();
  return dir;
}

// The baseline: `sizes[i]` bytes into new file i with plain system calls.
void PlainWrites(const fs::path& dir, const std::vector<size_t>& sizes, const std::vector<char>& bytes) {
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string path = (dir / ("plain" + std::to_string(i) + ".bmp")).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), sizes[i]) != ssize_t(sizes[i]) || ::close(fd) != 0) {
      std::perror(path.c_str());
      std::exit(1);
    }
  }
}

struct TBatchFacts {
  std::vector<size_t> Sizes;  // bytes of every file written
  double RssAt100 = 0, RssAtEnd = 0;
};

TBatchFacts Batch(TSequence& seq, const TLotParams& lot) {
  TBatchFacts facts;
  TParamglob settings;
  TFixedSaveAnswers replace(true);
  TBatchSaveHooks hooks;
  hooks.Written = [&](const std::string& path) { facts.Sizes.push_back(size_t(fs::file_size(path))); };
  hooks.Progress = [&](int32_t done) {
    if (done == 100) facts.RssAt100 = RssMb();
  };
  int32_t number = 1;
  const TBatchSaveOutcome out = SaveBatch(seq, lot, number, settings, settings.FITS, replace, hooks);
  facts.RssAtEnd = RssMb();
  if (!out.Status) {
    std::fprintf(stderr, "%s\n", out.Status.Message().c_str());
    std::exit(1);
  }
  return facts;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const fs::path root = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "stellon_bench_save";
  fs::remove_all(root);
  fs::create_directories(root);
  const std::string video = (root / "planet.avi").string();
  TSampleOptions o;
  o.Frames = frames;
  o.Width = 640;
  o.Height = 480;
  std::string error;
  if (!WriteSampleVideo(video, o, &error)) {
    std::fprintf(stderr, "cannot write the video: %s\n", error.c_str());
    return 1;
  }
  TSequence seq;
  if (!seq.OpenAvi(video)) return 1;

  // Fetches alone.
  TTimes fetch;
  TFastDIB picture;
  for (int r = 0; r < runs; ++r)
    Time(fetch, [&] {
      for (int i = 0; i < seq.ImageCount; ++i) {
        seq.CurrentIndex = i;
        seq.FetchImage(picture);
      }
    });

  TLotParams whole;
  whole.Prefix = "Img";
  TLotParams cut = whole;
  cut.AllImages = false;
  cut.FramedImages = cut.InsideFrame = true;

  auto compare = [&](TLotParams lot, TTimes& ours, TTimes& plain, TBatchFacts& facts) {
    std::vector<char> bytes;
    for (int r = 0; r < runs; ++r) {
      lot.Directory = Fresh(root).string();
      Time(ours, [&] { facts = Batch(seq, lot); });
      if (bytes.empty()) bytes.assign(*std::max_element(facts.Sizes.begin(), facts.Sizes.end()), 'x');
      const fs::path dir = Fresh(root);
      Time(plain, [&] { PlainWrites(dir, facts.Sizes, bytes); });
    }
  };
  TTimes wholeOurs, wholePlain, cutOurs, cutPlain;
  TBatchFacts wholeFacts, cutFacts;
  const std::string loadBefore = LoadAverage();
  compare(whole, wholeOurs, wholePlain, wholeFacts);
  TParamglob framing;
  AutoFrameAll(seq, AutoFrameOptionsOf(framing));
  compare(cut, cutOurs, cutPlain, cutFacts);
  const std::string loadAfter = LoadAverage();
  fs::remove_all(root);

  std::printf("Video: %d images, 640x480, 24 bits uncompressed; folder %s; load average %s before, %s after\n\n",
              frames, root.c_str(), loadBefore.c_str(), loadAfter.c_str());
  std::printf("| %-44s | %5s | %8s | %8s | %8s | %9s |\n", "Work (best of runs)", "files", "MB", "wall s",
              "CPU s", "wall vs plain");
  std::printf("|%s|------:|---------:|---------:|---------:|----------:|\n", std::string(46, '-').c_str());
  auto mb = [](const std::vector<size_t>& s) {
    size_t t = 0;
    for (size_t v : s) t += v;
    return double(t) / 1e6;
  };
  auto row = [&](const char* name, size_t files, double megabytes, const TTimes& t, const TTimes* base) {
    std::printf("| %-44s | %5zu | %8.1f | %8.3f | %8.3f | ", name, files, megabytes, t.Wall, t.Cpu);
    if (base) std::printf("%8.2fx |\n", t.Wall / base->Wall);
    else std::printf("%9s |\n", "");
  };
  row("Image fetches alone (FetchImage)", 0, 0, fetch, nullptr);
  row("plain write() of the same bytes, whole images", wholeFacts.Sizes.size(), mb(wholeFacts.Sizes), wholePlain,
      nullptr);
  row("**Batch saving, whole images (BMP)**", wholeFacts.Sizes.size(), mb(wholeFacts.Sizes), wholeOurs, &wholePlain);
  row("plain write() of the same bytes, cut-outs", cutFacts.Sizes.size(), mb(cutFacts.Sizes), cutPlain, nullptr);
  row("**Batch saving, frame cut-outs (BMP)**", cutFacts.Sizes.size(), mb(cutFacts.Sizes), cutOurs, &cutPlain);
  std::printf("\nResident memory: whole images %.1f MB after 100, %.1f MB after %d; cut-outs %.1f / %.1f MB.\n",
              wholeFacts.RssAt100, wholeFacts.RssAtEnd, frames, cutFacts.RssAt100, cutFacts.RssAtEnd);
  std::printf("Target within 1.5x of plain write(): whole %s, cut-outs %s.\n",
              wholeOurs.Wall <= 1.5 * wholePlain.Wall ? "met" : "NOT met",
              cutOurs.Wall <= 1.5 * cutPlain.Wall ? "met" : "NOT met");
  return 0;
}
