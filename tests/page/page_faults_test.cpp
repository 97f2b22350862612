// SPDX-License-Identifier: GPL-2.0-or-later
// Device faults as the user meets them on the page: the mouse goes while an
// edit is being applied. The page keeps running, says what the mouse did not
// take, shows the profile the library file holds, and brings the mouse in
// step with the next edit once it is back.
#include <QLabel>
#include <QSlider>
#include <QTest>

#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::pump_until;

class PageFaults : public ::testing::Test {
protected:
    // One step of the brightness slider by keyboard, applied as the page
    // applies it: after its delay.
    void step_brightness(Qt::Key key) {
        auto* slider = h.ctl<QSlider>("ms_1_slider_brightness");
        ASSERT_NE(slider, nullptr);
        slider->setFocus();
        QTest::keyClick(slider, key);
        pump();
        h.fire(kTimerDelayedApply);
        h.settle();
    }
    int shown_brightness() { return h.ctl<QSlider>("ms_1_slider_brightness")->value(); }
    bool wired_up() { return h.page->links().wired_state.load() == kWiredAttached; }

    PageHarness h;  // on the cable, in step with the profile
};

TEST_F(PageFaults, CablePulledDuringAnApplyKeepsTheEditShownAndSavedAndSendsItOnceBack) {
    ASSERT_TRUE(wired_up());
    const int before = shown_brightness();
    const Qt::Key key = before < h.ctl<QSlider>("ms_1_slider_brightness")->maximum() ? Qt::Key_Right : Qt::Key_Left;

    h.mouse->vanish_after(1);  // the light report is the one the cable is pulled on
    step_brightness(key);
    pump_until([&] { return !wired_up(); });
    ASSERT_FALSE(wired_up());
    ASSERT_FALSE(h.mouse->wired_driver().cable_plugged());
    const int edited = shown_brightness();
    ASSERT_NE(edited, before);

    // Not taken, and said so; what is shown is what the file holds.
    EXPECT_EQ(h.mouse->accepted_reports(kReportLight), 0);
    ASSERT_TRUE(pump_until([&] { return ui::IsVisible(h.ctl("ms_1_status_bar")); }));
    EXPECT_NE(h.ctl<QLabel>("ms_1_label_status")->text().indexOf(QStringLiteral("lighting and power")), -1);
    EXPECT_EQ(h.profile().brightness(), edited);
    EXPECT_TRUE(h.profile_on_disk() == h.profile()) << "the profile shown is not the profile saved";

    // A further edit while no link is up is kept in the file as well.
    step_brightness(key == Qt::Key_Right ? Qt::Key_Left : Qt::Key_Right);
    step_brightness(key);
    EXPECT_TRUE(h.profile_on_disk() == h.profile());

    // The cable back: the next edit's apply carries the section still owed.
    h.mouse->plug_cable();
    pump();
    h.fire(kTimerWiredAttach);
    ASSERT_TRUE(wired_up());
    step_brightness(key == Qt::Key_Right ? Qt::Key_Left : Qt::Key_Right);
    step_brightness(key);
    EXPECT_EQ(shown_brightness(), edited);
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_TRUE(h.profile_on_disk() == h.profile());
    EXPECT_TRUE(pump_until([&] { return !ui::IsVisible(h.ctl("ms_1_status_bar")); }));
}

}  // namespace
}  // namespace vantorel
