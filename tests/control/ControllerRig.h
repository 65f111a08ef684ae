// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controller on a fake window that records what it is told and runs jobs at once.
#pragma once

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include "cli/CliRun.h"
#include "control/MainController.h"
#include "platform/Messages.h"
#include "support/VideoFixtures.h"
#include "tools/CombineCommand.h"

struct TFakeView : TMainView {
  TMainController* Controller = nullptr;
  int Sequences = 0;
  std::vector<int32_t> Ticks;
  std::vector<TJobRequest> Jobs;
  std::vector<std::string> Reports, Results;  // "caption | text", then "image | error" per row; result captions
  std::vector<uint8_t> Stack;                 // the last result image, packed
  int32_t CancelAfter = -1;                   // the job's cancel check says yes once this many steps are done
  int32_t Done = 0;
  bool Ended = false;
  void SequenceChanged() override { ++Sequences; }
  void TickChanged(int32_t index) override { Ticks.push_back(index); }
  void PictureChanged() override {}
  void StateChanged() override {}
  void RunJobWithProgress(const TJobRequest& request) override {
    Jobs.push_back(request);
    Done = 0;
    Controller->RunJob(request.Kind, {[this] { return CancelAfter >= 0 && Done >= CancelAfter; },
                                      [this](int32_t done) { Done = done; }, [this] { Ended = true; }});
  }
  void ShowProblemReport(const std::string& caption, const std::string& text,
                         const std::vector<TProblemRow>& rows) override {
    Reports.push_back(caption + " | " + text);
    for (const TProblemRow& r : rows) Reports.push_back(r.Image + " | " + r.Error);
  }
  void ShowCombinationResult(TCombineResult& result) override {
    Results.push_back(result.Caption);
    Stack = fixtures::PackedBgr(*result.Image);
  }
};

// clean.avi: 6 images 160x120; troubled.avi: 8, image 2 empty, 4-7 cross an edge; moon.avi: 6, sub-pixel jitter.
inline std::string Video(const std::string& name) {
  static const fixtures::TTempDir dir;
  static const bool made = [] {
    TSampleOptions o;
    o.Frames = 6, o.Width = 160, o.Height = 120, o.Seed = 4;
    bool ok = WriteSampleVideo(dir.File("clean.avi"), o, nullptr);
    o.Seed = 1, o.SubPixelCentres = true;
    ok = ok && WriteSampleVideo(dir.File("moon.avi"), o, nullptr);
    o.SubPixelCentres = false;
    o.Frames = 0;
    ok = ok && WriteSampleVideo(dir.File("empty.avi"), o, nullptr);
    o.Frames = 8, o.Seed = 9, o.EmptyFrames = {1}, o.PartialFrames = {3, 4, 5, 6};
    ok = ok && WriteSampleVideo(dir.File("troubled.avi"), o, nullptr);
    std::ofstream(dir.File("notes.avi")) << "these are observing notes, not a video\n";
    std::ofstream(dir.File("zero.avi"));
    return ok;
  }();
  EXPECT_TRUE(made);
  return dir.File(name);
}

struct TRig {
  TScriptedMessages Messages;
  TMessagesScope Scope{Messages};
  TParamglob Settings = [] {
    TParamglob s;
    s.tolerance = 30, s.bordure = 4, s.repertoire = "/pictures/";
    return s;
  }();
  TFakeView View;
  TMainController Ctl{View, Settings};
  TRig() { View.Controller = &Ctl; }
  TAviList& Rec(int i) { return *Ctl.Sequence().Record(i); }
  std::vector<std::string> Asked() const {
    std::vector<std::string> out;
    for (const TMessageRequest& r : Messages.Asked) out.push_back(r.Caption + " | " + r.Text);
    return out;
  }
  // User steps, one word each (cancel<n>: jobs stop after n steps; unreadable: the video cut short, then next;
  // press/move/release/drag/nudge act on the picture shown at 1:1).
  void Reach(const std::string& steps) {
    std::istringstream in(steps);
    const TPictureGeometry g{0, 0, 160, 120};
    for (std::string step; in >> step;) {
      const size_t digits = step.find_first_of("-0123456789");
      std::istringstream numbers(digits == std::string::npos ? "" : step.substr(digits));
      std::vector<int> n;
      for (int v; numbers >> v;) n.push_back(v), numbers.ignore(1);
      auto is = [&](const char* word) { return step.rfind(word, 0) == 0; };
      if (step == "open") ASSERT_TRUE(Ctl.OpenVideo(Video("clean.avi")));
      else if (is("open:")) ASSERT_TRUE(Ctl.OpenVideo(Video(step.substr(5))));
      else if (step == "close") Ctl.CloseSequence();
      else if (is("go")) Ctl.GoTo(n.at(0));
      else if (step == "next") Ctl.Next();
      else if (step == "prev") Ctl.Previous();
      else if (is("tick")) Ctl.TickImage(n.at(0), true);
      else if (is("untick")) Ctl.TickImage(n.at(0), false);
      else if (step == "uncheck") Ctl.UncheckAll();
      else if (step == "frame") Ctl.Frame();
      else if (step == "key") Ctl.FrameKey();
      else if (is("box")) Ctl.FrameBoxClicked(step == "boxon");
      else if (step == "suppress") Ctl.SuppressFrame();
      else if (step == "suppressall") Ctl.SuppressAllFrames();
      else if (step == "autoframe") Ctl.StartAutoFraming();
      else if (step == "mean") Ctl.StartMean();
      else if (is("kappa")) Ctl.StartKappa(n.at(0));
      else if (is("cancel")) View.CancelAfter = n.at(0);
      else if (step == "report" || step == "noreport") Settings.Rapport = step == "report";
      else if (step == "surface") Settings.cadrage_surface = true;
      else if (is("set")) ASSERT_TRUE(Ctl.SetDrawnFrame({n.at(0), n.at(1), n.at(2), n.at(3)}));
      else if (step == "subpixel") Settings.alignement_subpixel = true;
      else if (is("tol")) Ctl.SetToleranceText(step.substr(3));
      else if (is("margin")) Settings.bordure = n.at(0);
      else if (step == "auto") Settings.tolerance_automatique = true;
      else if (step == "adjusted") Ctl.AdjustedSize();
      else if (step == "badsettings") {
        Ctl.WriteSettings = [] { return TStatus::Fail("Impossible d'écrire dans /x/stellon.ini"); };
        Ctl.CommitSettings(Settings);
      } else if (step == "unreadable") {
        std::filesystem::copy_file(Video("clean.avi"), Video("gone.avi"),
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_TRUE(Ctl.OpenVideo(Video("gone.avi")));
        std::filesystem::resize_file(Video("gone.avi"), 0);
        Ctl.Next();
        ASSERT_FALSE(Ctl.CurrentImage());
      } else if (is("press")) Ctl.PicturePressed(g, n.at(0), n.at(1));
      else if (is("move")) Ctl.PictureDragged(g, n.at(0), n.at(1));
      else if (is("release")) Ctl.PictureReleased(g, n.at(0), n.at(1));
      else if (is("drag")) {
        Ctl.PicturePressed(g, n.at(0), n.at(1));
        Ctl.PictureDragged(g, (n[0] + n.at(2)) / 2, (n[1] + n.at(3)) / 2);
        Ctl.PictureReleased(g, n[2], n[3]);
      } else if (is("nudge")) Ctl.NudgeFrame(n.at(0), n.at(1));
      else FAIL() << step;
    }
  }
};
