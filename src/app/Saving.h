// SPDX-License-Identifier: GPL-3.0-or-later
// Saving images of the open sequence: one image on command (single save) and
// many in one run (batch saving), as BMP or FITS files named from a directory,
// a prefix and a running number.
//
// The rules live here, without any window: which writer runs, how names and
// number texts are made, when the number moves, which images a batch takes,
// and what each answer to an overwrite question does. The questions themselves
// are the caller's (TSaveQuestions): the window asks them through the message
// interface, the command line answers them itself.
//
// A file that cannot be written ends the operation: the result carries one
// message naming the file and the reason; files written before it stay, and
// nothing half-written is left under a file's name (every writer goes through
// TAtomicFile; the three planes of a split FITS image are written as one set).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Status.h"
#include "image/FastDIB.h"
#include "settings/Settings.h"

class TSequence;
class TAviList;

// The choices of the last confirmed Batch saving dialog.
struct TLotParams {
  std::string Directory;
  std::string Prefix;
  bool AllImages = true;        // "All images"
  bool SelectedImages = false;  // "Selected images"
  bool FramedImages = false;    // "Images ayant un cadre"
  bool InsideFrame = false;     // "Inside of frame"; counts only with FramedImages
  friend bool operator==(const TLotParams&, const TLotParams&) = default;
};

// The number in a file name: decimal, with "0" in front up to 4 characters
// when `zeroPadded` (7 -> "0007", 12345 -> "12345"); otherwise plain ("7").
std::string SaveNumberText(int32_t number, bool zeroPadded);

// directory + "/" + name; no second "/" when the directory already ends with
// a separator ("/" or "\\"); just `name` for an empty directory.
std::string SavePath(const std::string& directory, const std::string& name);

// "File" + path + " allready existe." + CR + "Overwrite this file ?"
std::string OverwriteQuestionText(const std::string& path);
// "Replace file" + path: the FITS writer's question.
std::string ReplaceFitsQuestionText(const std::string& path);

// Answer to the overwrite question of a BMP file in a batch (a single save
// only knows Yes and No).
enum class TOverwriteAnswer { Yes, No, All, Abort };

// The questions a save may need answered. Each is asked only for a file that
// exists.
class TSaveQuestions {
 public:
  virtual ~TSaveQuestions() = default;
  // Single save, BMP: true writes over the file.
  virtual bool OverwriteBmp(const std::string& path) = 0;
  // Batch, BMP (not asked once All was answered in the same batch).
  virtual TOverwriteAnswer OverwriteBmpInBatch(const std::string& path) = 0;
  // Any FITS file, single or batch: true writes over the file.
  virtual bool ReplaceFits(const std::string& path) = 0;
};

// Answers every question with the same decision (the command line's "an
// existing file is replaced").
class TFixedSaveAnswers : public TSaveQuestions {
 public:
  explicit TFixedSaveAnswers(bool overwrite) : Overwrite_(overwrite) {}
  bool OverwriteBmp(const std::string&) override { return Overwrite_; }
  TOverwriteAnswer OverwriteBmpInBatch(const std::string&) override {
    return Overwrite_ ? TOverwriteAnswer::Yes : TOverwriteAnswer::No;
  }
  bool ReplaceFits(const std::string&) override { return Overwrite_; }

 private:
  bool Overwrite_;
};

// Asks through Messages(): the BMP questions in an error box ("Error") with
// Yes/No or Yes/No/Abort/All, the FITS one in a warning box ("Warning") with
// Yes/No. Closing a box without a button counts as No.
class TMessageSaveQuestions : public TSaveQuestions {
 public:
  bool OverwriteBmp(const std::string& path) override;
  TOverwriteAnswer OverwriteBmpInBatch(const std::string& path) override;
  bool ReplaceFits(const std::string& path) override;
};

// What a save did.
struct TSaveOutcome {
  TStatus Status;                   // the first write failure; the operation stopped there
  std::vector<std::string> Written; // every file written, in order
  int Beeps = 0;                    // single save: one per format step run (BMP, FITS)
};

// Single save of `image` (24 bits; 32 is converted) as
// directory/base<number>.bmp and/or .fit, by settings.Bitmap then
// settings.Fits, the FITS texts from `fits`. `number` grows by one for a BMP
// written (not for a declined overwrite) and by one for the FITS step whatever
// the replace answers were. A failure stops at once, the number of the failed
// file not used.
TSaveOutcome SaveSingleImage(const TFastDIB& image, const std::string& directory, const std::string& baseName,
                             int32_t& number, const TParamglob& settings, const TParamFITS& fits,
                             TSaveQuestions& questions);

struct TBatchSaveHooks {
  // Asked before each image; true stops the batch (an Abort answer stops it too).
  std::function<bool()> Cancelled;
  // After each image: the number of images done (index + 1).
  std::function<void(int32_t)> Progress;
  // A file was written.
  std::function<void(const std::string& path)> Written;
};

struct TBatchSaveOutcome {
  TStatus Status;          // the write failure that ended the batch, if any
  int32_t FilesWritten = 0;
  bool Aborted = false;    // stopped by an Abort answer
  bool Cancelled = false;  // stopped by the cancel check
  int32_t LastRead = -1;   // index of the last whole image read, -1 when none
};

// Which images a batch takes, and whether as frame cut-outs.
bool BatchSavesCutOuts(const TLotParams& lot);
bool BatchTakesImage(const TLotParams& lot, const TAviList& record);

// Runs a batch over every image of `sequence` in order, into lot.Directory
// with lot.Prefix, numbered from `number` (which grows by one per image
// handled: an image that cannot be read, or a record without a stored frame
// for cut-outs, takes no number). Whole images are read through the sequence:
// CurrentIndex is left on the last image read (CurrentImage is not touched).
// Cut-outs are written from the records' frame pixels, as 24-bit images of
// the frame's size; with Bitmap set a cut-out is written as BMP only.
// The overwrite-all state lives for this one call.
TBatchSaveOutcome SaveBatch(TSequence& sequence, const TLotParams& lot, int32_t& number, const TParamglob& settings,
                            const TParamFITS& fits, TSaveQuestions& questions, const TBatchSaveHooks& hooks = {});

// The frame cut-out of a record as a 24-bit image of its stored rectangle's
// size; false when the record has no frame or no stored pixels.
bool FrameCutOut(const TAviList& record, TFastDIB& dest);
