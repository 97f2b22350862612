// SPDX-License-Identifier: GPL-2.0-or-later
// What the main window needs of the mouse page it hosts on the second item
// of "device_tab_switch": a notification pump registered as the virtual
// window "MS_1_Page", an initialisation, and the handlers for the
// button-function menu and for the timers the page sets on the main window.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "ui/window_host.h"
#include "ui/hook_table.h"
#include "ui/notify.h"

namespace vantorel {

namespace ui {
class SkinWindow;
}

class MousePage : public ui::NotifyPump {
public:
    // What the main window hands the page before Init.
    struct Host {
        ui::SkinWindow* window = nullptr;  // controls, menus, timers
        WindowHost* host = nullptr;        // messages and timers from any thread
        const HookTable* hooks = nullptr;  // the input hook library
    };

    static constexpr const char* kVirtualWnd = "MS_1_Page";

    virtual void Attach(const Host& host) { host_ = host; }
    virtual void Init() {}
    // Reads the profile and macro libraries from their files; may come
    // before Init, while the page's controls are not there yet.
    virtual void ReadLibraries() {}
    // Loads the libraries into the page (reading them first unless
    // ReadLibraries has).
    virtual void LoadLibraries() {}
    // Starts watching for the mouse and opens the links that are there.
    virtual void OpenLinks() {}
    // A menu command whose name starts with "ms_1".
    virtual void OnMenuCommand(const QString& name) { (void)name; }
    // Timers the page sets on the main window that the window does not
    // handle itself.
    virtual void OnHostTimer(int id) { (void)id; }
    // The profile names and the selected one (the tray menu lists them).
    virtual QStringList ProfileNames() const { return {}; }
    virtual int SelectedProfile() const { return -1; }
    // Selects a profile as a click in the profile list would (full apply).
    virtual void SelectProfile(int index) { (void)index; }

protected:
    Host host_;
};

}  // namespace vantorel
