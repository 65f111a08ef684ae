// SPDX-License-Identifier: GPL-3.0-or-later
// The settings record and the settings file stellon.ini. Qt-free, and free of
// globals: the application keeps the live record (ParamGlob, app/ParamGlob.h)
// and passes its values down to the jobs that need them.
#pragma once

#include <cstdint>
#include <string>

#include "base/Status.h"

// FITS-saving parameters.
struct TParamFITS {
  bool Bits8 = true;        // key "8 bits"
  bool Bits16 = false;      // key "16 bits"
  bool MoyRVB = true;       // key "Moy RVB": colour becomes one plane, the mean of the components
  bool SepRVB = false;      // key "Sep RVB": colour becomes three files, one per component
  std::string Objet;        // OBJECT card
  std::string Telescope;    // TELESCOP card
  std::string Instrument = "QuickCam";  // INSTRUME card
  std::string Observateur;  // OBSERVER card
  std::string Commentaire;  // COMMENT card
  // Full-depth results (section "lucky", key "pleine_profondeur"): a combined
  // result is written unrounded, as 32-bit floats (0..255) or as 16-bit
  // integers scaled to 0..65535 when Bits16 is set. Off: the 8-bit path.
  bool PleineProfondeur = false;
  friend bool operator==(const TParamFITS&, const TParamFITS&) = default;
};

// Every persistent setting, with its built-in default.
struct TParamglob {
  int32_t tolerance = 30;
  bool tolerance_automatique = false;
  bool calcul_simple = true;
  bool calcul_complexe = false;
  // Surface framing (Moon, Sun): the frame drawn on one image is tracked
  // through the others. Its own key, so older files and programs keep the
  // simple/complex choice untouched.
  bool cadrage_surface = false;
  int32_t bordure = 10;
  bool Rapport = true;
  int32_t kappa = 3;
  bool rejet_kappa = false;
  bool texte_avec_compositage = false;
  std::string repertoire;  // save directory, with a trailing separator
  bool barre_visible = true;
  bool barre_texte = false;
  bool numerotation_zero = true;
  bool Bitmap = true;
  bool Fits = false;
  TParamFITS FITS;
  // Section "lucky": frames aligned to a fraction of a pixel before a
  // combination (key "alignement_subpixel"); off, the frames are combined as
  // framed, to the whole pixel.
  bool alignement_subpixel = false;
  // Section "cadre", key "memoire_copies_mo": megabytes of memory the frame
  // copies of a sequence may take before the rest continue in a temporary
  // file; 0 keeps them all in memory, kMemoireAuto (the default) is half of
  // the physical memory.
  int32_t memoire_copies_mo = -1;
  friend bool operator==(const TParamglob&, const TParamglob&) = default;
};

// The ranges of the Parameters dialog's three number fields. Values read from
// the settings file are brought into them (ClampToDialogRanges), and the
// command line refuses options outside them: one table for both.
struct TParamRange {
  const char* Name;  // the field's name
  int32_t Min, Max;
  bool Contains(int64_t v) const { return v >= Min && v <= Max; }
  int32_t Clamp(int64_t v) const { return int32_t(v < Min ? Min : v > Max ? Max : v); }
};
inline constexpr TParamRange kBordureRange{"bordure", 0, 100};
inline constexpr TParamRange kToleranceRange{"tolerance", 0, 255};
inline constexpr TParamRange kKappaRange{"kappa", 0, 10};
inline constexpr int32_t kMemoireAuto = -1;
inline constexpr TParamRange kMemoireRange{"memoire_copies_mo", kMemoireAuto, 16 << 20};  // up to 16 TB

// The frame-copy budget in bytes that `memoire_copies_mo` stands for, with
// `automatic` the bytes of kMemoireAuto; 0 means no budget.
uint64_t FrameMemoryBudgetBytes(int32_t memoireMo, uint64_t automatic);

// Brings tolerance, bordure, kappa and memoire_copies_mo into their ranges.
void ClampToDialogRanges(TParamglob& p);

// Reads `path` into `p`: every field first gets its built-in default (the
// save directory `defaultRepertoire`), then every key present in the file is
// read. A missing file, a missing key or a value that is not a number leaves
// the default; the numbers are clamped (ClampToDialogRanges), and a repertoire
// that is not an existing directory becomes defaultRepertoire. A file that
// cannot be read, is not a regular file or is too large leaves every default
// and the failure is returned, for the caller to tell.
TStatus ReadSettings(const std::string& path, const std::string& defaultRepertoire, TParamglob& p);

// Writes every key of `p` into `path`, keeping the file's other sections and
// comments; the whole file is replaced at once through TAtomicFile, so a
// failure leaves the previous file intact. The failure's message names the
// file and the reason; SettingsWriteErrorText is the text the windows show.
TStatus WriteSettings(const std::string& path, const TParamglob& p);

// "Impossible d'écrire dans " followed by path.
std::string SettingsWriteErrorText(const std::string& path);

// Where the settings file lives when no --ini option names one: the portable
// "stellon.ini" beside the program when one already exists there, else
// $XDG_CONFIG_HOME/stellon/stellon.ini (~/.config/stellon/ without the
// variable). `programDir` is the program's folder with its trailing separator
// (empty when unknown).
std::string DefaultSettingsPath(const std::string& programDir);
// The folder of the running program, with its trailing separator, or empty.
std::string ProgramDirectory();
// The user's home folder, with its trailing separator.
std::string HomeDirectory();
// Makes the folder of `path` (and its parents) when missing.
TStatus MakeParentDirectories(const std::string& path);
