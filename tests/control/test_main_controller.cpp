// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's state and rules, without a window: which commands are available in which state,
// what the user's steps leave (position, ticks, frames), the working values, failed opens, automatic
// framing, settings and margins, the command guard, keeping the sharpest images and combination.
#include <set>
#include <stdexcept>

#include "ControllerRig.h"

namespace {

using C = TCommand;

std::string Names(const std::set<TCommand>& commands) {
  std::string out;
  for (TCommand c : commands) out += std::string(CommandRules()[size_t(c)].Name) + " ";
  return out;
}

// What an image shown makes available, plus `more`, less `less`.
std::set<TCommand> Shown(std::initializer_list<TCommand> more, std::initializer_list<TCommand> less = {}) {
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
      {"open", Shown({C::Next})},
      {"open go2", Shown({C::Next, C::Previous})},
      {"open go5", Shown({C::Previous})},
      {"open frame", Shown({C::Next, C::SuppressFrame, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest}), true},
      {"open frame next", Shown({C::Next, C::Previous, C::SuppressAllFrames, C::Mean, C::Kappa, C::TickBest})},
      {"auto open", Shown({C::Next}, {C::ToleranceEdit})},
      {"open adjusted", Shown({C::Next, C::ResizeFast, C::ResizeBilinear})},
      // An image that cannot be read leaves moving, the frame box and the tolerance.
      {"unreadable", {C::Next, C::Previous, C::Position, C::UncheckAll, C::NormalSize, C::AdjustedSize, C::FrameBox,
                      C::ToleranceEdit}, false, false},
      {"empty", {C::UncheckAll, C::NormalSize, C::AdjustedSize, C::FrameBox, C::ToleranceEdit}, false, false}};
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

// "@current tol T ticked ... framed ... pixels ... size set|kept|none told ... jobs N": the images ticked,
// framed and holding frame pixels, the frame size (set: some image has a frame; kept: fixed once, no frame
// now), the ticks the window was told to show again and the jobs run.
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
         (q.FrameSizeSet ? "set" : q.FrameWidth > 0 ? "kept" : "none") + " told" + (told.empty() ? " -" : told) +
         " jobs " + std::to_string(t.View.Jobs.size());
}

TEST(MainController, StepsLeaveTheImagesAsTheyShould) {
  const char* kImpossible = "Building frame | Building frame impossible, increase tolerance or go complex.";
  const struct {
    const char* Steps;
    const char* After;
    std::vector<std::string> Asked = {};
  } cases[] = {
      {"open prev next next", "@2 tol 30 ticked - framed - pixels - size none told - jobs 0"},
      {"open next next go-1 go6 go99", "@2 tol 30 ticked - framed - pixels - size none told - jobs 0"},
      {"open go5 next prev", "@4 tol 30 ticked - framed - pixels - size none told - jobs 0"},
      {"open tick3 tick5 untick3", "@3 tol 30 ticked 5 framed - pixels - size none told - jobs 0"},
      {"open tick3 tick5 uncheck", "@5 tol 30 ticked - framed - pixels - size none told 0 1 2 3 4 5 jobs 0"},
      {"open frame", "@0 tol 30 ticked 0 framed 0 pixels 0 size set told 0 jobs 0"},
      {"open tol255 frame", "@0 tol 255 ticked - framed - pixels - size none told - jobs 0", {kImpossible}},
      // wider than the picture allows: the attempt fixes the size all the same
      {"open margin70 frame", "@0 tol 30 ticked - framed - pixels - size kept told - jobs 0",
       {"Building frame | Frame out of image limit, decrease tolerance."}},
      // Unticking the Frame box keeps the tick and the pixels; suppressing keeps the pixels, but not all.
      {"open key boxoff", "@0 tol 30 ticked 0 framed - pixels 0 size kept told 0 jobs 0"},
      {"open key boxoff boxon next frame suppress", "@1 tol 30 ticked 0 1 framed 0 pixels 0 1 size set told 0 0 1 jobs 0"},
      {"open key next frame suppressall", "@1 tol 30 ticked 0 1 framed - pixels - size kept told 0 1 jobs 0"},
      {"open frame go3 tol40 open", "@0 tol 40 ticked - framed - pixels - size none told 0 jobs 0"},
      {"open tick2 close frame key suppress autoframe", "@0 tol 30 ticked - framed - pixels - size none told - jobs 0"},
      {"open:troubled.avi go1 frame", "@1 tol 30 ticked - framed - pixels - size none told - jobs 0", {kImpossible}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Steps);
    TRig t;
    t.Reach(c.Steps);
    EXPECT_EQ(Summary(t), c.After);
    EXPECT_EQ(t.Asked(), c.Asked);
  }
}

