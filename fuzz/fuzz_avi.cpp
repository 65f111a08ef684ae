// libFuzzer target: an arbitrary file opened as an AVI sequence, counted, and
// a few of its images fetched as the program fetches them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/FastDIB.h"
#include "platform/VideoFile.h"
#include "sequence/Sequence.h"

namespace {
const std::string& InputPath() {
  static const std::string path = "/tmp/fuzz_avi_" + std::to_string(::getpid()) + ".avi";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool init = (AVIFileInit(), true);
  (void)init;
  const std::string& path = InputPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) return 0;

  TSequence seq;
  if (!seq.OpenAvi(path)) return 0;
  // The packed DIBs themselves (the sequence reads 24- and 32-bit pictures as rows).
  PAVIFILE file = nullptr;
  if (AVIFileOpen(&file, path.c_str(), 0, nullptr) == AVIERR_OK) {
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(file, &stream, 0, 0) == AVIERR_OK) {
      if (PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr)) {
        for (const int i : {seq.ImageCount - 1, 0}) {
          const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(frames, i));
          const size_t n = AVIStreamGetFrameSize(frames);
          if (dib && (n < 40 || dib[0] != 40)) __builtin_trap();
          volatile uint8_t last = dib ? dib[n - 1] : 0;  // the whole block is readable
          (void)last;
        }
        AVIStreamGetFrameClose(frames);
      }
      AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
  }
  const int n = seq.ImageCount;
  for (const int i : {0, 1, n - 1, n / 2, 0}) {
    if (i < 0 || i >= n) continue;
    seq.CurrentIndex = i;
    TFastDIB img;
    if (seq.FetchImage(img) && (img.Width() < 1 || img.AbsHeight < 1 || !img.Bits)) __builtin_trap();
  }
  return 0;
}
