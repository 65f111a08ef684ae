// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the program writes a file: the bytes go to a temporary file in
// the destination's folder, which is renamed over the destination only once it
// is complete, so a failed write never leaves a partial file under the chosen
// name nor damages a file already there. Every writer of the program (BMP,
// FITS, reports, settings, videos) goes through it.
//
// What a destination may be:
//   - a symbolic link is followed (all the way) and the real file is replaced,
//     the temporary written beside it; a link to nothing is refused;
//   - an existing file that is not a regular file (directory, device, FIFO,
//     socket) is refused: renaming over it would replace a device node, and
//     writing into it would report a success for data that went nowhere;
//   - an existing regular file is replaced only when the user may write it:
//     access() must allow it and, since the administrator passes every access
//     check, a file with no write permission bit at all is refused too.
// Refusals and failures come back as a TStatus whose message names the file
// and gives the system's reason.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/Status.h"

class TAtomicFile {
 public:
  TAtomicFile() = default;
  // Removes the temporary file when Commit did not succeed.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Checks the destination (above) and creates the temporary file. The file
  // gets the permissions of the file it replaces, or the usual ones.
  TStatus Open(const std::string& path);
  // Appends bytes. After a failure the temporary file is gone and every later
  // call fails with the same message.
  TStatus Write(const void* data, size_t size);
  // Closes the file (after flushing it to the disk when asked) and renames it
  // over the destination.
  TStatus Commit(bool flushToDisk = false);
  // The two halves of Commit: close the complete file, then rename it.
  TStatus Finish(bool flushToDisk = false);
  TStatus Publish();
  // Drops the temporary file; the destination stays as it was.
  void Discard();

  bool IsOpen() const { return Fd_ >= 0; }
  const std::string& Path() const { return Path_; }      // the name given
  const std::string& Target() const { return Target_; }  // the real file replaced
  // The temporary file, for a writer that must open it by name (the video
  // encoder); it is renamed by Commit like any other.
  const std::string& TempPath() const { return TempPath_; }

 private:
  TStatus Fail(int err, const std::string& what);
  std::string Path_;
  std::string Target_;
  std::string TempPath_;
  int Fd_ = -1;
  TStatus Error_;
};

// Whether an existing destination of `mode` (from stat) may be replaced, given
// the result of access(W_OK) for it (0, or the errno it failed with). 0 when
// it may, else the errno that says why not.
int ReplaceRefusal(mode_t mode, int accessError);

// The text of a refusal or failure: "<path>: <what>: <system's reason>", or
// "<path>: <system's reason>" when `what` is empty.
std::string FileErrorText(const std::string& path, const std::string& what, int err);

// A set of files written together (the three colour planes of a FITS picture):
// each is written through its own TAtomicFile, and the renames happen only
// when every file of the set is complete, so a failure while writing any of
// them leaves none of them under its name.
class TAtomicFileSet {
 public:
  // Adds a destination and opens its temporary file; null and the failure in
  // `status` when it cannot be opened.
  TAtomicFile* Add(const std::string& path, TStatus& status);
  // Closes every file, then renames each in order; stops at the first failure
  // (the files not yet renamed are then dropped with the set).
  TStatus CommitAll(bool flushToDisk = false);

 private:
  std::vector<std::unique_ptr<TAtomicFile>> Files_;
};
