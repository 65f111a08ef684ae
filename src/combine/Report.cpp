// SPDX-License-Identifier: GPL-3.0-or-later
#include "combine/Report.h"


#include "base/AtomicFile.h"
#include "sequence/Sequence.h"

namespace {
// " <full path>" for a BMP entry, "Image<n>" for a video image.
std::string ImageLine(const TAviList& record, int32_t index) {
  if (record.IsBmpFile) return " " + record.FileName;
  return "Image" + std::to_string(index + 1);
}

void AddImageLines(std::vector<std::string>& lines, const TSequence& sequence, const std::vector<int32_t>& indices) {
  for (int32_t i : indices)
    if (const TAviList* r = sequence.Record(i)) lines.push_back(ImageLine(*r, i));
}
}  // namespace

std::vector<std::string> BuildCombinationReport(const TSequence& sequence, const TCombinationReportFacts& facts) {
  std::vector<std::string> lines;
  lines.push_back(facts.Title);
  lines.emplace_back();
  if (facts.Kappa) {
    lines.push_back("Parameter :" + std::to_string(*facts.Kappa));
    lines.emplace_back();
  }
  if (sequence.BmpFileList) lines.emplace_back("Images for a BMP image list.");
  else lines.push_back("AVI file images :" + sequence.AviFileName);
  lines.push_back("Total images count :" + std::to_string(sequence.ImageList.Count()));
  lines.push_back("combined images :" + std::to_string(facts.UsedImages.size()));
  lines.emplace_back();
  lines.emplace_back("Images used for combinaison :");
  AddImageLines(lines, sequence, facts.UsedImages);
  if (!facts.LeftOutImages.empty()) {
    lines.emplace_back();
    lines.emplace_back("Frames left out (other frame size) :");
    AddImageLines(lines, sequence, facts.LeftOutImages);
  }
  return lines;
}

std::string ReportFileName(const std::string& imageFileName) {
  // The extension is what follows the last dot of the file's own name (a
  // leading dot starts a hidden name, not an extension).
  const size_t nameStart = imageFileName.find_last_of('/') + 1;  // npos + 1 == 0
  const size_t dot = imageFileName.rfind('.');
  std::string name = imageFileName;
  if (dot != std::string::npos && dot > nameStart) name.resize(dot);
  name += ".txt";
  // Never the image itself (an image saved as "x.txt").
  if (name == imageFileName) name += ".txt";
  return name;
}

TStatus SaveReportLines(const std::vector<std::string>& lines, const std::string& path) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  TAtomicFile file;
  if (TStatus s = file.Open(path); !s) return s;
  if (TStatus s = file.Write(text.data(), text.size()); !s) return s;
  return file.Commit();
}

TProblemRow MakeProblemRow(const TFrameProblem& problem) {
  return TProblemRow{"Image " + std::to_string(problem.Index + 1), FrameProblemText(problem.Kind)};
}

std::vector<TProblemRow> MakeProblemRows(const std::vector<TFrameProblem>& problems) {
  std::vector<TProblemRow> rows;
  rows.reserve(problems.size());
  for (const TFrameProblem& p : problems) rows.push_back(MakeProblemRow(p));
  return rows;
}
