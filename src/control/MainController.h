// SPDX-License-Identifier: GPL-3.0-or-later
// TMainController: the state and the rules of the main window, without Qt.
//
// It owns the open sequence, the current position, the ticks and frames, the
// tolerance, the view choices and the saving working values, decides which
// commands are available (one rule table, CommandRules() in
// MainController.cpp), does the work of each command, talks to the user
// through Messages() (platform/Messages.h) and tells the window what to show
// again through TMainView. TMainForm (app/ui/MainForm*.cpp) only maps its
// widgets to it. Tests drive it headless (tests/control).
//
// HOW TO ADD A COMMAND
//  1. Give it a name in TCommand (before Count) and one row in CommandRules():
//     the condition under which it is available. That row is the only place
//     that decides whether its action, button or menu item is enabled.
//  2. Do its work in a method of this class (or of a helper it calls) that
//     reads and writes the plain fields below, asks and tells through
//     Messages(), and ends with Refresh() (or PictureChanged() on the view when
//     the picture changed too). No Qt here.
//     - A dialog of its own (batch choices, result window...) stays in the
//       form: the form shows it and hands the choices to the method, e.g.
//       `LotParams = choices; StartJob(TJobKind::BatchSave, ...)`.
//     - A long job: the command calls StartJob(kind, caption, maximum); the
//       form runs the progress window and calls RunJob(kind, hooks), whose
//       switch sends it to your method. Loop with hooks.Cancelled() before
//       each step and hooks.Progress(done) after it; call hooks.End() once the
//       loop is over, then show results or messages.
//  3. In TMainForm: CreateActions() makes the QAction and binds it to the
//     TCommand (BindCommand), then Wire(TCommand::X, [this] { Controller.X(); }).
//     An action that is not wired stays disabled whatever its rule says.
//  4. Tests: add the command's column to the availability table in
//     tests/control/test_main_controller.cpp and test the work headless there;
//     in tests/gui only that triggering the action reaches the controller.
//
// Indices count from 0 here and from 1 wherever a user sees a number.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ParamGlob.h"
#include "app/Saving.h"
#include "base/Status.h"
#include "combine/Report.h"
#include "lucky/Lucky.h"
#include "sequence/Sequence.h"

struct TCombineResult;

// A pixel of the image: column X, row Y from the top-left.
struct TImagePoint {
  int32_t X = 0, Y = 0;
  friend bool operator==(const TImagePoint&, const TImagePoint&) = default;
};

// Where the picture is drawn inside the picture control, in the control's own
// pixels (the display control's target rectangle): the picture's Width x
// Height pixels fill it, scaled when the sizes differ.
struct TPictureGeometry {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};

// What a mouse drag on the picture is doing.
enum class TPictureDrag { None, Drawing, Moving };

// Every command and control of the main window whose enabling follows a rule.
enum class TCommand {
  Open, OpenBmp, OpenKelvaron, Close, BrowseImages, Save, BatchSave,
  Frame, AutoFrame, SuppressFrame, SuppressAllFrames, UncheckAll, Copy,
  NormalSize, AdjustedSize, ResizeFast, ResizeBilinear,
  Parameters, Mean, Kappa,
  HelpIndex, HelpFind, HelpOnHelp, WebSite, About,
  Previous, Next, Position, ImageList, FrameBox, ToleranceEdit, ToleranceSpin,
  TickBest,
  Count
};
inline constexpr size_t kCommandCount = size_t(TCommand::Count);

// When a command is available. Every condition but Always and Never needs an
// open sequence.
enum class TWhen {
  Always,
  Never,
  SequenceOpen,
  HasImages,         // the sequence has at least one image
  ImageShown,        // the current image could be read
  FrameSizeSet,      // some image has a frame
  CurrentFramed,     // the current image has a frame
  NotFirst,          // the current image is not the first
  NotLast,           // the current image is not the last
  ManualTolerance,   // automatic tolerance is off in the settings
  ResizingChoice,    // adjusted size with a picture shown
};

