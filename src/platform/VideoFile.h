// The video-file service: the small set of AVI calls the program reads videos
// through, with the results it relies on. Implemented over FFmpeg; no FFmpeg
// type leaves this layer.
//
// Calling order per use: AVIFileOpen -> AVIFileGetStream -> (AVIStreamInfo |
// AVIStreamGetFrameOpen -> AVIStreamGetFrame... -> AVIStreamGetFrameClose)
// -> AVIStreamRelease -> AVIFileRelease.
#pragma once

#include <cstddef>
#include <cstdint>

using HRESULT = int32_t;
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_FILEOPEN = HRESULT(0x80044074);   // cannot open the file
constexpr HRESULT AVIERR_FILEREAD = HRESULT(0x80044072);   // not a readable AVI file
constexpr HRESULT AVIERR_NODATA = HRESULT(0x80044070);     // no such stream
constexpr HRESULT AVIERR_BADPARAM = HRESULT(0x80044066);   // bad handle or argument
constexpr HRESULT AVIERR_BADFORMAT = HRESULT(0x80044065);  // corrupt or absurd file

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr uint32_t streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');

#pragma pack(push, 1)
// AVISTREAMINFOA, 140 bytes.
struct TAviStreamInfo {
  uint32_t fccType = 0;
  uint32_t fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwCaps = 0;
  uint16_t wPriority = 0;
  uint16_t wLanguage = 0;
  uint32_t dwScale = 0;
  uint32_t dwRate = 0;
  uint32_t dwStart = 0;
  uint32_t dwLength = 0;  // number of images of a video stream
  uint32_t dwInitialFrames = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwQuality = 0;
  uint32_t dwSampleSize = 0;
  int32_t rcFrame[4] = {0, 0, 0, 0};
  uint32_t dwEditCount = 0;
  uint32_t dwFormatChangeCount = 0;
  char szName[64] = {};
};
#pragma pack(pop)
static_assert(sizeof(TAviStreamInfo) == 140);

struct TAviFileObject;
struct TAviStreamObject;
struct TGetFrameObject;
using PAVIFILE = TAviFileObject*;
using PAVISTREAM = TAviStreamObject*;
using PGETFRAME = TGetFrameObject*;

void AVIFileInit();
void AVIFileExit();
// mode 0 = read. Result 0 and a handle for a readable AVI file; otherwise no handle.
HRESULT AVIFileOpen(PAVIFILE* file, const char* path, uint32_t mode, const void* handler);
// streamType 0 = any type; streamNumber 0 = the first stream.
HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, uint32_t streamType, int32_t streamNumber);
HRESULT AVIStreamInfo(PAVISTREAM stream, TAviStreamInfo* info, int32_t size);
// wanted null: the decoder's default output (see VideoFile.cpp).
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const void* wanted);
// A packed bottom-up DIB (40-byte header, colour table, rows) owned by the
// decoder, valid until the next call on it or its closing; null on failure.
const void* AVIStreamGetFrame(PGETFRAME frames, int32_t position);
// Bytes of the DIB last returned by AVIStreamGetFrame (0 when none), so that
// callers never read past it.
size_t AVIStreamGetFrameSize(PGETFRAME frames);
HRESULT AVIStreamGetFrameClose(PGETFRAME frames);
// Width, height (positive) and bit count of the DIBs the decoder hands out.
bool AVIStreamGetFrameFormat(PGETFRAME frames, int32_t* width, int32_t* height, int32_t* bitCount);
// The pixels AVIStreamGetFrame would give for `position`, written top-down
// straight into the caller's rows (rows[0] is the top row; each row has room
// for the DIB's padded row of AVIStreamGetFrameFormat's geometry), without
// the copy through the DIB. False, rows unspecified, when the image cannot be
// read or the geometry asked for is not the decoder's.
bool AVIStreamGetFrameRows(PGETFRAME frames, int32_t position, uint8_t* const* rows, int32_t width, int32_t height,
                           int32_t bitCount);
uint32_t AVIStreamRelease(PAVISTREAM stream);
uint32_t AVIFileRelease(PAVIFILE file);
