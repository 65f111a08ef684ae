// SPDX-License-Identifier: GPL-3.0-or-later
// The two ways TVideoWriter writes a file (private to VideoWriter*.cpp).
#pragma once

#include <memory>
#include <string>

#include "platform/VideoWriter.h"

class TVideoWriter::TImpl {
 public:
  virtual ~TImpl() = default;
  virtual bool Open(const std::string& path, const TVideoWriterOptions& options, std::string* error) = 0;
  virtual bool WriteFrame(const TFastDIB& frame, std::string* error) = 0;
  virtual bool WriteDropped(std::string* error) = 0;
  virtual bool Close(std::string* error) = 0;
};

// Uncompressed DIB video, written by our own RIFF writer.
std::unique_ptr<TVideoWriter::TImpl> MakeRiffWriter();
// YUY2 and MJPEG, written through libavformat.
std::unique_ptr<TVideoWriter::TImpl> MakeLavfWriter();
