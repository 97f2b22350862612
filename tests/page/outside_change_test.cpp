// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl changing the library while the program runs: the program is
// asked over its single-instance socket to hold its saves, then to reload,
// so the change shows at once, reaches the mouse, and is still in the file
// after the program's next save.
#include <QDir>
#include <QLineEdit>
#include <QLabel>
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
#include "library/profile_library.h"
#include "library/program_mark.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::HarnessOptions;
using test::PageHarness;
using test::pump_until;

struct CliResult {
    int status = -1;
    std::string out;
};

class OutsideChange : public ::testing::Test {
protected:
    explicit OutsideChange(HarnessOptions options = {}) : h(std::move(options)) {}
    void SetUp() override {
        socket_ = QDir(runtime_.path()).filePath(QStringLiteral("QV Vantorel"));
        instance_ = std::make_unique<SingleInstance>(socket_);
        ASSERT_EQ(instance_->start(), SingleInstance::Result::First);
        // As the program does at start: its data folder names its socket.
        std::string why;
        mark_ = ProgramMark::claim(h.data_folder(), socket_.toStdString(), &why);
        ASSERT_NE(mark_, nullptr) << why;
        requests_ = std::make_unique<LibraryRequests>(*h.page);
        requests_->attach(*instance_);
    }
    void TearDown() override {
        requests_.reset();
        mark_.reset();
        instance_.reset();
    }

