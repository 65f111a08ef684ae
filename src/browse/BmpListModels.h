// SPDX-License-Identifier: GPL-3.0-or-later
// The state and rules of the two file-browsing windows, without Qt: the BMP
// list dialog (TLoadBMPForm: "Open/Edit a BMP file list") and the image
// preview window (TBrowseImage: "Images preview"). The windows only map their
// controls to these classes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sequence/BmpInfo.h"
#include "sequence/BmpList.h"

// A line of a file list: its column texts.
struct TFileLine {
  std::vector<std::string> Columns;
};

// Text above the folder tree for a selected node: the node's path, or for a
// node that is not a folder its text in square brackets ("" without a node).
std::string FolderNodeLabel(bool hasNode, const std::string& path, const std::string& text);

// The folder shown by a browsing window and the listing of its BMP files, a
// few files at a time.
class TFolderListing {
 public:
  std::string CurrentDir;  // the folder listed, as the file system spells it
  std::string Label;       // text above the tree

  // A node of the tree was selected. True when the list must be made again
  // (call StartListing, then ListSome until it returns false).
  bool NodeSelected(bool hasNode, const std::string& path, const std::string& text);
  void StartListing();
  // Lists up to `max` more files; the new rows are appended to Rows. False once done.
  bool ListSome(size_t max);
  bool Listing() const { return Lister_ != nullptr; }
  std::vector<TBmpFolderRow> Rows;
  std::string PathOf(int row) const;

 protected:
  virtual void ListingStarted() {}
  virtual void RowsAdded(size_t from) {}
  virtual void ListingDone() {}
  virtual ~TFolderListing() = default;

 private:
  std::unique_ptr<TBmpFolderLister> Lister_;
};

// "Open/Edit a BMP file list".
class TBmpListDialogModel : public TFolderListing {
 public:
  TBmpListDialogModel();

  bool AddEnabled = false;     // "Add"
  bool AddAllEnabled = false;  // "Add all"
  bool DeleteEnabled = false;  // "Delete"
  bool CleanEnabled = false;   // "Clean"

  // One entry per line of the folder list; null for a line listed "UNK".
  TBmpEntryList DirFileList;
  // One entry per line of the selected-images list.
  std::unique_ptr<TBmpEntryList> SelectedList = std::make_unique<TBmpEntryList>();

  // Column texts: Name, Size, Date, Color, Size (dimensions) [, Directory].
  TFileLine DirLine(int row) const;
  TFileLine SelectedLine(int row) const;

  // The lines selected in the folder list changed (positions in order).
  // Returns the file to preview: that of the last selected line, or "".
  std::string DirSelectionChanged(const std::vector<int>& selected);
  // "Add" (or a double click): adds the entries of the selected lines.
  void Add(const std::vector<int>& selected);
  void AddAll();
  // "Delete": removes the selected lines of the selected-images list.
  void Delete(const std::vector<int>& selected);
  void Clean();
  // The dialog closes (OK or Cancel): the selection is handed over.
  std::unique_ptr<TBmpEntryList> TakeSelection();

 protected:
  void ListingStarted() override;
  void RowsAdded(size_t from) override;
  void ListingDone() override;

 private:
  bool AddEntry(const TBMPList& entry);
  void UpdateSelectedButtons();
};

// "Images preview".
class TBrowseImageModel : public TFolderListing {
 public:
  enum class TView { RealSize, Adjusted };
  TView View = TView::RealSize;
  // Column texts: Name, Size, Date, Color, Width, Height.
  TFileLine Line(int row) const;
};
