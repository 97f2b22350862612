// SPDX-License-Identifier: GPL-2.0-or-later
// The HID access of a run that starts without a mouse: the virtual mouse's
// receiver stands in until a real mouse arrives, then the real backend takes
// over for the rest of the run.
#pragma once

#include <atomic>
#include <memory>

#include "device/hid_backend.h"

namespace vantorel {

class DemoHidBackend final : public HidBackend {
public:
    DemoHidBackend(std::shared_ptr<HidBackend> virtual_receiver, std::shared_ptr<HidBackend> real)
        : virtual_(std::move(virtual_receiver)), real_(std::move(real)) {}

    // From now on every call goes to the real backend. Handles opened on the
    // virtual receiver stay valid until they are let go.
    void use_real() { on_real_.store(true); }
    bool on_real() const { return on_real_.load(); }

    bool init() override { return active().init(); }
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendor_id, std::uint16_t product_id) override {
        return active().enumerate(vendor_id, product_id);
    }
    std::shared_ptr<HidDevice> open_path(const std::string& path) override { return active().open_path(path); }

private:
    HidBackend& active() { return on_real_.load() ? *real_ : *virtual_; }

    std::shared_ptr<HidBackend> virtual_;
    std::shared_ptr<HidBackend> real_;
    std::atomic<bool> on_real_{false};
};

}  // namespace vantorel
