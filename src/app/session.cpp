// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/session.h"

#include <algorithm>

#include <QGuiApplication>
#include <QSessionManager>

#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "core/trace.h"
#include "device/demo_hid_backend.h"
#include "device/virtual_mouse.h"

#ifdef VANTOREL_HAVE_DEVICE_LINUX
#include "device/linux/bluez_transport.h"
#include "device/linux/hidapi_backend.h"
#include "device/linux/udev_monitor.h"
#endif
#ifdef VANTOREL_HAVE_XKB
#include "macro/xkb_keyboard_layout.h"
#endif

namespace vantorel {

#ifdef VANTOREL_HAVE_DEVICE_LINUX
namespace {

// The first node this user may not open, for the window to name.
LinkReport NodesReport(const std::vector<PresentDevice>& present) {
    for (const PresentDevice& device : present) {
        if (!device.accessible) return {MouseAccess::NoPermission, device.devnode};
    }
    return {};
}

}  // namespace
#endif

SessionChoice ChooseSession(bool demo_forced, bool demo_allowed) {
    if (demo_forced) return {true, true, "asked for with --demo", true};
#ifdef VANTOREL_HAVE_DEVICE_LINUX
    const std::vector<PresentDevice> present = enumerate_present();
    const LinkReport nodes = NodesReport(present);
    if (present.empty() && !demo_allowed)
        return {false, false, "no mouse found and no demo wanted; watching for one", false, nodes};
    if (present.empty()) return {true, false, "no receiver, cable or Bluetooth mouse found; watching for one", true};
    // Found but not to be opened (no udev rule): the window explains that.
    const bool openable = std::any_of(present.begin(), present.end(), [](const PresentDevice& d) { return d.accessible; });
    return {false, false, std::to_string(present.size()) + " device node(s) of the mouse found", openable, nodes};
#else
    return {true, true, "built without the device links", true};
#endif
}

std::shared_ptr<BleGattAhead> OpenBluezAhead(BleGattAhead::Start start) {
#ifdef VANTOREL_HAVE_DEVICE_LINUX
    // Without a system bus there is no Bluetooth LE stack.
    return std::make_shared<BleGattAhead>([]() -> std::shared_ptr<BleGatt> { return BluezTransport::open(); }, start);
#else
    (void)start;
    return nullptr;
#endif
}

std::unique_ptr<CMS_1_Page> MakeMousePage(const SessionChoice& choice, std::optional<DataFolder> folder,
                                          std::shared_ptr<BleGattAhead> bluez) {
    PageSetup setup;
    setup.data_folder = std::move(folder);
    setup.message_box = [](QWidget* owner, const QString& message_key, bool confirm) {
        return confirm ? CMsgWnd::Confirm(owner, message_key) : CMsgWnd::Inform(owner, message_key);
    };
#ifdef VANTOREL_HAVE_DEVICE_LINUX
    auto watch_devices = [](DeviceChangeQueue& queue, std::function<void()> changed) -> std::shared_ptr<void> {
        auto monitor = std::make_shared<UdevMonitor>(std::move(changed), queue);
        if (!monitor->start()) trace("session: the udev device watch could not be started\n");
        return monitor;
    };
#endif
    if (choice.demo) {
        // The whole receiver path runs against the virtual mouse: enumeration,
        // reader threads, acknowledges and events. Its cable stays unplugged.
        auto mouse = std::make_shared<VirtualMouse>();
        mouse->plug_receiver();
        setup.mouse.hid = mouse->shared_receiver();
        setup.mouse.wired_driver = mouse->shared_wired_driver();
#ifdef VANTOREL_HAVE_DEVICE_LINUX
        if (!choice.forced) {
            // Only until a real mouse comes: the device watch, the wired
            // driver library and BlueZ are the real ones from the start, and
            // the receiver link moves to hidapi when the demo ends.
            auto hid = std::make_shared<DemoHidBackend>(mouse->shared_receiver(), std::make_shared<HidapiBackend>());
            setup.mouse.hid = hid;
            setup.mouse.wired_driver = nullptr;
            if (!bluez) bluez = OpenBluezAhead();
            // Without a system bus, the virtual mouse's Bluetooth stands in.
            bluez->set_fallback(mouse->shared_ble());
            setup.mouse.ble_gatt = bluez;
            setup.mouse.start_device_monitor = watch_devices;
            setup.mouse.leave_demo = [hid] { hid->use_real(); };
        }
#endif
        if (!setup.mouse.ble_gatt) setup.mouse.ble_gatt = mouse->shared_ble();
        setup.mouse.demo_mouse = std::move(mouse);
    } else {
#ifdef VANTOREL_HAVE_DEVICE_LINUX
        setup.mouse.hid = std::make_shared<HidapiBackend>();
        // Without a system bus there is no Bluetooth LE link.
        setup.mouse.ble_gatt = bluez ? bluez : OpenBluezAhead();
        setup.mouse.start_device_monitor = watch_devices;
#endif
    }
#ifdef VANTOREL_HAVE_XKB
    setup.keyboard_layout =
        std::make_shared<LazyKeyboardLayout>([] { return std::make_unique<XkbKeyboardLayout>(); });
#endif
    trace("session: %s (%s)\n", choice.demo ? "virtual mouse" : "real mouse", choice.reason.c_str());
    return std::make_unique<CMS_1_Page>(std::move(setup));
}

PageLinkPresence::PageLinkPresence(const LinkState& links, std::function<bool()> probe_devices, Look look,
                                   std::optional<LinkReport> seen)
    : links_(links), probe_(std::move(probe_devices)), look_(std::move(look)), looked_(std::move(seen)) {}

LinkReport PageLinkPresence::LookAtDeviceNodes() {
#ifdef VANTOREL_HAVE_DEVICE_LINUX
    return NodesReport(enumerate_present());
#else
    return {};
#endif
}

LinkReport PageLinkPresence::query() const {
    if (links_.any()) {
        LinkReport report{MouseAccess::Connected, {}};
        switch (links_.mode()) {
            case ConnectionMode::Wired: report.link = LinkKind::Wired; break;
            case ConnectionMode::Wireless: report.link = LinkKind::Wireless; break;
            case ConnectionMode::Ble: report.link = LinkKind::Ble; break;
            case ConnectionMode::None: break;
        }
        report.battery_percent = links_.battery_percent.load();
        report.charging = links_.battery_charging.load() != 0;
        return report;
    }
    if (!probe_ || !probe_() || !look_) return {};
    // Counted before the look: a change during it makes the next query look again.
    const unsigned changes = links_.device_changes.load();
    if (!looked_ || looked_at_changes_ != changes) {
        looked_ = look_();
        looked_at_changes_ = changes;
    }
    return *looked_;
}

void ConnectMousePage(CMainWnd& window, CMS_1_Page& page, std::optional<LinkReport> nodes_at_start) {
    // The tab, the tray and the DPI popup follow the session.
    page.session().add_observer(&window);
    CMainWnd::DeviceHooks hooks;
    hooks.on_shutdown = [&page] { page.Shutdown(); };
    window.SetDeviceHooks(std::move(hooks));
    window.SetLinkPresence(std::make_shared<PageLinkPresence>(
        page.links(), [&page] { return !page.demo_active(); }, PageLinkPresence::LookAtDeviceNodes,
        std::move(nodes_at_start)));
    window.SetDemo(page.demo_active());
    window.SetDemoMouse([&page] { return page.session().demo_mouse(); });
    page.SetDemoEndedHandler([&window] { window.SetDemo(false); });

    // The window is already hidden when it finishes; the message box still
    // shows on its own, before the program ends.
    QObject::connect(&window, &CMainWnd::finished, &window, [&window, &page] {
        std::string error;
        if (!page.SavePendingEdits(&error)) CMsgWnd::Inform(&window, QStringLiteral("save_failed_exit_text"));
    });
#if QT_CONFIG(sessionmanager)
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::commitDataRequest, &window, [&window, &page](QSessionManager& manager) {
            std::string error;
            if (page.SavePendingEdits(&error)) return;
            if (manager.allowsInteraction()) {
                CMsgWnd::Inform(&window, QStringLiteral("save_failed_exit_text"));
                manager.release();
            }
        });
    }
#endif
}

}  // namespace vantorel
