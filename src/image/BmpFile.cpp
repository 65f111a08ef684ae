// SPDX-License-Identifier: GPL-3.0-or-later
// TFastDIB as a BMP file: reading (LoadFrom*) and writing (SaveTo*).
//
// Reading checks every header field against the data before allocating; a
// file that is not a usable BMP leaves the buffer exactly as it was. Files
// stored bottom-up or top-down (negative height) both come out with row 0 at
// the top. Writing always stores bottom-up rows, walking the buffer's rows in
// reverse order instead of flipping it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/AtomicFile.h"
#include "image/BmpFormat.h"

using namespace bmp;

namespace {

// Largest header region (headers, colour table and any gap before the pixel
// data) a stream or file reader will take in before it knows the image size.
constexpr uint32_t kMaxHeadBytes = 1u << 20;

// Moves 16-bit pixels stored under other masks into the standard layout of
// the same bit counts (blue lowest, then green, then red).
void Repack16(const uint8_t* src, const TFacts& f, uint16_t* dst) {
  const uint32_t rm = f.Masks[0], gm = f.Masks[1], bm = f.Masks[2];
  const int rs = std::countr_zero(rm), gs = std::countr_zero(gm), bs = std::countr_zero(bm);
  const int nb = std::popcount(bm), ng = std::popcount(gm);
  for (int x = 0; x < f.Width; ++x) {
    const uint32_t v = U16(src + 2 * x);
    dst[x] = uint16_t((((v & rm) >> rs) << (nb + ng)) | (((v & gm) >> gs) << nb) | ((v & bm) >> bs));
  }
}

// 32-bit pixels under any masks -> blue, green, red bytes, each channel scaled
// to 8 bits (wider channels keep their top 8 bits); the fourth byte is 0.
void Repack32(const uint8_t* src, const TFacts& f, TColorBGRA* dst) {
  struct Channel {
    uint32_t mask;
    int shift, bits;
    uint8_t operator()(uint32_t v) const {
      const uint32_t c = (v & mask) >> shift;
      if (bits >= 8) return uint8_t(c >> (bits - 8));
      const uint32_t max = (1u << bits) - 1;
      return uint8_t((c * 255 + max / 2) / max);
    }
  };
  auto make = [](uint32_t m) { return Channel{m, std::countr_zero(m), std::popcount(m)}; };
  const Channel r = make(f.Masks[0]), g = make(f.Masks[1]), b = make(f.Masks[2]);
  for (int x = 0; x < f.Width; ++x) {
    const uint32_t v = U32(src + 4 * x);
    dst[x] = TColorBGRA{b(v), g(v), r(v), 0};
  }
}

// Bytes a reader needs to hold for the whole file, once the headers are known.
// Run-length data has no fixed size: allow two bytes a pixel and an end-of-line
// code a row, far more than any encoder writes.
uint64_t NeededBytes(const TFacts& f) {
  if (f.Compression == kRle8 || f.Compression == kRle4)
    return uint64_t(f.OffBits) + 2 * uint64_t(f.Width + 2) * uint64_t(f.AbsHeight) + 1024;
  return uint64_t(f.OffBits) + uint64_t(f.ImageBytes);
}

// Gathers a BMP file from `read` (size_t read(uint8_t*, size_t): bytes read,
// 0 at the end) into `buf`: the headers first, then as many bytes as they call
// for. False when the start does not look like a usable BMP. `available` is
// the size of the source when known. The buffer grows with the data that
// actually arrives, so a short file claiming a huge picture costs little.
template <class Read>
bool Gather(Read&& read, std::vector<uint8_t>& buf, uint64_t available = UINT64_MAX) {
  auto fill = [&](uint64_t upTo) {
    upTo = std::min(upTo, available);
    while (buf.size() < upTo) {
      const size_t old = buf.size();
      const size_t want = size_t(std::min<uint64_t>(upTo - old, std::max<size_t>(old, 1u << 16)));
      buf.resize(old + want);
      const size_t got = read(buf.data() + old, want);
      buf.resize(old + got);
      if (got == 0) break;
    }
  };
  fill(kFileHeader + 4);
  if (buf.size() < kFileHeader + 4 || buf[0] != 'B' || buf[1] != 'M') return false;
  const uint32_t offBits = U32(buf.data() + 10);
  if (offBits > kMaxHeadBytes) return false;
  fill(std::max<uint64_t>(offBits, kFileHeader + kInfoHeader + 12));
  TFacts f;
  if (!ParseHeaders(buf.data(), buf.size(), f)) return false;
  const uint64_t need = NeededBytes(f);
  if (available != UINT64_MAX) buf.reserve(size_t(std::min(need, available)));  // exact for a file
  fill(need);
  return true;
}

// Writes the BMP file of `dib` through `put` (void put(const void*, size_t),
// throwing on failure).
template <class Put>
void WriteBmp(const TFastDIB& dib, Put&& put) {
  const TBitmapInfoHeader& h = dib.Info.Header;
  const int bpp = dib.Bpp();
  const uint32_t maxEntries = bpp <= 8 ? (1u << bpp) : 256u;
  const uint32_t used = std::min(h.biClrUsed, maxEntries);
  uint32_t entries = 0, compression = kRgb;
  bool core = false;
  if (bpp <= 8) {
    entries = used != 0 ? used : maxEntries;
    core = used == 0;  // a full palette, nothing else to say: the compact form
  } else if (bpp == 24) {
    entries = used;
  } else if (!((bpp == 16 && dib.BitFormat == 555) || (bpp == 32 && dib.BitFormat == 888))) {
    // Any other layout must say so, or a reader would take it for 555/888.
    compression = kBitFields;
  }
  std::vector<uint8_t> head;
  head.reserve(kFileHeader + kInfoHeader + 1024 + 12);
  auto u16 = [&](uint32_t v) { le::Append16(head, v); };
  auto u32 = [&](uint32_t v) { le::Append32(head, v); };
  const uint32_t tableBytes = compression == kBitFields ? 12 : entries * (core ? 3 : 4);
  const uint32_t offBits = uint32_t(kFileHeader) + (core ? kCoreHeader : kInfoHeader) + tableBytes;
  head.push_back('B');
  head.push_back('M');
  u32(offBits + dib.Size());
  u32(0);
  u32(offBits);
  if (core) {
    u32(kCoreHeader);
    u16(uint32_t(dib.Width()));
    u16(uint32_t(dib.AbsHeight));
    u16(1);
    u16(uint32_t(bpp));
    for (uint32_t i = 0; i < entries; ++i) {
      const TRGBQuad& q = dib.Colors[i];
      head.insert(head.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed});
    }
  } else {
    u32(kInfoHeader);
    u32(uint32_t(dib.Width()));
    u32(uint32_t(dib.AbsHeight));  // positive: rows bottom-up
    u16(1);
    u16(uint32_t(bpp));
    u32(compression);
    u32(dib.Size());
    u32(uint32_t(h.biXPelsPerMeter));
    u32(uint32_t(h.biYPelsPerMeter));
    u32(bpp <= 8 || bpp == 24 ? used : 0);
    u32(bpp <= 8 || bpp == 24 ? std::min(h.biClrImportant, used) : 0);
    const uint8_t* table = reinterpret_cast<const uint8_t*>(dib.Colors);
    head.insert(head.end(), table, table + tableBytes);
  }
  put(head.data(), head.size());
  if (!dib.Bits) return;
  for (int y = dib.AbsHeight - 1; y >= 0; --y) put(dib.Scanlines[size_t(y)], size_t(dib.RowSize));
}

}  // namespace

