// SPDX-License-Identifier: GPL-2.0-or-later
// A session bus of the test's own (its own dbus-daemon) and stand-in
// services on it, so a test can play a desktop service without touching the
// desktop's.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>

#include <functional>
#include <mutex>

#include "ui/qt_env.h"

namespace vantorel::test {

class PrivateBus {
public:
    ~PrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(2000);
        }
    }
    // False where no dbus-daemon can be run.
    bool start() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(5000)) return false;
        if (!pump_until([this] { return daemon_.canReadLine(); })) return false;
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        return true;
    }
    // A connection of its own under `name` (a program, or a service).
    QDBusConnection connect(const QString& name) {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// One object of a stand-in service: keeps every call it gets and answers
// each with what `answer` makes of it (an empty reply unless set). Calls may
// come on Qt's D-Bus thread.
class StandInObject : public QDBusVirtualObject {
public:
    std::function<void(const QDBusMessage& call, const QDBusConnection& bus)> answer;

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_ << call;
        }
        if (answer) answer(call, bus);
        else bus.send(call.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    QList<QDBusMessage> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    QList<QDBusMessage> calls(const QString& member) const {
        QList<QDBusMessage> out;
        for (const QDBusMessage& m : calls()) {
            if (m.member() == member) out << m;
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    QList<QDBusMessage> calls_;
};

}  // namespace vantorel::test
