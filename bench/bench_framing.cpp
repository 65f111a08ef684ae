// SPDX-License-Identifier: GPL-3.0-or-later
// Automatic framing of a generated 1000-image 640x480 24-bit planet video, in
// simple and complex image mode, next to FFmpeg decoding the same file in the
// same run (a libavformat/libavcodec loop in this process, and the ffmpeg
// program with "-f null"). Also times the image fetches alone, so the share of
// the detection can be read off.
//
// Times are CPU seconds (user + system) of the work measured, best of several
// runs, so that other programs on a shared machine do not inflate them; the
// ffmpeg program's time is its own, read from its resource usage.
//
// Usage: bench_framing [FRAMES] [RUNS]   (defaults 1000 and 3)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "framing/AutoFrame.h"
#include "framing/Detect.h"
#include "sequence/SamplePlanet.h"
#include "sequence/FrameBlockPool.h"
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

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Decodes every picture of the first video stream; returns how many.
int DecodeAll(const std::string& path) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return -1;
  int pictures = -1;
  if (avformat_find_stream_info(fmt, nullptr) >= 0) {
    const int s = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = s >= 0 ? avcodec_find_decoder(fmt->streams[s]->codecpar->codec_id) : nullptr;
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (ctx && avcodec_parameters_to_context(ctx, fmt->streams[s]->codecpar) >= 0 &&
        avcodec_open2(ctx, codec, nullptr) >= 0) {
      pictures = 0;
      AVPacket* pkt = av_packet_alloc();
      AVFrame* frame = av_frame_alloc();
      auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) >= 0) {
          ++pictures;
          av_frame_unref(frame);
        }
      };
      while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == s && avcodec_send_packet(ctx, pkt) >= 0) drain();
        av_packet_unref(pkt);
      }
      avcodec_send_packet(ctx, nullptr);
      drain();
      av_frame_free(&frame);
      av_packet_free(&pkt);
    }
    avcodec_free_context(&ctx);
  }
  avformat_close_input(&fmt);
  return pictures;
}

