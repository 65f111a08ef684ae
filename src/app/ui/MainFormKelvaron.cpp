// SPDX-License-Identifier: GPL-3.0-or-later
// Main window: the list commands. A BMP file list made in the list dialog, a
// Kelvaron list chosen in the File menu or named on the command line
// ("/KELVARON" followed by the list's path, kept in CommandLineParams), and
// the image preview window. The lists are read into a fresh sequence that
// replaces the open one (closed first, as every open command does).
#include <QFile>
#include <QFileDialog>

#include <memory>

#include "app/ParamGlob.h"
#include "app/ui/MainForm.h"
#include "browse/ListCommands.h"
#include "browse/ui/BrowseImage.h"
#include "browse/ui/LoadBMPForm.h"

namespace {
std::string LocalName(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

void TMainForm::Action_Ouvrir_BmpExecute() {
  BmpSelection().reset();
  TLoadBMPForm dialog(ParamGlob.repertoire, this);
  if (dialog.exec() != QDialog::Accepted) return;
  auto fresh = std::make_unique<TSequence>();
  OpenBmpSelection(*fresh, BmpSelection().get(), AppTitle.toStdString());
  Controller_.ReplaceSequence(std::move(fresh));
}

void TMainForm::Action_ouvrir_kelvaronExecute() {
  const QString filter = QStringLiteral("Kelvaron file (*.LST) (*.lst *.LST)");
  const QString caption = QStringLiteral("Open a Kelvaron ffile list");
  const QString path = ChooseOpenFile ? ChooseOpenFile(caption, filter)
                                      : QFileDialog::getOpenFileName(this, caption, QString(), filter);
  if (path.isEmpty()) return;
  auto fresh = std::make_unique<TSequence>();
  fresh->AviFileName = LocalName(path);
  LoadKelvaronList(*fresh, LocalName(path), AppTitle.toStdString(), Messages());
  Controller_.ReplaceSequence(std::move(fresh));
}

void TMainForm::OpenFromCommandLine() {
  std::vector<std::string> params;
  for (const QString& p : CommandLineParams) params.push_back(LocalName(p));
  Controller_.Run([this, &params] {
    auto fresh = std::make_unique<TSequence>();
    if (::OpenFromCommandLine(*fresh, params, AppTitle.toStdString(), Messages()).SetCaption)
      Controller_.ReplaceSequence(std::move(fresh));
  });
}

void TMainForm::Action_Browse_ImageExecute() {
  TBrowseImage browser(ParamGlob.repertoire, this);
  browser.exec();
}
