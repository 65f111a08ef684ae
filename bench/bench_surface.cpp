// SPDX-License-Identifier: GPL-3.0-or-later
// bench_surface: surface framing (a region followed by correlation).
//
// Speed: a 256x256 region followed through 1000 images of 1280x960 (the real
// lunar capture testdata/real/moon_divx.avi looped ten times and encoded again
// as MPEG-4 by the ffmpeg program at bench time), whole pixel and sub-pixel,
// against FFmpeg's own decode of the same file in the same run (one thread).
// Quality:
//   - the 101 images of the real capture: how many are framed, lowest peak;
//   - a video of known shifts: 640x480 windows cut at known whole and
//     fractional positions (bilinear) from image 1 of the real capture
//     (1280x960), with Gaussian noise added; RMS and largest position error.
// Skipped with a message when the capture or the ffmpeg program is absent.
// Usage: bench_surface [images] (default 1000).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "framing/Surface.h"
#include "image/FastDIB.h"
#include "platform/VideoWriter.h"
#include "sequence/Sequence.h"

#ifndef STELLON_TESTDATA
#define STELLON_TESTDATA "../shared/testdata"
#endif

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }
// CPU seconds of the whole process (every thread) so far.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// FFmpeg alone: demux and decode every packet of the first video stream, one thread.
int FfmpegDecodeAll(const std::string& path) {
  AVFormatContext* fc = nullptr;
  if (avformat_open_input(&fc, path.c_str(), nullptr, nullptr) < 0) return -1;
  int frames = -1;
  const int si = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = si >= 0 ? avcodec_find_decoder(fc->streams[si]->codecpar->codec_id) : nullptr;
  AVCodecContext* cc = codec ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (cc && pkt && frame && avcodec_parameters_to_context(cc, fc->streams[si]->codecpar) >= 0) {
    cc->thread_count = 1;
    if (avcodec_open2(cc, codec, nullptr) >= 0) {
      frames = 0;
      auto drain = [&] {
        while (avcodec_receive_frame(cc, frame) == 0) {
          ++frames;
          av_frame_unref(frame);
        }
      };
      while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == si && avcodec_send_packet(cc, pkt) >= 0) drain();
        av_packet_unref(pkt);
      }
      avcodec_send_packet(cc, nullptr);
      drain();
    }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&cc);
  avformat_close_input(&fc);
  return frames;
}

