#include "sources/OpenSource.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "sources/AviSource.h"
#include "sources/FileReader.h"

namespace {

// One row per format: its file extension (lower case) and the bytes it starts
// with at `MagicAt`. The content decides first; the extension only when no
// row's bytes match.
struct TSourceFormat {
  std::string_view Extension;
  std::string_view Magic;
  size_t MagicAt;
  // Gets the file already open (so that it is opened once); a reader that
  // opens by path alone is wrapped: [](auto& path, TFileReader&&) { return OpenSerSource(path); }.
  TOpenedSource (*Open)(const std::string& path, TFileReader&& file);
};

constexpr TSourceFormat kFormats[] = {
    {".avi", "AVI ", 8, OpenAvi},  // "RIFF" <size> "AVI "
    // SER captures:           {".ser", "LUCAM-RECORDER", 0, ...OpenSerSource},
    // Other video containers: {".mp4", ...}, {".mov", ...}, {".mkv", ...} -> ...OpenMediaSource
};

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

}  // namespace

TOpenedSource OpenImageSource(const std::string& path) {
  // A file that cannot be opened (gone, a pipe, a device) is refused by the
  // default reader with its own message and the reason.
  TFileReader file;
  if (!file.Open(path)) return OpenAvi(path);
  uint8_t head[32] = {};
  size_t got = size_t(std::min<int64_t>(sizeof head, file.Size()));
  if (!file.ReadAt(0, head, got)) got = 0;
  for (const TSourceFormat& f : kFormats)
    if (f.MagicAt + f.Magic.size() <= got && std::memcmp(head + f.MagicAt, f.Magic.data(), f.Magic.size()) == 0)
      return f.Open(path, std::move(file));
  const std::string ext = LowerExtension(path);
  for (const TSourceFormat& f : kFormats)
    if (ext == f.Extension) return f.Open(path, std::move(file));
  return OpenAvi(path, std::move(file));
}
