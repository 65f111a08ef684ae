// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/OpenSource.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "sources/AviSource.h"
#include "sources/FileReader.h"
#include "sources/MediaSource.h"
#include "sources/SerFormat.h"
#include "sources/SerSource.h"

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

TOpenedSource Opened(TStatus status, std::unique_ptr<TImageSource> source) {
  if (!status) return TOpenedSource{nullptr, std::move(status)};
  return TOpenedSource{std::move(source), TStatus::Ok()};
}

// The SER and media readers open by path; the file is opened again by them.
TOpenedSource OpenSer(const std::string& path, TFileReader&&) {
  std::unique_ptr<TImageSource> source;
  TStatus status = OpenSerSource(path, source);
  return Opened(std::move(status), std::move(source));
}
TOpenedSource OpenMedia(const std::string& path, TFileReader&&) {
  std::unique_ptr<TImageSource> source;
  TStatus status = OpenMediaSource(path, source);
  return Opened(std::move(status), std::move(source));
}

constexpr TSourceFormat kFormats[] = {
    {".avi", "AVI ", 8, OpenAvi},               // "RIFF" <size> "AVI "
    {".ser", "LUCAM-RECORDER", 0, OpenSer},     // the SER file id
    {".mp4", "ftyp", 4, OpenMedia},             // ISO media: <size> "ftyp"
    {".mov", "ftyp", 4, OpenMedia},
    {".m4v", "ftyp", 4, OpenMedia},
    {".mkv", "\x1A\x45\xDF\xA3", 0, OpenMedia},  // Matroska / WebM (EBML header)
    {".webm", "\x1A\x45\xDF\xA3", 0, OpenMedia},
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
  if (!file.Open(path)) {
    // A capture named by its extension tells its own reader's reason.
    const std::string ext = LowerExtension(path);
    for (const TSourceFormat& f : kFormats)
      if (ext == f.Extension && f.Extension != ".avi") return f.Open(path, TFileReader());
    return OpenAvi(path);
  }
  uint8_t head[32] = {};
  size_t got = size_t(std::min<int64_t>(sizeof head, file.Size()));
  if (!file.ReadAt(0, head, got)) got = 0;
  for (const TSourceFormat& f : kFormats)
    if (f.MagicAt + f.Magic.size() <= got && std::memcmp(head + f.MagicAt, f.Magic.data(), f.Magic.size()) == 0)
      return f.Open(path, std::move(file));
  const std::string ext = LowerExtension(path);
  for (const TSourceFormat& f : kFormats)
    if (ext == f.Extension) return f.Open(path, std::move(file));
  // A file named neither by content nor by extension: the AVI reader first;
  // then, unless it claims to be an AVI, any container FFmpeg knows.
  TOpenedSource avi = OpenAvi(path, std::move(file));
  if (avi.Source || ext == ".avi") return avi;
  TOpenedSource media = OpenMedia(path, TFileReader());
  return media.Source ? std::move(media) : std::move(avi);
}