std::string CpuModel() {
  std::ifstream f("/proc/cpuinfo");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

double LoadAverage() {
  std::ifstream f("/proc/loadavg");
  double l = 0;
  f >> l;
  return l;
}

struct TTrackRun {
  double Seconds = 0, Cpu = 0;
  int Framed = 0, Images = 0;
  double LowestPeak = 1;
  TSurfaceResult Result;
};

TTrackRun Track(const std::string& path, const TRect& region, bool subPixel, int reference = 0) {
  TTrackRun run;
  TSequence s;
  if (!s.OpenAvi(path)) return run;
  TSurfaceOptions o;
  o.Region = region;
  o.Reference = reference;
  o.bordure = 10;
  o.SubPixel = subPixel;
  const auto t0 = Clock::now();
  const double c0 = CpuSeconds();
  run.Result = TrackSurface(s, o);
  run.Cpu = CpuSeconds() - c0;
  run.Seconds = Seconds(t0, Clock::now());
  run.Images = s.ImageList.Count();
  run.Framed = run.Images - int(run.Result.Problems.size());
  for (const TSurfaceMatch& m : run.Result.Matches)
    if (m.Found) run.LowestPeak = std::min(run.LowestPeak, m.Peak);
  return run;
}

// Window of `big` whose top-left corner is at (ox, oy), bilinear, plus noise.
void Cut(const TFastDIB& big, double ox, double oy, int w, int h, double sigma, std::mt19937& rng, TFastDIB& out) {
  std::normal_distribution<double> noise(0, sigma);
  out.SetSize(w, h, 24, 0);
  const int ix = int(std::floor(ox)), iy = int(std::floor(oy));
  const double fx = ox - ix, fy = oy - iy;
  for (int y = 0; y < h; ++y) {
    const uint8_t* a = reinterpret_cast<const uint8_t*>(big.Pixels24(iy + y) + ix);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(big.Pixels24(iy + y + 1) + ix);
    uint8_t* o = reinterpret_cast<uint8_t*>(out.Pixels24(y));
    for (int x = 0; x < 3 * w; ++x) {
      const double v = (1 - fy) * ((1 - fx) * a[x] + fx * a[x + 3]) + fy * ((1 - fx) * b[x] + fx * b[x + 3]);
      o[x] = uint8_t(std::clamp(std::lround(v + noise(rng)), 0l, 255l));
    }
  }
}

struct TQuality {
  double Rms = 0, Max = 0;
  int Framed = 0, Images = 0, Wide = 0;
};

// Tracks the known-shift video; errors against the true positions.
TQuality Quality(const std::string& path, const std::vector<std::pair<double, double>>& cuts, const TRect& region,
                 bool subPixel) {
  TQuality q;
  const TTrackRun run = Track(path, region, subPixel);
  q.Images = run.Images;
  q.Wide = run.Result.WideSearches;
  q.Framed = run.Framed;
  double sum = 0;
  int n = 0;
  for (size_t i = 0; i < cuts.size() && i < run.Result.Matches.size(); ++i) {
    const TSurfaceMatch& m = run.Result.Matches[i];
    if (!m.Found) continue;
    const double ex = region.Left + cuts[0].first - cuts[i].first, ey = region.Top + cuts[0].second - cuts[i].second;
    const double e2 = (m.X - ex) * (m.X - ex) + (m.Y - ey) * (m.Y - ey);
    sum += e2;
    q.Max = std::max(q.Max, std::sqrt(e2));
    ++n;
  }
  q.Rms = n ? std::sqrt(sum / n) : 0;
  return q;
}

}  // namespace

