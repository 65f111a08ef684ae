// SPDX-License-Identifier: GPL-3.0-or-later
#include "VideoFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
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

bool FfmpegFrameBgr24(const std::string& file, int index, int width, int height, std::vector<uint8_t>& out) {
  const std::string cmd = "ffmpeg -v error -nostdin -i '" + file + "' -map 0:v:0 -vf 'select=eq(n\\," +
                          std::to_string(index) + ")' -frames:v 1 -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return false;
  out.assign(size_t(width) * size_t(height) * 3, 0);
  const size_t got = std::fread(out.data(), 1, out.size(), p);
  char extra;
  const bool more = std::fread(&extra, 1, 1, p) == 1;
  const int status = ::pclose(p);
  return status == 0 && got == out.size() && !more;
}

bool FfmpegFramesBgr24(const std::string& file, const std::vector<int>& indices, int width, int height,
                       std::map<int, std::vector<uint8_t>>& out) {
  std::set<int> wanted(indices.begin(), indices.end());
  std::string select;
  for (const int k : wanted) select += (select.empty() ? "" : "+") + std::string("eq(n\\,") + std::to_string(k) + ")";
  const std::string cmd = "ffmpeg -v error -nostdin -i '" + file + "' -map 0:v:0 -vf 'select=" + select +
                          "' -fps_mode passthrough -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return false;
  bool ok = true;
  for (const int k : wanted) {
    std::vector<uint8_t>& img = out[k];
    img.assign(size_t(width) * size_t(height) * 3, 0);
    ok = ok && std::fread(img.data(), 1, img.size(), p) == img.size();
  }
  char extra;
  ok = ok && std::fread(&extra, 1, 1, p) == 0;
  return ::pclose(p) == 0 && ok;
}

bool WriteVideo(const std::string& path, const TVideoWriterOptions& options, const std::vector<TFastDIB>& frames) {
  TVideoWriter w;
  std::string error;
  if (!w.Open(path, options, &error)) return false;
  for (const TFastDIB& f : frames)
    if (!w.WriteFrame(f, &error)) return false;
  return w.Close(&error);
}

TFastDIB Pattern24(int width, int height, int seed) {
  TFastDIB img;
  img.SetSize(width, height, 24, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      img.SetPixel(y, x, TFastDIB::MakeColor(uint8_t(x * 7 + seed), uint8_t(y * 5 + 3 * seed), uint8_t(x * y + seed * 11)));
  return img;
}

TFastDIB Pattern8(int width, int height, int colours, int seed) {
  TFastDIB img;
  img.SetSize(width, height, 8, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.Pixels8(y)[x] = uint8_t((x + 3 * y + seed) % colours);
  return img;
}

bool ReadVideoImage(const std::string& path, int index, TFastDIB& out) {
  TOpenedSource opened = OpenAvi(path);
  return opened.Source && opened.Source->ReadImage(index, out).ok();
}

int ImageCountOf(const std::string& path) {
  TOpenedSource opened = OpenAvi(path);
  return opened.Source ? opened.Source->Facts().ImageCount : -1;
}

int FrameDecoderOpens(const std::string& path) {
  TOpenedSource opened = OpenAvi(path);
  if (!opened.Source) return -1;
  TFastDIB img;
  return opened.Source->Facts().ImageCount > 0 && opened.Source->ReadImage(0, img).ok() ? 1 : 0;
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

int MaxDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 255;
  int m = 0;
  for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(int(a[i]) - int(b[i])));
  return m;
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
