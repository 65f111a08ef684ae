// SPDX-License-Identifier: GPL-3.0-or-later
// The state and rules of the result window (TShowBitmap, tools/ui/ShowBitmap.h),
// without any window: the zoom and the window geometry it gives, the result
// image that Undo puts back, the file name proposed by Save, and the save
// itself (BMP, one FITS file or three, and the report's text file).
//
// The window holds a reference to the result image (never changed, never
// freed here) and owns the report lines. The working image (what is shown,
// turned, adjusted and saved) belongs to the display control; the state only
// fills it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/FastDIB.h"
#include "image/FullDepth.h"
#include "settings/Settings.h"

enum class TCombineMethod { Mean, KappaSigma };

// "Result : Combinaison by mean (5images)" ("image)" when n < 2),
// "Result : Combinaison Kappa-Sigma (5images)" (always "images)").
std::string ResultCaption(TCombineMethod method, int n);
// "Report :" followed directly by the result window's caption.
std::string ReportCaption(const std::string& resultCaption);

// Where the picture control and the window go for a picture of w x h shown at
// `factor` (1 or 2) above a bottom panel `panelHeight` pixels high.
struct TResultGeometry {
  int ControlWidth = 0, ControlHeight = 0;  // factor * w, factor * h
  int WindowWidth = 0, WindowHeight = 0;    // outer size: fw + 20 (at least 300), panel + fh + 40
  int ControlLeft = 0, ControlTop = 10;     // centred, truncating; 10 from the top
  friend bool operator==(const TResultGeometry&, const TResultGeometry&) = default;
};
TResultGeometry ResultGeometry(int w, int h, int factor, int panelHeight);
inline constexpr int kResultMinWindowWidth = 300;

// The file-name part (no directory) of the source's name.
std::string DefaultFileName(const std::string& sourceName);
// The name proposed by Save: the default name up to its first ".", when that
// "." has at least one character before it; otherwise nothing.
std::string ProposedFileName(const std::string& defaultName);
// A chosen name goes through the FITS writer when its last three characters,
// in upper case, are "FIT" (result.fit, result.FIT; not result.fits).
bool IsFitsName(const std::string& fileName);
// Base name of the three component files: the chosen name less its ".fit"
// (Jupiter.fit gives JupiterR.fit, JupiterV.fit, JupiterB.fit).
std::string ComponentBaseName(const std::string& fileName);

// The settings a save reads.
struct TResultSaveSettings {
  bool Bitmap = true;                   // the save dialog preselects "Bitmaps" (else "Fits")
  bool texte_avec_compositage = false;  // write the report's text file beside the image
  TParamFITS FITS;                      // starting values of the FITS parameters dialog
  std::string Directory;                // where the save dialog opens (empty: its own choice)
};

// What the save needs from the windows around it.
struct TResultSaveHooks {
  // The FITS parameters dialog, started from the given values: the values
  // confirmed with OK, nothing on Cancel. Unset: the settings' values are used.
  std::function<std::optional<TParamFITS>(const TParamFITS&)> FitsParameters;
};

// What one save did.
struct TResultSaveOutcome {
  bool Stopped = false;              // the user said No to overwriting: nothing written
  std::vector<std::string> Written;  // files written, image files first, then the report
  std::string Failure;               // the message told to the user, when a file failed
};

class TResultWindowState {
 public:
  // The result (may be null: a window without picture), the source's name and
  // the report lines (absent: no Report command, no text file).
  void Setup(const TFastDIB* result, const std::string& sourceName,
             std::optional<std::vector<std::string>> report);

  // The unrounded result beside the 8-bit one (not owned; may be null). A FITS
  // save with the full-depth choice writes it instead of the working image,
  // as long as the working image is still the result as combined (not
  // rotated, resized or colour-adjusted).
  void SetFullDepth(const TFullDepthImage* full) { Full_ = full; }

  bool HasImage() const { return Result_ && Result_->Bits && Result_->Width() > 0 && Result_->AbsHeight > 0; }
  bool HasReport() const { return Report_.has_value(); }
  const std::vector<std::string>& Report() const;  // empty when absent
  const TFastDIB* Result() const { return Result_; }
  const std::string& DefaultName() const { return DefaultName_; }

  // The zoom: 1 (Normal size) or 2 (Increase size (x2)). SetZoom gives the
  // geometry at the result image's size, or nothing (and keeps the zoom) when
  // there is no image.
  int Zoom() const { return Zoom_; }
  std::optional<TResultGeometry> SetZoom(int factor, int panelHeight);

  // Undo changes (and the start): the working image becomes a 24-bit copy of
  // the result image at its size. Nothing when there is no image.
  void ResetWorking(TFastDIB& working) const;

  // Save of `working` under `chosen` (already chosen in the save dialog).
  // Asks through Messages() before replacing an existing file (once: the
  // chosen file; each existing component file of a three-file FITS save); a
  // file that cannot be written is told through Messages() with its path and
  // reason.
  TResultSaveOutcome Save(const TFastDIB& working, const std::string& chosen, const TResultSaveSettings& settings,
                          const TResultSaveHooks& hooks = {}) const;

 private:
  bool SameAsResult(const TFastDIB& working) const;
  const TFastDIB* Result_ = nullptr;
  const TFullDepthImage* Full_ = nullptr;
  std::string DefaultName_;
  std::optional<std::vector<std::string>> Report_;
  int Zoom_ = 1;
};
