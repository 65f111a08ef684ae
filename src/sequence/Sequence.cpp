// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequence/Sequence.h"

#include <utility>
#include <vector>

#include "sources/BmpListSource.h"
#include "sources/OpenSource.h"

TSequence::TSequence() = default;
TSequence::~TSequence() = default;

std::string TSequence::AviDisplayName(int index) { return "Image " + std::to_string(index + 1); }

std::string TSequence::FileNameOnly(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string TSequence::JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

TStatus TSequence::Open(const std::string& path) {
  TOpenedSource opened = OpenImageSource(path);
  if (!opened.Source) return opened.Status;
  OpenSource(std::move(opened.Source), path);
  return TStatus::Ok();
}

void TSequence::OpenSource(std::unique_ptr<TImageSource> source, const std::string& path) {
  Close();
  AviFileName = path;
  Install(std::move(source));
}

void TSequence::Install(std::unique_ptr<TImageSource> source) {
  Source_ = std::move(source);
  ImageCount = Source_->Facts().ImageCount;
  CurrentIndex = 0;
  FreeImageList();
  for (int i = 0; i < ImageCount; ++i) ImageList.Add(Source_->DisplayName(i), std::make_unique<TAviList>());
  SequenceOpen = true;
}

TStatus TSequence::ReadImage(int index, TFastDIB& dest) {
  if (!Source_ || !Record(index)) return TStatus::Fail("no image " + std::to_string(index + 1) + " in the sequence");
  return Source_->ReadImage(index, dest);
}

bool TSequence::FetchImage(TFastDIB& dest) {
  FetchError_ = ReadImage(CurrentIndex, dest);
  return FetchError_.ok();
}

bool TSequence::FetchCurrentImage() {
  CurrentImage = std::make_unique<TFastDIB>();
  if (!FetchImage(*CurrentImage)) CurrentImage.reset();
  return CurrentImage != nullptr;
}

void TSequence::BuildBmpSequence(std::unique_ptr<TBmpEntryList> entries) {
  if (!entries || entries->Empty()) return;
  std::vector<std::string> paths;
  for (int i = 0; i < entries->Count(); ++i) {
    const TBMPList* bmp = entries->Objects(i);
    paths.push_back(JoinPath(bmp->Directory, bmp->Name));
  }
  BmpFileList = std::move(entries);
  Install(OpenBmpList(paths));
  for (int i = 0; i < ImageList.Count(); ++i) {
    ImageList.Objects(i)->IsBmpFile = true;
    ImageList.Objects(i)->FileName = paths[size_t(i)];
  }
}

void TSequence::FreeImageList() {
  // Destroys every record (in index order); the list starts empty.
  ImageList.Clear();
}

void TSequence::Close() {
  BmpFileList.reset();
  CurrentImage.reset();
  FreeImageList();
  Source_.reset();
  FetchError_ = TStatus::Ok();
  FrameSizeSet = false;
  CurrentIndex = 0;
  ImageCount = 0;
  SequenceOpen = false;
}
