// SPDX-License-Identifier: GPL-2.0-or-later
// The running program's interface on the session bus: what the mouse is doing
// as read-only properties (for status bars and scripts), and the calls that
// choose a profile, report the focused application (desktop scripts and
// extensions) and show the window.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace vantorel::app {

// What the interface reads and does; the program fills it. A part left empty
// reads as unknown ("none", -1, 0, false, empty) and a call to it does nothing.
struct MouseBusModel {
    std::function<QString()> link;  // "cable", "receiver", "bluetooth", "none"
    std::function<int()> battery;   // percent, -1 unknown
    std::function<bool()> charging;
    std::function<QStringList()> profiles;
    std::function<QString()> active_profile;
    std::function<int()> dpi_stage;  // 1-based, 0 unknown
    std::function<uint()> dpi;
    std::function<bool()> auto_switch;
    std::function<QString()> focused_application;
    enum class Select { Ok, NoSuchProfile, Busy };
    std::function<Select(const QString&)> select_profile;
    std::function<void(const QString& app_id, const QString& title, uint pid)> report_focus;
    std::function<void()> activate;
};

inline constexpr const char* kMouseBusService = "io.github.qvvantorel.QVVantorel";
inline constexpr const char* kMouseBusPath = "/io/github/qvvantorel/QVVantorel";
inline constexpr const char* kMouseBusInterface = "io.github.qvvantorel.Mouse1";
inline constexpr const char* kMouseBusErrorNoSuchProfile = "io.github.qvvantorel.Error.NoSuchProfile";
inline constexpr const char* kMouseBusErrorBusy = "io.github.qvvantorel.Error.Busy";

class MouseBusApi : public QObject {
    Q_OBJECT
public:
    explicit MouseBusApi(MouseBusModel model, QObject* parent = nullptr);
    ~MouseBusApi() override;

    // Puts the object on `bus` and asks for the service name. False, with
    // failure() saying why, when the object or the name cannot be had (another
    // copy of the program owns it); the program goes on without the interface.
    bool publish(QDBusConnection bus);
    bool published() const { return published_; }
    QString failure() const { return failure_; }

    // Reads the model again and announces, in one PropertiesChanged signal,
    // the properties whose value differs from what was last announced;
    // nothing when none does. Call it whenever something may have changed.
    void refresh();

    // The properties as the bus sees them, by name.
    QVariantMap snapshot() const;

    const MouseBusModel& model() const { return model_; }

private:
    MouseBusModel model_;
    QDBusConnection bus_{QString()};
    bool published_ = false;
    QString failure_;
    QVariantMap announced_;
};

}  // namespace vantorel::app
