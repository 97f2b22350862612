// SPDX-License-Identifier: GPL-2.0-or-later
// The language texts of the program. "lan.xml" in the resource folder holds
// every key in English; a translation is a file of the same form named
// "lan/<locale>.xml" ("lan/de.xml", "lan/pt_BR.xml") that overrides the keys
// it has. A key no file holds shows as the key itself and is logged once.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QString>

#include <mutex>
#include <set>
#include <string>

#include "core/text_lookup.h"

namespace vantorel::ui {

class Language : public vantorel::TextLookup {
public:
    // Loads the English base and, when one exists, the translation that fits
    // the locale best ("pt_BR" before "pt"). Returns false when the base file
    // could not be read; the lookup then shows keys.
    bool load(const QString& resource_root, const QLocale& locale = QLocale::system());

    // Parses one language file into `into`; false on a missing or malformed
    // file (nothing is added then).
    static bool parse_file(const QString& path, QHash<QString, QString>& into);
    // The same for the bytes of a language file; `name` only labels the trace.
    static bool parse_bytes(const QByteArray& bytes, QHash<QString, QString>& into, const QString& name = {});

    QString get(const QString& key) const;
    std::u16string text(std::string_view key) const override;

    bool contains(const QString& key) const;
    // The locale name of the translation in use, or "en" for the base alone.
    QString active_name() const { return active_name_; }
    qsizetype size() const { return texts_.size(); }

private:
    QHash<QString, QString> texts_;
    QString active_name_ = QStringLiteral("en");
    mutable std::mutex missing_mutex_;
    mutable std::set<QString> missing_logged_;
};

}  // namespace vantorel::ui
