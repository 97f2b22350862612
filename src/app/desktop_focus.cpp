// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/desktop_focus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariantMap>

namespace vantorel {

namespace {

constexpr int kCallTimeoutMs = 3000;

bool on_bus(const QDBusConnection& bus, const QString& service) {
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(service).value();
}

QString kwin() { return QStringLiteral("org.kde.KWin"); }

QDBusMessage scripting(const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(kwin(), QStringLiteral("/Scripting"),
                                                       QStringLiteral("org.kde.kwin.Scripting"), method);
    call.setArguments(args);
    return call;
}

}  // namespace

void ReportedFocusDetector::report(const FocusReport& focus) {
    if (listener_) listener_(focus);
}

void ReportedFocusDetector::stop() { listener_ = nullptr; }

bool ReportedFocusDetector::fail(std::string why) {
    why_ = std::move(why);
    listener_ = nullptr;
    return false;
}

KWinFocus::KWinFocus(QDBusConnection bus, QString script_dir)
    : bus_(std::move(bus)), script_dir_(std::move(script_dir)) {}

KWinFocus::~KWinFocus() { stop(); }

bool KWinFocus::start(Listener focused) {
    if (started()) return true;
    if (!on_bus(bus_, kwin())) return fail("KWin is not on the session bus");

    // KWin reads the file when the script runs: it stays until stop().
    QString dir = script_dir_;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QFile source(QStringLiteral(":/kwin/focus.js"));
    script_path_ = QDir(dir).filePath(QStringLiteral("qv-vantorel-kwin-focus.js"));
    QSaveFile out(script_path_);
    if (!source.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(source.readAll()) < 0 ||
        !out.commit()) {
        script_path_.clear();
        return fail("the KWin script could not be written to " + dir.toStdString());
    }

    // A copy left loaded by a run that crashed would make KWin refuse ours.
    bus_.call(scripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kPluginName)}), QDBus::Block,
              kCallTimeoutMs);
    const QDBusMessage loaded = bus_.call(
        scripting(QStringLiteral("loadScript"), {script_path_, QString::fromLatin1(kPluginName)}), QDBus::Block,
        kCallTimeoutMs);
    bool number = false;
    const int id = loaded.arguments().value(0).toInt(&number);
    if (loaded.type() != QDBusMessage::ReplyMessage || !number || id < 0) {
        unload();
        const QString error = loaded.errorMessage();
        return fail("KWin did not load the script: " +
                    (error.isEmpty() ? std::string("it refused it") : error.toStdString()));
    }
    // Listening before the script runs: it reports the window focused now.
    follow(std::move(focused));
    if (!run_script(id)) {
        unload();
        return fail("KWin loaded the script but did not run it");
    }
    return true;
}

bool KWinFocus::run_script(int id) {
    // KWin 6 puts a loaded script at /Scripting/Script<id>, KWin 5 at /<id>.
    for (const QString& path : {QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("/%1").arg(id)}) {
        const QDBusMessage reply = bus_.call(
            QDBusMessage::createMethodCall(kwin(), path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run")),
            QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
    }
    return false;
}

void KWinFocus::unload() {
    if (script_path_.isEmpty()) return;
    bus_.call(scripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kPluginName)}), QDBus::Block,
              kCallTimeoutMs);
    QFile::remove(script_path_);
    script_path_.clear();
}

void KWinFocus::stop() {
    ReportedFocusDetector::stop();
    unload();
}

GnomeFocus::GnomeFocus(QDBusConnection bus) : bus_(std::move(bus)) {}

bool GnomeFocus::start(Listener focused) {
    const std::string enable = std::string("gnome-extensions enable ") + kExtensionUuid;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("/org/gnome/Shell/Extensions"),
        QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("GetExtensionInfo"));
    call.setArguments({QString::fromLatin1(kExtensionUuid)});
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return fail("GNOME Shell does not answer on the session bus; once it runs, enable our extension with: " +
                    enable);
    }
    const QVariantMap info = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    if (info.isEmpty()) {
        return fail("GNOME Shell does not know our extension yet (log out and in after installing), then: " + enable);
    }
    // 1 is "enabled" (GNOME 45 calls it "active").
    if (info.value(QStringLiteral("state")).toDouble() != 1.0) {
        return fail("the GNOME Shell extension is not enabled; enable it with: " + enable);
    }
    follow(std::move(focused));
    return true;
}

DesktopFocus make_desktop_focus_detector(Executor& executor, const QDBusConnection& bus,
                                         const FocusSession& session) {
    DesktopFocus out;
    if (session.wayland() && on_bus(bus, kwin())) {
        auto kwin_focus = std::make_unique<KWinFocus>(bus);
        out.reported = kwin_focus.get();
        out.detector = std::move(kwin_focus);
    } else if (session.wayland() && (session.desktop_is("GNOME") || on_bus(bus, QStringLiteral("org.gnome.Shell")))) {
        auto gnome = std::make_unique<GnomeFocus>(bus);
        out.reported = gnome.get();
        out.detector = std::move(gnome);
    } else {
        out.detector = make_focus_detector(executor, session);
    }
    return out;
}

DesktopFocus make_desktop_focus_detector(Executor& executor, const QDBusConnection& bus) {
    return make_desktop_focus_detector(executor, bus, FocusSession::from_environment());
}

}  // namespace vantorel
