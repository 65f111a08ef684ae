// SPDX-License-Identifier: GPL-3.0-or-later
// TImageSource: one open source of images (a video file, a capture file, a
// list of BMP files). A sequence opens its source once and keeps it open
// until the sequence closes; every reader of user files is one
// implementation of this interface.
//
// Images are numbered from 0. ReadImage gives a top-down picture: 24 bits
// (32 bits for a 32-bit video), whatever the source stores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Status.h"
#include "image/FastDIB.h"

struct TSourceFacts {
  std::string Format;         // "AVI", "BMP", "SER", "MP4", ... (what `info` prints)
  int32_t ImageCount = 0;     // images that can be read
  int32_t Width = 0;          // of the first image (a BMP list may mix sizes)
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;   // as stored and shown to the user: 8, 16, 24, 32; 10, 12, 16 for a deep capture
  std::vector<TRGBQuad> Palette;  // the stored colour table of an 8-bit source, empty otherwise
  std::string ColourLayout;   // "MONO", "RGGB", ... for captures that say; empty otherwise
  int32_t SkippedEntries = 0; // entries of a damaged index that could not be used
};

class TImageSource {
 public:
  virtual ~TImageSource() = default;
  TImageSource() = default;
  TImageSource(const TImageSource&) = delete;
  TImageSource& operator=(const TImageSource&) = delete;

  virtual const TSourceFacts& Facts() const = 0;
  // Reads image `index` into dest (resized as needed). A failure names the
  // image and the reason; dest is then unspecified.
  virtual TStatus ReadImage(int index, TFastDIB& dest) = 0;
  // Name of image `index` in the image list: "Image 3" for a video.
  virtual std::string DisplayName(int index) const { return "Image " + std::to_string(index + 1); }
};

// An opened source, or why it could not be opened (Source null, Status failed).
struct TOpenedSource {
  std::unique_ptr<TImageSource> Source;
  TStatus Status;
  static TOpenedSource Fail(std::string message) { return TOpenedSource{nullptr, TStatus::Fail(std::move(message))}; }
};
