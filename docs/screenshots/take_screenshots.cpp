// Takes the screenshots of the user guide: the main window with the sample
// video framed, the window after automatic framing, the Parameters dialog.
// Run by scripts/screenshots (under xvfb-run): take_screenshots OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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
  return ok ? 0 : 1;
}
