// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/BmpInfo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
int32_t Le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// File header (14 bytes) + the part of the info header that holds the facts.
constexpr size_t kFileHeader = 14;
constexpr size_t kCoreNeed = kFileHeader + 12;
constexpr size_t kInfoNeed = kFileHeader + 16;
constexpr size_t kReadBytes = 54;

}  // namespace

TBmpInfo ReadBmpHeaderInfo(const uint8_t* data, size_t size, uint64_t fileSize) {
  TBmpInfo info;
  if (size < kFileHeader + 2 || data[0] != 'B' || data[1] != 'M') return info;
  const uint8_t* h = data + kFileHeader;
  if (Le16(h) == 12) {
    if (size < kCoreNeed) return info;
    info.Width = Le16(h + 4);
    info.Height = Le16(h + 6);
    info.BitCount = Le16(h + 10);
  } else {
    if (size < kInfoNeed) return info;
    info.Width = Le32(h + 4);
    info.Height = Le32(h + 8);
    info.BitCount = Le16(h + 14);
  }
  info.SizeText = BmpSizeText(fileSize);
  return info;
}

TBmpInfo GetBmpInfo(const std::string& path) {
  TBmpInfo info;
  ReadBmpFileInfo(path, info);
  return info;
}

bool ReadBmpFileInfo(const std::string& path, TBmpInfo& info) {
  // Non-blocking open: a FIFO named like a BMP file must not stop the listing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular) {
    uint8_t head[kReadBytes];
    ssize_t got;
    do got = ::pread(fd, head, sizeof head, 0);
    while (got < 0 && errno == EINTR);
    info = got > 0 ? ReadBmpHeaderInfo(head, size_t(got), uint64_t(st.st_size)) : TBmpInfo{};
    if (info.BitCount != -1) info.DateText = FileDateText(st.st_mtime);
  }
  ::close(fd);
  return regular;
}

std::string BmpColorText(int bitCount) {
  if (bitCount >= 1 && bitCount <= 8) return std::to_string(1 << bitCount);
  if (bitCount == 16) return "65K";
  if (bitCount == 24) return "16M";
  if (bitCount == 32) return "65M";
  if (bitCount > 8) return std::to_string(bitCount) + " Bits";
  return "UNK";
}

std::string BmpDimensionsText(int32_t width, int32_t height) {
  // A top-down file stores a negative height; the user sees its size.
  const int64_t h = height < 0 ? -int64_t(height) : int64_t(height);
  return std::to_string(width) + "x" + std::to_string(h);
}

std::string BmpSizeText(uint64_t bytes) { return std::to_string(bytes / 1024); }

std::string FileDateText(time_t when) {
  struct tm local {};
  if (!::localtime_r(&when, &local)) return {};
  char text[128];
  const size_t n = std::strftime(text, sizeof text, "%x %X", &local);
  return std::string(text, n);
}

bool IsBmpFileName(const std::string& name) {
  if (name.size() < 5) return false;  // the test text is then "NADA"
  const char* e = name.c_str() + name.size() - 4;
  return e[0] == '.' && (e[1] | 0x20) == 'b' && (e[2] | 0x20) == 'm' && (e[3] | 0x20) == 'p';
}

std::unique_ptr<TBMPList> MakeBmpEntry(const std::string& name, const std::string& directory, const TBmpInfo& info) {
  auto entry = std::make_unique<TBMPList>();
  entry->SetData(name, info.SizeText, info.DateText, BmpColorText(info.BitCount),
                 BmpDimensionsText(info.Width, info.Height), directory);
  return entry;
}

void ClearBmpList(TBmpEntryList& list) { list.Clear(); }

void CopyBmpList(const TBmpEntryList& source, TBmpEntryList& destination) {
  ClearBmpList(destination);
  for (int i = 0; i < source.Count(); ++i) {
    const TBMPList* from = source.Objects(i);
    auto copy = std::make_unique<TBMPList>();
    copy->SetData(from->Name, from->SizeKo, from->Date, from->ColorText, from->Dimensions, from->Directory);
    destination.Add(from->Name, std::move(copy));
  }
}

TBmpFolderLister::TBmpFolderLister(const std::string& directory) : Directory_(directory) {
  if (!Directory_.empty() && Directory_.back() != '/') Directory_ += '/';
  Dir_ = ::opendir(directory.c_str());
}

TBmpFolderLister::~TBmpFolderLister() {
  if (Dir_) ::closedir(static_cast<DIR*>(Dir_));
}

bool TBmpFolderLister::Next(std::vector<TBmpFolderRow>& rows, size_t max) {
  if (!Dir_) return false;
  DIR* dir = static_cast<DIR*>(Dir_);
  for (size_t n = 0; n < max;) {
    errno = 0;
    const dirent* e = ::readdir(dir);
    if (!e) {
      ::closedir(dir);
      Dir_ = nullptr;
      return false;
    }
    const std::string name = e->d_name;
    if (!IsBmpFileName(name)) continue;
    rows.push_back({name, GetBmpInfo(Directory_ + name)});
    ++n;
  }
  return true;
}

std::vector<TBmpFolderRow> ListBmpFolder(const std::string& directory) {
  std::vector<TBmpFolderRow> rows;
  TBmpFolderLister lister(directory);
  while (lister.Next(rows, 4096)) {
  }
  return rows;
}
