// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page inside the main window: its controls show the selected
// profile, edits write it and ask for applies the way each control should,
// and the links drive the battery, indicators and sections.
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "edit/settings_catalogue.h"
#include "library/settings_file.h"
#include "page/setting_ranges.h"
#include "page_harness.h"
#include "ui/skin_loader.h"
#include "ui/widgets.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::pump_until;

QString text(QWidget* w) { return ui::GetText(w); }

class PageTest : public ::testing::Test {
protected:
    QSlider* slider(const QString& name) { return h.ctl<QSlider>(name); }
    QLineEdit* edit(int stage) { return h.ctl<QLineEdit>(QStringLiteral("ms_1_edit_dpi_%1").arg(stage)); }
    QString label(const QString& name) { return text(h.ctl(name)); }
    QString dpi_label(int stage) { return label(QStringLiteral("ms_1_label_dpi_%1").arg(stage)); }
    QComboBox* combo(const QString& name) { return h.ctl<QComboBox>(name); }
    bool checked(const QString& name) { return ui::GetCheck(h.ctl(name)); }
    bool shown(const QString& name) { return ui::IsVisible(h.ctl(name)); }
    void type_and_commit(int stage, const QString& typed) {
        QLineEdit* e = edit(stage);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, typed);
        QTest::keyClick(e, Qt::Key_Return);
        pump();
    }
    void set_slider(const QString& name, int value) {
        slider(name)->setValue(value);
        pump();
    }

    PageHarness h;
};

// ---------------------------------------------------------------------------
// Showing the profile

TEST_F(PageTest, ShowsTheSelectedProfileOfANewLibrary) {
    ASSERT_TRUE(h.page->has_current_profile());
    auto* list = h.ctl<QListWidget>("ms_1_list_profile");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(list->item(0)->text(), "Profile 1");

    EXPECT_TRUE(checked("ms_1_option_dpi_step_2"));
    const char* dpis[] = {"800", "1600", "2400", "3200", "5000", "22000", "off", "off"};  // 7 and 8 not in use
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(dpi_label(n), dpis[n - 1]) << n;
        EXPECT_EQ(edit(n)->text(), n <= 6 ? dpis[n - 1] : "0") << n;
    }
    EXPECT_EQ(slider("ms_1_slider_dpi_6")->value(), 320);
    EXPECT_EQ(ui::GetBkColor(h.ctl("ms_1_btn_dpi_color_3")), 0xFF0000FFu);
    EXPECT_EQ(ui::GetBkColor(h.ctl("ms_1_btn_light_color")), 0xFF00FF00u);
    EXPECT_TRUE(checked("ms_1_btn_prate_4"));
    EXPECT_EQ(label("ms_1_label_prate"), "1000 Hz");
    EXPECT_TRUE(checked("ms_1_option_ripple_control_2"));
    EXPECT_TRUE(checked("ms_1_option_angle_snap_1"));
    EXPECT_EQ(label("ms_1_label_light_off"), "Lights off after 1.0 min");
    EXPECT_EQ(label("ms_1_label_sleep_timer"), "Sleep after 10 min");
    EXPECT_EQ(label("ms_1_label_key_debounce"), "8 ms");
    EXPECT_EQ(label("ms_1_btn_key_1"), "Left click");
    EXPECT_EQ(label("ms_1_btn_key_10"), "DPI cycle");
    EXPECT_EQ(label("ms_1_btn_key_17"), "Scroll down");
    EXPECT_EQ(ui::ResourceKey(h.ctl("ms_1_btn_key_2")), "right_click_text");

    // The lift-off toggle is offered and the light section starts closed.
    EXPECT_TRUE(shown("ms_1_check_lift_of_distance"));
    EXPECT_FALSE(shown("ms_1_ver_light"));
    EXPECT_TRUE(shown("ms_1_wired"));
    EXPECT_EQ(ui::GetCurSel(h.ctl("device_tab_switch")), CMainWnd::kMousePageItem);
}

