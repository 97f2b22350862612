// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vantorel::app {

std::unique_ptr<DesktopNotifier> DesktopNotifier::Transient(int expire_ms) {
    auto notifier = std::make_unique<DesktopNotifier>();
    notifier->transient_ = true;
    notifier->expire_ms_ = expire_ms;
    return notifier;
}

void DesktopNotifier::notify(const std::u16string& title, const std::u16string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning() << "No session bus; notification dropped:" << QString::fromStdU16String(title);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(transient_ ? 0 : 2));
    if (transient_) hints.insert(QStringLiteral("transient"), true);
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.qvvantorel.QVVantorel"));
    call << QStringLiteral("QV Vantorel") << *last_id_ << QStringLiteral("io.github.qvvantorel.QVVantorel")
         << QString::fromStdU16String(title) << QString::fromStdU16String(body) << QStringList() << hints
         << static_cast<qint32>(expire_ms_);
    // Asked without waiting: a slow or absent notification service never
    // holds up the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [last_id = last_id_](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<quint32> reply = *w;
                         if (reply.isValid()) *last_id = reply.value();
                         else qWarning() << "Notification not shown:" << reply.error().message();
                         w->deleteLater();
                     });
}

}  // namespace vantorel::app
