// Main window: opening and closing a sequence, showing the current image and
// its frame, navigation, ticking, the command guard and the sample video.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QStandardPaths>

#include <exception>

#include "app/ui/MainForm.h"
#include "image/ui/FastIMG.h"
#include "platform/Messages.h"
#include "platform/VideoWriter.h"
#include "sequence/SamplePlanet.h"
#include "sources/CaptureSource.h"

namespace {
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The start-up sample: a short capture of a banded planet with the faults of
// a real night (a few blurred images, one where the planet leaves the
// picture, one without it), small enough to write in a moment.
TSampleOptions StartupSampleOptions() {
  TSampleOptions options;
  options.Frames = 60;
  options.Width = 400;
  options.Height = 300;
  options.Seed = 2005;
  options.Format = TVideoCodec::Bgr24;
  options.FrameRate = 15;
  options.BlurredFrames = {9, 23, 41};
  options.PartialFrames = {52};
  options.EmptyFrames = {34};
  return options;
}
}  // namespace

// --- Opening and closing ----------------------------------------------------------

void TMainForm::action_ouvrirExecute() {
  const QString filter = QStringLiteral("Video File AVI (*.avi *.AVI);;Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)");
  const QString path = ChooseOpenFile ? ChooseOpenFile(QStringLiteral("Open"), filter)
                                      : QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), filter);
  if (path.isEmpty()) return;
  OpenAviFile(path);
}

bool TMainForm::OpenAviFile(const QString& path) {
  Action_fermerExecute();
  if (!IsAviPath(LocalPath(path))) {
    // SER captures and other containers: the reader says what is wrong.
    if (const TStatus opened = Sequence.OpenCapture(LocalPath(path)); !opened) {
      Messages().Ok("Error", opened.Message(), TMsgIcon::Error);
      RefreshWindowState();
      return false;
    }
  } else if (!Sequence.OpenAvi(LocalPath(path))) {
    Messages().Ok("Error", LocalPath(path) + "is not a valid AVI file.", TMsgIcon::Error);
    RefreshWindowState();
    return false;
  }
  FillImageList();
  setWindowTitle(AppTitle + QStringLiteral(" - ") + QFileInfo(path).fileName());
  ShowCurrentImage();
  RefreshWindowState();
  return true;
}

