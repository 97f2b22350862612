// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as a language file. Checks: no crash, a
// refused file adds nothing, and for plain input (UTF-8, no entities, no
// CDATA or declarations) every key and text it returns is in the input.
#include <cstdint>
#include <cstdlib>

#include <QRegularExpression>
#include <QStringDecoder>

#include "ui/language.h"

using vantorel::ui::Language;

namespace {

QString blanks_as_spaces(QString s) {
    for (QChar& c : s) {
        if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QHash<QString, QString> texts;
    texts.insert(QStringLiteral("kept"), QStringLiteral("before"));
    const bool ok = Language::parse_bytes(bytes, texts, QStringLiteral("fuzz"));
    if (!ok && (texts.size() != 1 || texts.value(QStringLiteral("kept")) != u"before")) std::abort();
    if (!ok) return 0;

    if (bytes.contains('&') || bytes.contains("<!") || bytes.contains("encoding")) return 0;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString input = utf8(bytes);
    if (utf8.hasError()) return 0;
    const QString plain = blanks_as_spaces(input);
    // The text between tags, each run on its own, for the values.
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const QString between = blanks_as_spaces(input).replace(tag, QString());
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        if (it.key() == u"kept" && it.value() == u"before") continue;
        if (it.key().isEmpty() || !plain.contains(blanks_as_spaces(it.key()))) std::abort();
        if (!between.contains(blanks_as_spaces(it.value()))) std::abort();
    }
    return 0;
}
