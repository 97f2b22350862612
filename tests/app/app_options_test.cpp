// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/app_options.h"
#include "ui/qt_env.h"

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

}  // namespace
}  // namespace vantorel
