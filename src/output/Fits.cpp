// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/Fits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "base/AtomicFile.h"

namespace {

constexpr size_t kCard = 80;
constexpr size_t kRecord = 2880;

// Header texts must be printable ASCII: every other byte is replaced by '?',
// a UTF-8 sequence as a whole by a single '?'.
std::string PrintableAscii(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 32 && c <= 126) {
      out += char(c);
      continue;
    }
    out += '?';
    if (c >= 0xC0)  // a UTF-8 lead byte: its continuation bytes go with it
      while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
  }
  return out;
}

// "KEYWORD = 'value'": quotes inside the value doubled, the value cut so that
// the closing quote stays within column 80 (a doubled quote is never split).
std::string StringCard(const char* prefix, const std::string& text) {
  std::string card = prefix;  // 11 characters, ending with the opening quote
  const size_t room = kCard - card.size() - 1;
  std::string value;
  for (char c : PrintableAscii(text)) {
    const size_t add = c == '\'' ? 2 : 1;
    if (value.size() + add > room) break;
    value += c;
    if (c == '\'') value += '\'';
  }
  return card + value + "'";
}

// Commentary cards keep their text, cut at column 80.
std::string TextCard(const std::string& prefix, const std::string& text) {
  return (prefix + PrintableAscii(text)).substr(0, kCard);
}

// Fixed format: the keyword padded to 8 columns, "= " and the value
// right-justified to column 30.
std::string IntCard(const char* keyword, long long value) {
  std::string card = keyword;
  card.resize(8, ' ');
  card += "= ";
  const std::string v = std::to_string(value);
  card.append(v.size() < 20 ? 20 - v.size() : 0, ' ');
  return card + v;
}

// Value of one pixel for a component.
inline uint8_t PixelValue(TColorBGR c, int component) {
  switch (component) {
    case kFitsRed: return c.r;
    case kFitsGreen: return c.g;
    case kFitsBlue: return c.b;
    default: return uint8_t((int(c.r) + c.g + c.b) / 3);
  }
}

}  // namespace

std::vector<std::string> FitsHeaderCards(const TParamFITS& fits, int width, int height, int component,
                                         const std::string& comment, std::time_t utc) {
  std::tm t{};
  gmtime_r(&utc, &t);
  char date[32], time[32];
  std::strftime(date, sizeof date, "%Y-%m-%d", &t);
  std::strftime(time, sizeof time, "%H:%M:%S", &t);
  const std::string d = date, h = time;

  std::vector<std::string> cards;
  cards.push_back("SIMPLE  =                    T");
  cards.push_back(IntCard("BITPIX", fits.Bits8 ? 8 : 16));
  cards.push_back(IntCard("NAXIS", 2));
  cards.push_back(IntCard("NAXIS1", width));
  cards.push_back(IntCard("NAXIS2", height));
  cards.push_back(IntCard("DATAMAX", 255));
  cards.push_back(IntCard("DATAMIN", 0));
  cards.push_back(IntCard("THRESH", 255));
  cards.push_back(IntCard("THRESL", 0));
  cards.push_back("DATE-OBS= '" + d + "T" + h + "'");
  cards.push_back(StringCard("OBJECT  = '", fits.Objet));
  cards.push_back(StringCard("TELESCOP= '", fits.Telescope));
  cards.push_back(StringCard("INSTRUME= '", fits.Instrument));
  cards.push_back(StringCard("OBSERVER= '", fits.Observateur));
  cards.push_back("COMMENT  " + d + " " + h + "UTC");
  cards.push_back(TextCard("COMMENT   ", fits.Commentaire));
  if (!comment.empty()) cards.push_back(TextCard("COMMENT   ", comment));
  cards.push_back("DATE    = '" + d + "'");
  cards.push_back("HISTORY   FITS Created by STELLON  " + d + " " + h);
  if (component == kFitsMean) cards.push_back("HISTORY   Pixels values are mean from original RGB ");
  cards.push_back("END");
  return cards;
}

std::string FitsHeaderBlock(const std::vector<std::string>& cards) {
  std::string block(kRecord, ' ');
  for (size_t i = 0; i < cards.size() && i < kRecord / kCard; ++i)
    block.replace(i * kCard, std::min(cards[i].size(), kCard), cards[i], 0, kCard);
  return block;
}

