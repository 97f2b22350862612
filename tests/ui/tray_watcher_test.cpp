// SPDX-License-Identifier: GPL-2.0-or-later
#include <QDBusConnectionInterface>
#include <QProcess>

#include "ui/qt_env.h"
#include "ui/tray_watcher.h"

namespace vantorel::ui {
namespace {

// A session bus of the test's own, so that a stand-in panel can register
// the StatusNotifierWatcher without touching the desktop's.
class TrayWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(5000)) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        ASSERT_TRUE(test::pump_until([this] { return daemon_.canReadLine(); }));
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, QStringLiteral("tray-app")));
        ASSERT_TRUE(bus_->isConnected()) << qPrintable(address_);
    }
    void TearDown() override {
        bus_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("tray-app"));
        QDBusConnection::disconnectFromBus(QStringLiteral("tray-panel"));
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(2000);
        }
    }
    // The stand-in panel: a connection of its own that takes the watcher's name.
    bool panel_starts() {
        QDBusConnection panel = QDBusConnection::connectToBus(address_, QStringLiteral("tray-panel"));
        return panel.registerService(QString::fromLatin1(kStatusNotifierWatcher));
    }
    bool watcher_runs() const {
        return bus_->interface()->isServiceRegistered(QString::fromLatin1(kStatusNotifierWatcher)).value();
    }

    QProcess daemon_;
    QString address_;
    std::unique_ptr<QDBusConnection> bus_;
};

// A panel that registers the StatusNotifierWatcher after the program is
// noticed as it happens, once. (An X11 tray: tray_x11_test.cpp.)
TEST_F(TrayWatcherTest, APanelThatComesAfterTheProgramIsNoticedOnce) {
    int appeared = 0;
    TrayWatcher watcher([&] { return watcher_runs(); }, *bus_);
    QObject::connect(&watcher, &TrayWatcher::appeared, [&] { ++appeared; });
    test::pump_until([] { return false; }, 10);
    EXPECT_EQ(appeared, 0) << "no tray yet";

    ASSERT_TRUE(panel_starts());
    EXPECT_TRUE(test::pump_until([&] { return appeared > 0; }));
    test::pump_until([] { return false; }, 10);
    EXPECT_EQ(appeared, 1);
    EXPECT_FALSE(watcher.Watching());
    QDBusConnection::disconnectFromBus(QStringLiteral("tray-panel"));
}

}  // namespace
}  // namespace vantorel::ui
