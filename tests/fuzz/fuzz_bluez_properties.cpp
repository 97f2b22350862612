// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: what a hostile or broken BlueZ may announce on the bus. The
// bytes are read as a sequence of InterfacesAdded, PropertiesChanged,
// InterfacesRemoved and name-gone events with any paths, interface and
// property names, value types and values, interleaved with the link's own
// asking for notifications, starting, refused starts and closing, and fed
// to the mirror of BlueZ's objects.
// Checks after every event: no crash; the mouse is only a connected Device1
// whose Modalias is the mouse's (any other never matches); a characteristic
// is only chosen when its UUID is the one asked for, it has the wanted flag
// and its service belongs to that mouse; a notified value is handed out only
// from the subscribed characteristic, unchanged and never shorter than 4
// bytes, and every such value is handed out.
#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/bluez_objects.h"
#include "device/device_events.h"

using namespace vantorel;

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool done() const { return p_ == end_; }
    std::uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
    std::string bytes() {
        std::string s;
        for (std::size_t n = byte() % 40; n > 0 && p_ != end_; --n) s.push_back(static_cast<char>(*p_++));
        return s;
    }
    // One of the names BlueZ uses, or any bytes.
    std::string pick(const std::vector<std::string>& pool) {
        const std::size_t i = byte();
        return i < pool.size() ? pool[i] : i % 4 == 0 ? bytes() : pool[i % pool.size()];
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

const std::vector<std::string> kPaths = {
    "/org/bluez/hci0/dev_A", "/org/bluez/hci0/dev_A/service0010", "/org/bluez/hci0/dev_A/service0010/char0011",
    "/org/bluez/hci0/dev_A/service0010/char0014", "/org/bluez/hci0/dev_B", "/org/bluez/hci0/dev_B/service0010",
    "/org/bluez/hci0/dev_B/service0010/char0011", "/org/bluez/hci0", "/", ""};
const std::vector<std::string> kInterfaces = {bluez::kDevice1, bluez::kGattService1, bluez::kGattCharacteristic1,
                                              "org.bluez.Adapter1", "org.bluez.GattDescriptor1", ""};
const std::vector<std::string> kProperties = {"Modalias", "Connected", "Device", "Service",
                                              "UUID",     "Flags",     "Value",  "Name"};
const std::vector<std::string> kStrings = {"usb:v045Ep0227d0100", "USB:V045EP0227", "usb:v045ep0227",
                                           "usb:v045Ep022",       "usb:v045Ep0228d0100", "bluetooth:v045Ep0227",
                                           bluez::kWriteUuid,     bluez::kNotifyUuid, "0000FEE4-0000-1000-8000-00805F9B34FB",
                                           "0000fee4-0000-1000-8000-00805f9b34f", ""};
const std::vector<std::string> kFlags = {"write", "notify", "read", "write-without-response", "indicate", "Write"};

BluezValue value(Reader& in) {
    switch (in.byte() % 6) {
        case 0: return BluezOther{};
        case 1: return in.pick(kStrings);
        case 2: return BluezObjectPath{in.pick(kPaths)};
        case 3: return (in.byte() & 1) != 0;
        case 4: {
            std::vector<std::string> flags(in.byte() % 4);
            for (std::string& f : flags) f = in.pick(kFlags);
            return flags;
        }
        default: {
            const std::string b = in.bytes();
            return std::vector<std::uint8_t>(b.begin(), b.end());
        }
    }
}

BluezProperties properties(Reader& in) {
    BluezProperties props;
    for (std::size_t n = in.byte() % 5; n > 0; --n) props[in.pick(kProperties)] = value(in);
    return props;
}

// Written apart from the code under test: the mouse's PnP ids, any case.
bool mouse_modalias(const std::string& m) { return m.size() >= 14 && ::strncasecmp(m.c_str(), "usb:v045ep0227", 14) == 0; }

void check(const BluezObjects& objects) {
    const std::string mouse = objects.mouse_path();
    if (!mouse.empty()) {
        const auto& o = objects.objects().at(mouse);
        if (!o.modalias || !o.connected || !mouse_modalias(*o.modalias)) std::abort();
    }
    for (const auto& [path, o] : objects.objects())
        if (!path.empty() && o.modalias && o.connected && mouse_modalias(*o.modalias) && mouse.empty()) std::abort();
    for (const char* uuid : {bluez::kWriteUuid, bluez::kNotifyUuid}) {
        for (const bool want_write : {true, false}) {
            const std::string path = objects.characteristic(uuid, want_write);
            if (path.empty()) continue;
            if (mouse.empty()) std::abort();
            const auto& c = objects.objects().at(path).characteristic;
            if (!c || c->uuid != uuid || !(want_write ? c->can_write : c->can_notify)) std::abort();
            const auto service = objects.objects().find(c->service);
            if (service == objects.objects().end() || service->second.device != mouse) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    BluezObjects objects;
    while (!in.done()) {
        switch (in.byte() % 6) {
            case 0: {
                const std::string path = in.pick(kPaths);
                BluezInterfaces interfaces;
                for (std::size_t n = in.byte() % 3 + 1; n > 0; --n) interfaces[in.pick(kInterfaces)] = properties(in);
                objects.interfaces_added(path, interfaces);
                break;
            }
            case 1: {
                const std::string path = in.pick(kPaths);
                const std::string interface = in.pick(kInterfaces);
                const BluezProperties changed = properties(in);
                const std::string subscribed = objects.subscribed();
                const auto handed = objects.properties_changed(path, interface, changed);
                const auto v = changed.find("Value");
                const auto* bytes = v == changed.end() ? nullptr : std::get_if<std::vector<std::uint8_t>>(&v->second);
                const bool expected = interface == bluez::kGattCharacteristic1 && !subscribed.empty() &&
                                      subscribed == path && bytes && bytes->size() >= 4;
                if (handed.has_value() != expected) std::abort();
                if (handed && (*handed != *bytes || !event_from_ble_value(*handed))) std::abort();
                break;
            }
            case 2: {
                const std::string path = in.pick(kPaths);
                std::vector<std::string> names(in.byte() % 4);
                for (std::string& n : names) n = in.pick(kInterfaces);
                objects.interfaces_removed(path, names);
                const auto it = objects.objects().find(path);
                if (!objects.subscribed().empty() && objects.subscribed() == path && it != objects.objects().end() &&
                    !it->second.characteristic)
                    std::abort();
                break;
            }
            case 3: objects.service_gone(); break;
            case 4: {
                objects.want_notifications(true);
                // Only the mouse's own notify characteristic is ever started.
                const std::string started = objects.take_start();
                if (!started.empty() &&
                    (started != objects.characteristic(bluez::kNotifyUuid, false) || objects.subscribed() != started))
                    std::abort();
                break;
            }
            default:
                if (in.byte() & 1) {
                    objects.want_notifications(false);
                    if (!objects.subscribed().empty()) std::abort();
                    for (const std::string& stop : objects.take_stops())
                        if (stop.empty()) std::abort();
                } else {
                    objects.start_refused(objects.subscribed());  // BlueZ said no
                }
                break;
        }
        check(objects);
    }
    return 0;
}
