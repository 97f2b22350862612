// SPDX-License-Identifier: GPL-2.0-or-later
#include <QDBusArgument>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <optional>
#include <vector>

#include "app/desktop_focus.h"
#include "ui/private_bus.h"

namespace vantorel {
namespace {

const QString kSource = QStringLiteral(VANTOREL_SOURCE_DIR);
const QString kModernExtension = kSource + QStringLiteral("/packaging/gnome-shell/") + GnomeFocus::kExtensionUuid;
const QString kLegacyExtension =
    kSource + QStringLiteral("/packaging/gnome-shell/legacy/") + GnomeFocus::kExtensionUuid;

class NoExecutor final : public Executor {
public:
    void post(Task) override {}
    TimerId start_timer(int, bool, Task, const char*) override { return 1; }
    void stop_timer(TimerId) override {}
};

// A private session bus with the program's connection and one for the
// desktop's stand-in services (KWin's scripting, GNOME Shell's extensions).
// The stand-ins answer on a thread of their own: the detectors wait for the
// answer on this one.
struct Desktop {
    bool start() {
        for (QObject* o : {static_cast<QObject*>(&scripting), static_cast<QObject*>(&script),
                           static_cast<QObject*>(&extensions)}) {
            o->moveToThread(&thread.thread);
        }
        thread.thread.start();
        if (!bus.start()) return false;
        program = bus.connect(QStringLiteral("program"));
        desktop = bus.connect(QStringLiteral("desktop"));
        return program.isConnected() && desktop.isConnected();
    }

    // KWin's scripting service: loadScript answers `id`, and the script
    // object sits at `script_path` (KWin 6 /Scripting/Script<id>, KWin 5 /<id>)
    // unless empty.
    void play_kwin(int id, const QString& script_path) {
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.kde.KWin")));
        scripting.answer = [id](const QDBusMessage& call, const QDBusConnection& b) {
            if (call.member() == QLatin1String("loadScript")) b.send(call.createReply(QVariant(id)));
            else b.send(call.createReply(QVariant(true)));
        };
        ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/Scripting"), &scripting));
        if (!script_path.isEmpty()) {
            ASSERT_TRUE(desktop.registerVirtualObject(script_path, &script));
        }
    }

    // GNOME Shell's extension service answering GetExtensionInfo with `info`.
    void play_gnome_shell(const QVariantMap& info) {
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.gnome.Shell")));
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.gnome.Shell.Extensions")));
        extensions.answer = [info](const QDBusMessage& call, const QDBusConnection& b) {
            b.send(call.createReply(QVariant::fromValue(info)));
        };
        ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/org/gnome/Shell/Extensions"), &extensions));
    }

    struct Thread {
        ~Thread() {
            thread.quit();
            thread.wait();
        }
        QThread thread;
    };
    test::StandInObject scripting, script, extensions;  // outlive the bus and the thread they are on
    Thread thread;
    test::PrivateBus bus;
    QDBusConnection program{QString()};
    QDBusConnection desktop{QString()};
};

class DesktopFocusTest : public ::testing::Test {
protected:
    // A desktop of its own for each case; null (and the test skipped) where
    // no dbus-daemon runs.
    std::unique_ptr<Desktop> desktop() {
        auto d = std::make_unique<Desktop>();
        if (!d->start()) return nullptr;
        return d;
    }
    FocusDetector::Listener keep() {
        seen_.clear();
        return [this](const FocusReport& f) { seen_.push_back(f); };
    }
    static QString first_argument(const QList<QDBusMessage>& calls, qsizetype i = 0) {
        return calls.size() > i ? calls[i].arguments().value(0).toString() : QString();
    }

    QTemporaryDir runtime_;
    std::vector<FocusReport> seen_;
};

TEST_F(DesktopFocusTest, KWinRunsOurScriptWhileStartedAndUnloadsItAtStop) {
    const struct {
        const char* kwin;
        const char* script_path;
    } cases[] = {{"KWin 6", "/Scripting/Script7"}, {"KWin 5", "/7"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kwin);
        auto d = desktop();
        if (!d) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        d->play_kwin(7, QString::fromLatin1(c.script_path));
        KWinFocus kwin(d->program, runtime_.path());
        ASSERT_TRUE(kwin.start(keep())) << kwin.why();

        const QList<QDBusMessage> loads = d->scripting.calls(QStringLiteral("loadScript"));
        ASSERT_EQ(loads.size(), 1);
        const QString file = first_argument(loads);
        EXPECT_EQ(loads[0].arguments().value(1).toString(), QLatin1String(KWinFocus::kPluginName));
        QFile written(file), shipped(kSource + QStringLiteral("/res/kwin/focus.js"));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly))
            << "KWin reads the script when it runs it: the file must stay";
        EXPECT_EQ(written.readAll(), shipped.readAll());
        EXPECT_EQ(d->script.calls(QStringLiteral("run")).size(), 1);

