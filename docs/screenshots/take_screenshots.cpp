// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the screenshots of the user guide: the main window with the sample
// video framed, the window after automatic framing, the Parameters dialog;
// with the real lunar capture (testdata/real/moon_divx.avi beside the
// checkout) also a frame drawn on the Moon and the surface-framed stack.
// Run by scripts/screenshots (under xvfb-run): take_screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/ParamGlob.h"
#include "app/ui/AboutBox.h"
#include "app/ui/FormParam.h"
#include "app/ui/MainForm.h"
#include "platform/Messages.h"

namespace {
bool Save(QWidget& w, const QString& path) {
  QApplication::processEvents();
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) return std::fprintf(stderr, "usage: take_screenshots OUTDIR\n"), 2;
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir settings;
  SetIniPath(QFile::encodeName(settings.filePath(QStringLiteral("stellon.ini"))).toStdString());
  InitStellonResources();
  TScriptedMessages answers;  // the problems of automatic framing, answered OK
  TMessagesScope scope(answers);

  TMainForm form;
  ParamGlob.Rapport = false;
  form.resize(900, 620);
  form.show();
  QString why;
  const QString sample = TMainForm::EnsureSampleVideo(&why);
  if (sample.isEmpty() || !form.OpenFile(sample)) return std::fprintf(stderr, "%s\n", qPrintable(why)), 1;
  TMainController& c = form.Controller();
  c.Run([&c] {
    c.GoTo(4);
    c.Frame();
  });
  bool ok = Save(form, out.filePath(QStringLiteral("main-window.png")));

  c.Run([&c] {
    c.StartAutoFraming();
    c.GoTo(24);
  });
  ok = Save(form, out.filePath(QStringLiteral("auto-framing.png"))) && ok;

  TFormParam parameters(&form);
  parameters.show();
  ok = Save(parameters, out.filePath(QStringLiteral("parameters.png"))) && ok;
  parameters.close();

  // Surface framing of the lunar capture: a frame drawn on image 1, followed
  // through every image, then the mean combination in the result window.
  const std::string moon = std::string(STELLON_SOURCE_DIR) + "/../shared/testdata/real/moon_divx.avi";
  if (!std::filesystem::exists(moon)) {
    std::printf("no lunar capture at %s: lunar shots skipped\n", moon.c_str());
    return ok ? 0 : 1;
  }
  if (!form.OpenFile(QString::fromStdString(moon))) return 1;
  ParamGlob.cadrage_surface = true;
  ParamGlob.bordure = 0;
  c.Run([&c] {
    c.SetDrawnFrame({320, 240, 959, 719});
    c.AdjustedSize();
    c.SetBilinear(true);  // thin outlines survive the reduction
  });
  form.resize(1100, 860);
  ok = Save(form, out.filePath(QStringLiteral("moon-frame.png"))) && ok;
  c.Run([&c] { c.StartAutoFraming(); });
  // The result window is modal: taken and closed once it is up.
  QTimer poll;
  bool taken = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* result = QApplication::activeModalWidget();
    if (!result || !result->inherits("TShowBitmap")) return;
    poll.stop();
    taken = Save(*result, out.filePath(QStringLiteral("moon-stack.png")));
    result->close();
  });
  poll.start(500);
  c.Run([&c] { c.StartMean(); });
  ok = taken && ok;
  return ok ? 0 : 1;
}
