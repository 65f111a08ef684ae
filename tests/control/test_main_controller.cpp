// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's state and rules, without a window: which commands are
// available in which state (one table), navigation and ticks, the frame
// commands and the frame-size rules, automatic framing (finished and
// stopped; surface framing against stellon-cli), failed opens, settings and
// the command guard.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <stdexcept>

#include "cli/CliRun.h"
#include "support/VideoFixtures.h"
#include "control/MainController.h"
#include "tools/CombineCommand.h"
#include "platform/Messages.h"

namespace {

using C = TCommand;

// Records what the controller asks the window to do; runs jobs at once.
struct TFakeView : TMainView {
  TMainController* Controller = nullptr;
  int Sequences = 0, Pictures = 0;
  std::vector<int32_t> Ticks;
  std::vector<TJobRequest> Jobs;
  struct TReport {
    std::string Caption, Text;
    std::vector<TProblemRow> Rows;
  };
  std::vector<TReport> Reports;
  int32_t CancelAfter = -1;  // the job's cancel check says yes once this many steps are done
  int32_t Done = 0;
  bool Ended = false;

  void SequenceChanged() override { ++Sequences; }
  void TickChanged(int32_t index) override { Ticks.push_back(index); }
  void PictureChanged() override { ++Pictures; }
  void StateChanged() override {}
  void RunJobWithProgress(const TJobRequest& request) override {
    Jobs.push_back(request);
    Done = 0;
    Controller->RunJob(request.Kind, {[this] { return CancelAfter >= 0 && Done >= CancelAfter; },
                                      [this](int32_t done) { Done = done; }, [this] { Ended = true; }});
  }
  void ShowProblemReport(const std::string& caption, const std::string& text,
                         const std::vector<TProblemRow>& rows) override {
    Reports.push_back({caption, text, rows});
  }
  std::vector<std::string> Results;  // captions of the result windows shown
  std::vector<uint8_t> Stack;         // the last result image, packed
  void ShowCombinationResult(TCombineResult& result) override {
    Results.push_back(result.Caption);
    Stack = fixtures::PackedBgr(*result.Image);
  }
};

class MainControllerTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    Dir_ = new fixtures::TTempDir;
    TSampleOptions clean;
    clean.Frames = 6;
    clean.Width = 160;
    clean.Height = 120;
    clean.Seed = 4;
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(Dir_->File("clean.avi"), clean, &error)) << error;
    TSampleOptions troubled = clean;  // image 2 empty, 4 to 7 crossing an edge
    troubled.Frames = 8;
    troubled.Seed = 9;
    troubled.EmptyFrames = {1};
    troubled.PartialFrames = {3, 4, 5, 6};
    ASSERT_TRUE(WriteSampleVideo(Dir_->File("troubled.avi"), troubled, &error)) << error;
    clean.Frames = 0;
    ASSERT_TRUE(WriteSampleVideo(Dir_->File("empty.avi"), clean, &error)) << error;
    std::ofstream(Dir_->File("notes.avi")) << "these are observing notes, not a video\n";
    std::ofstream(Dir_->File("zero.avi"));
  }
  static void TearDownTestSuite() { delete Dir_; }

  static TParamglob StartSettings() {
    TParamglob s;
    s.tolerance = 30;
    s.bordure = 4;
    s.repertoire = "/pictures/";
    return s;
  }
  void SetUp() override { View.Controller = &Ctl; }

  std::string File(const char* name) const { return Dir_->File(name); }
  void Open(const char* name) {
    ASSERT_TRUE(Ctl.OpenVideo(File(name)));
    ASSERT_TRUE(Ctl.CurrentImage());
  }
  TAviList& Rec(int i) { return *Ctl.Sequence().Record(i); }
  std::vector<std::string> Asked() const {
    std::vector<std::string> out;
    for (const TMessageRequest& r : Messages_.Asked) out.push_back(r.Caption + " | " + r.Text);
    return out;
  }

  static fixtures::TTempDir* Dir_;
  TScriptedMessages Messages_;
  TMessagesScope Scope_{Messages_};
  TParamglob Settings = StartSettings();
  TFakeView View;
  TMainController Ctl{View, Settings};
};
fixtures::TTempDir* MainControllerTest::Dir_ = nullptr;