    // Runs vantorelctl in a process of its own on the harness's data folder
    // while this thread's loop serves the program's socket.
    CliResult vantorelctl(const std::string& args, const std::string& data_dir = {}, const std::string& env = {}) {
        const std::string cmd = "env " + (env.empty() ? "XDG_RUNTIME_DIR='" + runtime_.path().toStdString() + "'" : env) +
                                " " VANTORELCTL_PATH
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
    std::unique_ptr<ProgramMark> mark_;
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

// The running program owns the mouse: status asks it over its socket and
// leaves the device alone (no links of its own in the answer).
TEST_F(OutsideChange, StatusIsAnsweredByTheRunningProgram) {
    ASSERT_EQ(h.page->links().mode(), ConnectionMode::Wired);
    const CliResult r = vantorelctl("status --json");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"link\": \"wired\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"links\": null"), std::string::npos) << "the command opened the device itself: " << r.out;
    EXPECT_FALSE(h.page->library_held()) << "asking about the mouse needs no hold";
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

// A command connected by hand, as a stopped or killed vantorelctl leaves it.
class HoldingCommand {
public:
    HoldingCommand(const QString& socket, const std::filesystem::path& folder) {
        socket_.connectToServer(socket);
        connected_ = pump_until([&] { return socket_.state() == QLocalSocket::ConnectedState; });
        if (connected_) answer_ = ask("hold " + QByteArray::fromStdString(folder.string()));
    }
    QByteArray ask(const QByteArray& line) {
        socket_.write(line + "\n");
        if (!pump_until([&] { return socket_.canReadLine(); })) return {};
        return socket_.readLine().trimmed();
    }
    QByteArray answer() const { return answer_; }
    void die() { socket_.abort(); }

private:
    QLocalSocket socket_;
    bool connected_ = false;
    QByteArray answer_;
};

TEST_F(OutsideChange, WhileHeldTheWindowTakesNoEditAndAStoppedCommandLosesItsHold) {
    HoldingCommand command(socket_, h.data_folder());
    ASSERT_EQ(command.answer(), "held");
    EXPECT_TRUE(h.page->library_held());

    // A click now would edit a record the command is about to replace: it is
    // refused, and the page says why.
    const ProfileRecord before = h.profile_on_disk();
    const int ripple = h.profile().ripple_control();
    click(QStringLiteral("ms_1_option_ripple_control_1"));
    click(QStringLiteral("ms_1_option_angle_snap_2"));
    EXPECT_EQ(h.profile().ripple_control(), ripple);
    EXPECT_TRUE(h.profile() == before);
    EXPECT_TRUE(h.profile_on_disk() == before);
    EXPECT_TRUE(h.ctl(QStringLiteral("ms_1_status_bar"))->isVisible());
    EXPECT_EQ(h.ctl<QLabel>(QStringLiteral("ms_1_label_status"))->text(),
              ui::Tr(QStringLiteral("library_busy_text")));

    // A second command is not let in while the first holds.
    HoldingCommand second(socket_, h.data_folder());
    EXPECT_EQ(second.answer(), "other");

    // The first is stopped (Ctrl+Z) and says nothing: the program takes its
    // window back, and the command, when it wakes, learns it lost the hold.
    EXPECT_EQ(command.ask("keep"), "held");
    EXPECT_TRUE(pump_until([&] { return !h.page->library_held(); }, LibraryRequests::kHoldSilenceMs + 3000));
    EXPECT_FALSE(h.ctl(QStringLiteral("ms_1_status_bar"))->isVisible());
    EXPECT_EQ(command.ask("keep"), "lost");
    click(QStringLiteral("ms_1_option_angle_snap_2"));
    EXPECT_EQ(h.profile().angle_snap(), 1);
    EXPECT_EQ(h.profile_on_disk().angle_snap(), 1);
}

TEST_F(OutsideChange, CommandKilledBetweenItsSaveAndItsReloadStillReachesTheMouse) {
    HoldingCommand command(socket_, h.data_folder());
    ASSERT_EQ(command.answer(), "held");
    h.mouse->clear_log();
    // What the command wrote before it died.
    ProfileLibrary lib;
    MapTextLookup texts;
    lib.load(h.data_folder() / "ms_1" / "pro.data", texts);
    lib.at(static_cast<std::size_t>(lib.selected_profile_index())).set_brightness(12);
    ASSERT_TRUE(lib.save());
    command.die();

    EXPECT_TRUE(pump_until([&] { return !h.page->library_held(); }));
    h.settle();
    EXPECT_EQ(h.ctl<QSlider>(QStringLiteral("ms_1_slider_brightness"))->value(), 12);
    EXPECT_TRUE(pump_until([&] { return sent(kReportLight) == 1; }));
    EXPECT_TRUE(h.mouse->holds_exactly(h.profile()));
}

// The command finds the program through the data folder itself, whatever
// its own environment says and whatever bytes the folder's name holds.
class OutsideChangeOddFolder : public OutsideChange {
protected:
    OutsideChangeOddFolder() : OutsideChange(odd_options()) {}
    ~OutsideChangeOddFolder() override {
        std::error_code ec;
        std::filesystem::remove_all(top(), ec);
    }
    static std::filesystem::path top() {
        return std::filesystem::temp_directory_path() / ("vantorel-odd-" + std::to_string(::getpid()));
    }
    static HarnessOptions odd_options() {
        HarnessOptions o;
        o.data_folder = top() / "Data\nof a % user";
        return o;
    }
};

TEST_F(OutsideChangeOddFolder, CommandFindsTheProgramWhateverItsEnvironmentSays) {
    QTemporaryDir loose;  // a runtime folder others may read, which Qt would refuse
    ASSERT_TRUE(QFile::setPermissions(loose.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther));
    const struct {
        const char* name;
        std::string env;
        int brightness;
    } cases[] = {
        {"no runtime folder (su, ssh, cron)", "-u XDG_RUNTIME_DIR", 5},
        {"a runtime folder others may read", "XDG_RUNTIME_DIR='" + loose.path().toStdString() + "'", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = vantorelctl("set brightness=" + std::to_string(c.brightness), {}, c.env);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("the running QV Vantorel shows the change"), std::string::npos) << r.out;
        EXPECT_EQ(h.ctl<QSlider>(QStringLiteral("ms_1_slider_brightness"))->value(), c.brightness);
        EXPECT_FALSE(h.page->library_held());
    }
}

}  // namespace
}  // namespace vantorel