bool TFastDIB::LoadFromMemory(const uint8_t* data, size_t size) {
  TFacts f;
  if (!data || !ParseHeaders(data, size, f)) return false;
  const bool rle = f.Compression == kRle8 || f.Compression == kRle4;
  if (!rle && (f.OffBits > size || uint64_t(size - f.OffBits) < uint64_t(f.ImageBytes))) return false;

  // Decode into a fresh buffer and take it over only when all went well.
  TFastDIB dib;
  dib.SetSize(f.Width, f.AbsHeight, f.Bpp, f.BitFormat);
  if (!dib.Bits || dib.RowSize != f.RowSize) return false;
  TBitmapInfoHeader& h = dib.Info.Header;
  const uint32_t maxEntries = f.Bpp <= 8 ? (1u << f.Bpp) : 256u;
  h.biClrUsed = std::min(f.ClrUsed, maxEntries);
  h.biClrImportant = std::min(f.ClrImportant, maxEntries);
  h.biXPelsPerMeter = f.XPelsPerMeter;
  h.biYPelsPerMeter = f.YPelsPerMeter;
  for (int i = 0; i < f.PaletteEntries; ++i) {
    const uint8_t* e = data + f.PaletteOffset + size_t(i) * size_t(f.PaletteEntrySize);
    dib.Colors[i] = TRGBQuad{e[0], e[1], e[2], 0};
  }

  if (rle) {
    if (f.OffBits < size) DecodeRle(data + f.OffBits, size - f.OffBits, f.Compression == kRle4, dib);
  } else {
    const uint8_t* src = data + f.OffBits;
    for (int i = 0; i < f.AbsHeight; ++i, src += f.RowSize) {
      uint8_t* row = dib.Scanlines[size_t(f.TopDown ? i : f.AbsHeight - 1 - i)];
      if (!f.Repack) std::memcpy(row, src, size_t(f.RowSize));
      else if (f.Bpp == 16) Repack16(src, f, reinterpret_cast<uint16_t*>(row));
      else Repack32(src, f, reinterpret_cast<TColorBGRA*>(row));
    }
  }

  // The pen belongs to this object, not to the picture.
  dib.PenStyle = PenStyle;
  dib.PenWidth = PenWidth;
  dib.PenColor = PenColor;
  dib.PenX = PenX;
  dib.PenY = PenY;
  dib.DashPos_ = DashPos_;
  *this = std::move(dib);
  return true;
}

