#include "image/Demosaic.h"

namespace {

enum : uint8_t { kR = 0, kG = 1, kB = 2 };

// Filter colour of the 2x2 cell position (row parity * 2 + column parity).
constexpr uint8_t kCells[4][4] = {
    {kR, kG, kG, kB},  // RGGB
    {kG, kR, kB, kG},  // GRBG
    {kG, kB, kR, kG},  // GBRG
    {kB, kG, kG, kR},  // BGGR
};

inline void Put(TColorBGR& px, uint8_t colour, uint8_t v) {
  if (colour == kR) px.r = v;
  else if (colour == kG) px.g = v;
  else px.b = v;
}

// Any pixel, edges included: every colour is the rounded mean of the samples
// of that colour in the 3x3 window that lie inside the picture. Inside the
// picture this is exactly the bilinear rule.
void EdgePixel(const uint8_t* raw, int w, int h, ptrdiff_t stride, const uint8_t* cell, int y, int x, TColorBGR& px) {
  unsigned sum[3] = {0, 0, 0}, count[3] = {0, 0, 0};
  const uint8_t own = cell[(y & 1) * 2 + (x & 1)];
  for (int dy = -1; dy <= 1; ++dy) {
    const int yy = y + dy;
    if (yy < 0 || yy >= h) continue;
    for (int dx = -1; dx <= 1; ++dx) {
      const int xx = x + dx;
      if (xx < 0 || xx >= w) continue;
      const uint8_t c = cell[(yy & 1) * 2 + (xx & 1)];
      if (c == own && (dx || dy)) continue;  // a pixel's own colour is its own sample
      sum[c] += raw[yy * stride + xx];
      ++count[c];
    }
  }
  for (uint8_t c = 0; c < 3; ++c)
    Put(px, c, count[c] ? uint8_t((sum[c] + count[c] / 2) / count[c]) : 0);
}

inline uint8_t Avg2(unsigned a, unsigned b) { return uint8_t((a + b + 1) >> 1); }
inline uint8_t Avg4(unsigned a, unsigned b, unsigned c, unsigned d) { return uint8_t((a + b + c + d + 2) >> 2); }

// Interior pixel x of row `row` (1 <= x <= w-2, the row has rows above and below).
inline void InnerPixel(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x, uint8_t own,
                       uint8_t rowOther, TColorBGR& px) {
  const uint8_t centre = row[x];
  if (own == kG) {
    // Green site: the row's other colour left and right, the third above and below.
    const uint8_t side = Avg2(row[x - 1], row[x + 1]);
    const uint8_t vert = Avg2(up[x], down[x]);
    px.g = centre;
    if (rowOther == kR) { px.r = side; px.b = vert; }
    else { px.b = side; px.r = vert; }
  } else {
    const uint8_t cross = Avg4(up[x], down[x], row[x - 1], row[x + 1]);
    const uint8_t diag = Avg4(up[x - 1], up[x + 1], down[x - 1], down[x + 1]);
    px.g = cross;
    if (own == kR) { px.r = centre; px.b = diag; }
    else { px.b = centre; px.r = diag; }
  }
}

}  // namespace

void DemosaicBilinear(const uint8_t* raw, int width, int height, ptrdiff_t stride, TBayerPattern pattern,
                      TFastDIB& dst) {
  if (!raw || width < 1 || height < 1 || !dst.Bits || dst.Bpp() != 24 || dst.Width() != width ||
      dst.AbsHeight != height)
    return;
  const uint8_t* cell = kCells[int(pattern)];
  for (int y = 0; y < height; ++y) {
    TColorBGR* out = dst.Pixels24(y);
    if (y == 0 || y == height - 1 || width < 3) {
      for (int x = 0; x < width; ++x) EdgePixel(raw, width, height, stride, cell, y, x, out[x]);
      continue;
    }
    const uint8_t* row = raw + y * stride;
    const uint8_t* up = row - stride;
    const uint8_t* down = row + stride;
    const uint8_t* rowCell = cell + (y & 1) * 2;
    const uint8_t rowOther = rowCell[0] == kG ? rowCell[1] : rowCell[0];
    EdgePixel(raw, width, height, stride, cell, y, 0, out[0]);
    int x = 1;
    // Two pixels per step: the odd and then the even column colour.
    for (; x + 1 < width - 1; x += 2) {
      InnerPixel(up, row, down, x, rowCell[1], rowOther, out[x]);
      InnerPixel(up, row, down, x + 1, rowCell[0], rowOther, out[x + 1]);
    }
    for (; x < width - 1; ++x) InnerPixel(up, row, down, x, rowCell[x & 1], rowOther, out[x]);
    EdgePixel(raw, width, height, stride, cell, y, width - 1, out[width - 1]);
  }
}
