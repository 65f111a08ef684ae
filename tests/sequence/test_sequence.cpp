// SPDX-License-Identifier: GPL-3.0-or-later
// TSequence: the records of an opened video or BMP list, and what opening, failing to open, reopening
// and closing do to them. (What the images hold is the sources' business, tested there.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "sequence/Sequence.h"
#include "support/VideoFixtures.h"

using namespace fixtures;

namespace {

class SequenceTest : public ::testing::Test {
 protected:
  std::string Video(const std::string& name, int frames, int w = 6, int h = 4) {
    TVideoWriterOptions o;
    o.Width = w;
    o.Height = h;
    std::vector<TFastDIB> images;
    for (int i = 0; i < frames; ++i) images.push_back(Pattern24(w, h, i + 1));
    EXPECT_TRUE(WriteVideo(Dir.File(name), o, images));
    return Dir.File(name);
  }
  // Ticks, frames and the current image of record 1 and CurrentIndex 2 in an open sequence.
  void Work() {
    Seq.Record(1)->Checked = Seq.Record(1)->HasFrame = true;
    Seq.Record(1)->FramePixels.assign(10, 1);
    Seq.FrameSizeSet = true;
    Seq.CurrentIndex = 2;
    ASSERT_TRUE(Seq.FetchCurrentImage());
  }
  TTempDir Dir;
  TSequence Seq;
};

TEST_F(SequenceTest, OpenMakesOneUntickedRecordPerImageAndAReopenForgetsTheWork) {
  const std::string path = Video("three.avi", 3);
  ASSERT_TRUE(Seq.OpenAvi(path));
  Work();
  ASSERT_TRUE(Seq.OpenAvi(Video("four.avi", 4)));
  EXPECT_TRUE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.AviFileName, Dir.File("four.avi"));
  EXPECT_EQ(Seq.ImageCount, 4);
  EXPECT_EQ(Seq.CurrentIndex, 0);
  EXPECT_FALSE(Seq.FrameSizeSet);
  EXPECT_EQ(Seq.CurrentImage, nullptr);
  ASSERT_EQ(Seq.ImageList.Count(), 4);
  EXPECT_EQ(Seq.ImageList.Strings(3), "Image 4");
  for (int i = 0; i < 4; ++i) {
    const TAviList* r = Seq.Record(i);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Checked || r->HasFrame || r->IsBmpFile || r->HasFramePixels()) << i;
  }
  EXPECT_EQ(Seq.Record(4), nullptr);
  EXPECT_EQ(Seq.Record(-1), nullptr);
  // The video is opened once: the file replaced afterwards does not change the images.
  std::filesystem::remove(Dir.File("four.avi"));
  Video("four.avi", 1, 8, 8);
  TFastDIB img;
  Seq.CurrentIndex = 3;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(6, 4, 4)));
  Seq.Close();
  EXPECT_FALSE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.ImageCount, 0);
  EXPECT_EQ(Seq.ImageList.Count(), 0);
  EXPECT_EQ(Seq.CurrentImage, nullptr);
  EXPECT_FALSE(Seq.FetchImage(img));
}

// A source that cannot be opened leaves the open sequence exactly as it was.
TEST_F(SequenceTest, FailedOpenLeavesTheOpenSequenceAsItWas) {
  const std::string good = Video("good.avi", 3);
  ASSERT_TRUE(Seq.Open(good));
  Work();
  const std::string text = Dir.File("notes.avi"), fifo = Dir.File("pipe.avi"), empty = Dir.File("empty.avi");
  WriteFileBytes(text, "these are not the frames you are looking for\n");
  WriteFileBytes(empty, "");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& bad : {text, empty, Dir.File("missing.avi"), fifo, Dir.Path()}) {
    const TStatus st = Seq.Open(bad);
    EXPECT_FALSE(st) << bad;
    EXPECT_EQ(st.Message().rfind(bad + "is not a valid AVI file.", 0), 0u) << st.Message();
    EXPECT_TRUE(Seq.SequenceOpen);
    EXPECT_EQ(Seq.AviFileName, good);
    EXPECT_EQ(std::make_pair(Seq.ImageCount, Seq.CurrentIndex), std::make_pair(3, 2));
    EXPECT_TRUE(Seq.FrameSizeSet && Seq.Record(1)->Checked && Seq.CurrentImage);
  }
  TFastDIB img;
  EXPECT_TRUE(Seq.FetchImage(img));
  // An empty video opens with no image to fetch.
  ASSERT_TRUE(Seq.OpenAvi(Video("none.avi", 0)));
  EXPECT_EQ(Seq.ImageCount, 0);
  EXPECT_FALSE(Seq.FetchCurrentImage());
  EXPECT_EQ(Seq.CurrentImage, nullptr);
}

TEST_F(SequenceTest, BmpSequenceNamesPathsAndEmptyLists) {
  auto list = std::make_unique<TBmpEntryList>();
  for (const std::string n : {"a.bmp", "b.bmp"}) {
    auto e = std::make_unique<TBMPList>();
    e->SetData(n, "1", "", "16M", "", Dir.Path());
    list->Add(n, std::move(e));
  }
  ASSERT_TRUE(Pattern24(4, 3, 5).SaveToFile(Dir.File("b.bmp")));
  Seq.BuildBmpSequence(std::move(list));
  ASSERT_TRUE(Seq.SequenceOpen);
  EXPECT_EQ(Seq.ImageCount, 2);
  EXPECT_EQ(Seq.ImageList.Strings(1), "2 - b.bmp");
  EXPECT_TRUE(Seq.Record(1)->IsBmpFile);
  EXPECT_EQ(Seq.Record(1)->FileName, Dir.Path() + "/b.bmp");
  ASSERT_NE(Seq.BmpFileList, nullptr);
  Seq.CurrentIndex = 1;
  TFastDIB img;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(4, 3, 5)));
  Seq.CurrentIndex = 0;
  EXPECT_FALSE(Seq.FetchImage(img));
  EXPECT_NE(Seq.FetchError().Message().find("a.bmp"), std::string::npos) << Seq.FetchError().Message();
  // An empty list changes nothing.
  Seq.BuildBmpSequence(std::make_unique<TBmpEntryList>());
  Seq.BuildBmpSequence(nullptr);
  EXPECT_EQ(Seq.ImageList.Count(), 2);
  Seq.Close();
  EXPECT_EQ(Seq.BmpFileList, nullptr);
}

TEST(SequencePaths, SplitOnBothSeparators) {
  EXPECT_EQ(TSequence::FileNameOnly("C:\\captures\\jup001.bmp"), "jup001.bmp");
  EXPECT_EQ(TSequence::FileNameOnly("/home/u/jup/jup002.bmp"), "jup002.bmp");
  EXPECT_EQ(TSequence::FileNameOnly("mixed/dir\\x.bmp"), "x.bmp");
  EXPECT_EQ(TSequence::JoinPath("/data/", "x.bmp"), "/data/x.bmp");
  EXPECT_EQ(TSequence::JoinPath("/data", "x.bmp"), "/data/x.bmp");
  EXPECT_EQ(TSequence::AviDisplayName(9), "Image 10");
}

}  // namespace
