// SPDX-License-Identifier: GPL-2.0-or-later
// Reports the focused window (application id, title, process) to QV
// Vantorel's ReportFocus method while the program runs, so that the profile
// bound to that application can follow it. GNOME Shell 45 and later.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const SERVICE = 'io.github.qvvantorel.QVVantorel';
const PATH = '/io/github/qvvantorel/QVVantorel';
const INTERFACE = 'io.github.qvvantorel.Mouse1';

// The X11 class or the Wayland app_id, else what GTK or the sandbox says.
function applicationId(window) {
    return window.get_wm_class?.() || window.get_gtk_application_id?.() || window.get_sandboxed_app_id?.() || '';
}

export default class VantorelFocusExtension extends Extension {
    enable() {
        this._running = false;
        this._focusId = global.display.connect('notify::focus-window', () => this._report());
        // Reports only while the program is there (and once when it comes,
        // for the window focused then); never starts it.
        this._watchId = Gio.bus_watch_name(Gio.BusType.SESSION, SERVICE, Gio.BusNameWatcherFlags.NONE,
            () => {
                this._running = true;
                this._report();
            },
            () => {
                this._running = false;
            });
    }

    disable() {
        if (this._focusId) global.display.disconnect(this._focusId);
        if (this._watchId) Gio.bus_unwatch_name(this._watchId);
        this._focusId = 0;
        this._watchId = 0;
        this._running = false;
    }

    _report() {
        const window = global.display.focus_window;
        if (!window || !this._running) return;
        const pid = window.get_pid();
        Gio.DBus.session.call(SERVICE, PATH, INTERFACE, 'ReportFocus',
            new GLib.Variant('(ssu)', [applicationId(window), window.get_title() ?? '', pid > 0 ? pid : 0]),
            null, Gio.DBusCallFlags.NO_AUTO_START, -1, null,
            (bus, result) => {
                try {
                    bus.call_finish(result);
                } catch (e) {
                    // The program went away between the focus change and the call.
                }
            });
    }
}
