// SPDX-License-Identifier: GPL-2.0-or-later
// Profiles that follow the focused application, in the program: a focus
// report switches the page's profile and sends only what differs; the
// profile list's renames, deletes and dialogs keep the bindings in step.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include "app/auto_profiles.h"
#include "app/mouse_bus_api.h"
#include "app/mouse_bus_wiring.h"
#include "core/reports.h"
#include "page_harness.h"
#include "ui/private_bus.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::report_types;

// Follows nothing by itself: the test reports the focus.
class ReportingDetector final : public FocusDetector {
public:
    explicit ReportingDetector(ReportingDetector*& seen) : seen_(seen) { seen_ = this; }
    ~ReportingDetector() override { seen_ = nullptr; }
    std::string description() const override { return "following the test"; }
    bool start(Listener focused) override {
        listener = std::move(focused);
        return true;
    }
    void stop() override { listener = nullptr; }
    Listener listener;

private:
    ReportingDetector*& seen_;
};

class AutoProfilesTest : public ::testing::Test {
protected:
    AutoProfilesTest() {
        // Two profiles that differ in the DPI of the stage in use; the mouse
        // holds the first.
        add("Game");
        h.edit([](ProfileRecord& r) { r.set_dpi_value(r.dpi_stage_index(), r.dpi_value(r.dpi_stage_index()) + 8); });
        choose_row(0);
        AppBindings bindings;
        EXPECT_TRUE(bindings.bind(u"Game", "Game.Bin"));
        EXPECT_TRUE(bindings.save(app_bindings_file(h.page->store().folder())));
        profiles.library_reloaded();  // as at start, once the libraries are read
        h.settle();
        h.mouse->clear_log();
    }
    void name_it(const QString& name) {
        h.answer_dialog = [name](ui::SkinWindow& d) {
            auto* edit = d.FindControl<QLineEdit>("edit_name");
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, name);
            QTest::keyClick(edit, Qt::Key_Return);
            pump();
        };
    }
    void add(const QString& name) {
        name_it(name);
        h.click("ms_1_profile_add_btn");
        h.settle();
    }
    void choose_row(int row) {
        auto* list = h.ctl<QListWidget>("ms_1_list_profile");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        pump();
        h.settle();
    }
    void focus(const std::string& app) {
        ASSERT_TRUE(detector->listener);
        detector->listener(FocusReport{app, "a window", 0});
        h.fire("focus rest");
        h.settle();
    }
    AppBindings bindings_on_disk() {
        AppBindings b;
        b.load(app_bindings_file(h.page->store().folder()));
        return b;
    }

    PageHarness h;
    ReportingDetector* detector = nullptr;
    std::vector<std::int64_t> popups;
    AutoProfiles profiles{*h.page,
                          [this] {
                              return std::make_unique<ReportingDetector>(detector);
                          },
                          {[this](std::int64_t code) { popups.push_back(code); }, nullptr}};
};

TEST_F(AutoProfilesTest, AFocusedApplicationSwitchesItsProfileAndSendsOnlyWhatDiffers) {
    focus("game.bin");
    EXPECT_EQ(h.profile().profile_name(), u"Game");
    EXPECT_EQ(profiles.switched_to(), u"Game");
    // Not a full apply: the DPI report alone.
    EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportDpi});
    std::string why;
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile(), &why)) << why;
    EXPECT_EQ(popups, std::vector<std::int64_t>{h.profile().dpi_value(h.profile().dpi_stage_index())});

    // The page's row says so.
    EXPECT_TRUE(h.ctl<QLabel>("ms_1_label_auto")->text().startsWith("Profile Game for game.bin"))
        << h.ctl<QLabel>("ms_1_label_auto")->text().toStdString();

    // Another application: the profile current before comes back.
    focus("editor");
    EXPECT_EQ(h.profile().profile_name(), u"Profile 1");
}

