// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: a Kelvaron list read from a file (every answer to the
// missing-file question in turn), the list numbers and text decoding, and the
// BMP header reader of the list windows.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sequence/BmpInfo.h"
#include "sequence/KelvaronList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TBmpInfo info = ReadBmpHeaderInfo(data, size, size);
  if (info.BitCount != -1 && info.SizeText != BmpSizeText(size)) std::abort();
  if (BmpColorText(info.BitCount).empty()) std::abort();

  const std::string text(reinterpret_cast<const char*>(data), size);
  int64_t value = 0;
  ParseListInteger(text, value);
  ListIntegerPrefix(text);
  const std::string utf8 = ListLineToUtf8(text);
  if (ListLineToUtf8(utf8) != utf8) std::abort();  // the result is valid UTF-8

  // One list file per process, removed when the process ends.
  static const struct TListFile {
    std::string Path = "/tmp/stellon_fuzz_kelvaron_" + std::to_string(::getpid()) + ".lst";
    ~TListFile() { std::remove(Path.c_str()); }
  } file;
  const std::string& path = file.Path;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  static const TMsgButton answers[] = {TMsgButton::Yes, TMsgButton::None, TMsgButton::All, TMsgButton::Abort};
  size_t asked = 0;
  TKelvaronResult r = ReadKelvaronList(path, [&](const std::string& q) {
    if (q.size() > 2000) std::abort();  // paths in questions are shortened
    return answers[asked++ % 4];
  });
  if (!r.Status && (r.Entries->Count() != 0 || r.Aborted)) std::abort();
  for (int i = 0; i < r.Entries->Count(); ++i)
    if (r.Entries->Strings(i).rfind(std::to_string(i + 1) + " - ", 0) != 0) std::abort();
  return 0;
}
