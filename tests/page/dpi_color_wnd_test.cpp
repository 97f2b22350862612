// SPDX-License-Identifier: GPL-2.0-or-later
// The colour dialog on its own, and as the page's colour buttons run it.
#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "page/dpi_color_wnd.h"
#include "page_harness.h"
#include "ui/widgets.h"

namespace vantorel {
namespace {

using test::pump;

class DpiColorWndTest : public ::testing::Test {
protected:
    void open(quint32 argb) {
        wnd.SetColor(argb);
        wnd.SetPosition(QPoint(40, 30));
        ASSERT_TRUE(wnd.Create(nullptr, ui::kStyleDialog | ui::kStyleTool,
                               QSize(CDpiColorWnd::kWidth, CDpiColorWnd::kHeight)));
        wnd.ShowWindow(true, false);
        pump();
    }
    QLineEdit* edit(const char* name) { return wnd.FindControl<QLineEdit>(QString::fromLatin1(name)); }
    QString rgb() {
        return edit("r_edit")->text() + "," + edit("g_edit")->text() + "," + edit("b_edit")->text();
    }
    quint32 swatch() { return ui::GetBkColor(wnd.FindControl(QStringLiteral("color_show_control"))); }
    ui::ColorPalette* palette() { return wnd.FindControl<ui::ColorPalette>(QStringLiteral("ColorPallet")); }
    void retype(const char* name, const QString& text) {
        QLineEdit* e = edit(name);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, text);
        pump();
    }

    CDpiColorWnd wnd;
};

TEST_F(DpiColorWndTest, OpensOnTheCallersColourAtItsPlace) {
    open(0xFFFF4000);
    EXPECT_EQ(rgb(), "255,64,0");
    EXPECT_EQ(swatch(), 0xFFFF4000u);
    EXPECT_EQ(palette()->GetSelectColor(), 0xFFFF4000u);
    EXPECT_EQ(wnd.size(), QSize(250, 200));
    EXPECT_EQ(wnd.pos(), QPoint(40, 30));
    // The swatches show the presets.
    for (int n = 1; n <= 16; ++n)
        EXPECT_EQ(ui::GetBkColor(wnd.FindControlIndexed("mouse_dpi_color_%d", n)), CDpiColorWnd::kPresets[n - 1]);
}

TEST_F(DpiColorWndTest, EditsAreClampedAndTheSwatchAndPaletteFollow) {
    open(0xFFFF4000);
    retype("g_edit", "300");
    EXPECT_EQ(edit("g_edit")->text(), "255");
    EXPECT_EQ(wnd.Color(), 0xFFFFFF00u);
    EXPECT_EQ(swatch(), 0xFFFFFF00u);
    EXPECT_EQ(palette()->GetSelectColor(), 0xFFFFFF00u);

    // Emptying an edit sets its byte to 0 and leaves it empty.
    retype("b_edit", "77");
    EXPECT_EQ(wnd.Color(), 0xFFFFFF4Du);
    retype("b_edit", "");
    EXPECT_EQ(edit("b_edit")->text(), "");
    EXPECT_EQ(wnd.Color(), 0xFFFFFF00u);
    // Text that is no number counts as 0 and stays as typed.
    retype("r_edit", "x");
    EXPECT_EQ(wnd.Color(), 0xFF00FF00u);
}

TEST_F(DpiColorWndTest, PresetsAndThePaletteSetTheColour) {
    open(0xFF000000);
    wnd.FindControl<QAbstractButton>(QStringLiteral("mouse_dpi_color_13"))->click();
    pump();
    EXPECT_EQ(rgb(), "30,180,10");
    EXPECT_EQ(wnd.Color(), 0xFF1EB40Au);
    EXPECT_EQ(swatch(), 0xFF1EB40Au);

    // A pick on the palette: its colour is taken as it reports it.
    ui::ColorPalette* p = palette();
    const QPoint at(p->width() / 4, p->height() / 3);
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, at);
    pump();
    EXPECT_EQ(wnd.Color(), p->GetSelectColor());
    EXPECT_EQ(swatch(), p->GetSelectColor());
    EXPECT_EQ(edit("r_edit")->text().toInt(), static_cast<int>((wnd.Color() >> 16) & 0xFF));
}

