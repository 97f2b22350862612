// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/mouse_bus_api.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaProperty>

namespace vantorel::app {
namespace {

const QString kService = QString::fromLatin1(kMouseBusService);
const QString kPath = QString::fromLatin1(kMouseBusPath);
const QString kInterface = QString::fromLatin1(kMouseBusInterface);

template <class T>
T read(const std::function<T()>& part, T unknown) {
    return part ? part() : unknown;
}

}  // namespace

// The interface as Qt exports it: the properties and slots below are what
// the object introspects, so their names and parameter names are the
// interface's.
class MouseBusAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.qvvantorel.Mouse1")
    Q_PROPERTY(QString Link READ link)
    Q_PROPERTY(int Battery READ battery)
    Q_PROPERTY(bool Charging READ charging)
    Q_PROPERTY(QStringList Profiles READ profiles)
    Q_PROPERTY(QString ActiveProfile READ active_profile)
    Q_PROPERTY(int DpiStage READ dpi_stage)
    Q_PROPERTY(uint Dpi READ dpi)
    Q_PROPERTY(bool AutoSwitch READ auto_switch)
    Q_PROPERTY(QString FocusedApplication READ focused_application)

public:
    MouseBusAdaptor(MouseBusApi* api, QDBusConnection* bus) : QDBusAbstractAdaptor(api), api_(api), bus_(bus) {}

    QString link() const { return read<QString>(m().link, QStringLiteral("none")); }
    int battery() const { return read<int>(m().battery, -1); }
    bool charging() const { return read<bool>(m().charging, false); }
    QStringList profiles() const { return read<QStringList>(m().profiles, {}); }
    QString active_profile() const { return read<QString>(m().active_profile, {}); }
    int dpi_stage() const { return read<int>(m().dpi_stage, 0); }
    uint dpi() const { return read<uint>(m().dpi, 0); }
    bool auto_switch() const { return read<bool>(m().auto_switch, false); }
    QString focused_application() const { return read<QString>(m().focused_application, {}); }

public Q_SLOTS:
    void SelectProfile(const QString& name, const QDBusMessage& call) {
        const MouseBusModel::Select result =
            m().select_profile ? m().select_profile(name) : MouseBusModel::Select::Busy;
        if (result == MouseBusModel::Select::Ok) {
            api_->refresh();
            return;
        }
        call.setDelayedReply(true);
        if (result == MouseBusModel::Select::NoSuchProfile) {
            bus_->send(call.createErrorReply(QString::fromLatin1(kMouseBusErrorNoSuchProfile),
                                             QStringLiteral("No profile is named \"%1\"").arg(name)));
        } else {
            bus_->send(call.createErrorReply(QString::fromLatin1(kMouseBusErrorBusy),
                                             QStringLiteral("A dialog is open; close it and try again")));
        }
    }
    void ReportFocus(const QString& app_id, const QString& title, uint pid) {
        if (m().report_focus) m().report_focus(app_id, title, pid);
        api_->refresh();
    }
    // KWin's scripts can only send a whole number as a signed one.
    void ReportFocus(const QString& app_id, const QString& title, int pid) {
        ReportFocus(app_id, title, pid > 0 ? static_cast<uint>(pid) : 0u);
    }
    void Activate() {
        if (m().activate) m().activate();
    }

private:
    const MouseBusModel& m() const { return api_->model(); }

    MouseBusApi* api_;
    QDBusConnection* bus_;
};

MouseBusApi::MouseBusApi(MouseBusModel model, QObject* parent) : QObject(parent), model_(std::move(model)) {
    new MouseBusAdaptor(this, &bus_);
}

MouseBusApi::~MouseBusApi() {
    if (published_) {
        bus_.unregisterService(kService);
        bus_.unregisterObject(kPath);
    }
}

bool MouseBusApi::publish(QDBusConnection bus) {
    if (published_) return true;
    if (!bus.isConnected()) {
        failure_ = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return false;
    }
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportAdaptors)) {
        failure_ = QStringLiteral("the object %1 is taken on the session bus").arg(kPath);
        return false;
    }
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        failure_ = QStringLiteral("%1 is owned by another program (another copy running?)").arg(kService);
        return false;
    }
    bus_ = bus;
    published_ = true;
    failure_.clear();
    announced_ = snapshot();
    return true;
}

QVariantMap MouseBusApi::snapshot() const {
    QVariantMap values;
    const QMetaObject* meta = &MouseBusAdaptor::staticMetaObject;
    const QObject* adaptor = findChild<MouseBusAdaptor*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        values.insert(QString::fromLatin1(property.name()), property.read(adaptor));
    }
    return values;
}

void MouseBusApi::refresh() {
    const QVariantMap now = snapshot();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    announced_ = now;
    if (changed.isEmpty() || !published_) return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kInterface << changed << QStringList();
    bus_.send(signal);
}

}  // namespace vantorel::app

#include "mouse_bus_api.moc"
