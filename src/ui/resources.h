// SPDX-License-Identifier: GPL-2.0-or-later
// The process-wide resource folder ("res": skins, images, language files,
// style sheet) and the language loaded from it. Windows find their skins
// here; "skin:" in a style sheet or an image path names a file in it.
#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include "ui/language.h"

class QApplication;

namespace vantorel::ui {

class ResourceManager : public QObject {
    Q_OBJECT
public:
    static ResourceManager& instance();

    // The folders searched for "res", best first: beside the executable,
    // then the shared data folder of an installed copy.
    static QStringList candidate_roots(const QString& executable_dir);
    // Picks the first candidate that holds "main.xml"; empty when none does.
    static QString locate_root(const QString& executable_dir);

    void set_resource_path(const QString& root);
    QString resource_path() const { return root_; }
    // Absolute path of a file in the resource folder.
    QString path(const QString& relative) const { return path_in(root_, relative); }
    // The same for a resource folder `root` given as set_resource_path keeps it.
    static QString path_in(const QString& root, const QString& relative);

    // Loads (or reloads) the language; windows refresh their texts on
    // languageChanged.
    bool load_language(const QLocale& locale = QLocale::system());
    const Language& language() const { return language_; }
    QString text(const QString& key) const { return language_.get(key); }

    // Reads "theme.qss" and applies it to the application.
    bool apply_theme(QApplication& app) const;

signals:
    void languageChanged();

private:
    ResourceManager() = default;
    QString root_;
    Language language_;
};

// Shorthand for the language text of a key.
inline QString Tr(const QString& key) { return ResourceManager::instance().text(key); }

}  // namespace vantorel::ui
