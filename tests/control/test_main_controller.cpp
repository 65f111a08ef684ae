// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's state and rules, without a window.
#include <set>
#include <stdexcept>
#include "ControllerRig.h"
#include "sequence/FrameBlockPool.h"

namespace {

using C = TCommand;

std::string Names(const std::set<TCommand>& commands) {
  std::string out;
  for (TCommand c : commands) out += std::string(CommandRules()[size_t(c)].Name) + " ";
  return out;
}

// What an image shown makes available, plus `more`, less `less`.
std::set<TCommand> WithImage(std::initializer_list<TCommand> more, std::initializer_list<TCommand> less = {}) {
  std::set<TCommand> s = {C::Close,      C::Save,         C::BatchSave, C::Frame,     C::AutoFrame,
                          C::UncheckAll, C::NormalSize,   C::AdjustedSize, C::Position, C::ImageList,
                          C::FrameBox,   C::ToleranceEdit, C::ToleranceSpin};
  s.insert(more);
  for (TCommand c : less) s.erase(c);
  return s;
}

TEST(MainController, CommandsFollowTheRuleTable) {
  const struct {
    const char* Steps;
    std::set<TCommand> Enabled;  // besides the commands that are always available
    bool FrameBoxTicked = false, MenusShown = true;
  } cases[] = {
      {"", {}, false, false},
      {"badsettings", {}, false, false},  // a failed write with no video leaves the tolerance field disabled
      {"open", WithImage({C::Next})},
      {"open go2", WithImage({C::Next, C::Previous})},
      {"open go5", WithImage({C::Previous})},
      {"open frame", WithImage({C::Next, C::SuppressFrame, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest}), true},
      {"open frame next", WithImage({C::Next, C::Previous, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest})},
      {"auto open", WithImage({C::Next}, {C::ToleranceEdit})},
      {"open adjusted", WithImage({C::Next, C::ResizeFast, C::ResizeBilinear})},
      // An image that cannot be read leaves moving, the frame box and the tolerance.
      {"unreadable", {C::Next, C::Previous, C::Position, C::UncheckAll, C::NormalSize, C::AdjustedSize, C::FrameBox,
                      C::ToleranceEdit}, false, false},
      {"open:empty.avi", {C::UncheckAll, C::NormalSize, C::AdjustedSize, C::FrameBox, C::ToleranceEdit}, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Steps);
    TRig t;
    t.Reach(c.Steps);
    std::set<TCommand> enabled;
    const TMainWindowState state = t.Ctl.State();
    for (const TCommandRule& rule : CommandRules()) {
      if (rule.When != TWhen::Always && t.Ctl.Available(rule.Command)) enabled.insert(rule.Command);
      EXPECT_EQ(state.enabled(rule.Command), t.Ctl.Available(rule.Command)) << rule.Name;
    }
    EXPECT_EQ(Names(enabled), Names(c.Enabled));
    EXPECT_EQ(state.FrameBoxTicked, c.FrameBoxTicked);
    EXPECT_EQ(state.FramePosition.empty(), !c.FrameBoxTicked);
    EXPECT_EQ(state.MenusShown, c.MenusShown);
  }
}

// "@current tol T ticked .. framed .. pixels .. size set|kept|none told ..": told: ticks the window was told of.
std::string Summary(TRig& t) {
  auto list = [&](auto has) {
    std::string s;
    for (int i = 0; i < t.Ctl.Sequence().ImageCount; ++i)
      if (has(t.Rec(i))) s += " " + std::to_string(i);
    return s.empty() ? " -" : s;
  };
  std::string told;
  for (int32_t i : t.View.Ticks) told += " " + std::to_string(i);
  const TSequence& q = t.Ctl.Sequence();
  return "@" + std::to_string(q.CurrentIndex) + " tol " + std::to_string(t.Ctl.Tolerance()) + " ticked" +
         list([](TAviList& r) { return r.Checked; }) + " framed" + list([](TAviList& r) { return r.HasFrame; }) +
         " pixels" + list([](TAviList& r) { return r.HasFramePixels(); }) + " size " +
         (q.FrameSizeSet ? "set" : q.FrameWidth > 0 ? "kept" : "none") + " told" + (told.empty() ? " -" : told);
}

// The jobs ("message caption images|rows|maximum"), the problem reports and the result windows shown.
std::vector<std::string> Shown(TRig& t) {
  std::vector<std::string> out;
  for (const TJobRequest& j : t.View.Jobs)
    out.push_back(std::to_string(int(j.Kind)) + " " + j.Caption +
                  (j.Maximum == t.Ctl.Sequence().ImageCount ? " images"
                   : j.Maximum == t.Ctl.Sequence().FrameHeight ? " rows" : " " + std::to_string(j.Maximum)));
  out.insert(out.end(), t.View.Reports.begin(), t.View.Reports.end());
  out.insert(out.end(), t.View.Results.begin(), t.View.Results.end());
  return out;
}

TEST(MainController, StepsLeaveTheImagesAsTheyShould) {
  const std::string kImpossible = "Building frame | Building frame impossible, increase tolerance or go complex.";
  const std::string kAuto = "1029 Auto framing(Simple) images", kReport = "Auto framing | Error during automatic framing";
  const std::string kSurface = "1029 Auto framing(Surface) images";
  const std::string kMean = "1028 Combinaison by mean rows", kKappa = "1030 Combinaison Kappa-Sigma rows";
  const char* kAll = "ticked 0 1 2 3 4 5 framed 0 1 2 3 4 5 pixels 0 1 2 3 4 5 size set told 0 1 2 3 4 5";
  const struct {
    std::string Steps, After;
    std::vector<std::string> Asked = {}, Shown = {};
  } cases[] = {
      {"open prev next next", "@2 tol 30 ticked - framed - pixels - size none told -"},
      {"open next next go-1 go6 go99", "@2 tol 30 ticked - framed - pixels - size none told -"},
      {"open go5 next prev", "@4 tol 30 ticked - framed - pixels - size none told -"},
      {"open tick3 tick5 untick3", "@3 tol 30 ticked 5 framed - pixels - size none told -"},
      {"open tick3 tick5 uncheck", "@5 tol 30 ticked - framed - pixels - size none told 0 1 2 3 4 5"},
      {"open frame", "@0 tol 30 ticked 0 framed 0 pixels 0 size set told 0"},
      {"open tol255 frame", "@0 tol 255 ticked - framed - pixels - size none told -", {kImpossible}},
      {"open:troubled.avi go1 frame", "@1 tol 30 ticked - framed - pixels - size none told -", {kImpossible}},
      // wider than the picture allows: the attempt fixes the size all the same
      {"open margin70 frame", "@0 tol 30 ticked - framed - pixels - size kept told -",
       {"Building frame | Frame out of image limit, decrease tolerance."}},
      // Unticking the Frame box keeps the tick and the pixels; suppressing keeps the pixels, but not all.
      {"open key boxoff", "@0 tol 30 ticked 0 framed - pixels 0 size kept told 0"},
      {"open key boxoff boxon next frame suppress", "@1 tol 30 ticked 0 1 framed 0 pixels 0 1 size set told 0 0 1"},
      {"open key next frame suppressall", "@1 tol 30 ticked 0 1 framed - pixels - size kept told 0 1"},
      {"open frame go3 tol40 open", "@0 tol 40 ticked - framed - pixels - size none told 0"},
      {"open tol40 badsettings", "@0 tol 40 ticked - framed - pixels - size none told -",  // tolerance not taken again
       {"Error | Impossible d'écrire dans /x/stellon.ini"}},
      {"open tick2 close frame key suppress autoframe mean", "@0 tol 30 ticked - framed - pixels - size none told -"},
      // automatic framing, told as the run ended; images framed before a stop keep their frames
      {"open go2 autoframe", "@2 tol 30 " + std::string(kAll),
       {"Automatic frames | No problem occured when building all frame"}, {kAuto}},
      {"noreport open go2 autoframe", "@2 tol 30 " + std::string(kAll), {}, {kAuto}},
      {"open go2 cancel2 autoframe", "@2 tol 30 ticked 0 1 framed 0 1 pixels 0 1 size set told 0 1", {},
       {kAuto, kReport, "Images 3 to 6 | Not framed (stopped)"}},
      {"noreport open go2 cancel2 autoframe", "@2 tol 30 ticked 0 1 framed 0 1 pixels 0 1 size set told 0 1",
       {"Automatic frames | Automatic framing stopped after image 2 of 6."}, {kAuto}},
      {"open:troubled.avi go2 autoframe", "@2 tol 30 ticked 0 2 7 framed 0 2 7 pixels 0 2 7 size set told 0 2 7",
       {}, {kAuto, kReport, "Image 2 | Impossible to draw frame", "Image 4 | Impossible to draw frame",
            "Image 5 | Impossible to draw frame", "Image 6 | Frame out of limit", "Image 7 | Frame out of limit"}},
      {"noreport open:troubled.avi go2 cancel3 autoframe", "@2 tol 30 ticked 0 2 framed 0 2 pixels 0 2 size set told 0 2",
       {"Building frame : image2 | Building frame impossible, increase tolerance or go complex.",
        "Automatic frames | Automatic framing stopped after image 3 of 8."}, {kAuto}},
      // a stopped run names the last image seen (surface: from image 3 to 6, then 1), its report those not reached
      {"open:moon.avi go2 set45,25,115,95 cancel0 noreport autoframe report autoframe",
       "@2 tol 30 ticked 2 framed 2 pixels 2 size set told 2",
       {"Automatic frames | Automatic framing stopped before image 1 of 6."},
       {kAuto, kAuto, kReport, "Images 1 to 6 | Not framed (stopped)"}},
      {"surface open:moon.avi go2 set45,25,115,95 cancel0 noreport autoframe report autoframe",
       "@2 tol 30 ticked 2 framed 2 pixels 2 size set told 2",
       {"Automatic frames | Automatic framing stopped before image 3 of 6."},
       {kSurface, kSurface, kReport, "Images 1 to 6 | Not framed (stopped)"}},
      {"surface open:moon.avi go2 set45,25,115,95 cancel2 noreport autoframe report autoframe",
       "@2 tol 30 ticked 2 3 framed 2 3 pixels 2 3 size set told 2 2 3 2 3",
       {"Automatic frames | Automatic framing stopped after image 4 of 6."},
       {kSurface, kSurface, kReport, "Images 1 to 2 | Not framed (stopped)", "Images 5 to 6 | Not framed (stopped)"}},
      {"surface open:moon.avi go2 set45,25,115,95 cancel5 noreport autoframe report autoframe",
       "@2 tol 30 ticked 1 2 3 4 5 framed 1 2 3 4 5 pixels 1 2 3 4 5 size set told 2 2 3 4 5 1 2 3 4 5 1",
       {"Automatic frames | Automatic framing stopped after image 2 of 6."},
       {kSurface, kSurface, kReport, "Image 1 | Not framed (stopped)"}},
      // mean and kappa-sigma run as jobs, then show the result window unless stopped
      {"noreport open autoframe go3 mean", "@3 tol 30 " + std::string(kAll), {},
       {kAuto, kMean, "Result : Combinaison by mean (6images)"}},
      {"noreport open autoframe go3 subpixel kappa4", "@3 tol 30 " + std::string(kAll), {},
       {kAuto, kKappa, "Result : Combinaison Kappa-Sigma (6images)"}},
      {"noreport open autoframe go3 cancel1 mean", "@3 tol 30 " + std::string(kAll), {}, {kAuto, kMean}},
      {"noreport open autoframe go3 cancel0 kappa4", "@3 tol 30 " + std::string(kAll), {}, {kAuto, kKappa}},
      {"noreport open autoframe go3 subpixel cancel1 kappa4", "@3 tol 30 " + std::string(kAll), {}, {kAuto, kKappa}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Steps);
    TRig t;
    t.Reach(c.Steps);
    EXPECT_EQ(Summary(t), c.After);
    EXPECT_EQ(t.Asked(), c.Asked);
    EXPECT_EQ(Shown(t), c.Shown);
    EXPECT_EQ(t.View.Ended, !t.View.Jobs.empty());
  }
  EXPECT_EQ(KappaFactor, 4);  // the kappa chosen is kept
}

// Sub-pixel surface framing in the window stacks as the command line does (region: the frame less its margin).
TEST(MainController, SubPixelSurfaceStackIsTheCommandLinesStack) {
  TRig t;
  t.Reach("surface subpixel open:moon.avi go2 set45,25,115,95 autoframe mean");
  const std::string dir = std::filesystem::path(Video("moon.avi")).parent_path().string();
  for (const char* subpixel : {"--align subpixel", "--subpixel"}) {
    const TCliRun cli = RunCli("stack " + dir + "/moon.avi -o " + dir + "/cli.bmp --surface --region 49,29,111,91 " +
                                   "--reference 3 --margin 4 --quiet --ini " + dir + "/none.ini " + subpixel, dir);
    ASSERT_EQ(cli.Status, 0) << cli.Err;
    TFastDIB stack;
    ASSERT_TRUE(stack.LoadFromFile(dir + "/cli.bmp"));
    EXPECT_TRUE(fixtures::PackedBgr(stack) == t.View.Stack) << subpixel;
  }
}

// Copies past the memory budget with no room in the temporary folder: a planet run stops after its first
// frame fixes the copies' size, a surface run (size known from its region) before its first.
TEST(MainController, AutoFramingWithoutRoomForTheCopiesSaysSoBeforeCopyingThem) {
  TSampleOptions big;  // copies of about 450 KB: one fits in 1 MB, three do not
  big.Frames = 3, big.Width = big.Height = 400, big.Radius = 190;
  ASSERT_TRUE(WriteSampleVideo(Video("big.avi"), big, nullptr));
  for (auto [steps, left] : {std::pair{"open:big.avi autoframe", 2}, {"surface open:big.avi set2,2,398,398 autoframe", 3}}) {
    SCOPED_TRACE(steps);
    TRig t;
    t.Settings.memoire_copies_mo = 1;
    ApplyFrameMemoryBudget(t.Settings);  // before the drawn frame's copy too
    SetFrameBlockFolder("/nonexistent/stellon");
    t.Reach(steps);
    SetFrameBlockFolder("");
    ApplyFrameMemoryBudget(TParamglob{});
    ASSERT_EQ(t.Asked().size(), 1u) << Summary(t);
    const std::string want = "Automatic frames | Not enough room for the frame copies: " + std::to_string(left) + " frames of ";
    EXPECT_EQ(t.Asked()[0].rfind(want, 0), 0u) << t.Asked()[0];
    EXPECT_NE(t.Asked()[0].find("/nonexistent/stellon"), std::string::npos);
    EXPECT_EQ(Summary(t).substr(0, 37), "@0 tol 30 ticked 0 framed 0 pixels 0 ");
  }
}

// A manual frame: its position text, a second of the first's size, outline solid white if ticked, else dotted.
TEST(MainController, ManualFramePositionSizeAndOutline) {
  TRig t;
  t.Reach("open frame");
  const TRect& r = t.Rec(0).FrameRect;
  EXPECT_EQ(t.Ctl.State().FramePosition, "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + ") - (" +
                                             std::to_string(r.Right) + "," + std::to_string(r.Bottom) + ")");
  t.Reach("next frame");
  const TRect& f = t.Rec(1).FrameRect;
  EXPECT_EQ(f.Right - f.Left, t.Ctl.Sequence().FrameWidth + 2 * t.Settings.bordure);
  TFastDIB shown;
  for (const bool ticked : {true, false}) {
    t.Ctl.TickImage(1, ticked);
    shown.CopyFrom(*t.Ctl.CurrentImage());
    t.Ctl.DrawFrameOutline(shown);
    const TColorBGR corner = shown.GetPixel(f.Top, f.Left), gap = shown.GetPixel(f.Top, f.Left + 3), black{};
    EXPECT_TRUE(ticked ? gap == (TColorBGR{255, 255, 255}) : corner == black && gap != black) << ticked;
  }
}

// The saving working values start from the settings; numbers, position steps and typed tolerances.
TEST(MainController, WorkingValuesAndTexts) {
  TRig t;
  EXPECT_EQ(t.Ctl.SaveDirectory + t.Ctl.SaveBaseName + std::to_string(t.Ctl.SaveNumber), "/pictures/Temp1");
  EXPECT_TRUE(t.Ctl.LotParams.AllImages);
  t.Ctl.SaveNumber = 7;
  EXPECT_EQ(t.Ctl.State().SaveNumberText, "0007");
  EXPECT_EQ(TMainController::SaveNumberText(12345), "12345");
  using M = TMainController;  // ticks of the position control: every image up to 10, else every tenth
  EXPECT_EQ((std::vector{M::PositionStep(10), M::PositionStep(11), M::PositionStep(250)}), (std::vector{1, 1, 25}));
  EXPECT_EQ(t.Ctl.Tolerance(), 30);
  for (const auto& [text, value] : {std::pair{"999", 999}, {"12 ", 12}, {" 4 5", 45}, {"", 0}, {"7a", 0}}) {
    t.Ctl.SetToleranceText(text);
    EXPECT_EQ(t.Ctl.Tolerance(), value) << '"' << text << '"';
  }
  t.Ctl.SetTolerance(400);  // the arrows stop at 255
  EXPECT_EQ(t.Ctl.Tolerance(), 255);
}

// A file that cannot be opened is told, the sequence stays; opening again starts afresh; a failing command is
// told; closing forgets.
TEST(MainController, FailedOpenReopenFailingCommandAndClose) {
  for (const char* bad : {"notes.avi", "zero.avi", "missing.avi"}) {
    SCOPED_TRACE(bad);
    TRig t;
    t.Reach("open next frame tick4 go1");
    const TFastDIB* image = t.Ctl.CurrentImage();
    const std::string before = Summary(t);
    EXPECT_FALSE(t.Ctl.OpenVideo(Video(bad)));
    EXPECT_EQ(t.Asked(), std::vector<std::string>{"Error | " + Video(bad) + "is not a valid AVI file."});
    EXPECT_EQ(t.View.Sequences, 1);
    EXPECT_EQ(t.Ctl.CurrentImage(), image);
    EXPECT_EQ(Summary(t), before);
    EXPECT_EQ(t.Ctl.State().PositionLine + t.Ctl.State().OpenName, "Pos : 2/6 - 160x120 - 24 bitsclean.avi");
    t.Reach("open");
    EXPECT_EQ(t.Ctl.State().ViewSize, TViewSize::Normal);  // the first refresh with a sequence
    EXPECT_FALSE(t.Ctl.Available(C::SuppressAllFrames));
    EXPECT_EQ(t.View.Sequences, 2);
    t.Ctl.Run([&t] {  // a failing command is told and the position comes back
      t.Ctl.Sequence().CurrentIndex = 4;
      throw std::runtime_error("disk unplugged");
    });
    EXPECT_EQ(t.Asked().back(), "Error | " + Video("clean.avi") + "\ndisk unplugged");
    EXPECT_EQ(t.Ctl.State().PositionLine, "Pos : 1/6 - 160x120 - 24 bits");
    t.Ctl.CloseSequence();
    EXPECT_FALSE(t.Ctl.Sequence().SequenceOpen || t.Ctl.CurrentImage());
    EXPECT_EQ(t.Ctl.State().PositionLine + t.Ctl.State().OpenName, "");
  }
}

TEST(MainController, MarginChangeRebuildsFramesWhenTheUserAgrees) {
  TRig t;
  t.Reach("open frame go3 frame");
  t.Settings.barre_visible = false;
  TParamglob entered = t.Settings;
  entered.bordure = 3, entered.barre_visible = true, entered.kappa = 5;
  t.Messages.Answers = {TMsgButton::No, TMsgButton::Yes, TMsgButton::OK, TMsgButton::Yes};
  const TRect before = t.Rec(0).FrameRect;
  t.Ctl.CommitSettings(entered);  // declined: the frames stay, the margin is stored anyway
  EXPECT_EQ(t.Rec(0).FrameRect, before);
  EXPECT_TRUE(t.Settings.bordure == 3 && t.Settings.kappa == 5 && !t.Settings.barre_visible);  // the tool bar kept
  EXPECT_TRUE(t.Ctl.RebuildFrameMargins(5));
  const TRect o = t.Rec(0).ObjectRect;
  EXPECT_EQ(t.Rec(0).FrameRect, (TRect{o.Left - 5, o.Top - 5, o.Right + 5, o.Bottom + 5}));
  // Image 4's object pushed against the left edge: a wider margin leaves the picture.
  t.Rec(3).ObjectRect.Right -= t.Rec(3).ObjectRect.Left - 2;
  t.Rec(3).ObjectRect.Left = 2;
  t.View.Ticks.clear();
  EXPECT_TRUE(t.Ctl.RebuildFrameMargins(6));
  const std::string question = "Margin | Margin parameter change. Rebuild frame with new margin ?";
  EXPECT_EQ(t.Asked(), (std::vector<std::string>{
                           question, question,
                           "Margin | Frame have been rebuilt with new margin. No frame out of limits.No frame out of limit.",
                           question}));
  EXPECT_EQ(t.View.Reports, (std::vector<std::string>{
                                "Rebuilding frame margin  | Some recalculated frame are out of limits, have been reject.",
                                "Image 4 | Frame out of limit"}));
  EXPECT_FALSE(t.Rec(3).HasFrame || t.Rec(3).Checked);
  EXPECT_EQ(t.View.Ticks, std::vector<int32_t>{3});
}

TEST(MainController, TickBestKeepsTheSharpestAndTheStatusLineTellsQualityAndRank) {
  TRig t;
  t.Reach("open autoframe");
  const std::vector<int> best = BestImages(t.Ctl.Scores(), 100);
  ASSERT_EQ(best.size(), 6u);
  for (const auto& [percent, ticked] : {std::pair{50, 3}, {1, 1}, {100, 6}}) {
    t.Ctl.TickBest(percent);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(t.Rec(best[size_t(k)]).Checked, k < ticked) << percent << "% rank " << k + 1;
  }
  t.Ctl.GoTo(best[0]);
  EXPECT_EQ(t.Ctl.State().QualityLine, "Quality 1.00, 1st of 6");
  t.Ctl.GoTo(best[2]);
  EXPECT_TRUE(t.Ctl.State().QualityLine.starts_with("Quality ") && t.Ctl.State().QualityLine.ends_with(", 3rd of 6"));
  t.Ctl.SuppressFrame();  // unframed, the image has no quality, and the others are ranked without it
  EXPECT_EQ(t.Ctl.State().QualityLine, "");
  t.Ctl.GoTo(best[5]);
  EXPECT_TRUE(t.Ctl.State().QualityLine.ends_with(", 5th of 5"));
}

}  // namespace
