// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/language.h"

#include <QFile>
#include <QFileInfo>

#include "core/trace.h"
#include "ui/xml_pull.h"

namespace vantorel::ui {

bool Language::parse_file(const QString& path, QHash<QString, QString>& into) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return parse_bytes(file.readAll(), into, path);
}

bool Language::parse_bytes(const QByteArray& bytes, QHash<QString, QString>& into, const QString& name) {
    QHash<QString, QString> found;
    XmlPull xml(bytes);
    bool in_language = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != XmlPull::Token::StartElement) continue;
        if (xml.name() == u"Language") {
            in_language = true;
        } else if (in_language && xml.name() == u"Text") {
            const QString key = xml.attribute(QLatin1String("key")).toString();
            const QString value = xml.readElementText(XmlPull::ChildText::Include);
            if (!key.isEmpty()) found.insert(key, value);
        }
    }
    if (xml.hasError() || !in_language) {
        trace("language file %s unreadable: %s\n", qPrintable(name), qPrintable(xml.errorString()));
        return false;
    }
    for (auto it = found.cbegin(); it != found.cend(); ++it) into.insert(it.key(), it.value());
    return true;
}

bool Language::load(const QString& resource_root, const QLocale& locale) {
    QHash<QString, QString> texts;
    const bool base_ok = parse_file(resource_root + QStringLiteral("/lan.xml"), texts);
    if (!base_ok) trace("language: no base file in %s\n", qPrintable(resource_root));

    QString active = QStringLiteral("en");
    // "pt_BR" first, then "pt"; English needs no translation file.
    QStringList candidates;
    const QString name = locale.name();
    candidates << name;
    const QString lang = name.section(QLatin1Char('_'), 0, 0);
    if (lang != name) candidates << lang;
    for (const QString& candidate : candidates) {
        if (candidate.isEmpty() || candidate == QLatin1String("C") || candidate == QLatin1String("en")) break;
        const QString path = resource_root + QStringLiteral("/lan/") + candidate + QStringLiteral(".xml");
        if (QFileInfo::exists(path) && parse_file(path, texts)) {
            active = candidate;
            break;
        }
    }
    texts_ = std::move(texts);
    active_name_ = active;
    {
        std::lock_guard lock(missing_mutex_);
        missing_logged_.clear();
    }
    trace("language: %lld texts, translation %s\n", static_cast<long long>(texts_.size()), qPrintable(active_name_));
    return base_ok;
}

bool Language::contains(const QString& key) const { return texts_.contains(key); }

QString Language::get(const QString& key) const {
    auto it = texts_.constFind(key);
    if (it != texts_.cend()) return it.value();
    if (!key.isEmpty()) {
        std::lock_guard lock(missing_mutex_);
        if (missing_logged_.insert(key).second) trace("language: no text for key \"%s\"\n", qPrintable(key));
    }
    return key;
}

std::u16string Language::text(std::string_view key) const {
    const QString value = get(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
    return std::u16string(reinterpret_cast<const char16_t*>(value.utf16()), static_cast<std::size_t>(value.size()));
}

}  // namespace vantorel::ui
