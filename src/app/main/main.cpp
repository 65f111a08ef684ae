// SPDX-License-Identifier: GPL-3.0-or-later
// The Stellon program: splash, main window, command line, message loop.
//
//   stellon [--ini PATH] [VIDEO.avi]
//   stellon [--ini PATH] /KELVARON LIST.LST
//
// Without a file the program opens a generated sample video of a planet, kept
// in the user's cache folder, so that a first start shows the program at work.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPointer>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/MainForm.h"
#include "app/ui/QtMessages.h"
#include "base/Version.h"

namespace {

// Icons come from the desktop's theme. Outside a desktop session Qt knows
// neither the theme nor where themes live: look in the XDG data folders and
// take the first of the common themes installed there.
void ChooseIconTheme() {
  if (!QIcon::themeName().isEmpty() && QIcon::themeName() != QLatin1String("hicolor")) return;
  QStringList paths = QIcon::themeSearchPaths();
  QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
  if (dataDirs.isEmpty()) dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
  dataDirs.prepend(QDir::homePath() + QStringLiteral("/.local/share"));
  for (const QString& dir : dataDirs)
    if (!paths.contains(dir + QStringLiteral("/icons"))) paths << dir + QStringLiteral("/icons");
  QIcon::setThemeSearchPaths(paths);
  for (const char* theme : {"Adwaita", "breeze", "oxygen", "Tango", "gnome"})
    for (const QString& dir : paths)
      if (QFileInfo::exists(dir + QLatin1Char('/') + QLatin1String(theme) + QStringLiteral("/index.theme"))) {
        QIcon::setThemeName(QLatin1String(theme));
        return;
      }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", STELLON_TITLE);
    return 0;
  }
  // A write beyond the file-size limit must fail as an error the writer
  // reports and cleans up, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  TakeIniOption(argc, argv);
  QApplication app(argc, argv);
  // Saved images go to the user's pictures folder unless the settings say otherwise.
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) SetDefaultRepertoire(QFile::encodeName(pictures).toStdString());
  QApplication::setApplicationName(QStringLiteral("stellon"));
  InitStellonResources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/stellon.png")));
  ChooseIconTheme();
  InstallQtMessages();

  const QStringList params = QApplication::arguments().mid(1);

  // The about box, restyled, is the splash; it deletes itself once closed.
  QPointer<TAboutBox> splash = new TAboutBox;
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->MakeSplash();
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  SetApplicationTitle(QStringLiteral(STELLON_TITLE));
  // A settings file that cannot be used is told while the window is made:
  // the splash leaves before that box.
  TSplashClosingMessages startMessages(Messages(), splash);
  auto startScope = std::make_unique<TMessagesScope>(startMessages);
  TMainForm form;
  startScope.reset();
  form.CommandLineParams = params;
  form.show();

  form.OpenAtStart(params, splash);
  return app.exec();
}
