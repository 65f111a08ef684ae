// Video subcommands of stellon-cli:
//   sample OUT.avi [--frames N] [--size WxH] [--seed S] [--format F]
//       writes a synthetic planet video (F: 8, 16, 24, 32, yuy2, mjpeg; default 24).
//   info FILE
//       prints "frames: N", "width: W", "height: H", "bits: B" of the first
//       image that can be read (0 when none can).
//   extract FILE INDEX OUT.bmp
//       saves image INDEX (from 1) as a BMP file, 24 bits (32 for a 32-bit video).
// Exit status: 0 done; 1 a file could not be written; 2 bad arguments, or FILE
// is not a valid AVI file (the path followed by "is not a valid AVI file." on
// standard error); 3 the image cannot be read (info: no image can be read).
#include <cstdio>
#include <string>
#include <system_error>

#include "app/cli/Cli.h"
#include "image/FastDIB.h"
#include "app/cli/FramingOptions.h"
#include "sequence/SamplePlanet.h"
#include "sequence/Sequence.h"

namespace {

// Whole decimal number in [lo, hi].
bool ParseInt(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty() || s.size() > 18) return false;
  size_t used = 0;
  try {
    out = std::stoll(s, &used, 10);
  } catch (...) {
    return false;
  }
  return used == s.size() && out >= lo && out <= hi;
}

int Sample(const TCliArgs& argsIn) {
  TCliArgs args = argsIn;
  TSampleOptions o;
  std::string value;
  long long n = 0;
  if (cli::TakeOption(args, "--frames", value)) {
    if (!ParseInt(value, 0, 1000000, n)) return cli::Error("bad --frames value"), 2;
    o.Frames = int(n);
  }
  if (cli::TakeOption(args, "--seed", value)) {
    if (!ParseInt(value, 0, 0xFFFFFFFFll, n)) return cli::Error("bad --seed value"), 2;
    o.Seed = uint32_t(n);
  }
  if (cli::TakeOption(args, "--size", value)) {
    const size_t x = value.find_first_of("xX");
    long long w = 0, h = 0;
    if (x == std::string::npos || !ParseInt(value.substr(0, x), 8, 32767, w) ||
        !ParseInt(value.substr(x + 1), 8, 32767, h) || w * h > TFastDIB::kMaxPixels)
      return cli::Error("bad --size value (WxH, 8 to 32767 each)"), 2;
    o.Width = int(w);
    o.Height = int(h);
  }
  if (cli::TakeOption(args, "--format", value) && !ParseSampleFormat(value, o.Format))
    return cli::Error("bad --format value (8, 16, 24, 32, yuy2, mjpeg)"), 2;
  if (args.size() != 1) return cli::Error("usage: sample OUT.avi [--frames N] [--size WxH] [--seed S] [--format F]"), 2;
  std::string error;
  if (!WriteSampleVideo(args[0], o, &error)) return cli::Error(args[0] + ": " + error), 1;
  return 0;
}

int Info(const TCliArgs& args) {
  if (args.size() != 1) return cli::Error("usage: info FILE"), 2;
  TSequence seq;
  if (!cli::OpenVideo(seq, args[0])) return 2;
  TFastDIB image;
  bool read = false;
  for (int i = 0; i < seq.ImageCount && !read; ++i) read = seq.ReadImage(i, image).ok();
  std::printf("frames: %d\nwidth: %d\nheight: %d\nbits: %d\n", seq.ImageCount, read ? image.Width() : 0,
              read ? image.AbsHeight : 0, read ? image.Bpp() : 0);
  if (!read) cli::Error(seq.ImageCount == 0 ? args[0] + ": no images" : args[0] + ": no image can be read");
  return read ? 0 : 3;
}

int Extract(const TCliArgs& args) {
  long long index = 0;
  if (args.size() != 3 || !ParseInt(args[1], 1, 0x7FFFFFFFll, index))
    return cli::Error("usage: extract FILE INDEX OUT.bmp (INDEX from 1)"), 2;
  TSequence seq;
  if (!cli::OpenVideo(seq, args[0])) return 2;
  TFastDIB image;
  seq.CurrentIndex = int32_t(index - 1);
  if (index > seq.ImageCount || !seq.FetchImage(image))
    return cli::Error("image " + args[1] + " of " + args[0] + " cannot be read"), 3;
  try {
    image.SaveToFile(args[2]);
  } catch (const std::system_error& e) {
    cli::Error(e.what());
    return 1;
  }
  return 0;
}

const TCliCommand kSample("sample",
                          "sample OUT.avi [--frames N] [--size WxH] [--seed S] [--format 8|16|24|32|yuy2|mjpeg]"
                          "   write a synthetic planet video",
                          Sample);
const TCliCommand kInfo("info", "info FILE   frames and size of an AVI video", Info);
const TCliCommand kExtract("extract", "extract FILE INDEX OUT.bmp   save image INDEX (from 1) of an AVI as BMP", Extract);

}  // namespace
