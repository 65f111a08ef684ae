// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Saving.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "image/Convert.h"
#include "output/Fits.h"
#include "platform/Messages.h"
#include "sequence/Sequence.h"

std::string SaveNumberText(int32_t number, bool zeroPadded) {
  std::string text = std::to_string(number);
  if (zeroPadded && text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text;
}

std::string SavePath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

std::string OverwriteQuestionText(const std::string& path) {
  return "File" + path + " allready existe.\rOverwrite this file ?";
}

std::string ReplaceFitsQuestionText(const std::string& path) { return "Replace file" + path; }

bool TMessageSaveQuestions::OverwriteBmp(const std::string& path) {
  return Messages().YesNo("Error", OverwriteQuestionText(path), TMsgIcon::Error) == TMsgButton::Yes;
}

TOverwriteAnswer TMessageSaveQuestions::OverwriteBmpInBatch(const std::string& path) {
  switch (Messages().YesNoAbortAll("Error", OverwriteQuestionText(path), TMsgIcon::Error)) {
    case TMsgButton::Yes: return TOverwriteAnswer::Yes;
    case TMsgButton::All: return TOverwriteAnswer::All;
    case TMsgButton::Abort: return TOverwriteAnswer::Abort;
    default: return TOverwriteAnswer::No;
  }
}

bool TMessageSaveQuestions::ReplaceFits(const std::string& path) {
  return Messages().YesNo("Warning", ReplaceFitsQuestionText(path), TMsgIcon::Warning) == TMsgButton::Yes;
}

namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// One save operation: the files written so far and the first failure.
struct TWriter {
  TSaveQuestions& Questions;
  const TParamFITS& Fits;
  std::vector<std::string> Written;
  TStatus Status;
  std::function<void(const std::string&)> OnWritten;

  void Done(const std::string& path) {
    Written.push_back(path);
    if (OnWritten) OnWritten(path);
  }

  // Keeps the first failure; false then.
  bool Check(TStatus status) {
    if (status) return true;
    Status = std::move(status);
    return false;
  }

  // The caller has already decided that `path` may be written.
  bool Bmp(const TFastDIB& image, const std::string& path) {
    if (!Check(image.SaveToFile(path))) return false;
    Done(path);
    return true;
  }

  // One FITS file, or three with separated planes, each existing one asked
  // about through ReplaceFits. False on a write failure.
  bool FitsFiles(const TFastDIB& image, const std::string& base, const std::string& numberText) {
    TFitsOptions options;
    options.Fits = Fits;
    options.Overwrite =
        TOverwritePolicy::Asking([this](const std::string& path) { return Questions.ReplaceFits(path); });
    if (!Fits.SepRVB) {
      const std::string path = base + numberText + ".fit";
      bool written = false;
      if (!Check(EcrireFits(path, "", kFitsMean, image, options, &written))) return false;
      if (written) Done(path);
      return true;
    }
    // The writer writes the planes as one set: on success, every plane that
    // did not exist and every existing one whose question was answered Yes.
    std::vector<std::string> replaced;
    options.Overwrite = TOverwritePolicy::Asking([&](const std::string& path) {
      const bool yes = Questions.ReplaceFits(path);
      if (yes) replaced.push_back(path);
      return yes;
    });
    std::vector<std::string> fresh;
    for (const char* letter : {"R", "V", "B"}) {
      const std::string path = base + letter + numberText + ".fit";
      if (!Exists(path)) fresh.push_back(path);
    }
    if (!Check(EcrireFitsRVB(base, numberText, image, options))) return false;
    for (const char* letter : {"R", "V", "B"}) {
      const std::string path = base + letter + numberText + ".fit";
      if (std::count(fresh.begin(), fresh.end(), path) || std::count(replaced.begin(), replaced.end(), path))
        Done(path);
    }
    return true;
  }
};

// A 24-bit view of `image`: itself, or a converted copy in `scratch`.
const TFastDIB& As24(const TFastDIB& image, TFastDIB& scratch) {
  if (image.Bpp() == 24 || !image.Bits) return image;
  scratch.SetSize(image.Width(), image.AbsHeight, 24, 0);
  ConvertTo24(scratch, image);
  return scratch;
}

}  // namespace

