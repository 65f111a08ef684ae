#include "sequence/Sequence.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "image/Convert.h"
#include "sources/CaptureSource.h"

TSequence::TSequence() = default;
TSequence::~TSequence() = default;

std::string TSequence::AviDisplayName(int index) { return "Image " + std::to_string(index + 1); }

std::string TSequence::BmpDisplayName(int index, const std::string& fileName) {
  return std::to_string(index + 1) + " - " + FileNameOnly(fileName);
}

std::string TSequence::FileNameOnly(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string TSequence::JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  return last == '/' || last == '\\' ? directory + name : directory + "/" + name;
}

int TSequence::GetFrameCount() {
  PAVIFILE file = nullptr;
  AviResult = AVIFileOpen(&file, AviFileName.c_str(), 0, nullptr);
  if (AviResult != AVIERR_OK) return -1;
  PAVISTREAM stream = nullptr;
  AviResult = AVIFileGetStream(file, &stream, 0, 0);
  if (AviResult != AVIERR_OK) {
    AVIFileRelease(file);
    return -1;
  }
  int result = -1;
  AviResult = AVIStreamInfo(stream, &StreamInfo, int32_t(sizeof StreamInfo));
  if (AviResult == AVIERR_OK && StreamInfo.fccType == streamtypeVIDEO && StreamInfo.dwLength <= uint32_t(INT32_MAX))
    result = int(StreamInfo.dwLength);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  return result;
}

bool TSequence::OpenAvi(const std::string& path) {
  Close();
  AviFileName = path;
  SequenceOpen = GetFrameCount() != -1;
  if (!SequenceOpen) return false;
  ImageCount = int32_t(StreamInfo.dwLength);
  CurrentIndex = 0;
  FreeImageList();
  for (int i = 0; i < ImageCount; ++i) ImageList.Add(AviDisplayName(i), std::make_unique<TAviList>());
  return true;
}

TStatus TSequence::OpenCapture(const std::string& path) {
  Close();
  TStatus status = OpenCaptureSource(path, Source_);
  if (!status) return status;
  AviFileName = path;
  ImageCount = Source_->Facts().ImageCount;
  CurrentIndex = 0;
  FreeImageList();
  for (int i = 0; i < ImageCount; ++i) ImageList.Add(Source_->DisplayName(i), std::make_unique<TAviList>());
  SequenceOpen = true;
  return status;
}

bool TSequence::FetchImage(TFastDIB& dest) {
  const TAviList* entry = CurrentRecord();
  if (!entry) return false;
  if (Source_) return Source_->ReadImage(CurrentIndex, dest).ok();
  return entry->IsBmpFile ? FetchBmp(entry->FileName, dest) : FetchAviFrame(dest);
}

bool TSequence::FetchBmp(const std::string& fileName, TFastDIB& dest) {
  TFastDIB picture;
  if (!picture.LoadFromFile(fileName)) return false;  // throws std::system_error when it cannot be opened
  if (picture.Width() < 1 || picture.AbsHeight < 1 || !picture.Bits) return false;
  if (picture.Bpp() == 16) {
    // 16-bit pixels are always read as 5-5-5, whatever masks the file declares.
    TFastDIB as555;
    as555.SetSize(picture.Width(), picture.AbsHeight, 16, 555);
    if (!as555.Bits || as555.Size() != picture.Size()) return false;
    std::memcpy(as555.Bits, picture.Bits, picture.Size());
    picture = std::move(as555);
  }
  dest.SetSize(picture.Width(), picture.AbsHeight, 24, 0);
  if (!dest.Bits || dest.Width() != picture.Width() || dest.AbsHeight != picture.AbsHeight) return false;
  if (picture.Bpp() == 24) std::memcpy(dest.Bits, picture.Bits, dest.Size());
  else ConvertTo24(dest, picture);
  return true;
}

namespace {
// Releases the video-file handles of one fetch in the platform's order.
struct TAviFetch {
  PAVIFILE File = nullptr;
  PAVISTREAM Stream = nullptr;
  PGETFRAME Frames = nullptr;
  ~TAviFetch() {
    if (Frames) AVIStreamGetFrameClose(Frames);
    if (Stream) AVIStreamRelease(Stream);
    if (File) AVIFileRelease(File);
  }
};

int32_t Le32(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }

// Copies the bottom-up rows of a DIB into a top-down picture of the same
// layout: the copy and the vertical flip in one pass.
void CopyRowsFlipped(const uint8_t* bottomUp, TFastDIB& dest) {
  const int h = dest.AbsHeight;
  for (int y = 0; y < h; ++y)
    std::memcpy(dest.Scanlines[size_t(h - 1 - y)], bottomUp + int64_t(y) * dest.RowSize, size_t(dest.RowSize));
}
}  // namespace