// --- Which commands are available: one table of states ---------------------------

// A state is reached by steps: "open" (the clean video), "go<n>", "next", "frame",
// "auto" (automatic tolerance), "adjusted", "badsettings" (Parameters confirmed,
// file not written), "unreadable" (the video vanishes, then next), "empty" (a
// video without images).
void Reach(MainControllerTest& t, const std::string& steps) {
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    TMainController& c = t.Ctl;
    if (step == "open") t.Open("clean.avi");
    else if (step.rfind("go", 0) == 0) c.GoTo(std::stoi(step.substr(2)));
    else if (step == "next") c.Next();
    else if (step == "frame") c.Frame();
    else if (step == "auto") t.Settings.tolerance_automatique = true;
    else if (step == "adjusted") c.AdjustedSize();
    else if (step == "empty") ASSERT_TRUE(c.OpenVideo(t.File("empty.avi")));
    else if (step == "badsettings") {
      c.WriteSettings = [] { return TStatus::Fail("Impossible d'écrire dans /x/stellon.ini"); };
      c.CommitSettings(t.Settings);
    } else if (step == "unreadable") {
      const std::string copy = t.File("gone.avi");
      std::ifstream from(t.File("clean.avi"), std::ios::binary);
      std::ofstream(copy, std::ios::binary) << from.rdbuf();
      ASSERT_TRUE(c.OpenVideo(copy));
      std::filesystem::resize_file(copy, 0);  // cut short under the open sequence
      c.Next();
      ASSERT_FALSE(c.CurrentImage());
    } else FAIL() << step;
  }
}

struct TStateCase {
  const char* Name;
  const char* Steps;
  std::set<TCommand> Enabled;  // besides the commands that are always available
  bool FrameBoxTicked = false;
  bool MenusShown = true;
};

template <class T>
std::string CaseName(const ::testing::TestParamInfo<T>& info) {
  return info.param.Name;
}

std::string Names(const std::set<TCommand>& commands) {
  std::string out;
  for (TCommand c : commands) out += std::string(CommandRules()[size_t(c)].Name) + " ";
  return out;
}

// What an image shown makes available, plus `more`, less `less`.
std::set<TCommand> Shown(std::initializer_list<TCommand> more, std::initializer_list<TCommand> less = {}) {
  std::set<TCommand> s = {C::Close,    C::Save,      C::BatchSave, C::Frame,    C::AutoFrame,     C::UncheckAll,
                          C::NormalSize, C::AdjustedSize, C::Position, C::ImageList, C::FrameBox, C::ToleranceEdit,
                          C::ToleranceSpin};
  s.insert(more);
  for (TCommand c : less) s.erase(c);
  return s;
}

class CommandAvailability : public MainControllerTest, public ::testing::WithParamInterface<TStateCase> {};

TEST_P(CommandAvailability, FollowsTheRuleTable) {
  const TStateCase& c = GetParam();
  Reach(*this, c.Steps);
  std::set<TCommand> enabled;
  for (const TCommandRule& rule : CommandRules())
    if (rule.When != TWhen::Always && Ctl.Available(rule.Command)) enabled.insert(rule.Command);
  EXPECT_EQ(Names(enabled), Names(c.Enabled));
  const TMainWindowState state = Ctl.State();
  for (const TCommandRule& rule : CommandRules()) EXPECT_EQ(state.enabled(rule.Command), Ctl.Available(rule.Command));
  EXPECT_EQ(state.FrameBoxTicked, c.FrameBoxTicked);
  EXPECT_EQ(state.FramePosition.empty(), !c.FrameBoxTicked);
  EXPECT_EQ(state.MenusShown, c.MenusShown);
}

