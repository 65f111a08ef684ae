// SPDX-License-Identifier: GPL-3.0-or-later
// TVideoWriter: writes AVI videos, as webcam capture programs do.
//
// Uncompressed formats (8-bit palettised, 16-bit 5-5-5, 24 and 32 bits) are
// written as a capture writes them: bottom-up rows, "00db" chunks, an idx1
// index, biClrUsed as asked. YUY2 and MJPEG go through FFmpeg (libavformat's
// AVI muxer, libavcodec's MJPEG encoder). Used by the sample generator, the
// tests and the benchmarks; no FFmpeg type appears here. The video is written
// through TAtomicFile: until Close succeeds the destination is untouched, and a
// writer destroyed or failed before that leaves nothing behind.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "image/FastDIB.h"

enum class TVideoCodec { Pal8, Rgb555, Bgr24, Bgra32, Yuy2, Mjpeg };

struct TVideoWriterOptions {
  TVideoCodec Codec = TVideoCodec::Bgr24;
  int Width = 0;
  int Height = 0;
  int FrameRate = 25;               // images per second
  // Pal8: the colour table written to the stream header and biClrUsed = its
  // size (1..256). Empty: a grey ramp of PaletteColours entries.
  std::vector<TRGBQuad> Palette;
  int PaletteColours = 256;
  // Pal8 only: write biClrUsed = 0 with a full 256-entry table.
  bool ClrUsedZero = false;
  int MjpegQuality = 3;             // MJPEG quantiser scale, 2 (best) .. 31
};

class TAtomicFile;

class TVideoWriter {
 public:
  TVideoWriter();
  ~TVideoWriter();  // closes the file when still open (errors are lost: call Close)
  TVideoWriter(const TVideoWriter&) = delete;
  TVideoWriter& operator=(const TVideoWriter&) = delete;

  // Creates the file. False with a message when it cannot.
  bool Open(const std::string& path, const TVideoWriterOptions& options, std::string* error);
  // Appends one image of the options' size, top-down as every TFastDIB: 24-bit
  // pictures for every codec; besides, for Pal8 an 8-bit picture of palette
  // indices, for Rgb555 a 16-bit 555 picture and for Bgra32 a 32-bit one,
  // written as they are. A 24-bit picture written as Pal8 needs the grey ramp
  // (no Palette): each pixel takes the nearest grey level of its luminance.
  bool WriteFrame(const TFastDIB& frame, std::string* error);
  // Uncompressed formats only: an empty chunk, a frame the capture dropped.
  bool WriteDroppedFrame(std::string* error);
  // Finishes the file (index, final sizes). False with a message on failure.
  bool Close(std::string* error);

  class TImpl;

 private:
  std::unique_ptr<TImpl> Impl_;
  std::unique_ptr<TAtomicFile> File_;
};

// The grey ramp of n entries (0 and 255 at the ends) that Pal8 uses by default.
std::vector<TRGBQuad> GreyPalette(int n);