TEST_F(PageTest, RefreshShowsEveryFieldAndNeitherWritesNorApplies) {
    h.edit([](ProfileRecord& r) {
        r.set_dpi_stage_index(4);
        r.set_dpi_value(0, 201);
        r.set_light_mode(2);
        r.set_light_mode_ble(3);
        r.set_brightness(3);
        r.set_polling_rate_index(1);
        r.set_light_off_timer(3);
        r.set_key_debounce(6);
        r.set_move_mode(1);
        r.slot(6).set_function_code(kFunctionShortcut);
        r.slot(6).set_shortcut_modifiers(0x01 | 0x04);
        r.slot(6).set_shortcut_key(0x04);
    });
    const ProfileRecord before = h.profile();
    h.page->Refresh();
    pump();

    EXPECT_EQ(h.profile(), before);
    EXPECT_EQ(h.apply_requests, 0);
    EXPECT_EQ(h.exec.starts("apply delay"), 0);
    EXPECT_TRUE(checked("ms_1_option_dpi_step_5"));
    EXPECT_FALSE(checked("ms_1_option_dpi_step_2"));
    EXPECT_EQ(dpi_label(1), "10100");
    EXPECT_EQ(combo("ms_1_combo_light")->currentIndex(), 2);
    EXPECT_EQ(combo("ms_1_combo_light_ble")->currentIndex(), 3);
    EXPECT_EQ(slider("ms_1_slider_brightness")->value(), 3);
    EXPECT_TRUE(checked("ms_1_btn_prate_2"));
    EXPECT_EQ(label("ms_1_label_prate"), "250 Hz");
    EXPECT_EQ(label("ms_1_label_light_off"), "Lights off after 1.5 min");
    EXPECT_EQ(label("ms_1_label_key_debounce"), "12 ms");
    EXPECT_TRUE(checked("ms_1_check_movemode"));
    EXPECT_EQ(label("ms_1_btn_key_7"), "Ctrl+Alt+A");
}

// ---------------------------------------------------------------------------
// When edits ask for an apply

TEST_F(PageTest, TenBrightnessChangesGiveOneApplyAfterTheLast) {
    for (int v = 1; v <= 10; ++v) set_slider("ms_1_slider_brightness", v);
    EXPECT_EQ(h.profile().brightness(), 10);
    // Each change restarted the 500 ms timer; nothing was asked for yet.
    EXPECT_EQ(h.exec.starts("apply delay"), 10);
    EXPECT_EQ(h.exec.interval("apply delay"), 500);
    EXPECT_EQ(h.apply_requests, 0);
    ASSERT_TRUE(h.fire_apply_delay());
    EXPECT_EQ(h.apply_requests, 1);
    EXPECT_FALSE(h.exec.active("apply delay"));
}

TEST_F(PageTest, LightEffectThenBluetoothEffectGiveOneApply) {
    combo("ms_1_combo_light")->setCurrentIndex(3);
    pump();
    combo("ms_1_combo_light_ble")->setCurrentIndex(2);
    pump();
    EXPECT_EQ(h.profile().light_mode(), 3);
    EXPECT_EQ(h.profile().light_mode_ble(), 2);
    EXPECT_EQ(h.exec.starts("apply delay"), 2);
    EXPECT_EQ(h.exec.interval("apply delay"), 200);
    EXPECT_EQ(h.apply_requests, 0);
    h.fire_apply_delay();
    EXPECT_EQ(h.apply_requests, 1);
}

// DPI values are kept in the library at once (a log-out or a crash loses
// none) but reach the mouse only with an apply button.
TEST_F(PageTest, DpiEditsAreSavedAtOnceAndWaitForAnApplyButton) {
    set_slider("ms_1_slider_dpi_1", 100);
    type_and_commit(2, "5000");
    slider("ms_1_slider_dpi_3")->setFocus();
    QTest::keyClick(slider("ms_1_slider_dpi_3"), Qt::Key_Right);
    pump();
    EXPECT_EQ(h.profile().dpi_value(0), 100);
    EXPECT_EQ(h.profile().dpi_value(1), 100);
    EXPECT_EQ(h.profile().dpi_value(2), 49);
    for (int k : {0, 1, 2}) EXPECT_EQ(h.profile_on_disk().dpi_value(k), h.profile().dpi_value(k)) << k;
    h.settle();
    EXPECT_EQ(h.apply_requests, 0);
    EXPECT_EQ(h.exec.starts("apply delay"), 0);

    h.click("ms_1_btn_apply_dpi");
    EXPECT_EQ(h.apply_requests, 1);
    h.click("ms_1_apply_btn");
    EXPECT_EQ(h.apply_requests, 2);
}

