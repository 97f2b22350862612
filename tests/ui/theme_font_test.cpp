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
    // Texts without a universal colour: the font alone is at stake here.
    const Case cases[] = {
        {"px", "* {\n    font-family: \"Inter\", 'Noto Sans', sans-serif;\n    font-size: 13px;\n    border: none;\n}\nQLabel { font-size: 14px; }",
         "* {\n    border: none;\n}\nQLabel { font-size: 14px; }", "Inter", 13, -1},
        {"pt, size first, one line", "/* theme */ *{font-size:10.5pt;font-family:Cantarell}", "/* theme */ *{}", "Cantarell", -1, 10.5},
        {"after another rule", "QLabel { color: red; }\n* { font-family: A; font-size: 9px; border: none; }",
         "QLabel { color: red; }\n* { border: none; }", "A", 9, -1},
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
        {"only in a later universal rule", "* { border: none; }\n* { font-family: A; font-size: 9px; }", nullptr, "", 0, 0},
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

// A colour lifted wrongly would leave a rule broken or recolour the
// program; one left in place costs a palette per widget.
TEST(ThemeFontTest, LiftsOnlyAPlainUniversalTextColour) {
    struct Case {
        const char* name;
        const char* sheet;
        const char* left;  // nullptr: the sheet comes back as it was
        const char* color;
    };
    const Case cases[] = {
        {"with the font", "* {\n    font-family: A;\n    font-size: 9px;\n    color: #e6e9ef;\n}\nQLabel { color: red; }",
         "* {\n}\nQLabel { color: red; }", "#e6e9ef"},
        {"colour before the font, one line", "*{color:blue;font-family:A;font-size:9px;margin:0}", "*{margin:0}", "#0000ff"},
        {"colour alone", "* { color: #123456; border: none; }", "* { border: none; }", "#123456"},
        {"not a colour", "* { color: palette(text); }", nullptr, nullptr},
        {"a gradient", "* { color: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 red, stop:1 blue); }", nullptr, nullptr},
        {"only a background colour", "* { background-color: #101010; }", nullptr, nullptr},
        {"not universal", "QWidget { color: #101010; }", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ThemeFont lifted = LiftUniversalFont(QString::fromUtf8(c.sheet));
        EXPECT_EQ(lifted.sheet, QString::fromUtf8(c.left ? c.left : c.sheet));
        ASSERT_EQ(lifted.text.has_value(), c.color != nullptr);
        if (c.color) {
            EXPECT_EQ(lifted.text->name(), QString::fromUtf8(c.color));
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
    struct Unthemed {
        QFont font;
        QPalette palette;
        ~Unthemed() {
            test::remove_theme();
            QApplication::setFont(font);
            QApplication::setPalette(palette);
        }
    } unthemed{before, QApplication::palette()};
    ASSERT_TRUE(ResourceManager::instance().apply_theme(*qApp));

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

    // The text colour comes from the application, in every state, and the
    // rules that colour particular controls still win over it.
    ASSERT_TRUE(lifted.text.has_value()) << "the theme's text colour stays in its universal rule";
    plain->setEnabled(false);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        EXPECT_EQ(plain->palette().color(group, QPalette::WindowText), *lifted.text) << group;
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(QStringLiteral("#f2f4f8")));
}

}  // namespace
}  // namespace vantorel::ui
