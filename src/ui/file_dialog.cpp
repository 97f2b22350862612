// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace vantorel::ui {

namespace {

struct FolderMemory {
    QString last;  // absolute; empty: none chosen yet
    std::function<void(const QString&)> save;
};

FolderMemory& memory() {
    static FolderMemory m;
    return m;
}

void remember(const QString& chosen_file) {
    const QString folder = QFileInfo(chosen_file).absolutePath();
    if (folder.isEmpty() || folder == memory().last) return;
    memory().last = folder;
    if (memory().save) memory().save(folder);
}

}  // namespace

QString FileDialogFolder() {
    const QString& last = memory().last;
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    return QDir::homePath();
}

void SetFileDialogMemory(std::function<QString()> load, std::function<void(const QString&)> save) {
    const QString kept = load ? load() : QString();
    memory().last = kept.isEmpty() ? QString() : QDir(kept).absolutePath();
    memory().save = std::move(save);
}

QString ChooseFile(QWidget* owner, const FileChoice& choice) {
    QFileDialog dialog(owner);
    // Our theme styles the dialog's views and header too (see the theme's
    // file dialog section); its object name lets a theme find it.
    dialog.setObjectName(QStringLiteral("file_dialog"));
    dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("%1 (*.%2 *.%3)").arg(choice.filter_name, choice.suffix.toLower(),
                                                                choice.suffix.toUpper()));
    dialog.setDefaultSuffix(choice.suffix);
    dialog.setDirectory(FileDialogFolder());
    if (choice.save && !choice.suggested_name.isEmpty()) dialog.selectFile(choice.suggested_name);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().constFirst();
    remember(path);
    return path;
}

}  // namespace vantorel::ui
