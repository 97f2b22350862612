// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/app_options.h"
#include "ui/qt_env.h"
#include "ui/resources.h"

namespace vantorel {
namespace {

std::optional<AppOptions> parse(QStringList args, QString* error = nullptr) {
    args.prepend(QStringLiteral("qv-vantorel"));
    return ParseAppOptions(args, error);
}

TEST(AppOptionsTest, ScreenshotsAndDemo) {
    auto o = parse({"--demo", "--screenshot", "out.png", "--window=main-mouse", "--lang", "de"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->demo);
    EXPECT_EQ(o->screenshot, "out.png");
    EXPECT_EQ(o->window, "main-mouse");
    EXPECT_EQ(o->language, "de");

    auto tray = parse({"--hidden", "--no-demo"});
    ASSERT_TRUE(tray);
    EXPECT_TRUE(tray->hidden);
    EXPECT_TRUE(tray->no_demo);

    auto plain = parse({});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->demo);
    EXPECT_FALSE(plain->hidden || plain->no_demo);
    EXPECT_EQ(plain->window, "main");
}

TEST(AppOptionsTest, MistakesAreReported) {
    QString error;
    EXPECT_FALSE(parse({"--screenshot"}, &error));
    EXPECT_TRUE(error.contains("file name"));
    EXPECT_FALSE(parse({"--screenshot", "a.png", "--window", "settings"}, &error));
    EXPECT_TRUE(error.contains("main-mouse"));
    EXPECT_FALSE(parse({"--window", "msg"}, &error));  // nothing to render it into
    EXPECT_FALSE(parse({"--frobnicate"}, &error));
    EXPECT_TRUE(error.contains("--frobnicate"));
}

// --lang CODE must find the file of each language shipped, also when the
// code is written the way a locale variable spells it.
TEST(AppOptionsTest, LangPicksTheTranslationItNames) {
    struct Case {
        const char* lang;
        const char* file;
        const char* cancel;
    };
    const Case cases[] = {
        {"de", "de", "Abbrechen"},   {"fr", "fr", "Annuler"},      {"fr_CA", "fr", "Annuler"},
        {"es", "es", "Cancelar"},    {"it", "it", "Annulla"},      {"pt_BR", "pt_BR", "Cancelar"},
        {"pt-BR", "pt_BR", "Cancelar"}, {"pl", "pl", "Anuluj"},    {"ru", "ru", "Отмена"},
        {"uk", "uk", "Скасувати"},   {"uk_UA.UTF-8", "uk", "Скасувати"}, {"tr", "tr", "İptal"},
        {"zh_CN", "zh_CN", "取消"},  {"zh", "zh_CN", "取消"},      {"ja", "ja", "キャンセル"},
        {"ko", "ko", "취소"},        {"en", "en", "Cancel"},
    };
    auto& resources = ui::ResourceManager::instance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        const auto options = parse({"--lang", QString::fromUtf8(c.lang)});
        ASSERT_TRUE(options);
        resources.load_language(LanguageLocale(*options));
        EXPECT_EQ(resources.language().active_name(), QString::fromUtf8(c.file));
        EXPECT_EQ(resources.language().get(QStringLiteral("cancel_text")), QString::fromUtf8(c.cancel));
    }
    test::QtEnvironment::use_source_resources();
}

}  // namespace
}  // namespace vantorel
