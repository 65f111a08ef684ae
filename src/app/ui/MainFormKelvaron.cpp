// Main window: the list commands. A BMP file list made in the list dialog, a
// Kelvaron list chosen in the File menu or named on the command line
// ("/KELVARON" followed by the list's path, kept in CommandLineParams), and
// the image preview window.
#include <QFile>
#include <QFileDialog>

#include "app/ParamGlob.h"
#include "app/ui/MainForm.h"
#include "browse/ListCommands.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/LoadBMPForm.h"

namespace {
std::string LocalName(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

void TMainForm::ShowListOpened(const std::string& caption, bool setCaption) {
  FillImageList();
  if (setCaption) setWindowTitle(QString::fromStdString(caption));
  if (Sequence.SequenceOpen) ShowCurrentImage();
  RefreshWindowState();
}

void TMainForm::Action_Ouvrir_BmpExecute() {
  BmpSelection().reset();
  TLoadBMPForm dialog(ParamGlob.repertoire, this);
  const bool ok = dialog.exec() == QDialog::Accepted;
  if (!ok) return;
  Action_fermerExecute();
  const TListOpened opened = OpenBmpSelection(Sequence, BmpSelection().get(), AppTitle.toStdString());
  ShowListOpened(opened.Caption, opened.SetCaption);
}

void TMainForm::Action_ouvrir_kelvaronExecute() {
  const QString filter = QStringLiteral("Kelvaron file (*.LST) (*.lst *.LST)");
  const QString caption = QStringLiteral("Open a Kelvaron ffile list");
  const QString path = ChooseOpenFile ? ChooseOpenFile(caption, filter)
                                      : QFileDialog::getOpenFileName(this, caption, QString(), filter);
  if (path.isEmpty()) return;
  OpenKelvaronFile(path);
}

void TMainForm::OpenKelvaronFile(const QString& path) {
  Action_fermerExecute();
  Sequence.AviFileName = LocalName(path);
  const TListOpened opened = LoadKelvaronList(Sequence, LocalName(path), AppTitle.toStdString(), Messages());
  ShowListOpened(opened.Caption, opened.SetCaption);
}

void TMainForm::OpenFromCommandLine() {
  std::vector<std::string> params;
  for (const QString& p : CommandLineParams) params.push_back(LocalName(p));
  const TListOpened opened = ::OpenFromCommandLine(Sequence, params, AppTitle.toStdString(), Messages());
  ShowListOpened(opened.Caption, opened.SetCaption);
}

void TMainForm::Action_Browse_ImageExecute() {
  TBrowseImage browser(ParamGlob.repertoire, this);
  browser.exec();
}
