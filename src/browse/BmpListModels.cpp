// SPDX-License-Identifier: GPL-3.0-or-later
#include "browse/BmpListModels.h"

#include <algorithm>

std::string FolderNodeLabel(bool hasNode, const std::string& path, const std::string& text) {
  if (!path.empty()) return path;
  return hasNode ? "[" + text + "]" : std::string();
}

bool TFolderListing::NodeSelected(bool hasNode, const std::string& path, const std::string& text) {
  Label = FolderNodeLabel(hasNode, path, text);
  if (path.empty() || path == CurrentDir) return false;
  CurrentDir = path;
  return true;
}

void TFolderListing::StartListing() {
  Rows.clear();
  Lister_ = std::make_unique<TBmpFolderLister>(CurrentDir);
  ListingStarted();
}

bool TFolderListing::ListSome(size_t max) {
  if (!Lister_) return false;
  const size_t from = Rows.size();
  const bool more = Lister_->Next(Rows, max);
  if (Rows.size() > from) RowsAdded(from);
  if (!more) {
    Lister_.reset();
    ListingDone();
  }
  return more;
}

std::string TFolderListing::PathOf(int row) const {
  if (row < 0 || size_t(row) >= Rows.size()) return {};
  const std::string& name = Rows[size_t(row)].Name;
  return !CurrentDir.empty() && CurrentDir.back() == '/' ? CurrentDir + name : CurrentDir + "/" + name;
}

namespace {
std::string ColorColumn(const TBmpInfo& info) { return BmpColorText(info.BitCount); }
}  // namespace

// --- TBmpListDialogModel ------------------------------------------------------------

TBmpListDialogModel::TBmpListDialogModel() = default;

void TBmpListDialogModel::ListingStarted() {
  DirFileList.Clear();
  AddEnabled = false;
  AddAllEnabled = false;
}

void TBmpListDialogModel::RowsAdded(size_t from) {
  for (size_t i = from; i < Rows.size(); ++i) {
    const TBmpFolderRow& row = Rows[i];
    DirFileList.Add(row.Name, row.Info.BitCount == -1 ? nullptr : MakeBmpEntry(row.Name, CurrentDir, row.Info));
  }
}

void TBmpListDialogModel::ListingDone() {
  AddEnabled = false;
  AddAllEnabled = !Rows.empty();
}

TFileLine TBmpListDialogModel::DirLine(int row) const {
  const TBmpInfo& info = Rows[size_t(row)].Info;
  TFileLine line{{Rows[size_t(row)].Name, info.SizeText + " Ko", info.DateText, ColorColumn(info)}};
  if (info.BitCount != -1) line.Columns.push_back(BmpDimensionsText(info.Width, info.Height));
  return line;
}

TFileLine TBmpListDialogModel::SelectedLine(int row) const {
  const TBMPList& e = *SelectedList->Objects(row);
  return {{e.Name, e.SizeKo + " Ko", e.Date, e.ColorText, e.Dimensions, e.Directory}};
}

std::string TBmpListDialogModel::DirSelectionChanged(const std::vector<int>& selected) {
  AddEnabled = std::any_of(selected.begin(), selected.end(), [this](int r) {
    return r >= 0 && r < DirFileList.Count() && DirFileList.Objects(r) != nullptr;
  });
  return selected.empty() ? std::string() : PathOf(selected.back());
}

bool TBmpListDialogModel::AddEntry(const TBMPList& entry) {
  for (int i = 0; i < SelectedList->Count(); ++i) {
    const TBMPList* have = SelectedList->Objects(i);
    if (have->Name == entry.Name && have->Directory == entry.Directory) return false;
  }
  auto copy = std::make_unique<TBMPList>(entry);
  SelectedList->Add(entry.Name, std::move(copy));
  return true;
}

void TBmpListDialogModel::UpdateSelectedButtons() {
  DeleteEnabled = CleanEnabled = !SelectedList->Empty();
}

void TBmpListDialogModel::Add(const std::vector<int>& selected) {
  std::vector<int> rows = selected;
  std::sort(rows.begin(), rows.end());
  for (const int r : rows)
    if (r >= 0 && r < DirFileList.Count() && DirFileList.Objects(r)) AddEntry(*DirFileList.Objects(r));
  AddEnabled = false;  // the folder list loses its selection
  UpdateSelectedButtons();
}

void TBmpListDialogModel::AddAll() {
  for (int r = 0; r < DirFileList.Count(); ++r)
    if (DirFileList.Objects(r)) AddEntry(*DirFileList.Objects(r));
  UpdateSelectedButtons();
}

void TBmpListDialogModel::Delete(const std::vector<int>& selected) {
  std::vector<int> rows = selected;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it >= 0 && *it < SelectedList->Count()) SelectedList->Delete(*it);
  UpdateSelectedButtons();
}

void TBmpListDialogModel::Clean() {
  ClearBmpList(*SelectedList);
  UpdateSelectedButtons();
}

std::unique_ptr<TBmpEntryList> TBmpListDialogModel::TakeSelection() {
  auto taken = std::move(SelectedList);
  SelectedList = std::make_unique<TBmpEntryList>();
  DirFileList.Clear();
  UpdateSelectedButtons();
  return taken;
}

// --- TBrowseImageModel --------------------------------------------------------------

TFileLine TBrowseImageModel::Line(int row) const {
  const TBmpInfo& info = Rows[size_t(row)].Info;
  TFileLine line{{Rows[size_t(row)].Name, info.SizeText + " Ko", info.DateText, ColorColumn(info)}};
  if (info.BitCount != -1) {
    line.Columns.push_back(std::to_string(info.Width));
    line.Columns.push_back(std::to_string(info.Height < 0 ? -int64_t(info.Height) : int64_t(info.Height)));
  }
  return line;
}
