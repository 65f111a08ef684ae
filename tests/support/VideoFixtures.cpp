// SPDX-License-Identifier: GPL-3.0-or-later
#include "VideoFixtures.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fixtures {

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "stellon-test-XXXXXX").string();
  if (::mkdtemp(tmpl.data())) Path_ = tmpl;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  if (Path_.empty()) return;
  // A test may have taken the folder's write permission away.
  std::filesystem::permissions(Path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(Path_, ec);
}

bool Ffmpeg(const std::string& args) {
  const std::string cmd = "ffmpeg -v error -y -nostdin " + args + " </dev/null >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

bool HaveFfmpeg() {
  static const bool have = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
  return have;
}

bool WriteVideo(const std::string& path, const TVideoWriterOptions& options, const std::vector<TFastDIB>& frames) {
  TVideoWriter w;
  std::string error;
  if (!w.Open(path, options, &error)) return false;
  for (const TFastDIB& f : frames)
    if (!w.WriteFrame(f, &error)) return false;
  return w.Close(&error);
}

TFastDIB Pattern8(int width, int height, int colours, int seed) {
  TFastDIB img;
  img.SetSize(width, height, 8, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.Pixels8(y)[x] = uint8_t((x + 3 * y + seed) % colours);
  return img;
}

TFastDIB Pattern24(int width, int height, int seed) {
  TFastDIB img;
  img.SetSize(width, height, 24, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      img.SetPixel(y, x, TFastDIB::MakeColor(uint8_t(x * 7 + seed), uint8_t(y * 5 + 3 * seed), uint8_t(x * y + seed * 11)));
  return img;
}

std::vector<uint8_t> PackedBgr(const TFastDIB& img) {
  std::vector<uint8_t> out;
  out.reserve(size_t(img.Width()) * size_t(img.AbsHeight) * 3);
  for (int y = 0; y < img.AbsHeight; ++y) {
    const uint8_t* row = img.Scanlines[size_t(y)];
    out.insert(out.end(), row, row + 3 * img.Width());
  }
  return out;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace fixtures
