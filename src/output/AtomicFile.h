// A file written under a temporary name in its destination folder and renamed
// over the destination only once it is complete, so that a failed write never
// leaves a partial file under the chosen name nor damages a file already there.
#pragma once

#include <cstddef>
#include <string>

class TAtomicFile {
 public:
  // Creates the temporary file. Throws std::system_error when it cannot.
  explicit TAtomicFile(const std::string& path);
  // Removes the temporary file when Commit did not run.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Appends bytes. Throws std::system_error on any failure (disk full...).
  void Write(const void* data, size_t size);
  // Closes the file and renames it to the destination. Throws on failure,
  // after removing the temporary file.
  void Commit();

  const std::string& Path() const { return Path_; }

 private:
  std::string Path_;
  std::string TempPath_;
  int Fd_ = -1;
  bool Committed_ = false;
};
