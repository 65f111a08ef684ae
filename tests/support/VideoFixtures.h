// Video fixtures: a temporary folder, AVI files made by our writer or by the
// ffmpeg program, FFmpeg's own decode of a frame as a reference, and access
// to the video-file service in the order the program uses it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "image/FastDIB.h"
#include "platform/VideoFile.h"
#include "platform/VideoWriter.h"
#include "sequence/SamplePlanet.h"

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

// One image through the video-file service, as the program reads it: open,
// first stream, decoder, frame. Empty `dib` when any step fails.
struct TFetched {
  HRESULT OpenResult = 0;
  std::vector<uint8_t> Dib;  // the packed DIB as handed out
};
TFetched FetchDib(const std::string& path, int index);
// Stream information of the first stream; false when the file or stream fails.
bool StreamInfoOf(const std::string& path, TAviStreamInfo& info);
// Opens a frame decoder on the file's first stream: 1 when one opens, 0 when the
// file and stream open but no decoder does, -1 when the file or stream does not open.
int FrameDecoderOpens(const std::string& path);

// Facts of a packed DIB; Pixels points into `dib`, which must outlive the view.
struct TDibView {
  int32_t Width = 0, Height = 0;
  int BitCount = 0;
  uint32_t ClrUsed = 0;
  size_t TableBytes = 0;
  const uint8_t* Pixels = nullptr;  // bottom-up rows
  int64_t Stride = 0;
};
TDibView ViewDib(const std::vector<uint8_t>& dib);

// Top-down 24-bit picture -> top-down BGR rows without padding.
std::vector<uint8_t> PackedBgr(const TFastDIB& img);
// Largest absolute difference between two byte blocks of the same size (255 when sizes differ).
int MaxDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace fixtures
