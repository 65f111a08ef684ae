// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/AviIndex.h"

#include <algorithm>
#include <cstring>

namespace avi {
namespace {

using le::FourCC;
using le::U16;
using le::U32;
using le::U64;

constexpr uint32_t kRIFF = FourCC("RIFF"), kLIST = FourCC("LIST"), kAVI = FourCC("AVI "), kAVIX = FourCC("AVIX");
constexpr uint32_t kHdrl = FourCC("hdrl"), kStrl = FourCC("strl"), kStrh = FourCC("strh"), kStrf = FourCC("strf");
constexpr uint32_t kIndx = FourCC("indx"), kMovi = FourCC("movi"), kIdx1 = FourCC("idx1");
constexpr uint32_t kRec = FourCC("rec ");
constexpr uint32_t kAviifKeyframe = 0x10;

struct TRange {
  int64_t Begin = 0;  // first byte
  int64_t End = 0;    // one past the last byte
};

// Walks the chunks of [range): calls f(tag, dataPos, dataSize) for each whole
// chunk header; the data may run past the range (f clips what it reads). Each
// step moves at least 8 bytes forward, and the walk stops at bytes that cannot
// be a chunk, so it ends soon on padding.
template <class F>
void ForEachChunk(const TFileReader& file, TRange range, F&& f) {
  TForwardReader in(file);
  int64_t pos = range.Begin;
  while (pos + 8 <= range.End) {
    uint8_t h[8];
    if (!in.ReadAt(pos, h, 8) || !IsChunkTag(U32(h))) return;
    const uint32_t size = U32(h + 4);
    if (!f(U32(h), pos + 8, size)) return;
    pos += 8 + int64_t(size) + (size & 1);
  }
}

// Collects index entries in stream order. An entry that leaves the file or
// starts inside the chunk before it is skipped and counted; the list stops
// at kMaxFrames.
class TIndexBuilder {
 public:
  TIndexBuilder(int64_t fileSize, std::vector<TChunkRef>& out) : FileSize_(fileSize), Out_(out) {}
  // False when the list is full.
  bool Add(int64_t pos, uint32_t size, bool key) {
    if (Out_.size() >= kMaxFrames) return false;
    const bool inFile = pos >= 8 && pos <= FileSize_ && int64_t(size) <= FileSize_ - pos;
    if (!inFile || (!Out_.empty() && pos - 8 < Out_.back().Pos + int64_t(Out_.back().Size))) {
      ++Skipped_;
      return true;
    }
    Out_.push_back(TChunkRef{pos, size, -1, -1, key});
    return true;
  }
  int32_t Skipped() const { return Skipped_; }

