// SPDX-License-Identifier: GPL-3.0-or-later
// FITS writer: one image buffer to a two-dimensional FITS file of 8- or 16-bit
// integer pixels, one header block, data in 2880-byte records.
//
// The header texts (OBJECT, TELESCOP, INSTRUME, OBSERVER, COMMENT) and the
// pixel size come from the caller's TParamFITS; what happens to an existing
// file is the caller's decision too (TOverwritePolicy): the writer asks no
// question itself.
// Pixel rows are written from the bottom row of the picture (buffer row H-1)
// up to the top row, each from left to right, so that FITS readers, whose
// first row is the bottom one, show the picture upright.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "base/Overwrite.h"
#include "base/Status.h"
#include "image/FastDIB.h"
#include "image/FullDepth.h"
#include "settings/Settings.h"

// Value of a pixel: 0 = (R + G + B) / 3 truncated, 1 = red, 2 = green, 3 = blue.
enum TFitsComponent { kFitsMean = 0, kFitsRed = 1, kFitsGreen = 2, kFitsBlue = 3 };

// How one FITS save runs.
struct TFitsOptions {
  TParamFITS Fits;             // Bits8, and the header texts
  TOverwritePolicy Overwrite;  // an existing file: replace, keep, or ask the caller's question
};

// Writes `fileName` (used as given; the caller adds the extension) through
// TAtomicFile: no partial file is ever left under `fileName`, and an existing
// file stays as it was unless the whole new file was written. When the file
// exists and the policy keeps it, nothing is written and the result is a
// success with *written false (declining is not an error). A failure returns
// the message naming the file and the reason. The image must be of 16, 24 or
// 32 bits and the component 0-3 (std::invalid_argument otherwise: a
// programming error).
TStatus EcrireFits(const std::string& fileName, const std::string& comment, int component, const TFastDIB& image,
                   const TFitsOptions& options, bool* written = nullptr);

// Three files, in this order: base + "R" + number + ".fit" (comment "Red
// componant", red), then "V" ("Green componant", green), then "B" ("Bleu
// componant", blue). The policy is applied to each file in that order (a kept
// file does not stop the others); the files to write are written as one set:
// all of them, or, when any fails, none (files already there stay as they
// were). *written counts the files written.
TStatus EcrireFitsRVB(const std::string& baseName, const std::string& numberText, const TFastDIB& image,
                      const TFitsOptions& options, int* written = nullptr);

// --- Full depth ------------------------------------------------------------------
// An unrounded result (TFullDepthImage, values 0..255) written without losing
// what the averaging gained: as 32-bit floats (BITPIX -32) on the 0..255 scale
// of the 8-bit files, or as 16-bit integers scaled to 0..65535 (value x 257,
// rounded; stored signed with BZERO = 32768 as FITS readers expect). The cards
// and the row order are those of the 8-bit files; DATAMAX and THRESH give the
// scale's top. Same overwrite policy and atomic writing as EcrireFits.
enum class TFitsDepth { Float32, Scaled16 };
// The depth the FITS parameters choose: 16-bit scaled when Bits16 is set and
// Bits8 is not, floats otherwise.
TFitsDepth FitsDepthOf(const TParamFITS& fits);
TStatus EcrireFitsFull(const std::string& fileName, const std::string& comment, int component,
                       const TFullDepthImage& image, TFitsDepth depth, const TFitsOptions& options,
                       bool* written = nullptr);
// As EcrireFitsRVB, for a full-depth picture.
TStatus EcrireFitsRVBFull(const std::string& baseName, const std::string& numberText, const TFullDepthImage& image,
                          TFitsDepth depth, const TFitsOptions& options, int* written = nullptr);

// --- Header composition (exposed for tests) -----------------------------------

// The header cards in file order, END last, each at most 80 characters, from
// `fits`, the picture size, the component, the comment and the moment `utc`.
// Dates are the FITS standard's ISO form: DATE-OBS = 'YYYY-MM-DDThh:mm:ss',
// DATE = 'YYYY-MM-DD', and the COMMENT and HISTORY cards carry the same date
// and time texts. Integer values are right-justified to column 30. Header
// texts are cut so that every card fits in 80 columns (a quoted value keeps
// its closing quote), quotes inside a quoted value are doubled, and characters
// outside printable ASCII are replaced by '?'.
std::vector<std::string> FitsHeaderCards(const TParamFITS& fits, int width, int height, int component,
                                         const std::string& comment, std::time_t utc);

// The 2880-byte header block: blanks, with the cards at the start of each
// 80-column card in order.
std::string FitsHeaderBlock(const std::vector<std::string>& cards);