bool TFastDIB::LoadFromStream(std::istream& stream) {
  // Memory streams are parsed in place, from the start of their memory.
  if (auto* mem = dynamic_cast<std::stringbuf*>(stream.rdbuf())) {
    const std::string_view v = mem->view();
    return LoadFromMemory(reinterpret_cast<const uint8_t*>(v.data()), v.size());
  }
  const std::istream::pos_type start = stream.tellg();
  char sig[2] = {};
  stream.read(sig, 2);
  if (stream.gcount() != 2 || sig[0] != 'B' || sig[1] != 'M') {
    // Not ours: put the stream back where it was.
    stream.clear();
    if (start != std::istream::pos_type(-1)) stream.seekg(start);
    return false;
  }
  std::vector<uint8_t> buf{'B', 'M'};
  auto read = [&](uint8_t* p, size_t n) -> size_t {
    stream.read(reinterpret_cast<char*>(p), std::streamsize(n));
    return size_t(stream.gcount());
  };
  return Gather(read, buf) && LoadFromMemory(buf.data(), buf.size());
}

bool TFastDIB::LoadFromFile(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + fileName);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  const uint64_t available = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? uint64_t(st.st_size) : UINT64_MAX;
  std::vector<uint8_t> buf;
  auto read = [&](uint8_t* p, size_t n) -> size_t {
    for (;;) {
      const ssize_t got = ::read(fd, p, n);
      if (got >= 0) return size_t(got);
      if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "cannot read " + fileName);
    }
  };
  return Gather(read, buf, available) && LoadFromMemory(buf.data(), buf.size());
}

void TFastDIB::SaveToStream(std::ostream& stream) const {
  WriteBmp(*this, [&](const void* p, size_t n) {
    stream.write(static_cast<const char*>(p), std::streamsize(n));
    if (!stream) throw std::system_error(std::make_error_code(std::io_errc::stream), "cannot write BMP data");
  });
}

TStatus TFastDIB::SaveToFile(const std::string& fileName) const {
  // Written beside the target under a temporary name, then renamed over it: a
  // failure at any point leaves no partial file under the chosen name.
  TAtomicFile file;
  if (TStatus s = file.Open(fileName); !s) return s;
  // Rows are gathered into large writes: one system call per row costs far
  // more than the copy.
  const size_t kStage = std::min(size_t(1) << 20, size_t(Size()) + kFileHeader + kInfoHeader + 1024);
  std::unique_ptr<uint8_t[]> stage(new uint8_t[kStage]);
  size_t staged = 0;
  TStatus status;
  WriteBmp(*this, [&](const void* p, size_t n) {
    if (!status) return;
    if (staged + n > kStage) {
      status = file.Write(stage.get(), staged);
      staged = 0;
    }
    if (n >= kStage) {
      if (status) status = file.Write(p, n);
    } else {
      std::memcpy(stage.get() + staged, p, n);
      staged += n;
    }
  });
  if (status) status = file.Write(stage.get(), staged);
  if (status) status = file.Commit();
  return status;
}
