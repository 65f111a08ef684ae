// SPDX-License-Identifier: GPL-3.0-or-later
// SER capture files: a 178-byte header, the frames one after the other, and
// optionally one 64-bit timestamp per frame after the last frame.
//
// Header (integers little-endian whatever the data's byte order):
//   0  "LUCAM-RECORDER" (14 bytes)     14 LuID            18 ColorID
//   22 LittleEndian                    26 ImageWidth      30 ImageHeight
//   34 PixelDepthPerPlane              38 FrameCount
//   42 Observer, 82 Instrument, 122 Telescope (40 bytes each)
//   162 DateTime, 170 DateTime_UTC (64-bit)
// A frame is Height rows of Width pixels, top row first; a pixel is one
// sample (MONO, Bayer) or three (RGB: red green blue; BGR: blue green red);
// a sample is one byte when the depth is 1..8, two bytes when it is 9..16.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Status.h"

class TAtomicFile;

namespace ser {

constexpr size_t kHeaderSize = 178;
constexpr char kFileId[] = "LUCAM-RECORDER";

enum TColourId : int32_t {
  Mono = 0,
  BayerRggb = 8,
  BayerGrbg = 9,
  BayerGbrg = 10,
  BayerBggr = 11,
  Rgb = 100,
  Bgr = 101,
};

// "MONO", "RGGB", ... or empty for an ID this program does not read.
std::string ColourName(int32_t colourId);
// Samples per pixel (1 or 3), 0 for an ID this program does not read.
int Planes(int32_t colourId);

struct THeader {
  int32_t LuId = 0;
  int32_t ColourId = Mono;
  int32_t LittleEndian = 1;  // stored as given: writers disagree on its meaning
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Depth = 8;
  int32_t FrameCount = 0;
  std::string Observer, Instrument, Telescope;
  int64_t DateTime = 0, DateTimeUtc = 0;
};

// The 178 header bytes of `h`.
std::vector<uint8_t> EncodeHeader(const THeader& h);

// Writes a SER file through the atomic writer: the header, exactly
// h.FrameCount frames, then the timestamps when Finish is given some. Nothing
// appears under `path` unless Finish succeeds. I/O failures come back as a
// TStatus naming the file; misuse (a header it cannot write, another number
// of frames than declared, 8-bit frames for a deeper capture) throws
// std::invalid_argument.
class TWriter {
 public:
  TWriter();
  ~TWriter();
  // bigEndianData: byte order of 16-bit samples, whatever h.LittleEndian says.
  TStatus Open(const std::string& path, const THeader& h, bool bigEndianData);
  // Width * Height * Planes samples in file order.
  TStatus AddFrame(const uint8_t* samples);   // depth 1..8
  TStatus AddFrame(const uint16_t* samples);  // depth 9..16
  // Writes the timestamps (none, or one per frame) and commits the file.
  TStatus Finish(const std::vector<int64_t>& timestamps = {});

 private:
  std::unique_ptr<TAtomicFile> File_;
  THeader Header_;
  bool BigEndian_ = false;
  int32_t Written_ = 0;
  std::vector<uint8_t> Buffer_;
};

}  // namespace ser