INSTANTIATE_TEST_SUITE_P(
    States, CommandAvailability,
    ::testing::Values(
        TStateCase{"NoSequence", "", {}, false, false},
        // A failed write of the settings with no video leaves the tolerance field disabled.
        TStateCase{"NoSequenceAfterSettings", "badsettings", {}, false, false},
        TStateCase{"FirstImage", "open", Shown({C::Next})},
        TStateCase{"MiddleImage", "open go2", Shown({C::Next, C::Previous})},
        TStateCase{"LastImage", "open go5", Shown({C::Previous})},
        TStateCase{"CurrentFramed", "open frame", Shown({C::Next, C::SuppressFrame, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest}), true},
        TStateCase{"FrameOnAnotherImage", "open frame next", Shown({C::Next, C::Previous, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest})},
        TStateCase{"AutomaticTolerance", "auto open", Shown({C::Next}, {C::ToleranceEdit})},
        TStateCase{"AdjustedSize", "open adjusted", Shown({C::Next, C::ResizeFast, C::ResizeBilinear})},
        // An image that cannot be read leaves moving, the frame box and the tolerance.
        TStateCase{"UnreadableImage", "unreadable", {C::Next, C::Previous, C::Position, C::UncheckAll, C::NormalSize,
                   C::AdjustedSize, C::FrameBox, C::ToleranceEdit}, false, false},
        TStateCase{"VideoWithoutImages", "empty", {C::UncheckAll, C::NormalSize, C::AdjustedSize, C::FrameBox,
                   C::ToleranceEdit}, false, false}),
    CaseName<TStateCase>);

// --- Working values, texts, tolerance ---------------------------------------------------

TEST_F(MainControllerTest, WorkingValuesAndTexts) {
  EXPECT_EQ(Ctl.SaveDirectory, "/pictures/");
  EXPECT_EQ(Ctl.SaveBaseName + std::to_string(Ctl.SaveNumber), "Temp1");
  EXPECT_TRUE(Ctl.LotParams.AllImages);
  Ctl.SaveNumber = 7;
  EXPECT_EQ(Ctl.State().SaveNumberText, "0007");
  EXPECT_EQ(TMainController::SaveNumberText(12345), "12345");
  using M = TMainController;  // ticks of the position control: every image up to 10, else every tenth
  EXPECT_EQ((std::vector{M::PositionStep(10), M::PositionStep(11), M::PositionStep(250)}), (std::vector{1, 1, 25}));
  const std::pair<const char*, int32_t> tolerances[] = {{"999", 999}, {"12 ", 12}, {" 4 5", 45}, {"", 0}, {"7a", 0}};
  EXPECT_EQ(Ctl.Tolerance(), 30);
  for (const auto& [text, value] : tolerances) {
    Ctl.SetToleranceText(text);
    EXPECT_EQ(Ctl.Tolerance(), value) << '"' << text << '"';
  }
  Ctl.SetTolerance(400);  // the arrows stop at 255
  EXPECT_EQ(Ctl.Tolerance(), 255);
}

// --- Opening, navigation, ticks ---------------------------------------------------------------

// A file that cannot be opened is told, and the open sequence stays as it was.
class FailedOpen : public MainControllerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FailedOpen, KeepsTheOpenSequence) {
  Reach(*this, "open next frame go1");
  Ctl.TickImage(4, true);
  Ctl.GoTo(1);
  const TFastDIB* image = Ctl.CurrentImage();
  const TRect frame = Rec(1).FrameRect;
  const int sequences = View.Sequences;
  const std::string path = File(GetParam());
  EXPECT_FALSE(Ctl.OpenVideo(path));
  EXPECT_EQ(Asked(), std::vector<std::string>{"Error | " + path + "is not a valid AVI file."});
  EXPECT_EQ(View.Sequences, sequences);
  EXPECT_EQ(Ctl.CurrentImage(), image);
  EXPECT_EQ(Ctl.State().PositionLine, "Pos : 2/6 - 160x120 - 24 bits");
  EXPECT_EQ(Ctl.Sequence().AviFileName, File("clean.avi"));
  EXPECT_TRUE(Rec(1).HasFrame && Rec(1).Checked && Rec(4).Checked && Ctl.Sequence().FrameSizeSet);
  EXPECT_EQ(Rec(1).FrameRect, frame);
}
INSTANTIATE_TEST_SUITE_P(BadFiles, FailedOpen, ::testing::Values("notes.avi", "zero.avi", "missing.avi"));

