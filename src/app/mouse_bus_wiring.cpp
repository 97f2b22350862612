// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/mouse_bus_wiring.h"

#include <QDBusConnection>

#include "app/auto_profiles.h"
#include "app/main_wnd.h"
#include "app/mouse_bus_api.h"
#include "ui/window_messages.h"
#include "core/text.h"
#include "core/trace.h"
#include "device/device_events.h"

namespace vantorel {
namespace {

QString link_word(ConnectionMode mode) {
    switch (mode) {
        case ConnectionMode::Wired: return QStringLiteral("cable");
        case ConnectionMode::Wireless: return QStringLiteral("receiver");
        case ConnectionMode::Ble: return QStringLiteral("bluetooth");
        case ConnectionMode::None: break;
    }
    return QStringLiteral("none");
}

class Presence final : public MouseBusPresence, public MouseObserver {
public:
    Presence(CMainWnd& window, CMS_1_Page& page, AutoProfiles& profiles, QDBusConnection bus)
        : page_(page), api_(model(window, page, profiles)) {
        page_.session().add_observer(this);
        if (!api_.publish(bus))
            trace("session bus: the mouse interface is not offered: %s\n", qPrintable(api_.failure()));
    }
    ~Presence() override { page_.session().remove_observer(this); }

    void refresh() override { api_.refresh(); }

    // MouseObserver: whatever the page and the tray follow, the bus follows.
    void links_changed() override { refresh(); }
    void battery_changed() override { refresh(); }
    void dpi_stage_chosen(std::int64_t) override { refresh(); }
    void apply_requested() override { refresh(); }

private:
    static app::MouseBusModel model(CMainWnd& window, CMS_1_Page& page, AutoProfiles& profiles) {
        app::MouseBusModel m;
        m.link = [&page] { return link_word(page.links().mode()); };
        m.battery = [&page] { return page.links().any() ? page.links().battery_percent.load() : -1; };
        m.charging = [&page] { return page.links().any() && page.links().battery_charging.load() != 0; };
        m.profiles = [&page] { return page.ProfileNames(); };
        m.active_profile = [&page] { return QString::fromStdU16String(page.current_profile_name()); };
        m.dpi_stage = [&page] {
            return page.has_current_profile() ? page.current_profile().dpi_stage_index() + 1 : 0;
        };
        m.dpi = [&page] {
            if (!page.has_current_profile()) return 0u;
            const ProfileRecord r = page.current_profile();
            return static_cast<uint>(dpi_for_code(r.dpi_value(r.dpi_stage_index())));
        };
        m.auto_switch = [&profiles] { return profiles.switching(); };
        m.focused_application = [&profiles] { return QString::fromStdString(profiles.focused_application()); };
        m.select_profile = [&window, &page](const QString& name) {
            window.EnsurePage();
            const QStringList names = page.ProfileNames();
            int index = -1;
            for (int i = 0; i < names.size() && index < 0; ++i)
                if (equals_ignore_case(names[i].toStdU16String(), name.toStdU16String())) index = i;
            if (index < 0) return app::MouseBusModel::Select::NoSuchProfile;
            if (page.dialog_open() || page.library_held()) return app::MouseBusModel::Select::Busy;
            page.SelectProfile(index);  // as the tray does
            return app::MouseBusModel::Select::Ok;
        };
        m.report_focus = [&profiles](const QString& app_id, const QString& title, uint pid) {
            profiles.report_focus(FocusReport{app_id.toStdString(), title.toStdString(), pid});
        };
        m.activate = [&window] { window.post_message(kMsgWakeInstance); };
        return m;
    }

    CMS_1_Page& page_;
    app::MouseBusApi api_;
};

}  // namespace

std::unique_ptr<MouseBusPresence> PublishMouseBus(CMainWnd& window, CMS_1_Page& page, AutoProfiles& profiles,
                                                  QDBusConnection bus) {
    return std::make_unique<Presence>(window, page, profiles, std::move(bus));
}

}  // namespace vantorel
