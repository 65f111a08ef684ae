// SPDX-License-Identifier: GPL-3.0-or-later
// Reports that go with results and with framing problems.
//
// 1. The combination report: text lines saying how a result was made and from
//    which images. Each combination builds it with BuildCombinationReport once
//    it has finished, and hands it to the result window with the picture.
// 2. The problem report model: one row per image that automatic framing or
//    margin rebuilding could not frame, shown by TFicheRapport
//    (combine/ui/FicheRapport.h) under a one-line summary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Status.h"
#include "framing/AutoFrame.h"

class TSequence;

// ---------------------------------------------------------------------------
// Combination report
// ---------------------------------------------------------------------------

inline constexpr const char* kReportTitleMean = "Result combinaison by mean";
inline constexpr const char* kReportTitleKappa = "Result combinaison Kappa-Sigma";

// What the combination knows when it writes its report.
struct TCombinationReportFacts {
  std::string Title;            // kReportTitleMean or kReportTitleKappa
  std::optional<int32_t> Kappa; // the kappa used; set for kappa-sigma only ("Parameter :" line)
  // Indices (from 0, in sequence order) of the images that took part, that is
  // ticked, framed, with a pixel copy of the result's size.
  std::vector<int32_t> UsedImages;
  // Ticked, framed images left out because their pixel copy has another size
  // than the result (a frame kept from an older frame size or margin). Listed
  // after the used images, only when there are some.
  std::vector<int32_t> LeftOutImages;
};

// The report lines, in order:
//   title; ""; ["Parameter :<kappa>"; ""]  (kappa-sigma only)
//   "Images for a BMP image list."  or  "AVI file images :<AviFileName>"
//   "Total images count :<entries of ImageList>"
//   "combined images :<number of used images>"
//   ""; "Images used for combinaison :"
//   one line per used image: " <FileName>" for a BMP entry, "Image<n>" (n from
//   1) for a video image;
// and, when some frames were left out:
//   ""; "Frames left out (other frame size) :"; one line per image as above.
// No blank follows the colons. Indices without a record are skipped.
std::vector<std::string> BuildCombinationReport(const TSequence& sequence, const TCombinationReportFacts& facts);

// Name of the text file saved beside a result image: the image file's name
// with its extension replaced by ".txt" (moon.bmp -> moon.txt, moon.fits ->
// moon.txt), or with ".txt" appended when it has none. Never the image's own name.
std::string ReportFileName(const std::string& imageFileName);

// Writes the lines, each ended by a line feed, through TAtomicFile. On failure
// no partial file is left under that name and the message says why.
TStatus SaveReportLines(const std::vector<std::string>& lines, const std::string& path);

// ---------------------------------------------------------------------------
// Problem report
// ---------------------------------------------------------------------------

// One row of the problem report: the "Image" column ("Image 2") and the
// "Error" column ("Frame out of limit" or "Impossible to draw frame").
struct TProblemRow {
  std::string Image;
  std::string Error;
  friend bool operator==(const TProblemRow&, const TProblemRow&) = default;
};

TProblemRow MakeProblemRow(const TFrameProblem& problem);
std::vector<TProblemRow> MakeProblemRows(const std::vector<TFrameProblem>& problems);

// Captions and summaries of the two uses of the problem report.
inline constexpr const char* kAutoFramingReportCaption = "Auto framing";
inline constexpr const char* kAutoFramingReportText = "Error during automatic framing";
inline constexpr const char* kRebuildReportCaption = "Rebuilding frame margin ";
inline constexpr const char* kRebuildReportText = "Some recalculated frame are out of limits, have been reject.";