struct TCommandRule {
  TCommand Command;
  const char* Name;  // the command's name in messages and test failures
  TWhen When;
  const char* Why;  // for a reader of the table and for test failures
};
// The rule table, one row per command, in TCommand order.
const std::array<TCommandRule, kCommandCount>& CommandRules();

enum class TViewSize { None, Normal, Adjusted };

// The long jobs; each value is the job's message number (the platform's first
// user message 1024 plus 3 to 6).
enum class TJobKind { BatchSave = 1027, Mean = 1028, AutoFrame = 1029, Kappa = 1030 };

// What the window needs to run a job under its progress window.
struct TJobRequest {
  TJobKind Kind = TJobKind::AutoFrame;
  std::string Caption;
  int32_t Maximum = 0;  // the bar goes from 0 to Maximum
};

// The progress window's side of a running job.
struct TJobHooks {
  std::function<bool()> Cancelled;       // asked before each step
  std::function<void(int32_t)> Progress; // after each step: steps done
  std::function<void()> End;             // the loop is over: close the progress window
};


// Everything the window shows that follows from the controller's state.
struct TMainWindowState {
  std::array<bool, kCommandCount> Enabled{};
  bool MenusShown = false;     // the Edition, View and Processings menus
  bool PictureShown = false;   // the picture control is visible
  bool FrameBoxTicked = false;
  std::string FramePosition;   // "(l,t) - (r,b)" of the current frame, or empty
  std::string SaveNumberText;  // "0007"
  std::string PositionLine;    // "Pos : 3/120 - 640x480 - 24 bits"; empty without a sequence
  std::string OpenName;        // file name of the open video or list, for the window title
  // "Quality 0.83, 12th of 500": the current image's sharpness relative to the
  // sharpest framed image, and its rank among the framed images; empty when
  // the current image has no frame.
  std::string QualityLine;
  int32_t CurrentIndex = 0;
  TViewSize ViewSize = TViewSize::None;
  bool BilinearChecked = false;  // the resizing choice ticked in the menus
  bool BilinearInUse = false;    // what the picture control uses now
  bool enabled(TCommand c) const { return Enabled[size_t(c)]; }
};

// What the window must show again. The controller calls these after a change;
// the window reads the controller to do it.
class TMainView {
 public:
  virtual ~TMainView() = default;
  // The sequence was replaced or closed: list its images (names and ticks)
  // and set the position control's range again.
  virtual void SequenceChanged() = 0;
  // The program set image `index`'s tick: show it on its line.
  virtual void TickChanged(int32_t index) = 0;
  // Show CurrentImage() with DrawFrameOutline() again (or no picture).
  virtual void PictureChanged() = 0;
  // Apply State().
  virtual void StateChanged() = 0;
  // Run the job under the progress window; returns when it has ended. The
  // window's job handler calls RunJob(request.Kind, hooks).
  virtual void RunJobWithProgress(const TJobRequest& request) = 0;
  // Show the problem report modally.
  virtual void ShowProblemReport(const std::string& caption, const std::string& text,
                                 const std::vector<TProblemRow>& rows) = 0;
  // Show a finished combination (result image, report, caption) in the
  // result window, modally; the result is freed when this returns.
  virtual void ShowCombinationResult(TCombineResult& result) {}
};

class TMainController {
 public:
  // `settings` is the live settings record (the window passes ParamGlob); it
  // must outlive the controller. Working values start from it.
  TMainController(TMainView& view, TParamglob& settings);
  ~TMainController();
  TMainController(const TMainController&) = delete;
  TMainController& operator=(const TMainController&) = delete;

  // --- Working values (plain fields) -----------------------------------------
  std::string SaveDirectory;          // directory of single saves: the repertoire setting at start
  std::string SaveBaseName = "Temp";  // base name of single saves
  int32_t SaveNumber = 1;             // number of the next saved file; only ever increased
  TLotParams LotParams;               // choices of the last confirmed batch
  // Writes the settings file; a failure carries the text to show. Unset, the
  // settings are not written.
  std::function<TStatus()> WriteSettings;