TEST_F(DpiColorWndTest, ConfirmGivesOneAndCancelZero) {
    open(0xFF102030);
    wnd.FindControl<QAbstractButton>(QStringLiteral("confirm_btn"))->click();
    EXPECT_EQ(wnd.ModalResult(), 1);
    CDpiColorWnd other;
    other.Create(nullptr, ui::kStyleDialog | ui::kStyleTool, QSize(250, 200));
    other.FindControl<QAbstractButton>(QStringLiteral("cancel_btn"))->click();
    EXPECT_EQ(other.ModalResult(), 0);
}

CDpiColorWnd* open_dialog() {
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* d = qobject_cast<CDpiColorWnd*>(w); d && d->IsModalRunning()) return d;
    }
    return nullptr;
}

// Clicks through the dialog the page opens once it runs modally.
void when_dialog_runs(std::function<void(CDpiColorWnd&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (CDpiColorWnd* d = open_dialog()) {
            timer->stop();
            timer->deleteLater();
            act(*d);
        }
    });
    timer->start(5);
}

TEST(PageColors, ConfirmedColourIsStoredShownAndApplied) {
    test::PageHarness h;
    when_dialog_runs([](CDpiColorWnd& d) {
        EXPECT_EQ(d.Color(), 0xFFFF0000u);  // stage 1's colour after a reset
        d.FindControl<QAbstractButton>(QStringLiteral("mouse_dpi_color_13"))->click();
        d.FindControl<QAbstractButton>(QStringLiteral("confirm_btn"))->click();
    });
    h.click("ms_1_btn_dpi_color_1");
    h.settle();
    EXPECT_EQ(h.profile().dpi_color(0), (Color{30, 180, 10}));
    EXPECT_EQ(ui::GetBkColor(h.ctl("ms_1_btn_dpi_color_1")), 0xFF1EB40Au);
    EXPECT_EQ(h.apply_requests, 1);
}

TEST(PageColors, CancellingKeepsTheStoredColour) {
    test::PageHarness h;
    when_dialog_runs([](CDpiColorWnd& d) {
        d.FindControl<QAbstractButton>(QStringLiteral("mouse_dpi_color_13"))->click();
        d.FindControl<QAbstractButton>(QStringLiteral("cancel_btn"))->click();
    });
    h.click("ms_1_btn_light_color");
    h.settle();
    EXPECT_EQ(h.profile().light_color(), (Color{0, 255, 0}));
    EXPECT_EQ(ui::GetBkColor(h.ctl("ms_1_btn_light_color")), 0xFF00FF00u);
    EXPECT_EQ(h.apply_requests, 0);
}

// Enter in a colour field confirms what it shows; Escape cancels.
TEST(PageColors, EnterInAColourFieldConfirmsAndEscapeCancels) {
    const struct {
        const char* field;
        Qt::Key key;
        Color stored;
    } cases[] = {
        {"r_edit", Qt::Key_Return, {9, 0, 0}},
        {"g_edit", Qt::Key_Enter, {255, 9, 0}},
        {"b_edit", Qt::Key_Escape, {255, 0, 0}},
    };
    for (const auto& c : cases) {
        test::PageHarness h;
        bool still_open = false;
        when_dialog_runs([&](CDpiColorWnd& d) {
            auto* edit = d.FindControl<QLineEdit>(QString::fromLatin1(c.field));
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("9"));
            QTest::keyClick(edit, c.key);
            still_open = d.isVisible();
            if (still_open) d.Close(0);
        });
        h.click("ms_1_btn_dpi_color_1");
        h.settle();
        EXPECT_FALSE(still_open) << c.field;
        EXPECT_EQ(h.profile().dpi_color(0), c.stored) << c.field;
    }
}

}  // namespace
}  // namespace vantorel
