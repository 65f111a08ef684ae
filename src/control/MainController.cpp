// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/MainController.h"

#include "tools/CombineCommand.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "framing/AutoFrame.h"
#include "framing/Detect.h"
#include "framing/Frame.h"
#include "app/Saving.h"
#include "framing/Surface.h"
#include "platform/Messages.h"

namespace {

constexpr const char* kBuildingFrame = "Building frame";
constexpr const char* kNotFoundText = "Building frame impossible, increase tolerance or go complex.";
constexpr const char* kOutOfLimitText = "Frame out of image limit, decrease tolerance.";
constexpr const char* kPoorMatchText = "The region of the frame drawn was not found in this image.";
constexpr const char* kSurfaceCaption = "Surface framing";

const char* ProblemText(TFrameProblemKind kind) {
  switch (kind) {
    case TFrameProblemKind::OutOfLimit: return kOutOfLimitText;
    case TFrameProblemKind::PoorMatch: return kPoorMatchText;
    case TFrameProblemKind::NotFound: break;
  }
  return kNotFoundText;
}

TRect Normalised(TImagePoint a, TImagePoint b) {
  return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

using C = TCommand;
using W = TWhen;
constexpr std::array<TCommandRule, kCommandCount> kRules{{
    {C::Open, "Open", W::Always, "a file can always be opened"},
    {C::OpenBmp, "OpenBmp", W::Always, "a BMP list can always be made"},
    {C::OpenKelvaron, "OpenKelvaron", W::Always, "a list file can always be opened"},
    {C::Close, "Close", W::ImageShown, "closes what is shown"},
    {C::BrowseImages, "BrowseImages", W::Always, "browses files, needs no sequence"},
    {C::Save, "Save", W::ImageShown, "saves the image shown"},
    {C::BatchSave, "BatchSave", W::ImageShown, "saves images of the sequence"},
    {C::Frame, "Frame", W::ImageShown, "detects in the image shown"},
    {C::AutoFrame, "AutoFrame", W::ImageShown, "frames every image"},
    {C::SuppressFrame, "SuppressFrame", W::CurrentFramed, "removes the current image's frame"},
    {C::SuppressAllFrames, "SuppressAllFrames", W::FrameSizeSet, "needs a frame somewhere"},
    {C::UncheckAll, "UncheckAll", W::SequenceOpen, "unticks every image"},
    {C::Copy, "Copy", W::Never, "not offered"},
    {C::NormalSize, "NormalSize", W::SequenceOpen, "a view of the sequence"},
    {C::AdjustedSize, "AdjustedSize", W::SequenceOpen, "a view of the sequence"},
    {C::ResizeFast, "ResizeFast", W::ResizingChoice, "resampling matters only when the picture is resized"},
    {C::ResizeBilinear, "ResizeBilinear", W::ResizingChoice, "resampling matters only when the picture is resized"},
    {C::Parameters, "Parameters", W::Always, "settings can always be edited"},
    {C::Mean, "Mean", W::FrameSizeSet, "combines framed images"},
    {C::Kappa, "Kappa", W::FrameSizeSet, "combines framed images"},
    {C::HelpIndex, "HelpIndex", W::Always, "help"},
    {C::HelpFind, "HelpFind", W::Always, "help"},
    {C::HelpOnHelp, "HelpOnHelp", W::Always, "help"},
    {C::WebSite, "WebSite", W::Always, "help"},
    {C::About, "About", W::Always, "help"},
    {C::Previous, "Previous", W::NotFirst, "there is an image before"},
    {C::Next, "Next", W::NotLast, "there is an image after"},
    {C::Position, "Position", W::HasImages, "moves through the images"},
    {C::ImageList, "ImageList", W::ImageShown, "ticks the images"},
    {C::FrameBox, "FrameBox", W::SequenceOpen, "frames or unframes the current image"},
    {C::ToleranceEdit, "ToleranceEdit", W::ManualTolerance, "the tolerance is typed only when not automatic"},
    {C::ToleranceSpin, "ToleranceSpin", W::ImageShown, "steps the tolerance"},
    {C::TickBest, "TickBest", W::FrameSizeSet, "ranks the framed images"},
}};

constexpr bool RulesInOrder() {
  for (size_t i = 0; i < kRules.size(); ++i)
    if (size_t(kRules[i].Command) != i) return false;
  return true;
}
static_assert(RulesInOrder(), "one rule per command, in TCommand order");

}  // namespace

const std::array<TCommandRule, kCommandCount>& CommandRules() { return kRules; }

TMainController::TMainController(TMainView& view, TParamglob& settings)
    : SaveDirectory(settings.repertoire), View_(view), Settings_(settings), Sequence_(std::make_unique<TSequence>()) {
  Sequence_->Tolerance = settings.tolerance;
  ApplyFrameMemoryBudget(settings);
}

TMainController::~TMainController() = default;

// --- State ------------------------------------------------------------------------

bool TMainController::Available(TCommand command) const {
  const TSequence& s = *Sequence_;
  const TWhen when = kRules[size_t(command)].When;
  if (when == TWhen::Always) return true;
  if (when == TWhen::Never || !s.SequenceOpen) return false;
  const TAviList* record = s.CurrentRecord();
  switch (when) {
    case TWhen::SequenceOpen: return true;
    case TWhen::HasImages: return s.ImageCount > 0;
    case TWhen::ImageShown: return s.CurrentImage != nullptr;
    case TWhen::FrameSizeSet: return SequenceHasFrame(s);
    case TWhen::CurrentFramed: return record && record->HasFrame;
    case TWhen::NotFirst: return s.CurrentIndex > 0;
    case TWhen::NotLast: return s.CurrentIndex + 1 < s.ImageCount;
    case TWhen::ManualTolerance: return !Settings_.tolerance_automatique;
    case TWhen::ResizingChoice: return ViewSize_ == TViewSize::Adjusted && s.CurrentImage != nullptr;
    case TWhen::Always:
    case TWhen::Never: break;
  }
  return false;
}

std::string TMainController::SaveNumberText(int32_t number) {
  std::string text = std::to_string(number);
  if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
  return text;
}

int32_t TMainController::PositionStep(int32_t imageCount) { return imageCount > 10 ? imageCount / 10 : 1; }

TMainWindowState TMainController::State() const {
  const TSequence& s = *Sequence_;
  TMainWindowState state;
  for (size_t i = 0; i < kCommandCount; ++i) state.Enabled[i] = Available(TCommand(i));
  state.SaveNumberText = SaveNumberText(SaveNumber);
  state.CurrentIndex = s.CurrentIndex;
  state.ViewSize = ViewSize_;
  state.BilinearChecked = Bilinear_;
  state.BilinearInUse = Bilinear_ && ViewSize_ == TViewSize::Adjusted && s.CurrentImage;
  if (!s.SequenceOpen) return state;
  const TFastDIB* image = s.CurrentImage.get();
  state.MenusShown = image != nullptr;
  state.PictureShown = true;
  state.PositionLine = "Pos : " + std::to_string(s.CurrentIndex + 1) + "/" + std::to_string(s.ImageCount) + " - ";
  if (image)
    state.PositionLine += std::to_string(image->Width()) + "x" + std::to_string(image->AbsHeight) + " - " +
                          // a deep capture shows its real depth ("12 bits")
                          std::to_string(s.Source() ? s.Source()->Facts().BitsPerPixel : image->Bpp()) + " bits";
  state.OpenName = TSequence::FileNameOnly(s.AviFileName);
  // A BMP list made in the dialog, or a Kelvaron list.
  if (s.BmpFileList) state.OpenName = s.AviFileName.empty() ? "S\xC3\xA9quence fichier BMP" : state.OpenName + " (Kelvaron)";
  if (const TAviList* record = s.CurrentRecord(); record && record->HasFrame) {
    state.QualityLine = QualityText(s.CurrentIndex);
    const TRect& r = record->FrameRect;
    state.FrameBoxTicked = true;
    state.FramePosition = "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + ") - (" +
                          std::to_string(r.Right) + "," + std::to_string(r.Bottom) + ")";
  }
  return state;
}

void TMainController::DrawFrameOutline(TFastDIB& shown) const {
  const TAviList* record = Sequence_->CurrentRecord();
  if (!Sequence_->CurrentImage || !record || !record->HasFrame || !shown.Bits) return;
  if (record->Checked) shown.SetPen(TPenStyle::Solid, 1, TFastDIB::MakeColor(255, 255, 255));
  else shown.SetPen(TPenStyle::Dot, 1, TFastDIB::MakeColor(0, 0, 0));
  const TRect& r = record->FrameRect;
  shown.MoveTo(r.Left, r.Top);
  shown.LineTo(r.Right, r.Top);
  shown.LineTo(r.Right, r.Bottom);
  shown.LineTo(r.Left, r.Bottom);
  shown.LineTo(r.Left, r.Top);
}

void TMainController::Refresh() {
  if (Sequence_->SequenceOpen) {
    Sequence_->FrameSizeSet = SequenceHasFrame(*Sequence_);
    // The first refresh with a sequence applies Normal size.
    if (ViewSize_ == TViewSize::None) ViewSize_ = TViewSize::Normal;
  }
  View_.StateChanged();
}

// --- Opening and closing ---------------------------------------------------------------

bool TMainController::OpenVideo(const std::string& path) {
  // The new source is opened first: on failure the open sequence stays as it
  // was and the reader says what is wrong ("<path>is not a valid AVI file.").
  auto fresh = std::make_unique<TSequence>();
  if (const TStatus opened = fresh->Open(path); !opened) {
    Messages().Ok("Error", opened.Message(), TMsgIcon::Error);
    return false;
  }
  ReplaceSequence(std::move(fresh));
  return true;
}

void TMainController::ReplaceSequence(std::unique_ptr<TSequence> fresh) {
  FramesChanged();
  fresh->Tolerance = Sequence_->Tolerance;
  fresh->CurrentIndex = 0;
  fresh->FrameSizeSet = false;
  Sequence_->Close();
  Sequence_ = std::move(fresh);
  View_.SequenceChanged();
  ShowCurrentImage();
}

void TMainController::CloseSequence() {
  FramesChanged();
  Sequence_->Close();
  View_.SequenceChanged();
  View_.PictureChanged();
  Refresh();
}

// --- The current image, navigation and ticks ---------------------------------------------

void TMainController::ShowCurrentImage() {
  if (Sequence_->SequenceOpen) Sequence_->FetchCurrentImage();
  else Sequence_->CurrentImage.reset();
  View_.PictureChanged();
  Refresh();
}

void TMainController::Previous() {
  if (Sequence_->CurrentIndex <= 0) return;
  --Sequence_->CurrentIndex;
  ShowCurrentImage();
}

void TMainController::Next() {
  if (Sequence_->CurrentIndex + 1 >= Sequence_->ImageCount) return;
  ++Sequence_->CurrentIndex;
  ShowCurrentImage();
}

void TMainController::GoTo(int32_t index) {
  if (!Sequence_->SequenceOpen || index < 0 || index >= Sequence_->ImageCount || index == Sequence_->CurrentIndex)
    return;
  Sequence_->CurrentIndex = index;
  ShowCurrentImage();
}

void TMainController::TickImage(int32_t index, bool ticked) {
  TAviList* record = Sequence_->Record(index);
  if (!record) return;
  record->Checked = ticked;
  Sequence_->CurrentIndex = index;
  // The outline is drawn again in the colour of the new tick.
  ShowCurrentImage();
}

void TMainController::SetChecked(int32_t index, bool checked) {
  if (TAviList* record = Sequence_->Record(index)) {
    record->Checked = checked;
    View_.TickChanged(index);
  }
}

void TMainController::TickBest(int32_t percent) {
  const TScores& scores = Scores();
  const std::vector<int> best = BestImages(scores, percent);
  std::vector<bool> was(scores.size());
  for (size_t i = 0; i < scores.size(); ++i) was[i] = Sequence_->Record(int(i))->Checked;
  ::TickBest(*Sequence_, best);
  for (size_t i = 0; i < scores.size(); ++i)
    if (Sequence_->Record(int(i))->Checked != was[i]) View_.TickChanged(int32_t(i));
  View_.PictureChanged();  // the outline's colour follows the tick
  Refresh();
}

const TScores& TMainController::Scores() const {
  if (!ScoresValid_ || Scores_.size() != size_t(Sequence_->ImageList.Count())) {
    Scores_ = ScoreSequence(*Sequence_);
    ScoresValid_ = true;
  }
  return Scores_;
}

namespace {
// 1st, 2nd, 3rd, 4th, ... 11th, 12th, 13th, ... 21st, 22nd, ...
std::string Ordinal(int n) {
  const int tens = n % 100, units = n % 10;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : units == 1 ? "st" : units == 2 ? "nd" : units == 3 ? "rd" : "th";
  return std::to_string(n) + suffix;
}
}  // namespace

std::string TMainController::QualityText(int32_t index) const {
  const TScores& scores = Scores();
  const int rank = RankOf(scores, index);
  if (rank == 0) return {};
  double top = 0;
  int scored = 0;
  for (const auto& v : scores)
    if (v) {
      top = std::max(top, *v);
      ++scored;
    }
  char quality[32];
  std::snprintf(quality, sizeof quality, "%.2f", top > 0 ? *scores[size_t(index)] / top : 0.0);
  return std::string("Quality ") + quality + ", " + Ordinal(rank) + " of " + std::to_string(scored);
}

void TMainController::UncheckAll() {
  for (int32_t i = 0; i < Sequence_->ImageList.Count(); ++i) SetChecked(i, false);
  // The picture is not drawn again: an outline keeps its colour until the next redraw.
  Refresh();
}

// --- Frames -----------------------------------------------------------------------------

void TMainController::Frame() {
  FramesChanged();
  TSequence& s = *Sequence_;
  TAviList* record = s.CurrentRecord();
  // Without an image shown there is nothing to detect in.
  if (!record || !s.CurrentImage) return;
  record->HasFrame = false;
  const TFastDIB& image = *s.CurrentImage;
  TRect rect;
  const char* failure = nullptr;
  if (!DetectObject(image, rect, s, AutoFrameOptionsOf(Settings_).Detect()))
    failure = kNotFoundText;
  else if (MakeFrame(s, s.CurrentIndex, rect, image, Settings_.bordure) != TFrameResult::Accepted)
    failure = kOutOfLimitText;
  // The picture loses its old outline, or gets the new one.
  View_.PictureChanged();
  if (failure) {
    Refresh();
    Messages().Ok(kBuildingFrame, failure, TMsgIcon::Warning);
    return;
  }
  View_.TickChanged(s.CurrentIndex);
  Refresh();
}

void TMainController::FrameBoxClicked(bool ticked) {
  FramesChanged();
  TAviList* record = Sequence_->CurrentRecord();
  if (!record || !Sequence_->CurrentImage) {
    Refresh();  // puts the box back as it was
    return;
  }
  if (ticked) {
    Frame();
    return;
  }
  record->HasFrame = false;  // pixels and tick are kept
  View_.PictureChanged();
  Refresh();
}

void TMainController::FrameKey() {
  const TAviList* record = Sequence_->CurrentRecord();
  FrameBoxClicked(!(record && record->HasFrame));
}

void TMainController::SuppressFrame() {
  FramesChanged();
  TAviList* record = Sequence_->CurrentRecord();
  if (!record || !Sequence_->CurrentImage) return;
  record->HasFrame = false;  // pixels, tick and frame size are kept
  View_.PictureChanged();
  Refresh();
}

void TMainController::SuppressAllFrames() {
  FramesChanged();
  // Needs no image: every record loses its frame and its pixel copy.
  for (int32_t i = 0; i < Sequence_->ImageList.Count(); ++i) {
    TAviList* record = Sequence_->Record(i);
    record->HasFrame = false;
    TFramePixels().swap(record->FramePixels);
    record->FramePixelsRect = TRect{};
  }
  Sequence_->FrameSizeSet = false;  // the next frame fixes a new size
  View_.PictureChanged();
  Refresh();
}

void TMainController::SetToleranceText(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  int32_t value = 0;
  bool valid = !digits.empty() && digits.size() <= 9;
  for (char c : digits) valid = valid && c >= '0' && c <= '9';
  if (valid) value = std::stoi(digits);
  Sequence_->Tolerance = value;
}

void TMainController::SetTolerance(int32_t value) { Sequence_->Tolerance = std::clamp(value, 0, 255); }

void TMainController::StartAutoFraming() {
  if (!Sequence_->SequenceOpen) return;
  if (Settings_.cadrage_surface) {
    const TAviList* record = Sequence_->CurrentRecord();
    if (!record || !record->HasFrame) {
      Messages().Ok(kSurfaceCaption,
                    "Draw a frame round the region to follow on the image shown (drag on the picture), then run "
                    "Auto framing again.",
                    TMsgIcon::Information);
      return;
    }
    StartJob(TJobKind::AutoFrame, "Auto framing(Surface)", Sequence_->ImageCount);
    return;
  }
  StartJob(TJobKind::AutoFrame, std::string("Auto framing") + (Settings_.calcul_simple ? "(Simple)" : "(Complex)"),
           Sequence_->ImageCount);
}

// --- A frame drawn by hand ----------------------------------------------------------

TImagePoint TMainController::ControlToImage(const TPictureGeometry& g, int32_t imageWidth, int32_t imageHeight,
                                            int32_t x, int32_t y) {
  auto axis = [](int64_t at, int64_t start, int64_t shown, int64_t size) -> int32_t {
    if (size <= 0) return 0;
    if (shown <= 0) return 0;
    // Floor division: the pixel whose drawn cell holds the point.
    int64_t p = at - start;
    p = p >= 0 ? p * size / shown : -((-p * size + shown - 1) / shown);
    return int32_t(std::clamp<int64_t>(p, 0, size - 1));
  };
  return {axis(x, g.Left, g.Width, imageWidth), axis(y, g.Top, g.Height, imageHeight)};
}

bool TMainController::FrameSelected() const {
  const TAviList* record = Sequence_->CurrentRecord();
  return record && record->HasFrame && Sequence_->CurrentImage && SelectedIndex_ == Sequence_->CurrentIndex;
}

TRect TMainController::RubberBand() const { return Normalised(DragStart_, DragNow_); }

void TMainController::PicturePressed(const TPictureGeometry& geometry, int32_t x, int32_t y) {
  const TFastDIB* image = Sequence_->CurrentImage.get();
  TAviList* record = Sequence_->CurrentRecord();
  Drag_ = TPictureDrag::None;
  if (!image || !record) return;
  DragStart_ = DragNow_ = ControlToImage(geometry, image->Width(), image->AbsHeight, x, y);
  const TRect& f = record->FrameRect;
  const TImagePoint p = DragStart_;
  if (record->HasFrame && p.X >= f.Left && p.X <= f.Right && p.Y >= f.Top && p.Y <= f.Bottom) {
    Drag_ = TPictureDrag::Moving;
    DragFrame_ = f;
    SelectedIndex_ = Sequence_->CurrentIndex;
  } else {
    Drag_ = TPictureDrag::Drawing;
    SelectedIndex_ = -1;
  }
}

void TMainController::PictureDragged(const TPictureGeometry& geometry, int32_t x, int32_t y) {
  const TFastDIB* image = Sequence_->CurrentImage.get();
  if (Drag_ == TPictureDrag::None || !image) return;
  DragNow_ = ControlToImage(geometry, image->Width(), image->AbsHeight, x, y);
  if (Drag_ != TPictureDrag::Moving) return;
  const TRect& f = Sequence_->CurrentRecord()->FrameRect;
  MoveFrame(DragFrame_.Left + DragNow_.X - DragStart_.X - f.Left, DragFrame_.Top + DragNow_.Y - DragStart_.Y - f.Top);
}

void TMainController::PictureReleased(const TPictureGeometry& geometry, int32_t x, int32_t y) {
  PictureDragged(geometry, x, y);
  const TPictureDrag drag = Drag_;
  Drag_ = TPictureDrag::None;
  if (drag != TPictureDrag::Drawing) return;
  const TRect drawn = RubberBand();
  // A click without a drag draws nothing.
  if (drawn.Width() < 3 && drawn.Height() < 3) return;
  SetDrawnFrame(drawn);
}

bool TMainController::SetDrawnFrame(TRect frame) {
  TSequence& s = *Sequence_;
  TAviList* record = s.CurrentRecord();
  if (!record || !s.CurrentImage) return false;
  const TFastDIB& image = *s.CurrentImage;
  const int32_t m = Settings_.bordure;
  TRect object{frame.Left + m, frame.Top + m, frame.Right - m, frame.Bottom - m};
  if (object.Right <= object.Left || object.Bottom <= object.Top) {
    Messages().Ok(kBuildingFrame,
                  "Frame too small for the margin of " + std::to_string(m) + " pixels: draw a larger frame.",
                  TMsgIcon::Warning);
    return false;
  }
  // The first frame fixes the size; a frame on this image alone does not hold it.
  bool otherFramed = false;
  for (int32_t i = 0; i < s.ImageList.Count() && !otherFramed; ++i)
    otherFramed = i != s.CurrentIndex && s.Record(i)->HasFrame;
  if (otherFramed) {
    object.Right = object.Left + s.FrameWidth;
    object.Bottom = object.Top + s.FrameHeight;
    // Kept inside the picture: moved back from the right and bottom edges first.
    object.Left -= std::max(0, object.Right + m - (image.Width() - 1));
    object.Top -= std::max(0, object.Bottom + m - (image.AbsHeight - 1));
    object.Left = std::max(object.Left, m);
    object.Top = std::max(object.Top, m);
    object.Right = object.Left + s.FrameWidth;
    object.Bottom = object.Top + s.FrameHeight;
  }
  s.FrameSizeSet = otherFramed;
  if (MakeFrame(s, s.CurrentIndex, object, image, m) != TFrameResult::Accepted) {
    View_.PictureChanged();
    Refresh();
    Messages().Ok(kBuildingFrame, kOutOfLimitText, TMsgIcon::Warning);
    return false;
  }
  SelectedIndex_ = s.CurrentIndex;
  View_.TickChanged(s.CurrentIndex);
  View_.PictureChanged();
  Refresh();
  return true;
}

void TMainController::MoveFrame(int32_t dx, int32_t dy) {
  TAviList* record = Sequence_->CurrentRecord();
  const TFastDIB* image = Sequence_->CurrentImage.get();
  if (!record || !record->HasFrame || !image) return;
  const TRect& f = record->FrameRect;
  dx = std::clamp(dx, -f.Left, image->Width() - 1 - f.Right);
  dy = std::clamp(dy, -f.Top, image->AbsHeight - 1 - f.Bottom);
  if (dx == 0 && dy == 0) return;
  const TRect moved{f.Left + dx, f.Top + dy, f.Right + dx, f.Bottom + dy};
  if (!CaptureFramePixels(moved, *image, *record)) return;
  record->FrameRect = moved;
  TRect& o = record->ObjectRect;
  o = {o.Left + dx, o.Top + dy, o.Right + dx, o.Bottom + dy};
  View_.PictureChanged();
  Refresh();
}

bool TMainController::NudgeFrame(int32_t dx, int32_t dy) {
  if (!FrameSelected()) return false;
  MoveFrame(dx, dy);
  return true;
}

void TMainController::AutoFrameJob(const TJobHooks& hooks) {
  FramesChanged();
  ApplyFrameMemoryBudget(Settings_);
  const bool withReport = Settings_.Rapport;
  const int32_t count = Sequence_->ImageCount;
  // Every image looked at ends framed or with a problem: that tells which
  // images a stopped run never reached (a surface run goes from the reference
  // image to the last, then back to the first).
  std::vector<bool> looked(size_t(std::max(count, 0)));
  int32_t last = -1;
  auto lookedAt = [&](int32_t index) {
    if (index >= 0 && index < count) looked[size_t(index)] = true;
    last = index;
  };
  std::vector<TFrameProblem> problems;
  TAutoFrameHooks frameHooks;
  frameHooks.Cancelled = hooks.Cancelled;
  frameHooks.Progress = hooks.Progress;
  frameHooks.Framed = [&](int32_t index) {
    lookedAt(index);
    View_.TickChanged(index);
  };
  frameHooks.Problem = [&](const TFrameProblem& p) {
    lookedAt(p.Index);
    // Without the report each problem is told at once and the run waits.
    if (withReport) problems.push_back(p);
    else
      Messages().Ok("Building frame : image" + std::to_string(p.Index + 1),
                    ProblemText(p.Kind), TMsgIcon::Warning);
  };
  TAutoFrameResult result;
  int32_t first = 0;  // the image the run starts with
  if (Settings_.cadrage_surface) {
    // The current image's frame is the region followed through the others.
    first = Sequence_->CurrentIndex;
    const TSurfaceOptions options = SurfaceOptionsOf(Settings_, Sequence_->CurrentRecord()->ObjectRect, first);
    TSurfaceResult surface = TrackSurface(*Sequence_, options, frameHooks);
    if (!surface.Error.empty()) {
      if (hooks.End) hooks.End();
      Messages().Ok(kSurfaceCaption, "Surface framing impossible: " + surface.Error + ".", TMsgIcon::Warning);
      return;
    }
    result = std::move(surface);
  } else {
    result = ::AutoFrameAll(*Sequence_, AutoFrameOptionsOf(Settings_), frameHooks);
  }
  if (hooks.End) hooks.End();
  // The current image's frame may have moved: draw it on a clean picture.
  View_.PictureChanged();
  Refresh();
  if (!result.NoRoom.empty()) {
    // Neither memory nor the disk can keep the frames of the whole run: it
    // stopped before starting to fill them, and says so whatever the report setting.
    Messages().Ok("Automatic frames", result.NoRoom, TMsgIcon::Error);
    return;
  }
  // The report's rows in image order: the problems, and after a stop each run
  // of images that were not looked at.
  std::vector<std::pair<int32_t, TProblemRow>> rows;
  for (const TFrameProblem& p : problems) rows.emplace_back(p.Index, MakeProblemRow(p));
  if (result.Cancelled) {
    // A stopped run must not read as a clean one: say where it stopped.
    const std::string of = " of " + std::to_string(count) + ".";
    if (!withReport)
      Messages().Ok("Automatic frames",
                    last < 0 ? "Automatic framing stopped before image " + std::to_string(first + 1) + of
                             : "Automatic framing stopped after image " + std::to_string(last + 1) + of,
                    TMsgIcon::Warning);
    for (int32_t i = 0; i < count; ++i) {
      if (looked[size_t(i)]) continue;
      int32_t j = i;
      while (j + 1 < count && !looked[size_t(j + 1)]) ++j;
      rows.emplace_back(i, TProblemRow{i == j ? "Image " + std::to_string(i + 1)
                                              : "Images " + std::to_string(i + 1) + " to " + std::to_string(j + 1),
                                       "Not framed (stopped)"});
      i = j;
    }
  }
  if (!withReport) return;
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TProblemRow> shown;
  for (auto& row : rows) shown.push_back(std::move(row.second));
  if (!shown.empty())
    View_.ShowProblemReport(kAutoFramingReportCaption, kAutoFramingReportText, shown);
  else
    Messages().Ok("Automatic frames", "No problem occured when building all frame", TMsgIcon::Information);
}

bool TMainController::RebuildFrameMargins(int32_t margin) {
  FramesChanged();
  if (Sequence_->ImageList.Empty() || !SequenceHasFrame(*Sequence_)) return true;
  if (Messages().YesNo("Margin", "Margin parameter change. Rebuild frame with new margin ?") != TMsgButton::Yes)
    return true;
  const std::vector<TFrameProblem> dropped =
      ::RebuildFrameMargins(*Sequence_, margin, [this](int32_t index) { View_.TickChanged(index); });
  ShowCurrentImage();
  if (!dropped.empty())
    View_.ShowProblemReport(kRebuildReportCaption, kRebuildReportText, MakeProblemRows(dropped));
  else
    Messages().Ok("Margin", "Frame have been rebuilt with new margin. No frame out of limits.No frame out of limit.",
                  TMsgIcon::Information);
  return true;
}

// --- View and settings ----------------------------------------------------------------------

void TMainController::NormalSize() {
  ViewSize_ = TViewSize::Normal;
  View_.StateChanged();
}

void TMainController::AdjustedSize() {
  ViewSize_ = TViewSize::Adjusted;
  View_.StateChanged();
}

void TMainController::SetBilinear(bool bilinear) {
  Bilinear_ = bilinear;
  View_.StateChanged();
}

void TMainController::CommitSettings(const TParamglob& entered) {
  if (entered.bordure != Settings_.bordure) RebuildFrameMargins(entered.bordure);
  const bool visible = Settings_.barre_visible, text = Settings_.barre_texte;
  Settings_ = entered;
  Settings_.barre_visible = visible;
  Settings_.barre_texte = text;
  ApplyFrameMemoryBudget(Settings_);
  if (WriteSettings)
    if (const TStatus written = WriteSettings(); !written) Messages().Ok("Error", written.Message(), TMsgIcon::Error);
  // Tolerance and SaveDirectory are not taken again from the new settings.
  Refresh();
}

// --- Jobs -----------------------------------------------------------------------------------

void TMainController::StartMean() {
  if (!Sequence_->FrameSizeSet) return;
  const TCombineJobSpec job = CombineJobSpec(TCombineMethod::Mean, Sequence_->FrameHeight);
  StartJob(TJobKind::Mean, job.Caption, job.Maximum);
}

void TMainController::StartKappa(int32_t kappa) {
  if (!Sequence_->FrameSizeSet) return;
  KappaFactor = kappa;
  const TCombineJobSpec job = CombineJobSpec(TCombineMethod::KappaSigma, Sequence_->FrameHeight);
  StartJob(TJobKind::Kappa, job.Caption, job.Maximum);
}

void TMainController::CombineJob(TJobKind kind, const TJobHooks& hooks) {
  const TCombineMethod method = kind == TJobKind::Kappa ? TCombineMethod::KappaSigma : TCombineMethod::Mean;
  const int32_t current = Sequence_->CurrentIndex;
  TCombineCallbacks callbacks;
  callbacks.Cancelled = hooks.Cancelled;
  callbacks.Progress = hooks.Progress;
  TCombineParams params = CombineParamsOf(Settings_, KappaFactor);
  params.FullDepth = Settings_.FITS.PleineProfondeur;  // kept for a full-depth FITS save
  std::optional<TCombineResult> result =
      RunCombination(*Sequence_, method, params, callbacks, CombineAlignsOf(Settings_));
  if (hooks.End) hooks.End();
  Sequence_->CurrentIndex = current;
  View_.PictureChanged();
  if (result) View_.ShowCombinationResult(*result);  // cancelled: no result, no report, no message
}

// --- Saving ---------------------------------------------------------------------------------

void TMainController::Save() {
  if (!Sequence_->CurrentImage) return;
  TMessageSaveQuestions questions;
  const TSaveOutcome outcome = SaveSingleImage(*Sequence_->CurrentImage, SaveDirectory, SaveBaseName, SaveNumber,
                                               Settings_, Settings_.FITS, questions);
  for (int i = 0; i < outcome.Beeps; ++i)
    if (Beep) Beep();
  Refresh();
  if (!outcome.Status) Messages().Ok("Save image", outcome.Status.Message(), TMsgIcon::Error);
}

void TMainController::StartBatchSave(const TLotParams& choices) {
  if (!Sequence_->SequenceOpen) return;
  LotParams = choices;
  StartJob(TJobKind::BatchSave, "Batch saving", Sequence_->ImageCount);
}

void TMainController::BatchSaveJob(const TJobHooks& hooks) {
  // FITS texts and depth for this batch only: the settings', or what the FITS
  // parameters dialog confirms now.
  TParamFITS fits = Settings_.FITS;
  if (Settings_.Fits && ChooseBatchFits) {
    TParamFITS chosen = Settings_.FITS;
    if (ChooseBatchFits(chosen)) fits = chosen;
  }
  const int32_t remembered = Sequence_->CurrentIndex;
  TMessageSaveQuestions questions;
  TBatchSaveHooks saveHooks;
  saveHooks.Cancelled = hooks.Cancelled;
  saveHooks.Progress = hooks.Progress;
  const TBatchSaveOutcome outcome = SaveBatch(*Sequence_, LotParams, SaveNumber, Settings_, fits, questions, saveHooks);
  // The job closes its progress window itself, also after a write failure.
  if (hooks.End) hooks.End();
  // The window shows the last image read.
  if (Sequence_->CurrentIndex != remembered) ShowCurrentImage();
  Refresh();
  if (!outcome.Status) Messages().Ok("Batch saving", outcome.Status.Message(), TMsgIcon::Error);
}

void TMainController::StartJob(TJobKind kind, const std::string& caption, int32_t maximum) {
  View_.RunJobWithProgress({kind, caption, maximum});
}

void TMainController::RunJob(TJobKind kind, const TJobHooks& hooks) {
  switch (kind) {
    case TJobKind::AutoFrame: AutoFrameJob(hooks); return;
    case TJobKind::BatchSave: BatchSaveJob(hooks); return;
    case TJobKind::Mean:
    case TJobKind::Kappa: CombineJob(kind, hooks); return;
  }
  if (hooks.End) hooks.End();
}

// --- The command guard -----------------------------------------------------------------------

void TMainController::Run(const std::function<void()>& command) {
  const int32_t saved = Sequence_->CurrentIndex;
  std::string reason;
  try {
    command();
    return;
  } catch (const std::exception& e) {
    reason = e.what();
  }
  std::string path = Sequence_->AviFileName;
  if (const TAviList* record = Sequence_->CurrentRecord(); record && record->IsBmpFile) path = record->FileName;
  Messages().Ok("Error", path.empty() ? reason : path + "\n" + reason, TMsgIcon::Error);
  // Go back to the image shown before the command, so that the position, the
  // record and the picture agree again.
  Sequence_->CurrentIndex = saved >= 0 && saved < Sequence_->ImageCount ? saved : 0;
  try {
    ShowCurrentImage();
  } catch (const std::exception&) {
    Sequence_->CurrentImage.reset();
    View_.PictureChanged();
    Refresh();
  }
}
