// SPDX-License-Identifier: GPL-2.0-or-later
// The page, the apply engine, the links and the virtual mouse together:
// what the user does on the page is what reaches the mouse, what the mouse
// reports lands on the page and in the file, and no edit is lost.
#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include "core/reports.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::pump_until;
using test::report_types;

TEST(PageEndToEnd, StartUpBringsTheMouseInStepWithAFullApply) {
    PageHarness h;
    EXPECT_EQ(h.startup_apply_requests, 1);
    EXPECT_GE(h.startup_reports, 5u);
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_EQ(h.page->engine()->full_apply(), 0);
}

TEST(PageEndToEnd, BrightnessSliderEndsAsOneLightReportInTheMouse) {
    PageHarness h;
    // Steady light, so that the brightness is what the mouse shows.
    h.ctl<QComboBox>("ms_1_combo_light")->setCurrentIndex(1);
    pump();
    h.fire_apply_delay();
    h.settle();
    ASSERT_TRUE(h.mouse->config().light.has_value());
    EXPECT_EQ(h.mouse->config().light->effect, 1);
    h.mouse->clear_log();

    auto* slider = h.ctl<QSlider>("ms_1_slider_brightness");
    for (int v : {9, 10, 11, 12}) {
        slider->setValue(v);
        pump();
    }
    EXPECT_EQ(h.mouse->transmissions(), 0);
    h.fire_apply_delay();
    h.settle();

    EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportLight});
    EXPECT_EQ(h.mouse->transmissions(), 1);
    EXPECT_EQ(h.mouse->config().light->level, 12);
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    // The apply saved the library.
    EXPECT_EQ(h.profile_on_disk().brightness(), 12);
}

// Started without a mouse, the program shows the virtual one, but keeps
// watching: a receiver plugged in later takes over, and when it goes the page
// waits for a mouse instead of going back to the demo.
TEST(PageEndToEnd, ARealMouseArrivingDuringTheDemoTakesOverForTheRestOfTheRun) {
    test::HarnessOptions o;
    o.cable = false;
    o.receiver = true;
    o.demo_until_real = true;
    PageHarness h(o);
    ASSERT_TRUE(pump_until([&] { return h.page->links().wireless_connected.load() == 1; }));
    EXPECT_TRUE(h.wnd->IsDemo());
    EXPECT_TRUE(h.page->demo_active());

    h.real->plug_receiver();
    h.device_change(true);
    EXPECT_FALSE(h.wnd->IsDemo());
    EXPECT_FALSE(h.page->demo_active());
    EXPECT_FALSE(h.mouse->shared_receiver()->plugged());

    ASSERT_TRUE(h.fire("receiver arrival"));
    h.real->report_battery(1, 64);
    ASSERT_TRUE(pump_until([&] { return h.page->links().wireless_connected.load() == 1; }));
    h.edit([](ProfileRecord& r) { r.set_brightness(r.brightness() == 5 ? 6 : 5); });
    h.page->engine()->request_apply();
    h.settle();
    std::string why;
    EXPECT_TRUE(h.real->holds_exactly(h.profile(), &why, ConnectionMode::Wireless)) << why;  // a full apply

    h.real->unplug_receiver();
    h.device_change(false, FakeReceiverBackend::kEventPath);
    h.device_change(false, FakeReceiverBackend::kCommandPath);
    EXPECT_FALSE(h.page->links().any());
    EXPECT_FALSE(h.wnd->IsDemo());
    EXPECT_FALSE(h.mouse->shared_receiver()->plugged());
}

TEST(PageEndToEnd, ASectionTheMouseDidNotTakeIsShownAndSentWithTheNextApply) {
    PageHarness h;  // on the cable, in step with the profile
    auto driver = h.mouse->shared_wired_driver();
    driver->close_feature_device();  // the cable refuses every write
    h.edit([](ProfileRecord& r) { r.set_sleep_timer(r.sleep_timer() == 7 ? 8 : 7); });
    h.page->engine()->request_apply();
    h.settle();
    ASSERT_TRUE(pump_until([&] { return ui::IsVisible(h.ctl("ms_1_status_bar")); }));
    EXPECT_NE(h.ctl<QLabel>("ms_1_label_status")->text().indexOf(QStringLiteral("lighting and power")), -1);

    ASSERT_NE(driver->open_feature_device(), 0);
    h.mouse->clear_log();
    h.page->engine()->request_apply();  // nothing changed since, but the light section is owed
    h.settle();
    EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportLight});
    EXPECT_TRUE(pump_until([&] { return !ui::IsVisible(h.ctl("ms_1_status_bar")); }));
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
}