// A manual frame: its position text, a second frame of the first's size, and the outline drawn solid white
// while the image is ticked, dotted black once unticked.
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

// A file that cannot be opened is told, and the open sequence stays as it was.
TEST(MainController, FailedOpenKeepsTheOpenSequence) {
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
  }
}

TEST(MainController, OpeningAgainStartsAfreshAndClosingForgets) {
  TRig t;
  t.Reach("open frame go3 open");
  EXPECT_EQ(t.Ctl.State().ViewSize, TViewSize::Normal);  // the first refresh with a sequence
  EXPECT_FALSE(t.Ctl.Available(C::SuppressAllFrames));
  EXPECT_EQ(t.View.Sequences, 2);
  t.Ctl.CloseSequence();
  EXPECT_FALSE(t.Ctl.Sequence().SequenceOpen || t.Ctl.CurrentImage());
  EXPECT_EQ(t.Ctl.State().PositionLine + t.Ctl.State().OpenName, "");
}

TEST(MainController, AutomaticFramingIsToldAsTheRunEnded) {
  const std::string kNoProblem = "Automatic frames | No problem occured when building all frame";
  const std::string kReport = "Auto framing | Error during automatic framing";
  const struct {
    const char* File;
    bool Report;
    int32_t CancelAfter;
    std::vector<std::string> Boxes, Rows;  // the messages, the problem report
  } cases[] = {
      {"clean.avi", true, -1, {kNoProblem}, {}},
      {"clean.avi", false, -1, {}, {}},
      {"clean.avi", true, 2, {}, {kReport, "Images 3 to 6 | Not framed (stopped)"}},
      {"clean.avi", false, 2, {"Automatic frames | Automatic framing stopped after image 2 of 6."}, {}},
      {"troubled.avi", true, -1, {},
       {kReport, "Image 2 | Impossible to draw frame", "Image 4 | Impossible to draw frame",
        "Image 5 | Impossible to draw frame", "Image 6 | Frame out of limit", "Image 7 | Frame out of limit"}},
      {"troubled.avi", false, 3,
       {"Building frame : image2 | Building frame impossible, increase tolerance or go complex.",
        "Automatic frames | Automatic framing stopped after image 3 of 8."}, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.File) + (c.Report ? " report" : "") + " cancel " + std::to_string(c.CancelAfter));
    TRig t;
    t.Settings.Rapport = c.Report;
    t.Reach(std::string("open:") + c.File + " go2");
    t.View.CancelAfter = c.CancelAfter;
    t.Ctl.StartAutoFraming();
    ASSERT_EQ(t.View.Jobs.size(), 1u);
    EXPECT_EQ(t.View.Jobs[0].Caption + std::to_string(t.View.Jobs[0].Maximum),
              "Auto framing(Simple)" + std::to_string(t.Ctl.Sequence().ImageCount));
    EXPECT_TRUE(t.View.Ended);
    EXPECT_EQ(t.Ctl.Sequence().CurrentIndex, 2);
    EXPECT_EQ(t.Asked(), c.Boxes);
    EXPECT_EQ(t.View.Reports, c.Rows);
    // Images framed before a stop keep their frames; those not reached have none.
    for (int i = c.CancelAfter < 0 ? 99 : c.CancelAfter; i < t.Ctl.Sequence().ImageCount; ++i)
      EXPECT_FALSE(t.Rec(i).HasFrame) << i;
    EXPECT_TRUE(t.Rec(0).HasFrame && t.Rec(0).Checked);
  }
}

