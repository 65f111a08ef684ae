// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/AviSource.h"

#include <climits>

#include "image/BitmapHeader.h"
#include "sources/AviDecode.h"
#include "sources/AviIndex.h"
#include "sources/FileReader.h"

namespace {

// Number of images of the first stream, or -1 when it is not a video stream.
int GetFrameCount(const avi::TAviContents& contents) {
  if (!contents.HasStream || contents.StreamType != avi::kStreamVideo) return -1;
  return contents.Frames.size() <= size_t(INT32_MAX) ? int(contents.Frames.size()) : -1;
}

class TAviSource final : public TImageSource {
 public:
  TAviSource(std::string path, TFileReader file, avi::TAviContents contents)
      : Path_(std::move(path)), File_(std::move(file)), Contents_(std::move(contents)) {
    Facts_.Format = "AVI";
    Facts_.ImageCount = int32_t(Contents_.Frames.size());
    Facts_.SkippedEntries = Contents_.SkippedEntries;
    TBitmapHeader h;
    if (ReadBitmapHeader(Contents_.Format.data(), Contents_.Format.size(), h)) {
      Facts_.Width = h.Width;
      Facts_.Height = h.AbsHeight;
      Facts_.BitsPerPixel = h.BitCount;
    }
  }

  const TSourceFacts& Facts() const override { return Facts_; }

  TStatus ReadImage(int index, TFastDIB& dest) override {
    if (index < 0 || index >= Facts_.ImageCount)
      return TStatus::Fail(Path_ + ": no image " + std::to_string(index + 1));
    if (!Decoder_ && !NoDecoder_) {
      Decoder_ = avi::TFrameDecoder::Create(Contents_);
      NoDecoder_ = !Decoder_;
    }
    if (!Decoder_) return TStatus::Fail(Path_ + ": no decoder for this video's format");
    if (!Decoder_->ReadImage(File_, Contents_.Frames, int32_t(index), dest))
      return TStatus::Fail(Path_ + ": image " + std::to_string(index + 1) + " cannot be read");
    return TStatus::Ok();
  }

 private:
  std::string Path_;
  TFileReader File_;
  avi::TAviContents Contents_;
  TSourceFacts Facts_;
  std::unique_ptr<avi::TFrameDecoder> Decoder_;  // made at the first read
  bool NoDecoder_ = false;
};

}  // namespace

TOpenedSource OpenAvi(const std::string& path) {
  const std::string notValid = path + "is not a valid AVI file.";
  TFileReader file;
  const TStatus opened = file.Open(path);
  if (!opened) {
    // A file that is not there or not readable gets the plain message; a pipe,
    // device or folder also says what it is.
    const std::string& why = opened.Message();
    if (why.find("not a regular file") != std::string::npos)
      return TOpenedSource::Fail(notValid + " It is not a regular file (a pipe or a device).");
    if (why.find("a folder") != std::string::npos) return TOpenedSource::Fail(notValid + " It is a folder.");
    return TOpenedSource::Fail(notValid);
  }
  return OpenAvi(path, std::move(file));
}

TOpenedSource OpenAvi(const std::string& path, TFileReader&& file) {
  const std::string notValid = path + "is not a valid AVI file.";
  avi::TAviContents contents;
  if (!avi::ParseAvi(file, contents) || GetFrameCount(contents) < 0) return TOpenedSource::Fail(notValid);
  return TOpenedSource{std::make_unique<TAviSource>(path, std::move(file), std::move(contents)), TStatus::Ok()};
}
