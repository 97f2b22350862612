// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/file_dialog.h"

#include <QFileDialog>

namespace vantorel::ui {

QString ChooseFile(QWidget* owner, const FileChoice& choice) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("%1 (*.%2 *.%3)").arg(choice.filter_name, choice.suffix.toLower(),
                                                                choice.suffix.toUpper()));
    dialog.setDefaultSuffix(choice.suffix);
    if (!choice.folder.isEmpty()) dialog.setDirectory(choice.folder);
    if (choice.save && !choice.suggested_name.isEmpty()) dialog.selectFile(choice.suggested_name);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace vantorel::ui
