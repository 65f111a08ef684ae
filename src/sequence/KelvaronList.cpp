// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/KelvaronList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <utility>

#include "sequence/BmpInfo.h"

namespace {

std::string FileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

std::string WithoutFinalSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// A path as a message shows it: very long ones keep their two ends.
std::string Shown(const std::string& path) {
  constexpr size_t kMax = 400;
  if (path.size() <= kMax) return path;
  return path.substr(0, kMax / 2) + "..." + path.substr(path.size() - kMax / 2);
}

// Reads a file line by line through a fixed buffer; a line longer than
// kKelvaronMaxLine is cut there and flagged.
class TLineReader {
 public:
  explicit TLineReader(int fd) : Fd_(fd), Buf_(1 << 16) {}
  // False at the end of the file. A final line without a line end counts.
  bool Next(std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    bool any = false;
    for (;;) {
      if (Pos_ == End_) {
        if (Eof_ || !Fill()) return any && Finish(line);
      }
      any = true;
      const char* start = Buf_.data() + Pos_;
      const void* nl = std::memchr(start, '\n', End_ - Pos_);
      const size_t n = nl ? size_t(static_cast<const char*>(nl) - start) : End_ - Pos_;
      const size_t room = kKelvaronMaxLine - std::min(kKelvaronMaxLine, line.size());
      if (n > room) tooLong = true;
      line.append(start, std::min(n, room));
      Pos_ += n;
      if (nl) {
        ++Pos_;
        return Finish(line);
      }
    }
  }

 private:
  static bool Finish(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  bool Fill() {
    ssize_t got;
    do got = ::read(Fd_, Buf_.data(), Buf_.size());
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
      Eof_ = true;
      return false;
    }
    Pos_ = 0;
    End_ = size_t(got);
    return true;
  }

  int Fd_;
  std::vector<char> Buf_;
  size_t Pos_ = 0, End_ = 0;
  bool Eof_ = false;
};

class TFd {
 public:
  explicit TFd(int fd) : Fd(fd) {}
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Fd;
};

std::string Slashes(std::string text) {
  for (char& c : text)
    if (c == '\\') c = '/';
  return text;
}

bool HasDriveLetter(const std::string& dir) {
  return dir.size() >= 2 && std::isalpha(static_cast<unsigned char>(dir[0])) && dir[1] == ':';
}

}  // namespace

bool ParseListInteger(const std::string& text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && std::isxdigit(c)) digit = std::tolower(c) - 'a' + 10;
    else return false;
    if (magnitude > (uint64_t(INT64_MAX) - uint64_t(digit)) / uint64_t(base)) return false;
    magnitude = magnitude * uint64_t(base) + uint64_t(digit);
  }
  value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  return true;
}

int64_t ListIntegerPrefix(const std::string& text) {
  int64_t parsed = 0;
  if (ParseListInteger(text, parsed)) return parsed;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value > (INT64_MAX - 9) / 10 ? INT64_MAX : value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

std::string ListLineToUtf8(const std::string& line) {
  // Valid UTF-8 stays as it is.
  bool valid = true;
  for (size_t i = 0; i < line.size() && valid;) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || (len == 2 && c < 0xC2) || i + len > line.size()) {
      valid = false;
      break;
    }
    uint32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      const unsigned char d = static_cast<unsigned char>(line[i + k]);
      if ((d & 0xC0) != 0x80) valid = false;
      cp = cp << 6 | (d & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      valid = false;
    i += len;
  }
  if (valid) return line;
  // Windows-1252: 0x80-0x9F have their own code points; the rest are Latin-1.
  static const uint16_t k80[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                   0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  out.reserve(line.size() * 2);
  for (const char ch : line) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const uint32_t cp = c < 0x80 ? c : c < 0xA0 ? k80[c - 0x80] : c;
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | cp >> 6);
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xE0 | cp >> 12);
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string KelvaronListMissingText(const std::string& path) {
  return "Kelvaron file :\n\"" + Shown(path) + "\"\nnot existe.";
}
std::string KelvaronNotAListText(const std::string& path) { return "File :" + Shown(path) + "\nis not a Kelvaron file."; }
std::string KelvaronFileMissingText(const std::string& fullPath) {
  return "File " + Shown(fullPath) + "not existe.\nIgnore this file and continue loading";
}
std::string KelvaronWrongExtensionText(const std::string& name) {
  return "File :\n\"" + Shown(name) + "\"\nnot a Kelvaron file.";
}
std::string KelvaronTruncatedText(const std::string& path) {
  return "File :" + Shown(path) + "\nlists more than " + std::to_string(kKelvaronMaxImages) + " images; the first " +
         std::to_string(kKelvaronMaxImages) + " are opened.";
}
std::string KelvaronCaption(const std::string& appTitle, const std::string& listPath) {
  return appTitle + " - " + FileNameOf(Slashes(listPath)) + " (Kelvaron)";
}

