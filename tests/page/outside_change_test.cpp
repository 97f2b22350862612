// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl changing the library while the program runs: the program is
// asked over its single-instance socket to hold its saves, then to reload,
// so the change shows at once, reaches the mouse, and is still in the file
// after the program's next save.
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalSocket>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "app/library_requests.h"
#include "app/single_instance.h"
#include "core/reports.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump_until;

struct CliResult {
    int status = -1;
    std::string out;
};

class OutsideChange : public ::testing::Test {
protected:
    void SetUp() override {
        socket_ = QDir(runtime_.path()).filePath(QStringLiteral("QV Vantorel"));
        instance_ = std::make_unique<SingleInstance>(socket_);
        ASSERT_EQ(instance_->start(), SingleInstance::Result::First);
        requests_ = std::make_unique<LibraryRequests>(*h.page);
        requests_->attach(*instance_);
    }
    void TearDown() override {
        requests_.reset();
        instance_.reset();
    }

    // Runs vantorelctl in a process of its own on the harness's data folder
    // while this thread's loop serves the program's socket.
    CliResult vantorelctl(const std::string& args, const std::string& data_dir = {}) {
        const std::string cmd = "env XDG_RUNTIME_DIR='" + runtime_.path().toStdString() + "' " VANTORELCTL_PATH
                                " --data-dir '" + (data_dir.empty() ? h.data_folder().string() : data_dir) + "' " +
                                args + " 2>&1";
        CliResult result;
        std::atomic<bool> done{false};
        std::thread runner([&] {
            FILE* p = popen(cmd.c_str(), "r");
            if (p) {
                char buf[512];
                std::size_t n;
                while ((n = fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
                const int st = pclose(p);
                result.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            }
            done = true;
        });
        const bool finished = pump_until([&] { return done.load(); }, 100000);
        runner.join();
        EXPECT_TRUE(finished);
        h.settle();
        return result;
    }

    void click(const QString& name) {
        QWidget* w = h.ctl(name);
        ASSERT_NE(w, nullptr) << name.toStdString();
        QTest::mouseClick(w, Qt::LeftButton);
        h.settle();
    }
    int sent(std::uint8_t type) const {
        int n = 0;
        for (const ReceivedReport& r : h.mouse->reports()) n += r.type() == type ? 1 : 0;
        return n;
    }

    PageHarness h;
    QTemporaryDir runtime_;
    QString socket_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<LibraryRequests> requests_;
};

TEST_F(OutsideChange, IsShownAtOnceAndSurvivesTheProgramsNextSave) {
    // An edit of the user's, saved by its apply.
    click(QStringLiteral("ms_1_option_angle_snap_2"));
    ASSERT_EQ(h.profile_on_disk().angle_snap(), 1);
    h.mouse->clear_log();

    const CliResult r = vantorelctl("set brightness=11 dpi.2=1200");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("the running QV Vantorel shows the change"), std::string::npos) << r.out;
    EXPECT_FALSE(h.page->library_held());

    // Shown at once, and the program sent exactly the two changed sections.
    EXPECT_EQ(h.ctl<QSlider>(QStringLiteral("ms_1_slider_brightness"))->value(), 11);
    EXPECT_EQ(h.ctl<QLineEdit>(QStringLiteral("ms_1_edit_dpi_2"))->text(), QStringLiteral("1200"));
    EXPECT_EQ(sent(kReportLight), 1);
    EXPECT_EQ(sent(kReportDpi), 1);
    EXPECT_EQ(h.mouse->reports().size(), 2u);

    // The user's next edit saves the library: both changes are in it.
    click(QStringLiteral("ms_1_option_ripple_control_1"));
    const ProfileRecord saved = h.profile_on_disk();
    EXPECT_EQ(saved.ripple_control(), 0);
    EXPECT_EQ(saved.angle_snap(), 1);
    EXPECT_EQ(saved.brightness(), 11);
    EXPECT_EQ(dpi_display_value(saved.dpi_value(1)), 1200);
}

TEST_F(OutsideChange, ProfileOperationsShowInTheListAndSwitchTheMouse) {
    const CliResult added = vantorelctl("profile new Travel");
    ASSERT_EQ(added.status, 0) << added.out;
    auto* list = h.ctl<QListWidget>(QStringLiteral("ms_1_list_profile"));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Travel"));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(h.profile().profile_name(), u"Travel");
    // A switch sends the whole profile.
    EXPECT_EQ(sent(kReportStart), 1);
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile()));

    // A refused command releases the hold; the program's edits are saved
    // again from then on.
    const QString first = list->item(0)->text();
    const CliResult refused = vantorelctl("profile rename travel --profile 0");
    EXPECT_EQ(refused.status, 2) << refused.out;
    EXPECT_NE(refused.out.find("exists already"), std::string::npos) << refused.out;
    EXPECT_FALSE(h.page->library_held());
    EXPECT_EQ(list->item(0)->text(), first);
    click(QStringLiteral("ms_1_option_angle_snap_2"));
    EXPECT_EQ(h.profile_on_disk().angle_snap(), 1);
}