int main(int argc, char** argv) {
  const int images = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const std::string capture = std::string(STELLON_TESTDATA) + "/real/moon_divx.avi";
  if (!fs::exists(capture)) {
    std::printf("skipped: %s is absent\n", capture.c_str());
    return 0;
  }
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    std::printf("skipped: the ffmpeg program is absent\n");
    return 0;
  }
  const fs::path dir = fs::temp_directory_path() / ("stellon-bench-surface-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::printf("bench_surface: %s, %u cores, load average %.1f at start\n\n", CpuModel().c_str(),
              std::thread::hardware_concurrency(), LoadAverage());

  // --- Speed ---------------------------------------------------------------------------
  const std::string looped = (dir / "moon1000.avi").string();
  const int loops = (images + 100) / 101;
  const std::string cmd = "ffmpeg -v error -y -nostdin -stream_loop " + std::to_string(loops - 1) + " -i '" + capture +
                          "' -frames:v " + std::to_string(images) + " -c:v mpeg4 -vtag DIVX -q:v 3 '" + looped + "'";
  if (std::system(cmd.c_str()) != 0) {
    std::printf("skipped: ffmpeg could not make the looped video\n");
    return 0;
  }
  const TRect region{512, 352, 767, 607};  // 256 x 256 in the middle of 1280 x 960
  const auto d0 = Clock::now();
  double c0 = CpuSeconds();
  const int decoded = FfmpegDecodeAll(looped);
  const double decode = Seconds(d0, Clock::now()), decodeCpu = CpuSeconds() - c0;
  double reading = 0, readingCpu = 0;
  {
    TSequence s;
    TFastDIB img;
    if (s.OpenAvi(looped)) {
      const auto r0 = Clock::now();
      const double rc0 = CpuSeconds();
      for (int i = 0; i < s.ImageList.Count(); ++i) {
        s.CurrentIndex = i;
        s.FetchImage(img);
      }
      readingCpu = CpuSeconds() - rc0;
      reading = Seconds(r0, Clock::now());
    }
  }
  TTrackRun whole = Track(looped, region, false);
  TTrackRun sub = Track(looped, region, true);
  const auto d1 = Clock::now();
  c0 = CpuSeconds();
  FfmpegDecodeAll(looped);
  const double decode2 = Seconds(d1, Clock::now()), decode2Cpu = CpuSeconds() - c0;
  const double base = std::min(decode, decode2), baseCpu = std::min(decodeCpu, decode2Cpu);
  std::printf("Speed: 256x256 region through %d images of 1280x960 (MPEG-4)\n\n", decoded);
  std::printf("| run | s | images/s | x FFmpeg decode | CPU s | CPU x decode |\n|---|---|---|---|---|---|\n");
  auto row = [&](const char* what, double s, double cpu, int n) {
    std::printf("| %s | %.2f | %.0f | %.2f | %.2f | %.2f |\n", what, s, n / s, s / base, cpu, cpu / baseCpu);
  };
  row("FFmpeg decode alone (best of 2)", base, baseCpu, decoded);
  row("every image read through FetchImage, no tracking", reading, readingCpu, decoded);
  row("surface framing, whole pixel", whole.Seconds, whole.Cpu, whole.Images);
  row("surface framing, sub-pixel", sub.Seconds, sub.Cpu, sub.Images);
  std::printf("\n");
  std::printf("framed: %d of %d (whole), %d of %d (sub-pixel); searched over the whole window: %d (whole), %d "
              "(sub-pixel)\n\n",
              whole.Framed, whole.Images, sub.Framed, sub.Images, whole.Result.WideSearches, sub.Result.WideSearches);

  // --- Real capture --------------------------------------------------------------------
  const TTrackRun real = Track(capture, region, false);
  const TTrackRun realSub = Track(capture, {384, 288, 895, 671}, false);
  std::printf("Real capture (moon_divx.avi): framed %d of %d with a 256x256 region (lowest peak %.3f, %d searched "
              "over the whole window); %d of %d with a 512x384 region (lowest peak %.3f, %d)\n\n",
              real.Framed, real.Images, real.LowestPeak, real.Result.WideSearches, realSub.Framed, realSub.Images,
              realSub.LowestPeak, realSub.Result.WideSearches);

  // --- Known shifts --------------------------------------------------------------------
  TSequence s;
  TFastDIB big;
  if (!s.OpenAvi(capture) || !s.FetchImage(big)) {
    std::printf("skipped: image 1 of the capture cannot be read\n");
    return 0;
  }
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> step(-25, 25);
  std::uniform_real_distribution<double> frac(0, 1);
  const int kImages = 60;
  for (const bool fractional : {false, true}) {
    std::vector<std::pair<double, double>> cuts;
    double x = 320, y = 240;
    for (int i = 0; i < kImages; ++i) {
      if (i > 0) {
        x = std::clamp(x + step(rng), 200.0, 440.0);
        y = std::clamp(y + step(rng), 140.0, 340.0);
      }
      cuts.push_back({fractional && i > 0 ? std::floor(x) + frac(rng) : std::floor(x),
                      fractional && i > 0 ? std::floor(y) + frac(rng) : std::floor(y)});
    }
    const std::string path = (dir / (fractional ? "frac.avi" : "whole.avi")).string();
    TVideoWriterOptions o;
    o.Width = 640;
    o.Height = 480;
    TVideoWriter w;
    std::string error;
    bool ok = w.Open(path, o, &error);
    TFastDIB window;
    for (const auto& [cx, cy] : cuts) {
      Cut(big, cx, cy, 640, 480, 4.0, rng, window);
      ok = ok && w.WriteFrame(window, &error);
    }
    ok = ok && w.Close(&error);
    if (!ok) {
      std::printf("skipped: %s\n", error.c_str());
      continue;
    }
    const TRect r{192, 112, 447, 367};
    for (const bool subPixel : {false, true}) {
      const TQuality q = Quality(path, cuts, r, subPixel);
      std::printf("| %s shifts, noise sigma 4 | %s | %d of %d | %.3f | %.3f | %d |\n", fractional ? "fractional" : "whole",
                  subPixel ? "sub-pixel" : "whole pixel", q.Framed, q.Images, q.Rms, q.Max, q.Wide);
    }
  }
  std::printf("\nload average %.1f at end\n", LoadAverage());
  fs::remove_all(dir);
  return 0;
}
