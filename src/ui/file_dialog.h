// SPDX-License-Identifier: GPL-2.0-or-later
// Choosing a file to import from or export to, with the desktop's own file
// dialog (through the desktop portal where there is one).
#pragma once

#include <QString>

class QWidget;

namespace vantorel::ui {

struct FileChoice {
    bool save = false;           // a file to write (asks before replacing one)
    QString filter_name;         // "Profile File"
    QString suffix;              // "pro": the filter is *.pro and *.PRO, and a saved name gets it
    QString folder;              // where the dialog opens; empty: its own choice
    QString suggested_name;      // save: the name offered
};

// The chosen path, or empty when the user cancelled.
QString ChooseFile(QWidget* owner, const FileChoice& choice);

}  // namespace vantorel::ui
