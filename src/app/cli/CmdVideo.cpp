// SPDX-License-Identifier: GPL-3.0-or-later
// Video subcommands of stellon-cli:
//   sample OUT.avi [--frames N] [--size WxH] [--seed S] [--format F]
//       writes a synthetic planet video (F: 8, 16, 24, 32, yuy2, mjpeg; default 24).
//   sample OUT.ser [--format 8|16] [--bayer RGGB|GRBG|GBRG|BGGR] [--depth D]
//       the same planet as a SER capture, mono or a raw Bayer mosaic.
//   info FILE...   (FILE...: one AVI video, one Kelvaron list .lst, or BMP files in order)
//       prints "frames: N", "width: W", "height: H", "bits: B" of the first
//       image that can be read (0 when none can), "format: AVI|SER|MP4|...",
//       and for SER "colour: MONO|RGGB|..." and "depth: D".
//   extract FILE... INDEX OUT.bmp
//       saves image INDEX (from 1) as a BMP file, 24 bits (32 for a 32-bit video).
// Exit status: 0 done; 1 a file could not be written; 2 bad arguments, or FILE
// is not a valid AVI file (the path followed by "is not a valid AVI file." on
// standard error); 3 the image cannot be read (info: no image can be read).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>

#include "app/cli/Cli.h"
#include "app/cli/FramingOptions.h"
#include "image/FastDIB.h"
#include "app/cli/FramingOptions.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"
#include "sources/SerFormat.h"

namespace {



struct TSampleArgs {
  std::string Out, Size, Format, Bayer;
  int Depth = 0;
  long long Seed = TSampleOptions().Seed;
  TSampleOptions Options;
  cli::TNoClobber NoClobber;
};

// "WxH" with both sides in range and a picture the image buffer can hold.
std::string CheckSize(const std::string& text) {
  int w = 0, h = 0;
  char x = 0, extra = 0;
  const auto side = cli::range::kSide;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &extra) != 3 || (x != 'x' && x != 'X') || w < side.Min ||
      w > side.Max || h < side.Min || h > side.Max || (long long)w * h > TFastDIB::kMaxPixels)
    return "WxH wanted, " + std::to_string(side.Min) + " to " + std::to_string(side.Max) + " each, not '" + text + "'";
  return {};
}

bool IsSerPath(const std::string& path) {
  return path.size() > 4 && (path.compare(path.size() - 4, 4, ".ser") == 0 || path.compare(path.size() - 4, 4, ".SER") == 0);
}

int Sample(const TSampleArgs& args) {
  if (!args.NoClobber.Allows({args.Out})) return cli::kNotReplaced;
  TSampleOptions o = args.Options;
  o.Seed = uint32_t(args.Seed);
  if (!args.Size.empty()) std::sscanf(args.Size.c_str(), "%d%*c%d", &o.Width, &o.Height);
  std::string error;
  if (IsSerPath(args.Out)) {
    // A SER capture: mono, or a raw Bayer mosaic; 8 or 16 bits (or --depth).
    int32_t colour = ser::Mono;
    for (const int32_t id : {ser::BayerRggb, ser::BayerGrbg, ser::BayerGbrg, ser::BayerBggr})
      if (ser::ColourName(id) == args.Bayer) colour = id;
    const int depth = args.Depth ? args.Depth : args.Format == "16" ? 16 : 8;
    if (!WriteSampleSer(args.Out, o, colour, depth, &error)) return cli::Error(args.Out + ": " + error), 1;
    return 0;
  }
  if (!args.Format.empty()) ParseSampleFormat(args.Format, o.Format);
  if (!WriteSampleVideo(args.Out, o, &error)) return cli::Error(args.Out + ": " + error), 1;
  return 0;
}

int Info(const std::vector<std::string>& files) {
  TSequence seq;
  if (!cli::OpenVideo(seq, files)) return 2;
  TFastDIB image;
  bool read = false;
  for (int i = 0; i < seq.ImageCount && !read; ++i) read = seq.ReadImage(i, image).ok();
  std::printf("frames: %d\nwidth: %d\nheight: %d\nbits: %d\n", seq.ImageCount, read ? image.Width() : 0,
              read ? image.AbsHeight : 0, read ? image.Bpp() : 0);
  const TImageSource* source = seq.Source();
  std::printf("format: %s\n", source ? source->Facts().Format.c_str() : "AVI");
  if (source && source->Facts().Format == "SER")
    std::printf("colour: %s\ndepth: %d\n", source->Facts().ColourLayout.c_str(), source->Facts().BitsPerPixel);
  if (!read) cli::Error(files[0] + (seq.ImageCount == 0 ? ": no images" : ": no image can be read"));
  return read ? 0 : 3;
}

