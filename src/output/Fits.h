// FITS writer: one image buffer to a two-dimensional FITS file of 8- or 16-bit
// integer pixels, one header block, data in 2880-byte records.
//
// The header texts (OBJECT, TELESCOP, INSTRUME, OBSERVER, COMMENT) come from
// the global ParamFits; the caller loads it from the settings beforehand.
// Pixel rows are written from the bottom row of the picture (buffer row H-1)
// up to the top row, each from left to right, so that FITS readers, whose
// first row is the bottom one, show the picture upright.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "image/FastDIB.h"

// Value of a pixel: 0 = (R + G + B) / 3 truncated, 1 = red, 2 = green, 3 = blue.
enum TFitsComponent { kFitsMean = 0, kFitsRed = 1, kFitsGreen = 2, kFitsBlue = 3 };

// Writes `fileName` (used as given; the caller adds the extension). When the
// file exists the user is asked "Replace file<name>" (Yes/No, through
// Messages()); No writes nothing and returns false. True when the file was
// written. A file that cannot be written completely throws std::system_error:
// the file is first written under a temporary name in the same folder and
// renamed at the end, so no partial file is left under `fileName` and an
// existing file stays as it was. The image must be of 16, 24 or 32 bits
// (std::invalid_argument otherwise, as for a component outside 0-3).
bool EcrireFits(const std::string& fileName, const std::string& comment, int component, const TFastDIB& image);

// Three files through EcrireFits, in this order: base + "R" + number + ".fit"
// (comment "Red componant", red), then "V" ("Green componant", green), then
// "B" ("Bleu componant", blue). Each asks its own replace question. Returns how
// many were written; a write failure throws and stops the rest.
int EcrireFitsRVB(const std::string& baseName, const std::string& numberText, const TFastDIB& image);

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
