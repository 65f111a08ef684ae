// SPDX-License-Identifier: GPL-3.0-or-later
// Frame pixel blocks: pooled when large, reused by size, handed back to the system once none is live.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "sequence/AviList.h"
#include "sequence/FrameBlockPool.h"

namespace {

constexpr size_t kFrame = 160 * 160 * 3 + 1;  // a typical frame copy
constexpr size_t kSmallFrame = 100 * 100 * 3 + 1;  // below the pooled sizes

TEST(FrameBlockPool, BlocksAreDistinctWritableAndReleasedWithTheLast) {
  ASSERT_EQ(FrameBlockPoolStats().LiveBlocks, 0u);
  {
    std::vector<TFramePixels> frames;
    for (int i = 0; i < 1000; ++i) {  // more than one region's worth (77 MB)
      frames.emplace_back(kFrame, uint8_t(i));
      frames.back().back() = uint8_t(255 - i);
    }
    for (const TFramePixels& f : frames) {
      const uint8_t i = uint8_t(&f - frames.data());
      ASSERT_TRUE(f.front() == i && f[kFrame - 2] == i && f.back() == 255 - i && reinterpret_cast<uintptr_t>(f.data()) % 64 == 0) << int(i);
    }
    const TFrameBlockPoolStats s = FrameBlockPoolStats();
    EXPECT_TRUE(!s.Enabled || (s.LiveBlocks == 1000 && s.Regions >= 2 && s.MappedBytes >= 1000 * kFrame)) << s.LiveBlocks << " " << s.Regions;
  }
  EXPECT_EQ(std::make_pair(FrameBlockPoolStats().LiveBlocks, FrameBlockPoolStats().Regions), std::make_pair(size_t(0), size_t(0)));
}

TEST(FrameBlockPool, FreedBlockOfTheSameSizeIsReused) {
  if (!FrameBlockPoolStats().Enabled) GTEST_SKIP() << "sanitizer build: blocks come from the general allocator";
  TFramePixels keep(kFrame, 1);  // keeps the region alive
  const void* first;
  {
    TFramePixels a(kFrame, 2);
    first = a.data();
  }
  TFramePixels other(kFrame * 2, 3);  // another size does not take it
  EXPECT_NE(static_cast<const void*>(other.data()), first);
  TFramePixels b(kFrame, 4);
  EXPECT_EQ(static_cast<const void*>(b.data()), first);
  EXPECT_EQ(b[kFrame / 2], 4);
}

TEST(FrameBlockPool, RecordsKeepTheirBlocksThroughMovesAndResizes) {
  auto rec = std::make_unique<TAviList>();
  rec->FramePixels.assign(kFrame, 7);
  TAviList moved = std::move(*rec);
  rec.reset();
  EXPECT_EQ(moved.FramePixels, TFramePixels(kFrame, 7));
  moved.FramePixels.resize(10);  // small sizes: general allocator, same contents
  moved.FramePixels.shrink_to_fit();
  EXPECT_EQ(moved.FramePixels, TFramePixels(10, 7));
  TFramePixels().swap(moved.FramePixels);
  EXPECT_FALSE(moved.HasFramePixels());
  EXPECT_EQ(FrameBlockPoolStats().LiveBlocks, 0u);
}

}  // namespace

// Past the memory budget, blocks continue in the temporary file.
class FrameBlockBudget : public ::testing::Test {
 protected:
  void TearDown() override {
    SetFrameBlockBudget(DefaultFrameBlockBudget());
    SetFrameBlockFolder("");
  }
};

TEST_F(FrameBlockBudget, BlocksPastTheBudgetLiveInTheFileAndKeepTheirBytes) {
  SetFrameBlockBudget(size_t(64) << 20);
  for (const size_t size : {kFrame, kSmallFrame}) {
    const int count = int((size_t(160) << 20) / size);  // 2.5 times the budget
    std::vector<TFramePixels> frames;
    for (int i = 0; i < count; ++i) frames.emplace_back(size, uint8_t(i * 7));
    const TFrameBlockPoolStats s = FrameBlockPoolStats();
    EXPECT_GE(s.FileBytes, size_t(count) * size - (size_t(64) << 20)) << size;
    EXPECT_LE(s.MappedBytes - s.FileBytes, size_t(64) << 20) << size;
    for (int i = 0; i < count; ++i) {
      uint8_t tail[2] = {};  // read past the mapping, from the file when the copy lives there
      ReadFrameBlock(frames[size_t(i)].data(), size - 2, tail, 2);
      ASSERT_TRUE(frames[size_t(i)].back() == uint8_t(i * 7) && tail[0] == uint8_t(i * 7) && tail[1] == uint8_t(i * 7)) << i;
      ReleaseFrameBlockPages(frames[size_t(i)].data(), size);
      ASSERT_EQ(frames[size_t(i)][size / 2], uint8_t(i * 7)) << i;  // the bytes come back
    }
    EXPECT_TRUE(FrameBlockInFile(frames.back().data()));
    EXPECT_FALSE(FrameBlockInFile(frames.front().data()));
    frames.clear();
    EXPECT_EQ(FrameBlockPoolStats().Regions, 0u);
  }
}

TEST_F(FrameBlockBudget, RoomIsCheckedAgainstMemoryAndDisk) {
  SetFrameBlockBudget(size_t(64) << 20);
  EXPECT_TRUE(CheckFrameBlockRoom(100, kFrame).ok());
  const TStatus huge = CheckFrameBlockRoom(uint64_t(1) << 40, kFrame);
  ASSERT_FALSE(huge.ok());
  EXPECT_NE(huge.Message().find("Not enough room for the frame copies"), std::string::npos) << huge.Message();
  SetFrameBlockFolder("/nonexistent/stellon");
  EXPECT_FALSE(CheckFrameBlockRoom(2000, kFrame).ok());  // past the budget, and no folder
  std::vector<TFramePixels> frames;
  EXPECT_THROW(for (int i = 0; i < 2000; ++i) frames.emplace_back(kFrame, 1), std::bad_alloc);
  SetFrameBlockBudget(0);  // off: no limit to check
  EXPECT_TRUE(CheckFrameBlockRoom(uint64_t(1) << 40, kFrame).ok());
}