        kwin.report({"steam_app_570", "Dota 2", 777});
        EXPECT_EQ(seen_, (std::vector<FocusReport>{{"steam_app_570", "Dota 2", 777}}));

        const qsizetype unloads_before = d->scripting.calls(QStringLiteral("unloadScript")).size();
        kwin.stop();
        const QList<QDBusMessage> unloads = d->scripting.calls(QStringLiteral("unloadScript"));
        ASSERT_EQ(unloads.size(), unloads_before + 1);
        EXPECT_EQ(first_argument(unloads, unloads_before), QLatin1String(KWinFocus::kPluginName));
        EXPECT_FALSE(QFile::exists(file));
        kwin.report({"late", "after stop", 1});
        EXPECT_EQ(seen_.size(), 1u);
        kwin.stop();
        EXPECT_EQ(d->scripting.calls(QStringLiteral("unloadScript")).size(), unloads.size()) << "stop() twice";
    }
}

TEST_F(DesktopFocusTest, KWinMissingOrRefusingTheScriptIsNotTakenForFollowing) {
    const struct {
        const char* what;
        bool kwin;
        int id;
        const char* script_path;
        const char* why;
    } cases[] = {
        {"no KWin on the bus", false, 0, "", "KWin is not on the session bus"},
        {"loadScript refuses", true, -1, "", "KWin did not load the script"},
        {"the script never runs", true, 3, "", "did not run it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = desktop();
        if (!d) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        if (c.kwin) d->play_kwin(c.id, QString::fromLatin1(c.script_path));
        KWinFocus kwin(d->program, runtime_.path());
        EXPECT_FALSE(kwin.start(keep()));
        EXPECT_NE(kwin.why().find(c.why), std::string::npos) << kwin.why();
        kwin.report({"app", "title", 1});
        EXPECT_TRUE(seen_.empty()) << "a detector that did not start delivers nothing";
        EXPECT_TRUE(QDir(runtime_.path()).isEmpty()) << "the script file is left behind";
        if (c.kwin) {
            const QList<QDBusMessage> unloads = d->scripting.calls(QStringLiteral("unloadScript"));
            ASSERT_FALSE(unloads.isEmpty());
            EXPECT_EQ(d->scripting.calls().last().member(), QLatin1String("unloadScript"))
                << "a script KWin loaded stays loaded";
        }
    }
}

TEST_F(DesktopFocusTest, GnomeFollowsOnlyWithTheExtensionEnabledElseSaysTheCommandThatEnablesIt) {
    const std::string command = std::string("gnome-extensions enable ") + GnomeFocus::kExtensionUuid;
    const struct {
        const char* what;
        bool shell;
        std::optional<double> state;
        bool follows;
    } cases[] = {
        {"enabled", true, 1.0, true},         {"disabled", true, 2.0, false}, {"in error", true, 3.0, false},
        {"not installed", true, std::nullopt, false}, {"no GNOME Shell", false, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = desktop();
        if (!d) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        QVariantMap info;
        if (c.state) info = {{QStringLiteral("uuid"), QString::fromLatin1(GnomeFocus::kExtensionUuid)},
                             {QStringLiteral("state"), *c.state}};
        if (c.shell) d->play_gnome_shell(info);
        GnomeFocus gnome(d->program);
        EXPECT_EQ(gnome.start(keep()), c.follows);
        if (c.shell) {
            ASSERT_EQ(d->extensions.calls(QStringLiteral("GetExtensionInfo")).size(), 1);
            EXPECT_EQ(first_argument(d->extensions.calls()), QLatin1String(GnomeFocus::kExtensionUuid));
        }
        gnome.report({"org.gnome.Nautilus", "Home", 12});
        if (c.follows) {
            EXPECT_EQ(seen_.size(), 1u);
            gnome.stop();
            gnome.report({"after", "stop", 1});
            EXPECT_EQ(seen_.size(), 1u);
        } else {
            EXPECT_TRUE(seen_.empty());
            EXPECT_NE(gnome.why().find(command), std::string::npos) << gnome.why();
        }
    }
}

TEST_F(DesktopFocusTest, TheDesktopsOwnDetectorIsPickedOnlyInItsWaylandSession) {
    enum Pick { kKWin, kGnome, kOther };
    const struct {
        const char* what;
        FocusSession session;
        const char* service;
        Pick pick;
    } cases[] = {
        {"Plasma on Wayland", {"wayland", "no-such-display", "", "KDE"}, "org.kde.KWin", kKWin},
        {"GNOME on Wayland", {"wayland", "no-such-display", "", "ubuntu:GNOME"}, "org.gnome.Shell", kGnome},
        {"GNOME Shell, desktop unnamed", {"wayland", "no-such-display", "", ""}, "org.gnome.Shell", kGnome},
        {"Plasma on X11", {"x11", "", "", "KDE"}, "org.kde.KWin", kOther},
        {"sway", {"wayland", "no-such-display", "", "sway"}, "", kOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = desktop();
        if (!d) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        if (*c.service) {
            ASSERT_TRUE(d->desktop.registerService(QString::fromLatin1(c.service)));
        }
        NoExecutor executor;
        const DesktopFocus picked = make_desktop_focus_detector(executor, d->program, c.session);
        ASSERT_TRUE(picked.detector);
        const Pick got = dynamic_cast<KWinFocus*>(picked.detector.get())    ? kKWin
                         : dynamic_cast<GnomeFocus*>(picked.detector.get()) ? kGnome
                                                                            : kOther;
        EXPECT_EQ(got, c.pick) << picked.detector->description();
        EXPECT_EQ(picked.reported, dynamic_cast<ReportedFocus*>(picked.detector.get()))
            << "ReportFocus calls would go to a detector that is not in use";
    }
}

// The KWin script and both formats of the extension, run under node against
// a fake KWin or Shell (tests/app/desktop_focus_scripts.mjs plays the same
// focus changes for each and prints each report they send).
TEST(DesktopFocusScriptTest, EachFocusedWindowIsReportedWithItsIdTitleAndPidAndNoWindowNothing) {
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()) GTEST_SKIP() << "node is not installed: the KWin script and GNOME extension are not run";
    const QStringList kwin = {QStringLiteral("org.kde.konsole|~ : bash|4242"),
                              QStringLiteral("steam_app_570|Dota 2|777"), QString::fromUtf8("Ünïcode|Ça va|0")};
    // Reports start when the program appears on the bus (with the window
    // focused then), pause while it is gone and end with disable().
    const QStringList gnome = {QStringLiteral("firefox|before the program|11"),
                               QStringLiteral("steam_app_570|Dota 2|777"), QStringLiteral("org.gnome.Nautilus|Home|0"),
                               QStringLiteral("com.valvesoftware.Steam||12"),
                               QStringLiteral("gone|program gone|13")};
    const struct {
        const char* kind;
        QString file;
        QStringList reports;
    } cases[] = {
        {"kwin5", kSource + QStringLiteral("/res/kwin/focus.js"), kwin},
        {"kwin6", kSource + QStringLiteral("/res/kwin/focus.js"), kwin},
        {"gnome", kModernExtension + QStringLiteral("/extension.js"), gnome},
        {"gnome-legacy", kLegacyExtension + QStringLiteral("/extension.js"), gnome},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString harness = kSource + QStringLiteral("/tests/app/desktop_focus_scripts.mjs");
        run.start(node, {QStringLiteral("--no-warnings"), harness, QString::fromLatin1(c.kind), c.file});
        ASSERT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(run.exitCode(), 0);
        QStringList lines = QString::fromUtf8(run.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.takeLast(), QLatin1String("END")) << "the script stopped half way";
        QStringList reports;
        for (const QString& line : lines) {
            EXPECT_TRUE(line.startsWith(QLatin1String("REPORT "))) << line.toStdString();
            reports << line.mid(7);
        }
        EXPECT_EQ(reports, c.reports);
    }
}

TEST(DesktopFocusScriptTest, EachExtensionFormatClaimsOnlyTheShellsThatCanLoadIt) {
    const struct {
        QString folder;
        QStringList versions;
    } cases[] = {
        {kModernExtension, {"45", "46", "47", "48", "49"}},
        {kLegacyExtension, {"42", "43", "44"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        QFile file(c.folder + QStringLiteral("/metadata.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject metadata = QJsonDocument::fromJson(file.readAll()).object();
        EXPECT_EQ(metadata.value(QStringLiteral("uuid")).toString(), QLatin1String(GnomeFocus::kExtensionUuid));
        QStringList versions;
        for (const QJsonValue& v : metadata.value(QStringLiteral("shell-version")).toArray()) versions << v.toString();
        EXPECT_EQ(versions, c.versions);
    }
}

}  // namespace
}  // namespace vantorel