TEST_F(MainControllerTest, OpeningAgainStartsAfreshAndClosingForgets) {
  Reach(*this, "open frame go3");
  Ctl.SetTolerance(40);
  Open("clean.avi");
  const TMainWindowState state = Ctl.State();
  EXPECT_EQ(state.PositionLine, "Pos : 1/6 - 160x120 - 24 bits");
  EXPECT_EQ(state.OpenName, "clean.avi");
  EXPECT_EQ(state.ViewSize, TViewSize::Normal);  // the first refresh with a sequence
  EXPECT_FALSE(Rec(0).HasFrame || Rec(0).Checked || Ctl.Available(C::SuppressAllFrames));
  EXPECT_EQ(Ctl.Tolerance(), 40);  // the working tolerance is the window's
  EXPECT_EQ(View.Sequences, 2);
  Ctl.CloseSequence();
  EXPECT_FALSE(Ctl.Sequence().SequenceOpen || Ctl.CurrentImage());
  EXPECT_EQ(Ctl.State().PositionLine + Ctl.State().OpenName, "");
  EXPECT_TRUE(Messages_.Asked.empty());
}

TEST_F(MainControllerTest, Navigation) {
  Open("clean.avi");
  Ctl.Previous();  // nothing before the first
  Ctl.Next();
  Ctl.Next();
  EXPECT_EQ(Ctl.State().PositionLine, "Pos : 3/6 - 160x120 - 24 bits");
  for (int32_t outside : {-1, 6, 99}) Ctl.GoTo(outside);
  EXPECT_EQ(Ctl.Sequence().CurrentIndex, 2);
  Ctl.GoTo(5);
  Ctl.Next();  // nothing after the last
  Ctl.Previous();
  EXPECT_EQ(Ctl.State().CurrentIndex, 4);
}