void TMainForm::FillImageList() {
  const QSignalBlocker blockTrack(TrackBar1);
  FillingList_ = true;
  CheckListBox1->clear();
  for (int i = 0; i < Sequence.ImageList.Count(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(Sequence.ImageList.Strings(i)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Sequence.Record(i)->Checked ? Qt::Checked : Qt::Unchecked);
    CheckListBox1->addItem(item);
  }
  FillingList_ = false;
  const int count = Sequence.ImageCount;
  TrackBar1->setEnabled(count >= 1);
  if (count >= 1) {
    TrackBar1->setRange(0, count - 1);
    TrackBar1->setValue(0);
    TrackBar1->setTickInterval(count > 10 ? count / 10 : 1);
    TrackBar1->setPageStep(count > 10 ? count / 10 : 1);
  }
}

void TMainForm::Action_fermerExecute() {
  Sequence.Close();
  FillingList_ = true;
  CheckListBox1->clear();
  FillingList_ = false;
  {
    const QSignalBlocker blockTrack(TrackBar1);
    TrackBar1->setRange(0, 0);
  }
  VideoPanel->Bmp().SetSize(0, 0, 24, 0);
  setWindowTitle(AppTitle);
  StatusPanel2->clear();
  RefreshWindowState();
  VideoPanel->Changed();
}

// --- The current image -------------------------------------------------------------

void TMainForm::ShowCurrentImage() {
  if (Sequence.FetchCurrentImage() && Sequence.CurrentImage) {
    VideoPanel->Bmp().CopyFrom(*Sequence.CurrentImage);
  } else {
    Sequence.CurrentImage.reset();
    VideoPanel->Bmp().SetSize(0, 0, 24, 0);
  }
  VideoPanel->Changed();
  DrawCurrentFrame();
}

void TMainForm::DrawCurrentFrame() {
  const TAviList* record = Sequence.CurrentRecord();
  if (Sequence.CurrentImage && record && record->HasFrame) {
    TFastDIB& shown = VideoPanel->Bmp();
    if (record->Checked) shown.SetPen(TPenStyle::Solid, 1, TFastDIB::MakeColor(255, 255, 255));
    else shown.SetPen(TPenStyle::Dot, 1, TFastDIB::MakeColor(0, 0, 0));
    const TRect& r = record->FrameRect;
    shown.MoveTo(r.Left, r.Top);
    shown.LineTo(r.Right, r.Top);
    shown.LineTo(r.Right, r.Bottom);
    shown.LineTo(r.Left, r.Bottom);
    shown.LineTo(r.Left, r.Top);
    VideoPanel->Changed();
  }
  RefreshWindowState();
}

void TMainForm::RestoreDisplayedImage() {
  if (Sequence.CurrentImage) VideoPanel->Bmp().CopyFrom(*Sequence.CurrentImage);
}

// --- Navigation ---------------------------------------------------------------------

void TMainForm::BtPrecClick() {
  if (Sequence.CurrentIndex <= 0) return;
  --Sequence.CurrentIndex;
  ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::BtSuivClick() {
  if (Sequence.CurrentIndex + 1 >= Sequence.ImageCount) return;
  ++Sequence.CurrentIndex;
  ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::trackbar1Change() {
  if (!Sequence.SequenceOpen || TrackBar1->value() == Sequence.CurrentIndex) return;
  Sequence.CurrentIndex = TrackBar1->value();
  ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::CheckListBox1Click() {
  const int row = CheckListBox1->currentRow();
  if (FillingList_ || !Sequence.SequenceOpen || row < 0 || row == Sequence.CurrentIndex) return;
  Sequence.CurrentIndex = row;
  ShowCurrentImage();
  RefreshWindowState();
}

// --- Ticking ------------------------------------------------------------------------

void TMainForm::CheckListBox1ClickCheck(QListWidgetItem* item) {
  if (FillingList_ || !item) return;
  const int row = CheckListBox1->row(item);
  TAviList* record = Sequence.Record(row);
  const bool ticked = item->checkState() == Qt::Checked;
  // A line whose tick already matches its record was set by the program.
  if (!record || record->Checked == ticked) return;
  const int32_t before = Sequence.CurrentIndex;
  Sequence.CurrentIndex = row;
  record->Checked = ticked;
  ShowCurrentImage();
  if (before != Sequence.CurrentIndex) RefreshWindowState();
}

void TMainForm::SetImageChecked(int index, bool checked) {
  if (TAviList* record = Sequence.Record(index)) record->Checked = checked;
  if (QListWidgetItem* item = CheckListBox1->item(index)) {
    FillingList_ = true;
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    FillingList_ = false;
  }
}

void TMainForm::CheckListBox1KeyPress(QChar key) {
  if (key == QLatin1Char('c') || key == QLatin1Char('C')) Checkcadre->setChecked(!Checkcadre->isChecked());
}

void TMainForm::Action_Decocher_imagesExecute() {
  for (int i = 0; i < Sequence.ImageList.Count(); ++i) SetImageChecked(i, false);
  RefreshWindowState();
}

// --- Command guard ------------------------------------------------------------------

void TMainForm::ShowFailure(const std::string& path, const std::string& reason) {
  Messages().Ok("Error", path.empty() ? reason : path + "\n" + reason, TMsgIcon::Error);
}

void TMainForm::RunCommand(const std::function<void()>& command) {
  const int32_t saved = Sequence.CurrentIndex;
  std::string reason;
  try {
    command();
    return;
  } catch (const std::exception& e) {
    reason = e.what();
  } catch (...) {
    reason = "Unexpected error.";
  }
  Refreshing = false;
  FillingList_ = false;
  std::string path = Sequence.AviFileName;
  if (const TAviList* record = Sequence.CurrentRecord(); record && record->IsBmpFile) path = record->FileName;
  ShowFailure(path, reason);
  // Go back to the image that was shown before the command, so that the
  // position, the record and the picture agree again.
  Sequence.CurrentIndex = saved >= 0 && saved < Sequence.ImageCount ? saved : 0;
  try {
    ShowCurrentImage();
  } catch (...) {
    Refreshing = false;
    Sequence.CurrentImage.reset();
    RefreshWindowState();
  }
}

// --- Sample video -------------------------------------------------------------------

QString TMainForm::SampleVideoPath() {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return cache + QStringLiteral("/stellon/sample.avi");
}

QString TMainForm::EnsureSampleVideo() {
  const QString path = SampleVideoPath();
  if (QFileInfo(path).size() > 0) return path;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return QString();
  // The video writer goes through the atomic writer: a failed write leaves
  // no piece of file under the name.
  try {
    std::string error;
    if (!WriteSampleVideo(LocalPath(path), StartupSampleOptions(), &error)) return QString();
  } catch (const std::exception&) {
    return QString();
  }
  return path;
}