  // --- Reading the state ------------------------------------------------------
  TSequence& Sequence() { return *Sequence_; }
  const TSequence& Sequence() const { return *Sequence_; }
  const TParamglob& Settings() const { return Settings_; }
  const TFastDIB* CurrentImage() const { return Sequence_->CurrentImage.get(); }
  int32_t Tolerance() const { return Sequence_->Tolerance; }
  bool Available(TCommand command) const;
  TMainWindowState State() const;
  // Draws the current image's frame outline into `shown` (a copy of the
  // current image): solid white when the image is ticked, dotted black when
  // not; nothing when it has no frame.
  void DrawFrameOutline(TFastDIB& shown) const;
  static std::string SaveNumberText(int32_t number);  // at least 4 digits
  static int32_t PositionStep(int32_t imageCount);     // tick and page step of the position control

  // --- Opening and closing ------------------------------------------------------
  // Opens `path` as a video. When it cannot be opened the message is shown and
  // the open sequence stays exactly as it was; false then.
  bool OpenVideo(const std::string& path);
  // Every open command ends here: `fresh` (opened, with its records) replaces
  // the open sequence, which is closed, and its first image is shown.
  void ReplaceSequence(std::unique_ptr<TSequence> fresh);
  void CloseSequence();

  // --- Navigation and ticks ---------------------------------------------------------
  void Previous();
  void Next();
  void GoTo(int32_t index);  // the position control or the image list
  // The user set image `index`'s tick: it becomes the current image.
  void TickImage(int32_t index, bool ticked);
  void UncheckAll();
  // "Tick the best images ...": ticks the `percent` (1..100) sharpest framed
  // images, at least one, and unticks the other framed images.
  void TickBest(int32_t percent);
  // The sharpness of every image (none without a frame), worked out again
  // only after the frames changed.
  const TScores& Scores() const;
  // "Quality 0.83, 12th of 500" for image `index`; empty when it has no score.
  std::string QualityText(int32_t index) const;
  // Fetches the current image again and shows it.
  void ShowCurrentImage();
  // Works out FrameSizeSet again and has the window follow State().
  void Refresh();

  // --- Frames ---------------------------------------------------------------------
  void Frame();
  // The Frame box was set to `ticked` by the user.
  void FrameBoxClicked(bool ticked);
  // The C key: toggles the Frame box.
  void FrameKey();
  void SuppressFrame();
  void SuppressAllFrames();
  void SetToleranceText(const std::string& text);  // the edit: blanks ignored, not a number gives 0
  void SetTolerance(int32_t value);                 // the spin
  // Automatic framing; in surface mode (cadrage_surface) the current image's
  // frame is the region followed through every image, to a fraction of a
  // pixel with sub-pixel alignment (SurfaceOptionsOf). A stopped run names the
  // last image it looked at, and its report the images it never reached.
  void StartAutoFraming();