TEST_F(MainControllerTest, TickingMakesTheImageCurrentAndUncheckAllClearsEveryTick) {
  Open("clean.avi");
  Ctl.TickImage(3, true);
  EXPECT_TRUE(Rec(3).Checked);
  EXPECT_EQ(Ctl.Sequence().CurrentIndex, 3);
  Ctl.TickImage(5, true);
  Ctl.TickImage(3, false);
  EXPECT_TRUE(!Rec(3).Checked && Rec(5).Checked);
  const int pictures = View.Pictures;
  Ctl.UncheckAll();
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(Rec(i).Checked);
  EXPECT_EQ(View.Ticks, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(View.Pictures, pictures);  // the outline keeps its colour until the next redraw
}

// --- Frames and the frame size ----------------------------------------------------------------------

TEST_F(MainControllerTest, ManualFrameTicksTheImageAndFixesTheSize) {
  Reach(*this, "open frame");
  EXPECT_TRUE(Messages_.Asked.empty());
  EXPECT_TRUE(Rec(0).HasFrame && Rec(0).Checked);
  EXPECT_EQ(View.Ticks, std::vector<int32_t>{0});
  const TRect& r = Rec(0).FrameRect;
  EXPECT_EQ(Ctl.State().FramePosition, "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + ") - (" +
                                           std::to_string(r.Right) + "," + std::to_string(r.Bottom) + ")");
  Reach(*this, "next frame");  // a second frame takes the size of the first
  const TRect& f = Rec(1).FrameRect;
  EXPECT_EQ(f.Right - f.Left, Ctl.Sequence().FrameWidth + 2 * Settings.bordure);
  // The outline: solid white while ticked, dotted black once unticked.
  TFastDIB shown;
  shown.CopyFrom(*Ctl.CurrentImage());
  Ctl.DrawFrameOutline(shown);
  EXPECT_EQ(shown.GetPixel(f.Top, f.Left + 3), (TColorBGR{255, 255, 255}));
  Ctl.TickImage(1, false);
  shown.CopyFrom(*Ctl.CurrentImage());
  Ctl.DrawFrameOutline(shown);
  EXPECT_EQ(shown.GetPixel(f.Top, f.Left), (TColorBGR{0, 0, 0}));
  EXPECT_NE(shown.GetPixel(f.Top, f.Left + 3), (TColorBGR{0, 0, 0}));
}

TEST_F(MainControllerTest, ManualFrameFailures) {
  Open("clean.avi");
  Ctl.SetToleranceText("255");
  Ctl.Frame();
  EXPECT_FALSE(Rec(0).HasFrame || Ctl.Sequence().FrameSizeSet);
  Ctl.SetToleranceText("30");
  Settings.bordure = 70;  // wider than the picture allows
  Ctl.Frame();
  EXPECT_EQ(Asked(), (std::vector<std::string>{
                         "Building frame | Building frame impossible, increase tolerance or go complex.",
                         "Building frame | Frame out of image limit, decrease tolerance."}));
  EXPECT_FALSE(Rec(0).HasFrame || Ctl.State().FrameBoxTicked);
  EXPECT_GT(Ctl.Sequence().FrameWidth, 0);  // the attempt fixed the size all the same
}

TEST_F(MainControllerTest, FrameBoxKeyAndSuppressing) {
  Open("clean.avi");
  Ctl.FrameKey();  // C: frames
  ASSERT_TRUE(Rec(0).HasFrame);
  Ctl.FrameBoxClicked(false);
  EXPECT_TRUE(!Rec(0).HasFrame && Rec(0).Checked && Rec(0).HasFramePixels());  // tick and pixels stay
  EXPECT_FALSE(Ctl.Sequence().FrameSizeSet);  // no frame anywhere any more
  Ctl.FrameBoxClicked(true);
  Reach(*this, "next frame");
  Ctl.SuppressFrame();
  EXPECT_TRUE(!Rec(1).HasFrame && Rec(1).HasFramePixels());
  EXPECT_TRUE(Ctl.Sequence().FrameSizeSet);  // image 1 still has its frame
  Ctl.SuppressAllFrames();
  EXPECT_FALSE(Rec(0).HasFrame || Rec(0).HasFramePixels() || Rec(1).HasFramePixels() || Ctl.Sequence().FrameSizeSet);
  // Without an image nothing happens and nothing is asked.
  Ctl.CloseSequence();
  Ctl.Frame();
  Ctl.FrameKey();
  Ctl.SuppressFrame();
  Ctl.StartAutoFraming();
  EXPECT_TRUE(Messages_.Asked.empty() && View.Jobs.empty());
}

// --- Automatic framing: finished and stopped ---------------------------------------------------------

struct TAutoCase {
  const char* Name;
  const char* File;
  bool Report;
  int32_t CancelAfter;
  std::vector<std::string> Boxes;
  std::vector<std::string> Rows;  // of the problem report; none shown when empty
};

class AutoFraming : public MainControllerTest, public ::testing::WithParamInterface<TAutoCase> {};

TEST_P(AutoFraming, ToldAsTheRunEnded) {
  const TAutoCase& c = GetParam();
  Settings.Rapport = c.Report;
  Open(c.File);
  Ctl.GoTo(2);
  View.CancelAfter = c.CancelAfter;
  Ctl.StartAutoFraming();
  ASSERT_EQ(View.Jobs.size(), 1u);
  EXPECT_EQ(View.Jobs[0].Caption + std::to_string(View.Jobs[0].Maximum),
            "Auto framing(Simple)" + std::to_string(Ctl.Sequence().ImageCount));
  EXPECT_TRUE(View.Ended);
  EXPECT_EQ(Ctl.Sequence().CurrentIndex, 2);
  EXPECT_EQ(Asked(), c.Boxes);
  std::vector<std::string> rows;
  for (const auto& report : View.Reports) {
    EXPECT_EQ(report.Caption + " | " + report.Text, "Auto framing | Error during automatic framing");
    for (const TProblemRow& r : report.Rows) rows.push_back(r.Image + " | " + r.Error);
  }
  EXPECT_EQ(rows, c.Rows);
  // Images framed before a stop keep their frames; those not reached have none.
  for (int i = c.CancelAfter < 0 ? 99 : c.CancelAfter; i < Ctl.Sequence().ImageCount; ++i)
    EXPECT_FALSE(Rec(i).HasFrame) << i;
  EXPECT_TRUE(Rec(0).HasFrame && Rec(0).Checked);
}

const char* kNoProblem = "Automatic frames | No problem occured when building all frame";
INSTANTIATE_TEST_SUITE_P(
    Runs, AutoFraming,
    ::testing::Values(
        TAutoCase{"CleanWithReport", "clean.avi", true, -1, {kNoProblem}, {}},
        TAutoCase{"CleanWithoutReport", "clean.avi", false, -1, {}, {}},
        TAutoCase{"StoppedWithReport", "clean.avi", true, 2, {}, {"Images 3 to 6 | Not framed (stopped)"}},
        TAutoCase{"StoppedWithoutReport", "clean.avi", false, 2,
                  {"Automatic frames | Automatic framing stopped after image 2 of 6."}, {}},
        TAutoCase{"ProblemsWithReport", "troubled.avi", true, -1, {},
                  {"Image 2 | Impossible to draw frame", "Image 4 | Impossible to draw frame",
                   "Image 5 | Impossible to draw frame", "Image 6 | Frame out of limit", "Image 7 | Frame out of limit"}},
        TAutoCase{"ProblemsThenStoppedWithoutReport", "troubled.avi", false, 3,
                  {"Building frame : image2 | Building frame impossible, increase tolerance or go complex.",
                   "Automatic frames | Automatic framing stopped after image 3 of 8."},
                  {}}),
    CaseName<TAutoCase>);

// Past the memory budget the copies need the temporary folder: when it cannot
// hold them, the run stops as soon as the first frame fixes their size, before
// copying the others, and says so.
TEST_F(MainControllerTest, AutoFramingWithoutRoomForTheCopiesSaysSoBeforeCopyingThem) {
  TSampleOptions big;  // copies of about 450 KB: one fits in 1 MB, three do not
  big.Frames = 3;
  big.Width = big.Height = 400;
  big.Radius = 190;
  std::string error;
  ASSERT_TRUE(WriteSampleVideo(File("big.avi"), big, &error)) << error;
  Settings.memoire_copies_mo = 1;
  SetFrameBlockFolder("/nonexistent/stellon");
  Open("big.avi");
  Ctl.StartAutoFraming();
  SetFrameBlockFolder("");
  ApplyFrameMemoryBudget(TParamglob{});
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].rfind("Automatic frames | Not enough room for the frame copies: 2 frames of ", 0), 0u)
      << Asked()[0];
  EXPECT_NE(Asked()[0].find("/nonexistent/stellon"), std::string::npos);
  EXPECT_TRUE(Rec(0).HasFramePixels());
  EXPECT_FALSE(Rec(1).HasFrame || Rec(1).HasFramePixels() || Rec(2).HasFramePixels());
}

