// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

#include "core/trace.h"

namespace vantorel::ui {

namespace {
std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}
}  // namespace

bool LoadQtTranslations(const QLocale& locale, const QString& folder) {
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) return false;
    const QString dir = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
        trace("translations: no Qt translation for %s in %s\n", qPrintable(locale.name()), qPrintable(dir));
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

}  // namespace vantorel::ui
