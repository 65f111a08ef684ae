// SPDX-License-Identifier: GPL-3.0-or-later
// Kelvaron ".LST" image lists: a text file naming BMP files, read into a
// list of TBMPList entries that opens as a BMP sequence.
//
// Line 0 is the format indicator. 0: no header, entries of 6 lines from line 0.
// Otherwise line 3 gives H, the first entry line, and line 4 S, the lines per
// entry. Of entry k (starting at line H + k*S) line +1 is the folder and
// line +2 the file name.
//
// Lists written on Windows are read here too: "\" becomes "/", CR LF ends a
// line, text that is not valid UTF-8 is Windows-1252, and a file whose path
// names a drive letter (or does not exist) is looked for by its name beside
// the list file. The file is read line by line in bounded memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Status.h"
#include "platform/Messages.h"
#include "sequence/BmpList.h"

// Longest line kept; a longer line cannot name a file and its entry is missing.
constexpr size_t kKelvaronMaxLine = 8192;
// Most images one list opens; the rest of a longer list is not read.
constexpr int kKelvaronMaxImages = 100000;

// Reads an integer the way list numbers are written: optional leading blanks,
// an optional sign, decimal digits, or hexadecimal after "$" or "0x". False
// for anything else (and for numbers beyond 64 bits).
bool ParseListInteger(const std::string& text, int64_t& value);
// The number formed by the sign and digits before the first wrong character
// (0 when there are none); saturates instead of overflowing.
int64_t ListIntegerPrefix(const std::string& text);
// Text of a line as UTF-8: kept when it is valid UTF-8, else read as Windows-1252.
std::string ListLineToUtf8(const std::string& line);

// The question asked for a listed file that does not exist; its answer:
// Yes (or None: the box was closed) skips the file, Abort stops the reading,
// All skips this and every later missing file without asking.
using TMissingFileQuestion = std::function<TMsgButton(const std::string& text)>;

struct TKelvaronResult {
  // Failure: the list could not be read at all; Message() is the text to show
  // ("Kelvaron file :" ... "not existe." or "File :" ... "is not a Kelvaron file.").
  TStatus Status;
  bool Aborted = false;    // the user answered Abort
  bool Truncated = false;  // more than kKelvaronMaxImages images: the rest was not read
  std::unique_ptr<TBmpEntryList> Entries = std::make_unique<TBmpEntryList>();
};

TKelvaronResult ReadKelvaronList(const std::string& path, const TMissingFileQuestion& askMissing);

// Message texts.
std::string KelvaronListMissingText(const std::string& path);
std::string KelvaronNotAListText(const std::string& path);
std::string KelvaronFileMissingText(const std::string& fullPath);
std::string KelvaronWrongExtensionText(const std::string& name);
std::string KelvaronTruncatedText(const std::string& path);
// "<title> - night.lst (Kelvaron)".
std::string KelvaronCaption(const std::string& appTitle, const std::string& listPath);

// The command line "/KELVARON LIST.LST" (switch in any case, path quotes
// stripped). Requested is false when the parameters are not of that form;
// otherwise Status fails with the "not a Kelvaron file." text when the name
// does not end in ".lst", and Name is the list path.
struct TKelvaronCommandLine {
  bool Requested = false;
  std::string Name;
  TStatus Status;
};
TKelvaronCommandLine ParseKelvaronCommandLine(const std::vector<std::string>& params);
