// The video-file service over our AVI reader (VideoFileRiff) and decoders
// (VideoFileRaw, VideoFileCodec).
//
// Callers open and release the file around every use. So that this costs
// little, the last file released stays parsed, with its descriptor and its
// decoder, until another file is opened or AVIFileExit; AVIFileOpen reuses it
// only while the path still names the same, unchanged file: device, inode,
// size, modification and change times and, while the change time is recent
// enough to be shared by a later change, a hash of the first and last 64 KiB.
// A file replaced, moved or deleted after it was parsed is thus read afresh,
// or refused, exactly as without the cache. Nothing of a frame is kept
// beyond the one DIB a decoder hands out.
//
// Handles are reference counted like the platform's: a stream and a frame
// decoder each hold their file, so releasing out of order is harmless.
#include "platform/VideoFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/VideoFileDecode.h"
#include "platform/VideoFileRiff.h"

namespace {

// Owns a file descriptor.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : Fd_(fd) {}
  ~TFd() {
    if (Fd_ >= 0) ::close(Fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  void Reset(int fd) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = fd;
  }

 private:
  int Fd_ = -1;
};

struct TFileIdentity {
  dev_t Dev = 0;
  ino_t Ino = 0;
  int64_t Size = -1;
  timespec MTime{};
  timespec CTime{};
  uint64_t Hash = 0;
  // The change time lay well in the past when last checked: any later change
  // of the file gives it a new change time, so the hash need not be taken.
  bool Settled = false;

  bool SameFile(const TFileIdentity& o) const {
    return Dev == o.Dev && Ino == o.Ino && Size == o.Size && MTime.tv_sec == o.MTime.tv_sec &&
           MTime.tv_nsec == o.MTime.tv_nsec && CTime.tv_sec == o.CTime.tv_sec && CTime.tv_nsec == o.CTime.tv_nsec;
  }
};

TFileIdentity IdentityOf(const struct stat& st) {
  TFileIdentity id;
  id.Dev = st.st_dev;
  id.Ino = st.st_ino;
  id.Size = int64_t(st.st_size);
  id.MTime = st.st_mtim;
  id.CTime = st.st_ctim;
  return id;
}

// Hash of the first and last 64 KiB (the headers and the index), read through
// the descriptor; 0 when they cannot be read.
uint64_t HeadTailHash(const avi::TFileReader& file) {
  constexpr int64_t kPart = 64 * 1024;
  uint64_t h = 0x9E3779B97F4A7C15ull ^ uint64_t(file.Size());
  thread_local std::vector<uint8_t> buf;
  auto mix = [&](int64_t pos, int64_t n) {
    buf.resize(size_t(n));
    if (!file.ReadAt(pos, buf.data(), size_t(n))) return false;
    size_t i = 0;
    for (; i + 8 <= size_t(n); i += 8) {
      uint64_t w;
      std::memcpy(&w, buf.data() + i, 8);
      h = (h ^ w) * 0x100000001B3ull;
      h ^= h >> 29;
    }
    for (; i < size_t(n); ++i) h = (h ^ buf[i]) * 0x100000001B3ull;
    return true;
  };
  const int64_t size = file.Size();
  if (size <= 2 * kPart) {
    if (!mix(0, size)) return 0;
  } else if (!mix(0, kPart) || !mix(size - kPart, kPart)) {
    return 0;
  }
  return h;
}

// True when the change time is more than two seconds old: a change of the
// file now would get a change time that differs from it, however coarse the
// file system's clock.
bool ChangeTimeSettled(const timespec& ctime) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - ctime.tv_sec > 2;
}

// One parsed AVI file with what is kept between uses.
struct TOpenVideo {
  std::string Path;
  TFileIdentity Identity;
  TFd Fd;
  avi::TFileReader Reader;
  avi::TAviContents Contents;
  std::unique_ptr<avi::TFrameDecoder> Decoder;  // kept for the next use, or none
};

// The last file released, kept for the next AVIFileOpen of the same path.
// Per thread, as each thread would have its own uses.
thread_local std::unique_ptr<TOpenVideo> tKept;

}  // namespace

struct TAviFileObject {
  int Refs = 1;
  std::unique_ptr<TOpenVideo> Video;
};

struct TAviStreamObject {
  TAviFileObject* File = nullptr;
};

struct TGetFrameObject {
  TAviFileObject* File = nullptr;
  std::unique_ptr<avi::TFrameDecoder> Decoder;
  size_t LastSize = 0;
};

