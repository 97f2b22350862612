// SPDX-License-Identifier: GPL-2.0-or-later
// Loaded into KWin by QV Vantorel while the program runs (and unloaded when
// it ends): reports each window that gets the focus, with its class, caption
// and process, to the program's ReportFocus method. KWin 6 names the signal
// windowActivated, KWin 5 clientActivated; focusing the desktop itself (no
// window) reports nothing.
(function () {
    "use strict";

    // KWin 5 hands resourceClass over as bytes (an ArrayBuffer), KWin 6 as
    // a string.
    function text(value) {
        if (value === undefined || value === null) return "";
        if (typeof value === "string") return value;
        if (Object.prototype.toString.call(value) === "[object ArrayBuffer]") {
            const bytes = new Uint8Array(value);
            let latin1 = "";
            for (let i = 0; i < bytes.length; ++i) latin1 += String.fromCharCode(bytes[i]);
            try {
                return decodeURIComponent(escape(latin1));
            } catch (e) {
                return latin1;
            }
        }
        return String(value);
    }

    function report(window) {
        if (!window) return;
        const pid = Number(window.pid);
        callDBus("io.github.qvvantorel.QVVantorel", "/io/github/qvvantorel/QVVantorel",
                 "io.github.qvvantorel.Mouse1", "ReportFocus",
                 text(window.resourceClass), text(window.caption), pid > 0 ? Math.floor(pid) : 0);
    }

    if (workspace.windowActivated) {
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else {
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
})();
