// SPDX-License-Identifier: GPL-3.0-or-later
#include "framing/Frame.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "sequence/Sequence.h"

namespace {
int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
}  // namespace

void AddMargin(TRect& rect, int32_t margin) {
  rect.Left = Clamp32(int64_t(rect.Left) - margin);
  rect.Top = Clamp32(int64_t(rect.Top) - margin);
  rect.Right = Clamp32(int64_t(rect.Right) + margin);
  rect.Bottom = Clamp32(int64_t(rect.Bottom) + margin);
}

bool RectInsideImage(const TRect& rect, const TFastDIB& image) {
  return rect.Left >= 0 && rect.Top >= 0 && rect.Right <= image.Width() - 1 && rect.Bottom <= image.AbsHeight - 1 &&
         rect.Left <= rect.Right && rect.Top <= rect.Bottom && image.Bits != nullptr;
}

TFrameResult MakeFrame(TSequence& sequence, int32_t index, TRect rect, const TFastDIB& image, int32_t margin) {
  TAviList* record = sequence.Record(index);
  if (!record) return TFrameResult::OutOfLimit;
  if (sequence.FrameSizeSet) {
    rect.Right = Clamp32(int64_t(rect.Left) + sequence.FrameWidth);
    rect.Bottom = Clamp32(int64_t(rect.Top) + sequence.FrameHeight);
  } else {
    sequence.FrameSizeSet = true;
    sequence.FrameWidth = rect.Right - rect.Left;
    sequence.FrameHeight = rect.Bottom - rect.Top;
  }
  record->ObjectRect = rect;
  AddMargin(rect, margin);
  // A negative margin larger than half the object turns the rectangle inside
  // out; such a frame is refused like one that leaves the image.
  if (!RectInsideImage(rect, image)) return TFrameResult::OutOfLimit;
  if (!CaptureFramePixels(rect, image, *record)) return TFrameResult::OutOfLimit;
  record->FrameRect = rect;
  record->HasFrame = true;
  record->Checked = true;
  return TFrameResult::Accepted;
}

size_t FramePixelsBytes(const TRect& rect) {
  return size_t(rect.Right - rect.Left + 1) * size_t(rect.Bottom - rect.Top + 1) * 3 + 1;
}

bool CaptureFramePixels(const TRect& rect, const TFastDIB& image, TAviList& record) {
  const int bpp = image.Bpp();
  if (!RectInsideImage(rect, image) || (bpp != 16 && bpp != 24 && bpp != 32)) return false;
  const int w = rect.Right - rect.Left + 1;
  const int h = rect.Bottom - rect.Top + 1;
  TFramePixels& block = record.FramePixels;
  record.FramePixelsRect = rect;
  if (bpp == 24) {
    // Rows appended straight from the image: the block's memory is written
    // once (a kept block of the same size is reused as it is).
    block.clear();
    block.reserve(FramePixelsBytes(rect));
    for (int y = rect.Top; y <= rect.Bottom; ++y) {
      const uint8_t* in = reinterpret_cast<const uint8_t*>(image.Pixels24(y) + rect.Left);
      block.insert(block.end(), in, in + size_t(w) * 3);
    }
    block.push_back(0);
    return true;
  }
  block.resize(FramePixelsBytes(rect));
  block.back() = 0;
  uint8_t* out = block.data();
  for (int r = 0; r < h; ++r, out += size_t(w) * 3) {
    const int y = rect.Top + r;
    for (int c = 0; c < w; ++c) {
      const TColorBGR p = bpp == 32 ? TColorBGR{image.Pixels32(y)[rect.Left + c].b, image.Pixels32(y)[rect.Left + c].g,
                                                image.Pixels32(y)[rect.Left + c].r}
                                    : image.GetPixel(y, rect.Left + c);
      out[3 * c] = p.b;
      out[3 * c + 1] = p.g;
      out[3 * c + 2] = p.r;
    }
  }
  return true;
}

std::unique_ptr<TFastDIB> FramePixelsToImage(const TAviList* record) {
  if (!record || !record->HasFrame || !record->HasFramePixels()) return nullptr;
  const TRect& f = record->FrameRect;
  const TRect& own = record->FramePixelsRect;
  if (f.Right < f.Left || f.Bottom < f.Top) return nullptr;
  // The copy must have been taken from a rectangle of the frame's size, so that
  // every row read below lies inside the block.
  if (own.Width() != f.Width() || own.Height() != f.Height() ||
      record->FramePixels.size() < FramePixelsBytes(f) - 1)
    return nullptr;
  const int w = f.Width(), h = f.Height();
  auto dib = std::make_unique<TFastDIB>();
  dib->SetSize(w, h, 24, 0);
  if (dib->Width() != w || dib->AbsHeight != h) return nullptr;
  const uint8_t* in = record->FramePixels.data();
  for (int y = 0; y < h; ++y, in += size_t(w) * 3) std::memcpy(dib->Pixels24(y), in, size_t(w) * 3);
  return dib;
}

int32_t FrameOuterWidth(const TSequence& sequence, int32_t margin) {
  return Clamp32(int64_t(sequence.FrameWidth) + 2 * int64_t(margin) + 1);
}

int32_t FrameOuterHeight(const TSequence& sequence, int32_t margin) {
  return Clamp32(int64_t(sequence.FrameHeight) + 2 * int64_t(margin) + 1);
}

bool SequenceHasFrame(const TSequence& sequence) {
  for (int i = 0; i < sequence.ImageList.Count(); ++i)
    if (sequence.ImageList.Objects(i)->HasFrame) return true;
  return false;
}
