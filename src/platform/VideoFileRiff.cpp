#include "platform/VideoFileRiff.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace avi {
namespace {

constexpr uint32_t Tag(const char (&s)[5]) { return MakeFourCC(s[0], s[1], s[2], s[3]); }
constexpr uint32_t kRIFF = Tag("RIFF"), kLIST = Tag("LIST"), kAVI = Tag("AVI "), kAVIX = Tag("AVIX");
constexpr uint32_t kHdrl = Tag("hdrl"), kStrl = Tag("strl"), kStrh = Tag("strh"), kStrf = Tag("strf");
constexpr uint32_t kStrn = Tag("strn"), kIndx = Tag("indx"), kMovi = Tag("movi"), kIdx1 = Tag("idx1");
constexpr uint32_t kRec = Tag("rec ");
constexpr uint32_t kAviifKeyframe = 0x10;

struct TRange {
  int64_t Begin = 0;  // first byte
  int64_t End = 0;    // one past the last byte
};

// Walks the chunks of [range): calls f(tag, dataPos, dataSize) for each whole
// chunk header; the data may run past the range (f clips what it reads). Each
// step moves at least 8 bytes forward, so the walk ends.
template <class F>
void ForEachChunk(const TFileReader& file, TRange range, F&& f) {
  int64_t pos = range.Begin;
  while (pos + 8 <= range.End) {
    uint8_t h[8];
    if (!file.ReadAt(pos, h, 8)) return;
    const uint32_t size = Rl32(h + 4);
    if (!f(Rl32(h), pos + 8, size)) return;
    pos += 8 + int64_t(size) + (size & 1);
  }
}

// Collects index entries in file order, refusing any that leaves the file,
// overlaps the previous chunk or goes beyond kMaxFrames: the list stops there.
class TIndexBuilder {
 public:
  TIndexBuilder(int64_t fileSize, std::vector<TChunkRef>& out) : FileSize_(fileSize), Out_(out) {}
  bool Add(int64_t pos, uint32_t size, bool key) {
    if (Out_.size() >= kMaxFrames || pos < 8 || pos > FileSize_ || int64_t(size) > FileSize_ - pos) return false;
    if (!Out_.empty() && pos - 8 < Out_.back().Pos + int64_t(Out_.back().Size)) return false;
    Out_.push_back(TChunkRef{pos, size, -1, -1, key});
    return true;
  }

 private:
  int64_t FileSize_;
  std::vector<TChunkRef>& Out_;
};

// A standard index (AVI_INDEX_OF_CHUNKS) whose 24-byte header is at `pos`,
// holding at most `bytes` bytes. False when it is unusable or the list stopped.
bool ReadStandardIndex(const TFileReader& file, int64_t pos, int64_t bytes, TIndexBuilder& out) {
  uint8_t h[24];
  if (bytes < 24 || !file.ReadAt(pos, h, 24)) return false;
  if (Rl16(h) != 2 || h[3] != 1 || !IsStream0Data(Rl32(h + 8))) return false;
  const int64_t base = int64_t(Rl64(h + 12));
  if (base < 0 || base > file.Size()) return false;
  const int64_t n = std::min<int64_t>(Rl32(h + 4), (bytes - 24) / 8);
  constexpr int64_t kBlock = 4096;
  std::vector<uint8_t> buf;
  for (int64_t i = 0; i < n; i += kBlock) {
    const int64_t m = std::min(kBlock, n - i);
    buf.resize(size_t(m) * 8);
    if (!file.ReadAt(pos + 24 + i * 8, buf.data(), buf.size())) return false;
    for (int64_t k = 0; k < m; ++k) {
      const uint8_t* e = buf.data() + k * 8;
      const uint32_t size = Rl32(e + 4);
      if (!out.Add(base + int64_t(Rl32(e)), size & 0x7FFFFFFFu, (size & 0x80000000u) == 0)) return false;
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
  if (h[3] != 0 || Rl16(h) != 4 || !IsStream0Data(Rl32(h + 8))) return;
  const int64_t n = std::min<int64_t>(Rl32(h + 4), (bytes - 24) / 16);
  for (int64_t i = 0; i < n; ++i) {
    uint8_t e[16];
    if (!file.ReadAt(pos + 24 + i * 16, e, 16)) return;
    const uint64_t at = Rl64(e);
    uint8_t ck[8];
    if (at > uint64_t(file.Size()) || !file.ReadAt(int64_t(at), ck, 8)) return;
    const int64_t chunkBytes = std::min<int64_t>(Rl32(ck + 4), file.Size() - int64_t(at) - 8);
    if (!ReadStandardIndex(file, int64_t(at) + 8, chunkBytes, out)) return;
  }
}

// The old index ("idx1"). Its offsets count from the "movi" tag or, for some
// writers, from the start of the file: the first entry of the stream tells.
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
      const uint32_t ckid = Rl32(e);
      if (!IsStream0Data(ckid)) continue;
      const int64_t offset = Rl32(e + 8);
      if (base < 0) {
        for (int64_t candidate : {moviTag, int64_t(0)}) {
          uint8_t t[4];
          if (candidate >= 0 && file.ReadAt(candidate + offset, t, 4) && Rl32(t) == ckid) {
            base = candidate;
            break;
          }
        }
        if (base < 0) return;
      }
      if (!out.Add(base + offset + 8, Rl32(e + 12), (Rl32(e + 4) & kAviifKeyframe) != 0)) return;
    }
  }
}