namespace {

void CheckFitsInput(int component, const TFastDIB& image) {
  if (component < kFitsMean || component > kFitsBlue) throw std::invalid_argument("FITS component must be 0 to 3");
  const int bpp = image.Bpp();
  if (image.Width() > 0 && image.AbsHeight > 0 && image.Bits && bpp != 16 && bpp != 24 && bpp != 32)
    throw std::invalid_argument("the FITS writer takes 16-, 24- or 32-bit images");
}

// Header and data of one file into `file`.
TStatus WriteFitsData(TAtomicFile& file, const std::string& comment, int component, const TFastDIB& image,
                      const TParamFITS& fits, std::time_t now) {
  const int W = image.Width(), H = image.AbsHeight;
  const bool hasPixels = W > 0 && H > 0 && image.Bits;
  const int bpp = image.Bpp();
  if (TStatus s = file.Write(FitsHeaderBlock(FitsHeaderCards(fits, W, H, component, comment, now)).data(), kRecord);
      !s)
    return s;

  // Data: one 2880-byte record at a time, bottom row first.
  uint8_t record[kRecord];
  size_t used = 0;
  TStatus status;
  const bool eight = fits.Bits8;
  auto put = [&](uint8_t v) {
    if (!eight) {
      record[used++] = 0;  // big-endian 16 bits, values 0 to 255
    }
    record[used++] = v;
    if (used == kRecord) {
      if (status) status = file.Write(record, kRecord);
      used = 0;
    }
  };
  if (hasPixels) {
    for (int y = H - 1; y >= 0 && status; --y) {
      if (bpp == 24) {
        const TColorBGR* row = image.Pixels24(y);
        for (int x = 0; x < W; ++x) put(PixelValue(row[x], component));
      } else {
        for (int x = 0; x < W; ++x) put(PixelValue(image.GetPixel(y, x), component));
      }
    }
  }
  if (status && used > 0) {
    std::memset(record + used, 0, kRecord - used);
    status = file.Write(record, kRecord);
  }
  return status;
}

}  // namespace

TStatus EcrireFits(const std::string& fileName, const std::string& comment, int component, const TFastDIB& image,
                   const TFitsOptions& options, bool* written) {
  CheckFitsInput(component, image);
  if (written) *written = false;
  // One moment for every date of the file.
  const std::time_t now = std::time(nullptr);
  if (!options.Overwrite.MayWrite(fileName)) return TStatus::Ok();
  TAtomicFile file;
  if (TStatus s = file.Open(fileName); !s) return s;
  if (TStatus s = WriteFitsData(file, comment, component, image, options.Fits, now); !s) return s;
  if (TStatus s = file.Commit(); !s) return s;
  if (written) *written = true;
  return TStatus::Ok();
}

TStatus EcrireFitsRVB(const std::string& baseName, const std::string& numberText, const TFastDIB& image,
                      const TFitsOptions& options, int* written) {
  struct TPlane {
    const char* Letter;
    const char* Comment;
    int Component;
  };
  static constexpr TPlane kPlanes[] = {{"R", "Red componant", kFitsRed},
                                       {"V", "Green componant", kFitsGreen},
                                       {"B", "Bleu componant", kFitsBlue}};
  CheckFitsInput(kFitsRed, image);
  if (written) *written = 0;
  const std::time_t now = std::time(nullptr);
  TAtomicFileSet set;
  int count = 0;
  for (const TPlane& p : kPlanes) {
    const std::string name = baseName + p.Letter + numberText + ".fit";
    if (!options.Overwrite.MayWrite(name)) continue;
    TStatus status;
    TAtomicFile* file = set.Add(name, status);
    if (!file) return status;
    if (TStatus s = WriteFitsData(*file, p.Comment, p.Component, image, options.Fits, now); !s) return s;
    ++count;
  }
  if (TStatus s = set.CommitAll(); !s) return s;
  if (written) *written = count;
  return TStatus::Ok();
}

// --- Full depth ------------------------------------------------------------------

TFitsDepth FitsDepthOf(const TParamFITS& fits) {
  return fits.Bits16 && !fits.Bits8 ? TFitsDepth::Scaled16 : TFitsDepth::Float32;
}

