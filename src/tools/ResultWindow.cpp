// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ResultWindow.h"

#include <algorithm>
#include <cstring>
#include <cctype>
#include <filesystem>

#include "combine/Report.h"
#include "output/Fits.h"
#include "platform/Messages.h"

std::string ResultCaption(TCombineMethod method, int n) {
  if (method == TCombineMethod::KappaSigma)
    return "Result : Combinaison Kappa-Sigma (" + std::to_string(n) + "images)";
  return "Result : Combinaison by mean (" + std::to_string(n) + (n < 2 ? "image)" : "images)");
}

std::string ReportCaption(const std::string& resultCaption) { return "Report :" + resultCaption; }

TResultGeometry ResultGeometry(int w, int h, int factor, int panelHeight) {
  TResultGeometry g;
  g.ControlWidth = factor * w;
  g.ControlHeight = factor * h;
  g.WindowHeight = panelHeight + g.ControlHeight + 40;
  g.WindowWidth = std::max(g.ControlWidth + 20, kResultMinWindowWidth);
  g.ControlTop = 10;
  g.ControlLeft = (g.WindowWidth - g.ControlWidth) / 2;
  return g;
}

std::string DefaultFileName(const std::string& sourceName) {
  const size_t slash = sourceName.find_last_of('/');
  return slash == std::string::npos ? sourceName : sourceName.substr(slash + 1);
}

std::string ProposedFileName(const std::string& defaultName) {
  const size_t dot = defaultName.find('.');
  if (dot == std::string::npos || dot == 0) return {};
  return defaultName.substr(0, dot);
}

bool IsFitsName(const std::string& fileName) {
  if (fileName.size() < 3) return false;
  std::string last = fileName.substr(fileName.size() - 3);
  for (char& c : last) c = char(std::toupper(static_cast<unsigned char>(c)));
  return last == "FIT";
}

std::string ComponentBaseName(const std::string& fileName) {
  // Only a real ".fit" extension is taken off; a name that merely ends in
  // "fit" (profit) keeps all its letters.
  if (fileName.size() >= 4 && fileName[fileName.size() - 4] == '.' && IsFitsName(fileName))
    return fileName.substr(0, fileName.size() - 4);
  return fileName;
}

void TResultWindowState::Setup(const TFastDIB* result, const std::string& sourceName,
                               std::optional<std::vector<std::string>> report) {
  Result_ = result;
  DefaultName_ = DefaultFileName(sourceName);
  Report_ = std::move(report);
  Zoom_ = 1;
}

const std::vector<std::string>& TResultWindowState::Report() const {
  static const std::vector<std::string> none;
  return Report_ ? *Report_ : none;
}

std::optional<TResultGeometry> TResultWindowState::SetZoom(int factor, int panelHeight) {
  if (!HasImage()) return std::nullopt;
  Zoom_ = factor == 2 ? 2 : 1;
  return ResultGeometry(Result_->Width(), Result_->AbsHeight, Zoom_, panelHeight);
}

void TResultWindowState::ResetWorking(TFastDIB& working) const {
  if (!HasImage()) return;
  if (Result_->Bpp() == 24) {
    working.CopyFrom(*Result_);
    return;
  }
  // Any other depth: the pixels one by one into a 24-bit picture.
  working.SetSize(Result_->Width(), Result_->AbsHeight, 24, 0);
  for (int y = 0; y < Result_->AbsHeight; ++y)
    for (int x = 0; x < Result_->Width(); ++x) working.SetPixel(y, x, Result_->GetPixel(y, x));
}

namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

bool TResultWindowState::SameAsResult(const TFastDIB& working) const {
  if (!HasImage() || !Full_ || working.Width() != Result_->Width() || working.AbsHeight != Result_->AbsHeight ||
      working.Bpp() != 24 || Result_->Bpp() != 24 || Full_->Width != Result_->Width() ||
      Full_->Height != Result_->AbsHeight)
    return false;
  const size_t row = size_t(working.Width()) * 3;
  for (int y = 0; y < working.AbsHeight; ++y)
    if (std::memcmp(working.Scanlines[size_t(y)], Result_->Scanlines[size_t(y)], row) != 0) return false;
  return true;
}

TResultSaveOutcome TResultWindowState::Save(const TFastDIB& working, const std::string& chosen,
                                            const TResultSaveSettings& settings,
                                            const TResultSaveHooks& hooks) const {
  TResultSaveOutcome out;
  const bool existed = Exists(chosen);
  if (existed && Messages().Show({"Save", "File" + chosen + " existe.\nOverwrite this file ?", TMsgIcon::Error,
                                  {TMsgButton::Yes, TMsgButton::No}}) != TMsgButton::Yes) {
    out.Stopped = true;
    return out;
  }
  const auto fail = [&](const std::string& reason) {
    out.Failure = reason;
    Messages().Ok("Error", reason, TMsgIcon::Error);
  };
  TStatus status;
  if (IsFitsName(chosen)) {
    std::optional<TParamFITS> fits =
        hooks.FitsParameters ? hooks.FitsParameters(settings.FITS) : std::optional<TParamFITS>(settings.FITS);
    if (fits) {
      TFitsOptions options{*fits, TOverwritePolicy::Replace()};  // the chosen file: already agreed
      const bool full = fits->PleineProfondeur && Full_ && SameAsResult(working);
      if (fits->SepRVB) {
        // Each component file that exists is asked about; a No keeps that file only.
        std::vector<std::string> kept;
        options.Overwrite = TOverwritePolicy::Asking([&kept](const std::string& path) {
          const bool yes = Messages().Show({"Warning", "Replace file" + path, TMsgIcon::Warning,
                                            {TMsgButton::Yes, TMsgButton::No}}) == TMsgButton::Yes;
          if (!yes) kept.push_back(path);
          return yes;
        });
        const std::string base = ComponentBaseName(chosen);
        status = full ? EcrireFitsRVBFull(base, "", *Full_, FitsDepthOf(*fits), options)
                      : EcrireFitsRVB(base, "", working, options);
        if (status)
          for (const char* c : {"R", "V", "B"}) {
            const std::string name = base + c + ".fit";
            if (std::find(kept.begin(), kept.end(), name) == kept.end()) out.Written.push_back(name);
          }
      } else {
        bool written = false;
        status = full ? EcrireFitsFull(chosen, "", kFitsMean, *Full_, FitsDepthOf(*fits), options, &written)
                      : EcrireFits(chosen, "", kFitsMean, working, options, &written);
        if (status && written) out.Written.push_back(chosen);
      }
    }
  } else {
    status = working.SaveToFile(chosen);
    if (status) out.Written.push_back(chosen);
  }
  if (!status) {
    fail(status.Message());
    return out;
  }
  if (settings.texte_avec_compositage && HasReport()) {
    const std::string report = ReportFileName(chosen);
    if (const TStatus saved = SaveReportLines(*Report_, report))
      out.Written.push_back(report);
    else
      fail(saved.Message());
  }
  return out;
}
