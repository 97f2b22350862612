// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/bluez_transport.h"

#include <algorithm>
#include <cctype>
#include <sdbus-c++/sdbus-c++.h>
#include <utility>

#include "core/trace.h"

namespace vantorel {

namespace {

constexpr const char* kService = "org.bluez";
constexpr const char* kDevice1 = "org.bluez.Device1";
constexpr const char* kGattService1 = "org.bluez.GattService1";
constexpr const char* kGattCharacteristic1 = "org.bluez.GattCharacteristic1";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
// The mouse's write and notify characteristics.
constexpr const char* kWriteUuid = "0000fee3-0000-1000-8000-00805f9b34fb";
constexpr const char* kNotifyUuid = "0000fee4-0000-1000-8000-00805f9b34fb";

using Properties = std::map<std::string, sdbus::Variant>;
using Interfaces = std::map<std::string, Properties>;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

template <typename T>
std::optional<T> value_of(const Properties& props, const char* name) {
    const auto it = props.find(name);
    if (it == props.end() || !it->second.containsValueOfType<T>()) return std::nullopt;
    return it->second.get<T>();
}

bool has_flag(const std::vector<std::string>& flags, const char* flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

}  // namespace

bool BluezTransport::is_mouse_modalias(const std::string& modalias) {
    // Vendor id source USB-IF, vendor 0x045E, product 0x0227.
    return lower(modalias).rfind("usb:v045ep0227", 0) == 0;
}

std::unique_ptr<BluezTransport> BluezTransport::open(std::chrono::milliseconds call_timeout) {
    std::unique_ptr<sdbus::IConnection> connection;
    try {
        connection = sdbus::createSystemBusConnection();
    } catch (const sdbus::Error& e) {
        trace("bluez: no system bus: %s\n", e.getMessage().c_str());
        return nullptr;
    }
    return std::unique_ptr<BluezTransport>(new BluezTransport(std::move(connection), call_timeout));
}

BluezTransport::BluezTransport(std::unique_ptr<sdbus::IConnection> connection, std::chrono::milliseconds timeout)
    : connection_(std::move(connection)), timeout_(timeout) {
    // Watch first, then read the tree: a change in between is replayed
    // after the tree, in order.
    slots_.push_back(connection_->addMatch(
        std::string("type='signal',sender='") + kService + "',interface='" + kObjectManager + "'",
        [this](sdbus::Message& msg) { on_object_manager(msg); }));
    slots_.push_back(connection_->addMatch(
        std::string("type='signal',sender='") + kService + "',interface='" + kProperties +
            "',member='PropertiesChanged'",
        [this](sdbus::Message& msg) { on_properties(msg); }));
    slots_.push_back(connection_->addMatch(
        std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                    "member='NameOwnerChanged',arg0='") + kService + "'",
        [this](sdbus::Message& msg) { on_owner_changed(msg); }));
    load_tree();
    update_presence();
    connection_->enterEventLoopAsync();
}

BluezTransport::~BluezTransport() {
    connection_->leaveEventLoop();
    slots_.clear();
}

void BluezTransport::load_tree() {
    std::map<sdbus::ObjectPath, Interfaces> tree;
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, "/");
        proxy->callMethod("GetManagedObjects").onInterface(kObjectManager).withTimeout(timeout_).storeResultsTo(tree);
    } catch (const sdbus::Error& e) {
        trace("bluez: object tree not read: %s\n", e.getMessage().c_str());
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [path, interfaces] : tree)
        for (const auto& [name, props] : interfaces) apply_properties(objects_[path], name, props);
}

void BluezTransport::apply_properties(Object& object, const std::string& interface, const Properties& props) {
    if (interface == kDevice1) {
        if (auto modalias = value_of<std::string>(props, "Modalias")) object.modalias = *modalias;
        if (!object.modalias) object.modalias = std::string();
        if (auto connected = value_of<bool>(props, "Connected")) object.connected = *connected;
    } else if (interface == kGattService1) {
        if (auto device = value_of<sdbus::ObjectPath>(props, "Device")) object.device = *device;
        if (!object.device) object.device = std::string();
    } else if (interface == kGattCharacteristic1) {
        if (!object.characteristic) object.characteristic = Characteristic{};
        Characteristic& c = *object.characteristic;
        if (auto service = value_of<sdbus::ObjectPath>(props, "Service")) c.service = *service;
        if (auto uuid = value_of<std::string>(props, "UUID")) c.uuid = lower(*uuid);
        if (auto flags = value_of<std::vector<std::string>>(props, "Flags")) {
            c.can_write = has_flag(*flags, "write");
            c.can_notify = has_flag(*flags, "notify");
        }
    }
}

void BluezTransport::on_object_manager(sdbus::Message& msg) {
    try {
        sdbus::ObjectPath path;
        msg >> path;
        if (msg.getMemberName() == "InterfacesAdded") {
            Interfaces interfaces;
            msg >> interfaces;
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& [name, props] : interfaces) apply_properties(objects_[path], name, props);
        } else if (msg.getMemberName() == "InterfacesRemoved") {
            std::vector<std::string> names;
            msg >> names;
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = objects_.find(path);
            if (it != objects_.end()) {
                for (const std::string& name : names) {
                    if (name == kDevice1) it->second.modalias.reset(), it->second.connected = false;
                    if (name == kGattService1) it->second.device.reset();
                    if (name == kGattCharacteristic1) it->second.characteristic.reset();
                }
            }
            if (subscribed_ == path && it != objects_.end() && !it->second.characteristic) subscribed_.clear();
        }
    } catch (const sdbus::Error& e) {
        trace("bluez: bad object manager signal: %s\n", e.getMessage().c_str());
        return;
    }
    update_presence();
}