namespace {

// The 8-bit cards with the depth's BITPIX, scale and, for 16 bits, BZERO.
std::vector<std::string> FullDepthCards(const TParamFITS& fits, int w, int h, int component,
                                        const std::string& comment, std::time_t now, TFitsDepth depth) {
  std::vector<std::string> cards = FitsHeaderCards(fits, w, h, component, comment, now);
  const bool f32 = depth == TFitsDepth::Float32;
  const long long top = f32 ? 255 : 65535;
  for (std::string& c : cards) {
    if (c.rfind("BITPIX", 0) == 0) c = IntCard("BITPIX", f32 ? -32 : 16);
    else if (c.rfind("DATAMAX", 0) == 0) c = IntCard("DATAMAX", top);
    else if (c.rfind("THRESH ", 0) == 0) c = IntCard("THRESH", top);
  }
  if (!f32) {
    // After NAXIS2 (card 5): the unsigned 0..65535 range stored as signed.
    cards.insert(cards.begin() + 5, {IntCard("BZERO", 32768), IntCard("BSCALE", 1)});
  }
  return cards;
}

float FullValue(const float* p, int component) {
  switch (component) {
    case kFitsRed: return p[2];
    case kFitsGreen: return p[1];
    case kFitsBlue: return p[0];
    default: return float((double(p[0]) + p[1] + p[2]) / 3.0);
  }
}

TStatus WriteFullData(TAtomicFile& file, const std::string& comment, int component, const TFullDepthImage& image,
                      TFitsDepth depth, const TParamFITS& fits, std::time_t now) {
  const int W = image.Width, H = image.Height;
  if (TStatus s = file.Write(
          FitsHeaderBlock(FullDepthCards(fits, W, H, component, comment, now, depth)).data(), kRecord);
      !s)
    return s;
  uint8_t record[kRecord];
  size_t used = 0;
  TStatus status;
  const size_t size = depth == TFitsDepth::Float32 ? 4 : 2;
  auto put = [&](float v) {
    uint8_t bytes[4];
    if (size == 4) {
      uint32_t u;
      std::memcpy(&u, &v, 4);
      bytes[0] = uint8_t(u >> 24), bytes[1] = uint8_t(u >> 16), bytes[2] = uint8_t(u >> 8), bytes[3] = uint8_t(u);
    } else {
      const double scaled = std::nearbyint(std::clamp(double(v), 0.0, 255.0) * 257.0);
      const uint16_t stored = uint16_t(int(scaled) - 32768);  // BZERO 32768
      bytes[0] = uint8_t(stored >> 8), bytes[1] = uint8_t(stored);
    }
    std::memcpy(record + used, bytes, size);
    used += size;
    if (used == kRecord) {
      if (status) status = file.Write(record, kRecord);
      used = 0;
    }
  };
  for (int y = H - 1; y >= 0 && status; --y)
    for (int x = 0; x < W; ++x) put(FullValue(image.Pixel(x, y), component));
  if (status && used > 0) {
    std::memset(record + used, 0, kRecord - used);
    status = file.Write(record, kRecord);
  }
  return status;
}

}  // namespace

TStatus EcrireFitsFull(const std::string& fileName, const std::string& comment, int component,
                       const TFullDepthImage& image, TFitsDepth depth, const TFitsOptions& options, bool* written) {
  if (component < kFitsMean || component > kFitsBlue) throw std::invalid_argument("FITS component must be 0 to 3");
  if (image.Bgr.size() != size_t(image.Width) * size_t(image.Height) * 3)
    throw std::invalid_argument("full-depth picture of the wrong size");
  if (written) *written = false;
  const std::time_t now = std::time(nullptr);
  if (!options.Overwrite.MayWrite(fileName)) return TStatus::Ok();
  TAtomicFile file;
  if (TStatus s = file.Open(fileName); !s) return s;
  if (TStatus s = WriteFullData(file, comment, component, image, depth, options.Fits, now); !s) return s;
  if (TStatus s = file.Commit(); !s) return s;
  if (written) *written = true;
  return TStatus::Ok();
}

TStatus EcrireFitsRVBFull(const std::string& baseName, const std::string& numberText, const TFullDepthImage& image,
                          TFitsDepth depth, const TFitsOptions& options, int* written) {
  static constexpr struct {
    const char* Letter;
    const char* Comment;
    int Component;
  } kPlanes[] = {{"R", "Red componant", kFitsRed}, {"V", "Green componant", kFitsGreen},
                 {"B", "Bleu componant", kFitsBlue}};
  if (written) *written = 0;
  const std::time_t now = std::time(nullptr);
  TAtomicFileSet set;
  int count = 0;
  for (const auto& p : kPlanes) {
    const std::string name = baseName + p.Letter + numberText + ".fit";
    if (!options.Overwrite.MayWrite(name)) continue;
    TStatus status;
    TAtomicFile* file = set.Add(name, status);
    if (!file) return status;
    if (TStatus s = WriteFullData(*file, p.Comment, p.Component, image, depth, options.Fits, now); !s) return s;
    ++count;
  }
  if (TStatus s = set.CommitAll(); !s) return s;
  if (written) *written = count;
  return TStatus::Ok();
}
