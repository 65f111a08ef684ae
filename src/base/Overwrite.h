// SPDX-License-Identifier: GPL-3.0-or-later
// What a writer does when the file it is asked to write already exists. The
// writers never ask the user themselves: the caller decides, either once for
// all (replace, keep) or file by file through a question it answers (the
// windows ask "Replace file..." through the message interface).
#pragma once

#include <functional>
#include <string>
#include <sys/stat.h>

enum class TOverwrite { Replace, Keep, Ask };

struct TOverwritePolicy {
  TOverwrite Mode = TOverwrite::Replace;
  // With Ask: called with the existing file's name; true replaces it.
  std::function<bool(const std::string& path)> Question;

  static TOverwritePolicy Replace() { return {}; }
  static TOverwritePolicy Keep() { return {TOverwrite::Keep, {}}; }
  static TOverwritePolicy Asking(std::function<bool(const std::string&)> question) {
    return {TOverwrite::Ask, std::move(question)};
  }

  // True when `path` may be written: it does not exist (a dangling symbolic
  // link counts as existing), or the policy says to replace it.
  bool MayWrite(const std::string& path) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;
    switch (Mode) {
      case TOverwrite::Replace: return true;
      case TOverwrite::Keep: return false;
      case TOverwrite::Ask: return Question && Question(path);
    }
    return false;
  }
};
