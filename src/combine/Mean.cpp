// Mean combination: per pixel and channel, the sum of the contributions
// divided by their number, truncated (10 and 11 give 10).
#include <algorithm>
#include <cstring>
#include <vector>

#include "combine/Combine.h"
#include "combine/CombineRows.h"

using namespace combine_detail;

namespace {

// 255 x this many contributions still fit a 32-bit unsigned sum.
constexpr int kFramesPerGroup = 1 << 24;

// One part of one row: columns [x0, x1) of row y.
// block: scratch for the gathered row pieces, frames x (x1 - x0) x 3 bytes.
void MeanRowPart(const TCombineFrames& frames, int y, int x0, int x1, std::vector<uint8_t>& block,
                 std::vector<uint32_t>& acc, std::vector<uint64_t>& total, uint8_t* dst) {
  const int n = int(frames.Blocks.size());
  const size_t len = size_t(x1 - x0) * 3;
  const size_t offset = (size_t(y) * size_t(frames.Width) + size_t(x0)) * 3;
  // Gather the row piece of every frame into one contiguous block.
  block.resize(size_t(n) * len);
  for (int f = 0; f < n; ++f) std::memcpy(block.data() + size_t(f) * len, frames.Blocks[size_t(f)] + offset, len);

  acc.resize(len);
  total.assign(len, 0);
  uint32_t* __restrict a = acc.data();
  uint64_t* __restrict t = total.data();
  for (int g = 0; g < n; g += kFramesPerGroup) {
    const int gEnd = std::min(n, g + kFramesPerGroup);
    std::fill(acc.begin(), acc.end(), 0u);
    for (int f = g; f < gEnd; ++f) {
      const uint8_t* __restrict src = block.data() + size_t(f) * len;
      for (size_t j = 0; j < len; ++j) a[j] += src[j];
    }
    for (size_t j = 0; j < len; ++j) t[j] += a[j];
  }
  uint8_t* out = dst + size_t(x0) * 3;
  if (n == 0) {
    std::memset(out, 0, len);  // nothing takes part: black
    return;
  }
  const uint64_t count = uint64_t(n);
  for (size_t j = 0; j < len; ++j) out[j] = uint8_t(t[j] / count);
}

}  // namespace

std::unique_ptr<TFastDIB> MeanCombineFrames(const TCombineFrames& frames, const TCombineCallbacks& callbacks,
                                            int threads) {
  const int W = frames.Width, H = frames.Height;
  auto result = NewResult(W, H);
  const long long rowBytes = (long long)frames.Blocks.size() * std::max(W, 0) * 3;
  const int parts = ChooseParts(threads, W, rowBytes);
  struct Scratch {
    std::vector<uint8_t> Block;
    std::vector<uint32_t> Acc;
    std::vector<uint64_t> Total;
  };
  // Sized here, so that nothing is allocated while helper threads run.
  auto scratch = std::vector<Scratch>(size_t(parts));
  for (int p = 0; p < parts; ++p) {
    int b, e;
    PartRange(p, parts, std::max(W, 0), b, e);
    const size_t len = size_t(std::max(e - b, 0)) * 3;
    scratch[size_t(p)].Block.resize(frames.Blocks.size() * len);
    scratch[size_t(p)].Acc.resize(len);
    scratch[size_t(p)].Total.resize(len);
  }
  TFastDIB* image = result.get();
  const bool done = RunRows(W, H, parts, callbacks, [&](int p, int y, int x0, int x1) {
    Scratch& s = scratch[size_t(p)];
    MeanRowPart(frames, y, x0, x1, s.Block, s.Acc, s.Total, image->Scanlines[size_t(y)]);
  });
  if (!done) return nullptr;
  return result;
}
