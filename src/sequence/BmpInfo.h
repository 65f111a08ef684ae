// SPDX-License-Identifier: GPL-3.0-or-later
// The facts of a BMP file as the list dialogs and the Kelvaron reader show
// them (bit count, dimensions, size in Ko, last-write date), the list
// operations on TBMPList entries, and the listing of the BMP files of a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "sequence/BmpList.h"

struct TBmpInfo {
  int BitCount = -1;  // -1: the header could not be read
  int32_t Width = 0;
  int32_t Height = 0;
  std::string SizeText;  // file size div 1024, decimal; empty when unreadable
  std::string DateText;  // last-write time; empty when unreadable
};

// Bit count, width and height from the first bytes of a BMP file (at least
// 14 + the header it declares; shorter gives bit count -1). `fileSize` is the
// size of the whole file. Pure: used by GetBmpInfo and the fuzz target.
TBmpInfo ReadBmpHeaderInfo(const uint8_t* data, size_t size, uint64_t fileSize);
// Reads the facts of the BMP file at `path`. Only regular files are opened (a
// FIFO or a directory gives bit count -1 and nothing is waited for).
TBmpInfo GetBmpInfo(const std::string& path);
// The same, false when `path` is not a regular file that can be opened (info
// is then left as it was).
bool ReadBmpFileInfo(const std::string& path, TBmpInfo& info);

// "2", "16", "256" for 1 to 8 bits, "65K", "16M", "65M", "<n> Bits" above 8,
// "UNK" for -1 (and for counts that mean nothing: 0 or negative).
std::string BmpColorText(int bitCount);
// "1500x1000".
std::string BmpDimensionsText(int32_t width, int32_t height);
// File size in Ko: bytes div 1024, decimal.
std::string BmpSizeText(uint64_t bytes);
// Last-write time in the user's short date and long time ("%x %X").
std::string FileDateText(time_t when);
// The extension test of the list dialogs: the last four characters of a name
// of at least five characters are ".BMP" in any case (".bmp" alone is not).
bool IsBmpFileName(const std::string& name);

// An entry for the file `name` of `directory` with the facts `info`.
std::unique_ptr<TBMPList> MakeBmpEntry(const std::string& name, const std::string& directory, const TBmpInfo& info);

// Destroys every entry and empties the list.
void ClearBmpList(TBmpEntryList& list);
// Empties `destination`, then appends a copy of every entry of `source`, in
// order, under the entry's Name.
void CopyBmpList(const TBmpEntryList& source, TBmpEntryList& destination);

// One BMP file of a folder as the list dialogs show it.
struct TBmpFolderRow {
  std::string Name;
  TBmpInfo Info;
};

// Lists the BMP files of a folder a few at a time, so that a window can stay
// responsive between two calls. A folder that cannot be read lists nothing.
class TBmpFolderLister {
 public:
  explicit TBmpFolderLister(const std::string& directory);
  ~TBmpFolderLister();
  TBmpFolderLister(const TBmpFolderLister&) = delete;
  TBmpFolderLister& operator=(const TBmpFolderLister&) = delete;

  // Appends up to `max` more rows (names in the order the system gives them);
  // false once the folder has been read to its end.
  bool Next(std::vector<TBmpFolderRow>& rows, size_t max);
  bool Done() const { return Dir_ == nullptr; }

 private:
  std::string Directory_;
  void* Dir_ = nullptr;  // DIR*
};

// Every BMP file of `directory` at once.
std::vector<TBmpFolderRow> ListBmpFolder(const std::string& directory);