TEST_F(PageTest, OptionsAndTheMoveModeApplyAtOnce) {
    h.click("ms_1_option_dpi_step_4");
    EXPECT_EQ(h.profile().dpi_stage_index(), 3);
    h.click("ms_1_option_ripple_control_1");
    EXPECT_EQ(h.profile().ripple_control(), 0);
    h.click("ms_1_option_angle_snap_2");
    EXPECT_EQ(h.profile().angle_snap(), 1);
    h.click("ms_1_option_lift_of_distance_2");
    EXPECT_EQ(h.profile().lift_off_distance(), 1);
    h.click("ms_1_check_movemode");
    EXPECT_EQ(h.profile().move_mode(), 1);
    EXPECT_EQ(h.apply_requests, 5);
    EXPECT_EQ(h.exec.starts("apply delay"), 0);
}

TEST_F(PageTest, FourthPollingOptionStoresThreeAndShowsItsText) {
    h.click("ms_1_btn_prate_1");
    EXPECT_EQ(h.profile().polling_rate_index(), 0);
    EXPECT_EQ(label("ms_1_label_prate"), "125 Hz");
    h.click("ms_1_btn_prate_4");
    EXPECT_EQ(h.profile().polling_rate_index(), 3);
    EXPECT_EQ(label("ms_1_label_prate"), "1000 Hz");
    EXPECT_EQ(ui::ResourceKey(h.ctl("ms_1_label_prate")), "prate_4_text");
    EXPECT_EQ(h.apply_requests, 2);
}

// Every dialog counts as open (a command's hold is then refused), and while
// a command holds the library none opens: the page says it is busy.
TEST(PageDialogs, EveryDialogCountsAndNoneOpensWhileACommandHoldsTheLibrary) {
    std::vector<bool> colour_counted;
    test::HarnessOptions options;
    PageHarness* page_of = nullptr;
    options.choose_color = [&](quint32, QPoint) -> std::optional<quint32> {
        colour_counted.push_back(page_of->page->dialog_open());
        return std::nullopt;
    };
    PageHarness h(options);
    page_of = &h;
    const char* dialogs[] = {"ms_1_btn_dpi_color_1", "ms_1_btn_light_color", "ms_1_profile_export_btn",
                             "ms_1_profile_import_btn", "ms_1_profile_delete_btn"};
    for (const char* button : dialogs) h.click(button);
    EXPECT_EQ(colour_counted, (std::vector<bool>{true, true}));
    EXPECT_EQ(h.file_dialog_counted, (std::vector<bool>{true, true}));
    EXPECT_EQ(h.messages, std::vector<QString>{"one_profile_text"});
    EXPECT_FALSE(h.page->dialog_open());

    ASSERT_TRUE(h.page->HoldLibrary());
    for (const char* button : dialogs) h.click(button);
    h.page->ReleaseLibrary();
    EXPECT_EQ(colour_counted.size(), 2u);
    EXPECT_EQ(h.file_choices.size(), 2u);
    EXPECT_EQ(h.messages.size(), 1u);
    EXPECT_TRUE(ui::IsVisible(h.ctl("ms_1_status_bar")));
    EXPECT_EQ(text(h.ctl("ms_1_label_status")), ui::Tr(QStringLiteral("library_busy_text")));
    EXPECT_NE(ui::Tr(QStringLiteral("library_busy_text")), "library_busy_text");
}

// ---------------------------------------------------------------------------
// Sections

TEST_F(PageTest, LowerSectionsOpenAndScrollTheColumnToTheirEnd) {
    QScrollBar* bar = h.ctl<QScrollArea>("ms_1_ver_setting")->verticalScrollBar();
    h.click("ms_1_check_angle_snap");
    EXPECT_TRUE(shown("ms_1_hor_angle_snap"));
    EXPECT_TRUE(h.timers->active(kTimerScrollSettings));
    EXPECT_EQ(h.timers->interval(kTimerScrollSettings), 10);
    pump();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    h.fire(kTimerScrollSettings);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(h.timers->active(kTimerScrollSettings));

    h.click("ms_1_check_angle_snap");
    EXPECT_FALSE(shown("ms_1_hor_angle_snap"));
    EXPECT_FALSE(h.timers->active(kTimerScrollSettings));
}

