// SPDX-License-Identifier: GPL-3.0-or-later
// stellon-cli run as a program: a script of command lines, the files written, limits, help and progress.
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include "CliRun.h"
#include "base/Version.h"
#include "image/Convert.h"

namespace fs = std::filesystem;
using namespace fixtures;

namespace {

constexpr int kArg = -2;  // exit status 2 with the two lines of an argument error

struct TRow {
  const char* Args;  // {d}: the test's folder
  int Status;
  const char* Out;  // regular expressions searched in standard output and error; "": nothing printed
  const char* Err;
};

// Later rows use the files earlier ones write; a run that must write nothing is given names bad.*.
// moon.avi: four windows of one texture cut at (40,30), (45,28), (30,40), (52,33); planet.avi: image 4 empty.
const TRow kScript[] = {
    {"--version", 0, "^stellon-cli " STELLON_VERSION_TEXT "\n$", ""},
    // --help lists every command, each with its own help
    {"--help", 0,
     "\nSubcommands:\n  align .*\n  convert .*\n  extract .*\n  frame .*\n  info .*\n  rank .*\n  sample .*\n  save .*\n  stack .*\n\n", ""},
    {"align --help", 0, "\nUsage: stellon-cli align ", ""}, {"convert --help", 0, "\nUsage: stellon-cli convert ", ""},
    {"extract --help", 0, "\nUsage: stellon-cli extract ", ""}, {"frame --help", 0, "\nUsage: stellon-cli frame ", ""},
    {"info --help", 0, "\nUsage: stellon-cli info ", ""}, {"rank --help", 0, "\nUsage: stellon-cli rank ", ""},
    {"sample --help", 0, "\nUsage: stellon-cli sample ", ""}, {"save --help", 0, "\nUsage: stellon-cli save ", ""},
    {"stack --help", 0, "\nUsage: stellon-cli stack ", ""},
    {"help stack", 0, "\nUsage: stellon-cli stack \\[OPTIONS\\] FILE\\.\\.\\.\n", ""},
    {"nosuch", 2, "", "^stellon-cli: unknown command 'nosuch'\nRun 'stellon-cli --help' for more information.\n$"},
    {"info {d}/s.avi --no-such-option", kArg, "", "--no-such-option"},
    // sample, info, extract
    {"sample {d}/s.avi --frames 4 --size 64x48 --seed 3 --format 32", 0, "", ""},
    {"info {d}/s.avi", 0, "^frames: 4\nwidth: 64\nheight: 48\nbits: 32\nformat: AVI\n$", ""},
    {"extract {d}/s.avi 2 {d}/s2.bmp", 0, "", ""},
    {"extract {d}/s.avi 5 {d}/bad.bmp", 3, "", "image 5 of .*s.avi cannot be read"},
    {"extract {d}/s.avi 0 {d}/bad.bmp", kArg, "", "INDEX: Value 0 not in range 1 to"},
    {"sample {d}/bad.avi --frames 1000001", kArg, "", "not in range 0 to 1000000"},
    {"sample {d}/bad.avi --size 10by10", kArg, "", "WxH"},
    {"sample {d}/bad.avi --format 12", kArg, "", "--format: 8, 16, 24, 32, yuy2 or mjpeg, not '12'"},
    {"sample {d}/e.avi --frames 0", 0, "", ""},
    {"info {d}/e.avi", 3, "^frames: 0\nwidth: 0\nheight: 0\nbits: 0\nformat: AVI\n$", "."},
    {"extract {d}/e.avi 1 {d}/bad.bmp", 3, "", "."},
    {"sample {d}/j.avi --frames 2 --format mjpeg", 0, "", ""},
    {"info {d}/j.avi", 0, "^frames: 2\nwidth: 320\nheight: 240\nbits: 24\nformat: AVI\n$", ""},
    // swapped.avi: index entries 2 and 3 swapped
    {"info {d}/swapped.avi", 0, "^frames: 3\n", "^stellon-cli: warning: {d}/swapped.avi: 1 unusable index entry skipped\n$"},
    {"info {d}/readme.avi", 2, "", "^{d}/readme.aviis not a valid AVI file.\n$"},
    {"extract {d}/readme.avi 1 {d}/bad.bmp", 2, "", "is not a valid AVI file"},
    {"info /dev/zero", 2, "", "It is not a regular file \\(a pipe or a device\\)"},
    {"stack {d} -o {d}/bad.bmp", 2, "", "It is a folder"},
    // SER captures, mono and Bayer
    {"sample {d}/c.ser --frames 6 --size 96x64 --format 8", 0, "", ""},
    {"info {d}/c.ser", 0, "^frames: 6\nwidth: 96\nheight: 64\nbits: 24\nformat: SER\ncolour: MONO\ndepth: 8\n$", ""},
    {"stack {d}/c.ser -o {d}/c.bmp --quiet", 0, "framed: 6 of 6", ""},
    {"sample {d}/c.ser --frames 6 --size 96x64 --format 16 --depth 12", 0, "", ""},
    {"info {d}/c.ser", 0, "colour: MONO\ndepth: 12\n$", ""},
    {"sample {d}/c.ser --frames 6 --size 96x64 --bayer GBRG --format 16", 0, "", ""},
    {"info {d}/c.ser", 0, "colour: GBRG\ndepth: 16\n$", ""},
    {"stack {d}/c.ser -o {d}/c.bmp --quiet", 0, "framed: 6 of 6", ""},
    {"sample {d}/c.ser --frames 6 --size 96x64 --bayer RGGB", 0, "", ""},
    {"info {d}/c.ser", 0, "colour: RGGB\ndepth: 8\n$", ""},
    {"info {d}/none.ser", 2, "", "none.ser: "},
    // BMP files and Kelvaron lists (night.lst: p3.bmp, then p1.bmp found beside the list, then a gone file)
    {"info {d}/p1.bmp {d}/p2.bmp {d}/p3.bmp", 0, "^frames: 3\nwidth: 100\nheight: 80\nbits: 24\nformat: BMP\n$", ""},
    {"info {d}/night.lst", 0, "^frames: 2\n", "File /gone/x.bmpnot existe."},
    {"extract {d}/night.lst 2 {d}/l2.bmp", 0, "", "."},
    {"frame --quiet --margin 4 --ini {d}/none.ini {d}/p1.bmp {d}/p2.bmp {d}/p3.bmp", 0, "^1 ok .*\n2 ok .*\n3 ok .*\nframe-size: ", ""},
    {"stack --quiet --margin 4 --ini {d}/none.ini {d}/night.lst -o {d}/l.bmp", 0, "written: {d}/l.bmp\n$", "."},
    {"save --quiet --ini {d}/none.ini {d}/night.lst {d}/lists", 0,
     "^written: {d}/lists/Temp0001.bmp\nwritten: {d}/lists/Temp0002.bmp\n$", "."},
    {"save {d}/p1.bmp {d}/p2.bmp", kArg, "", "OUTDIR: "},
    {"save {d}/p1.bmp {d}/bad --memory-budget -1", kArg, "", "--memory-budget"},
    {"info {d}/p1.bmp {d}/notes.bmp", 2, "", "notes.bmp: not a readable BMP file"},
    {"info {d}/none.lst", 2, "", "not existe."},
    {"info {d}/empty.lst", 2, "", "no listed image file exists"},
    // convert
    {"convert {d}/in.bmp {d}/same.bmp", 0, "", ""},
    {"convert --to24 {d}/in.bmp {d}/rgb.bmp", 0, "", ""},
    {"convert {d}/notes.bmp {d}/bad.bmp", 2, "", "^stellon-cli: {d}/notes.bmp: not a BMP file this program can read\n$"},
    {"convert {d}/missing.bmp {d}/bad.bmp", 1, "", "missing.bmp: No such file or directory"},
    {"convert {d}/in.bmp {d}/readme.avi/bad.bmp", 1, "", "Not a directory"},
    {"convert {d}/in.bmp", kArg, "", "OUT is required"},
    {"convert --to24", kArg, "", "IN is required"},
    // frame: the settings file, the options, the framing modes
    {"frame {d}/planet.avi --ini {d}/far.ini", 0, "^1 not-found\n(.*\n)*frame-size: none\n$", ""},
    {"frame {d}/planet.avi --ini {d}/far.ini --auto-tolerance --complex --margin 2", 0, "^1 ok .*\n.*\n.*\n4 not-found\n", ""},
    {"frame", kArg, "", "FILE is required"},
    {"frame {d}/planet.avi --tolerance 256", kArg, "", "not in range 0 to 255"},
    {"frame {d}/planet.avi --margin -1", kArg, "", "--margin"},
    {"frame {d}/planet.avi --simple --complex", kArg, "", "excludes"},
    {"frame {d}/readme.avi", 2, "", "readme.aviis not a valid AVI file."},
    // surface framing: region (20,20)-(59,49) of image 1 sits in image i at 20 + 40 - cut x, 20 + 30 - cut y
    {"frame {d}/moon.avi --surface --region 20,20,59,49 --margin 2", 0,
     "^1 ok 18 18 61 51\n2 ok 13 20 56 53\n3 ok 28 8 71 41\n4 ok 6 15 49 48\nframe-size: 44 34\n$", ""},
    {"frame {d}/moon.avi --surface --region 15,22,54,51 --reference 2 --margin 0", 0, "^1 ok 20 20 59 49\n2 ok 15 22 54 51\n", ""},
    {"frame {d}/moon.avi --surface --region 20,20,59,49 --margin 15 --quiet", 0, "\n4 out-of-limit\n", ""},
    {"stack {d}/moon.avi -o {d}/moon.bmp --surface --region 20,20,59,49 --margin 2 --quiet", 0, "^framed: 4 of 4\ncombined: 4\n", ""},
    {"save {d}/moon.avi {d}/moon --surface --region 20,20,59,49 --margin 2 --quiet", 0, "Temp0004.bmp\n$", ""},
    {"frame {d}/moon.avi --region 20,20,59,49", kArg, "", "--region requires --surface"},
    {"frame {d}/moon.avi --surface", kArg, "", "--surface requires --region"},
    {"frame {d}/moon.avi --surface --region 20,20,59", kArg, "", "--region"},
    {"frame {d}/moon.avi --surface --region 30,30,20,20", kArg, "", "must not be less than left and top"},
    {"frame {d}/moon.avi --surface --region 100,20,140,49", kArg, "", "is not inside reference image 1 \\(128x96\\)"},
    {"frame {d}/moon.avi --surface --region 20,20,59,49 --reference 5", kArg, "", "reference image 5 is not in"},
    // stack: nothing to combine, bad options, a folder that does not exist
    {"stack {d}/e.avi --ini {d}/far.ini -o {d}/bad.bmp --report", 3, "^framed: 0 of 0\ncombined: 0\n$",
     "has no images.*nothing written"},
    {"stack {d}/planet.avi --ini {d}/far.ini -o {d}/bad.fit --report", 3, "^framed: 0 of 12\ncombined: 0\n$",
     "could be framed.*nothing written"},
    {"stack {d}/planet.avi", kArg, "", "--output is required"},
    {"stack {d}/planet.avi -o {d}/bad.png", kArg, "", "OUT must end in .bmp or .fit"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --method median", kArg, "", "--method"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --kappa 11", kArg, "", "not in range 0 to 10"},
    {"stack {d}/planet.avi -o {d}/bad.fit --fits-bits 12", kArg, "", "--fits-bits"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --best 0", kArg, "", "--best"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --best 101", kArg, "", "--best"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --align centre", kArg, "", "--align"},
    {"stack {d}/planet.avi -o {d}/bad.bmp --full-depth", kArg, "", "--full-depth needs a FITS output"},
    {"stack {d}/none.avi -o {d}/bad.bmp", 2, "", "none.aviis not a valid AVI file."},
    {"stack {d}/planet.avi -o {d}/no/such/bad.bmp --quiet", 1, "combined: 9\n$", "No such file or directory"},
    // the report is named from the real extension
    {"stack {d}/planet.avi -o {d}/my.result.BMP --report --quiet", 0, "report: {d}/my.result.txt\n$", ""},
};

TFastDIB Moon(int cutX, int cutY) {
  static const std::vector<int> texture = [] {
    std::mt19937 rng(21);
    std::vector<int> t(240 * 200);
    for (int& v : t) v = int(rng() % 256);
    return t;
  }();
  TFastDIB d;
  d.SetSize(128, 96, 24, 0);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 128; ++x) {  // a 2 x 2 box blur keeps the texture smooth enough for the halved levels
      const size_t at = size_t(y + cutY) * 240 + size_t(x + cutX);
      const uint8_t v = uint8_t((texture[at] + texture[at + 1] + texture[at + 240] + texture[at + 241]) / 4);
      d.SetPixel(y, x, TColorBGR{v, v, v});
    }
  return d;
}

void MakeInputs(const TTempDir& dir) {
  ASSERT_TRUE(WriteSampleVideo(dir.File("planet.avi"), CliPlanetOptions(), nullptr));
  TVideoWriterOptions o;
  o.Width = 128, o.Height = 96;
  std::vector<TFastDIB> moon;
  for (const auto& [x, y] : {std::pair{40, 30}, {45, 28}, {30, 40}, {52, 33}}) moon.push_back(Moon(x, y));
  ASSERT_TRUE(WriteVideo(dir.File("moon.avi"), o, moon));
  o.Width = 8, o.Height = 6;
  TVideoWriter w;
  ASSERT_TRUE(w.Open(dir.File("dropped.avi"), o, nullptr) && w.WriteDroppedFrame(nullptr));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(w.WriteFrame(Pattern24(8, 6, i), nullptr));
  ASSERT_TRUE(w.Close(nullptr));
  std::string bytes = ReadFileBytes(dir.File("dropped.avi"));
  const size_t e = bytes.find("idx1") + 8 + 2 * 16;
  WriteFileBytes(dir.File("swapped.avi"), bytes.substr(0, e) + bytes.substr(e + 16, 16) + bytes.substr(e, 16) +
                                              bytes.substr(e + 32));
  for (int i = 0; i < 3; ++i) {  // a bright square that moves by one pixel
    TFastDIB d;
    d.SetSize(100, 80, 24, 0);
    for (int y = 30; y < 40; ++y)
      for (int x = 40 + i; x < 50 + i; ++x) d.Pixels24(y)[x] = TColorBGR{200, 200, 200};
    ASSERT_TRUE(d.SaveToFile(dir.File("p" + std::to_string(i + 1) + ".bmp")).ok());
  }
  std::ofstream(dir.File("night.lst")) << "0\r\n" << dir.Path() << "\\\r\np3.bmp\r\n3\r\n4\r\n5\r\n6\r\n"
                                       << "C:\\obs\\\r\np1.bmp\r\n3\r\n4\r\n5\r\n6\r\n/gone/\r\nx.bmp\r\n";
  std::ofstream(dir.File("empty.lst")) << "0\n/gone/\nx.bmp\n";
  ASSERT_TRUE(Pattern8(5, 3, 3, 0).SaveToFile(dir.File("in.bmp")));
  WriteFileBytes(dir.File("readme.avi"), "hello\n");
  WriteFileBytes(dir.File("notes.bmp"), "not a bitmap");
  WriteFileBytes(dir.File("far.ini"), "[cadre]\ntolerance=250\nbordure=40\n");  // nothing is that bright
  for (const char* folder : {"lists", "moon"}) fs::create_directory(dir.File(folder));
}

std::string Expand(const std::string& text, const std::string& dir) {
  return std::regex_replace(text, std::regex("\\{d\\}"), dir);
}

TEST(CliScript, StatusAndOutputOfEveryRunAndTheFilesWritten) {
  TTempDir dir;
  MakeInputs(dir);
  for (const TRow& row : kScript) {
    SCOPED_TRACE(row.Args);
    const TCliRun r = RunCli(Expand(row.Args, dir.Path()), dir.Path());
    EXPECT_EQ(r.Status, row.Status == kArg ? 2 : row.Status) << r.Err;
    for (const auto& [text, pattern] : {std::pair{r.Out, row.Out}, std::pair{r.Err, row.Err}}) {
      if (*pattern) EXPECT_TRUE(std::regex_search(text, std::regex(Expand(pattern, dir.Path())))) << pattern << " in\n" << text;
      else EXPECT_EQ(text, "");
    }
    if (row.Status == kArg) {
      const std::string who = "stellon-cli " + std::string(row.Args).substr(0, std::string(row.Args).find(' '));
      EXPECT_TRUE(std::regex_match(r.Err, std::regex(who + ": .*\nRun '" + who + " --help' for more information.\n"))) << r.Err;
    }
  }
  for (const auto& e : fs::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string().rfind("bad", 0), 0u) << e.path() << " written by a refused run";
  // extract: the image as rendered; from a list, the listed file; convert: the same depth, or 24 bits.
  TSampleOptions s;
  s.Width = 64, s.Height = 48, s.Seed = 3;
  TFastDIB got, want, in;
  RenderSampleFrame(s, 1, want);
  ASSERT_TRUE(got.LoadFromFile(dir.File("s2.bmp")));
  EXPECT_EQ(got.Bpp(), 32);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(got.GetPixel(y, x), want.GetPixel(y, x)) << x << "," << y;
  EXPECT_EQ(ReadFileBytes(dir.File("l2.bmp")), ReadFileBytes(dir.File("p1.bmp")));
  ASSERT_TRUE(in.LoadFromFile(dir.File("in.bmp")) && got.LoadFromFile(dir.File("same.bmp")));
  EXPECT_EQ(got.Bpp(), 8);
  EXPECT_TRUE(std::equal(got.Bits, got.Bits + got.Size(), in.Bits));
  want.SetSize(5, 3, 24, 0);
  ConvertTo24(want, in);
  ASSERT_TRUE(got.LoadFromFile(dir.File("rgb.bmp")));
  EXPECT_EQ(got.Bpp(), 24);
  EXPECT_TRUE(PackedBgr(got) == PackedBgr(want));
  EXPECT_EQ(fs::file_size(dir.File("rgb.bmp")), 54u + 16 * 3);
}

// --no-clobber refuses before writing anything and names the file in the way; without it the file is replaced.
TEST(CliWrites, NoClobberRefusesAndKeepsTheFile) {
  const struct {
    const char* Args;
    std::vector<const char*> Existing, Absent;  // files there beforehand; files a refused run must not make
  } cases[] = {{"sample {d}/out.avi --frames 2 --size 32x32", {"out.avi"}, {}},
               {"convert {d}/in.bmp {d}/out.bmp", {"out.bmp"}, {}},
               {"extract {d}/v.avi 1 {d}/out.bmp", {"out.bmp"}, {}},
               {"stack {d}/v.avi -o {d}/out.fit --fits-split --margin 2", {"outV.fit"}, {"outR.fit", "outB.fit"}},
               {"stack {d}/v.avi -o {d}/out.bmp --report --margin 2", {"out.txt"}, {"out.bmp"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args);
    TTempDir dir;
    ASSERT_EQ(RunCli("sample " + dir.File("v.avi") + " --frames 3 --size 64x48", dir.Path()).Status, 0);
    ASSERT_TRUE(Pattern24(4, 4, 0).SaveToFile(dir.File("in.bmp")));
    for (const char* e : c.Existing) WriteFileBytes(dir.File(e), "old");
    const TCliRun refused = RunCli(Expand(c.Args, dir.Path()) + " --no-clobber", dir.Path());
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Err, "stellon-cli: " + dir.File(c.Existing[0]) + ": exists; not replaced (--no-clobber)\n");
    for (const char* e : c.Existing) EXPECT_EQ(ReadFileBytes(dir.File(e)), "old") << e;
    for (const char* a : c.Absent) EXPECT_FALSE(fs::exists(dir.File(a))) << a;
    EXPECT_EQ(RunCli(Expand(c.Args, dir.Path()), dir.Path()).Status, 0);
    for (const char* e : c.Existing) EXPECT_NE(ReadFileBytes(dir.File(e)), "old") << e;
  }
}

// Past the file-size limit: exit 1 naming the file, neither it nor a temporary one left.
TEST(CliWrites, FileSizeLimitIsAReportedFailure) {
  using P = std::pair<const char*, const char*>;
  for (const auto& [args, said] : {P{"sample {d}/out/big.avi --frames 20 --size 320x240", std::strerror(EFBIG)},
                                   P{"save {d}/v.avi {d}/out --quiet", "{d}/out/Temp0001.bmp"}}) {
    TTempDir dir;
    fs::create_directory(dir.File("out"));
    ASSERT_EQ(RunCli("sample " + dir.File("v.avi") + " --frames 2 --size 160x120", dir.Path()).Status, 0);
    const TCliRun r = RunCli(Expand(args, dir.Path()), dir.Path(), "ulimit -f 64;");  // less than one 160 x 120 BMP
    EXPECT_EQ(r.Status, 1) << args;
    EXPECT_NE(r.Err.find(Expand(said, dir.Path())), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::is_empty(dir.File("out"))) << args;
  }
}

// The progress bar goes to standard error when it is a terminal (made by script(1)), unless --quiet.
TEST(CliProgress, OnlyOnATerminalAndNotWhenQuiet) {
  TTempDir dir;
  ASSERT_EQ(RunCli("sample " + dir.File("v.avi") + " --frames 6 --size 64x48", dir.Path()).Status, 0);
  const std::string frame = "frame " + dir.File("v.avi") + " --ini " + dir.File("none.ini");
  if (std::system("script -q -e -c true /dev/null >/dev/null 2>&1 </dev/null") != 0)
    GTEST_SKIP() << "script(1) cannot make a terminal here";
  for (const auto& [quiet, bar] : {std::pair{"", "6/6 images"}, std::pair{" --quiet", ""}}) {
    const std::string tty = dir.File("tty.txt");
    std::system(("script -q -e -c \"'" STELLON_CLI "' " + frame + quiet + " >/dev/null\" /dev/null >" + tty +
                 " 2>&1 </dev/null").c_str());
    const std::string said = ReadFileBytes(tty);
    EXPECT_TRUE(*bar ? said.find(bar) != std::string::npos : said.empty()) << said;
  }
}

}  // namespace