TEST_F(AutoProfilesTest, ThePagesCheckTurnsSwitchingOffAndTheChoiceIsKept) {
    auto* check = h.ctl<QCheckBox>("ms_1_check_auto");
    ASSERT_TRUE(check && check->isVisible());
    ASSERT_TRUE(check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    pump();
    EXPECT_FALSE(bindings_on_disk().switching());
    EXPECT_EQ(detector, nullptr) << "the focus is no longer followed";
    EXPECT_EQ(h.ctl<QLabel>("ms_1_label_auto")->text(), "switching is off");
}

TEST_F(AutoProfilesTest, RenamedAndDeletedProfilesTakeTheirBindingsAlong) {
    choose_row(1);
    name_it("Arena");
    h.click("ms_1_profile_rename_btn");
    EXPECT_EQ(bindings_on_disk().apps_of(u"Arena"), std::vector<std::string>{"Game.Bin"});
    h.answers = {1};
    h.click("ms_1_profile_delete_btn");
    EXPECT_TRUE(bindings_on_disk().empty());
}

TEST_F(AutoProfilesTest, NothingSwitchesWhileADialogIsOpenAndAHandChoiceStays) {
    // The rename dialog is open while the game takes the focus.
    std::u16string while_open;
    h.answer_dialog = [&](ui::SkinWindow&) {
        focus("game.bin");
        while_open = h.profile().profile_name();
    };
    h.click("ms_1_profile_rename_btn");
    h.settle();
    EXPECT_EQ(while_open, u"Profile 1");
    // Once it closed, the focus that rested decides.
    EXPECT_EQ(h.profile().profile_name(), u"Game");

    // Chosen by hand while the game has the focus: it stays.
    choose_row(0);
    ASSERT_EQ(h.profile().profile_name(), u"Profile 1");
    focus("game.bin");
    EXPECT_EQ(h.profile().profile_name(), u"Profile 1");
    EXPECT_TRUE(profiles.switched_to().empty());
}

// The program's interface on the session bus reads the page and the links
// and chooses profiles as the tray does; a KWin script's signed process id
// is taken as well as the documented unsigned one.
TEST_F(AutoProfilesTest, TheSessionBusReadsTheMouseAndChoosesProfilesAsTheTrayDoes) {
    test::PrivateBus bus;
    if (!bus.start()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    const auto presence = PublishMouseBus(*h.wnd, *h.page, profiles, bus.connect(QStringLiteral("program")));
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    auto call = [&](const QString& interface, const QString& member, const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(app::kMouseBusService, app::kMouseBusPath, interface, member);
        m.setArguments(args);
        QDBusPendingCall pending = client.asyncCall(m, 5000);
        EXPECT_TRUE(test::pump_until([&] { return pending.isFinished(); }));
        return pending.reply();
    };
    auto property = [&](const char* name) {
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QString::fromLatin1(app::kMouseBusInterface), QString::fromLatin1(name)});
        return reply.arguments().isEmpty() ? QVariant() : qvariant_cast<QDBusVariant>(reply.arguments().front()).variant();
    };
    const QString mouse = QString::fromLatin1(app::kMouseBusInterface);
    EXPECT_EQ(property("Link").toString(), "cable");
    EXPECT_EQ(property("ActiveProfile").toString(), "Profile 1");
    EXPECT_EQ(property("Profiles").toStringList(), (QStringList{"Profile 1", "Game"}));
    EXPECT_TRUE(property("AutoSwitch").toBool());

    EXPECT_EQ(call(mouse, QStringLiteral("SelectProfile"), {QStringLiteral("GAME")}).type(), QDBusMessage::ReplyMessage);
    h.settle();
    EXPECT_EQ(h.profile().profile_name(), u"Game");
    EXPECT_EQ(call(mouse, QStringLiteral("SelectProfile"), {QStringLiteral("Nope")}).errorName(),
              app::kMouseBusErrorNoSuchProfile);

    // The focus as the desktop's scripts report it reaches the rules only
    // from a detector that is told over the bus (here: none is), and both
    // forms of the call are answered.
    for (const QVariant& pid : {QVariant::fromValue(0u), QVariant::fromValue(0)})
        EXPECT_EQ(call(mouse, QStringLiteral("ReportFocus"), {QStringLiteral("editor"), QStringLiteral("t"), pid}).type(),
                  QDBusMessage::ReplyMessage);
}

}  // namespace
}  // namespace vantorel
