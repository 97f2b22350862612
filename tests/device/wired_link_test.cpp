// SPDX-License-Identifier: GPL-2.0-or-later
// The wired link and its driver library, start-up, and the routing of the
// main window's messages through the link controller.
#include "device/wired_link.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>

#include "device/wired_driver.h"
#include "device/link_controller.h"
#include "device/plugin_loader.h"
#include "link_fakes.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::LinkHarness;

class WiredTest : public ::testing::Test {
protected:
    void start(int open_result, bool ble_transport = true) {
        h.wired->open_result = open_result;
        LinkController::Options o;
        o.ble_transport = ble_transport;
        h.make(std::move(o));
        h.ctl->Start();
        h.loop.process_pending();
    }
    // The driver's monitor reports through the window it was handed.
    void cable(bool attached) { h.wired->post(kMsgWiredAttach, attached ? 1 : 0, 0); }
    int opens() const { return h.wired->count("open_feature_device"); }
    LinkHarness h;
};

TEST_F(WiredTest, StartUpNamesTheMouseStartsTheMonitorAndAttachesAnOpenMouse) {
    h.hid.add_node("/dev/hidraw9", {{0x0001, 0x0002}}, "", kBleVendorId, kBleProductId);
    start(1);
    const std::vector<std::string> expected = {"set_vid_pid 7511 8743", "open_dev_monitor 1539 1540",
                                               "open_feature_device"};
    EXPECT_EQ(h.wired->calls, expected);
    EXPECT_EQ(h.links.wired_state.load(), kWiredAttached);
    EXPECT_TRUE(h.view.is_visible(controls::kWiredIndicator));
    EXPECT_TRUE(h.view.power_resource_mode());
    EXPECT_TRUE(h.link_view.charging_animation_running());
    EXPECT_EQ(h.links.ble_connected.load(), 1);
    EXPECT_EQ(h.links.any_link_connected.load(), 1);
    EXPECT_EQ(h.link_changes, 1);
}

TEST_F(WiredTest, StartUpWithoutMouseOrBluetoothLeavesEveryLinkDown) {
    h.hid.add_node("/dev/hidraw9", {{0x0001, 0x0002}}, "", kBleVendorId, kBleProductId);
    h.hid.set_fail_init(true);  // a backend that cannot start finds nothing
    start(0);
    EXPECT_EQ(h.links.wired_state.load(), kWiredNeverSeen);
    EXPECT_FALSE(h.view.is_visible(controls::kWiredIndicator));
    EXPECT_EQ(h.links.ble_connected.load(), 0);
    EXPECT_EQ(h.links.any_link_connected.load(), 0);
    EXPECT_EQ(h.link_changes, 1);
}

TEST_F(WiredTest, AttachOpensTheMouseAfterASecondAndASecondAttachIsIgnored) {
    start(0);
    h.wired->open_result = 1;  // its feature device is there by the time the cable attaches
    h.view.set_progress(controls::kPowerProgress, 77);
    for (int i = 0; i < 3; ++i) h.link_view.OnChargingTick();  // animation somewhere mid-way
    cable(true);
    cable(true);
    h.loop.run_for(Millis(999));
    EXPECT_EQ(opens(), 1);  // the one at start-up
    EXPECT_EQ(h.links.wired_state.load(), kWiredNeverSeen);
    h.loop.run_for(Millis(1));
    EXPECT_EQ(opens(), 2);
    EXPECT_EQ(h.links.wired_state.load(), kWiredAttached);
    EXPECT_TRUE(h.view.is_visible(controls::kWiredIndicator));
    EXPECT_EQ(h.view.power_text(), "charging_text");
    EXPECT_EQ(h.link_changes, 2);
    h.loop.run_for(Millis(30));  // first tick after the attach starts from zero
    EXPECT_EQ(h.view.power_progress(), 0);

    cable(true);
    h.loop.run_for(Millis(3000));
    EXPECT_EQ(opens(), 2);
    EXPECT_EQ(h.link_changes, 2);
}