TEST_F(OutsideChange, AnImportedProfileAppearsInTheProgram) {
    QTemporaryDir files;
    const std::string pro = files.filePath(QStringLiteral("copy.pro")).toStdString();
    ASSERT_EQ(vantorelctl("profile export 0 '" + pro + "'").status, 0);
    const CliResult imported = vantorelctl("profile import '" + pro + "'");
    ASSERT_EQ(imported.status, 0) << imported.out;
    auto* list = h.ctl<QListWidget>(QStringLiteral("ms_1_list_profile"));
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(h.page->store().profiles().size(), 2u);
    EXPECT_FALSE(h.page->library_held());
}

TEST_F(OutsideChange, WaitsForTheUserToCloseADialog) {
    // The rename dialog is open while the command runs: it is refused and
    // nothing changes; once the dialog is closed the same command goes through.
    CliResult during;
    h.answer_dialog = [&](ui::SkinWindow&) { during = vantorelctl("set brightness=4"); };
    click(QStringLiteral("ms_1_profile_rename_btn"));
    EXPECT_EQ(during.status, 1) << during.out;
    EXPECT_NE(during.out.find("has a dialog open"), std::string::npos) << during.out;
    EXPECT_NE(h.profile_on_disk().brightness(), 4);
    EXPECT_FALSE(h.page->library_held());

    const CliResult after = vantorelctl("set brightness=4");
    EXPECT_EQ(after.status, 0) << after.out;
    EXPECT_EQ(h.profile().brightness(), 4);
    EXPECT_EQ(h.ctl<QSlider>(QStringLiteral("ms_1_slider_brightness"))->value(), 4);
}

TEST_F(OutsideChange, AProgramOnAnotherDataFolderIsLeftAlone) {
    QTemporaryDir other;
    const CliResult r = vantorelctl("set brightness=2 --simulate=wired", other.filePath(QStringLiteral("Data")).toStdString());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("the running QV Vantorel"), std::string::npos) << r.out;
    EXPECT_NE(h.profile().brightness(), 2);
    EXPECT_FALSE(h.page->library_held());
}

TEST_F(OutsideChange, AHoldEndsWhenTheCommandGoesAway) {
    QLocalSocket command;
    command.connectToServer(socket_);
    ASSERT_TRUE(pump_until([&] { return command.state() == QLocalSocket::ConnectedState; }));
    command.write("hold " + QByteArray::fromStdString(h.data_folder().string()) + "\n");
    ASSERT_TRUE(pump_until([&] { return command.canReadLine(); }));
    EXPECT_EQ(command.readLine(), QByteArray("held\n"));
    EXPECT_TRUE(h.page->library_held());

    // While held, the user's edit is kept in memory only.
    const ProfileRecord before = h.profile_on_disk();
    click(QStringLiteral("ms_1_option_ripple_control_1"));
    click(QStringLiteral("ms_1_option_angle_snap_2"));
    EXPECT_EQ(h.profile().ripple_control(), 0);
    EXPECT_EQ(h.profile().angle_snap(), 1);
    EXPECT_TRUE(h.profile_on_disk() == before);

    // A second command is not let in while the first holds.
    QLocalSocket second;
    second.connectToServer(socket_);
    ASSERT_TRUE(pump_until([&] { return second.state() == QLocalSocket::ConnectedState; }));
    second.write("hold " + QByteArray::fromStdString(h.data_folder().string()) + "\n");
    ASSERT_TRUE(pump_until([&] { return second.canReadLine(); }));
    EXPECT_EQ(second.readLine(), QByteArray("other\n"));

    command.abort();
    EXPECT_TRUE(pump_until([&] { return !h.page->library_held(); }));
}

}  // namespace
}  // namespace vantorel