void BluezTransport::on_properties(sdbus::Message& msg) {
    const std::string path = msg.getPath();
    std::string interface;
    Properties changed;
    try {
        msg >> interface >> changed;
    } catch (const sdbus::Error& e) {
        trace("bluez: bad properties signal: %s\n", e.getMessage().c_str());
        return;
    }
    if (interface == kGattCharacteristic1) {
        auto value = value_of<std::vector<std::uint8_t>>(changed, "Value");
        bool ours = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ours = value && !subscribed_.empty() && subscribed_ == path;
        }
        if (ours) {
            // A value too short to carry an event is dropped by the handler.
            std::lock_guard<std::mutex> lock(handler_mutex_);
            if (notify_handler_) notify_handler_(std::span<const std::uint8_t>(value->data(), value->size()));
        }
        return;
    }
    if (interface != kDevice1 && interface != kGattService1) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = objects_.find(path);
        if (it == objects_.end()) return;  // only objects the tree announced
        apply_properties(it->second, interface, changed);
    }
    update_presence();
}

void BluezTransport::on_owner_changed(sdbus::Message& msg) {
    std::string name, old_owner, new_owner;
    try {
        msg >> name >> old_owner >> new_owner;
    } catch (const sdbus::Error&) {
        return;
    }
    if (!new_owner.empty()) return;  // a new BlueZ announces its objects itself
    trace("bluez: service gone\n");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.clear();
        subscribed_.clear();
    }
    update_presence();
}

std::string BluezTransport::mouse_path_locked() const {
    for (const auto& [path, object] : objects_)
        if (object.modalias && object.connected && is_mouse_modalias(*object.modalias)) return path;
    return {};
}

std::string BluezTransport::characteristic_locked(const std::string& uuid, bool want_write) const {
    const std::string mouse = mouse_path_locked();
    if (mouse.empty()) return {};
    for (const auto& [path, object] : objects_) {
        if (!object.characteristic || object.characteristic->uuid != uuid) continue;
        if (want_write ? !object.characteristic->can_write : !object.characteristic->can_notify) continue;
        const auto service = objects_.find(object.characteristic->service);
        if (service != objects_.end() && service->second.device && *service->second.device == mouse) return path;
    }
    return {};
}

void BluezTransport::update_presence() {
    bool present = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        present = !mouse_path_locked().empty();
        if (present == present_) return;
        present_ = present;
    }
    trace("bluez: mouse %s\n", present ? "connected" : "gone");
    std::lock_guard<std::mutex> lock(handler_mutex_);
    if (presence_handler_) presence_handler_(present);
}

bool BluezTransport::mouse_connected() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !mouse_path_locked().empty();
}

int BluezTransport::write(std::span<const std::uint8_t> report) {
    if (report.empty()) return 0;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = characteristic_locked(kWriteUuid, true);
    }
    if (path.empty()) return 0;
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        const std::map<std::string, sdbus::Variant> options{{"type", sdbus::Variant(std::string("request"))}};
        proxy->callMethod("WriteValue")
            .onInterface(kGattCharacteristic1)
            .withTimeout(timeout_)
            .withArguments(std::vector<std::uint8_t>(report.begin(), report.end()), options);
    } catch (const sdbus::Error& e) {
        trace("bluez: write failed: %s\n", e.getMessage().c_str());
        return 0;
    }
    return 1;
}

void BluezTransport::set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) {
    std::lock_guard<std::mutex> lock(handler_mutex_);
    notify_handler_ = std::move(handler);
}

void BluezTransport::set_presence_handler(std::function<void(bool)> handler) {
    std::lock_guard<std::mutex> lock(handler_mutex_);
    presence_handler_ = std::move(handler);
}

bool BluezTransport::open_notifications() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = characteristic_locked(kNotifyUuid, false);
        if (path.empty()) return false;
        // Values that come right after the call are already ours.
        subscribed_ = path;
    }
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        proxy->callMethod("StartNotify").onInterface(kGattCharacteristic1).withTimeout(timeout_);
    } catch (const sdbus::Error& e) {
        trace("bluez: StartNotify failed: %s\n", e.getMessage().c_str());
        std::lock_guard<std::mutex> lock(mutex_);
        if (subscribed_ == path) subscribed_.clear();
        return false;
    }
    return true;
}

void BluezTransport::close_notifications() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = std::exchange(subscribed_, std::string());
    }
    if (path.empty()) return;
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        proxy->callMethod("StopNotify").onInterface(kGattCharacteristic1).withTimeout(timeout_);
    } catch (const sdbus::Error& e) {
        trace("bluez: StopNotify failed: %s\n", e.getMessage().c_str());
    }
}

}  // namespace vantorel
