// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP list dialog's and the preview window's rules, and the list commands
// of the main window, headless.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/BmpListFixtures.h"
#include "support/VideoFixtures.h"
#include "browse/BmpListModels.h"
#include "browse/ListCommands.h"

namespace {
using fixtures::TTempDir;

// A folder with two BMP files and one that only has the extension.
struct TFolder {
  TTempDir Dir;
  explicit TFolder(const char* first = "A.BMP", const char* second = "b.bmp") {
    WriteBmpHeaderFile(Dir.File(first), 24, 1500, 1000, 4500054);
    WriteBmpHeaderFile(Dir.File(second), 8, 2, 2);
    WriteTextFile(Dir.File("bad.bmp"), "not a bitmap");
    WriteTextFile(Dir.File("c.txt"), "x");
  }
};

void ListAll(TFolderListing& m, const std::string& dir) {
  ASSERT_TRUE(m.NodeSelected(true, dir, "x"));
  m.StartListing();
  while (m.ListSome(1)) {
  }
}

int RowOf(const TFolderListing& m, const std::string& name) {
  for (size_t i = 0; i < m.Rows.size(); ++i)
    if (m.Rows[i].Name == name) return int(i);
  return -1;
}

std::vector<std::string> SelectedNames(const TBmpListDialogModel& m) {
  std::vector<std::string> names;
  for (int i = 0; i < m.SelectedList->Count(); ++i) names.push_back(m.SelectedLine(i).Columns[0]);
  return names;
}

TEST(BmpListDialog, ColumnsOfTheFolderList) {
  TFolder f;
  TBmpListDialogModel m;
  ListAll(m, f.Dir.Path());
  ASSERT_EQ(m.Rows.size(), 3u);
  const auto big = m.DirLine(RowOf(m, "A.BMP")).Columns;
  ASSERT_EQ(big.size(), 5u);
  EXPECT_EQ(big[1], "4394 Ko");
  EXPECT_EQ(big[3], "16M");
  EXPECT_EQ(big[4], "1500x1000");
  EXPECT_EQ(m.DirLine(RowOf(m, "b.bmp")).Columns[3], "256");
  EXPECT_EQ(m.DirLine(RowOf(m, "bad.bmp")).Columns, (std::vector<std::string>{"bad.bmp", " Ko", "", "UNK"}));
  EXPECT_EQ(m.PathOf(RowOf(m, "b.bmp")), f.Dir.File("b.bmp"));
}

// Each step acts on the dialog, then the four buttons are checked.
struct TStep {
  const char* Action;  // "select A", "select bad", "add", "addall", "delete 0", "clean", "unselect"
  bool Add, AddAll, Delete, Clean;
  std::vector<std::string> Selected;
};

TEST(BmpListDialog, ButtonsFollowTheLists) {
  TFolder f;
  TBmpListDialogModel m;
  EXPECT_FALSE(m.AddEnabled || m.AddAllEnabled || m.DeleteEnabled || m.CleanEnabled);
  ListAll(m, f.Dir.Path());
  const std::vector<TStep> steps = {
      {"start", false, true, false, false, {}},
      {"select bad", false, true, false, false, {}},  // an "UNK" line cannot be added
      {"add bad", false, true, false, false, {}},
      {"select b.bmp", true, true, false, false, {}},
      {"add b.bmp", false, true, true, true, {"b.bmp"}},
      {"addall", false, true, true, true, {"b.bmp", "A.BMP"}},  // b.bmp not twice
      {"delete 0", false, true, true, true, {"A.BMP"}},
      {"clean", false, true, false, false, {}},
  };
  for (const TStep& s : steps) {
    const std::string a = s.Action;
    const std::string arg = a.find(' ') == std::string::npos ? "" : a.substr(a.find(' ') + 1);
    if (a.rfind("select", 0) == 0) m.DirSelectionChanged({RowOf(m, arg)});
    if (a.rfind("add ", 0) == 0) m.Add({RowOf(m, arg)});
    if (a == "addall") m.AddAll();
    if (a.rfind("delete", 0) == 0) m.Delete({std::stoi(arg)});
    if (a == "clean") m.Clean();
    EXPECT_EQ(m.AddEnabled, s.Add) << a;
    EXPECT_EQ(m.AddAllEnabled, s.AddAll) << a;
    EXPECT_EQ(m.DeleteEnabled, s.Delete) << a;
    EXPECT_EQ(m.CleanEnabled, s.Clean) << a;
    EXPECT_EQ(SelectedNames(m), s.Selected) << a;
  }
}

TEST(BmpListDialog, TwoFoldersKeepTheirOwnAndOrderOfAdding) {
  TFolder one("second.bmp", "x.bmp"), two("first.bmp", "y.bmp");
  TBmpListDialogModel m;
  ListAll(m, two.Dir.Path());
  m.Add({RowOf(m, "first.bmp")});
  ListAll(m, one.Dir.Path());
  m.Add({RowOf(m, "second.bmp")});
  ASSERT_EQ(m.SelectedList->Count(), 2);
  EXPECT_EQ(m.SelectedLine(0).Columns[5], two.Dir.Path());
  EXPECT_EQ(m.SelectedLine(1).Columns[5], one.Dir.Path());

  TSequence seq;
  const auto selection = m.TakeSelection();
  const TListOpened opened = OpenBmpSelection(seq, selection.get(), "T");
  EXPECT_EQ(opened.Caption, "T - S\xC3\xA9quence fichier BMP");
  ASSERT_EQ(seq.ImageList.Count(), 2);
  EXPECT_EQ(seq.ImageList.Strings(0), "1 - first.bmp");
  EXPECT_EQ(seq.ImageList.Strings(1), "2 - second.bmp");
  EXPECT_EQ(seq.Record(1)->FileName, one.Dir.File("second.bmp"));
  EXPECT_TRUE(seq.AviFileName.empty());

  TBmpEntryList empty;
  EXPECT_TRUE(OpenBmpSelection(seq, &empty, "T").SetCaption);
  EXPECT_FALSE(seq.SequenceOpen);
}

TEST(FolderListing, NodesThatAreNotFoldersKeepTheList) {
  TFolder f;
  TBrowseImageModel m;
  ListAll(m, f.Dir.Path());
  EXPECT_EQ(m.Label, f.Dir.Path());
  EXPECT_FALSE(m.NodeSelected(true, "", "Computer"));
  EXPECT_EQ(m.Label, "[Computer]");
  EXPECT_EQ(m.Rows.size(), 3u);
  EXPECT_FALSE(m.NodeSelected(false, "", ""));
  EXPECT_EQ(m.Label, "");
  EXPECT_FALSE(m.NodeSelected(true, f.Dir.Path(), "x"));  // same folder: not listed again
  EXPECT_EQ(m.Line(RowOf(m, "A.BMP")).Columns, (std::vector<std::string>{"A.BMP", "4394 Ko", m.Rows[size_t(RowOf(m, "A.BMP"))].Info.DateText, "16M", "1500", "1000"}));
  ListAll(m, f.Dir.File("nowhere"));
  EXPECT_TRUE(m.Rows.empty());
}

TEST(ListCommands, KelvaronListThroughMessages) {
  TFolder f;
  WriteTextFile(f.Dir.File("night.lst"), "0\n" + f.Dir.Path() + "/\nb.bmp\n3\n4\n5\n6\n/gone/\nz.bmp\n");
  TScriptedMessages messages;
  messages.Answers = {TMsgButton::All};
  TSequence seq;
  TListOpened opened = OpenFromCommandLine(seq, {"/Kelvaron", "\"" + f.Dir.File("night.lst") + "\""}, "T", messages);
  EXPECT_EQ(opened.Caption, "T - night.lst (Kelvaron)");
  ASSERT_EQ(messages.Asked.size(), 1u);
  EXPECT_EQ(messages.Asked[0].Buttons, (std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::Abort, TMsgButton::All}));
  ASSERT_TRUE(seq.SequenceOpen);
  EXPECT_EQ(seq.ImageList.Strings(0), "1 - b.bmp");
  EXPECT_EQ(seq.AviFileName, f.Dir.File("night.lst"));

  TScriptedMessages told;
  EXPECT_FALSE(OpenFromCommandLine(seq, {"/KELVARON", f.Dir.File("night.txt")}, "T", told).SetCaption);
  ASSERT_EQ(told.Asked.size(), 1u);
  EXPECT_EQ(told.Asked[0].Caption, "Error");
  EXPECT_FALSE(LoadKelvaronList(seq, f.Dir.File("none.lst"), "T", told).SetCaption);
  EXPECT_EQ(told.Asked.size(), 2u);
}

}  // namespace