// The cable's command node may appear after its first node: until the
// feature device opens the cable is not a link, so reports keep going over
// the receiver instead of into a cable that cannot carry them.
TEST_F(WiredTest, CableIsUpOnlyOnceItsFeatureDeviceOpensAndALaterNodeRetries) {
    start(0);
    cable(true);
    h.loop.run_for(Millis(1000));
    EXPECT_EQ(opens(), 2);
    EXPECT_NE(h.links.wired_state.load(), kWiredAttached);
    EXPECT_FALSE(h.view.is_visible(controls::kWiredIndicator));
    EXPECT_EQ(h.links.mode(), ConnectionMode::None);
    EXPECT_EQ(h.link_changes, 1);  // the start-up one only

    h.wired->open_result = 1;
    h.device_change(true, "/dev/hidraw5", kVendorId, kWiredProductId);  // the command node
    h.loop.run_for(Millis(1000));
    EXPECT_EQ(opens(), 3);
    EXPECT_EQ(h.links.wired_state.load(), kWiredAttached);
    EXPECT_EQ(h.links.mode(), ConnectionMode::Wired);
    EXPECT_TRUE(h.view.is_visible(controls::kWiredIndicator));
}

TEST_F(WiredTest, BluetoothProbeRaisesNoLinkWithoutATransport) {
    h.hid.add_node("/dev/hidraw9", {{0x0001, 0x0002}}, "", kBleVendorId, kBleProductId);
    start(0, false);
    EXPECT_EQ(h.links.ble_connected.load(), 0);
    EXPECT_EQ(h.links.any_link_connected.load(), 0);
}

TEST_F(WiredTest, DetachClosesTheMouseAndAnAttachOpensItAgainASecondLater) {
    start(1);
    cable(false);
    h.loop.process_pending();
    EXPECT_EQ(h.wired->count("close_feature_device"), 1);
    EXPECT_EQ(h.links.wired_state.load(), kWiredDetached);
    EXPECT_FALSE(h.view.is_visible(controls::kWiredIndicator));
    EXPECT_EQ(h.view.power_text(), "");
    EXPECT_FALSE(h.link_view.charging_animation_running());
    EXPECT_EQ(h.links.any_link_connected.load(), 0);
    cable(false);
    h.loop.process_pending();
    EXPECT_EQ(h.wired->count("close_feature_device"), 1);

    cable(true);
    h.loop.run_for(Millis(999));
    EXPECT_EQ(opens(), 1);
    h.loop.run_for(Millis(1));
    EXPECT_EQ(opens(), 2);
    EXPECT_EQ(h.links.any_link_connected.load(), 1);
}

TEST_F(WiredTest, DetachWhileAnAttachSettlesCancelsIt) {
    start(1);
    cable(false);
    cable(true);
    h.loop.run_for(Millis(500));
    cable(false);
    h.loop.run_for(Millis(3000));
    EXPECT_EQ(opens(), 1);
    EXPECT_EQ(h.links.wired_state.load(), kWiredDetached);
    EXPECT_FALSE(h.view.is_visible(controls::kWiredIndicator));
}

TEST_F(WiredTest, EventMessageCarriesDeviceEventsAndTheAttachWords) {
    start(1);
    h.wired->post(kMsgWiredEvent, 0x5027, 0x0000);
    h.loop.process_pending();
    EXPECT_EQ(h.links.ack_received.load(), 1);
    h.wired->post(kMsgWiredEvent, 0x0F27, 0x0000);  // below the event range
    h.wired->post(kMsgWiredEvent, 0x7F00, 5);        // neither attach nor detach
    h.loop.process_pending();
    EXPECT_EQ(h.links.wired_state.load(), kWiredAttached);
    h.wired->post(kMsgWiredEvent, 0x7F00, 2);
    h.loop.process_pending();
    EXPECT_EQ(h.links.wired_state.load(), kWiredDetached);
}

TEST_F(WiredTest, UnpluggingTheCableKeepsALiveReceiverLink) {
    h.hid.add_node("/dev/hidraw1", {{0x000B, 0}, {0x000A, 0}}, "k");
    start(1);
    h.ctl->OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw1", {0x03, 0x27, 0x50, 0x00, 0x00}));
    ASSERT_EQ(h.links.wireless_connected.load(), 1);
    cable(false);
    h.loop.process_pending();
    EXPECT_EQ(h.links.any_link_connected.load(), 1);
    EXPECT_EQ(h.links.mode(), ConnectionMode::Wireless);
    EXPECT_TRUE(h.view.is_visible(controls::kWirelessIndicator));
}

