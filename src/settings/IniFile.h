// SPDX-License-Identifier: GPL-3.0-or-later
// INI files (the settings file): our own stand-in for the Windows profile
// functions GetPrivateProfileString / WritePrivateProfileString.
//
// A TIniFile is the whole file held in memory: load it, read and change
// keys, then save it in one go. Saving writes a temporary file in the same
// folder and renames it over the old one, so a crash or a full disk never
// leaves a half-written file behind.
//
// Matching rules are those of the Windows functions: section and key names are
// trimmed and compared without regard to ASCII letter case; values are trimmed
// and one pair of enclosing quotes ("..." or '...') is removed; a value comes
// back with at most IniValueLimit bytes. Lines that are not section headers
// or key lines (comments, blank lines, anything else) are kept where they are.
// CR LF and LF line ends are both read; a file is saved with the line end it
// was read with (LF for a new file).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"

// The Windows functions read through a caller's buffer; the program's buffer is
// 2048 characters, so at most 2047 come back.
inline constexpr size_t IniValueLimit = 2047;
// A settings file is a few hundred bytes; anything over this is not one, and
// is refused before it is read (a device such as /dev/zero never ends).
inline constexpr size_t IniFileLimit = 1 << 20;

class TIniFile {
 public:
  TIniFile() = default;

  // Reads the file. A missing file gives an empty document and success. A file
  // that exists but cannot be read, is not a regular file (directory, FIFO,
  // device) or is larger than IniFileLimit gives an empty document and a
  // message naming the file and the reason.
  TStatus Load(const std::string& path);
  // Parses text as the content of a file.
  void Parse(std::string_view text);

  // The value of key in section, or def when the section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def = {}) const;
  bool HasKey(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;

  // Sets key in section, replacing the key's line in place when it exists,
  // else adding it after the section's last key (the section is added at the
  // end of the file when missing). Values that would not read back as given
  // (leading or trailing blanks, enclosing quotes) are written inside double
  // quotes; line breaks in a value become blanks.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Removes a key line; false when it was not there.
  bool DeleteKey(std::string_view section, std::string_view key);

  // The document as file text.
  std::string Text() const;

  // Writes the whole document to path through TAtomicFile (temporary file in
  // the folder of the real file, flushed, renamed over it). On failure any
  // existing file is left untouched and the message tells why.
  TStatus Save(const std::string& path) const;

 private:
  enum class TLineKind { Other, Section, Key };
  struct TLine {
    TLineKind Kind = TLineKind::Other;
    std::string Raw;    // the line as read or written, without its line end
    std::string Name;   // trimmed section or key name
    std::string Value;  // raw text after '=' (key lines)
  };

  // Index of the header line of section, or npos.
  size_t FindSection(std::string_view section) const;
  // Index of key's line within the section starting at header index s, or npos.
  size_t FindKey(size_t s, std::string_view key) const;

  std::vector<TLine> Lines_;
  bool CrLf_ = false;
  bool Bom_ = false;
};

// Trims blanks (space, tab, CR, LF, vertical tab, form feed) from both ends.
std::string_view IniTrim(std::string_view s);
// ASCII case-insensitive equality, as the profile functions compare names.
bool IniNameEquals(std::string_view a, std::string_view b);
