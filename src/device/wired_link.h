// SPDX-License-Identifier: GPL-2.0-or-later
// The wired link: the mouse on its USB cable, driven through the wired driver
// library ("libhiddriver_2.so", our hiddriver_2 plugin), which reports attach,
// detach and device events by message, from a thread of its own. Those
// messages end here: each becomes a typed call posted to the executor.
//
// Wired state: 0 = not seen since start, 1 = attached, 2 = detached; only 1
// makes the link usable. Attach while attached and detach while detached are
// ignored. After an attach the mouse is given a second to settle before its
// feature device is opened.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "core/executor.h"
#include "device/device_change.h"
#include "device/device_events.h"
#include "device/link_state.h"
#include "device/plugin_loader.h"
#include "device/wired_driver.h"
#include "vantorel/wired_driver_abi.h"

namespace vantorel {

// The WiredDriver that calls the plugin's seven entry points.
class PluginWiredDriver final : public WiredDriver {
public:
    // Loads VANTOREL_WIRED_DRIVER_FILE from the first folder that has it and
    // looks up the seven entry points. Null when the file or any entry point
    // is missing; nothing of the library is called then.
    static std::unique_ptr<PluginWiredDriver> bind(std::span<const std::filesystem::path> folders);

    void set_vid_pid(int vendor_id, int product_id) override;
    void open_dev_monitor(VantorelWindow window, int event_message, int attach_message) override;
    void close_dev_monitor() override;
    int open_feature_device() override;
    void close_feature_device() override;
    int set_feature(std::span<const std::uint8_t> report) override;
    // Bound with the others; the application itself does not read features.
    int get_feature(std::span<std::uint8_t> buffer);

    const std::filesystem::path& path() const { return module_->path(); }

private:
    explicit PluginWiredDriver(std::unique_ptr<PluginModule> module) : module_(std::move(module)) {}

    std::unique_ptr<PluginModule> module_;  // unloaded when the driver goes
    // The library may keep the pointer it was given, so the window lives as
    // long as the driver does.
    VantorelWindow window_{};
    VantorelSetVidPidFn set_vid_pid_ = nullptr;
    VantorelOpenDevMonitorFn open_dev_monitor_ = nullptr;
    VantorelCloseDevMonitorFn close_dev_monitor_ = nullptr;
    VantorelOpenFeatureDeviceFn open_feature_device_ = nullptr;
    VantorelCloseFeatureDeviceFn close_feature_device_ = nullptr;
    VantorelSetFeatureFn set_feature_ = nullptr;
    VantorelGetFeatureFn get_feature_ = nullptr;
};

class WiredLink {
public:
    static constexpr int kAttachSettleMs = 1000;

    WiredLink(Executor& executor, LinkState& links, DeviceEvents& events);
    ~WiredLink();  // Close()
    WiredLink(const WiredLink&) = delete;
    WiredLink& operator=(const WiredLink&) = delete;

    // Binds the wired driver library from `folders` (the executable's folder
    // and the installed plugin folder by default). False leaves the link
    // absent.
    bool BindWiredDriverLibrary(std::span<const std::filesystem::path> folders);
    bool BindWiredDriverLibrary();
    // Uses a driver made elsewhere (the virtual mouse) instead of the plugin.
    void use_driver(std::shared_ptr<WiredDriver> driver);

    // Called on every attach the driver reports, before it is handled (a
    // real mouse arrived).
    void set_attach_hook(std::function<void()> hook) { on_attach_ = std::move(hook); }

    // Start-up: names the mouse to the driver, starts its monitor and opens
    // the feature device; the link is attached when that succeeds. The caller
    // ends start-up with NotifyLinkChange.
    void Start();
    // A message of the driver (kMsgWiredEvent, kMsgWiredAttach), handled at
    // once; the driver's own thread posts them instead.
    void OnWiredLinkMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    // An event or attach / detach of the driver, as a typed call.
    void OnWiredEvent(DeviceEvent event);
    // The attached mouse has settled.
    void OnAttachTimer();
    // A device-manager notification about the wired mouse. The driver's own
    // monitor is what reports attach and detach, so this is only traced.
    void OnDeviceChange(const DeviceChange& change);
    // Page destruction: closes the feature device, then the monitor, then
    // lets the library go.
    void Close();

    // The driver the report sender writes through; null while absent.
    std::shared_ptr<WiredDriver> driver() const;
    bool attach_pending() const { return attach_pending_; }

private:
    void attach();
    void detach();
    static int post_to_host(void* target, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

    TaskGuard guard_;
    ExecutorTimer attach_timer_;
    std::function<void()> on_attach_;
    LinkState& links_;
    DeviceEvents& events_;
    mutable std::mutex driver_mutex_;  // driver_ is read by the apply worker
    std::shared_ptr<WiredDriver> driver_;
    bool monitor_open_ = false;
    bool attach_pending_ = false;
};

}  // namespace vantorel