struct TExtractArgs {
  std::vector<std::string> Files;
  std::string Out;
  long long Index = 0;
  cli::TNoClobber NoClobber;
};

int Extract(const TExtractArgs& args) {
  if (!args.NoClobber.Allows({args.Out})) return cli::kNotReplaced;
  TSequence seq;
  if (!cli::OpenVideo(seq, args.Files)) return 2;
  TFastDIB image;
  seq.CurrentIndex = int32_t(args.Index - 1);
  if (args.Index > seq.ImageCount || !seq.FetchImage(image))
    return cli::Error("image " + std::to_string(args.Index) + " of " + args.Files[0] + " cannot be read"), 3;
  if (const TStatus s = image.SaveToFile(args.Out); !s) {
    cli::Error(s.Message());
    return 1;
  }
  return 0;
}

const TCliCommand kSample("sample", "write a synthetic planet video", [](CLI::App& app) -> TCliRun {
  auto args = std::make_shared<TSampleArgs>();
  app.add_option("OUT", args->Out, "AVI file to write, or a SER capture (OUT.ser)")->required();
  args->NoClobber.Add(app);
  app.add_option("--frames", args->Options.Frames, "number of images")
      ->capture_default_str()
      ->check(cli::range::kFrames.Check());
  app.add_option("--size", args->Size, "image size WxH (default 320x240)")->check(CLI::Validator(CheckSize, "WxH"));
  app.add_option("--seed", args->Seed, "seed of the planet's wandering")
      ->capture_default_str()->check(cli::range::kSeed.Check());
  app.add_option("--format", args->Format, "pixel format: 8, 16, 24, 32, yuy2 or mjpeg (default 24)")
      ->check(CLI::Validator(
          [](std::string& text) {
            TVideoCodec codec;
            return ParseSampleFormat(text, codec) ? std::string() : "8, 16, 24, 32, yuy2 or mjpeg, not '" + text + "'";
          },
          "FORMAT"));
  app.add_option("--bayer", args->Bayer, "SER only: a raw Bayer mosaic instead of mono")
      ->check(CLI::IsMember({"RGGB", "GRBG", "GBRG", "BGGR"}));
  app.add_option("--depth", args->Depth, "SER only: bits per sample, 1 to 16 (default 8, or 16 with --format 16)")
      ->check(CLI::Range(1, 16));
  return [args] { return Sample(*args); };
});

const TCliCommand kInfo("info", "frames and size of a video or an image list", [](CLI::App& app) -> TCliRun {
  auto files = std::make_shared<std::vector<std::string>>();
  cli::AddSequenceFiles(app, *files);
  return [files] { return Info(*files); };
});

const TCliCommand kExtract("extract", "save one image of a video or an image list as BMP", [](CLI::App& app) -> TCliRun {
  // FILE... INDEX OUT: the sequence's files take every argument but the last two.
  auto args = std::make_shared<TExtractArgs>();
  auto all = std::make_shared<std::vector<std::string>>();
  app.add_option("FILE... INDEX OUT", *all,
                 std::string(cli::kSequenceFiles) + ", then the image number (from 1) and the BMP file to write")
      ->required()
      ->expected(3, -1);
  args->NoClobber.Add(app);
  return [args, all] {
    args->Files.assign(all->begin(), all->end() - 2);
    args->Out = all->back();
    const std::string& index = (*all)[all->size() - 2];
    const auto range = cli::range::kImageIndex;
    char* end = nullptr;
    errno = 0;
    args->Index = std::strtoll(index.c_str(), &end, 10);
    if (index.empty() || *end != '\0' || errno != 0 || args->Index < range.Min || args->Index > range.Max)
      return cli::ArgumentError("INDEX: Value " + index + " not in range " + std::to_string(range.Min) + " to " +
                                std::to_string(range.Max));
    return Extract(*args);
  };
});

}  // namespace
