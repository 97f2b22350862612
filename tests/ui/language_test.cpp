// SPDX-License-Identifier: GPL-2.0-or-later
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>

#include "ui/language.h"
#include "ui/qt_env.h"

namespace vantorel::ui {
namespace {

using test::ScratchResources;
using test::source_res;

TEST(LanguageTest, TranslationOverridesBaseAndFallsBackToEnglish) {
    ScratchResources res;
    res.write("lan/pt.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Language code="pt"><Text key="ok_text">Confirmar</Text><Text key="cancel_text">Cancelar (pt)</Text></Language>)");
    res.write("lan/pt_BR.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Language code="pt_BR"><Text key="cancel_text">Cancelar</Text></Language>)");

    Language brazil;
    ASSERT_TRUE(brazil.load(res.path(), QLocale(QStringLiteral("pt_BR"))));
    EXPECT_EQ(brazil.active_name(), "pt_BR");  // the closer file wins
    EXPECT_EQ(brazil.get("cancel_text"), "Cancelar");
    EXPECT_EQ(brazil.get("ok_text"), "OK");  // not in pt_BR: English, not pt
    EXPECT_EQ(brazil.get("exit_text"), "Quit");

    Language portugal;
    ASSERT_TRUE(portugal.load(res.path(), QLocale(QStringLiteral("pt_PT"))));
    EXPECT_EQ(portugal.active_name(), "pt");
    EXPECT_EQ(portugal.get("ok_text"), "Confirmar");

    Language dutch;  // no lan/nl*.xml
    ASSERT_TRUE(dutch.load(res.path(), QLocale(QStringLiteral("nl_NL"))));
    EXPECT_EQ(dutch.active_name(), "en");
    EXPECT_EQ(dutch.get("cancel_text"), "Cancel");
}

TEST(LanguageTest, MissingKeysAndBrokenFilesShowKeys) {
    ScratchResources res;
    res.write("lan/fr.xml", "<Language><Text key=\"ok_text\">D'accord</Text");  // cut off
    Language lang;
    ASSERT_TRUE(lang.load(res.path(), QLocale(QStringLiteral("fr_FR"))));
    EXPECT_EQ(lang.active_name(), "en");  // the broken file adds nothing
    EXPECT_EQ(lang.get("ok_text"), "OK");
    EXPECT_EQ(lang.get("no_such_key_text"), "no_such_key_text");
    EXPECT_EQ(lang.text("no_such_key_text"), u"no_such_key_text");

    Language none;
    EXPECT_FALSE(none.load(res.path() + "/nowhere"));
    EXPECT_EQ(none.get("ok_text"), "ok_text");
}

TEST(LanguageTest, TextLookupGivesUtf16AndKeepsSpacesAndSymbols) {
    Language lang;
    ASSERT_TRUE(lang.load(source_res(), QLocale(QLocale::English)));
    EXPECT_EQ(lang.text("demo_badge_text"), u"Demo \u2014 virtual mouse");
    // Prefixes keep their trailing space: names are built by appending.
    EXPECT_EQ(lang.get("add_profile_text"), "Profile ");
    EXPECT_EQ(lang.get("key_Num_/"), "Num /");
    EXPECT_EQ(lang.get("key_Print Scr"), "Print Screen");
    EXPECT_EQ(lang.get("key_\\"), "\\");
}

// Every language key a skin or menu names must have a text; a typo would
// otherwise show a raw key to the user.
TEST(LanguageTest, EverySkinKeyHasAnEnglishText) {
    Language lang;
    ASSERT_TRUE(lang.load(source_res(), QLocale(QLocale::English)));
    const QRegularExpression skin_key(
        QStringLiteral(R"re(name="(?:textKey|toolTipKey|placeholderKey)" stdset="0"><string[^>]*>([^<]+)<)re"));
    const QRegularExpression menu_key(QStringLiteral(R"re(textKey="([^"]+)")re"));
    QSet<QString> missing;
    int seen = 0;
    QDirIterator it(source_res(), {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QLatin1String("/lan"))) continue;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (const auto* re : {&skin_key, &menu_key}) {
            auto matches = re->globalMatch(text);
            while (matches.hasNext()) {
                const QString key = matches.next().captured(1);
                ++seen;
                if (!lang.contains(key)) missing.insert(key);
            }
        }
    }
    EXPECT_GT(seen, 10);
    EXPECT_TRUE(missing.isEmpty()) << qPrintable(QStringList(missing.values()).join(", "));
}

// A key given twice shows one of its texts in both places: one of them is
// then wrong (a section title read "lighting and power" once).
TEST(LanguageTest, NoLanguageFileGivesAKeyTwice) {
    QDirIterator it(source_res(), {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    const QRegularExpression key(QStringLiteral(R"re(<Text key="([^"]+)")re"));
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QLatin1String("/lan.xml")) && !path.contains(QLatin1String("/lan/"))) continue;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ++files;
        QSet<QString> seen, twice;
        auto matches = key.globalMatch(QString::fromUtf8(f.readAll()));
        while (matches.hasNext()) {
            const QString k = matches.next().captured(1);
            if (seen.contains(k)) twice.insert(k);
            seen.insert(k);
        }
        EXPECT_TRUE(twice.isEmpty()) << qPrintable(path) << ": " << qPrintable(QStringList(twice.values()).join(", "));
    }
    EXPECT_GE(files, 1);
}

TEST(LanguageTest, EveryTranslationHasExactlyTheKeysOfTheBase) {
    QHash<QString, QString> base;
    ASSERT_TRUE(Language::parse_file(source_res() + QStringLiteral("/lan.xml"), base));
    const QSet<QString> base_keys(base.keyBegin(), base.keyEnd());
    int translations = 0;
    QDirIterator it(source_res() + QStringLiteral("/lan"), {QStringLiteral("*.xml")}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        ++translations;
        QHash<QString, QString> texts;
        ASSERT_TRUE(Language::parse_file(path, texts)) << qPrintable(path);
        const QSet<QString> keys(texts.keyBegin(), texts.keyEnd());
        EXPECT_TRUE((base_keys - keys).isEmpty())
            << qPrintable(path) << " lacks " << qPrintable(QStringList((base_keys - keys).values()).join(", "));
        EXPECT_TRUE((keys - base_keys).isEmpty())
            << qPrintable(path) << " has unknown " << qPrintable(QStringList((keys - base_keys).values()).join(", "));
        // A placeholder lost or added shows a raw "%1" or drops the value
        // (the battery level, a button's number); a trailing space lost
        // glues the number to a name built from the text.
        const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
        const auto placeholders = [&](const QString& text) {
            QStringList found;
            for (auto m = placeholder.globalMatch(text); m.hasNext();) found << m.next().captured();
            found.sort();
            return found;
        };
        // Controls that do different things must not read the same.
        const std::pair<const char*, const char*> different[] = {
            {"reset_dpi_text", "restore_defaults_text"},
            {"profile_name_1_text", "profile_name_2_text"},
        };
        for (const auto& [a, b] : different)
            EXPECT_NE(texts.value(QString::fromLatin1(a)), texts.value(QString::fromLatin1(b))) << qPrintable(path) << ": " << a;
        for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
            const QString english = base.value(text.key());
            EXPECT_EQ(placeholders(text.value()), placeholders(english)) << qPrintable(path) << ": " << qPrintable(text.key());
            EXPECT_EQ(text.value().endsWith(QLatin1Char(' ')), english.endsWith(QLatin1Char(' ')))
                << qPrintable(path) << ": " << qPrintable(text.key());
        }
    }
    EXPECT_GE(translations, 1);
}

}  // namespace
}  // namespace vantorel::ui
