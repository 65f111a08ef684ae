#include "tools/ResultWindow.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

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

// The FITS writer asks before replacing its file. For the one file the user
// has just agreed to replace, that answer is given again instead of asking
// twice; every other question goes to the user.
// It also remembers which replace questions were answered otherwise than Yes.
class TAgreedReplace : public TMessages {
 public:
  TAgreedReplace(TMessages& next, std::string agreedFile) : Next_(next), Agreed_(std::move(agreedFile)) {}
  TMsgButton Show(const TMessageRequest& r) override {
    if (!Agreed_.empty() && r.Text == kReplace + Agreed_) return TMsgButton::Yes;
    const TMsgButton answer = Next_.Show(r);
    if (answer != TMsgButton::Yes && r.Text.rfind(kReplace, 0) == 0) Declined_.push_back(r.Text.substr(kReplace.size()));
    return answer;
  }
  bool Declined(const std::string& file) const {
    return std::find(Declined_.begin(), Declined_.end(), file) != Declined_.end();
  }

 private:
  inline static const std::string kReplace = "Replace file";
  TMessages& Next_;
  std::string Agreed_;
  std::vector<std::string> Declined_;
};

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

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
  try {
    if (IsFitsName(chosen)) {
      std::optional<TParamFITS> fits =
          hooks.FitsParameters ? hooks.FitsParameters(settings.FITS) : std::optional<TParamFITS>(settings.FITS);
      if (fits) {
        ParamFits = *fits;
        if (fits->SepRVB) {
          // The writer asks about each component file that exists; a No
          // skips that file only.
          const std::string base = ComponentBaseName(chosen);
          TAgreedReplace declined(Messages(), "");
          TMessagesScope scope(declined);
          EcrireFitsRVB(base, "", working);
          for (const char* c : {"R", "V", "B"}) {
            const std::string name = base + c + ".fit";
            if (!declined.Declined(name)) out.Written.push_back(name);
          }
        } else {
          TAgreedReplace agreed(Messages(), chosen);
          TMessagesScope scope(agreed);
          if (EcrireFits(chosen, "", kFitsMean, working)) out.Written.push_back(chosen);
        }
      }
    } else {
      working.SaveToFile(chosen);
      out.Written.push_back(chosen);
    }
  } catch (const std::system_error& e) {
    fail(e.what());
    return out;
  }
  if (settings.texte_avec_compositage && HasReport()) {
    const std::string report = ReportFileName(chosen);
    if (SaveReportLines(*Report_, report))
      out.Written.push_back(report);
    else
      fail("cannot write " + report);
  }
  return out;
}