TEST_F(PageTest, UpperSectionsOpenWithoutScrolling) {
    h.click("ms_1_check_dpi");
    EXPECT_FALSE(shown("ms_1_ver_dpi"));
    h.click("ms_1_check_dpi");
    EXPECT_TRUE(shown("ms_1_ver_dpi"));
    h.click("ms_1_check_light");
    EXPECT_TRUE(shown("ms_1_ver_light"));
    h.click("ms_1_check_profile");
    EXPECT_FALSE(shown("ms_1_ver_profile"));
    h.click("ms_1_check_button");
    EXPECT_FALSE(shown("ms_1_hor_button"));
    EXPECT_EQ(h.timers->starts(kTimerScrollSettings), 0);
    EXPECT_EQ(h.apply_requests, 0);
}

// ---------------------------------------------------------------------------
// DPI stages

TEST_F(PageTest, DpiEditsKeepOnlyDigits) {
    QLineEdit* e = edit(3);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, "1a2-b5");
    EXPECT_EQ(e->text(), "125");
    EXPECT_EQ(e->cursorPosition(), 3);
}

// A typed DPI on its step is taken (slider and caption follow, nothing is
// sent); one off the step or out of range was clamped and rounded down
// without a word: it is refused with the reason in the status line, and the
// edit shows the stored value again.
TEST_F(PageTest, PageRefusesTypedDpiOffTheStepOrOutOfRangeWithTheReason) {
    struct Case {
        int stage;
        const char* typed;
        int code;            // stored afterwards
        const char* shown;   // in the edit afterwards
        const char* reason;  // in the status line; empty: taken
    };
    const Case cases[] = {
        {1, "50", 1, "50", ""},
        {2, "10000", 200, "10000", ""},
        {3, "10100", 201, "10100", ""},
        {4, "22000", 320, "22000", ""},
        {5, "1234", 100, "5000", "1234 DPI is not on the step: the nearest values are 1200 and 1250 DPI"},
        {5, "10050", 100, "5000", "10050 DPI is not on the step: the nearest values are 10000 and 10100 DPI"},
        {6, "99999", 320, "22000", "99999 DPI is out of range: a stage takes 50 to 22000 DPI"},
        {2, "10", 200, "10000", "10 DPI is out of range: a stage takes 50 to 22000 DPI"},
        {1, "", 1, "50", "Type a DPI from 50 to 22000"},
    };
    QWidget* status = h.ctl("ms_1_label_status");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed));
        ui::SetText(status, QString());
        type_and_commit(c.stage, QString::fromLatin1(c.typed));
        EXPECT_EQ(h.profile().dpi_value(c.stage - 1), c.code);
        EXPECT_EQ(edit(c.stage)->text(), c.shown);
        EXPECT_EQ(slider(QStringLiteral("ms_1_slider_dpi_%1").arg(c.stage))->value(), c.code);
        EXPECT_EQ(dpi_label(c.stage), c.shown);  // the caption follows the stored value
        EXPECT_EQ(text(status), QString::fromUtf8(c.reason));
        if (*c.reason) {
            EXPECT_TRUE(shown("ms_1_status_bar"));
        }
    }

    // Leaving the edit commits as well.
    QLineEdit* e = edit(5);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, "1250");
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(e, &leave);
    pump();
    EXPECT_EQ(h.profile().dpi_value(4), 25);
    EXPECT_EQ(e->text(), "1250");
    EXPECT_EQ(h.apply_requests, 0);
}

// The skin's slider ranges show before the page starts; the page then takes
// the catalogue's, which the command line checks against. The two must
// agree, or a value the page offers would be refused by the command line.
TEST_F(PageTest, SkinSliderRangesAgreeWithTheSettingsCatalogue) {
    std::unique_ptr<QWidget> skin(ui::SkinLoader::load(QStringLiteral("MS/MS_1/ms_1_page.xml"), nullptr));
    ASSERT_NE(skin, nullptr);
    for (const page::SliderSetting& s : page::SliderSettings()) {
        const edit::SettingInfo& info = edit::setting(s.setting);
        for (int n = 1; n <= (info.per_stage ? 8 : 1); ++n) {
            const QString name = info.per_stage ? QString::fromLatin1(s.control).arg(n) : QString::fromLatin1(s.control);
            SCOPED_TRACE(name.toStdString());
            for (QSlider* shown_slider : {skin->findChild<QSlider*>(name), slider(name)}) {
                ASSERT_NE(shown_slider, nullptr);
                EXPECT_EQ(shown_slider->minimum(), info.stored_min);
                EXPECT_EQ(shown_slider->maximum(), info.stored_max);
            }
        }
    }
}

