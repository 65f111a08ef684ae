// SPDX-License-Identifier: GPL-3.0-or-later
// Lucky imaging: speed and quality of the sharpness ranking and of the
// sub-pixel alignment, on planet videos made by the sample generator with
// known blur levels and known sub-pixel centres.
//
// Speed (CPU seconds, best of RUNS, on a 1000-frame 640x480 video framed once
// beforehand): ranking every frame, and the alignment plus the mean of the
// best 25%, next to the ffmpeg program decoding the same file (its own CPU
// time, one thread) in the same run.
// Quality (300 frames of 320x240, blur sigma uniform in 0..2.5 px, brightness
// gain 0.7..1.2 per frame): Spearman rank correlation between score and true
// sharpness, the share of --best 50 frames from the sharper half, and the RMS
// error of the measured positions against the true centres (after removing
// the common offset, since only differences between frames count), for the
// sub-pixel positions and for whole-pixel framing (frame centre).
//
// Usage: bench_lucky [FRAMES] [RUNS]   (defaults 1000 and 3)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "combine/Combine.h"
#include "framing/AutoFrame.h"
#include "lucky/Lucky.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Best(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t0 = CpuSeconds();
    f();
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
}

double FfmpegDecode(const std::string& path) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    execlp("ffmpeg", "ffmpeg", "-v", "error", "-nostdin", "-threads", "1", "-i", path.c_str(), "-f", "null", "-",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage u{};
  if (wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::vector<double> Ranks(const std::vector<double>& v) {
  std::vector<size_t> order(v.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
  std::vector<double> r(v.size());
  for (size_t i = 0; i < order.size(); ++i) r[order[i]] = double(i);
  return r;
}

double Spearman(const std::vector<double>& a, const std::vector<double>& b) {
  const std::vector<double> ra = Ranks(a), rb = Ranks(b);
  const double n = double(a.size());
  double d2 = 0;
  for (size_t i = 0; i < a.size(); ++i) d2 += (ra[i] - rb[i]) * (ra[i] - rb[i]);
  return 1 - 6 * d2 / (n * (n * n - 1));
}

// RMS over both axes of (measured - true) after removing the mean difference.
double RmsError(const std::vector<TPoint2>& measured, const std::vector<TPoint2>& truth) {
  if (measured.empty()) return NAN;
  double mx = 0, my = 0;
  for (size_t i = 0; i < measured.size(); ++i) {
    mx += measured[i].X - truth[i].X;
    my += measured[i].Y - truth[i].Y;
  }
  mx /= double(measured.size());
  my /= double(measured.size());
  double s = 0;
  for (size_t i = 0; i < measured.size(); ++i) {
    const double dx = measured[i].X - truth[i].X - mx, dy = measured[i].Y - truth[i].Y - my;
    s += (dx * dx + dy * dy) / 2;
  }
  return std::sqrt(s / double(measured.size()));
}

bool OpenAndFrame(TSequence& seq, const std::string& path) {
  if (!seq.OpenAvi(path)) return false;
  TAutoFrameOptions o;
  AutoFrameAll(seq, o);
  return true;
}

void Quality(const std::string& dir) {
  TSampleOptions o;
  o.Frames = 300;
  o.Width = 320;
  o.Height = 240;
  o.Seed = 11;
  o.SubPixelCentres = true;
  uint64_t s = 12345;
  auto uniform = [&s] {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return double(s >> 11) / double(1ull << 53);
  };
  for (int i = 0; i < o.Frames; ++i) o.BlurSigmas.push_back(2.5 * uniform());
  // Brightness varies too: the video is written with a gain per frame.
  const std::string path = dir + "/lucky_quality.avi";
  {
    TVideoWriterOptions w;
    w.Codec = TVideoCodec::Bgr24;
    w.Width = o.Width;
    w.Height = o.Height;
    TVideoWriter writer;
    std::string error;
    if (!writer.Open(path, w, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
    TFastDIB frame;
    for (int i = 0; i < o.Frames; ++i) {
      RenderSampleFrame(o, i, frame);
      const double gain = 0.7 + 0.5 * uniform();
      for (int y = 0; y < o.Height; ++y)
        for (int x = 0; x < o.Width * 3; ++x) {
          uint8_t& v = frame.Scanlines[size_t(y)][x];
          v = uint8_t(std::min(255.0, v * gain));
        }
      if (!writer.WriteFrame(frame, &error)) std::exit(1);
    }
    if (!writer.Close(&error)) std::exit(1);
  }
  TSequence seq;
  if (!OpenAndFrame(seq, path)) std::exit(1);
  const TScores scores = ScoreSequence(seq);
  const auto positions = MeasurePositions(seq);
  std::vector<double> score, sharp;
  std::vector<int> framed;
  for (int i = 0; i < o.Frames; ++i)
    if (scores[size_t(i)]) {
      framed.push_back(i);
      score.push_back(*scores[size_t(i)]);
      sharp.push_back(-o.BlurSigmas[size_t(i)]);
    }
  std::vector<double> sorted(o.BlurSigmas.begin(), o.BlurSigmas.end());
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  const std::vector<int> best = BestImages(scores, 50);
  const long sharperHalf = std::count_if(best.begin(), best.end(), [&](int i) { return o.BlurSigmas[size_t(i)] < median; });

  std::printf("quality: %d frames of %dx%d, blur sigma 0..2.5 px, gain 0.7..1.2, %zu framed\n\n", o.Frames, o.Width,
              o.Height, framed.size());
  std::printf("| measure | value | target |\n|---|---|---|\n");
  std::printf("| Spearman rank correlation, score vs sharpness | %.3f | >= 0.9 |\n", Spearman(score, sharp));
  std::printf("| --best 50: share of used frames from the sharper half | %.1f %% (%ld of %zu) | >= 90 %% |\n",
              100.0 * double(sharperHalf) / double(best.size()), sharperHalf, best.size());

  // Positions, by blur band.
  struct TBand {
    const char* Name;
    double Lo, Hi;
  };
  for (const TBand band : {TBand{"no blur (sigma < 0.05)", -1, 0.05}, TBand{"sigma 0.05 to 1.5", 0.05, 1.5},
                           TBand{"sigma 1.5 to 2.5", 1.5, 9}}) {
    std::vector<TPoint2> sub, whole, truth;
    for (int i : framed) {
      const double sg = o.BlurSigmas[size_t(i)];
      if (sg < band.Lo || sg >= band.Hi || !positions[size_t(i)]) continue;
      const TSampleFrame f = SampleFrameInfo(o, i);
      const TRect& r = seq.Record(i)->FrameRect;
      sub.push_back(*positions[size_t(i)]);
      whole.push_back({(r.Left + r.Right) / 2.0, (r.Top + r.Bottom) / 2.0});
      truth.push_back({f.X, f.Y});
    }
    std::printf("| RMS position error per axis, %s (%zu frames): sub-pixel | %.3f px | <= 0.1 px |\n", band.Name,
                sub.size(), RmsError(sub, truth));
    std::printf("| RMS position error per axis, %s: whole-pixel framing | %.3f px | |\n", band.Name,
                RmsError(whole, truth));
  }
}

// Exactly-zero-blur frames for the no-blur band: a second, sharp-only run.
void QualitySharp(const std::string& dir) {
  TSampleOptions o;
  o.Frames = 100;
  o.Width = 320;
  o.Height = 240;
  o.Seed = 5;
  o.SubPixelCentres = true;
  const std::string path = dir + "/lucky_sharp.avi";
  std::string error;
  if (!WriteSampleVideo(path, o, &error)) std::exit(1);
  TSequence seq;
  if (!OpenAndFrame(seq, path)) std::exit(1);
  const auto positions = MeasurePositions(seq);
  std::vector<TPoint2> sub, whole, truth;
  for (int i = 0; i < o.Frames; ++i) {
    if (!positions[size_t(i)]) continue;
    const TSampleFrame f = SampleFrameInfo(o, i);
    const TRect& r = seq.Record(i)->FrameRect;
    sub.push_back(*positions[size_t(i)]);
    whole.push_back({(r.Left + r.Right) / 2.0, (r.Top + r.Bottom) / 2.0});
    truth.push_back({f.X, f.Y});
  }
  std::printf("| RMS position error per axis, unblurred video (%zu frames): sub-pixel | %.3f px | <= 0.1 px |\n",
              sub.size(), RmsError(sub, truth));
  std::printf("| RMS position error per axis, unblurred video: whole-pixel framing | %.3f px | about 0.3 px |\n",
              RmsError(whole, truth));
}

void Speed(int frames, int runs, const std::string& dir) {
  TSampleOptions o;
  o.Frames = frames;
  o.Width = 640;
  o.Height = 480;
  o.Seed = 7;
  const std::string path = dir + "/lucky_speed.avi";
  std::string error;
  if (!std::filesystem::exists(path) && !WriteSampleVideo(path, o, &error)) std::exit(1);
  TSequence seq;
  const double t0 = CpuSeconds();
  if (!OpenAndFrame(seq, path)) std::exit(1);
  const double framing = CpuSeconds() - t0;
  double ffmpeg = 1e30;
  for (int i = 0; i < runs; ++i) ffmpeg = std::min(ffmpeg, FfmpegDecode(path));
  const double rank = Best(runs, [&] { (void)ScoreSequence(seq); });
  const double align = Best(runs, [&] {
    TickBest(seq, BestImages(ScoreSequence(seq), 25));
    const TAlignedFrames a = AlignTakingPart(seq, 10);
    TCombineParams p;
    (void)CombineFramesOutcome(a.Frames, a.Used, false, p);
  });
  std::printf("\nspeed: %d frames of 640x480, raw 24-bit AVI, CPU seconds, best of %d\n\n", frames, runs);
  std::printf("| work | CPU s | / FFmpeg decode | target |\n|---|---|---|---|\n");
  std::printf("| ffmpeg -threads 1 -i VIDEO -f null - | %.3f | 1.00 | |\n", ffmpeg);
  std::printf("| automatic framing (reads every image) | %.3f | %.2f | |\n", framing, framing / ffmpeg);
  std::printf("| ranking every framed image | %.3f | %.2f | <= 0.5 |\n", rank, rank / ffmpeg);
  std::printf("| rank + best 25%% + sub-pixel alignment + mean | %.3f | %.2f | |\n", align, align / ffmpeg);
  std::printf("| framing + the above (stack --best 25 --align subpixel, less writing) | %.3f | %.2f | <= 3 |\n",
              framing + align, (framing + align) / ffmpeg);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string dir = (std::filesystem::temp_directory_path() / "stellon_bench_lucky").string();
  std::filesystem::create_directories(dir);
  Quality(dir);
  QualitySharp(dir);
  Speed(frames, runs, dir);
  return 0;
}
