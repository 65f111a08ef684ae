// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP list dialog's and the preview window's rules, and the list commands of the main window, headless.
#include <gtest/gtest.h>

#include "browse/BmpListModels.h"
#include "browse/ListCommands.h"
#include "support/BmpListFixtures.h"
#include "support/VideoFixtures.h"

namespace {
using fixtures::TTempDir;

// A folder with two BMP files, one that only has the extension and a text file.
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
  for (m.StartListing(); m.ListSome(1);) {
  }
}

int RowOf(const TFolderListing& m, const std::string& name) {
  const auto it = std::find_if(m.Rows.begin(), m.Rows.end(), [&](const auto& r) { return r.Name == name; });
  return it == m.Rows.end() ? -1 : int(it - m.Rows.begin());
}

using TColumns = std::vector<std::string>;

TEST(BmpListDialog, ColumnsAndPreviewLines) {
  TFolder f;
  TBmpListDialogModel m;
  ListAll(m, f.Dir.Path());
  ASSERT_EQ(m.Rows.size(), 3u);
  const int a = RowOf(m, "A.BMP");
  EXPECT_EQ(m.DirLine(a).Columns, (TColumns{"A.BMP", "4394 Ko", m.Rows[size_t(a)].Info.DateText, "16M", "1500x1000"}));
  EXPECT_EQ(m.DirLine(RowOf(m, "b.bmp")).Columns[3], "256");
  EXPECT_EQ(m.DirLine(RowOf(m, "bad.bmp")).Columns, (TColumns{"bad.bmp", " Ko", "", "UNK"}));
  EXPECT_EQ(m.PathOf(RowOf(m, "b.bmp")), f.Dir.File("b.bmp"));
  TBrowseImageModel preview;  // the preview window: width and height in columns of their own
  ListAll(preview, f.Dir.Path());
  EXPECT_EQ(preview.Line(RowOf(preview, "A.BMP")).Columns,
            (TColumns{"A.BMP", "4394 Ko", m.Rows[size_t(a)].Info.DateText, "16M", "1500", "1000"}));
}

// Each step acts on the dialog; then the Add, Add all, Delete and Clean buttons and the list.
TEST(BmpListDialog, ButtonsFollowTheLists) {
  TFolder f;
  TBmpListDialogModel m;
  EXPECT_FALSE(m.AddEnabled || m.AddAllEnabled || m.DeleteEnabled || m.CleanEnabled);
  ListAll(m, f.Dir.Path());
  const std::tuple<const char*, const char*, TColumns> steps[] = {
      {"start", "0100", {}},
      {"select bad.bmp", "0100", {}},  // an "UNK" line cannot be added
      {"add bad.bmp", "0100", {}},
      {"select b.bmp", "1100", {}},
      {"add b.bmp", "0111", {"b.bmp"}},
      {"addall", "0111", {"b.bmp", "A.BMP"}},  // b.bmp not twice
      {"delete 0", "0111", {"A.BMP"}},
      {"clean", "0100", {}}};
  for (const auto& [action, buttons, selected] : steps) {
    const std::string a = action, arg = a.substr(a.find(' ') + 1);
    if (a.rfind("select", 0) == 0) m.DirSelectionChanged({RowOf(m, arg)});
    if (a.rfind("add ", 0) == 0) m.Add({RowOf(m, arg)});
    if (a == "addall") m.AddAll();
    if (a.rfind("delete", 0) == 0) m.Delete({std::stoi(arg)});
    if (a == "clean") m.Clean();
    EXPECT_EQ(std::to_string(m.AddEnabled) + std::to_string(m.AddAllEnabled) + std::to_string(m.DeleteEnabled) +
                  std::to_string(m.CleanEnabled),
              buttons)
        << a;
    TColumns names;
    for (int i = 0; i < m.SelectedList->Count(); ++i) names.push_back(m.SelectedLine(i).Columns[0]);
    EXPECT_EQ(names, selected) << a;
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
  EXPECT_EQ(m.SelectedLine(0).Columns[5] + "|" + m.SelectedLine(1).Columns[5], two.Dir.Path() + "|" + one.Dir.Path());
  TSequence seq;
  const auto selection = m.TakeSelection();
  EXPECT_EQ(OpenBmpSelection(seq, selection.get(), "T").Caption, "T - S\xC3\xA9quence fichier BMP");
  ASSERT_EQ(seq.ImageList.Count(), 2);
  EXPECT_EQ(seq.ImageList.Strings(0) + "|" + seq.ImageList.Strings(1), "1 - first.bmp|2 - second.bmp");
  EXPECT_EQ(seq.Record(1)->FileName, one.Dir.File("second.bmp"));
  EXPECT_TRUE(seq.AviFileName.empty());
  TBmpEntryList empty;
  EXPECT_TRUE(OpenBmpSelection(seq, &empty, "T").SetCaption);
  EXPECT_FALSE(seq.SequenceOpen);
}

// A node that is not a folder (or the folder listed already) keeps the list; a missing folder lists nothing.
TEST(FolderListing, NodesThatAreNotFoldersKeepTheList) {
  TFolder f;
  TBrowseImageModel m;
  ListAll(m, f.Dir.Path());
  EXPECT_EQ(m.Label, f.Dir.Path());
  EXPECT_FALSE(m.NodeSelected(true, "", "Computer"));
  EXPECT_EQ(m.Label + std::to_string(m.Rows.size()), "[Computer]3");
  EXPECT_FALSE(m.NodeSelected(false, "", ""));
  EXPECT_EQ(m.Label, "");
  EXPECT_FALSE(m.NodeSelected(true, f.Dir.Path(), "x"));
  ListAll(m, f.Dir.File("nowhere"));
  EXPECT_TRUE(m.Rows.empty());
}

TEST(ListCommands, KelvaronListThroughMessages) {
  TFolder f;
  WriteTextFile(f.Dir.File("night.lst"), "0\n" + f.Dir.Path() + "/\nb.bmp\n3\n4\n5\n6\n/gone/\nz.bmp\n");
  TScriptedMessages messages;
  messages.Answers = {TMsgButton::All};
  TSequence seq;
  EXPECT_EQ(OpenFromCommandLine(seq, {"/Kelvaron", "\"" + f.Dir.File("night.lst") + "\""}, "T", messages).Caption,
            "T - night.lst (Kelvaron)");
  ASSERT_EQ(messages.Asked.size(), 1u);
  EXPECT_EQ(messages.Asked[0].Buttons, (std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::Abort, TMsgButton::All}));
  ASSERT_TRUE(seq.SequenceOpen);
  EXPECT_EQ(seq.ImageList.Strings(0), "1 - b.bmp");
  EXPECT_EQ(seq.AviFileName, f.Dir.File("night.lst"));
  TScriptedMessages told;
  EXPECT_FALSE(OpenFromCommandLine(seq, {"/KELVARON", f.Dir.File("night.txt")}, "T", told).SetCaption);
  EXPECT_FALSE(LoadKelvaronList(seq, f.Dir.File("none.lst"), "T", told).SetCaption);
  ASSERT_EQ(told.Asked.size(), 2u);
  EXPECT_EQ(told.Asked[0].Caption, "Error");
}

}  // namespace
