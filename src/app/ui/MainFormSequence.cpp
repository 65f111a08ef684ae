// Main window: the Open command and the sample video.
#include <QDir>
#include <QPointer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <exception>

#include "app/ui/MainForm.h"
#include "app/ui/AboutBox.h"
#include "app/ui/OpenDialog.h"
#include "platform/Messages.h"
#include "platform/VideoWriter.h"
#include "sequence/SamplePlanet.h"

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

// --- Opening ------------------------------------------------------------------------

void TMainForm::action_ouvrirExecute() {
  const QString filter = QStringLiteral("Video File AVI (*.avi *.AVI)");
  const QString path = ChooseOpenFile ? ChooseOpenFile(QStringLiteral("Open"), filter)
                                      : ChooseFileToOpen(this, QStringLiteral("Open"), filter);
  if (!path.isEmpty()) Controller_.OpenVideo(LocalPath(path));
}

bool TMainForm::OpenFile(const QString& path) {
  bool opened = false;
  Controller_.Run([this, &path, &opened] { opened = Controller_.OpenVideo(LocalPath(path)); });
  return opened;
}

// --- Start-up -----------------------------------------------------------------------

namespace {
// Closes the splash before the first message box of the start-up shows.
class TSplashClosingMessages : public TMessages {
 public:
  TSplashClosingMessages(TMessages& inner, TAboutBox* splash) : Inner_(inner), Splash_(splash) {}
  TMsgButton Show(const TMessageRequest& request) override {
    if (Splash_) Splash_->close();
    return Inner_.Show(request);
  }

 private:
  TMessages& Inner_;
  QPointer<TAboutBox> Splash_;
};
}  // namespace

void TMainForm::OpenAtStart(const QStringList& params, TAboutBox* splash) {
  QPointer<TAboutBox> guard = splash;
  if (guard) guard->SetTopMost(false);
  {
    TSplashClosingMessages messages(Messages(), splash);
    const TMessagesScope scope(messages);
    if (!params.isEmpty() && params[0].compare(QLatin1String("/KELVARON"), Qt::CaseInsensitive) == 0) {
      OpenFromCommandLine();
    } else {
      const QString video = params.isEmpty() ? EnsureSampleVideo() : params[0];
      if (!video.isEmpty()) OpenFile(video);
    }
  }
  if (guard && guard->isVisible()) {
    guard->SetTopMost(true);
    guard->StartTimer();
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
