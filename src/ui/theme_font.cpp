// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/theme_font.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace vantorel::ui {

namespace {

// One declaration of a block: its value and the stretch of the sheet it
// takes (through its ';' and the blanks after it).
struct Declaration {
    qsizetype begin = -1;
    qsizetype end = -1;
    QString value;
};

Declaration Find(const QString& sheet, qsizetype block_begin, qsizetype block_end, QLatin1String name) {
    qsizetype at = block_begin;
    while (at < block_end) {
        qsizetype semicolon = sheet.indexOf(u';', at);
        if (semicolon < 0 || semicolon > block_end) semicolon = block_end;
        const QString text = sheet.mid(at, semicolon - at);
        const qsizetype colon = text.indexOf(u':');
        if (colon > 0 && text.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            const auto blank = [&sheet](qsizetype i) { return sheet.at(i) == u' ' || sheet.at(i) == u'\t'; };
            qsizetype begin = at;
            while (begin < semicolon && sheet.at(begin).isSpace()) ++begin;
            qsizetype end = semicolon < block_end ? semicolon + 1 : semicolon;
            while (end < block_end && blank(end)) ++end;
            // A declaration on a line of its own goes with its line.
            qsizetype line = begin;
            while (line > block_begin && blank(line - 1)) --line;
            if (line > block_begin && sheet.at(line - 1) == u'\n' && end < block_end && sheet.at(end) == u'\n') {
                begin = line;
                ++end;
            }
            return {begin, end, text.mid(colon + 1).trimmed()};
        }
        at = semicolon + 1;
    }
    return {};
}

QStringList Families(const QString& value) {
    QStringList families;
    if (value.contains(u'!')) return families;
    for (QString part : value.split(u',')) {
        part = part.trimmed();
        if (part.size() >= 2 && (part.front() == u'"' || part.front() == u'\'') && part.back() == part.front())
            part = part.mid(1, part.size() - 2).trimmed();
        if (part.isEmpty()) return {};
        families << part;
    }
    return families;
}

// The font of a universal rule when both its family and its size are there
// and readable; their declarations go to `lifted`.
std::optional<QFont> FontOf(const QString& sheet, qsizetype block_begin, qsizetype block_end,
                            std::vector<Declaration>* lifted) {
    const Declaration family = Find(sheet, block_begin, block_end, QLatin1String("font-family"));
    const Declaration size = Find(sheet, block_begin, block_end, QLatin1String("font-size"));
    if (family.begin < 0 || size.begin < 0) return std::nullopt;
    const QStringList families = Families(family.value);
    if (families.isEmpty()) return std::nullopt;

    QFont font;
    font.setFamilies(families);
    if (size.value.size() < 3) return std::nullopt;
    const QString unit = size.value.right(2).toLower();
    bool number = false;
    const double amount = QStringView(size.value).chopped(2).trimmed().toDouble(&number);
    if (!number || !(amount > 0 && amount <= 1000)) return std::nullopt;
    if (unit == u"px") {
        if (amount != static_cast<int>(amount)) return std::nullopt;
        font.setPixelSize(static_cast<int>(amount));
    } else if (unit == u"pt") {
        font.setPointSizeF(amount);
    } else {
        return std::nullopt;
    }
    lifted->push_back(family);
    lifted->push_back(size);
    return font;
}

}  // namespace

ThemeFont LiftUniversalFont(const QString& sheet) {
    ThemeFont result;
    result.sheet = sheet;
    // The first rule whose whole selector is "*" (a selector list such as
    // "*, QLabel" is left alone).
    qsizetype block_begin = -1;
    qsizetype block_end = -1;
    for (qsizetype at = 0; at < sheet.size();) {
        if (sheet.at(at).isSpace()) {
            ++at;
        } else if (sheet.mid(at, 2) == QLatin1String("/*")) {
            const qsizetype close = sheet.indexOf(QLatin1String("*/"), at + 2);
            if (close < 0) return result;
            at = close + 2;
        } else {
            const qsizetype open = sheet.indexOf(u'{', at);
            const qsizetype close = open < 0 ? -1 : sheet.indexOf(u'}', open);
            if (close < 0) return result;
            if (QStringView(sheet).mid(at, open - at).trimmed() == u"*") {
                block_begin = open + 1;
                block_end = close;
                break;
            }
            at = close + 1;
        }
    }
    if (block_begin < 0) return result;

    std::vector<Declaration> lifted;
    const Declaration color = Find(sheet, block_begin, block_end, QLatin1String("color"));
    if (color.begin >= 0) {
        if (const QColor text(color.value); text.isValid()) {
            result.text = text;
            lifted.push_back(color);
        }
    }
    if (std::optional<QFont> font = FontOf(sheet, block_begin, block_end, &lifted)) result.font = *font;

    // Cut from the last declaration back, so the earlier ones' places hold.
    std::sort(lifted.begin(), lifted.end(), [](const Declaration& a, const Declaration& b) { return a.begin > b.begin; });
    for (const Declaration& d : lifted) result.sheet.remove(d.begin, d.end - d.begin);
    return result;
}

}  // namespace vantorel::ui
