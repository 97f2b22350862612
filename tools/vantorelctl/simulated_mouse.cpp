// SPDX-License-Identifier: GPL-2.0-or-later
#include "simulated_mouse.h"

#include "device/virtual_mouse.h"

namespace vantorel::cli {
namespace {

constexpr const char* kBlePath = "virtual-mouse/ble";

// The receiver of the virtual mouse, plus the mouse's HID-over-GATT device
// while Bluetooth LE is connected.
class SimulatedHid final : public HidBackend {
public:
    explicit SimulatedHid(VirtualMouse& mouse) : mouse_(mouse) {}

    bool init() override { return true; }
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendor_id, std::uint16_t product_id) override {
        if (vendor_id != kBleVendorId || product_id != kBleProductId) return mouse_.receiver().enumerate(vendor_id, product_id);
        std::vector<HidDeviceInfo> list;
        if (!mouse_.ble().connected()) return list;
        HidDeviceInfo info;
        info.path = kBlePath;
        info.vendor_id = kBleVendorId;
        info.product_id = kBleProductId;
        info.usage_page = 0x0001;
        info.usage = 0x0002;
        list.push_back(info);
        return list;
    }
    std::shared_ptr<HidDevice> open_path(const std::string& path) override {
        return mouse_.receiver().open_path(path);
    }

private:
    VirtualMouse& mouse_;
};

}  // namespace

struct SimulatedMouse::Impl {
    VirtualMouse mouse;  // real time: the link pacing and the answers as a mouse gives them
    SimulatedHid hid{mouse};
};

SimulatedMouse::SimulatedMouse(ConnectionMode link) : link_(link), impl_(std::make_unique<Impl>()) {
    switch (link) {
        case ConnectionMode::Wired: impl_->mouse.plug_cable(); break;
        case ConnectionMode::Wireless: impl_->mouse.plug_receiver(); break;
        case ConnectionMode::Ble: impl_->mouse.connect_ble(); break;
        case ConnectionMode::None: break;
    }
}

SimulatedMouse::~SimulatedMouse() {
    // Nothing may reach a link controller that is going away.
    impl_->mouse.ble().set_notify_handler(nullptr);
}

HidBackend& SimulatedMouse::hid() { return impl_->hid; }
std::shared_ptr<WiredDriver> SimulatedMouse::wired_driver() { return impl_->mouse.shared_wired_driver(); }
BleTransport& SimulatedMouse::ble() { return impl_->mouse.ble(); }

bool SimulatedMouse::present(ConnectionMode link) const {
    VirtualMouse& m = impl_->mouse;
    switch (link) {
        case ConnectionMode::Wired: return m.wired_driver().cable_plugged();
        case ConnectionMode::Wireless: return m.receiver().plugged();
        case ConnectionMode::Ble: return m.ble().connected();
        case ConnectionMode::None: break;
    }
    return false;
}

std::vector<std::string> SimulatedMouse::nodes(ConnectionMode link) const {
    if (!present(link)) return {};
    switch (link) {
        case ConnectionMode::Wired: return {"virtual-mouse/cable"};
        case ConnectionMode::Wireless: return {FakeReceiverBackend::kCommandPath, FakeReceiverBackend::kEventPath};
        case ConnectionMode::Ble: return {kBlePath};
        case ConnectionMode::None: break;
    }
    return {};
}

void SimulatedMouse::report_battery(std::uint8_t state, std::uint8_t percent) {
    impl_->mouse.report_battery(state, percent);
}

void SimulatedMouse::press_dpi_stage(int stage) { impl_->mouse.press_dpi_stage(stage); }

bool SimulatedMouse::holds_exactly(const ProfileRecord& record, std::string* why) const {
    return impl_->mouse.holds_exactly(record, why, link_);
}

}  // namespace vantorel::cli
