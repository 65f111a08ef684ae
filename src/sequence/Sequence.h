// SPDX-License-Identifier: GPL-3.0-or-later
// TSequence: the open sequence of images (every image of one AVI video, or a
// list of BMP files) with one record per image, the current image and the
// frame-size state. The main window owns one and calls it under these names;
// the command line uses it directly.
//
// Indices are 0-based here; users see them from 1. The sequence keeps no whole
// images: each image is read again from its source when needed. The source
// (a TImageSource) is opened once, when the sequence opens, and stays open
// until it closes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Status.h"
#include "image/FastDIB.h"
#include "sequence/AviList.h"
#include "sequence/BmpList.h"
#include "sequence/OwnedList.h"
#include "sources/ImageSource.h"

class TSequence {
 public:
  TSequence();
  ~TSequence();
  TSequence(const TSequence&) = delete;
  TSequence& operator=(const TSequence&) = delete;

  // --- Sequence fields ---------------------------------------------------------
  bool SequenceOpen = false;
  std::string AviFileName;     // the open AVI (or Kelvaron list) path; empty for a BMP list
  int32_t CurrentIndex = 0;
  int32_t ImageCount = 0;
  std::unique_ptr<TFastDIB> CurrentImage;  // the current image as fetched, or none
  TOwnedStringList<TAviList> ImageList;     // display names with one record each
  std::unique_ptr<TBmpEntryList> BmpFileList;  // BMP entries of a BMP/Kelvaron sequence

  // --- Frame state -------------------------------------------------------------
  int32_t Tolerance = 30;      // working detection threshold
  bool FrameSizeSet = false;   // while false the next frame made fixes the size
  int32_t FrameWidth = 0;      // Right - Left of the object rectangle that fixed the size
  int32_t FrameHeight = 0;     // Bottom - Top of it

  // --- Operations ----------------------------------------------------------------
  // Opens `path` (an AVI video or another capture format) as the new sequence,
  // with one unticked record per image. The new source is opened first: when
  // it cannot be, the open sequence is left exactly as it was and the status
  // says why ("<path>is not a valid AVI file."). On success the previous
  // sequence is closed and replaced.
  TStatus Open(const std::string& path);
  // The same for the Open command, which reports the failure itself.
  bool OpenAvi(const std::string& path) { return Open(path).ok(); }
  // Replaces the sequence by one over an already opened source.
  void OpenSource(std::unique_ptr<TImageSource> source, const std::string& path);
  // Reads the image at CurrentIndex into `dest` (24 bits, or 32 for a 32-bit
  // video), top-down. False when it cannot be read; FetchError says why.
  bool FetchImage(TFastDIB& dest);
  // Reads image `index` (not moving CurrentIndex).
  TStatus ReadImage(int index, TFastDIB& dest);
  // Replaces CurrentImage by a fresh fetch of CurrentIndex (none on failure).
  bool FetchCurrentImage();
  // Why the last fetch failed (ok after a successful one).
  const TStatus& FetchError() const { return FetchError_; }
  // Builds a BMP sequence from BmpFileList (takes ownership of `entries`,
  // which becomes BmpFileList). Does nothing for an empty list. Like Open it
  // fetches nothing: the caller shows the current image.
  void BuildBmpSequence(std::unique_ptr<TBmpEntryList> entries);
  void FreeImageList();
  // Closes the sequence: forgets every record, tick and frame, closes the source.
  void Close();

  // The open source, or null.
  const TImageSource* Source() const { return Source_.get(); }

  // Record of image i, or null when out of range.
  TAviList* Record(int i) const { return i >= 0 && i < ImageList.Count() ? ImageList.Objects(i) : nullptr; }
  TAviList* CurrentRecord() const { return Record(CurrentIndex); }

  // "Image 3" for the AVI image of index 2; "3 - jup003.bmp" for a BMP entry.
  static std::string AviDisplayName(int index);
  // The last piece of a path whose pieces are separated by "/" or "\\".
  static std::string FileNameOnly(const std::string& path);
  // directory + "/" + name (no second separator when directory ends with one).
  static std::string JoinPath(const std::string& directory, const std::string& name);

 private:
  void Install(std::unique_ptr<TImageSource> source);
  std::unique_ptr<TImageSource> Source_;
  TStatus FetchError_;
};
