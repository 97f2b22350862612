// SPDX-License-Identifier: GPL-2.0-or-later
#include <QDBusArgument>

#include "app/desktop_notifier.h"
#include "ui/private_bus.h"

namespace vantorel::app {
namespace {

// What a desktop offers for the DPI the mouse switched to: KDE Plasma's
// on-screen display, or only the notification service.
TEST(DesktopNotifierTest, TheDpiGoesToPlasmasOnScreenDisplayElseToOneNotification) {
    const struct {
        const char* desktop;
        bool plasma_shell;
        bool osd_service;
    } cases[] = {
        {"Plasma with its on-screen display", true, true},
        {"Plasma's shell without the display", true, false},
        {"no Plasma (GNOME, sway with mako)", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        test::StandInObject osd, notifications;  // outlive the bus they are on
        test::PrivateBus bus;
        if (!bus.start()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        bus.connect(QStringLiteral("program"));
        QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
        notifications.answer = [](const QDBusMessage& call, const QDBusConnection& b) {
            b.send(call.createReply(QVariant::fromValue<quint32>(7)));
        };
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications));
        if (c.plasma_shell) {
            ASSERT_TRUE(desktop.registerService(QStringLiteral("org.kde.plasmashell")));
        }
        if (c.osd_service) {
            ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/org/kde/osdService"), &osd));
        }

        auto notifier = DesktopNotifier::OnScreenDisplay(2000);
        notifier->UseBus(QStringLiteral("program"));
        notifier->notify(u"QV Vantorel", u"800 DPI");
        ASSERT_TRUE(test::pump_until([&] { return !osd.calls().isEmpty() || !notifications.calls().isEmpty(); }));
        test::pump_until([] { return false; }, 10);

        if (c.osd_service) {
            ASSERT_EQ(osd.calls().size(), 1);
            const QDBusMessage shown = osd.calls().front();
            EXPECT_EQ(shown.interface(), QStringLiteral("org.kde.osdService"));
            EXPECT_EQ(shown.member(), QStringLiteral("showText"));
            ASSERT_EQ(shown.arguments().size(), 2);
            EXPECT_EQ(shown.arguments().at(1).toString(), QStringLiteral("800 DPI"));
            EXPECT_TRUE(notifications.calls().isEmpty()) << "shown twice";
        } else {
            const QList<QDBusMessage> notes = notifications.calls(QStringLiteral("Notify"));
            ASSERT_EQ(notes.size(), 1);
            const QVariantList args = notes.front().arguments();
            ASSERT_EQ(args.size(), 8);
            EXPECT_EQ(args.at(4).toString(), QStringLiteral("800 DPI"));
            EXPECT_EQ(args.at(7).toInt(), 2000);
            const QVariantMap hints = qdbus_cast<QVariantMap>(args.at(6));
            EXPECT_TRUE(hints.value(QStringLiteral("transient")).toBool()) << "kept in the desktop's history";
        }
    }
}

}  // namespace
}  // namespace vantorel::app