namespace {

uint32_t ReleaseFileRef(TAviFileObject* file) {
  if (!file) return 0;
  if (--file->Refs > 0) return uint32_t(file->Refs);
  tKept = std::move(file->Video);
  delete file;
  return 0;
}

// Opens and parses `path` anew; the result code on failure.
HRESULT OpenVideo(const std::string& path, std::unique_ptr<TOpenVideo>& out) {
  auto video = std::make_unique<TOpenVideo>();
  video->Path = path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return AVIERR_FILEOPEN;
  video->Fd.Reset(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return AVIERR_FILEOPEN;
  video->Identity = IdentityOf(st);
  video->Reader = avi::TFileReader(fd, video->Identity.Size);
  video->Identity.Hash = HeadTailHash(video->Reader);
  const HRESULT r = avi::ParseAvi(video->Reader, video->Contents);
  if (r != AVIERR_OK) return r;
  out = std::move(video);
  return AVIERR_OK;
}

}  // namespace

void AVIFileInit() {
  // Damaged captures make decoders complain on every frame; the program
  // reports unreadable images itself.
  av_log_set_level(AV_LOG_QUIET);
}

void AVIFileExit() { tKept.reset(); }

HRESULT AVIFileOpen(PAVIFILE* file, const char* path, uint32_t mode, const void* handler) {
  if (!file) return AVIERR_BADPARAM;
  *file = nullptr;
  if (!path || handler || (mode & 0xFFFF) != 0) return AVIERR_BADPARAM;  // read-only, default handler
  const std::string name(path);

  std::unique_ptr<TOpenVideo> video;
  if (tKept && tKept->Path == name) {
    std::unique_ptr<TOpenVideo> kept = std::move(tKept);
    struct stat st {};
    if (::stat(path, &st) != 0) return AVIERR_FILEOPEN;
    TFileIdentity& id = kept->Identity;
    if (IdentityOf(st).SameFile(id) && (id.Settled || HeadTailHash(kept->Reader) == id.Hash)) {
      id.Settled = ChangeTimeSettled(id.CTime);
      video = std::move(kept);
    }
  }
  if (!video) {
    const HRESULT r = OpenVideo(name, video);
    if (r != AVIERR_OK) return r;
  }
  *file = new TAviFileObject{1, std::move(video)};
  return AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, uint32_t streamType, int32_t streamNumber) {
  if (!stream) return AVIERR_BADPARAM;
  *stream = nullptr;
  if (!file || !file->Video) return AVIERR_BADPARAM;
  const avi::TAviContents& c = file->Video->Contents;
  // Only the first stream is read: stream 0 of any type, or of its own type.
  if (!c.HasStream || streamNumber != 0 || (streamType != 0 && streamType != c.Info.fccType)) return AVIERR_NODATA;
  ++file->Refs;
  *stream = new TAviStreamObject{file};
  return AVIERR_OK;
}

HRESULT AVIStreamInfo(PAVISTREAM stream, TAviStreamInfo* info, int32_t size) {
  if (!stream || !info || size < 0) return AVIERR_BADPARAM;
  const TAviStreamInfo& src = stream->File->Video->Contents.Info;
  std::memcpy(static_cast<void*>(info), &src, std::min<size_t>(size_t(size), sizeof src));
  return AVIERR_OK;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const void* wanted) {
  if (!stream || wanted) return nullptr;  // only the decoder's own output format is offered
  TOpenVideo& video = *stream->File->Video;
  std::unique_ptr<avi::TFrameDecoder> decoder = std::move(video.Decoder);
  if (!decoder) decoder = avi::TFrameDecoder::Create(video.Contents);
  if (!decoder) return nullptr;
  ++stream->File->Refs;
  return new TGetFrameObject{stream->File, std::move(decoder), 0};
}

const void* AVIStreamGetFrame(PGETFRAME frames, int32_t position) {
  if (!frames) return nullptr;
  frames->LastSize = 0;
  const TOpenVideo& video = *frames->File->Video;
  return frames->Decoder->GetFrame(video.Reader, video.Contents.Frames, position, &frames->LastSize);
}

size_t AVIStreamGetFrameSize(PGETFRAME frames) { return frames ? frames->LastSize : 0; }

bool AVIStreamGetFrameFormat(PGETFRAME frames, int32_t* width, int32_t* height, int32_t* bitCount) {
  if (!frames || !width || !height || !bitCount) return false;
  *width = frames->Decoder->Width();
  *height = frames->Decoder->Height();
  *bitCount = frames->Decoder->BitCount();
  return true;
}

bool AVIStreamGetFrameRows(PGETFRAME frames, int32_t position, uint8_t* const* rows, int32_t width, int32_t height,
                           int32_t bitCount) {
  if (!frames || !rows) return false;
  frames->LastSize = 0;
  const avi::TFrameDecoder& d = *frames->Decoder;
  if (width != d.Width() || height != d.Height() || bitCount != d.BitCount()) return false;
  const TOpenVideo& video = *frames->File->Video;
  return frames->Decoder->GetFrameRows(video.Reader, video.Contents.Frames, position, rows);
}

HRESULT AVIStreamGetFrameClose(PGETFRAME frames) {
  if (!frames) return AVIERR_BADPARAM;
  TOpenVideo& video = *frames->File->Video;
  if (!video.Decoder) video.Decoder = std::move(frames->Decoder);
  ReleaseFileRef(frames->File);
  delete frames;
  return AVIERR_OK;
}

uint32_t AVIStreamRelease(PAVISTREAM stream) {
  if (!stream) return 0;
  ReleaseFileRef(stream->File);
  delete stream;
  return 0;
}

uint32_t AVIFileRelease(PAVIFILE file) { return ReleaseFileRef(file); }
