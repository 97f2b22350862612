// SPDX-License-Identifier: GPL-2.0-or-later
// Device faults as the user meets them on the page: the mouse goes while an
// edit is being applied. The page keeps running, says what the mouse did not
// take, shows the profile the library file holds, and brings the mouse in
// step with the next edit once it is back.
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTest>

#include <limits>

#include "page_harness.h"
#include "test_util.h"

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
        h.fire_apply_delay();
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
    h.fire("cable settle");
    ASSERT_TRUE(wired_up());
    step_brightness(key == Qt::Key_Right ? Qt::Key_Left : Qt::Key_Right);
    step_brightness(key);
    EXPECT_EQ(shown_brightness(), edited);
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_TRUE(h.profile_on_disk() == h.profile());
    EXPECT_TRUE(pump_until([&] { return !ui::IsVisible(h.ctl("ms_1_status_bar")); }));
}

// A library whose record holds values no control offers (a damaged file):
// each control shows the nearest choice it has, loading writes nothing, and
// the first change of a control stores a valid value.
class DamagedRecord : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return std::filesystem::path(dir_.path().toStdString()) / "Data"; }
    std::filesystem::path file() const { return folder() / "ms_1" / "pro.data"; }
    QByteArray file_bytes() const {
        QFile f(QString::fromStdString(file().string()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write_library(const ProfileRecord& record) {
        std::filesystem::create_directories(file().parent_path());
        ProfileLibrary library;
        library.append(record);
        library.set_selected_profile_index(0);
        ASSERT_TRUE(library.save(file()));
    }
    std::unique_ptr<PageHarness> start() {
        test::HarnessOptions options;
        options.cable = false;  // no apply: what the page writes is what the user changed
        options.data_folder = folder();
        auto h = std::make_unique<PageHarness>(options);
        h->wnd->EnsurePage();
        h->settle();
        return h;
    }
    // The 1-based option of a group that shows as chosen; 0 when none or
    // more than one does.
    static int chosen(PageHarness& h, const char* group, int count) {
        int found = 0;
        for (int n = 1; n <= count; ++n) {
            if (!ui::GetCheck(h.ctl(QString::fromLatin1(group).arg(n)))) continue;
            if (found) return 0;
            found = n;
        }
        return found;
    }
    QTemporaryDir dir_;
};

TEST_F(DamagedRecord, OutOfRangeValuesShowTheNearestChoiceAndAreWrittenOnlyWhenChanged) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        const char* name;
        std::int32_t value;  // stored in every field below
        int step, rate, two_way, light;  // options shown (1-based); light: the effect's index, -1 = last
    } cases[] = {
        {"largest", kMax, 8, 4, 2, -1},
        {"smallest", kMin, 1, 1, 1, 0},
        {"just above", 65536, 8, 4, 2, -1},
        {"just below", -1, 1, 1, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProfileRecord record;
        record.reset_to_defaults();
        record.set_profile_name(u"Damaged");
        record.set_dpi_stage_index(c.value);
        record.set_polling_rate_index(c.value);
        record.set_lift_off_distance(c.value);
        record.set_ripple_control(c.value);
        record.set_angle_snap(c.value);
        record.set_light_mode(c.value);
        record.set_light_mode_ble(c.value);
        for (int k = 0; k < 8; ++k) record.set_dpi_value(k, c.value);
        record.set_sleep_timer(c.value);
        record.set_light_off_timer(c.value);
        record.set_key_debounce(c.value);
        write_library(record);
        const QByteArray before = file_bytes();

        auto h = start();
        EXPECT_EQ(chosen(*h, "ms_1_option_dpi_step_%1", 8), c.step);
        EXPECT_EQ(chosen(*h, "ms_1_btn_prate_%1", 4), c.rate);
        EXPECT_EQ(chosen(*h, "ms_1_option_lift_of_distance_%1", 2), c.two_way);
        EXPECT_EQ(chosen(*h, "ms_1_option_ripple_control_%1", 2), c.two_way);
        EXPECT_EQ(chosen(*h, "ms_1_option_angle_snap_%1", 2), c.two_way);
        for (const char* name : {"ms_1_combo_light", "ms_1_combo_light_ble"}) {
            auto* combo = h->ctl<QComboBox>(QString::fromLatin1(name));
            EXPECT_EQ(combo->currentIndex(), c.light < 0 ? combo->count() - 1 : c.light) << name;
        }
        EXPECT_EQ(file_bytes(), before) << "loading wrote the library";

        // The user's choice is what gets stored.
        h->click("ms_1_option_dpi_step_3");
        h->settle();
        EXPECT_EQ(h->profile_on_disk().dpi_stage_index(), 2);
        EXPECT_EQ(h->profile_on_disk().angle_snap(), c.value);  // untouched fields stay as they were
    }
}

// Whatever a record holds, every option group shows exactly one choice.
TEST_F(DamagedRecord, RandomRecordsBindToADefinedChoiceInEveryGroup) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        ProfileRecord record;
        ASSERT_TRUE(record.assign(testing::random_bytes(ProfileRecord::kSize, seed)));
        record.set_profile_name(u"Random");
        write_library(record);
        auto h = start();
        ASSERT_TRUE(h->page->has_current_profile());
        EXPECT_NE(chosen(*h, "ms_1_option_dpi_step_%1", 8), 0);
        EXPECT_NE(chosen(*h, "ms_1_btn_prate_%1", 4), 0);
        EXPECT_NE(chosen(*h, "ms_1_option_angle_snap_%1", 2), 0);
        EXPECT_GE(h->ctl<QComboBox>("ms_1_combo_light")->currentIndex(), 0);
    }
}

}  // namespace
}  // namespace vantorel
