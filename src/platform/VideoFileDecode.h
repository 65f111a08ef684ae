// Frame decoders of the video-file service: turn the chunk of an image into
// the packed bottom-up DIB that AVIStreamGetFrame hands out.
//
// Private to the video-file service. Two kinds: uncompressed DIB video (8, 16,
// 24, 32 bits) is copied as it is, keeping its depth and palette; everything
// else goes through an FFmpeg decoder and comes out as 24-bit BGR. A decoder
// keeps its state between calls so that reading forward does not start over.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/VideoFileRiff.h"

namespace avi {

// Facts of the stream's BITMAPINFOHEADER (strf), checked for sanity.
struct TVideoFormat {
  int32_t Width = 0;
  int32_t Height = 0;      // magnitude of biHeight
  bool TopDown = false;    // biHeight < 0
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t ClrUsed = 0;
  size_t HeaderBytes = 40; // biSize, clipped to the strf
};

// False when the strf is too short or the picture is empty or too large
// (sides over 32767, more than TFastDIB::kMaxPixels pixels).
bool ReadVideoFormat(const std::vector<uint8_t>& strf, TVideoFormat& out);

// Bytes of a DIB row of `width` pixels at `bpp` bits, padded to 4 bytes.
inline int64_t DibStride(int64_t width, int bpp) { return ((width * bpp + 31) & ~int64_t(31)) / 8; }

class TFrameDecoder {
 public:
  virtual ~TFrameDecoder() = default;
  // Makes the decoder for the stream's format; null when there is none.
  static std::unique_ptr<TFrameDecoder> Create(const TAviContents& contents);
  // The DIB of image `index` (0 <= index < frames.size()), or null. The bytes
  // stay valid until the next call; *size receives their number (0 on failure).
  virtual const uint8_t* GetFrame(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                                  size_t* size) = 0;
  // The same pixels written top-down into `rows` (Height() pointers to rows
  // of DibStride(Width(), BitCount()) bytes). False when unreadable.
  virtual bool GetFrameRows(const TFileReader& file, const std::vector<TChunkRef>& frames, int32_t index,
                            uint8_t* const* rows) = 0;
  // Geometry of the DIBs handed out.
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual int32_t BitCount() const = 0;
};

// Reads the chunk of entry `ref` into dst (ref.Size bytes), after checking
// that the chunk header in the file agrees with the index.
bool ReadChunk(const TFileReader& file, const TChunkRef& ref, uint8_t* dst);

std::unique_ptr<TFrameDecoder> CreateRawDecoder(const TVideoFormat& format, const std::vector<uint8_t>& strf);
std::unique_ptr<TFrameDecoder> CreateCodecDecoder(const TVideoFormat& format, const std::vector<uint8_t>& strf);

}  // namespace avi
