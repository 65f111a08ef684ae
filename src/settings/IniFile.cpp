// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/AtomicFile.h"

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Cuts s to at most limit bytes without splitting a UTF-8 sequence.
void TruncateUtf8(std::string& s, size_t limit) {
  if (s.size() <= limit) return;
  size_t n = limit;
  // Step back over continuation bytes to the start of the cut sequence, then
  // drop that sequence unless it ends exactly at the limit.
  size_t start = n;
  while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
  if (start < n) {
    const unsigned char lead = static_cast<unsigned char>(s[start]);
    size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (start + len > n) n = start;
  }
  s.resize(n);
}

}  // namespace

std::string_view IniTrim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IniNameEquals(std::string_view a, std::string_view b) {
  a = IniTrim(a);
  b = IniTrim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

TStatus TIniFile::Load(const std::string& path) {
  Lines_.clear();
  CrLf_ = false;
  Bom_ = false;
  // Opened without blocking, so that a FIFO cannot hang the program before
  // fstat tells what it is.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return TStatus::Ok();
    return TStatus::Fail(FileErrorText(path, "cannot read", errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return TStatus::Fail(FileErrorText(path, "cannot read", errno));
  if (!S_ISREG(st.st_mode)) return TStatus::Fail(path + ": not a regular file");
  if (uint64_t(st.st_size) > IniFileLimit)
    return TStatus::Fail(path + ": too large for a settings file (" + std::to_string(st.st_size) +
                         " bytes; at most " + std::to_string(IniFileLimit) + ")");
  std::string text;
  char buf[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return TStatus::Fail(FileErrorText(path, "cannot read", errno));
    if (n == 0) break;
    text.append(buf, size_t(n));
    // A file that grows while it is read is bounded all the same.
    if (text.size() > IniFileLimit) return TStatus::Fail(path + ": too large for a settings file");
  }
  Parse(text);
  return TStatus::Ok();
}

void TIniFile::Parse(std::string_view text) {
  Lines_.clear();
  CrLf_ = false;
  Bom_ = false;
  if (text.substr(0, kBom.size()) == kBom) {
    Bom_ = true;
    text.remove_prefix(kBom.size());
  }
  const size_t firstLf = text.find('\n');
  CrLf_ = firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r';

  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    TLine line;
    line.Raw = std::string(raw);
    const std::string_view t = IniTrim(raw);
    if (t.empty() || t.front() == ';' || t.front() == '#') {
      // blank line or comment: kept as it is
    } else if (t.front() == '[') {
      const size_t close = t.find(']');
      line.Kind = TLineKind::Section;
      line.Name = std::string(IniTrim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
    } else if (const size_t eq = raw.find('='); eq != std::string_view::npos) {
      const std::string_view name = IniTrim(raw.substr(0, eq));
      if (!name.empty()) {
        line.Kind = TLineKind::Key;
        line.Name = std::string(name);
        line.Value = std::string(raw.substr(eq + 1));
      }
    }
    Lines_.push_back(std::move(line));
  }
}

size_t TIniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < Lines_.size(); ++i)
    if (Lines_[i].Kind == TLineKind::Section && IniNameEquals(Lines_[i].Name, section)) return i;
  return std::string::npos;
}

size_t TIniFile::FindKey(size_t s, std::string_view key) const {
  for (size_t i = s + 1; i < Lines_.size() && Lines_[i].Kind != TLineKind::Section; ++i)
    if (Lines_[i].Kind == TLineKind::Key && IniNameEquals(Lines_[i].Name, key)) return i;
  return std::string::npos;
}

bool TIniFile::HasSection(std::string_view section) const { return FindSection(section) != std::string::npos; }

bool TIniFile::HasKey(std::string_view section, std::string_view key) const {
  const size_t s = FindSection(section);
  return s != std::string::npos && FindKey(s, key) != std::string::npos;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const size_t s = FindSection(section);
  const size_t k = s == std::string::npos ? s : FindKey(s, key);
  std::string value;
  if (k == std::string::npos) {
    value = std::string(def);
  } else {
    std::string_view v = IniTrim(Lines_[k].Value);
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    value = std::string(v);
  }
  TruncateUtf8(value, IniValueLimit);
  return value;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  // Quote what the reader would otherwise trim or unquote.
  const bool needsQuotes = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                          (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()));
  if (needsQuotes) v = "\"" + v + "\"";

  TLine line;
  line.Kind = TLineKind::Key;
  line.Name = std::string(IniTrim(key));
  line.Value = v;
  line.Raw = line.Name + "=" + v;

  size_t s = FindSection(section);
  if (s == std::string::npos) {
    TLine header;
    header.Kind = TLineKind::Section;
    header.Name = std::string(IniTrim(section));
    header.Raw = "[" + header.Name + "]";
    Lines_.push_back(std::move(header));
    Lines_.push_back(std::move(line));
    return;
  }
  if (const size_t k = FindKey(s, key); k != std::string::npos) {
    // The key keeps the spelling it has in the file, as with the Windows functions.
    line.Name = Lines_[k].Name;
    line.Raw = line.Name + "=" + v;
    Lines_[k] = std::move(line);
    return;
  }
  // After the last key of the section, so blank lines and comments that
  // precede the next section stay with it.
  size_t at = s + 1;
  for (size_t i = s + 1; i < Lines_.size() && Lines_[i].Kind != TLineKind::Section; ++i)
    if (Lines_[i].Kind == TLineKind::Key) at = i + 1;
  Lines_.insert(Lines_.begin() + long(at), std::move(line));
}

bool TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  const size_t s = FindSection(section);
  const size_t k = s == std::string::npos ? s : FindKey(s, key);
  if (k == std::string::npos) return false;
  Lines_.erase(Lines_.begin() + long(k));
  return true;
}

std::string TIniFile::Text() const {
  const char* eol = CrLf_ ? "\r\n" : "\n";
  std::string out;
  if (Bom_) out += kBom;
  for (const TLine& l : Lines_) {
    out += l.Raw;
    out += eol;
  }
  return out;
}

TStatus TIniFile::Save(const std::string& path) const {
  TAtomicFile file;
  if (TStatus s = file.Open(path); !s) return s;
  const std::string text = Text();
  if (TStatus s = file.Write(text.data(), text.size()); !s) return s;
  return file.Commit(/*flushToDisk=*/true);
}
