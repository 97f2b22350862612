// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QStringList>
#include <QVariantMap>

namespace vantorel::app {

namespace {

struct Note {
    QString title;
    QString body;
    bool transient = false;
    int expire_ms = -1;
    QString bus_name;
    std::shared_ptr<std::uint32_t> last_id;
};

QDBusConnection bus_of(const QString& name) {
    return name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(name);
}

void send_notification(const Note& note) {
    QDBusConnection bus = bus_of(note.bus_name);
    if (!bus.isConnected()) {
        qWarning() << "No session bus; notification dropped:" << note.title;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(note.transient ? 0 : 2));
    if (note.transient) hints.insert(QStringLiteral("transient"), true);
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.qvvantorel.QVVantorel"));
    call << QStringLiteral("QV Vantorel") << *note.last_id << QStringLiteral("io.github.qvvantorel.QVVantorel")
         << note.title << note.body << QStringList() << hints << static_cast<qint32>(note.expire_ms);
    // Asked without waiting: a slow or absent notification service never
    // holds up the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [last_id = note.last_id](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<quint32> reply = *w;
                         if (reply.isValid()) *last_id = reply.value();
                         else qWarning() << "Notification not shown:" << reply.error().message();
                         w->deleteLater();
                     });
}

// KDE Plasma's on-screen display; where the shell or its display is not
// there, the note goes out as a notification instead.
void show_on_screen(const Note& note) {
    QDBusConnection bus = bus_of(note.bus_name);
    if (!bus.isConnected()) return send_notification(note);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.plasmashell"), QStringLiteral("/org/kde/osdService"),
                                       QStringLiteral("org.kde.osdService"), QStringLiteral("showText"));
    call << QStringLiteral("input-mouse") << note.body;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [note](QDBusPendingCallWatcher* w) {
        if (w->isError()) send_notification(note);
        w->deleteLater();
    });
}

}  // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::Transient(int expire_ms) {
    auto notifier = std::make_unique<DesktopNotifier>();
    notifier->transient_ = true;
    notifier->expire_ms_ = expire_ms;
    return notifier;
}

std::unique_ptr<DesktopNotifier> DesktopNotifier::OnScreenDisplay(int expire_ms) {
    auto notifier = Transient(expire_ms);
    notifier->on_screen_display_ = true;
    return notifier;
}

void DesktopNotifier::notify(const std::u16string& title, const std::u16string& body) {
    const Note note{QString::fromStdU16String(title), QString::fromStdU16String(body), transient_, expire_ms_,
                    bus_name_, last_id_};
    if (on_screen_display_) show_on_screen(note);
    else send_notification(note);
}

}  // namespace vantorel::app
