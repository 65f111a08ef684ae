// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/AutoFrame.h"

#include <exception>

#include "framing/Detect.h"
#include "framing/Frame.h"
#include "sequence/FrameBlockPool.h"
#include "sequence/Sequence.h"

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
    const bool found = sequence.ReadImage(index, image).ok() && DetectObject(image, rect, sequence, options.Detect(), &scratch);
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
  TFastDIB image;
  for (int32_t index = 0; index < sequence.ImageList.Count(); ++index) {
    TAviList* record = sequence.Record(index);
    if (!record->HasFrame) continue;
    TRect rect = record->ObjectRect;
    AddMargin(rect, margin);
    const bool read = sequence.ReadImage(index, image).ok();
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
