// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: the Open command and the sample video.
#include <QDir>
#include <QPointer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>

#include <unistd.h>

#include <exception>
#include <new>
#include <vector>

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
  const QString filter = QStringLiteral("Video File AVI (*.avi *.AVI);;Videos (*.avi *.ser *.mp4 *.mkv *.mov *.webm)");
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

void TMainForm::OpenAtStart(const QStringList& params, TAboutBox* splash) {
  QPointer<TAboutBox> guard = splash;
  if (guard) guard->SetTopMost(false);
  {
    TSplashClosingMessages messages(Messages(), splash);
    const TMessagesScope scope(messages);
    if (!params.isEmpty() && params[0].compare(QLatin1String("/KELVARON"), Qt::CaseInsensitive) == 0) {
      OpenFromCommandLine();
    } else {
      // A file handed over by the file manager ("Open with") or a shell, else the sample.
      QString why;
      const QString file = params.isEmpty() ? EnsureSampleVideo(&why) : params[0];
      if (!file.isEmpty()) OpenExternalFile(file);
      else StatusPanel2->setText(why);
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

QString TMainForm::EnsureSampleVideo(QString* why) {
  // The cache folder, else a folder of this user in the temporary folder
  // (Qt gives no temporary folder when $TMPDIR names none).
  std::vector<std::string> folders = {LocalPath(QFileInfo(SampleVideoPath()).absolutePath())};
  const QString temp = QDir::tempPath();
  if (!temp.isEmpty()) folders.push_back(LocalPath(temp + QStringLiteral("/stellon-") + QString::number(::geteuid())));
  std::string path;
  TStatus status;
  try {
    status = EnsureSampleVideoIn(folders, StartupSampleOptions(), path);
  } catch (const std::bad_alloc&) {
    status = TStatus::Fail("not enough memory to write the sample video");
  } catch (const std::exception& e) {
    status = TStatus::Fail(e.what());
  }
  if (status) return QFile::decodeName(path.c_str());
  if (why) *why = QStringLiteral("No sample video: ") + QString::fromStdString(status.Message());
  return QString();
}
