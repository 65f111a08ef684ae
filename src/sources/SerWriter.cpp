// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "sources/SerFormat.h"

#include "base/AtomicFile.h"

namespace ser {

std::string ColourName(int32_t colourId) {
  switch (colourId) {
    case Mono: return "MONO";
    case BayerRggb: return "RGGB";
    case BayerGrbg: return "GRBG";
    case BayerGbrg: return "GBRG";
    case BayerBggr: return "BGGR";
    case Rgb: return "RGB";
    case Bgr: return "BGR";
    default: return "";
  }
}

int Planes(int32_t colourId) {
  if (colourId == Rgb || colourId == Bgr) return 3;
  return ColourName(colourId).empty() ? 0 : 1;
}

namespace {
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutText(uint8_t* p, const std::string& s) { std::memcpy(p, s.data(), std::min<size_t>(s.size(), 40)); }
}  // namespace

std::vector<uint8_t> EncodeHeader(const THeader& h) {
  std::vector<uint8_t> b(kHeaderSize, 0);
  std::memcpy(b.data(), kFileId, 14);
  Put32(&b[14], uint32_t(h.LuId));
  Put32(&b[18], uint32_t(h.ColourId));
  Put32(&b[22], uint32_t(h.LittleEndian));
  Put32(&b[26], uint32_t(h.Width));
  Put32(&b[30], uint32_t(h.Height));
  Put32(&b[34], uint32_t(h.Depth));
  Put32(&b[38], uint32_t(h.FrameCount));
  PutText(&b[42], h.Observer);
  PutText(&b[82], h.Instrument);
  PutText(&b[122], h.Telescope);
  Put64(&b[162], uint64_t(h.DateTime));
  Put64(&b[170], uint64_t(h.DateTimeUtc));
  return b;
}

TWriter::TWriter() = default;
TWriter::~TWriter() = default;

TStatus TWriter::Open(const std::string& path, const THeader& h, bool bigEndianData) {
  if (h.Width < 1 || h.Height < 1 || h.Depth < 1 || h.Depth > 16 || h.FrameCount < 0 || Planes(h.ColourId) == 0)
    throw std::invalid_argument("SER writer: unusable header");
  Header_ = h;
  BigEndian_ = bigEndianData;
  Written_ = 0;
  File_ = std::make_unique<TAtomicFile>();
  TStatus status = File_->Open(path);
  if (!status) return status;
  const std::vector<uint8_t> head = EncodeHeader(h);
  return File_->Write(head.data(), head.size());
}

TStatus TWriter::AddFrame(const uint8_t* samples) {
  if (!File_ || Header_.Depth > 8 || Written_ >= Header_.FrameCount)
    throw std::invalid_argument("SER writer: unexpected 8-bit frame");
  ++Written_;
  return File_->Write(samples, size_t(Header_.Width) * size_t(Header_.Height) * size_t(Planes(Header_.ColourId)));
}

TStatus TWriter::AddFrame(const uint16_t* samples) {
  if (!File_ || Header_.Depth <= 8 || Written_ >= Header_.FrameCount)
    throw std::invalid_argument("SER writer: unexpected 16-bit frame");
  const size_t n = size_t(Header_.Width) * size_t(Header_.Height) * size_t(Planes(Header_.ColourId));
  Buffer_.resize(n * 2);
  for (size_t i = 0; i < n; ++i) {
    const uint16_t v = samples[i];
    Buffer_[2 * i + (BigEndian_ ? 1 : 0)] = uint8_t(v);
    Buffer_[2 * i + (BigEndian_ ? 0 : 1)] = uint8_t(v >> 8);
  }
  ++Written_;
  return File_->Write(Buffer_.data(), Buffer_.size());
}

TStatus TWriter::Finish(const std::vector<int64_t>& timestamps) {
  if (!File_ || Written_ != Header_.FrameCount || (!timestamps.empty() && timestamps.size() != size_t(Written_)))
    throw std::invalid_argument("SER writer: frame or timestamp count differs from the header");
  if (!timestamps.empty()) {
    std::vector<uint8_t> trailer(timestamps.size() * 8);
    for (size_t i = 0; i < timestamps.size(); ++i) Put64(&trailer[8 * i], uint64_t(timestamps[i]));
    TStatus status = File_->Write(trailer.data(), trailer.size());
    if (!status) return status;
  }
  return File_->Commit();
}

}  // namespace ser