TEST(PageEndToEnd, TypedDpiReachesTheMouseWithTheApplyButton) {
    PageHarness h;
    h.click("ms_1_apply_btn");  // the first apply sends everything
    h.settle();
    h.mouse->clear_log();
    h.ctl<QSlider>("ms_1_slider_dpi_3")->setValue(120);
    pump();
    h.settle();
    EXPECT_EQ(h.mouse->transmissions(), 0);
    h.click("ms_1_btn_apply_dpi");
    h.settle();
    EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportDpi});
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_EQ(h.profile().dpi_value(2), 120);
}

TEST(PageEndToEnd, DpiStageFromTheMouseIsShownSavedAndNotSentBack) {
    PageHarness h;
    h.click("ms_1_apply_btn");
    h.settle();
    h.mouse->clear_log();
    const int requests = h.apply_requests;

    h.mouse->press_dpi_stage(3);
    ASSERT_TRUE(pump_until([&] { return ui::GetCheck(h.ctl("ms_1_option_dpi_step_3")); }));
    EXPECT_FALSE(ui::GetCheck(h.ctl("ms_1_option_dpi_step_2")));
    pump_until([&] { return h.wnd->DpiPopup() != nullptr; });
    ASSERT_NE(h.wnd->DpiPopup(), nullptr);
    EXPECT_EQ(h.wnd->DpiPopup()->Text(), "2400 DPI");
    EXPECT_EQ(h.profile().dpi_stage_index(), 2);
    EXPECT_EQ(h.profile_on_disk().dpi_stage_index(), 2);
    EXPECT_EQ(h.page->engine()->last_applied(), h.profile());
    EXPECT_EQ(h.apply_requests, requests);

    // An apply now finds nothing to send.
    h.click("ms_1_apply_btn");
    h.settle();
    EXPECT_EQ(h.mouse->transmissions(), 0);
}

TEST(PageEndToEnd, AnEditWithoutALinkIsSavedInsteadOfDropped) {
    test::HarnessOptions options;
    options.cable = false;
    PageHarness h(options);
    ASSERT_FALSE(h.page->links().any());
    h.ctl<QSlider>("ms_1_slider_sleep_timer")->setValue(33);
    pump();
    h.fire_apply_delay();
    h.settle();
    EXPECT_EQ(h.apply_requests, 1);
    EXPECT_EQ(h.page->engine()->applies_dropped(), 2);  // the start-up full apply found no link either
    EXPECT_EQ(h.profile_on_disk().sleep_timer(), 33);
    EXPECT_EQ(h.mouse->transmissions(), 0);
    EXPECT_FALSE(ui::IsVisible(h.ctl("ms_1_status_bar")));
}

TEST(PageEndToEnd, ACleanExitSavesAnEditStillWaitingForItsApply) {
    PageHarness h;
    h.click("ms_1_apply_btn");
    h.settle();
    h.mouse->clear_log();
    h.ctl<QSlider>("ms_1_slider_light_off")->setValue(9);
    pump();
    ASSERT_TRUE(h.exec.active("apply delay"));
    h.wnd->DestroyWindow();  // the tray's "exit"
    pump();
    EXPECT_EQ(h.profile_on_disk().light_off_timer(), 9);
    // What goes to the mouse is unchanged: the pending apply is not sent.
    EXPECT_EQ(h.mouse->transmissions(), 0);
}

TEST(PageEndToEnd, SaveFailuresAreShownAndReported) {
    test::HarnessOptions options;
    options.cable = false;
    PageHarness h(options);
    // The library file cannot be replaced any more.
    const auto file = h.data_folder() / "ms_1" / "pro.data";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);

    h.ctl<QSlider>("ms_1_slider_sleep_timer")->setValue(20);
    pump();
    h.fire_apply_delay();
    h.settle();
    ASSERT_TRUE(pump_until([&] { return ui::IsVisible(h.ctl("ms_1_status_bar")); }));
    EXPECT_TRUE(ui::GetText(h.ctl("ms_1_label_status")).startsWith("Your changes could not be saved"));
    EXPECT_FALSE(h.page->save_error().isEmpty());

    std::string error;
    EXPECT_FALSE(h.page->SavePendingEdits(&error));
    EXPECT_FALSE(error.empty());
    h.click("ms_1_btn_status_close");
    EXPECT_FALSE(ui::IsVisible(h.ctl("ms_1_status_bar")));
}

}  // namespace
}  // namespace vantorel
