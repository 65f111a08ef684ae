// SPDX-License-Identifier: GPL-3.0-or-later
// Listing a folder of 5,000 BMP files with their facts (header, size, date)
// and reading a Kelvaron list of 5,000 entries, each next to a plain loop
// that opens every file and reads its first 54 bytes, measured in the same run.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sequence/BmpInfo.h"
#include "sequence/KelvaronList.h"

namespace {

constexpr int kFiles = 5000;

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

// Opens `path`, reads its first 54 bytes; the bytes read.
long Read54(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char b[54];
  const long n = long(::read(fd, b, sizeof b));
  ::close(fd);
  return n;
}

void WriteBmp(const std::string& path, int i) {
  unsigned char h[54] = {'B', 'M'};
  h[10] = 54;
  h[14] = 40;
  h[18] = uint8_t(64 + i % 100);
  h[22] = 48;
  h[26] = 1;
  h[28] = 24;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(h), sizeof h);
  f << std::string(1024, '\0');
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "stellon_bench_lists_XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) return 1;
  const std::string dir = tmpl;
  std::vector<std::string> paths;
  std::string list = "0\n";
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "jup%05d.bmp", i);
    paths.push_back(dir + "/" + name);
    WriteBmp(paths.back(), i);
    list += dir + "/\n" + name + "\n3\n4\n5\n" + (i + 1 < kFiles ? "0\n" : "");
  }
  const std::string lst = dir + "/night.lst";
  std::ofstream(lst, std::ios::binary) << list;

  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) < 1) load[0] = -1;
  std::printf("load average at start: %.2f (2 cores shared)\n", load[0]);

  long sink = 0;
  const double baseFolder = Median(7, [&] {
    DIR* d = ::opendir(dir.c_str());
    while (const dirent* e = ::readdir(d))
      if (IsBmpFileName(e->d_name)) sink += Read54(dir + "/" + e->d_name);
    ::closedir(d);
  });
  size_t rows = 0;
  const double folder = Median(7, [&] { rows = ListBmpFolder(dir).size(); });
  const double baseList = Median(7, [&] {
    for (const std::string& p : paths) sink += Read54(p);
  });
  int entries = 0;
  const double kelvaron = Median(7, [&] {
    TKelvaronResult r = ReadKelvaronList(lst, nullptr);
    entries = r.Entries->Count();
  });
  if (::getloadavg(load, 3) < 1) load[0] = -1;
  std::printf("%-44s %10s %10s %7s\n", "case (5,000 BMP files)", "ms", "base ms", "ratio");
  std::printf("%-44s %10.2f %10.2f %7.2f\n", "folder listed with facts (rows)", folder * 1e3, baseFolder * 1e3,
              folder / baseFolder);
  std::printf("%-44s %10.2f %10.2f %7.2f\n", "Kelvaron list read (entries)", kelvaron * 1e3, baseList * 1e3,
              kelvaron / baseList);
  std::printf("rows %zu, entries %d, load average at end: %.2f (bytes read %ld)\n", rows, entries, load[0], sink);
  fs::remove_all(dir);
  return rows == size_t(kFiles) && entries == kFiles ? 0 : 1;
}
