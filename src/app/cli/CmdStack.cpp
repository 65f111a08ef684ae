// stellon-cli stack: automatic framing of every image of an AVI video, then the
// combination of every framed image, written as BMP (OUT ending in .bmp) or
// FITS (OUT ending in .fit, either case), with the combination report beside
// it on request (OUT less its extension + ".txt").
//
// Settings come from the settings file (--ini PATH picks it); the options
// override them for this run only. An existing output file is replaced.
//
// Printed on standard output:
//   framed: F of M          images framed by automatic framing, of all images
//   combined: N             images that took part
//   left-out: L             ticked, framed images whose frame has another size (only when L > 0)
//   written: PATH           one line per image file written
//   report: PATH            with --report
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "combine/Combine.h"
#include "combine/Report.h"
#include "framing/AutoFrame.h"
#include "output/Fits.h"
#include "platform/Messages.h"
#include "sequence/Sequence.h"

namespace {

constexpr const char* kUsage =
    "stack FILE -o OUT [--method mean|kappa] [--kappa K] [--reject-mean] [--fits-bits 8|16] [--fits-split] "
    "[--report] [--ini PATH] [--tolerance T] [--auto-tolerance] [--simple|--complex] [--margin M]";

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A batch run answers the writers' "Replace file" question with Yes and
// prints everything else on standard error.
class TBatchMessages : public TMessages {
 public:
  TMsgButton Show(const TMessageRequest& r) override {
    for (TMsgButton b : r.Buttons)
      if (b == TMsgButton::Yes) return b;
    std::fprintf(stderr, "%s: %s\n", r.Caption.c_str(), r.Text.c_str());
    return r.Buttons.empty() ? TMsgButton::None : r.Buttons.front();
  }
};

int RunStack(TCliArgs args) {
  std::string out, method = "mean", kappaText, bits;
  const bool hasOut = cli::TakeOption(args, "-o", out);
  cli::TakeOption(args, "--method", method);
  const bool hasKappa = cli::TakeOption(args, "--kappa", kappaText);
  const bool rejectMean = cli::TakeFlag(args, "--reject-mean");
  const bool hasBits = cli::TakeOption(args, "--fits-bits", bits);
  const bool split = cli::TakeFlag(args, "--fits-split");
  const bool report = cli::TakeFlag(args, "--report");
  const cli::TFramingOptions options = cli::TFramingOptions::Take(args);
  if (args.size() != 1 || args[0].rfind("-", 0) == 0 || !hasOut || out.empty()) {
    cli::Error(std::string("usage: ") + kUsage);
    return 2;
  }
  const std::string ext = Lower(std::filesystem::path(out).extension().string());
  const bool toBmp = ext == ".bmp", toFits = ext == ".fit";
  if (!toBmp && !toFits) {
    cli::Error("OUT must end in .bmp or .fit, not '" + out + "'");
    return 2;
  }
  if (method != "mean" && method != "kappa") {
    cli::Error("--method is mean or kappa, not '" + method + "'");
    return 2;
  }
  if (hasBits && bits != "8" && bits != "16") {
    cli::Error("--fits-bits is 8 or 16, not '" + bits + "'");
    return 2;
  }
  TParamglob params;
  TSequence sequence;
  if (!options.Apply(params, sequence)) return 2;
  if (hasKappa && (!cli::ParseInt(kappaText, params.kappa) || params.kappa < 0)) {
    cli::Error("--kappa wants a whole number of 0 or more, not '" + kappaText + "'");
    return 2;
  }
  if (rejectMean) params.rejet_kappa = true;
  if (hasBits) {
    params.FITS.Bits8 = bits == "8";
    params.FITS.Bits16 = bits == "16";
  }
  if (split) {
    params.FITS.SepRVB = true;
    params.FITS.MoyRVB = false;
  }

  const cli::TVideoService video;
  if (!cli::OpenVideo(sequence, args[0])) return 2;
  const TAutoFrameResult framing = AutoFrameAll(sequence, params);
  if (!framing.NoRoom.empty()) {
    cli::Error(framing.NoRoom);
    return 1;
  }
  const int total = sequence.ImageList.Count();
  std::printf("framed: %d of %d\n", total - int(framing.Problems.size()), total);

  TCombineParams cp;
  cp.bordure = params.bordure;
  cp.kappa = params.kappa;
  cp.rejet_kappa = params.rejet_kappa;
  const bool kappa = method == "kappa";
  if (kappa) KappaFactor = params.kappa;
  TCombineOutcome result = kappa ? KappaSigmaCombine(sequence, cp) : MeanCombine(sequence, cp);
  if (!result.Image) {
    cli::Error("the combination was stopped");
    return 1;
  }
  std::printf("combined: %d\n", result.Count());
  if (!result.WrongSize.empty()) std::printf("left-out: %d\n", int(result.WrongSize.size()));
  if (result.Count() == 0) cli::Error("warning: no image could be framed; the result is black");

  TBatchMessages answers;
  TMessagesScope scope(answers);
  std::vector<std::string> written;
  if (toBmp) {
    result.Image->SaveToFile(out);
    written.push_back(out);
  } else {
    ParamFits = params.FITS;
    if (params.FITS.SepRVB) {
      // As the result window does: jup.fit gives jupR.fit, jupV.fit, jupB.fit.
      const std::string base = out.substr(0, out.size() - 4);
      EcrireFitsRVB(base, "", *result.Image);
      for (const char* c : {"R", "V", "B"}) written.push_back(base + c + ".fit");
    } else {
      EcrireFits(out, "", kFitsMean, *result.Image);
      written.push_back(out);
    }
  }
  for (const std::string& w : written) std::printf("written: %s\n", w.c_str());

  if (report) {
    TCombinationReportFacts facts;
    facts.Title = kappa ? kReportTitleKappa : kReportTitleMean;
    if (kappa) facts.Kappa = params.kappa;
    facts.UsedImages.assign(result.Used.begin(), result.Used.end());
    facts.LeftOutImages.assign(result.WrongSize.begin(), result.WrongSize.end());
    const std::string path = ReportFileName(out);
    if (!SaveReportLines(BuildCombinationReport(sequence, facts), path)) {
      cli::Error("cannot write " + path);
      return 1;
    }
    std::printf("report: %s\n", path.c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const TCliCommand kStack("stack", kUsage, [](const TCliArgs& args) { return RunStack(args); });

}  // namespace
