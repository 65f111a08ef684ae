// SPDX-License-Identifier: GPL-3.0-or-later
// Video fixtures: a temporary folder, AVI files made by our writer or by the
// ffmpeg program, pattern pictures, whole files as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/FastDIB.h"
#include "platform/VideoWriter.h"
#include "sequence/SamplePlanet.h"
#include "sources/AviSource.h"

namespace fixtures {

// A fresh folder under the system's temporary folder, removed with its files
// at destruction.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return Path_; }
  std::string File(const std::string& name) const { return Path_ + "/" + name; }

 private:
  std::string Path_;
};

// Runs "ffmpeg -v error -y -nostdin <args>"; true when it exits with 0.
bool Ffmpeg(const std::string& args);
// True when the ffmpeg program is available.
bool HaveFfmpeg();

// Writes frames with TVideoWriter; frames[i] must suit the options.
bool WriteVideo(const std::string& path, const TVideoWriterOptions& options, const std::vector<TFastDIB>& frames);
// A 24-bit picture whose every pixel differs with its position and `seed`.
TFastDIB Pattern24(int width, int height, int seed);
// An 8-bit picture of indices (x + 3y + seed) mod colours.
TFastDIB Pattern8(int width, int height, int colours, int seed);

// Top-down 24-bit picture -> top-down BGR rows without padding.
std::vector<uint8_t> PackedBgr(const TFastDIB& img);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace fixtures