TEST_F(PageTest, DpiSlidersShowTheirStagesDpi) {
    set_slider("ms_1_slider_dpi_1", 200);
    EXPECT_EQ(dpi_label(1), "10000");
    EXPECT_EQ(edit(1)->text(), "10000");
    set_slider("ms_1_slider_dpi_1", 201);
    EXPECT_EQ(dpi_label(1), "10100");
    set_slider("ms_1_slider_dpi_1", 320);
    EXPECT_EQ(dpi_label(1), "22000");
    EXPECT_EQ(edit(1)->text(), "22000");
    EXPECT_EQ(h.profile().dpi_value(0), 320);
}

TEST_F(PageTest, DpiResetAsksThenRestoresTheStagesAndApplies) {
    h.click("ms_1_option_dpi_step_7");
    set_slider("ms_1_slider_dpi_7", 50);
    h.edit([](ProfileRecord& r) {
        r.set_dpi_stage_enabled(7, 1);
        r.set_dpi_color(0, Color{1, 2, 3});
        r.set_dpi_value_y(2, 99);
    });
    const int before = h.apply_requests;
    h.answers = {0};  // it asks first; declined, nothing changes
    h.click("ms_1_btn_reset_dpi");
    EXPECT_EQ(h.messages, std::vector<QString>{"reset_stages_question_text"});
    EXPECT_EQ(h.profile().dpi_color(0), (Color{1, 2, 3}));
    EXPECT_EQ(h.profile().dpi_value_y(2), 99);
    EXPECT_EQ(h.apply_requests, before);
    h.answers = {1};
    h.click("ms_1_btn_reset_dpi");
    const ProfileRecord r = h.profile();
    EXPECT_EQ(r.dpi_stage_index(), 1);
    EXPECT_TRUE(checked("ms_1_option_dpi_step_2"));
    EXPECT_FALSE(checked("ms_1_option_dpi_step_7"));
    EXPECT_EQ(dpi_label(7), "off");
    EXPECT_EQ(dpi_label(8), "off");
    EXPECT_EQ(r.dpi_value(6), 0);
    EXPECT_EQ(r.dpi_value_y(2), 48);
    EXPECT_EQ(r.dpi_stage_enabled(7), 0);
    EXPECT_EQ(r.dpi_color_word(0), 0xFFu);
    EXPECT_EQ(r.dpi_color_word(6), 0x40FFu);
    EXPECT_EQ(ui::GetBkColor(h.ctl("ms_1_btn_dpi_color_1")), 0xFFFF0000u);
    EXPECT_EQ(h.apply_requests, before + 1);
}

// ---------------------------------------------------------------------------
// Light and power

TEST_F(PageTest, TheLightEffectDecidesWhichRowsShow) {
    h.click("ms_1_check_light");
    struct Case {
        int effect;
        bool brightness, speed, color;
    };
    for (const Case c : {Case{1, true, false, true}, Case{2, false, true, true}, Case{5, false, true, false},
                         Case{0, false, false, false}}) {
        combo("ms_1_combo_light")->setCurrentIndex(c.effect);
        pump();
        EXPECT_EQ(shown("ms_1_ver_brightness"), c.brightness) << c.effect;
        EXPECT_EQ(shown("ms_1_ver_breathspeed"), c.speed) << c.effect;
        EXPECT_EQ(shown("ms_1_hor_light_color"), c.color) << c.effect;
    }
    // The Bluetooth effect leaves the rows alone.
    combo("ms_1_combo_light_ble")->setCurrentIndex(1);
    pump();
    EXPECT_FALSE(shown("ms_1_ver_brightness"));
}

