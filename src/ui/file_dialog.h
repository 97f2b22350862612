// SPDX-License-Identifier: GPL-2.0-or-later
// Choosing a file to import from or export to, with the desktop's own file
// chooser through the desktop portal where one runs, otherwise with Qt's
// dialog.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vantorel::ui {

struct FileChoice {
    bool save = false;           // a file to write (asks before replacing one)
    QString filter_name;         // "Profile File"
    QString suffix;              // "pro": the filter is *.pro and *.PRO, and a saved name gets it
    QString suggested_name;      // save: the name offered
};

// The chosen path, or empty when the user cancelled. The dialog opens in the
// folder of the file last chosen (this run or, with a folder memory, an
// earlier one) while that folder exists, else in the home folder; never in
// the working folder the program happened to be started from.
QString ChooseFile(QWidget* owner, const FileChoice& choice);

// The folder the next dialog opens in.
QString FileDialogFolder();

// Where the folder last used is kept between runs. Unset, it is kept for
// this run only. Setting it reads the kept folder at once.
void SetFileDialogMemory(std::function<QString()> load, std::function<void(const QString&)> save);

// The D-Bus connection (by its name) the desktop portal is looked for on;
// empty (the default): the session bus.
void SetFileDialogPortalBus(const QString& connection_name);

}  // namespace vantorel::ui
