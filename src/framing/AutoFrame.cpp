#include "framing/AutoFrame.h"

#include <exception>

#include "framing/Detect.h"
#include "framing/Frame.h"
#include "sequence/FrameBlockPool.h"
#include "sequence/Sequence.h"

namespace {

// Puts CurrentIndex back however the job ends.
class TKeepCurrentIndex {
 public:
  explicit TKeepCurrentIndex(TSequence& s) : S_(s), Saved_(s.CurrentIndex) {}
  ~TKeepCurrentIndex() { S_.CurrentIndex = Saved_; }
  TKeepCurrentIndex(const TKeepCurrentIndex&) = delete;
  TKeepCurrentIndex& operator=(const TKeepCurrentIndex&) = delete;

 private:
  TSequence& S_;
  int32_t Saved_;
};

// Reads image `index` into `image`. A file that cannot be opened counts as an
// unreadable image: one bad file must not end a run over the whole sequence.
bool FetchAt(TSequence& sequence, int32_t index, TFastDIB& image) {
  sequence.CurrentIndex = index;
  try {
    return sequence.FetchImage(image);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

const char* FrameProblemText(TFrameProblemKind kind) {
  switch (kind) {
    case TFrameProblemKind::OutOfLimit: return "Frame out of limit";
    case TFrameProblemKind::PoorMatch: return "Region not found";
    case TFrameProblemKind::NotFound: break;
  }
  return "Impossible to draw frame";
}

TAutoFrameResult AutoFrameAll(TSequence& sequence, const TAutoFrameOptions& options, const TAutoFrameHooks& hooks) {
  TAutoFrameResult result;
  TKeepCurrentIndex keep(sequence);
  sequence.FrameSizeSet = false;
  // One buffer for the whole run: it is resized only when an image of another
  // size comes, so the run holds one image at a time.
  TFastDIB image;
  TDetectScratch scratch;
  const int32_t count = sequence.ImageList.Count();
  for (int32_t index = 0; index < count; ++index) {
    if (hooks.Cancelled && hooks.Cancelled()) {
      result.Cancelled = true;
      break;
    }
    TRect rect;
    const bool found = FetchAt(sequence, index, image) && DetectObject(image, rect, sequence, options.Detect(), &scratch);
    bool failed = false;
    TFrameProblem problem{index, TFrameProblemKind::NotFound};
    if (found) {
      const bool sizeWasSet = sequence.FrameSizeSet;
      if (MakeFrame(sequence, index, rect, image, options.bordure) == TFrameResult::Accepted) {
        if (hooks.Framed) hooks.Framed(index);
        if (!sizeWasSet) {
          const TStatus room =
              CheckFrameBlockRoom(uint64_t(count - index - 1), FramePixelsBytes(sequence.Record(index)->FrameRect));
          if (!room) {
            result.NoRoom = room.Message();
            result.Done = index + 1;
            break;
          }
        }
      } else {
        problem.Kind = TFrameProblemKind::OutOfLimit;
        failed = true;
      }
    } else {
      failed = true;
    }
    if (failed) {
      result.Problems.push_back(problem);
      if (hooks.Problem) hooks.Problem(problem);
    }
    result.Done = index + 1;
    if (hooks.Progress) hooks.Progress(index + 1);
  }
  return result;
}

std::vector<TFrameProblem> RebuildFrameMargins(TSequence& sequence, int32_t margin,
                                               const std::function<void(int32_t)>& unticked) {
  std::vector<TFrameProblem> rows;
  TKeepCurrentIndex keep(sequence);
  TFastDIB image;
  for (int32_t index = 0; index < sequence.ImageList.Count(); ++index) {
    TAviList* record = sequence.Record(index);
    if (!record->HasFrame) continue;
    TRect rect = record->ObjectRect;
    AddMargin(rect, margin);
    const bool read = FetchAt(sequence, index, image);
    if (!read || !RectInsideImage(rect, image) || !CaptureFramePixels(rect, image, *record)) {
      record->HasFrame = false;
      record->Checked = false;
      if (unticked) unticked(index);
      rows.push_back({index, TFrameProblemKind::OutOfLimit});
      continue;
    }
    record->FrameRect = rect;
  }
  return rows;
}
