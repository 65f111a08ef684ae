#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "image/AtomicFile.h"

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

std::string_view ProfileTrim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ProfileNameEquals(std::string_view a, std::string_view b) {
  a = ProfileTrim(a);
  b = ProfileTrim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool TProfileFile::Load(const std::string& path) {
  Lines_.clear();
  CrLf_ = false;
  Bom_ = false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  if (S_ISDIR(st.st_mode)) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string text;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) return false;
  Parse(text);
  return true;
}

void TProfileFile::Parse(std::string_view text) {
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
    const std::string_view t = ProfileTrim(raw);
    if (t.empty() || t.front() == ';' || t.front() == '#') {
      // blank line or comment: kept as it is
    } else if (t.front() == '[') {
      const size_t close = t.find(']');
      line.Kind = TLineKind::Section;
      line.Name = std::string(ProfileTrim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
    } else if (const size_t eq = raw.find('='); eq != std::string_view::npos) {
      const std::string_view name = ProfileTrim(raw.substr(0, eq));
      if (!name.empty()) {
        line.Kind = TLineKind::Key;
        line.Name = std::string(name);
        line.Value = std::string(raw.substr(eq + 1));
      }
    }
    Lines_.push_back(std::move(line));
  }
}

size_t TProfileFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < Lines_.size(); ++i)
    if (Lines_[i].Kind == TLineKind::Section && ProfileNameEquals(Lines_[i].Name, section)) return i;
  return std::string::npos;
}

size_t TProfileFile::FindKey(size_t s, std::string_view key) const {
  for (size_t i = s + 1; i < Lines_.size() && Lines_[i].Kind != TLineKind::Section; ++i)
    if (Lines_[i].Kind == TLineKind::Key && ProfileNameEquals(Lines_[i].Name, key)) return i;
  return std::string::npos;
}

bool TProfileFile::HasSection(std::string_view section) const { return FindSection(section) != std::string::npos; }

bool TProfileFile::HasKey(std::string_view section, std::string_view key) const {
  const size_t s = FindSection(section);
  return s != std::string::npos && FindKey(s, key) != std::string::npos;
}

std::string TProfileFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const size_t s = FindSection(section);
  const size_t k = s == std::string::npos ? s : FindKey(s, key);
  std::string value;
  if (k == std::string::npos) {
    value = std::string(def);
  } else {
    std::string_view v = ProfileTrim(Lines_[k].Value);
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    value = std::string(v);
  }
  TruncateUtf8(value, ProfileValueLimit);
  return value;
}

void TProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  // Quote what the reader would otherwise trim or unquote.
  const bool needsQuotes = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                          (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()));
  if (needsQuotes) v = "\"" + v + "\"";

  TLine line;
  line.Kind = TLineKind::Key;
  line.Name = std::string(ProfileTrim(key));
  line.Value = v;
  line.Raw = line.Name + "=" + v;

  size_t s = FindSection(section);
  if (s == std::string::npos) {
    TLine header;
    header.Kind = TLineKind::Section;
    header.Name = std::string(ProfileTrim(section));
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

bool TProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  const size_t s = FindSection(section);
  const size_t k = s == std::string::npos ? s : FindKey(s, key);
  if (k == std::string::npos) return false;
  Lines_.erase(Lines_.begin() + long(k));
  return true;
}

std::string TProfileFile::Text() const {
  const char* eol = CrLf_ ? "\r\n" : "\n";
  std::string out;
  if (Bom_) out += kBom;
  for (const TLine& l : Lines_) {
    out += l.Raw;
    out += eol;
  }
  return out;
}

bool TProfileFile::Save(const std::string& path, std::string* error) const {
  auto fail = [&](std::string reason) {
    if (error) *error = std::move(reason);
    return false;
  };
  if (path.empty()) return fail("empty settings file name");

  // Replace the file a symbolic link points to, not the link itself.
  std::string target = path;
  struct stat lst {};
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }

  try {
    TAtomicFile file(target);
    const std::string text = Text();
    file.Write(text.data(), text.size());
    file.Commit(/*flushToDisk=*/true);
  } catch (const std::system_error& e) {
    return fail(e.what());
  }
  return true;
}

std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view def) {
  TProfileFile f;
  f.Load(path);
  return f.ReadString(section, key, def);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, std::string* error) {
  TProfileFile f;
  if (!f.Load(path)) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  f.WriteString(section, key, value);
  return f.Save(path, error);
}
