// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli convert [--to24] IN.bmp OUT.bmp
// Loads a BMP file and saves it again, at the same depth or converted to 24
// bits. Exit status: 0 done, 1 a file could not be read or written, 2 bad
// arguments or an input that is not a BMP this program reads.
#include <memory>
#include <string>
#include <system_error>

#include "app/cli/Cli.h"
#include "image/Convert.h"
#include "image/FastDIB.h"

namespace {

struct TConvertArgs {
  std::string In, Out;
  bool To24 = false;
  cli::TNoClobber NoClobber;
};

int Convert(const TConvertArgs& args) {
  const std::string& in = args.In;
  const std::string& out = args.Out;
  const bool to24 = args.To24;
  if (!args.NoClobber.Allows({out})) return cli::kNotReplaced;
  TFastDIB image;
  try {
    if (!image.LoadFromFile(in)) {
      cli::Error(in + ": not a BMP file this program can read");
      return 2;
    }
  } catch (const std::system_error& e) {
    cli::Error(e.what());
    return 1;
  }
  TStatus saved;
  if (to24 && image.Bpp() != 24) {
    TFastDIB converted;
    converted.SetSize(image.Width(), image.AbsHeight, 24, 0);
    ConvertTo24(converted, image);
    converted.Info.Header.biXPelsPerMeter = image.Info.Header.biXPelsPerMeter;
    converted.Info.Header.biYPelsPerMeter = image.Info.Header.biYPelsPerMeter;
    saved = converted.SaveToFile(out);
  } else {
    saved = image.SaveToFile(out);
  }
  if (!saved) {
    cli::Error(saved.Message());
    return 1;
  }
  return 0;
}

const TCliCommand kConvert("convert", "re-save a BMP file, optionally as 24 bits", [](CLI::App& app) -> TCliRun {
  auto args = std::make_shared<TConvertArgs>();
  app.add_option("IN", args->In, "BMP file to read")->required();
  app.add_option("OUT", args->Out, "BMP file to write")->required();
  args->NoClobber.Add(app);
  app.add_flag("--to24", args->To24, "convert to 24 bits per pixel");
  return [args] { return Convert(*args); };
});

}  // namespace