TEST_F(PageTest, PowerSlidersWriteTheirFieldAndLabel) {
    set_slider("ms_1_slider_light_off", 5);
    EXPECT_EQ(h.profile().light_off_timer(), 5);
    EXPECT_EQ(label("ms_1_label_light_off"), "Lights off after 2.5 min");
    set_slider("ms_1_slider_sleep_timer", 25);
    EXPECT_EQ(h.profile().sleep_timer(), 25);
    EXPECT_EQ(label("ms_1_label_sleep_timer"), "Sleep after 25 min");
    set_slider("ms_1_slider_key_debounce", 6);
    EXPECT_EQ(h.profile().key_debounce(), 6);
    EXPECT_EQ(label("ms_1_label_key_debounce"), "12 ms");
    set_slider("ms_1_slider_breathspeed", 2);
    EXPECT_EQ(h.profile().breath_speed(), 2);
    EXPECT_EQ(h.exec.starts("apply delay"), 4);
    EXPECT_EQ(h.exec.interval("apply delay"), 500);
}

// ---------------------------------------------------------------------------
// Profile list, system mouse settings

TEST_F(PageTest, ChoosingAnotherProfileShowsItAndAppliesEverything) {
    h.click("ms_1_apply_btn");
    h.settle();
    ASSERT_EQ(h.mouse->config().start_reports, 1);
    {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        ProfileRecord second;
        second.reset_to_defaults();
        second.set_profile_name(u"Second");
        second.set_dpi_stage_index(5);
        h.page->store().profiles().append(second);
    }
    auto* list = h.ctl<QListWidget>("ms_1_list_profile");
    list->addItem("Second");  // the list mirrors the library
    list->setCurrentRow(1);
    pump();
    EXPECT_EQ(h.page->store().selected(), 1u);
    EXPECT_TRUE(checked("ms_1_option_dpi_step_6"));
    EXPECT_EQ(h.apply_requests, 2);
    h.settle();
    // Every section of the other profile went out, led by the start report.
    EXPECT_EQ(h.mouse->config().start_reports, 2);
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_EQ(h.profile_on_disk().profile_name(), u"Second");
}

TEST_F(PageTest, TheMouseSettingsButtonStartsTheDesktopsProgram) {
    EXPECT_TRUE(shown("ms_1_btn_mouse_attribute"));
    h.click("ms_1_btn_mouse_attribute");
    ASSERT_EQ(h.launched.size(), 1u);
    EXPECT_EQ(h.launched[0].program, "/usr/bin/true");
}

TEST(PageMouseSettings, WithoutADesktopProgramTheButtonIsHidden) {
    test::HarnessOptions options;
    options.mouse_settings = std::nullopt;
    PageHarness h(options);
    EXPECT_FALSE(ui::IsVisible(h.ctl("ms_1_btn_mouse_attribute")));
    EXPECT_FALSE(h.page->mouse_settings_available());
}

// ---------------------------------------------------------------------------
// The model picture and "CONFIG.ini"

QString picture(const PageHarness& h) {
    return h.ctl<ui::SvgImage>("ms_1_container_mouse_pic")->source();
}

TEST(PageModelPicture, FirstStartStoresTheFirstPicture) {
    PageHarness h;
    EXPECT_EQ(read_model_id(h.data_folder() / "CONFIG.ini"), 0);
    EXPECT_TRUE(ui::GetCheck(h.ctl("ms_1_option_mouse_pic_1")));
    EXPECT_EQ(picture(h), "skins/ms_1/mouse_1.png");
}

TEST(PageModelPicture, AStoredValueOutsideTheChoicesIsRepaired) {
    QTemporaryDir dir;
    const std::filesystem::path data = std::filesystem::path(dir.path().toStdString()) / "Data";
    std::filesystem::create_directories(data);
    ASSERT_TRUE(write_model_id(data / "CONFIG.ini", 7));
    test::HarnessOptions options;
    options.data_folder = data;
    PageHarness h(options);
    EXPECT_EQ(read_model_id(data / "CONFIG.ini"), 0);
    EXPECT_EQ(picture(h), "skins/ms_1/mouse_1.png");
}

TEST(PageModelPicture, TheSecondPictureIsKeptForTheNextStart) {
    QTemporaryDir dir;
    test::HarnessOptions options;
    options.data_folder = std::filesystem::path(dir.path().toStdString()) / "Data";
    {
        PageHarness h(options);
        h.click("ms_1_option_mouse_pic_2");
        EXPECT_EQ(read_model_id(options.data_folder / "CONFIG.ini"), 1);
        EXPECT_EQ(picture(h), "skins/ms_1/mouse_2.png");
        EXPECT_EQ(h.apply_requests, 0);
    }
    PageHarness again(options);
    EXPECT_TRUE(ui::GetCheck(again.ctl("ms_1_option_mouse_pic_2")));
    EXPECT_FALSE(ui::GetCheck(again.ctl("ms_1_option_mouse_pic_1")));
    EXPECT_EQ(picture(again), "skins/ms_1/mouse_2.png");
}

