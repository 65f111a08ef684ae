// SPDX-License-Identifier: GPL-3.0-or-later
// Video fixtures: a temporary folder, AVI files made by our writer or by the
// ffmpeg program, FFmpeg's own decode of a frame as a reference, and access
// to the AVI source.
#pragma once

#include <cstdint>
#include <map>
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
// FFmpeg's own decode of picture `index` (from 0, in decoding order of output)
// of the first video stream, as top-down BGR rows without padding.
bool FfmpegFrameBgr24(const std::string& file, int index, int width, int height, std::vector<uint8_t>& out);
// The same for several pictures in one run of ffmpeg: out[k] for each k of `indices`.
bool FfmpegFramesBgr24(const std::string& file, const std::vector<int>& indices, int width, int height,
                       std::map<int, std::vector<uint8_t>>& out);

// Writes frames with TVideoWriter; frames[i] must suit the options.
bool WriteVideo(const std::string& path, const TVideoWriterOptions& options, const std::vector<TFastDIB>& frames);
// A 24-bit picture whose every pixel differs with its position and `seed`.
TFastDIB Pattern24(int width, int height, int seed);
// An 8-bit picture of indices (x + 3y + seed) mod colours.
TFastDIB Pattern8(int width, int height, int colours, int seed);

// Image `index` of the AVI at `path`, read through its source; false when
// the file does not open or the image cannot be read.
bool ReadVideoImage(const std::string& path, int index, TFastDIB& out);
// Number of images of the AVI at `path`; -1 when it does not open.
int ImageCountOf(const std::string& path);
// 1 when image 1 of the file can be decoded, 0 when the file opens but its
// images cannot be read (no decoder in this FFmpeg), -1 when it does not open.
int FrameDecoderOpens(const std::string& path);

// Top-down 24-bit picture -> top-down BGR rows without padding.
std::vector<uint8_t> PackedBgr(const TFastDIB& img);
// Largest absolute difference between two byte blocks of the same size (255 when sizes differ).
int MaxDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace fixtures
