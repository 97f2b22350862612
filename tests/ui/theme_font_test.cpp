// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/theme_font.h"

#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "ui/qt_env.h"
#include "ui/resources.h"

namespace vantorel::ui {
namespace {

TEST(ThemeFontTest, LiftsOnlyAReadableUniversalFont) {
    struct Case {
        const char* name;
        const char* sheet;
        const char* left;  // nullptr: the sheet comes back as it was, with no font
        const char* family;
        int pixels;
        double points;
    };
    const Case cases[] = {
        {"px", "* {\n    font-family: \"Inter\", 'Noto Sans', sans-serif;\n    font-size: 13px;\n    color: #fff;\n}\nQLabel { font-size: 14px; }",
         "* {\n    color: #fff;\n}\nQLabel { font-size: 14px; }", "Inter", 13, -1},
        {"pt, size first, one line", "/* theme */ *{font-size:10.5pt;font-family:Cantarell}", "/* theme */ *{}", "Cantarell", -1, 10.5},
        {"after another rule", "QLabel { color: red; }\n* { font-family: A; font-size: 9px; color: blue; }",
         "QLabel { color: red; }\n* { color: blue; }", "A", 9, -1},
        {"no universal rule", "QWidget { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
        {"descendant selector", "QWidget * { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
        {"selector list", "*, QLabel { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
        {"family only", "* { font-family: A; }", nullptr, "", 0, 0},
        {"size in em", "* { font-family: A; font-size: 1.2em; }", nullptr, "", 0, 0},
        {"no unit", "* { font-family: A; font-size: 9; }", nullptr, "", 0, 0},
        {"unclosed comment", "/* * { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
        {"fractional pixels", "* { font-family: A; font-size: 12.5px; }", nullptr, "", 0, 0},
        {"important", "* { font-family: A !important; font-size: 9px; }", nullptr, "", 0, 0},
        {"empty family", "* { font-family: A, , B; font-size: 9px; }", nullptr, "", 0, 0},
        {"unclosed block", "* { font-family: A; font-size: 9px;", nullptr, "", 0, 0},
        {"only in a later universal rule", "* { color: red; }\n* { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ThemeFont lifted = LiftUniversalFont(QString::fromUtf8(c.sheet));
        if (!c.left) {
            EXPECT_FALSE(lifted.font.has_value());
            EXPECT_EQ(lifted.sheet, QString::fromUtf8(c.sheet));
            continue;
        }
        ASSERT_TRUE(lifted.font.has_value());
        EXPECT_EQ(lifted.sheet, QString::fromUtf8(c.left));
        EXPECT_EQ(lifted.font->families().value(0), QString::fromUtf8(c.family));
        EXPECT_EQ(lifted.font->pixelSize(), c.pixels);
        if (c.points > 0) {
            EXPECT_DOUBLE_EQ(lifted.font->pointSizeF(), c.points);
        }
    }
}

// Under the real theme, controls get the theme's font from the application
// and the rules for particular controls still win over it.
TEST(ThemeFontTest, ThemedControlsKeepTheirFonts) {
    QFile file(test::source_res() + QStringLiteral("/theme.qss"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString sheet = QString::fromUtf8(file.readAll());
    const ThemeFont lifted = LiftUniversalFont(sheet);
    ASSERT_TRUE(lifted.font.has_value()) << "the theme's base font stays in its universal rule";
    EXPECT_EQ(lifted.sheet.count(QLatin1String("font-family")), sheet.count(QLatin1String("font-family")) - 1);

    const QFont before = QApplication::font();
    ASSERT_TRUE(ResourceManager::instance().apply_theme(*qApp));
    struct Unthemed {
        QFont font;
        ~Unthemed() {
            qApp->setStyleSheet(QString());
            QApplication::setFont(font);
        }
    } unthemed{before};

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* plain = new QLabel(QStringLiteral("plain"));
    auto* title = new QLabel(QStringLiteral("title"));
    title->setObjectName(QStringLiteral("title_text"));
    layout->addWidget(plain);
    layout->addWidget(title);
    window.show();
    window.ensurePolished();

    EXPECT_EQ(plain->font().families(), lifted.font->families());
    EXPECT_EQ(plain->font().pixelSize(), lifted.font->pixelSize());
    EXPECT_EQ(title->font().families(), lifted.font->families());
    EXPECT_EQ(title->font().pixelSize(), 14);
    EXPECT_EQ(title->font().weight(), 600);
}

}  // namespace
}  // namespace vantorel::ui
