// SPDX-License-Identifier: GPL-2.0-or-later
// The mirror of BlueZ's objects without a bus: which device is the mouse,
// which characteristics are its own, and which notified values go on, when
// BlueZ announces things of the wrong type, of other devices or out of order.
#include <gtest/gtest.h>

#include <functional>

#include "device/bluez_objects.h"

namespace vantorel {
namespace {

const std::string kDev = "/org/bluez/hci0/dev_A";
const std::string kService = kDev + "/service0010";
const std::string kNotify = kService + "/char0011";
const std::string kWrite = kService + "/char0014";
const std::string kOtherDev = "/org/bluez/hci0/dev_B";
const std::string kOtherService = kOtherDev + "/service0010";
const std::string kOtherNotify = kOtherService + "/char0011";

BluezInterfaces device(BluezValue modalias, BluezValue connected = true) {
    return {{bluez::kDevice1, {{"Modalias", std::move(modalias)}, {"Connected", std::move(connected)}}}};
}
BluezInterfaces service(const std::string& dev) {
    return {{bluez::kGattService1, {{"Device", BluezObjectPath{dev}}}}};
}
BluezInterfaces characteristic(const std::string& svc, std::string uuid, std::vector<std::string> flags) {
    return {{bluez::kGattCharacteristic1,
             {{"Service", BluezObjectPath{svc}}, {"UUID", std::move(uuid)}, {"Flags", std::move(flags)}}}};
}

class BluezObjectsTree : public ::testing::Test {
protected:
    // The mouse as BlueZ announces it: the device, its service, a notify and
    // a write characteristic.
    void announce_mouse() {
        objects.interfaces_added(kDev, device(std::string("usb:v045Ep0227d0001")));
        objects.interfaces_added(kService, service(kDev));
        objects.interfaces_added(kNotify, characteristic(kService, bluez::kNotifyUuid, {"read", "notify"}));
        objects.interfaces_added(kWrite, characteristic(kService, bluez::kWriteUuid, {"write"}));
    }
    std::string notify_path() const { return objects.characteristic(bluez::kNotifyUuid, false); }
    std::string write_path() const { return objects.characteristic(bluez::kWriteUuid, true); }
    void subscribe() {
        objects.want_notifications(true);
        objects.take_start();
    }

