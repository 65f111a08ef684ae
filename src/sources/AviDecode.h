// SPDX-License-Identifier: GPL-3.0-or-later
// Frame decoders of the AVI source: turn the chunk of an image into a
// top-down TFastDIB.
//
// Private to the AVI source. Two kinds: uncompressed DIB video (8, 16, 24, 32
// bits) is read as it is stored (8 and 16 bits then converted to 24, 24 and
// 32 bits read straight into the picture's rows); everything else goes through
// an FFmpeg decoder and comes out as 24-bit BGR. A decoder keeps its state
// between calls so that reading forward does not start over.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/BitmapHeader.h"
#include "image/FastDIB.h"
#include "sources/AviIndex.h"

namespace avi {

// Bytes of a DIB row of `width` pixels at `bpp` bits, padded to 4 bytes.
inline int64_t DibStride(int64_t width, int bpp) { return ((width * bpp + 31) & ~int64_t(31)) / 8; }

class TFrameDecoder {
 public:
  virtual ~TFrameDecoder() = default;
  // Makes the decoder for the stream's format; null when there is none.
  static std::unique_ptr<TFrameDecoder> Create(const TAviContents& contents);
  // Reads image `index` (0 <= index < frames.size()) into dest, top-down.
  // False when it cannot be read; dest is then unspecified.
  virtual bool ReadImage(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                         TFastDIB& dest) = 0;
};

// Reads the chunk of entry `ref` into dst (ref.Size bytes), after checking
// that the chunk header in the file agrees with the index.
bool ReadChunk(const TFileReader& file, const TChunkRef& ref, uint8_t* dst);

std::unique_ptr<TFrameDecoder> CreateRawDecoder(const TBitmapHeader& format, const std::vector<uint8_t>& strf);
std::unique_ptr<TFrameDecoder> CreateCodecDecoder(const TBitmapHeader& format, const std::vector<uint8_t>& strf);

}  // namespace avi
