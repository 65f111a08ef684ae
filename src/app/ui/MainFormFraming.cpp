// Main window: the frame commands and the frame controls of GroupCadre.
//
// The work itself is the framing core's (framing/Detect.h, Frame.h,
// AutoFrame.h); these handlers feed it the sequence and the settings, keep the
// image list's ticks and the display in step, and tell the user what failed.
// Frame outlines are drawn into the displayed copy of the image only
// (DrawCurrentFrame); CurrentImage stays as fetched.
#include <QCheckBox>
#include <QLineEdit>

#include <memory>
#include <string>

#include "app/ParamGlob.h"
#include "app/ui/MainForm.h"
#include "app/ui/ProgressForm.h"
#include "combine/Report.h"
#include "combine/ui/FicheRapport.h"
#include "framing/AutoFrame.h"
#include "framing/Detect.h"
#include "framing/Frame.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"

namespace {
constexpr const char* kBuildingFrame = "Building frame";
constexpr const char* kNotFoundText = "Building frame impossible, increase tolerance or go complex.";
constexpr const char* kOutOfLimitText = "Frame out of image limit, decrease tolerance.";
}  // namespace

// --- Manual framing ------------------------------------------------------------------

void TMainForm::Action_CadreExecute() {
  if (Refreshing) return;
  TAviList* record = Sequence.CurrentRecord();
  // Without an image shown there is nothing to detect in.
  if (!record || !Sequence.CurrentImage) return;
  record->HasFrame = false;
  RestoreDisplayedImage();  // erases an outline drawn before
  const TFastDIB& image = *Sequence.CurrentImage;
  TRect rect;
  const char* failure = nullptr;
  if (!DetectObject(image, rect, Sequence, AutoFrameOptionsOf(ParamGlob).Detect()))
    failure = kNotFoundText;
  else if (MakeFrame(Sequence, Sequence.CurrentIndex, rect, image, ParamGlob.bordure) != TFrameResult::Accepted)
    failure = kOutOfLimitText;
  if (failure) {
    // The picture lost its outline and the image its frame: show both.
    VideoPanel->Changed();
    RefreshWindowState();
    Messages().Ok(kBuildingFrame, failure, TMsgIcon::Warning);
    return;
  }
  SetImageChecked(Sequence.CurrentIndex, true);
  DrawCurrentFrame();
}

void TMainForm::CheckcadreClick() {
  if (Refreshing) return;
  TAviList* record = Sequence.CurrentRecord();
  if (!record || !Sequence.CurrentImage) {
    RefreshWindowState();  // puts the box back as it was
    return;
  }
  if (!Checkcadre->isChecked()) record->HasFrame = false;  // pixels and tick are kept
  else Action_CadreExecute();
  RestoreDisplayedImage();
  ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::Action_suppression_cadreExecute() {
  TAviList* record = Sequence.CurrentRecord();
  if (!record || !Sequence.CurrentImage) return;
  record->HasFrame = false;  // pixels, tick and frame size are kept
  RestoreDisplayedImage();
  ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::Action_Supprimer_ts_cadreExecute() {
  // Needs no image: every record loses its frame and its pixel copy.
  for (int i = 0; i < Sequence.ImageList.Count(); ++i) {
    TAviList* record = Sequence.Record(i);
    record->HasFrame = false;
    TFramePixels().swap(record->FramePixels);
    record->FramePixelsRect = TRect{};
  }
  Sequence.FrameSizeSet = false;  // the next frame fixes a new size
  if (Sequence.CurrentImage) {
    RestoreDisplayedImage();
    ShowCurrentImage();
  }
  RefreshWindowState();
}

// --- Tolerance -------------------------------------------------------------------------

void TMainForm::EditTolerance1Change() {
  QString text = EditTolerance1->text();
  text.remove(QLatin1Char(' '));
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  Sequence.Tolerance = ok ? value : 0;
}

void TMainForm::UpDown1Click() { Sequence.Tolerance = UpDown1->Position(); }

// --- Automatic framing -----------------------------------------------------------------

void TMainForm::Action_cadre_automatiqueExecute() {
  if (!Sequence.SequenceOpen) return;
  const QString caption =
      QStringLiteral("Auto framing") + (ParamGlob.calcul_simple ? QStringLiteral("(Simple)") : QStringLiteral("(Complex)"));
  RunWithProgress(this, caption, 0, Sequence.ImageCount, JobAutoFrame);
}

void TMainForm::AutoFrameAll() {
  // The problem report collects the rows; without it each problem is told at
  // once and the run waits for the box to be closed.
  std::unique_ptr<TFicheRapport> report;
  if (ParamGlob.Rapport) {
    report = std::make_unique<TFicheRapport>(this);
    report->BeginUpdate();
  }
  TAutoFrameHooks hooks;
  hooks.Cancelled = JobCancelCheck();
  hooks.Progress = JobProgress();
  hooks.Framed = [this](int32_t index) { SetImageChecked(index, true); };
  hooks.Problem = [&report](const TFrameProblem& p) {
    if (report) {
      report->AddRow(MakeProblemRow(p));
      return;
    }
    Messages().Ok("Building frame : image" + std::to_string(p.Index + 1),
                  p.Kind == TFrameProblemKind::OutOfLimit ? kOutOfLimitText : kNotFoundText, TMsgIcon::Warning);
  };
  std::string noRoom;
  RunJob("Auto framing", [&] { noRoom = ::AutoFrameAll(Sequence, AutoFrameOptionsOf(ParamGlob), hooks).NoRoom; });
  if (!noRoom.empty()) Messages().Ok("Auto framing", noRoom, TMsgIcon::Error);
  // The current image's frame may have moved: draw it on a clean picture.
  RestoreDisplayedImage();
  VideoPanel->Changed();
  DrawCurrentFrame();
  if (!report) return;
  if (report->RowCount() > 0) {
    report->EndUpdate();
    report->SetupReport(QString::fromUtf8(kAutoFramingReportCaption), QString::fromUtf8(kAutoFramingReportText));
    report->exec();
  } else {
    Messages().Ok("Automatic frames", "No problem occured when building all frame", TMsgIcon::Information);
  }
}

// --- Margin rebuilding -------------------------------------------------------------------

bool TMainForm::RebuildFrameMargins() {
  if (Sequence.ImageList.Empty() || !SequenceHasFrame(Sequence)) return true;
  if (Messages().YesNo("Margin", "Margin parameter change. Rebuild frame with new margin ?") != TMsgButton::Yes)
    return true;
  TFicheRapport report(this);
  report.BeginUpdate();
  const std::vector<TFrameProblem> rows =
      ::RebuildFrameMargins(Sequence, ParamSaisie.bordure, [this](int32_t index) { SetImageChecked(index, false); });
  report.AddRows(MakeProblemRows(rows));
  ShowCurrentImage();
  if (report.RowCount() > 0) {
    report.EndUpdate();
    report.SetupReport(QString::fromUtf8(kRebuildReportCaption), QString::fromUtf8(kRebuildReportText));
    report.exec();
  } else {
    Messages().Ok("Margin", "Frame have been rebuilt with new margin. No frame out of limits.No frame out of limit.",
                  TMsgIcon::Information);
  }
  return true;
}
