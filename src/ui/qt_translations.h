// SPDX-License-Identifier: GPL-2.0-or-later
// Qt's own texts (the file dialog's labels, the standard buttons) in the
// program's language, from the translations Qt installs beside itself.
#pragma once

#include <QLocale>
#include <QString>

namespace vantorel::ui {

// Replaces the Qt translations loaded before with those for `locale`, looked
// up in `folder` (empty: Qt's own translations folder). English, or a
// language Qt has no translation for, leaves Qt's texts English. Returns
// whether a translation was loaded.
bool LoadQtTranslations(const QLocale& locale, const QString& folder = {});

}  // namespace vantorel::ui