// --- Surface framing from the window ----------------------------------------------------------------

// Six images of a planet jittered by whole pixels and fractions of a pixel
// round (80,60); the frame is drawn round it on image 3.
class SurfaceWindow : public MainControllerTest {
 protected:
  void SetUp() override {
    MainControllerTest::SetUp();
    TSampleOptions o;
    o.Frames = 6, o.Width = 160, o.Height = 120, o.SubPixelCentres = true;
    std::string error;
    ASSERT_TRUE(WriteSampleVideo(File("moon.avi"), o, &error)) << error;
    Settings.cadrage_surface = true;
    Open("moon.avi");
    Ctl.GoTo(2);
    ASSERT_TRUE(Ctl.SetDrawnFrame({45, 25, 115, 95}));
  }
};

TEST_F(SurfaceWindow, SubPixelStackIsTheCommandLinesStack) {
  Settings.alignement_subpixel = true;
  Ctl.StartAutoFraming();
  Ctl.StartMean();
  // Both ways of asking the command line for the fraction of a pixel; the region is the frame less its margin.
  for (const char* subpixel : {"--align subpixel", "--subpixel"}) {
    const TCliRun cli = RunCli("stack '" + File("moon.avi") + "' -o '" + File("cli.bmp") +
                                   "' --surface --region 49,29,111,91 --reference 3 --margin 4 --quiet --ini '" +
                                   File("none.ini") + "' " + subpixel,
                               Dir_->Path());
    ASSERT_EQ(cli.Status, 0) << cli.Err;
    TFastDIB stack;
    ASSERT_TRUE(stack.LoadFromFile(File("cli.bmp")));
    EXPECT_TRUE(fixtures::PackedBgr(stack) == View.Stack) << subpixel;
  }
}

struct TStopCase {
  const char* Name;
  bool Surface;
  int32_t CancelAfter;            // images looked at before the stop
  const char* Box;                // told without the report
  std::vector<std::string> Rows;  // of the report
};
class StoppedRun : public SurfaceWindow, public ::testing::WithParamInterface<TStopCase> {};

