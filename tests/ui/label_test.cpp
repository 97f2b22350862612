// SPDX-License-Identifier: GPL-2.0-or-later
// The skin label: the heights it remembers follow every change that moves
// its text, and a selectable label selects with the mouse once shown.
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

#include "ui/widgets.h"

namespace vantorel::ui {
namespace {

// Each change is made to our label and to a plain QLabel alike; at every
// width both must give the same height as the plain one, which remembers
// nothing.
TEST(SkinLabel, RememberedHeightsFollowEveryChange) {
    Label ours;
    QLabel plain;
    for (QLabel* l : {static_cast<QLabel*>(&ours), &plain}) {
        l->setWordWrap(true);
        l->setText(QStringLiteral("Connect the receiver"));
    }
    const struct {
        const char* what;
        std::function<void(QLabel&)> change;
    } steps[] = {
        {"nothing", [](QLabel&) {}},
        {"longer text",
         [](QLabel& l) { l.setText(QStringLiteral("Plug in the receiver or the cable, or switch the mouse on and pair it.")); }},
        {"bigger font",
         [](QLabel& l) {
             QFont f = l.font();
             f.setPixelSize(24);
             l.setFont(f);
         }},
        {"margins", [](QLabel& l) { l.setContentsMargins(10, 20, 10, 20); }},
        {"indent", [](QLabel& l) { l.setIndent(40); }},
        {"no wrapping", [](QLabel& l) { l.setWordWrap(false); }},
        {"wrapping again", [](QLabel& l) { l.setWordWrap(true); }},
        {"style sheet", [](QLabel& l) { l.setStyleSheet(QStringLiteral("QLabel { font-size: 9px; padding: 6px; }")); }},
    };
    for (const auto& step : steps) {
        step.change(ours);
        step.change(plain);
        for (int width : {80, 160, 320, 160, 80, 640}) {
            EXPECT_EQ(ours.heightForWidth(width), plain.heightForWidth(width)) << step.what << " at " << width;
        }
    }
}

TEST(SkinLabel, SelectableTextSelectsWithTheMouseOnceShown) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new Label;
    label->setText(QStringLiteral("sudo udevadm control --reload-rules"));
    label->setProperty("selectable", QStringLiteral("mouse+keyboard"));
    layout->addWidget(label);
    EXPECT_FALSE(label->textInteractionFlags() & Qt::TextSelectableByMouse) << "taken only when shown";

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(label->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const QRect text = label->contentsRect();
    // From the text's left edge to just before the end of its first word:
    // each end goes to the nearest letter boundary.
    const QPoint from(text.left() + 1, text.center().y());
    const QPoint to(text.left() + label->fontMetrics().horizontalAdvance(QStringLiteral("sudo")) - 1, from.y());
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(label, to);
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(label->selectedText(), QStringLiteral("sudo"));
}

}  // namespace
}  // namespace vantorel::ui