// CPU seconds of "ffmpeg -i FILE -f null -", or a negative value when it cannot run.
double FfmpegProgramSeconds(const std::string& path) {
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

struct TRunFacts {
  int Framed = 0;
  int Problems = 0;
  size_t FrameBytes = 0;
};

TRunFacts Frame(const std::string& path, bool complexMode) {
  TSequence s;
  if (!s.OpenAvi(path)) return {};
  s.Tolerance = 30;
  TAutoFrameOptions p;
  p.ComplexMode = complexMode;
  p.AutoTolerance = false;
  p.bordure = 10;
  const TAutoFrameResult r = AutoFrameAll(s, p);
  TRunFacts f;
  f.Problems = int(r.Problems.size());
  for (int i = 0; i < s.ImageList.Count(); ++i) {
    const TAviList* rec = s.Record(i);
    f.Framed += rec->HasFrame;
    f.FrameBytes += rec->FramePixels.size();
  }
  return f;
}

// Fetch and detection of every image, no frame made.
int DetectAll(const std::string& path, bool complexMode) {
  TSequence s;
  if (!s.OpenAvi(path)) return 0;
  TFastDIB img;
  TDetectScratch scratch;
  int found = 0;
  for (int i = 0; i < s.ImageCount; ++i) {
    s.CurrentIndex = i;
    TRect r;
    int32_t tolerance = 30;
    found += s.FetchImage(img) && DetectObject(img, r, tolerance, {complexMode, false}, &scratch);
  }
  return found;
}

// The frame pixel blocks alone: `count` blocks of `bytes`, allocated and filled.
// The frame copies alone, allocated as the records hold them (pooled blocks)
// and, for comparison, one general-allocator vector each.
template <class TBlock>
void KeepBlocks(int count, size_t bytes) {
  std::vector<uint8_t> source(bytes, 7);
  std::vector<TBlock> blocks(static_cast<size_t>(count));
  for (auto& b : blocks) {
    b.reserve(bytes);
    b.insert(b.end(), source.begin(), source.end());
  }
}

void FetchAll(const std::string& path) {
  TSequence s;
  if (!s.OpenAvi(path)) return;
  TFastDIB img;
  for (int i = 0; i < s.ImageCount; ++i) {
    s.CurrentIndex = i;
    s.FetchImage(img);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("stellon-bench-framing-" + std::to_string(getpid()) + ".avi")).string();

  TSampleOptions o;
  o.Frames = frames;
  o.Width = 640;
  o.Height = 480;
  o.Seed = 2024;
  o.EmptyFrames = {frames / 10, frames / 2};
  o.PartialFrames = {frames / 5, 7 * frames / 10};
  o.BlurredFrames = {3 * frames / 10};
  std::string error;
  if (!WriteSampleVideo(path, o, &error)) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  const double mb = double(std::filesystem::file_size(path)) / 1e6;

  // Warm the page cache so that every contender reads from memory.
  DecodeAll(path);
  int decoded = 0;
  const double decode = Best(runs, [&] { decoded = DecodeAll(path); });
  double program = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t = FfmpegProgramSeconds(path);
    if (t >= 0) program = std::min(program, t);
  }
  const double fetch = Best(runs, [&] { FetchAll(path); });
  const double detectSimple = Best(runs, [&] { DetectAll(path, false); });
  const double detectComplex = Best(runs, [&] { DetectAll(path, true); });
  const long rssBefore = MaxRssKb();
  TRunFacts simple, complexRun;
  const double simpleTime = Best(runs, [&] { simple = Frame(path, false); });
  const double complexTime = Best(runs, [&] { complexRun = Frame(path, true); });
  const long rssAfter = MaxRssKb();
  const size_t blockBytes = simple.Framed > 0 ? simple.FrameBytes / size_t(simple.Framed) : 0;
  const double blocks = Best(runs, [&] { KeepBlocks<TFramePixels>(simple.Framed, blockBytes); });
  const double plainBlocks = Best(runs, [&] { KeepBlocks<std::vector<uint8_t>>(simple.Framed, blockBytes); });
  std::filesystem::remove(path);

  std::printf("Video: %d images, 640x480, 24 bits, %.0f MB; FFmpeg decoded %d pictures\n\n", frames, mb, decoded);
  std::printf("| %-40s | %9s | %8s | %10s |\n", "Work (CPU time, best of runs)", "seconds", "ms/image", "vs decode");
  std::printf("|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(11, '-').c_str(),
              std::string(10, '-').c_str(), std::string(12, '-').c_str());
  auto row = [&](const char* name, double s) {
    std::printf("| %-40s | %9.3f | %8.3f | %9.2fx |\n", name, s, s * 1e3 / frames, s / decode);
  };
  row("FFmpeg decode, libavformat/libavcodec loop", decode);
  if (program < 1e29) row("ffmpeg -i F -f null - (program)", program);
  row("Image fetches alone (FetchImage)", fetch);
  row("Fetches + detection, simple mode", detectSimple);
  row("Fetches + detection, complex mode", detectComplex);
  row("Frame pixel blocks alone (alloc + fill)", blocks);
  row("  the same as plain std::vector blocks", plainBlocks);
  row("Automatic framing, simple mode", simpleTime);
  row("Automatic framing, complex mode", complexTime);
  std::printf("\nSimple: %d framed, %d problems; complex: %d framed, %d problems.\n", simple.Framed, simple.Problems,
              complexRun.Framed, complexRun.Problems);
  std::printf("Frame pixels kept: %.1f MB; peak resident size %.1f MB before framing, %.1f MB after.\n",
              double(simple.FrameBytes) / 1e6, double(rssBefore) / 1e3, double(rssAfter) / 1e3);
  std::printf("Targets: simple <= 2x decode (%s), complex <= 3x decode (%s).\n",
              simpleTime <= 2 * decode ? "met" : "NOT met", complexTime <= 3 * decode ? "met" : "NOT met");
  return 0;
}
