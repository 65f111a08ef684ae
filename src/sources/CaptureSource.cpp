#include "sources/CaptureSource.h"

#include <cctype>
#include <cstring>
#include <fstream>

#include "sources/MediaSource.h"
#include "sources/SerFormat.h"
#include "sources/SerSource.h"

namespace {
std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

bool HasSerHeader(const std::string& path) {
  char id[14] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(id, sizeof id) && std::memcmp(id, ser::kFileId, sizeof id) == 0;
}
}  // namespace

bool IsAviPath(const std::string& path) { return LowerExtension(path) == "avi"; }

bool IsCapturePath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  for (const char* known : {"ser", "mp4", "m4v", "mkv", "mov", "webm"})
    if (ext == known) return true;
  return false;
}

TStatus OpenCaptureSource(const std::string& path, std::unique_ptr<TImageSource>& source) {
  if (LowerExtension(path) == "ser" || HasSerHeader(path)) return OpenSerSource(path, source);
  return OpenMediaSource(path, source);
}
