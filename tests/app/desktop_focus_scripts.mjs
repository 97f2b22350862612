// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the KWin script or the GNOME Shell extension we ship against a fake
// KWin workspace or a fake Shell, plays a fixed round of focus changes and
// prints one line per report the script sends:
//     REPORT <application id>|<title>|<pid>
// and an ERROR line for each call that breaks the D-Bus contract of
// ReportFocus. Usage: node desktop_focus_scripts.mjs kwin5|kwin6|gnome|gnome-legacy FILE
import {readFileSync} from 'node:fs';
import {register} from 'node:module';
import {pathToFileURL} from 'node:url';
import vm from 'node:vm';

const [kind, file] = process.argv.slice(2);
const CONTRACT = ['io.github.qvvantorel.QVVantorel', '/io/github/qvvantorel/QVVantorel',
    'io.github.qvvantorel.Mouse1', 'ReportFocus'];

function sent(head, app, title, pid) {
    head.forEach((part, i) => {
        if (part !== CONTRACT[i]) console.log(`ERROR called ${head.join(' ')}`);
    });
    if (typeof app !== 'string' || typeof title !== 'string') console.log('ERROR the id and the title are not strings');
    if (!Number.isInteger(pid) || pid < 0 || pid > 0xffffffff) console.log(`ERROR pid ${pid} is no uint32`);
    console.log(`REPORT ${app}|${title}|${pid}`);
}

// A tiny signal as KWin's scripting exposes them.
function signal() {
    const slots = [];
    return {connect: (f) => slots.push(f), emit: (...a) => slots.forEach((f) => f(...a))};
}

function bytes(s) {
    return new TextEncoder().encode(s).buffer;
}

function runKWin(version) {
    // KWin 5 gives the class as bytes and calls windows clients.
    const cls = version === 5 ? bytes : (s) => s;
    const win = (c, caption, pid) => ({resourceClass: cls(c), caption, pid});
    const workspace = {};
    const activated = signal();
    if (version === 6) {
        workspace.windowActivated = activated;
        workspace.activeWindow = win('org.kde.konsole', '~ : bash', 4242);
    } else {
        workspace.clientActivated = activated;
        workspace.activeClient = win('org.kde.konsole', '~ : bash', 4242);
    }
    const context = vm.createContext({
        workspace,
        callDBus: (service, path, iface, method, ...args) => sent([service, path, iface, method], ...args),
    });
    vm.runInContext(readFileSync(file, 'utf8'), context, {filename: file});
    activated.emit(win('steam_app_570', 'Dota 2', 777));
    activated.emit(null);
    activated.emit(win('Ünïcode', 'Ça va', undefined));
}

// The Shell side: global.display, Gio's name watch and session bus, GLib.Variant.
function fakeShell() {
    const handlers = new Map();
    let nextId = 1;
    const display = {
        focus_window: null,
        connect(name, f) {
            if (name !== 'notify::focus-window') console.log(`ERROR connected to ${name}`);
            handlers.set(nextId, f);
            return nextId++;
        },
        disconnect: (id) => handlers.delete(id),
        focus(window) {
            this.focus_window = window;
            handlers.forEach((f) => f(this, null));
        },
    };
    const watches = new Map();
    const Gio = {
        BusType: {SESSION: 2},
        BusNameWatcherFlags: {NONE: 0},
        DBusCallFlags: {NONE: 0, NO_AUTO_START: 1},
        bus_watch_name(type, name, flags, appeared, vanished) {
            if (type !== 2 || name !== CONTRACT[0]) console.log(`ERROR watched ${name}`);
            watches.set(nextId, {appeared, vanished});
            return nextId++;
        },
        bus_unwatch_name: (id) => watches.delete(id),
        DBus: {
            session: {
                call(service, path, iface, method, params, replyType, flags, timeout, cancellable, done) {
                    if (params.signature !== '(ssu)') console.log(`ERROR signature ${params.signature}`);
                    if (!(flags & 1)) console.log('ERROR a report may start the program');
                    sent([service, path, iface, method], ...params.values);
                    done?.({call_finish: () => { throw new Error('no such method'); }}, {});
                },
            },
        },
    };
    class Variant {
        constructor(signature, values) {
            this.signature = signature;
            this.values = values;
        }
    }
    const shell = {global: {display}, Gio, GLib: {Variant}};
    shell.program = (up) => watches.forEach((w) => (up ? w.appeared : w.vanished)({}, CONTRACT[0], up ? ':1.9' : ''));
    shell.leaks = () => handlers.size + watches.size;
    return shell;
}