TEST(MainController, CommittedSettingsKeepTheToolBarAndTellAWriteFailure) {
  TRig t;
  t.Ctl.WriteSettings = [] { return TStatus::Fail("Impossible d'écrire dans /ro/stellon.ini"); };
  t.Settings.barre_visible = false;
  TParamglob entered = t.Settings;
  entered.barre_visible = true, entered.kappa = 5, entered.tolerance = 99;
  t.Ctl.CommitSettings(entered);
  EXPECT_EQ(t.Asked(), std::vector<std::string>{"Error | Impossible d'écrire dans /ro/stellon.ini"});
  EXPECT_TRUE(t.Settings.kappa == 5 && !t.Settings.barre_visible);
  EXPECT_EQ(t.Ctl.Tolerance(), 30);  // not taken again from the settings
}

TEST(MainController, MarginChangeRebuildsFramesWhenTheUserAgrees) {
  TRig t;
  t.Reach("open frame go3 frame");
  TParamglob entered = t.Settings;
  entered.bordure = 3;
  t.Messages.Answers = {TMsgButton::No, TMsgButton::Yes, TMsgButton::OK, TMsgButton::Yes};
  const TRect before = t.Rec(0).FrameRect;
  t.Ctl.CommitSettings(entered);  // declined: the frames stay, the margin is stored anyway
  EXPECT_EQ(t.Rec(0).FrameRect, before);
  EXPECT_EQ(t.Settings.bordure, 3);
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

TEST(MainController, AFailingCommandIsToldAndThePositionComesBack) {
  TRig t;
  t.Reach("open next");
  t.Ctl.Run([&t] {
    t.Ctl.Sequence().CurrentIndex = 4;
    throw std::runtime_error("disk unplugged");
  });
  EXPECT_EQ(t.Asked(), std::vector<std::string>{"Error | " + Video("clean.avi") + "\ndisk unplugged"});
  EXPECT_EQ(t.Ctl.State().PositionLine, "Pos : 2/6 - 160x120 - 24 bits");
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
  EXPECT_EQ(t.Ctl.State().QualityLine.substr(0, 8), "Quality ");
  EXPECT_NE(t.Ctl.State().QualityLine.find(", 3rd of 6"), std::string::npos);
  t.Ctl.SuppressFrame();  // unframed, the image has no quality, and the others are ranked without it
  EXPECT_EQ(t.Ctl.State().QualityLine, "");
  t.Ctl.GoTo(best[5]);
  EXPECT_NE(t.Ctl.State().QualityLine.find(", 5th of 5"), std::string::npos);
}

// Mean and kappa-sigma run as jobs, then show the result window unless stopped.
TEST(MainController, CombinationRunsAJobThenTheResultWindow) {
  for (const auto& [kappa, cancelAfter, subPixel] :
       {std::tuple{false, -1, false}, {true, -1, false}, {false, 1, false}, {true, 0, false}, {false, -1, true},
        {true, 1, true}}) {
    SCOPED_TRACE(std::to_string(kappa) + std::to_string(cancelAfter) + std::to_string(subPixel));
    TRig t;
    t.Reach("open autoframe go3");
    t.View.Jobs.clear();
    t.View.CancelAfter = cancelAfter;
    t.Settings.alignement_subpixel = subPixel;
    if (kappa) t.Ctl.StartKappa(4);
    else t.Ctl.StartMean();
    const std::string caption = kappa ? "Combinaison Kappa-Sigma" : "Combinaison by mean";
    ASSERT_EQ(t.View.Jobs.size(), 1u);
    EXPECT_EQ(t.View.Jobs[0].Caption + std::to_string(t.View.Jobs[0].Maximum),
              caption + std::to_string(t.Ctl.Sequence().FrameHeight));
    EXPECT_EQ(int(t.View.Jobs[0].Kind), kappa ? 1030 : 1028);  // the jobs' message numbers
    EXPECT_TRUE(t.View.Ended);
    EXPECT_EQ(t.Ctl.Sequence().CurrentIndex, 3);
    EXPECT_EQ(t.View.Results, cancelAfter < 0 ? std::vector<std::string>{"Result : " + caption + " (6images)"}
                                              : std::vector<std::string>{});
    if (kappa) {
      EXPECT_EQ(KappaFactor, 4);
    }
  }
}

}  // namespace
