// SPDX-License-Identifier: GPL-3.0-or-later
// The AVI container as the AVI source sees it: the headers of the first stream
// and the list of that stream's data chunks, in stream order.
//
// Private to the AVI source (Avi*.cpp). Every size and position read from the
// file is checked against the file's real size, so a hostile header can
// neither make reads go astray nor make lists longer than the file can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ByteOrder.h"
#include "sources/FileReader.h"

namespace avi {

constexpr uint32_t kStreamVideo = le::FourCC("vids");
constexpr uint32_t kStreamAudio = le::FourCC("auds");

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
  uint32_t StreamType = 0;         // its type: kStreamVideo, kStreamAudio, ...
  std::vector<uint8_t> Format;     // its strf bytes (BITMAPINFOHEADER and what follows for video)
  std::vector<TChunkRef> Frames;   // video only: one entry per image, in stream order
  int32_t SkippedEntries = 0;      // index entries left out as unusable (see ParseAvi)
};

// Most entries we list for one stream (16.7 million images: days of capture).
constexpr size_t kMaxFrames = size_t(1) << 24;
// Largest strf we keep (header, palette and codec set-up bytes).
constexpr size_t kMaxFormatBytes = size_t(1) << 20;

// Parses the file; false when it is not a RIFF AVI file. The images of a video
// stream come from its index (OpenDML or idx1, whichever lists more): an
// entry that leaves the file or goes back over the chunk before it is skipped
// alone and counted in SkippedEntries. Without an index, or when most of its
// entries are unusable, the chunks of the movi lists are walked instead; the
// walk stops at the first bytes that cannot be a chunk (zero padding, a cut).
bool ParseAvi(const TFileReader& file, TAviContents& out);

// True when a chunk id names a data chunk of stream 0 ("00db", "00dc", "00wb"...), palette changes excepted.
bool IsStream0Data(uint32_t ckid);

}  // namespace avi