// No usable index (a capture cut short): walks the chunks from the first
// movi list to the end of the file, into "rec " lists, further RIFF parts and
// their movi lists. Only whole chunks count; key frames are unknown.
void ScanMovi(const TFileReader& file, int64_t from, TIndexBuilder& out) {
  int64_t pos = from;
  while (pos + 8 <= file.Size()) {
    uint8_t h[12];
    if (!file.ReadAt(pos, h, 8)) return;
    const uint32_t tag = Rl32(h), size = Rl32(h + 4);
    if ((tag == kLIST || tag == kRIFF) && file.ReadAt(pos + 8, h + 8, 4)) {
      const uint32_t type = Rl32(h + 8);
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

void ReadStreamHeader(const TFileReader& file, int64_t pos, uint32_t size, TAviStreamInfo& info) {
  uint8_t s[64] = {};
  const size_t n = size_t(std::min<int64_t>({int64_t(size), 64, file.Size() - pos}));
  if (!file.ReadAt(pos, s, n)) return;
  info.fccType = Rl32(s);
  info.fccHandler = Rl32(s + 4);
  info.dwFlags = Rl32(s + 8);
  info.wPriority = Rl16(s + 12);
  info.wLanguage = Rl16(s + 14);
  info.dwInitialFrames = Rl32(s + 16);
  info.dwScale = Rl32(s + 20);
  info.dwRate = Rl32(s + 24);
  info.dwStart = Rl32(s + 28);
  info.dwLength = Rl32(s + 32);
  info.dwSuggestedBufferSize = Rl32(s + 36);
  info.dwQuality = Rl32(s + 40);
  info.dwSampleSize = Rl32(s + 44);
  for (int i = 0; i < 4; ++i) info.rcFrame[i] = int16_t(Rl16(s + 48 + 2 * i));
}

struct THeaderScan {
  TAviContents& Out;
  int64_t IndxPos = -1;
  int64_t IndxBytes = 0;
};

// The first strl list: strh, strf, strn and indx of stream 0.
void ReadStreamList(const TFileReader& file, TRange list, THeaderScan& scan) {
  ForEachChunk(file, list, [&](uint32_t tag, int64_t pos, uint32_t size) {
    const int64_t avail = std::min<int64_t>(size, list.End - pos);
    if (avail < 0) return false;
    if (tag == kStrh && !scan.Out.HasStream) {
      ReadStreamHeader(file, pos, uint32_t(avail), scan.Out.Info);
      scan.Out.HasStream = true;
    } else if (tag == kStrf && scan.Out.Format.empty()) {
      scan.Out.Format.resize(size_t(std::min<int64_t>(avail, int64_t(kMaxFormatBytes))));
      if (!file.ReadAt(pos, scan.Out.Format.data(), scan.Out.Format.size())) scan.Out.Format.clear();
    } else if (tag == kStrn) {
      char* name = scan.Out.Info.szName;
      const size_t n = size_t(std::min<int64_t>(avail, int64_t(sizeof scan.Out.Info.szName) - 1));
      if (!file.ReadAt(pos, name, n)) name[0] = 0;
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
    if (tag == kLIST && first && size >= 4 && file.ReadAt(pos, type, 4) && Rl32(type) == kStrl) {
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

bool TFileReader::ReadAt(int64_t pos, void* dst, size_t n) const {
  if (pos < 0 || pos > Size_ || int64_t(n) > Size_ - pos) return false;
  auto* p = static_cast<uint8_t*>(dst);
  while (n > 0) {
    const ssize_t got = ::pread(Fd_, p, n, off_t(pos));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    pos += got;
    n -= size_t(got);
  }
  return true;
}

bool TFileReader::ReadRowsAt(int64_t pos, uint8_t* const* rows, size_t count, size_t rowBytes) const {
  if (pos < 0 || pos > Size_ || (rowBytes > 0 && count > size_t(Size_ - pos) / rowBytes)) return false;
  constexpr size_t kBatch = 512;  // under IOV_MAX
  iovec iov[kBatch];
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(kBatch, count - done);
    for (size_t i = 0; i < n; ++i) iov[i] = iovec{rows[done + i], rowBytes};
    ssize_t got;
    do got = ::preadv(Fd_, iov, int(n), off_t(pos));
    while (got < 0 && errno == EINTR);
    if (got <= 0) return false;
    const size_t whole = size_t(got) / rowBytes;
    done += whole;
    pos += int64_t(whole * rowBytes);
    if (whole < n) {  // a short read: finish that row plainly
      const size_t part = size_t(got) % rowBytes;
      if (!ReadAt(pos + int64_t(part), rows[done] + part, rowBytes - part)) return false;
      ++done;
      pos += int64_t(rowBytes);
    }
  }
  return true;
}

bool IsStream0Data(uint32_t ckid) {
  const char c2 = char((ckid >> 16) & 0xFF), c3 = char(ckid >> 24);
  return (ckid & 0xFFFF) == ('0' | '0' << 8) && !(c2 == 'p' && c3 == 'c') && c2 >= 'a' && c2 <= 'z' &&
         c3 >= 'a' && c3 <= 'z';
}

HRESULT ParseAvi(const TFileReader& file, TAviContents& out) {
  out = TAviContents{};
  uint8_t h[12];
  if (!file.ReadAt(0, h, 12) || Rl32(h) != kRIFF || Rl32(h + 8) != kAVI) return AVIERR_FILEREAD;
  // A RIFF size that is 0 or past the end (a capture cut short) means "to the end of the file".
  int64_t riffEnd = 8 + int64_t(Rl32(h + 4));
  if (riffEnd <= 12 || riffEnd > file.Size()) riffEnd = file.Size();

  THeaderScan scan{out};
  int64_t moviTag = -1, idx1Pos = -1, idx1Bytes = 0;
  ForEachChunk(file, TRange{12, riffEnd}, [&](uint32_t tag, int64_t pos, uint32_t size) {
    const int64_t avail = std::min<int64_t>(size, riffEnd - pos);
    uint8_t type[4];
    if (tag == kLIST && avail >= 4 && file.ReadAt(pos, type, 4)) {
      if (Rl32(type) == kHdrl) ReadHeaderList(file, TRange{pos + 4, pos + avail}, scan);
      else if (Rl32(type) == kMovi && moviTag < 0) moviTag = pos;
    } else if (tag == kIdx1 && idx1Pos < 0) {
      idx1Pos = pos;
      idx1Bytes = avail;
    }
    return true;
  });
  if (!out.HasStream) return AVIERR_OK;  // an AVI without streams: no stream to give
  if (out.Info.fccType != streamtypeVIDEO) return AVIERR_OK;

  // Both indexes when present; the one listing more usable chunks wins (the
  // OpenDML one on a tie: it also covers the parts past the first gigabyte).
  if (scan.IndxPos >= 0) {
    TIndexBuilder builder(file.Size(), out.Frames);
    ReadOdmlIndex(file, scan.IndxPos, scan.IndxBytes, builder);
  }
  if (idx1Pos >= 0) {
    std::vector<TChunkRef> old;
    TIndexBuilder builder(file.Size(), old);
    ReadIdx1(file, idx1Pos, idx1Bytes, moviTag, builder);
    if (old.size() > out.Frames.size()) out.Frames.swap(old);
  }
  if (out.Frames.empty() && moviTag >= 0) {
    TIndexBuilder builder(file.Size(), out.Frames);
    ScanMovi(file, moviTag + 4, builder);
  }
  out.Frames.shrink_to_fit();
  LinkFrames(out.Frames);
  out.Info.dwLength = uint32_t(out.Frames.size());
  return AVIERR_OK;
}

}  // namespace avi
