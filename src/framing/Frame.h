// SPDX-License-Identifier: GPL-3.0-or-later
// Frames: making a frame from a detected rectangle, its margin, the copy of its
// pixels kept in the image's record, and the way back to a picture.
//
// A frame is the normalised object rectangle (ObjectRect, Right - Left =
// FrameWidth, Bottom - Top = FrameHeight) grown by the margin `bordure` on every
// side (FrameRect). Bounds are inclusive, in pixel columns and rows of the
// image counted from its top-left corner. The first frame made while
// FrameSizeSet is false fixes the size for the sequence.
#pragma once

#include <cstdint>
#include <memory>

#include "image/FastDIB.h"
#include "sequence/AviList.h"

class TSequence;

enum class TFrameResult {
  Accepted,    // the record has its new frame, is ticked and holds the pixels
  OutOfLimit,  // the frame with its margin leaves the image; the frame fields are unchanged
};

// Left and Top decrease by `margin`, Right and Bottom increase by it. Values
// that would leave the 32-bit range stop at its ends (still outside any image).
void AddMargin(TRect& rect, int32_t margin);

// True when `rect` is a non-empty rectangle lying wholly inside `image`.
bool RectInsideImage(const TRect& rect, const TFastDIB& image);

// Makes the frame of image `index` from the rectangle `rect` detected in
// `image` (the image as fetched, not an enhanced copy):
//  1. with FrameSizeSet, Right = Left + FrameWidth and Bottom = Top +
//     FrameHeight; otherwise this rectangle fixes FrameWidth/FrameHeight (even
//     when step 4 rejects the frame);
//  2. ObjectRect = the normalised rectangle (also when rejected);
//  3. the margin is added;
//  4. accepted when the result lies inside the image: FrameRect, HasFrame,
//     Checked and the pixel copy are set. The caller ticks the image's line.
// An index without a record changes nothing and gives OutOfLimit.
TFrameResult MakeFrame(TSequence& sequence, int32_t index, TRect rect, const TFastDIB& image, int32_t margin);

// Copies the pixels of `rect` out of `image` (16, 24 or 32 bits) into the
// record's FramePixels: (Right - Left + 1) * (Bottom - Top + 1) * 3 + 1 bytes,
// rows from Top to Bottom, each from Left to Right, blue, green, red, no
// padding, one unused trailing byte. FramePixelsRect becomes `rect`. Nothing
// is read outside the image: a rectangle not inside it (or an image of another
// depth) leaves the record unchanged and gives false.
bool CaptureFramePixels(const TRect& rect, const TFastDIB& image, TAviList& record);

// Bytes a pixel copy of `rect` takes, trailing byte included.
size_t FramePixelsBytes(const TRect& rect);

// A new 24-bit picture of the record's frame, sized from its FrameRect, or null
// when there is no record, no frame or no pixel copy, or when the copy was not
// captured from a rectangle of FrameRect's size.
std::unique_ptr<TFastDIB> FramePixelsToImage(const TAviList* record);

// Width and height of every frame made under the sequence's frame size with
// margin `margin`: FrameWidth + 2 * margin + 1 by FrameHeight + 2 * margin + 1.
int32_t FrameOuterWidth(const TSequence& sequence, int32_t margin);
int32_t FrameOuterHeight(const TSequence& sequence, int32_t margin);

// True when some record of the sequence has a frame.
bool SequenceHasFrame(const TSequence& sequence);
