// SPDX-License-Identifier: GPL-3.0-or-later
// TSequence: the records of an opened video or BMP list, and what (failing to) open, reopen and close do to them.
#include <gtest/gtest.h>

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
  EXPECT_EQ(std::make_tuple(Seq.SequenceOpen, Seq.AviFileName, Seq.ImageCount, Seq.CurrentIndex, Seq.FrameSizeSet, Seq.CurrentImage == nullptr),
            std::make_tuple(true, Dir.File("four.avi"), 4, 0, false, true));
  ASSERT_EQ(Seq.ImageList.Count(), 4);
  EXPECT_EQ(Seq.ImageList.Strings(3), "Image 4");
  for (int i = 0; i < 4; ++i) {
    const TAviList* r = Seq.Record(i);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Checked || r->HasFrame || r->IsBmpFile || r->HasFramePixels()) << i;
  }
  EXPECT_TRUE(Seq.Record(4) == nullptr && Seq.Record(-1) == nullptr);
  // The video is opened once: the file replaced afterwards does not change the images.
  std::filesystem::remove(Dir.File("four.avi"));
  Video("four.avi", 1, 8, 8);
  TFastDIB img;
  Seq.CurrentIndex = 3;
  ASSERT_TRUE(Seq.FetchImage(img));
  EXPECT_EQ(PackedBgr(img), PackedBgr(Pattern24(6, 4, 4)));
  Seq.Close();
  EXPECT_EQ(std::make_tuple(Seq.SequenceOpen, Seq.ImageCount, Seq.ImageList.Count(), Seq.CurrentImage == nullptr),
            std::make_tuple(false, 0, 0, true));
  EXPECT_FALSE(Seq.FetchImage(img));
}

TEST_F(SequenceTest, FailedOpenLeavesTheOpenSequenceAsItWas) {
  const std::string good = Video("good.avi", 3);
  ASSERT_TRUE(Seq.Open(good));
  Work();
  const std::string text = Dir.File("notes.avi");  // why each kind of file is refused: the sources' tests
  WriteFileBytes(text, "these are not the frames you are looking for\n");
  for (const std::string& bad : {text, Dir.File("missing.avi")}) {
    const TStatus st = Seq.Open(bad);
    EXPECT_EQ(st.Message().rfind(bad + "is not a valid AVI file.", 0), 0u) << st.Message();
    EXPECT_EQ(std::make_tuple(Seq.SequenceOpen, Seq.AviFileName, Seq.ImageCount, Seq.CurrentIndex), std::make_tuple(true, good, 3, 2));
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
  EXPECT_EQ(std::make_tuple(Seq.ImageCount, Seq.ImageList.Strings(1), Seq.Record(1)->IsBmpFile, Seq.Record(1)->FileName),
            std::make_tuple(2, std::string("2 - b.bmp"), true, Dir.Path() + "/b.bmp"));
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
}

}  // namespace