TKelvaronResult ReadKelvaronList(const std::string& path, const TMissingFileQuestion& askMissing) {
  TKelvaronResult result;
  // Only a regular file is read: a FIFO or a device would never end.
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat st {};
  if (fd.Fd < 0 || ::fstat(fd.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result.Status = TStatus::Fail(KelvaronListMissingText(path));
    return result;
  }
  const int flags = ::fcntl(fd.Fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd.Fd, F_SETFL, flags & ~O_NONBLOCK);
  const std::string listDir = FolderOf(path);

  TLineReader reader(fd.Fd);
  std::vector<std::string> head;  // lines 0 to 4
  std::vector<bool> headLong;
  std::string line;
  bool tooLong = false;
  while (head.size() < 5 && reader.Next(line, tooLong)) {
    head.push_back(line);
    headLong.push_back(tooLong);
  }
  int64_t format = 0;
  if (head.empty() || !ParseListInteger(head[0], format)) {
    result.Status = TStatus::Fail(KelvaronNotAListText(path));
    return result;
  }
  int64_t first = 0, step = 6;
  if (format != 0) {
    if (head.size() < 5) {
      result.Status = TStatus::Fail(KelvaronNotAListText(path));
      return result;
    }
    first = ListIntegerPrefix(head[3]);
    step = ListIntegerPrefix(head[4]);
    if (first < 0 || step < 1) {
      result.Status = TStatus::Fail(KelvaronNotAListText(path));
      return result;
    }
  }

  bool ignoreAll = false;
  int found = 0;
  int64_t entry = first;  // first line of the entry being read
  std::string prev, cur;
  bool prevLong = false, curLong = false;
  size_t headAt = 0;
  for (int64_t lineNo = 0;; ++lineNo) {
    std::swap(prev, cur);
    prevLong = curLong;
    if (headAt < head.size()) {
      cur = std::move(head[headAt]);
      curLong = headLong[headAt];
      ++headAt;
    } else if (!reader.Next(cur, curLong)) {
      break;
    }
    if (lineNo - 2 != entry) continue;
    entry = entry > INT64_MAX - step ? INT64_MAX - 2 : entry + step;

    const std::string dirText = ListLineToUtf8(prev);
    const std::string nameText = ListLineToUtf8(cur);
    std::string dir = Slashes(dirText);
    const std::string name = Slashes(nameText);
    std::string foundDir, foundName;
    TBmpInfo info;
    if (!prevLong && !curLong && !name.empty()) {
      if (!HasDriveLetter(dir)) {
        if (dir.empty() || dir[0] != '/') dir = std::filesystem::path(Join(listDir, dir)).lexically_normal().string();
        if (ReadBmpFileInfo(Join(dir, name), info)) {
          foundDir = WithoutFinalSlash(dir);
          foundName = name;
        }
      }
      if (foundName.empty() && ReadBmpFileInfo(Join(listDir, FileNameOf(name)), info)) {
        foundDir = listDir;
        foundName = FileNameOf(name);
      }
    }
    if (!foundName.empty()) {
      if (found == kKelvaronMaxImages) {
        result.Truncated = true;
        break;
      }
      result.Entries->Add(std::to_string(++found) + " - " + nameText, MakeBmpEntry(foundName, foundDir, info));
      continue;
    }
    if (ignoreAll) continue;
    const TMsgButton answer = askMissing ? askMissing(KelvaronFileMissingText(dirText + nameText)) : TMsgButton::Yes;
    if (answer == TMsgButton::All) ignoreAll = true;
    if (answer == TMsgButton::Abort) {
      result.Aborted = true;
      break;
    }
  }
  return result;
}

TKelvaronCommandLine ParseKelvaronCommandLine(const std::vector<std::string>& params) {
  TKelvaronCommandLine cmd;
  if (params.size() < 2) return cmd;
  std::string sw = params[0];
  for (char& c : sw) c = char(std::toupper(static_cast<unsigned char>(c)));
  if (sw != "/KELVARON") return cmd;
  cmd.Requested = true;
  std::string name = params[1];
  if (name.size() > 1) {
    if (name.front() == '"') name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
  }
  cmd.Name = name;
  std::string ext = name.size() >= 5 ? name.substr(name.size() - 4) : "NADA";
  for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
  if (ext != ".LST") cmd.Status = TStatus::Fail(KelvaronWrongExtensionText(name));
  return cmd;
}