function win({wm, gtk, sandbox, title, pid}) {
    return {
        get_wm_class: () => wm ?? null,
        get_gtk_application_id: () => gtk ?? null,
        get_sandboxed_app_id: () => sandbox ?? null,
        get_title: () => title ?? null,
        get_pid: () => pid ?? -1,
    };
}

async function loadGnome(shell) {
    if (kind === 'gnome-legacy') {
        const context = vm.createContext({global: shell.global, imports: {gi: {Gio: shell.Gio, GLib: shell.GLib}}});
        vm.runInContext(readFileSync(file, 'utf8'), context, {filename: file});
        return context.init();
    }
    globalThis.__shell = shell;
    globalThis.global = shell.global;
    // The extension imports GNOME's modules by gi:// and resource:// URLs;
    // its own file is an ES module though no package.json says so.
    const fakes = {
        'gi://Gio': 'export default globalThis.__shell.Gio;',
        'gi://GLib': 'export default globalThis.__shell.GLib;',
        'resource:///org/gnome/shell/extensions/extension.js':
            'export class Extension { constructor(metadata) { this.metadata = metadata; } }',
    };
    const own = pathToFileURL(file).href;
    const hooks = `
        const fakes = ${JSON.stringify(fakes)};
        export async function resolve(specifier, context, next) {
            if (/^(gi|resource):/.test(specifier)) return {url: 'fake:' + specifier, shortCircuit: true};
            return next(specifier, context);
        }
        export async function load(url, context, next) {
            if (url.startsWith('fake:')) {
                const source = fakes[url.slice(5)];
                if (source === undefined) throw new Error('the extension imports ' + url.slice(5));
                return {format: 'module', source, shortCircuit: true};
            }
            if (url !== ${JSON.stringify(own)}) return next(url, context);
            return {format: 'module', source: ${JSON.stringify(readFileSync(file, 'utf8'))}, shortCircuit: true};
        }`;
    register('data:text/javascript,' + encodeURIComponent(hooks));
    const module = await import(own);
    return new module.default({uuid: 'qv-vantorel-focus@qvvantorel.github.io'});
}

async function runGnome() {
    const shell = fakeShell();
    const extension = await loadGnome(shell);
    const {display} = shell.global;
    display.focus_window = win({wm: 'Alacritty', title: 'vim', pid: 10});
    extension.enable();
    display.focus(win({wm: 'firefox', title: 'before the program', pid: 11}));  // nobody listens yet
    shell.program(true);
    display.focus(win({wm: 'steam_app_570', title: 'Dota 2', pid: 777}));
    display.focus(null);
    display.focus(win({gtk: 'org.gnome.Nautilus', title: 'Home'}));
    display.focus(win({sandbox: 'com.valvesoftware.Steam', title: null, pid: 12}));
    shell.program(false);
    display.focus(win({wm: 'gone', title: 'program gone', pid: 13}));
    shell.program(true);
    extension.disable();
    display.focus(win({wm: 'disabled', title: 'extension off', pid: 14}));
    if (shell.leaks()) console.log(`ERROR ${shell.leaks()} handlers left after disable()`);
}

if (kind === 'kwin5') runKWin(5);
else if (kind === 'kwin6') runKWin(6);
else await runGnome();
console.log('END');