// ---------------------------------------------------------------------------
// The links drive the page

TEST_F(PageTest, OnTheCableTheBatteryChargesAndAnimates) {
    EXPECT_EQ(ui::ResourceKey(h.ctl("ms_1_label_power")), "charging_text");
    EXPECT_EQ(label("ms_1_label_power"), "Charging");
    ASSERT_TRUE(h.exec.active("charging animation"));
    EXPECT_EQ(h.exec.interval("charging animation"), 30);
    auto* bar = h.ctl<QProgressBar>("ms_1_progress_power");
    for (int tick = 0; tick < 3; ++tick) h.fire("charging animation");
    EXPECT_EQ(bar->value(), 4);

    h.mouse->report_battery(2, 100);  // full
    pump_until([&] { return label("ms_1_label_power") == "100%"; });
    EXPECT_EQ(bar->value(), 100);
    EXPECT_FALSE(h.exec.active("charging animation"));
}

TEST_F(PageTest, PollingRateAndLightEffectFromTheMouseUpdateTheControlsSilently) {
    h.mouse->press_polling_rate(2);
    pump_until([&] { return h.profile().polling_rate_index() == 2; });
    EXPECT_TRUE(checked("ms_1_btn_prate_3"));
    EXPECT_FALSE(checked("ms_1_btn_prate_4"));

    h.click("ms_1_check_light");
    h.mouse->press_light_effect(5);
    pump_until([&] { return h.profile().light_mode() == 5; });
    EXPECT_EQ(combo("ms_1_combo_light")->currentIndex(), 5);
    EXPECT_TRUE(shown("ms_1_ver_breathspeed"));
    EXPECT_FALSE(shown("ms_1_hor_light_color"));

    h.settle();
    EXPECT_EQ(h.apply_requests, 0);
    EXPECT_EQ(h.exec.starts("apply delay"), 0);
    // Both were taken as what the mouse holds.
    EXPECT_EQ(h.page->engine()->last_applied(), h.profile());
}

TEST_F(PageTest, OverBluetoothPollingRateAndDebounceAreNotOffered) {
    h.click("ms_1_check_key_debounce");
    ASSERT_TRUE(shown("ms_1_hor_key_debounce"));
    h.page->links().wired_state.store(kWiredDetached);
    h.page->links().ble_connected.store(1);
    h.page->RefreshLinkSections();
    EXPECT_FALSE(shown("ms_1_check_prate"));
    EXPECT_FALSE(checked("ms_1_check_prate"));
    EXPECT_FALSE(shown("ms_1_ver_prate"));
    EXPECT_FALSE(shown("ms_1_check_key_debounce"));
    EXPECT_FALSE(shown("ms_1_hor_key_debounce"));
    EXPECT_EQ(h.apply_requests, 0);
}

TEST(PageReceiver, TheFirstReportOfTheMouseBringsTheReceiverLinkUp) {
    test::HarnessOptions options;
    options.cable = false;
    options.receiver = true;
    PageHarness h(options);
    EXPECT_EQ(ui::GetCurSel(h.ctl("device_tab_switch")), CMainWnd::kNoMouseItem);
    h.mouse->report_battery(1, 50);
    ASSERT_TRUE(pump_until([&] { return ui::GetText(h.ctl("ms_1_label_power")) == "50%"; }));
    EXPECT_EQ(ui::GetValue(h.ctl("ms_1_progress_power")), 50);
    EXPECT_TRUE(ui::IsVisible(h.ctl("ms_1_wireless")));
    // The watchdog rests while the apply owed to the new link sends.
    EXPECT_TRUE(pump_until([&] { return h.exec.active("receiver watchdog"); }))
        << "the receiver's watchdog does not run once the link is up";
    pump_until([&] { return ui::GetCurSel(h.ctl("device_tab_switch")) == CMainWnd::kMousePageItem; });
    EXPECT_EQ(ui::GetCurSel(h.ctl("device_tab_switch")), CMainWnd::kMousePageItem);
}

}  // namespace
}  // namespace vantorel
