// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: reading videos through FFmpeg (MP4, MKV, MOV, WebM, ...).
// The input becomes an in-memory file, opened by path as a user's file is;
// its first, a middle and its last image are read, then one past the end. An
// open that succeeds must give sane facts, and every image read must have the
// video's size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "sources/MediaSource.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("fuzz.media", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size > 0 && ::write(fd, data, size) != ssize_t(size)) {
    ::close(fd);
    return 0;
  }
  std::unique_ptr<TImageSource> source;
  const TStatus status = OpenMediaSource("/proc/self/fd/" + std::to_string(fd), source);
  if (status) {
    if (!source) std::abort();
    const TSourceFacts& f = source->Facts();
    if (f.ImageCount < 0 || f.Width < 1 || f.Height < 1 || f.Width > TFastDIB::kMaxSide ||
        f.Height > TFastDIB::kMaxSide || f.BitsPerPixel != 24)
      std::abort();
    TFastDIB image;
    for (int i : {0, f.ImageCount / 2, f.ImageCount - 1, f.ImageCount}) {
      const bool read = source->ReadImage(i, image).ok();
      if (read && (i < 0 || i >= f.ImageCount)) std::abort();
      if (read && (image.Width() != f.Width || image.AbsHeight != f.Height || image.Bpp() != 24)) std::abort();
    }
  } else if (source || status.Message().empty()) {
    std::abort();
  }
  ::close(fd);
  return 0;
}
