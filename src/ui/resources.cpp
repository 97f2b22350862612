// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/resources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QStyleFactory>

#include "core/trace.h"
#include "ui/theme_font.h"
#include "ui/theme_style.h"

#ifndef VANTOREL_INSTALLED_RES_DIR
#define VANTOREL_INSTALLED_RES_DIR ""
#endif

namespace vantorel::ui {

ResourceManager& ResourceManager::instance() {
    static ResourceManager* manager = new ResourceManager;
    return *manager;
}

QStringList ResourceManager::candidate_roots(const QString& executable_dir) {
    QStringList roots;
    roots << QDir::cleanPath(executable_dir + QStringLiteral("/res"));
    // Installed layout: <prefix>/bin/qv-vantorel and <prefix>/share/qv-vantorel/res.
    roots << QDir::cleanPath(executable_dir + QStringLiteral("/../share/qv-vantorel/res"));
    const QString installed = QStringLiteral(VANTOREL_INSTALLED_RES_DIR);
    if (!installed.isEmpty()) roots << QDir::cleanPath(installed);
    roots.removeDuplicates();
    return roots;
}

QString ResourceManager::locate_root(const QString& executable_dir) {
    for (const QString& root : candidate_roots(executable_dir)) {
        if (QFileInfo::exists(root + QStringLiteral("/main.xml"))) return root;
    }
    return {};
}

void ResourceManager::set_resource_path(const QString& root) {
    root_ = QDir::cleanPath(root);
    QDir::setSearchPaths(QStringLiteral("skin"), {root_});
    trace("resources: %s\n", qPrintable(root_));
}

QString ResourceManager::path_in(const QString& root, const QString& relative) {
    if (relative.startsWith(QLatin1String("skin:"))) return root + QLatin1Char('/') + relative.mid(5);
    if (QDir::isAbsolutePath(relative)) return relative;
    return root + QLatin1Char('/') + relative;
}

bool ResourceManager::load_language(const QLocale& locale) {
    const bool ok = language_.load(root_, locale);
    emit languageChanged();
    return ok;
}

bool ResourceManager::apply_theme(QApplication& app) const {
    QFile file(path(QStringLiteral("theme.qss")));
    if (!file.open(QIODevice::ReadOnly)) {
        trace("resources: no theme.qss\n");
        return false;
    }
    ThemeFont theme = LiftUniversalFont(QString::fromUtf8(file.readAll()));
    // The style first: a new style brings its own palette.
    QStyle* current = QApplication::style();
    if (auto* themed = qobject_cast<ThemeStyle*>(current)) current = themed->baseStyle();
    QStyle* base = QStyleFactory::create(current->name());
    QApplication::setStyle(new ThemeStyle(theme.sheet, base ? base : QStyleFactory::create(QStringLiteral("Fusion"))));
    if (theme.font) QApplication::setFont(*theme.font);
    if (theme.text) {
        // What a "color" given to every widget sets, in every state.
        QPalette palette = QApplication::palette();
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::All, role, *theme.text);
        QApplication::setPalette(palette);
    }
    // No application sheet: the style asks it once per kind of widget.
    app.setStyleSheet(QString());
    return true;
}

}  // namespace vantorel::ui