TEST_F(WiredTest, ShutdownClosesTheFeatureDeviceBeforeTheMonitor) {
    start(1);
    h.ctl->Shutdown();
    ASSERT_GE(h.wired->calls.size(), 2u);
    EXPECT_EQ(h.wired->calls[h.wired->calls.size() - 2], "close_feature_device");
    EXPECT_EQ(h.wired->calls.back(), "close_dev_monitor");
    EXPECT_EQ(h.ctl->wired_driver(), nullptr);
}

TEST_F(WiredTest, BluetoothValuesAreDispatchedOnTheUiThread) {
    start(0);
    auto notify = h.ctl->ble_notify_handler();
    std::thread callback([&] {
        const std::uint8_t short_value[] = {0x27, 0x41, 0x03};
        const std::uint8_t charging[] = {0x27, 0x41, 0x03, 0x00};
        notify(short_value);
        notify(charging);
    });
    callback.join();
    EXPECT_FALSE(h.view.power_resource_mode());  // nothing runs before the UI thread handles it
    h.loop.process_pending();
    EXPECT_EQ(h.event_count(ConnectionMode::Ble), 1);
    EXPECT_EQ(h.view.power_text(), "charging_text");
}

TEST_F(WiredTest, DeviceChangesAreRoutedByWhatTheyAre) {
    std::vector<bool> ble_changes;
    LinkController::Options o;
    o.ble_device_hook = [&](const DeviceChange& c) { ble_changes.push_back(c.arrival); };
    h.make(std::move(o));
    h.device_change(true, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.device_change(true, "/dev/hidraw8", kBleVendorId, kBleProductId, DeviceBus::Usb);
    h.device_change(true, "/dev/hidraw3", kVendorId, kWiredProductId);
    h.device_change(false, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.loop.process_pending();
    EXPECT_EQ(ble_changes, (std::vector<bool>{true, false}));
    EXPECT_FALSE(h.ctl->wireless().arrival_pending());
    h.device_change(true, "/dev/hidraw4");
    h.loop.process_pending();
    EXPECT_TRUE(h.ctl->wireless().arrival_pending());
    // Every change is counted, whatever it was: the window's look at the
    // device nodes is kept until the count moves.
    EXPECT_EQ(h.links.device_changes.load(), 5u);
}

// ---------------------------------------------------------------------------
// The driver library itself

std::vector<std::string> g_plugin_calls;
void record_plugin_call(const char* what) { g_plugin_calls.emplace_back(what); }

const std::filesystem::path kGoodDir = TEST_PLUGIN_GOOD_DIR;
const std::filesystem::path kIncompleteDir = TEST_PLUGIN_INCOMPLETE_DIR;

bool plugin_loaded(const std::filesystem::path& dir) {
    void* handle = dlopen((dir / VANTOREL_WIRED_DRIVER_FILE).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

// An export of the loaded test library; the driver keeps the library loaded.
template <class Fn>
Fn loaded_plugin_export(const char* name) {
    void* handle = dlopen((kGoodDir / VANTOREL_WIRED_DRIVER_FILE).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return nullptr;
    auto fn = reinterpret_cast<Fn>(dlsym(handle, name));
    dlclose(handle);
    return fn;
}

TEST(WiredDriverLibrary, MissingFileOrEntryPointLeavesTheWiredLinkAbsent) {
    vantorel::testing::TempDir empty;
    for (const auto& dir : {empty.path(), kIncompleteDir}) {
        SCOPED_TRACE(dir.string());
        LinkHarness h;
        LinkController::Options o;
        o.plugin_folders = {dir};
        h.make(std::move(o));
        h.ctl->Start();
        EXPECT_EQ(h.ctl->wired_driver(), nullptr);
        EXPECT_EQ(h.links.wired_state.load(), kWiredNeverSeen);
        EXPECT_FALSE(h.view.is_visible(controls::kWiredIndicator));
        EXPECT_FALSE(plugin_loaded(dir));
    }
}

TEST(WiredDriverLibrary, LoadsOnlyByAbsolutePathFromTheGivenFolders) {
    const std::filesystem::path relative = std::filesystem::relative(kGoodDir);
    ASSERT_FALSE(relative.is_absolute());
    EXPECT_EQ(load_plugin(VANTOREL_WIRED_DRIVER_FILE, std::vector{relative}), nullptr);
    EXPECT_EQ(load_plugin("../plugin_good/" VANTOREL_WIRED_DRIVER_FILE, std::vector{kGoodDir}), nullptr);
    vantorel::testing::TempDir empty;
    auto module = load_plugin(VANTOREL_WIRED_DRIVER_FILE, std::vector{empty.path(), kGoodDir});
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->path(), kGoodDir / VANTOREL_WIRED_DRIVER_FILE);
    EXPECT_NE(module->symbol("Open_DevMonitor"), nullptr);
    EXPECT_EQ(module->symbol("NoSuchEntry"), nullptr);

    const auto folders = default_plugin_folders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), executable_folder());
    for (const auto& f : folders) EXPECT_TRUE(f.is_absolute()) << f;
}

// A plugin that anyone but its owner (or root) could have replaced, in its
// file or in any folder above it, is never loaded: the programs may run as
// root.
TEST(WiredDriverLibrary, PluginThatAGroupOrOtherUsersCanReplaceIsRefused) {
    using std::filesystem::perms;
    struct Case {
        const char* name;
        perms outer, inner, file;
        const char* why;  // null: loaded
    };
    const perms dir = perms::owner_all | perms::group_read | perms::group_exec;
    const perms lib = perms::owner_all | perms::group_read | perms::group_exec;
    const Case cases[] = {
        {"owner only", dir, dir, lib, nullptr},
        {"folder open to all", dir, perms::all, lib, "writable by other users"},
        {"folder writable by its group", dir, dir | perms::group_write, lib, "writable by its group"},
        {"file writable by its group", dir, dir, lib | perms::group_write, "writable by its group"},
        {"file writable by all", dir, dir, lib | perms::others_write, "writable by other users"},
        {"a folder above writable by its group", dir | perms::group_write, dir, lib, "writable by its group"},
        {"a folder above open to all but sticky", perms::all | perms::sticky_bit, dir, lib, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vantorel::testing::TempDir top;
        const auto inner = top.path() / "plugins";
        std::filesystem::create_directory(inner);
        const auto file = inner / VANTOREL_WIRED_DRIVER_FILE;
        std::filesystem::copy_file(kGoodDir / VANTOREL_WIRED_DRIVER_FILE, file);
        std::filesystem::permissions(file, c.file);
        std::filesystem::permissions(inner, c.inner);
        std::filesystem::permissions(top.path(), c.outer);
        std::string why;
        EXPECT_EQ(plugin_location_trusted(file, &why), c.why == nullptr) << why;
        if (c.why) {
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
        EXPECT_EQ(load_plugin(VANTOREL_WIRED_DRIVER_FILE, std::vector{inner}) != nullptr, c.why == nullptr);
        std::filesystem::permissions(top.path(), perms::owner_all);
    }
}

TEST(WiredDriverLibrary, BoundLibraryIsCalledPostsToTheWindowAndUnloadsLast) {
    g_plugin_calls.clear();
    LinkHarness h;
    LinkController::Options o;
    o.plugin_folders = {kGoodDir};
    h.make(std::move(o));
    ASSERT_TRUE(h.ctl->wired().BindWiredDriverLibrary(std::vector{kGoodDir}));
    auto set_sink = loaded_plugin_export<void (*)(void (*)(const char*))>("TestDriver_SetSink");
    auto post = loaded_plugin_export<int (*)(std::uint32_t, std::uintptr_t, std::intptr_t)>("TestDriver_Post");
    ASSERT_TRUE(set_sink && post);
    set_sink(&record_plugin_call);

    h.ctl->wired().Start();
    EXPECT_EQ(h.links.wired_state.load(), kWiredAttached);
    const std::uint8_t light[15] = {0x05, 15, 1};
    EXPECT_EQ(h.ctl->wired_driver()->set_feature(light), 1);

    EXPECT_EQ(post(kMsgWiredAttach, 0, 0), 1);  // the library's monitor sees the cable go
    h.loop.process_pending();
    EXPECT_EQ(h.links.wired_state.load(), kWiredDetached);

    h.ctl->Shutdown();
    const std::vector<std::string> expected = {"Set_VIDPID 1d57 2227", "Open_DevMonitor 1539 1540",
                                               "Open_FeatureDevice",   "SetFeature 05 15",
                                               "Close_FeatureDevice",  "Close_FeatureDevice",
                                               "Close_DevMonitor",     "unload"};
    EXPECT_EQ(g_plugin_calls, expected);
    EXPECT_FALSE(plugin_loaded(kGoodDir));
}

}  // namespace
}  // namespace vantorel
