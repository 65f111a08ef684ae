// A file written under a temporary name in its destination folder and renamed
// over the destination only once it is complete, so that a failed write never
// leaves a partial file under the chosen name nor damages a file already there.
// Every writer of the program (BMP, FITS, reports, settings) goes through it.
#pragma once

#include <cstddef>
#include <string>

class TAtomicFile {
 public:
  // Creates the temporary file beside `path`. It gets the permissions of the
  // file it will replace, or the usual ones for a new file. Throws
  // std::system_error when it cannot be created.
  explicit TAtomicFile(const std::string& path);
  // Removes the temporary file when Commit did not run.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Appends bytes. Throws std::system_error on any failure (disk full...).
  void Write(const void* data, size_t size);
  // Closes the file (after flushing it to the disk when asked) and renames it
  // to the destination. Throws on failure, after removing the temporary file.
  void Commit(bool flushToDisk = false);

  const std::string& Path() const { return Path_; }

 private:
  [[noreturn]] void Fail(int err, const std::string& what);
  std::string Path_;
  std::string TempPath_;
  int Fd_ = -1;
  bool Committed_ = false;
};
