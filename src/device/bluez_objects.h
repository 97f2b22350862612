// SPDX-License-Identifier: GPL-2.0-or-later
// The part of the BlueZ link that needs no bus: the mirror of BlueZ's object
// tree built from what it announces (GetManagedObjects, InterfacesAdded,
// InterfacesRemoved, PropertiesChanged, its name going away), the match of
// the mouse among its devices, the choice of the mouse's characteristics,
// when to subscribe to the notify characteristic, and the filter of notified
// values.
//
// Whatever owns org.bluez on the bus may send any names, types and values:
// a property of an unexpected type is ignored, never guessed at. The caller
// turns each D-Bus value into a BluezValue and serialises the calls.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vantorel {

// A D-Bus object path ("o"), kept apart from a string ("s"): BlueZ sends
// Modalias and UUID as strings and Device and Service as paths.
struct BluezObjectPath {
    std::string path;
    bool operator==(const BluezObjectPath&) const = default;
};

// The value types the link reads; any other D-Bus type is Other.
struct BluezOther {
    bool operator==(const BluezOther&) const = default;
};
using BluezValue = std::variant<BluezOther, std::string, BluezObjectPath, bool, std::vector<std::string>,
                                std::vector<std::uint8_t>>;
using BluezProperties = std::map<std::string, BluezValue>;
using BluezInterfaces = std::map<std::string, BluezProperties>;

namespace bluez {
inline constexpr const char* kDevice1 = "org.bluez.Device1";
inline constexpr const char* kGattService1 = "org.bluez.GattService1";
inline constexpr const char* kGattCharacteristic1 = "org.bluez.GattCharacteristic1";
// The mouse's write and notify characteristics.
inline constexpr const char* kWriteUuid = "0000fee3-0000-1000-8000-00805f9b34fb";
inline constexpr const char* kNotifyUuid = "0000fee4-0000-1000-8000-00805f9b34fb";
// A notified value carries one event: a 16-bit word and a 16-bit value.
inline constexpr std::size_t kMinNotifyValue = 4;
}  // namespace bluez

class BluezObjects {
public:
    struct Characteristic {
        std::string service;  // the GattService1's path
        std::string uuid;     // lower case
        bool can_write = false;
        bool can_notify = false;
    };
    struct Object {
        std::optional<std::string> modalias;  // Device1
        bool connected = false;               // Device1
        // Device1: whether its GATT services are resolved; unknown when
        // BlueZ does not say (older versions), which counts as resolved.
        std::optional<bool> services_resolved;
        std::optional<std::string> device;    // GattService1: its Device
        std::optional<Characteristic> characteristic;
    };

    // Whether `modalias` names the mouse ("usb:v045Ep0227...", any case).
    static bool is_mouse_modalias(const std::string& modalias);

    // GetManagedObjects and InterfacesAdded.
    void interfaces_added(const std::string& path, const BluezInterfaces& interfaces);
    void interfaces_removed(const std::string& path, const std::vector<std::string>& interfaces);
    // PropertiesChanged on `path`. Device1 and GattService1 changes apply
    // to objects announced before; a GattCharacteristic1 change hands out
    // the Value when it comes from the subscribed characteristic and is
    // long enough to carry an event.
    std::optional<std::vector<std::uint8_t>> properties_changed(const std::string& path, const std::string& interface,
                                                                const BluezProperties& changed);
    // BlueZ left the bus: nothing it announced is there any more.
    void service_gone();

    // The path of the connected mouse, empty when there is none.
    std::string mouse_path() const;
    // The mouse's characteristic with this UUID that can be written
    // (want_write) or notifies; empty when there is none.
    std::string characteristic(const std::string& uuid, bool want_write) const;

    // The subscription to the mouse's notify characteristic, wanted from
    // want_notifications(true) until want_notifications(false). It starts
    // once the characteristic is there and the mouse's services are
    // resolved; a start BlueZ refused is tried again only after something
    // changed: an object announced, the services resolved, BlueZ back.
    void want_notifications(bool want);
    // Whether a StartNotify or StopNotify call is due.
    bool calls_due() const { return !stops_.empty() || !start_due().empty(); }
    // The characteristic to call StartNotify on now, or empty; its values
    // are passed on from here.
    std::string take_start();
    void start_refused(const std::string& path);
    // Characteristics whose subscription ended, to call StopNotify on.
    std::vector<std::string> take_stops();
    // The characteristic notified values are taken from.
    const std::string& subscribed() const { return subscribed_; }

    const std::map<std::string, Object>& objects() const { return objects_; }

private:
    static void apply(Object& object, const std::string& interface, const BluezProperties& props);
    std::string start_due() const;
    // Something changed that may let a refused start succeed.
    void retry() {
        refused_.clear();
        ++changes_;
    }

    std::map<std::string, Object> objects_;
    bool want_ = false;
    std::string subscribed_;
    std::string refused_;
    std::vector<std::string> stops_;
    std::uint64_t changes_ = 0;
    std::uint64_t started_at_ = 0;  // changes_ when the last start was taken
};

}  // namespace vantorel