// A surface run goes from image 3 to 6, then back to 1; a plain run from 1 to 6.
TEST_P(StoppedRun, NamesTheImageWhereItStopped) {
  const TStopCase& c = GetParam();
  Settings.cadrage_surface = c.Surface;
  View.CancelAfter = c.CancelAfter;
  for (const bool report : {false, true}) {
    Settings.Rapport = report;
    Ctl.StartAutoFraming();
  }
  EXPECT_EQ(Asked(), std::vector<std::string>{std::string("Automatic frames | Automatic framing stopped ") + c.Box + " of 6."});
  ASSERT_EQ(View.Reports.size(), 1u);
  std::vector<std::string> rows;
  for (const TProblemRow& r : View.Reports[0].Rows) rows.push_back(r.Image + " | " + r.Error);
  EXPECT_EQ(rows, c.Rows);
}
INSTANTIATE_TEST_SUITE_P(
    Runs, StoppedRun,
    ::testing::Values(TStopCase{"PlainAtOnce", false, 0, "before image 1", {"Images 1 to 6 | Not framed (stopped)"}},
                      TStopCase{"SurfaceAtOnce", true, 0, "before image 3", {"Images 1 to 6 | Not framed (stopped)"}},
                      TStopCase{"SurfaceForwards", true, 2, "after image 4",
                                {"Images 1 to 2 | Not framed (stopped)", "Images 5 to 6 | Not framed (stopped)"}},
                      TStopCase{"SurfaceBackwards", true, 5, "after image 2", {"Image 1 | Not framed (stopped)"}}),
    CaseName<TStopCase>);

// --- Settings and margins ----------------------------------------------------------------------------

TEST_F(MainControllerTest, CommittedSettingsKeepTheToolBarAndTellAWriteFailure) {
  Ctl.WriteSettings = [] { return TStatus::Fail("Impossible d'écrire dans /ro/stellon.ini"); };
  Settings.barre_visible = false;
  TParamglob entered = Settings;
  entered.barre_visible = true;
  entered.kappa = 5;
  entered.tolerance = 99;
  Ctl.CommitSettings(entered);
  EXPECT_EQ(Asked(), std::vector<std::string>{"Error | Impossible d'écrire dans /ro/stellon.ini"});
  EXPECT_TRUE(Settings.kappa == 5 && !Settings.barre_visible);
  EXPECT_EQ(Ctl.Tolerance(), 30);  // not taken again from the settings
}

TEST_F(MainControllerTest, MarginChangeRebuildsFramesWhenTheUserAgrees) {
  Reach(*this, "open frame go3 frame");
  TParamglob entered = Settings;
  entered.bordure = 3;
  Messages_.Answers = {TMsgButton::No, TMsgButton::Yes, TMsgButton::OK, TMsgButton::Yes};
  const TRect before = Rec(0).FrameRect;
  Ctl.CommitSettings(entered);  // declined: the frames stay, the margin is stored anyway
  EXPECT_EQ(Rec(0).FrameRect, before);
  EXPECT_EQ(Settings.bordure, 3);
  EXPECT_TRUE(Ctl.RebuildFrameMargins(5));
  const TRect o = Rec(0).ObjectRect;
  EXPECT_EQ(Rec(0).FrameRect, (TRect{o.Left - 5, o.Top - 5, o.Right + 5, o.Bottom + 5}));
  // Image 4's object pushed against the left edge: a wider margin leaves the picture.
  Rec(3).ObjectRect.Right -= Rec(3).ObjectRect.Left - 2;
  Rec(3).ObjectRect.Left = 2;
  View.Ticks.clear();
  EXPECT_TRUE(Ctl.RebuildFrameMargins(6));
  const std::string question = "Margin | Margin parameter change. Rebuild frame with new margin ?";
  EXPECT_EQ(Asked(), (std::vector<std::string>{question, question,
                                               "Margin | Frame have been rebuilt with new margin. No frame out of "
                                               "limits.No frame out of limit.",
                                               question}));
  ASSERT_EQ(View.Reports.size(), 1u);
  EXPECT_EQ(View.Reports[0].Caption, "Rebuilding frame margin ");
  EXPECT_EQ(View.Reports[0].Rows, (std::vector<TProblemRow>{{"Image 4", "Frame out of limit"}}));
  EXPECT_FALSE(Rec(3).HasFrame || Rec(3).Checked);
  EXPECT_EQ(View.Ticks, std::vector<int32_t>{3});
}