    BluezObjects objects;
};

TEST(BluezModalias, OnlyTheMousesPnpIdsMatchInAnyCase) {
    const struct {
        const char* modalias;
        bool mouse;
    } cases[] = {
        {"usb:v045Ep0227d0100", true},   {"USB:V045EP0227", true},       {"usb:v045ep0227", true},
        {"usb:v045Ep022", false},        {"usb:v045Ep0228d0100", false}, {"bluetooth:v045Ep0227d0100", false},
        {" usb:v045Ep0227", false},      {"", false},                    {"usb:v045E", false},
    };
    for (const auto& c : cases) EXPECT_EQ(BluezObjects::is_mouse_modalias(c.modalias), c.mouse) << c.modalias;
}

TEST_F(BluezObjectsTree, TheMouseIsAConnectedDeviceWithItsModaliasOfTheRightType) {
    const struct {
        const char* what;
        BluezValue modalias;
        BluezValue connected;
        bool mouse;
    } cases[] = {
        {"the mouse", std::string("usb:v045Ep0227d0001"), true, true},
        {"not connected", std::string("usb:v045Ep0227d0001"), false, false},
        {"Connected as a string", std::string("usb:v045Ep0227d0001"), std::string("true"), false},
        {"Modalias as a path", BluezObjectPath{"usb:v045Ep0227d0001"}, true, false},
        {"Modalias as bytes", std::vector<std::uint8_t>{'u', 's', 'b'}, true, false},
        {"another device", std::string("usb:v046Dp0227d0001"), true, false},
    };
    for (const auto& c : cases) {
        BluezObjects fresh;
        fresh.interfaces_added(kDev, device(c.modalias, c.connected));
        EXPECT_EQ(fresh.mouse_path(), c.mouse ? kDev : "") << c.what;
    }
}

TEST_F(BluezObjectsTree, OnlyTheMousesOwnCharacteristicsWithTheirFlagAreChosen) {
    announce_mouse();
    EXPECT_EQ(notify_path(), kNotify);
    EXPECT_EQ(write_path(), kWrite);
    EXPECT_EQ(objects.characteristic(bluez::kWriteUuid, false), "") << "the write one does not notify";

    // Another device with the same UUIDs: never chosen, also not once the
    // mouse's own go.
    objects.interfaces_added(kOtherDev, device(std::string("usb:v1234p5678")));
    objects.interfaces_added(kOtherService, service(kOtherDev));
    objects.interfaces_added(kOtherNotify, characteristic(kOtherService, bluez::kNotifyUuid, {"notify"}));
    objects.interfaces_removed(kNotify, {bluez::kGattCharacteristic1});
    EXPECT_EQ(notify_path(), "");

    // A UUID in capitals is the same UUID; a service that names no device
    // of the right type belongs to none.
    objects.interfaces_added(kNotify, characteristic(kService, "0000FEE4-0000-1000-8000-00805F9B34FB", {"notify"}));
    EXPECT_EQ(notify_path(), kNotify);
    objects.properties_changed(kService, bluez::kGattService1, {{"Device", std::string(kDev)}});
    EXPECT_EQ(notify_path(), kNotify) << "a Device of the wrong type is ignored, not taken";
    objects.interfaces_removed(kService, {bluez::kGattService1});
    EXPECT_EQ(notify_path(), "");
    EXPECT_EQ(write_path(), "");
}

TEST_F(BluezObjectsTree, ChangesApplyOnlyToAnnouncedObjectsAndAllGoWithBlueZ) {
    objects.properties_changed(kDev, bluez::kDevice1, {{"Modalias", std::string("usb:v045Ep0227")}, {"Connected", true}});
    EXPECT_EQ(objects.mouse_path(), "") << "a change of an object never announced";
    announce_mouse();
    objects.properties_changed(kDev, bluez::kDevice1, {{"Connected", false}});
    EXPECT_EQ(objects.mouse_path(), "");
    objects.properties_changed(kDev, bluez::kDevice1, {{"Connected", true}});
    EXPECT_EQ(objects.mouse_path(), kDev);
    subscribe();
    objects.service_gone();
    EXPECT_EQ(objects.mouse_path(), "");
    EXPECT_EQ(objects.subscribed(), "");
    EXPECT_TRUE(objects.objects().empty());
}

TEST_F(BluezObjectsTree, OnlyValuesOfTheSubscribedCharacteristicLongEnoughForAnEventGoOn) {
    announce_mouse();
    const std::vector<std::uint8_t> event{0x41, 0x00, 0x64, 0x00};
    const auto value = [&](const std::string& path, BluezValue v) {
        return objects.properties_changed(path, bluez::kGattCharacteristic1, {{"Value", std::move(v)}});
    };
    EXPECT_FALSE(value(kNotify, event)) << "not subscribed yet";
    subscribe();
    const struct {
        const char* what;
        std::string path;
        BluezValue value;
        bool handed_out;
    } cases[] = {
        {"an event", kNotify, event, true},
        {"longer than an event", kNotify, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}, true},
        {"three bytes", kNotify, std::vector<std::uint8_t>{1, 2, 3}, false},
        {"nothing", kNotify, std::vector<std::uint8_t>{}, false},
        {"a string", kNotify, std::string("\x41\x00\x64\x00", 4), false},
        {"another characteristic", kWrite, event, false},
        {"another device's", kOtherNotify, event, false},
    };
    for (const auto& c : cases) {
        const auto out = value(c.path, c.value);
        EXPECT_EQ(out.has_value(), c.handed_out) << c.what;
        if (out) {
            EXPECT_EQ(BluezValue(*out), c.value) << c.what;
        }
    }
    objects.interfaces_removed(kNotify, {bluez::kGattCharacteristic1});
    EXPECT_EQ(objects.subscribed(), "") << "the subscription goes with its characteristic";
    EXPECT_FALSE(value(kNotify, event));
}

// StartNotify is called once per chance: not again while nothing changed
// after BlueZ refused it (no endless calls to a BlueZ that says no), again
// once something may have changed its answer, never before the services are
// resolved, and StopNotify only for a subscription BlueZ still holds.
TEST_F(BluezObjectsTree, SubscriptionCallsComeOncePerChanceAndStopOnlyWhatBlueZHolds) {
    const std::vector<std::string> none;
    const std::vector<std::string> notify{kNotify};
    const struct {
        const char* what;
        std::function<void(BluezObjects&)> then;
        bool start_again;
        std::vector<std::string> stops;
    } cases[] = {
        {"nothing changed", [](BluezObjects&) {}, false, none},
        {"an unrelated change", [](BluezObjects& o) { o.properties_changed(kDev, bluez::kDevice1, {{"Alias", std::string("m")}}); },
         false, none},
        {"services resolved", [](BluezObjects& o) { o.properties_changed(kDev, bluez::kDevice1, {{"ServicesResolved", true}}); },
         true, none},
        {"characteristic announced anew",
         [](BluezObjects& o) { o.interfaces_added(kNotify, characteristic(kService, bluez::kNotifyUuid, {"notify"})); }, true,
         none},
        {"asked for again", [](BluezObjects& o) { o.want_notifications(true); }, true, none},
        {"closed", [](BluezObjects& o) { o.want_notifications(false); }, false, none},
    };
    for (const auto& c : cases) {
        BluezObjects o;
        o.interfaces_added(kDev, device(std::string("usb:v045Ep0227d0001")));
        o.interfaces_added(kService, service(kDev));
        o.interfaces_added(kNotify, characteristic(kService, bluez::kNotifyUuid, {"read", "notify"}));
        o.want_notifications(true);
        ASSERT_EQ(o.take_start(), kNotify) << c.what;
        o.start_refused(kNotify);
        c.then(o);
        EXPECT_EQ(o.calls_due(), c.start_again) << c.what;
        EXPECT_EQ(o.take_start(), c.start_again ? kNotify : "") << c.what;
        EXPECT_EQ(o.take_stops(), c.stops) << c.what;
    }

    // Before its services are resolved nothing is started; a subscription
    // held is stopped on close, one gone with BlueZ is not.
    announce_mouse();
    objects.properties_changed(kDev, bluez::kDevice1, {{"ServicesResolved", false}});
    objects.want_notifications(true);
    EXPECT_EQ(objects.take_start(), "");
    objects.properties_changed(kDev, bluez::kDevice1, {{"ServicesResolved", true}});
    EXPECT_EQ(objects.take_start(), kNotify);
    EXPECT_EQ(objects.take_start(), "") << "started once";
    objects.want_notifications(false);
    EXPECT_EQ(objects.take_stops(), notify);
    objects.want_notifications(true);
    EXPECT_EQ(objects.take_start(), kNotify);
    objects.service_gone();
    objects.want_notifications(false);
    EXPECT_EQ(objects.take_stops(), none);
}

}  // namespace
}  // namespace vantorel