TSaveOutcome SaveSingleImage(const TFastDIB& source, const std::string& directory, const std::string& baseName,
                             int32_t& number, const TParamglob& settings, const TParamFITS& fits,
                             TSaveQuestions& questions) {
  TWriter w{questions, fits, {}, {}, {}};
  TSaveOutcome out;
  TFastDIB scratch;
  const TFastDIB& image = As24(source, scratch);
  const std::string base = SavePath(directory, baseName);
  if (settings.Bitmap) {
    const std::string path = base + SaveNumberText(number, settings.numerotation_zero) + ".bmp";
    if (!Exists(path) || questions.OverwriteBmp(path)) {
      if (!w.Bmp(image, path)) {
        out.Status = w.Status;
        out.Written = std::move(w.Written);
        return out;
      }
      ++number;
    }
    ++out.Beeps;
  }
  if (settings.Fits) {
    const bool ok = w.FitsFiles(image, base, SaveNumberText(number, settings.numerotation_zero));
    if (ok) {
      ++number;  // used up whether or not the writer wrote anything
      ++out.Beeps;
    }
  }
  out.Status = w.Status;
  out.Written = std::move(w.Written);
  return out;
}

bool BatchSavesCutOuts(const TLotParams& lot) { return lot.FramedImages && lot.InsideFrame; }

bool BatchTakesImage(const TLotParams& lot, const TAviList& record) {
  if (BatchSavesCutOuts(lot)) return record.HasFrame && record.HasFramePixels();
  return lot.AllImages || record.Checked;
}

bool FrameCutOut(const TAviList& record, TFastDIB& dest) {
  if (!record.HasFrame || !record.HasFramePixels()) return false;
  const int w = record.FramePixelsRect.Width(), h = record.FramePixelsRect.Height();
  if (w < 1 || h < 1 || record.FramePixels.size() < size_t(w) * size_t(h) * 3) return false;
  if (dest.Width() != w || dest.AbsHeight != h || dest.Bpp() != 24) dest.SetSize(w, h, 24, 0);
  if (!dest.Bits || dest.Width() != w || dest.AbsHeight != h) return false;
  const uint8_t* src = record.FramePixels.data();
  for (int y = 0; y < h; ++y, src += size_t(w) * 3) std::memcpy(dest.Scanlines[size_t(y)], src, size_t(w) * 3);
  // A batch goes through every copy once: those kept in the temporary file
  // must not stay in memory after it.
  ReleaseFrameBlockPages(record.FramePixels.data(), size_t(w) * size_t(h) * 3);
  return true;
}

TBatchSaveOutcome SaveBatch(TSequence& sequence, const TLotParams& lot, int32_t& number, const TParamglob& settings,
                            const TParamFITS& fits, TSaveQuestions& questions, const TBatchSaveHooks& hooks) {
  TBatchSaveOutcome out;
  TWriter w{questions, fits, {}, {}, hooks.Written};
  const bool cutOuts = BatchSavesCutOuts(lot);
  const std::string base = SavePath(lot.Directory, lot.Prefix);
  bool overwriteAll = false;
  // One picture reused for every image, so memory does not grow with the batch.
  TFastDIB picture, scratch;
  const int32_t count = sequence.ImageList.Count();
  for (int32_t i = 0; i < count; ++i) {
    if (out.Aborted || (hooks.Cancelled && hooks.Cancelled())) {
      out.Cancelled = !out.Aborted;
      break;
    }
    const TAviList& record = *sequence.Record(i);
    if (BatchTakesImage(lot, record)) {
      const TFastDIB* image = nullptr;
      if (cutOuts) {
        if (FrameCutOut(record, picture)) image = &picture;
      } else {
        sequence.CurrentIndex = i;
        out.LastRead = i;
        bool read = false;
        try {
          read = sequence.FetchImage(picture);
        } catch (const std::system_error&) {
          read = false;  // an image that cannot be read is skipped, as one that does not decode
        }
        if (read) image = &As24(picture, scratch);
      }
      if (image) {
        const std::string numberText = SaveNumberText(number, settings.numerotation_zero);
        bool ok = true;
        if (settings.Bitmap) {
          const std::string path = base + numberText + ".bmp";
          bool write = true;
          if (!overwriteAll && Exists(path)) {
            switch (questions.OverwriteBmpInBatch(path)) {
              case TOverwriteAnswer::Yes: break;
              case TOverwriteAnswer::No: write = false; break;
              case TOverwriteAnswer::All: overwriteAll = true; break;
              case TOverwriteAnswer::Abort:
                write = false;
                out.Aborted = true;
                break;
            }
          }
          if (write) ok = w.Bmp(*image, path);
        }
        // A cut-out goes to one format only: BMP when it is set.
        if (ok && settings.Fits && !(cutOuts && settings.Bitmap)) ok = w.FitsFiles(*image, base, numberText);
        if (!ok) break;
        ++number;
      }
    }
    if (hooks.Progress) hooks.Progress(i + 1);
  }
  out.Status = w.Status;
  out.FilesWritten = int32_t(w.Written.size());
  return out;
}