TEST_F(MainControllerTest, AFailingCommandIsToldAndThePositionComesBack) {
  Reach(*this, "open next");
  Ctl.Run([this] {
    Ctl.Sequence().CurrentIndex = 4;
    throw std::runtime_error("disk unplugged");
  });
  EXPECT_EQ(Asked(), std::vector<std::string>{"Error | " + File("clean.avi") + "\ndisk unplugged"});
  EXPECT_EQ(Ctl.State().PositionLine, "Pos : 2/6 - 160x120 - 24 bits");
}

}  // namespace

// --- Keeping the sharpest images ----------------------------------------------------------------

TEST_F(MainControllerTest, TickBestKeepsTheSharpestAndTheStatusLineTellsQualityAndRank) {
  Open("clean.avi");
  Ctl.StartAutoFraming();
  const TScores scores = Ctl.Scores();
  const std::vector<int> best = BestImages(scores, 100);
  ASSERT_EQ(best.size(), 6u);
  for (const auto& [percent, ticked] : {std::pair{50, 3}, std::pair{1, 1}, std::pair{100, 6}}) {
    Ctl.TickBest(percent);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(Rec(best[size_t(k)]).Checked, k < ticked) << percent << "% rank " << k + 1;
  }
  Ctl.GoTo(best[0]);
  EXPECT_EQ(Ctl.State().QualityLine, "Quality 1.00, 1st of 6");
  Ctl.GoTo(best[2]);
  EXPECT_EQ(Ctl.State().QualityLine.substr(0, 8), "Quality ");
  EXPECT_NE(Ctl.State().QualityLine.find(", 3rd of 6"), std::string::npos);
  // Unframed, the image has no quality, and the others are ranked without it.
  Ctl.SuppressFrame();
  EXPECT_EQ(Ctl.State().QualityLine, "");
  Ctl.GoTo(best[5]);
  EXPECT_NE(Ctl.State().QualityLine.find(", 5th of 5"), std::string::npos);
}

// --- Combination ----------------------------------------------------------------------------------

struct TCombineCase {
  bool Kappa;
  int32_t CancelAfter;
  const char* Job;     // caption + maximum of the progress bar
  const char* Result;  // caption of the result window; "" when none opens
  bool SubPixel = false;  // the Parameters' sub-pixel alignment
};
class Combination : public MainControllerTest, public ::testing::WithParamInterface<TCombineCase> {};

TEST_P(Combination, JobThenResultWindow) {
  const TCombineCase& c = GetParam();
  Open("clean.avi");
  Ctl.StartAutoFraming();
  Ctl.GoTo(3);
  View.Jobs.clear();
  View.CancelAfter = c.CancelAfter;
  Settings.alignement_subpixel = c.SubPixel;
  if (c.Kappa)
    Ctl.StartKappa(4);
  else
    Ctl.StartMean();
  ASSERT_EQ(View.Jobs.size(), 1u);
  EXPECT_EQ(View.Jobs[0].Caption + std::to_string(View.Jobs[0].Maximum),
            c.Job + std::to_string(Ctl.Sequence().FrameHeight));
  EXPECT_EQ(int(View.Jobs[0].Kind), c.Kappa ? 1030 : 1028);
  EXPECT_TRUE(View.Ended);
  EXPECT_EQ(Ctl.Sequence().CurrentIndex, 3);
  EXPECT_EQ(View.Results, *c.Result ? std::vector<std::string>{c.Result} : std::vector<std::string>{});
  if (c.Kappa) {
    EXPECT_EQ(KappaFactor, 4);
  }
}
INSTANTIATE_TEST_SUITE_P(
    Table, Combination,
    ::testing::Values(TCombineCase{false, -1, "Combinaison by mean", "Result : Combinaison by mean (6images)"},
                      TCombineCase{true, -1, "Combinaison Kappa-Sigma", "Result : Combinaison Kappa-Sigma (6images)"},
                      TCombineCase{false, 1, "Combinaison by mean", ""},
                      TCombineCase{true, 0, "Combinaison Kappa-Sigma", ""},
                      TCombineCase{false, -1, "Combinaison by mean", "Result : Combinaison by mean (6images)", true},
                      TCombineCase{true, 1, "Combinaison Kappa-Sigma", "", true}));
