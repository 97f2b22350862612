// SPDX-License-Identifier: GPL-2.0-or-later
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QFile>
#include <QXmlStreamReader>

#include <memory>
#include <string>

#include "app/app_options.h"
#include "app/mouse_bus_api.h"
#include "ui/private_bus.h"

namespace vantorel::app {
namespace {

const QString kService = QString::fromLatin1(kMouseBusService);
const QString kPath = QString::fromLatin1(kMouseBusPath);
const QString kInterface = QString::fromLatin1(kMouseBusInterface);
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Keeps the signals the client gets.
class SignalLog : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> messages;
public Q_SLOTS:
    void take(const QDBusMessage& message) { messages << message; }
};

// A value as a failure message can show it, with its type ("u 800").
std::string Text(const QVariant& value) {
    const QString shown = value.metaType() == QMetaType::fromType<QStringList>() ? value.toStringList().join(u',')
                                                                                 : value.toString();
    return std::string(value.typeName() ? value.typeName() : "invalid") + ' ' + shown.toStdString();
}

std::string Text(const QVariantMap& values) {
    std::string out;
    for (auto it = values.cbegin(); it != values.cend(); ++it) out += it.key().toStdString() + '=' + Text(*it) + '\n';
    return out;
}

// The interface, flattened to one line per property and per method (its
// arguments in order), from introspection XML.
QStringList InterfaceLines(const QString& xml) {
    QStringList lines;
    QXmlStreamReader reader(xml);
    bool inside = false;
    QString method;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto attr = [&](const char* name) { return reader.attributes().value(QLatin1String(name)).toString(); };
        if (reader.isStartElement() && reader.name() == QLatin1String("interface")) {
            inside = attr("name") == kInterface;
        } else if (reader.isEndElement() && reader.name() == QLatin1String("interface")) {
            inside = false;
        } else if (inside && reader.isStartElement()) {
            if (reader.name() == QLatin1String("property")) {
                lines << QStringLiteral("property %1 %2 %3").arg(attr("name"), attr("type"), attr("access"));
            } else if (reader.name() == QLatin1String("method") || reader.name() == QLatin1String("signal")) {
                method = reader.name().toString() + u' ' + attr("name");
            } else if (reader.name() == QLatin1String("arg")) {
                const QString direction = attr("direction").isEmpty() ? QStringLiteral("in") : attr("direction");
                method += QStringLiteral(" (%1 %2 %3)").arg(attr("name"), attr("type"), direction);
            }
        } else if (inside && reader.isEndElement() &&
                   (reader.name() == QLatin1String("method") || reader.name() == QLatin1String("signal"))) {
            lines << method;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    lines.sort();
    return lines;
}

class MouseBusApiTest : public ::testing::Test {
protected:
    // What the program would show; each test changes it as the mouse would.
    struct Mouse {
        QString link = QStringLiteral("receiver");
        int battery = 80;
        bool charging = false;
        QStringList profiles = {QStringLiteral("Office"), QStringLiteral("Shooter")};
        QString active = QStringLiteral("Office");
        int stage = 2;
        uint dpi = 1600;
        bool auto_switch = true;
        QString focused = QStringLiteral("org.kde.dolphin");
        MouseBusModel::Select answer = MouseBusModel::Select::Ok;
        QStringList asked;  // SelectProfile's names
        QStringList focus_reports;
        int activated = 0;
    };

    void SetUp() override {
        if (!bus_.start()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        program_ = bus_.connect(QStringLiteral("program"));
        client_ = bus_.connect(QStringLiteral("client"));
        api_ = std::make_unique<MouseBusApi>(Model());
        ASSERT_TRUE(api_->publish(program_)) << api_->failure().toStdString();
    }

    MouseBusModel Model() {
        MouseBusModel m;
        m.link = [this] { return mouse_.link; };
        m.battery = [this] { return mouse_.battery; };
        m.charging = [this] { return mouse_.charging; };
        m.profiles = [this] { return mouse_.profiles; };
        m.active_profile = [this] { return mouse_.active; };
        m.dpi_stage = [this] { return mouse_.stage; };
        m.dpi = [this] { return mouse_.dpi; };
        m.auto_switch = [this] { return mouse_.auto_switch; };
        m.focused_application = [this] { return mouse_.focused; };
        m.select_profile = [this](const QString& name) {
            mouse_.asked << name;
            return mouse_.answer;
        };
        m.report_focus = [this](const QString& app_id, const QString& title, uint pid) {
            mouse_.focus_reports << QStringLiteral("%1|%2|%3").arg(app_id, title).arg(pid);
        };
        m.activate = [this] { ++mouse_.activated; };
        return m;
    }

    // A call from the client, answered while the event loop runs (the
    // program's object lives on this thread).
    QDBusMessage Call(const QString& interface, const QString& member, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, member);
        call.setArguments(args);
        QDBusPendingCall pending = client_.asyncCall(call, 5000);
        EXPECT_TRUE(test::pump_until([&] { return pending.isFinished(); }));
        return pending.reply();
    }

    QVariantMap GetAll() {
        const QDBusMessage reply = Call(kProperties, QStringLiteral("GetAll"), {kInterface});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(reply.arguments().front());
    }

    test::PrivateBus bus_;  // outlives the connections and the object on it
    QDBusConnection program_{QString()};
    QDBusConnection client_{QString()};
    Mouse mouse_;
    std::unique_ptr<MouseBusApi> api_;
};

// Each property with the model's value and the D-Bus type a status bar
// expects (a DPI sent as "i" or a profile list as a string breaks readers);
// a program that has not filled a part yet answers "unknown", not a crash.
TEST_F(MouseBusApiTest, PropertiesReadTheModelWithTheirDeclaredTypes) {
    const struct {
        const char* name;
        QVariant known;
        QVariant unknown;
    } cases[] = {
        {"Link", QStringLiteral("receiver"), QStringLiteral("none")},
        {"Battery", 80, -1},
        {"Charging", false, false},
        {"Profiles", QStringList{QStringLiteral("Office"), QStringLiteral("Shooter")}, QStringList()},
        {"ActiveProfile", QStringLiteral("Office"), QString()},
        {"DpiStage", 2, 0},
        {"Dpi", 1600u, 0u},
        {"AutoSwitch", true, false},
        {"FocusedApplication", QStringLiteral("org.kde.dolphin"), QString()},
    };
    for (const bool filled : {true, false}) {
        SCOPED_TRACE(filled ? "model filled" : "model empty");
        if (!filled) {
            api_.reset();
            api_ = std::make_unique<MouseBusApi>(MouseBusModel{});
            ASSERT_TRUE(api_->publish(program_)) << api_->failure().toStdString();
        }
        const QVariantMap all = GetAll();
        EXPECT_EQ(all.size(), std::size(cases));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const QVariant& want = filled ? c.known : c.unknown;
            const QDBusMessage one = Call(kProperties, QStringLiteral("Get"), {kInterface, QString::fromLatin1(c.name)});
            ASSERT_EQ(one.type(), QDBusMessage::ReplyMessage) << one.errorMessage().toStdString();
            const QVariant got = qdbus_cast<QDBusVariant>(one.arguments().front()).variant();
            EXPECT_EQ(Text(got), Text(want));
            EXPECT_EQ(Text(all.value(QString::fromLatin1(c.name))), Text(want));
        }
    }
    const QDBusMessage set = Call(kProperties, QStringLiteral("Set"),
                                  {kInterface, QStringLiteral("Battery"), QVariant::fromValue(QDBusVariant(5))});
    EXPECT_EQ(set.type(), QDBusMessage::ErrorMessage) << "a read-only property took a value";
}

// A status bar redraws on PropertiesChanged: one signal per refresh with
// exactly what changed, none when nothing did (a signal per poll would wake
// every listener for nothing).
TEST_F(MouseBusApiTest, PropertiesChangedCarriesOnlyWhatChanged) {
    SignalLog log;
    ASSERT_TRUE(client_.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), &log,
                                SLOT(take(QDBusMessage))));
    GetAll();  // the match rule is in place before the first refresh
    const struct {
        const char* what;
        std::function<void(Mouse&)> change;
        QVariantMap changed;
    } cases[] = {
        {"nothing", [](Mouse&) {}, {}},
        {"the battery", [](Mouse& m) { m.battery = 79; }, {{"Battery", 79}}},
        {"the same battery again", [](Mouse& m) { m.battery = 79; }, {}},
        {"the cable plugged in",
         [](Mouse& m) {
             m.link = QStringLiteral("cable");
             m.charging = true;
         },
         {{"Link", QStringLiteral("cable")}, {"Charging", true}}},
        {"a profile switch with its DPI",
         [](Mouse& m) {
             m.active = QStringLiteral("Shooter");
             m.stage = 1;
             m.dpi = 800;
         },
         {{"ActiveProfile", QStringLiteral("Shooter")}, {"DpiStage", 1}, {"Dpi", 800u}}},
        {"a stage with the same DPI", [](Mouse& m) { m.stage = 3; }, {{"DpiStage", 3}}},
        {"a profile renamed",
         [](Mouse& m) { m.profiles[0] = QStringLiteral("Work"); },
         {{"Profiles", QStringList{QStringLiteral("Work"), QStringLiteral("Shooter")}}}},
        {"focus and switching",
         [](Mouse& m) {
             m.focused = QStringLiteral("steam_app_570");
             m.auto_switch = false;
         },
         {{"FocusedApplication", QStringLiteral("steam_app_570")}, {"AutoSwitch", false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log.messages.clear();
        c.change(mouse_);
        api_->refresh();
        GetAll();  // the program's signal comes before its reply
        test::pump_until([] { return false; }, 5);
        if (c.changed.isEmpty()) {
            EXPECT_TRUE(log.messages.isEmpty());
            continue;
        }
        ASSERT_EQ(log.messages.size(), 1);
        const QVariantList args = log.messages.front().arguments();
        ASSERT_EQ(args.size(), 3);
        EXPECT_EQ(args.at(0).toString().toStdString(), kMouseBusInterface);
        EXPECT_EQ(Text(qdbus_cast<QVariantMap>(args.at(1))), Text(c.changed));
        EXPECT_TRUE(qdbus_cast<QStringList>(args.at(2)).isEmpty());
    }
}

// A script tells "no such profile" from "try later" by the error's name.
TEST_F(MouseBusApiTest, SelectProfileFailsWithTheErrorNamedForTheCause) {
    const struct {
        MouseBusModel::Select answer;
        const char* error;  // none on success
    } cases[] = {
        {MouseBusModel::Select::Ok, nullptr},
        {MouseBusModel::Select::NoSuchProfile, kMouseBusErrorNoSuchProfile},
        {MouseBusModel::Select::Busy, kMouseBusErrorBusy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error ? c.error : "ok");
        mouse_.answer = c.answer;
        mouse_.asked.clear();
        const QDBusMessage reply = Call(kInterface, QStringLiteral("SelectProfile"), {QStringLiteral("Shooter")});
        EXPECT_EQ(mouse_.asked.join(u',').toStdString(), "Shooter");
        if (c.error) {
            EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
            EXPECT_EQ(reply.errorName().toStdString(), c.error);
            EXPECT_FALSE(reply.errorMessage().isEmpty());
        } else {
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorName().toStdString();
        }
    }
}

// The desktop scripts' focus reports and "show the window" reach the program
// with every argument.
TEST_F(MouseBusApiTest, FocusReportsAndActivationReachTheProgram) {
    const QDBusMessage focus = Call(kInterface, QStringLiteral("ReportFocus"),
                                    {QStringLiteral("steam_app_570"), QStringLiteral("Dota 2"), 4242u});
    EXPECT_EQ(focus.type(), QDBusMessage::ReplyMessage) << focus.errorMessage().toStdString();
    EXPECT_EQ(mouse_.focus_reports.join(u',').toStdString(), "steam_app_570|Dota 2|4242");
    EXPECT_EQ(Call(kInterface, QStringLiteral("Activate")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(mouse_.activated, 1);
}

// The interface description shipped for clients is the one the object
// answers with.
TEST_F(MouseBusApiTest, TheObjectIntrospectsAsTheShippedXml) {
    QFile file(test::source_res() + QStringLiteral("/dbus/io.github.qvvantorel.Mouse1.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList shipped = InterfaceLines(QString::fromUtf8(file.readAll()));
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const QStringList live = InterfaceLines(reply.arguments().front().toString());
    EXPECT_FALSE(shipped.isEmpty());
    EXPECT_EQ(live.join(u'\n').toStdString(), shipped.join(u'\n').toStdString());
}

// A second copy of the program cannot have the name: it says so and the
// first copy keeps answering.
TEST_F(MouseBusApiTest, ANameOwnedByAnotherCopyIsReportedNotFatal) {
    MouseBusApi second(MouseBusModel{});
    EXPECT_FALSE(second.publish(bus_.connect(QStringLiteral("second copy"))));
    EXPECT_FALSE(second.published());
    EXPECT_FALSE(second.failure().isEmpty());
    second.refresh();
    EXPECT_EQ(GetAll().value(QStringLiteral("Battery")).toInt(), 80);
}

// The bus starts the program for a call: the service file names the service
// the program owns and starts it with options it accepts, hidden in the tray.
TEST(MouseBusServiceFileTest, StartsTheProgramHiddenUnderTheNameItOwns) {
    QFile file(QStringLiteral(VANTOREL_DBUS_SERVICE_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString name, exec;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("Name="))) name = line.mid(5);
        if (line.startsWith(QLatin1String("Exec="))) exec = line.mid(5);
    }
    EXPECT_EQ(name.toStdString(), kMouseBusService);
    const QStringList command = exec.split(u' ', Qt::SkipEmptyParts);
    ASSERT_FALSE(command.isEmpty());
    EXPECT_TRUE(command.front().startsWith(u'/')) << "the bus needs an absolute path";
    EXPECT_TRUE(command.front().endsWith(QLatin1String("/qv-vantorel")));
    QString error;
    const std::optional<AppOptions> options = ParseAppOptions(command, &error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->hidden);
}

}  // namespace
}  // namespace vantorel::app

#include "mouse_bus_api_test.moc"
