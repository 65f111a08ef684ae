// The AVI container as the video-file service sees it: the RIFF headers of the
// first stream and the list of that stream's data chunks, in stream order.
//
// Private to the video-file service (VideoFile*.cpp). Every size and position
// read from the file is checked against the file's real size, so a hostile
// header can neither make reads go astray nor make lists longer than the file
// can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/VideoFile.h"

namespace avi {

// Positional reads from one open file descriptor (not owned).
class TFileReader {
 public:
  TFileReader() = default;
  TFileReader(int fd, int64_t size) : Fd_(fd), Size_(size) {}
  // Reads exactly n bytes at pos; false when the file does not hold them.
  bool ReadAt(int64_t pos, void* dst, size_t n) const;
  // Reads count * rowBytes bytes at pos, rowBytes into each of rows[0..count)
  // in turn (scattered reads, no copy between). False when the file does not hold them.
  bool ReadRowsAt(int64_t pos, uint8_t* const* rows, size_t count, size_t rowBytes) const;
  int64_t Size() const { return Size_; }

 private:
  int Fd_ = -1;
  int64_t Size_ = 0;
};

// One data chunk of the first stream.
struct TChunkRef {
  int64_t Pos = 0;       // file offset of the chunk's first data byte (its 8-byte header precedes it)
  uint32_t Size = 0;     // data bytes; 0 marks a dropped frame that repeats the one before
  int32_t Source = -1;   // last entry <= this one with data (the frame shown here), -1 when none
  int32_t PrevKey = -1;  // last entry <= this one flagged as a key frame with data, -1 when none
  bool Key = false;      // flagged as a key frame by the index
};

struct TAviContents {
  bool HasStream = false;          // a first stream header (strh) was found
  TAviStreamInfo Info;             // its strh fields; for video dwLength is Frames.size()
  std::vector<uint8_t> Format;     // its strf bytes (BITMAPINFOHEADER and what follows for video)
  std::vector<TChunkRef> Frames;   // video only: one entry per image, from the index
};

// Most entries we list for one stream (16.7 million images: days of capture).
constexpr size_t kMaxFrames = size_t(1) << 24;
// Largest strf we keep (header, palette and codec set-up bytes).
constexpr size_t kMaxFormatBytes = size_t(1) << 20;

// Parses the file. AVIERR_OK; AVIERR_FILEREAD when it is not a RIFF AVI file.
HRESULT ParseAvi(const TFileReader& file, TAviContents& out);

// Little-endian field readers for header bytes.
inline uint16_t Rl16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Rl32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Rl64(const uint8_t* p) { return uint64_t(Rl32(p)) | uint64_t(Rl32(p + 4)) << 32; }

// True when a chunk id names a data chunk of stream 0 ("00db", "00dc", "00wb"...), palette changes excepted.
bool IsStream0Data(uint32_t ckid);

}  // namespace avi
