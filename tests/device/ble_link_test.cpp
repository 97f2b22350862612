// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link on the virtual mouse's Bluetooth face, as demo mode
// runs it: the mouse connecting and leaving, the other links it displaces.
#include <gtest/gtest.h>

#include "device/link_fakes.h"
#include "device/virtual_mouse.h"

namespace vantorel {
namespace {

class BleLinkVirtual : public ::testing::Test {
protected:
    void SetUp() override {
        LinkController::Options o;
        o.ble_gatt = mouse.shared_ble();
        h.wired->open_result = 0;
        h.make(std::move(o));
    }
    bool up() const { return h.links.ble_connected.load() == 1; }

    VirtualMouse mouse;
    testing::LinkHarness h;
};

TEST_F(BleLinkVirtual, ConnectingAndLeavingSwitchTheLinkOnceEach) {
    h.links.wireless_connected = 1;
    h.ctl->Start();
    EXPECT_FALSE(up()) << "nothing connected at start";

    mouse.connect_ble();
    h.loop.process_pending();
    ASSERT_TRUE(up());
    const int changes = h.link_changes;
    mouse.connect_ble();
    h.loop.process_pending();
    EXPECT_EQ(h.link_changes, changes) << "a second connect switched the link again";
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
    EXPECT_FALSE(h.ctl->events().watchdog_running());
    EXPECT_FALSE(mouse.ble().subscribed());
    h.loop.run_for(Millis(kBleDiscoveryDelayMs));
    EXPECT_TRUE(mouse.ble().subscribed());
    EXPECT_FALSE(h.ctl->ble_link()->discovery_pending()) << "the discovery runs once";

    mouse.disconnect_ble();
    h.loop.process_pending();
    EXPECT_FALSE(up());
    EXPECT_FALSE(h.view.is_visible(controls::kBleIndicator));
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(std::vector<std::uint8_t>{1, 2, 3, 4}), 0);
}

TEST_F(BleLinkVirtual, StartUpWithTheMouseConnectedAndShutdownClearsTheHooks) {
    mouse.connect_ble();
    h.ctl->Start();
    ASSERT_TRUE(up());
    EXPECT_TRUE(h.view.is_visible(controls::kBleIndicator));
    EXPECT_EQ(h.view.progress[std::string(controls::kPowerProgress)], 100);
    h.ctl->Shutdown();
    h.loop.process_pending();
    // Nothing of the stack reaches the controller any more.
    const int calls = h.view.calls;
    const int changes = h.link_changes;
    mouse.disconnect_ble();
    mouse.ble().notify(MouseEvent{0x27, 0x41, 0x01, 0x32});
    h.loop.process_pending();
    EXPECT_EQ(h.view.calls, calls);
    EXPECT_EQ(h.link_changes, changes);
    EXPECT_TRUE(h.events.empty());
}

}  // namespace
}  // namespace vantorel
