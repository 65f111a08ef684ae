// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialog of every open command: the program's own dialog (the same
// on every desktop), in detail view, sized so that the name, size and date
// columns show whole; the type column, which only repeats the filter, is left out.
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// A new dialog for choosing one existing file; the caller runs and deletes it.
// Its columns are fitted to the files of each folder it shows, and the dialog
// grows (up to the screen) when they need more room.
QFileDialog* MakeOpenDialog(QWidget* parent, const QString& caption, const QString& filter);

// Runs such a dialog: the chosen path, or empty when cancelled.
QString ChooseFileToOpen(QWidget* parent, const QString& caption, const QString& filter);
