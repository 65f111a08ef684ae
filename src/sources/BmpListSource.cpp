// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/BmpListSource.h"

#include <cstring>
#include <utility>

#include "image/BitmapHeader.h"
#include "image/Convert.h"
#include "sources/FileReader.h"

namespace {

std::string FileNameOnly(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Largest BMP file read: the biggest picture a TFastDIB holds, at 32 bits,
// with room for headers and palette.
constexpr int64_t kMaxBmpBytes = TFastDIB::kMaxPixels * 4 + (int64_t(1) << 20);

class TBmpListSource final : public TImageSource {
 public:
  explicit TBmpListSource(std::vector<std::string> paths) : Paths_(std::move(paths)) {
    Facts_.Format = "BMP";
    Facts_.ImageCount = int32_t(Paths_.size());
    TFileReader file;
    uint8_t head[14 + 40];
    TBitmapHeader h;
    if (!Paths_.empty() && file.Open(Paths_[0]) && file.ReadAt(0, head, std::min<int64_t>(sizeof head, file.Size())) &&
        file.Size() >= 14 + 12 && head[0] == 'B' && head[1] == 'M' &&
        ReadBitmapHeader(head + 14, size_t(std::min<int64_t>(sizeof head, file.Size()) - 14), h)) {
      Facts_.Width = h.Width;
      Facts_.Height = h.AbsHeight;
      Facts_.BitsPerPixel = h.BitCount;
    }
  }

  const TSourceFacts& Facts() const override { return Facts_; }

  std::string DisplayName(int index) const override {
    return std::to_string(index + 1) + " - " + FileNameOnly(Paths_[size_t(index)]);
  }

  TStatus ReadImage(int index, TFastDIB& dest) override {
    if (index < 0 || index >= Facts_.ImageCount) return TStatus::Fail("no image " + std::to_string(index + 1));
    const std::string& path = Paths_[size_t(index)];
    TFileReader file;
    if (TStatus opened = file.Open(path); !opened) return TStatus::Fail("cannot open " + opened.Message());
    if (file.Size() > kMaxBmpBytes) return TStatus::Fail(path + ": too large for a BMP file");
    Bytes_.resize(size_t(file.Size()));
    if (!file.ReadAt(0, Bytes_.data(), Bytes_.size())) return TStatus::Fail("cannot read " + path);
    TFastDIB picture;
    if (!picture.LoadFromMemory(Bytes_.data(), Bytes_.size()) || picture.Width() < 1 || picture.AbsHeight < 1 ||
        !picture.Bits)
      return TStatus::Fail(path + ": not a BMP file that can be read");
    if (picture.Bpp() == 16) {
      // 16-bit pixels are always read as 5-5-5, whatever masks the file declares.
      TFastDIB as555;
      as555.SetSize(picture.Width(), picture.AbsHeight, 16, 555);
      if (!as555.Bits || as555.Size() != picture.Size()) return TStatus::Fail(path + ": not enough memory");
      std::memcpy(as555.Bits, picture.Bits, picture.Size());
      picture = std::move(as555);
    }
    dest.SetSize(picture.Width(), picture.AbsHeight, 24, 0);
    if (!dest.Bits || dest.Width() != picture.Width() || dest.AbsHeight != picture.AbsHeight)
      return TStatus::Fail(path + ": not enough memory");
    if (picture.Bpp() == 24) std::memcpy(dest.Bits, picture.Bits, dest.Size());
    else ConvertTo24(dest, picture);
    return TStatus::Ok();
  }

 private:
  std::vector<std::string> Paths_;
  TSourceFacts Facts_;
  std::vector<uint8_t> Bytes_;  // the file being read, kept to spare an allocation per image
};

}  // namespace

std::unique_ptr<TImageSource> OpenBmpList(std::vector<std::string> paths) {
  return std::make_unique<TBmpListSource>(std::move(paths));
}