bool TSequence::FetchAviFrame(TFastDIB& dest) {
  TAviFetch fetch;
  AviResult = AVIFileOpen(&fetch.File, AviFileName.c_str(), 0, nullptr);
  if (AviResult != AVIERR_OK) return false;
  AviResult = AVIFileGetStream(fetch.File, &fetch.Stream, 0, 0);
  if (AviResult != AVIERR_OK) return false;
  fetch.Frames = AVIStreamGetFrameOpen(fetch.Stream, nullptr);
  if (!fetch.Frames) return false;

  // Pictures that keep their depth (24 and 32 bits) are copied and flipped in
  // one go: the decoder writes them top-down straight into dest's rows, the
  // same pixels as through the DIB below.
  int32_t w = 0, h = 0, bits = 0;
  if (AVIStreamGetFrameFormat(fetch.Frames, &w, &h, &bits) && (bits == 24 || bits == 32)) {
    dest.SetSize(w, h, bits, 0);
    if (!dest.Bits || dest.Width() != w || dest.AbsHeight != h || dest.Bpp() != bits) return false;
    return AVIStreamGetFrameRows(fetch.Frames, CurrentIndex, dest.Scanlines.data(), w, h, bits);
  }
  const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(fetch.Frames, CurrentIndex));
  const size_t dibSize = AVIStreamGetFrameSize(fetch.Frames);
  if (!dib || dibSize < 40) return false;

  // The packed DIB: 40-byte header, colour table (8 bits only), rows bottom-up.
  const int32_t width = Le32(dib + 4);
  const int32_t rawHeight = Le32(dib + 8);
  if (rawHeight == INT32_MIN) return false;
  const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;  // the sign is not looked at
  const int bpp = dib[14] | dib[15] << 8;
  const uint32_t clrUsed = uint32_t(Le32(dib + 32));
  size_t tableBytes = 0;
  if (bpp == 8) {
    if (clrUsed > 256) return false;
    tableBytes = size_t(clrUsed == 0 ? 256 : clrUsed) * 4;
  }
  const uint8_t* pixels = dib + 40 + tableBytes;
  const size_t available = dibSize - std::min(dibSize, 40 + tableBytes);

  if (bpp == 8 || bpp == 16) {
    TFastDIB packed;
    packed.SetSize(width, height, bpp, bpp == 16 ? 555 : 0);
    if (!packed.Bits || packed.Width() != width || packed.AbsHeight != height || available < packed.Size()) return false;
    if (bpp == 8) std::memcpy(static_cast<void*>(packed.Colors), dib + 40, tableBytes);
    dest.SetSize(width, height, 24, 0);
    if (!dest.Bits || dest.Width() != width || dest.AbsHeight != height) return false;
    CopyRowsFlipped(pixels, packed);
    ConvertTo24(dest, packed);
  } else {
    dest.SetSize(width, height, bpp, 0);
    if (!dest.Bits || dest.Width() != width || dest.AbsHeight != height || dest.Bpp() != bpp ||
        available < dest.Size())
      return false;
    CopyRowsFlipped(pixels, dest);
  }
  return true;
}

bool TSequence::FetchCurrentImage() {
  CurrentImage = std::make_unique<TFastDIB>();
  try {
    if (!FetchImage(*CurrentImage)) CurrentImage.reset();
  } catch (...) {
    CurrentImage.reset();
    throw;
  }
  return CurrentImage != nullptr;
}

void TSequence::BuildBmpSequence(std::unique_ptr<TBmpEntryList> entries) {
  if (!entries || entries->Empty()) return;
  BmpFileList = std::move(entries);
  ImageCount = BmpFileList->Count();
  CurrentIndex = 0;
  FreeImageList();
  for (int i = 0; i < BmpFileList->Count(); ++i) {
    const TBMPList* bmp = BmpFileList->Objects(i);
    auto record = std::make_unique<TAviList>();
    record->IsBmpFile = true;
    record->FileName = JoinPath(bmp->Directory, bmp->Name);
    ImageList.Add(BmpDisplayName(i, bmp->Name), std::move(record));
  }
  SequenceOpen = true;
}

void TSequence::FreeImageList() {
  // Destroys every record (in index order); the list starts empty.
  ImageList.Clear();
}

void TSequence::Close() {
  BmpFileList.reset();
  Source_.reset();
  CurrentImage.reset();
  FreeImageList();
  FrameSizeSet = false;
  CurrentIndex = 0;
  ImageCount = 0;
  SequenceOpen = false;
}
