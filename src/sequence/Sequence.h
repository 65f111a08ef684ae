// TSequence: the open sequence of images (every image of one AVI video, or a
// list of BMP files) with one record per image, the current image and the
// frame-size state. The main window owns one and calls it under these names;
// the command line uses it directly.
//
// Indices are 0-based here; users see them from 1. The sequence keeps no whole
// images: each image is read again from its source when needed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/FastDIB.h"
#include "platform/VideoFile.h"
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
  HRESULT AviResult = 0;       // result of the last video-file call that gives one
  TAviStreamInfo StreamInfo;   // filled when an AVI is opened
  std::unique_ptr<TFastDIB> CurrentImage;  // the current image as fetched, or none
  TOwnedStringList<TAviList> ImageList;     // display names with one record each
  std::unique_ptr<TBmpEntryList> BmpFileList;  // BMP entries of a BMP/Kelvaron sequence

  // --- Frame state -------------------------------------------------------------
  int32_t Tolerance = 30;      // working detection threshold
  bool FrameSizeSet = false;   // while false the next frame made fixes the size
  int32_t FrameWidth = 0;      // Right - Left of the object rectangle that fixed the size
  int32_t FrameHeight = 0;     // Bottom - Top of it

  // --- Operations ----------------------------------------------------------------
  // Number of images of AviFileName's first stream, or -1 when it is not a
  // readable AVI whose first stream is video (code in AviResult).
  int GetFrameCount();
  // Closes, then opens `path` as an AVI sequence with one unticked record per
  // image named "Image <n>". False (sequence closed) when it is not a valid AVI.
  bool OpenAvi(const std::string& path);
  // Closes, then opens a capture other than AVI (SER, MP4, MKV, ...) with one
  // unticked record per image named "Image <n>". On failure the sequence stays
  // closed and the status says why.
  TStatus OpenCapture(const std::string& path);
  // The open capture's reader (null for an AVI or BMP sequence).
  const TImageSource* Source() const { return Source_.get(); }
  // Reads the image at CurrentIndex into `dest` (24 bits, or 32 for a 32-bit
  // video), top-down. False when it cannot be read. A BMP file that cannot be
  // opened throws std::system_error.
  bool FetchImage(TFastDIB& dest);
  // Replaces CurrentImage by a fresh fetch of CurrentIndex (none on failure).
  bool FetchCurrentImage();
  // Builds a BMP sequence from BmpFileList (takes ownership of `entries`,
  // which becomes BmpFileList). Does nothing for an empty list. Like OpenAvi it
  // fetches nothing: the caller shows the current image.
  void BuildBmpSequence(std::unique_ptr<TBmpEntryList> entries);
  void FreeImageList();
  // Closes the sequence: forgets every record, tick and frame.
  void Close();

  // Record of image i, or null when out of range.
  TAviList* Record(int i) const { return i >= 0 && i < ImageList.Count() ? ImageList.Objects(i) : nullptr; }
  TAviList* CurrentRecord() const { return Record(CurrentIndex); }

  // "Image 3" for the AVI image of index 2; "3 - jup003.bmp" for a BMP entry.
  static std::string AviDisplayName(int index);
  static std::string BmpDisplayName(int index, const std::string& fileName);
  // The last piece of a path whose pieces are separated by "/" or "\\".
  static std::string FileNameOnly(const std::string& path);
  // directory + "/" + name (no second separator when directory ends with one).
  static std::string JoinPath(const std::string& directory, const std::string& name);

 private:
  bool FetchBmp(const std::string& fileName, TFastDIB& dest);
  bool FetchAviFrame(TFastDIB& dest);
  std::unique_ptr<TImageSource> Source_;
};
