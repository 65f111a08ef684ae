// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: SER capture reading. The input becomes an in-memory file;
// it is opened, and its first, last and a middle image are read. An open that
// succeeds must give facts that agree with the file's size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sources/SerSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("fuzz.ser", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size > 0 && ::write(fd, data, size) != ssize_t(size)) {
    ::close(fd);
    return 0;
  }
  std::unique_ptr<TImageSource> source;
  const TStatus status = OpenSerSource("/proc/self/fd/" + std::to_string(fd), source);
  if (status) {
    const TSourceFacts& f = source->Facts();
    if (f.ImageCount < 0 || f.Width < 1 || f.Height < 1 || f.BitsPerPixel < 1 || f.BitsPerPixel > 16 ||
        uint64_t(f.ImageCount) * uint64_t(f.Width) * uint64_t(f.Height) > size)
      std::abort();
    TFastDIB image;
    for (int i : {0, f.ImageCount / 2, f.ImageCount - 1, f.ImageCount}) {
      const bool read = source->ReadImage(i, image).ok();
      if (read != (i >= 0 && i < f.ImageCount)) std::abort();
      if (read && (image.Width() != f.Width || image.AbsHeight != f.Height || image.Bpp() != 24)) std::abort();
    }
  } else if (source || status.Message().empty()) {
    std::abort();
  }
  ::close(fd);
  return 0;
}
