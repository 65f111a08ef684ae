// SPDX-License-Identifier: GPL-3.0-or-later
// BMP reading and writing, and depth conversion, at 1920x1080, each against a
// plain memcpy of the same number of bytes measured in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/Convert.h"
#include "image/FastDIB.h"

namespace {

constexpr int kW = 1920, kH = 1080;

// Median time of `runs` calls, in seconds.
double Median(int runs, const std::function<void()>& f) {
  std::vector<double> t;
  f();  // warm-up
  for (int i = 0; i < runs; ++i) {
    const auto a = std::chrono::steady_clock::now();
    f();
    t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// A memory stream over a buffer allocated once, to see our writer's own cost
// apart from std::ostringstream's growing of its string.
struct TFixedBuf : std::streambuf {
  explicit TFixedBuf(size_t n) : data(n) { reset(); }
  void reset() { setp(data.data(), data.data() + data.size()); }
  std::vector<char> data;
};

double MemcpySeconds(size_t bytes, int runs) {
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  return Median(runs, [&] {
    std::memcpy(b.data(), a.data(), bytes);
    a[bytes / 2] = b[bytes / 3];  // keep the copy observable
  });
}

TFastDIB Picture(int bpp, int fmt) {
  TFastDIB d;
  d.SetSize(kW, kH, bpp, fmt);
  for (int y = 0; y < kH; ++y)
    for (int i = 0; i < d.RowSize; ++i) d.Pixels8(y)[i] = uint8_t(y * 7 + i * 13);
  for (int i = 0; i < 256; ++i) d.Colors[i] = TRGBQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
  return d;
}

void Row(const char* what, size_t bytes, double seconds, double copySeconds) {
  const double mbs = double(bytes) / seconds / 1e6, copy = double(bytes) / copySeconds / 1e6;
  std::printf("| %-36s | %9.2f | %9.0f | %9.0f | %6.2f |\n", what, seconds * 1e3, mbs, copy, copy / mbs);
}

}  // namespace

int main() {
  const int runs = 25;
  const TFastDIB rgb = Picture(24, 0);
  const size_t bytes = rgb.Size();
  const double copy = MemcpySeconds(bytes, runs);
  // The same copy into memory freshly taken from the system each time: what
  // any writer into a new buffer pays for first-touch page faults.
  const double freshCopy = Median(runs, [&] {
    std::unique_ptr<uint8_t[]> b(new uint8_t[bytes]);
    std::memcpy(b.get(), rgb.Bits, bytes);
    if (b[bytes / 2] == 255) std::puts("");
  });

  std::printf("1920x1080, median of %d runs; MB/s of the 24-bit image bytes (%zu)\n\n", runs, bytes);
  std::printf("| %-36s | %9s | %9s | %9s | %6s |\n", "operation", "ms", "MB/s", "memcpy", "x copy");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(38, '-').c_str(), std::string(11, '-').c_str(),
              std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(8, '-').c_str());

  Row("(memcpy into a new allocation)", bytes, freshCopy, copy);
  std::ostringstream os;
  rgb.SaveToStream(os);
  const std::string file = os.str();
  Row("24-bit save to std::ostringstream", bytes, Median(runs, [&] {
        std::ostringstream o;
        rgb.SaveToStream(o);
      }), copy);
  TFixedBuf fixed(file.size());
  Row("24-bit save to a fixed memory buffer", bytes, Median(runs, [&] {
        fixed.reset();
        std::ostream o(&fixed);
        rgb.SaveToStream(o);
      }), copy);
  std::istringstream in(file);
  Row("24-bit load from memory stream", bytes, Median(runs, [&] {
        TFastDIB d;
        d.LoadFromStream(in);
      }), copy);
  Row("24-bit LoadFromMemory", bytes, Median(runs, [&] {
        TFastDIB d;
        d.LoadFromMemory(reinterpret_cast<const uint8_t*>(file.data()), file.size());
      }), copy);
  const std::string path = "/tmp/stellon-bench-bmp-" + std::to_string(::getpid()) + ".bmp";
  // Baseline for the file rows: the same bytes written with one write().
  Row("(plain write() of the bytes, /tmp)", bytes, Median(runs, [&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, file.data(), file.size()) != ssize_t(file.size())) std::puts("write failed");
        ::close(fd);
      }), copy);
  Row("24-bit save to file (/tmp)", bytes, Median(runs, [&] { (void)rgb.SaveToFile(path); }), copy);
  Row("24-bit load from file (/tmp)", bytes, Median(runs, [&] {
        TFastDIB d;
        d.LoadFromFile(path);
      }), copy);
  ::unlink(path.c_str());

  const TFastDIB pal8 = Picture(8, 0), w16 = Picture(16, 565);
  TFastDIB out;
  out.SetSize(kW, kH, 24, 0);
  Row("ConvertTo24 from 8 bits", bytes, Median(runs, [&] { ConvertTo24(out, pal8); }), copy);
  Row("ConvertTo24 from 16 bits (565)", bytes, Median(runs, [&] { ConvertTo24(out, w16); }), copy);
  return 0;
}