  // --- A frame drawn by hand --------------------------------------------------------
  // The image pixel under the control's point (x, y), clamped to the picture.
  static TImagePoint ControlToImage(const TPictureGeometry& geometry, int32_t imageWidth, int32_t imageHeight, int32_t x,
                               int32_t y);
  // A press on the picture: inside the current frame it selects the frame and
  // starts moving it; elsewhere it starts drawing a new one.
  void PicturePressed(const TPictureGeometry& geometry, int32_t x, int32_t y);
  // The mouse moved with the button down: a frame being moved follows it.
  void PictureDragged(const TPictureGeometry& geometry, int32_t x, int32_t y);
  // The button was let go: a drawn rectangle becomes the current image's frame.
  void PictureReleased(const TPictureGeometry& geometry, int32_t x, int32_t y);
  TPictureDrag Dragging() const { return Drag_; }
  // The rectangle drawn so far (image pixels), while drawing.
  TRect RubberBand() const;
  // Makes `frame` (the frame as drawn, margin included) the current image's
  // frame. While no other image has a frame it fixes the frame size; otherwise
  // the fixed size is kept, anchored at its top-left corner and moved back
  // inside the picture when it would leave it. False (message shown) when it
  // is too small to hold the margin.
  bool SetDrawnFrame(TRect frame);
  // Moves the current image's frame by (dx, dy), stopping at the picture's edges;
  // its pixels are captured again.
  void MoveFrame(int32_t dx, int32_t dy);
  // The arrow keys: nudges the selected frame by one pixel. False when no frame
  // is selected (the key keeps its other use).
  bool NudgeFrame(int32_t dx, int32_t dy);
  // The current image's frame was drawn, pressed or moved last.
  bool FrameSelected() const;
  // --- Saving (rules in app/Saving.h) -------------------------------------------
  // "Save image": the current image into SaveDirectory as SaveBaseName +
  // number; nothing without a current image. Beeps once per format step.
  void Save();
  // The Batch saving dialog was confirmed with `choices`: job 1027, "Batch
  // saving", bar 0 to the number of images.
  void StartBatchSave(const TLotParams& choices);
  // The system's beep after a save. Unset: none.
  std::function<void()> Beep;
  // Before a FITS batch: shows the FITS parameters dialog on `fits` (the
  // settings' ones); true when confirmed. Unset: the settings' are used.
  std::function<bool(TParamFITS& fits)> ChooseBatchFits;

  // --- Combination --------------------------------------------------------------------
  // Job 1028: "Combinaison by mean", bar 0 to FrameHeight.
  void StartMean();
  // Job 1030 with the kappa chosen in the kappa dialog (KappaFactor takes it).
  void StartKappa(int32_t kappa);
  // Rebuilds every frame with `margin`; asks first. Always true.
  bool RebuildFrameMargins(int32_t margin);

  // --- View and settings ------------------------------------------------------------
  void NormalSize();
  void AdjustedSize();
  void SetBilinear(bool bilinear);
  // The Parameters dialog was confirmed with `entered`: frames are rebuilt
  // when the margin changed (the user is asked), the settings take every
  // field but the tool bar's, and are written.
  void CommitSettings(const TParamglob& entered);

  // --- Jobs -----------------------------------------------------------------------------
  void StartJob(TJobKind kind, const std::string& caption, int32_t maximum);
  // Runs the job's work; called by the window inside its progress window.
  void RunJob(TJobKind kind, const TJobHooks& hooks);

  // --- The command guard -------------------------------------------------------------
  // Runs `command` so that no error escapes it: a failure is shown with the
  // file concerned and the reason, and the image shown before comes back.
  void Run(const std::function<void()>& command);

 private:
  void AutoFrameJob(const TJobHooks& hooks);
  // Job 1027: the batch over LotParams; the window is left on the last image read.
  void BatchSaveJob(const TJobHooks& hooks);
  // The mean or kappa-sigma job: the combination, then the result window
  // (nothing when cancelled); the current image is shown again.
  void CombineJob(TJobKind kind, const TJobHooks& hooks);
  void SetChecked(int32_t index, bool checked);
  void FramesChanged() { ScoresValid_ = false; }

  TMainView& View_;
  TParamglob& Settings_;
  std::unique_ptr<TSequence> Sequence_;
  void SurfaceFrameJob(const TJobHooks& hooks);
  TPictureDrag Drag_ = TPictureDrag::None;
  TImagePoint DragStart_;
  TImagePoint DragNow_;
  TRect DragFrame_;                 // the frame being moved, as it was pressed
  int32_t SelectedIndex_ = -1;      // the image whose frame is selected
  TViewSize ViewSize_ = TViewSize::None;
  bool Bilinear_ = false;
  mutable TScores Scores_;
  mutable bool ScoresValid_ = false;
};
