// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/dpi_msg.h"
#include "app/msg_wnd.h"
#include "ui/controls.h"
#include "ui/qt_env.h"

namespace vantorel {
namespace {

using test::ScratchResources;

CMsgWnd* open_box() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible()) return box;
    }
    return nullptr;
}

// Runs `act` on the box once it is up, then returns the box's result.
template <class Act>
int answer(Act act, bool inform = false) {
    QTimer::singleShot(0, [act] {
        if (CMsgWnd* box = open_box()) act(*box);
    });
    return inform ? CMsgWnd::Inform(nullptr, QStringLiteral("one_profile_text"))
                  : CMsgWnd::Confirm(nullptr, QStringLiteral("delete_profile_text"));
}

void press(CMsgWnd& box, const char* name) {
    auto* b = box.FindControl<QAbstractButton>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr);
    b->click();
}

TEST(MsgWndTest, ResultsFollowTheButtonPressed) {
    EXPECT_EQ(answer([](CMsgWnd& box) { press(box, "btn_ok"); }), 1);
    EXPECT_EQ(answer([](CMsgWnd& box) { press(box, "btn_cancel"); }), 0);
    EXPECT_EQ(answer([](CMsgWnd& box) { press(box, "btn_close"); }), 0);
    EXPECT_EQ(answer([](CMsgWnd& box) { QTest::keyClick(&box, Qt::Key_Escape); }), 0);
    EXPECT_EQ(answer([](CMsgWnd& box) { QTest::keyClick(&box, Qt::Key_Return); }), 1);
    EXPECT_EQ(answer([](CMsgWnd& box) { box.close(); }), 0);  // closed by the desktop
    // A click elsewhere in the box does not end it.
    EXPECT_EQ(answer([](CMsgWnd& box) {
                  box.SendNotify(box.FindControl(QStringLiteral("warning")), ui::notify::kClick);
                  press(box, "btn_ok");
              }),
              1);
}

// Each box says what it is in its title: a question, an error or a note.
TEST(MsgWndTest, ShowsItsTextAndATitleSayingWhatItIs) {
    const struct {
        const char* key;
        bool confirm;
        const char* title;
    } cases[] = {
        {"delete_macro_text", true, "Question"},
        {"export_failed_text", false, "Error"},
        {"import_unreadable_text", false, "Error"},
        {"save_failed_exit_text", false, "Error"},
        {"one_profile_text", false, "Please note"},
    };
    for (const auto& c : cases) {
        const QString key = QString::fromLatin1(c.key);
        QString title, message;
        bool cancel_shown = !c.confirm;
        QTimer::singleShot(0, [&] {
            CMsgWnd* box = open_box();
            ASSERT_NE(box, nullptr);
            title = ui::GetText(box->FindControl(QStringLiteral("warning_title")));
            message = ui::GetText(box->FindControl(QStringLiteral("warning")));
            cancel_shown = ui::IsVisible(box->FindControl(QStringLiteral("btn_cancel")));
            press(*box, "btn_ok");
        });
        EXPECT_EQ(c.confirm ? CMsgWnd::Confirm(nullptr, key) : CMsgWnd::Inform(nullptr, key), 1) << c.key;
        EXPECT_EQ(title, c.title) << c.key;
        EXPECT_EQ(message, ui::Tr(key)) << c.key;
        EXPECT_NE(message, key) << c.key;
        EXPECT_EQ(cancel_shown, c.confirm) << c.key;  // a note or an error only informs
    }
}

TEST(DpiPopupTest, TextAndPlacement) {
    EXPECT_EQ(DpiPopupText(16), "800 DPI");
    EXPECT_EQ(DpiPopupText(200), "10000 DPI");
    EXPECT_EQ(DpiPopupText(201), "10100 DPI");
    EXPECT_EQ(DpiPopupText(320), "22000 DPI");
    // A damaged stored code must not overflow on its way to the popup.
    EXPECT_EQ(DpiPopupText(0x7FFFFFFF), "214748354700 DPI");
    EXPECT_EQ(DpiPopupText(-0x7FFFFFFF - 1), "-107374182400 DPI");
    // Measured from the work area's own edges, so a panel on the left or top
    // does not push the popup off its corner.
    EXPECT_EQ(DpiPopupGeometry(QRect(0, 0, 1920, 1040)), QRect(1710, 980, 200, 50));
    EXPECT_EQ(DpiPopupGeometry(QRect(64, 32, 1856, 1048)), QRect(1710, 1020, 200, 50));
}

TEST(DpiPopupTest, SkinWithoutLabelStillGivesAPlacedPopup) {
    ScratchResources res;
    res.write("DPImsg.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="dpi_root">
 <property name="geometry"><rect><x>0</x><y>0</y><width>200</width><height>50</height></rect></property>
</widget></ui>)");
    auto* popup = new CDPIMsg(DpiPopupText(16));
    QPointer<CDPIMsg> guard(popup);
    popup->CreatePopup(nullptr);
    EXPECT_EQ(popup->FindControl(QStringLiteral("dpi_label")), nullptr);
    EXPECT_EQ(popup->geometry(), DpiPopupGeometry(QGuiApplication::primaryScreen()->availableGeometry()));
    popup->SetText(DpiPopupText(32));
    EXPECT_EQ(popup->Text(), "1600 DPI");
    popup->Close(0);
    EXPECT_TRUE(test::pump_until([&] { return guard.isNull(); }));  // deleted itself
}

}  // namespace
}  // namespace vantorel
