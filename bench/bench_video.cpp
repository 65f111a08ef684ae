// SPDX-License-Identifier: GPL-3.0-or-later
// bench_video: reading every image of a video through TSequence::FetchImage,
// against FFmpeg decoding the same file in the same run.
//
// Videos: 1000 frames of 640x480 synthetic planet, uncompressed 24-bit and
// MJPEG, written to a temporary folder. Rows:
//   - sequential fetch of every image from the sequence's open source
//     (decode, convert, flip, as the program does), images per second;
//   - FFmpeg's own decode of the same file: the libavformat/libavcodec loop
//     (one thread, like ours), the same loop converting each picture to BGR24
//     as a DIB needs, and the ffmpeg program (-f null, one thread, start-up
//     included);
//   - random access to 300 arbitrary images, milliseconds per image;
//   - peak resident memory after all fetches.
// Usage: bench_video [frames] (default 1000).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "image/FastDIB.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// FFmpeg alone: demux and decode every packet of the first video stream;
// with `toBgr`, also convert each picture to BGR24 as a DIB needs.
int FfmpegDecodeAll(const std::string& path, bool toBgr = false) {
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
      SwsContext* sws = nullptr;
      std::vector<uint8_t> bgr;
      auto drain = [&] {
        while (avcodec_receive_frame(cc, frame) == 0) {
          ++frames;
          if (toBgr) {
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
            const int stride = (3 * frame->width + 63) & ~63;
            bgr.resize(size_t(stride) * size_t(frame->height) + 64);
            uint8_t* dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
            const int dstStride[4] = {stride, 0, 0, 0};
            if (sws) sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
          }
          av_frame_unref(frame);
        }
      };
      while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == si && avcodec_send_packet(cc, pkt) >= 0) drain();
        av_packet_unref(pkt);
      }
      avcodec_send_packet(cc, nullptr);
      drain();
      sws_freeContext(sws);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&cc);
  avformat_close_input(&fc);
  return frames;
}

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

long CurrentRssKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

std::string CpuModel() {
  std::ifstream f("/proc/cpuinfo");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown";
}

struct TResult {
  std::string Name;
  int Frames = 0;
  double OursFps = 0, LavcFps = 0, LavcBgrFps = 0, CliFps = 0;
  double RandomMeanMs = 0, RandomMaxMs = 0;
  long RssAfter100Kb = 0, RssAfterAllKb = 0;
};

TResult Measure(const std::string& name, const std::string& path, int frames) {
  TResult r;
  r.Name = name;
  TSequence seq;
  if (!seq.OpenAvi(path) || seq.ImageCount != frames) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    std::exit(1);
  }
  TFastDIB img;
  auto t0 = Clock::now();
  for (int i = 0; i < frames; ++i) {
    seq.CurrentIndex = i;
    if (!seq.FetchImage(img)) {
      std::fprintf(stderr, "image %d of %s not read\n", i, path.c_str());
      std::exit(1);
    }
    if (i == 99) r.RssAfter100Kb = CurrentRssKb();
  }
  auto t1 = Clock::now();
  r.Frames = frames;
  r.OursFps = frames / Seconds(t0, t1);
  r.RssAfterAllKb = CurrentRssKb();

  t0 = Clock::now();
  const int decoded = FfmpegDecodeAll(path);
  t1 = Clock::now();
  if (decoded != frames) std::fprintf(stderr, "FFmpeg decoded %d frames of %d\n", decoded, frames);
  r.LavcFps = frames / Seconds(t0, t1);
  t0 = Clock::now();
  FfmpegDecodeAll(path, true);
  t1 = Clock::now();
  r.LavcBgrFps = frames / Seconds(t0, t1);

  const std::string cmd = "ffmpeg -v error -nostdin -threads 1 -i '" + path + "' -f null - >/dev/null 2>&1";
  t0 = Clock::now();
  const int status = std::system(cmd.c_str());
  t1 = Clock::now();
  r.CliFps = status == 0 ? frames / Seconds(t0, t1) : 0;

  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> pick(0, frames - 1);
  constexpr int kRandom = 300;
  double total = 0, worst = 0;
  for (int k = 0; k < kRandom; ++k) {
    seq.CurrentIndex = pick(rng);
    const auto a = Clock::now();
    if (!seq.FetchImage(img)) std::exit(1);
    const double ms = Seconds(a, Clock::now()) * 1000;
    total += ms;
    worst = std::max(worst, ms);
  }
  r.RandomMeanMs = total / kRandom;
  r.RandomMaxMs = worst;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
  const std::string dir = (std::filesystem::temp_directory_path() / ("bench_video_" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(dir);

  TSampleOptions o;
  o.Frames = frames;
  o.Width = 640;
  o.Height = 480;
  o.Seed = 5;
  const std::pair<const char*, TVideoCodec> videos[] = {{"24-bit uncompressed", TVideoCodec::Bgr24},
                                                        {"MJPEG", TVideoCodec::Mjpeg}};
  for (const auto& [name, codec] : videos) {
    o.Format = codec;
    std::string error;
    if (!WriteSampleVideo(dir + "/" + name + ".avi", o, &error)) {
      std::fprintf(stderr, "cannot write %s: %s\n", name, error.c_str());
      return 1;
    }
  }
  std::vector<TResult> results;
  for (const auto& [name, codec] : videos) {
    const std::string path = dir + "/" + name + ".avi";
    FfmpegDecodeAll(path);  // both readers then find the file in the page cache
    results.push_back(Measure(name, path, frames));
  }
  const long peak = PeakRssKb();
  std::filesystem::remove_all(dir);

  std::printf("Machine: %ld cores, %s\n", sysconf(_SC_NPROCESSORS_ONLN), CpuModel().c_str());
  std::printf("Video: %d frames of 640x480\n\n", frames);
  std::printf("| Video | FetchImage img/s | FFmpeg decode img/s (ratio) | FFmpeg decode + BGR24 img/s (ratio) | "
              "ffmpeg -f null img/s (ratio) | random access mean / max ms | RSS after 100 / all images MB |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const TResult& r : results)
    std::printf("| %s | %.0f | %.0f (%.2f) | %.0f (%.2f) | %.0f (%.2f) | %.2f / %.2f | %.1f / %.1f |\n", r.Name.c_str(),
                r.OursFps, r.LavcFps, r.LavcFps / r.OursFps, r.LavcBgrFps, r.LavcBgrFps / r.OursFps, r.CliFps,
                r.CliFps / r.OursFps, r.RandomMeanMs, r.RandomMaxMs, r.RssAfter100Kb / 1024.0, r.RssAfterAllKb / 1024.0);
  std::printf("\nPeak RSS of the whole run (writing included): %.1f MB\n", peak / 1024.0);
  std::printf("(ratio) = our time per image / FFmpeg's; 1.00 is as fast as FFmpeg. FFmpeg runs on one thread, as we do.\n");
  return 0;
}