 private:
  int64_t FileSize_;
  std::vector<TChunkRef>& Out_;
  int32_t Skipped_ = 0;
};

// A standard index (AVI_INDEX_OF_CHUNKS) whose 24-byte header is at `pos`,
// holding at most `bytes` bytes. False when it is unusable or the list is full.
bool ReadStandardIndex(const TFileReader& file, int64_t pos, int64_t bytes, TIndexBuilder& out) {
  uint8_t h[24];
  if (bytes < 24 || !file.ReadAt(pos, h, 24)) return false;
  if (U16(h) != 2 || h[3] != 1 || !IsStream0Data(U32(h + 8))) return false;
  const int64_t base = int64_t(U64(h + 12));
  if (base < 0 || base > file.Size()) return false;
  const int64_t n = std::min<int64_t>(U32(h + 4), (bytes - 24) / 8);
  constexpr int64_t kBlock = 4096;
  std::vector<uint8_t> buf;
  for (int64_t i = 0; i < n; i += kBlock) {
    const int64_t m = std::min(kBlock, n - i);
    buf.resize(size_t(m) * 8);
    if (!file.ReadAt(pos + 24 + i * 8, buf.data(), buf.size())) return false;
    for (int64_t k = 0; k < m; ++k) {
      const uint8_t* e = buf.data() + k * 8;
      const uint32_t size = U32(e + 4);
      if (!out.Add(base + int64_t(U32(e)), size & 0x7FFFFFFFu, (size & 0x80000000u) == 0)) return false;
    }
  }
  return true;
}

// The OpenDML index of the stream ("indx" in its strl): either a super index
// pointing at standard index chunks, or a standard index itself.
void ReadOdmlIndex(const TFileReader& file, int64_t pos, int64_t bytes, TIndexBuilder& out) {
  uint8_t h[24];
  if (bytes < 24 || !file.ReadAt(pos, h, 24)) return;
  if (h[3] == 1) {
    ReadStandardIndex(file, pos, bytes, out);
    return;
  }
  if (h[3] != 0 || U16(h) != 4 || !IsStream0Data(U32(h + 8))) return;
  const int64_t n = std::min<int64_t>(U32(h + 4), (bytes - 24) / 16);
  for (int64_t i = 0; i < n; ++i) {
    uint8_t e[16];
    if (!file.ReadAt(pos + 24 + i * 16, e, 16)) return;
    const uint64_t at = U64(e);
    uint8_t ck[8];
    if (at > uint64_t(file.Size()) || !file.ReadAt(int64_t(at), ck, 8)) return;
    const int64_t chunkBytes = std::min<int64_t>(U32(ck + 4), file.Size() - int64_t(at) - 8);
    if (!ReadStandardIndex(file, int64_t(at) + 8, chunkBytes, out)) return;
  }
}

// The old index ("idx1"). Its offsets count from the "movi" tag or, for some
// writers, from the start of the file: the first entry of the stream whose
// chunk is found at one of them tells.
void ReadIdx1(const TFileReader& file, int64_t pos, int64_t bytes, int64_t moviTag, TIndexBuilder& out) {
  const int64_t n = bytes / 16;
  constexpr int64_t kBlock = 4096;
  std::vector<uint8_t> buf;
  int64_t base = -1;
  for (int64_t i = 0; i < n; i += kBlock) {
    const int64_t m = std::min(kBlock, n - i);
    buf.resize(size_t(m) * 16);
    if (!file.ReadAt(pos + i * 16, buf.data(), buf.size())) return;
    for (int64_t k = 0; k < m; ++k) {
      const uint8_t* e = buf.data() + k * 16;
      const uint32_t ckid = U32(e);
      if (!IsStream0Data(ckid)) continue;
      const int64_t offset = U32(e + 8);
      if (base < 0) {
        for (int64_t candidate : {moviTag, int64_t(0)}) {
          uint8_t t[4];
          if (candidate >= 0 && file.ReadAt(candidate + offset, t, 4) && U32(t) == ckid) {
            base = candidate;
            break;
          }
        }
      }
      // Entries before the base is known cannot be placed: skipped.
      if (!out.Add(base < 0 ? -1 : base + offset + 8, U32(e + 12), (U32(e + 4) & kAviifKeyframe) != 0)) return;
    }
  }
}

// Walks the chunks from the first movi list to the end of the file, into
// "rec " lists, further RIFF parts and their movi lists, through a buffer.
// Only whole chunks count; key frames are unknown. Stops at the first bytes
// that cannot be a chunk header (padding) or at a chunk cut off by the end.
void ScanMovi(const TFileReader& file, int64_t from, TIndexBuilder& out) {
  TForwardReader in(file);
  int64_t pos = from;
  while (pos + 8 <= file.Size()) {
    uint8_t h[12];
    if (!in.ReadAt(pos, h, 8)) return;
    const uint32_t tag = U32(h), size = U32(h + 4);
    if (!IsChunkTag(tag)) return;
    if ((tag == kLIST || tag == kRIFF) && in.ReadAt(pos + 8, h + 8, 4)) {
      const uint32_t type = U32(h + 8);
      if (type == kRec || type == kMovi || (tag == kRIFF && type == kAVIX)) {
        pos += 12;
        continue;
      }
    }
    if (int64_t(size) > file.Size() - pos - 8) return;  // cut off
    if (IsStream0Data(tag) && !out.Add(pos + 8, size, false)) return;
    pos += 8 + int64_t(size) + (size & 1);
  }
}

struct THeaderScan {
  TAviContents& Out;
  int64_t IndxPos = -1;
  int64_t IndxBytes = 0;
};

// The first strl list: strh, strf and indx of stream 0.
void ReadStreamList(const TFileReader& file, TRange list, THeaderScan& scan) {
  ForEachChunk(file, list, [&](uint32_t tag, int64_t pos, uint32_t size) {
    const int64_t avail = std::min<int64_t>(size, list.End - pos);
    if (avail < 0) return false;
    if (tag == kStrh && !scan.Out.HasStream) {
      uint8_t type[4] = {};
      if (avail >= 4 && file.ReadAt(pos, type, 4)) scan.Out.StreamType = U32(type);
      scan.Out.HasStream = true;
    } else if (tag == kStrf && scan.Out.Format.empty()) {
      scan.Out.Format.resize(size_t(std::min<int64_t>(avail, int64_t(kMaxFormatBytes))));
      if (!file.ReadAt(pos, scan.Out.Format.data(), scan.Out.Format.size())) scan.Out.Format.clear();
    } else if (tag == kIndx) {
      scan.IndxPos = pos;
      scan.IndxBytes = avail;
    }
    return true;
  });
}

void ReadHeaderList(const TFileReader& file, TRange hdrl, THeaderScan& scan) {
  bool first = true;
  ForEachChunk(file, hdrl, [&](uint32_t tag, int64_t pos, uint32_t size) {
    uint8_t type[4];
    if (tag == kLIST && first && size >= 4 && file.ReadAt(pos, type, 4) && U32(type) == kStrl) {
      first = false;
      ReadStreamList(file, TRange{pos + 4, std::min<int64_t>(pos + size, hdrl.End)}, scan);
    }
    return true;
  });
}

// Fills Source and PrevKey, the entries a fetch starts from.
void LinkFrames(std::vector<TChunkRef>& frames) {
  int32_t source = -1, key = -1;
  for (size_t i = 0; i < frames.size(); ++i) {
    TChunkRef& f = frames[i];
    if (f.Size > 0) {
      source = int32_t(i);
      if (f.Key) key = int32_t(i);
    }
    f.Source = source;
    f.PrevKey = key;
  }
}

}  // namespace

bool IsStream0Data(uint32_t ckid) {
  const char c2 = char((ckid >> 16) & 0xFF), c3 = char(ckid >> 24);
  return (ckid & 0xFFFF) == ('0' | '0' << 8) && !(c2 == 'p' && c3 == 'c') && c2 >= 'a' && c2 <= 'z' &&
         c3 >= 'a' && c3 <= 'z';
}

bool ParseAvi(const TFileReader& file, TAviContents& out) {
  out = TAviContents{};
  uint8_t h[12];
  if (!file.ReadAt(0, h, 12) || U32(h) != kRIFF || U32(h + 8) != kAVI) return false;
  // A RIFF size that is 0 or past the end (a capture cut short) means "to the end of the file".
  int64_t riffEnd = 8 + int64_t(U32(h + 4));
  if (riffEnd <= 12 || riffEnd > file.Size()) riffEnd = file.Size();

  THeaderScan scan{out};
  int64_t moviTag = -1, idx1Pos = -1, idx1Bytes = 0;
  ForEachChunk(file, TRange{12, riffEnd}, [&](uint32_t tag, int64_t pos, uint32_t size) {
    const int64_t avail = std::min<int64_t>(size, riffEnd - pos);
    uint8_t type[4];
    if (tag == kLIST && avail >= 4 && file.ReadAt(pos, type, 4)) {
      if (U32(type) == kHdrl) ReadHeaderList(file, TRange{pos + 4, pos + avail}, scan);
      else if (U32(type) == kMovi && moviTag < 0) moviTag = pos;
    } else if (tag == kIdx1 && idx1Pos < 0) {
      idx1Pos = pos;
      idx1Bytes = avail;
    }
    return true;
  });
  if (!out.HasStream || out.StreamType != kStreamVideo) return true;  // no video stream to give

  // Both indexes when present; the one listing more usable chunks wins (the
  // OpenDML one on a tie: it also covers the parts past the first gigabyte).
  int32_t skipped = 0;
  if (scan.IndxPos >= 0) {
    TIndexBuilder builder(file.Size(), out.Frames);
    ReadOdmlIndex(file, scan.IndxPos, scan.IndxBytes, builder);
    skipped = builder.Skipped();
  }
  if (idx1Pos >= 0) {
    std::vector<TChunkRef> old;
    TIndexBuilder builder(file.Size(), old);
    ReadIdx1(file, idx1Pos, idx1Bytes, moviTag, builder);
    if (old.size() > out.Frames.size()) {
      out.Frames.swap(old);
      skipped = builder.Skipped();
    }
  }
  // An index that is mostly unusable says little: the chunks themselves
  // tell more, unless walking them finds fewer.
  const bool mostlyUnusable = int64_t(skipped) > int64_t(out.Frames.size());
  if ((out.Frames.empty() || mostlyUnusable) && moviTag >= 0) {
    std::vector<TChunkRef> walked;
    TIndexBuilder builder(file.Size(), walked);
    ScanMovi(file, moviTag + 4, builder);
    if (walked.size() >= out.Frames.size()) out.Frames.swap(walked);
  }
  out.SkippedEntries = skipped;
  out.Frames.shrink_to_fit();
  LinkFrames(out.Frames);
  return true;
}

}  // namespace avi
