// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/bluez_transport.h"

#include <sdbus-c++/sdbus-c++.h>
#include <utility>

#include "core/trace.h"

namespace vantorel {

namespace {

constexpr const char* kService = "org.bluez";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

using Properties = std::map<std::string, sdbus::Variant>;
using Interfaces = std::map<std::string, Properties>;

// Only the types the link reads are taken out of a variant.
BluezValue value_of(const sdbus::Variant& v) {
    if (v.containsValueOfType<std::string>()) return v.get<std::string>();
    if (v.containsValueOfType<sdbus::ObjectPath>()) return BluezObjectPath{v.get<sdbus::ObjectPath>()};
    if (v.containsValueOfType<bool>()) return v.get<bool>();
    if (v.containsValueOfType<std::vector<std::string>>()) return v.get<std::vector<std::string>>();
    if (v.containsValueOfType<std::vector<std::uint8_t>>()) return v.get<std::vector<std::uint8_t>>();
    return BluezOther{};
}

BluezProperties properties_of(const Properties& props) {
    BluezProperties out;
    for (const auto& [name, value] : props) out.emplace(name, value_of(value));
    return out;
}

BluezInterfaces interfaces_of(const Interfaces& interfaces) {
    BluezInterfaces out;
    for (const auto& [name, props] : interfaces) out.emplace(name, properties_of(props));
    return out;
}

}  // namespace

bool BluezTransport::is_mouse_modalias(const std::string& modalias) { return BluezObjects::is_mouse_modalias(modalias); }

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
    for (const auto& [path, interfaces] : tree) objects_.interfaces_added(path, interfaces_of(interfaces));
}

void BluezTransport::on_object_manager(sdbus::Message& msg) {
    try {
        sdbus::ObjectPath path;
        msg >> path;
        if (msg.getMemberName() == "InterfacesAdded") {
            Interfaces interfaces;
            msg >> interfaces;
            const BluezInterfaces added = interfaces_of(interfaces);
            std::lock_guard<std::mutex> lock(mutex_);
            objects_.interfaces_added(path, added);
        } else if (msg.getMemberName() == "InterfacesRemoved") {
            std::vector<std::string> names;
            msg >> names;
            std::lock_guard<std::mutex> lock(mutex_);
            objects_.interfaces_removed(path, names);
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
    const BluezProperties props = properties_of(changed);
    std::optional<std::vector<std::uint8_t>> value;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        value = objects_.properties_changed(path, interface, props);
    }
    if (value) {
        std::lock_guard<std::mutex> lock(handler_mutex_);
        if (notify_handler_) notify_handler_(std::span<const std::uint8_t>(value->data(), value->size()));
        return;
    }
    if (interface == bluez::kDevice1 || interface == bluez::kGattService1) update_presence();
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
        objects_.service_gone();
    }
    update_presence();
}

void BluezTransport::update_presence() {
    bool present = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        present = !objects_.mouse_path().empty();
        if (present == present_) return;
        present_ = present;
    }
    trace("bluez: mouse %s\n", present ? "connected" : "gone");
    std::lock_guard<std::mutex> lock(handler_mutex_);
    if (presence_handler_) presence_handler_(present);
}

bool BluezTransport::mouse_connected() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !objects_.mouse_path().empty();
}

int BluezTransport::write(std::span<const std::uint8_t> report) {
    if (report.empty()) return 0;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = objects_.characteristic(bluez::kWriteUuid, true);
    }
    if (path.empty()) return 0;
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        const std::map<std::string, sdbus::Variant> options{{"type", sdbus::Variant(std::string("request"))}};
        proxy->callMethod("WriteValue")
            .onInterface(bluez::kGattCharacteristic1)
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
        path = objects_.characteristic(bluez::kNotifyUuid, false);
        if (path.empty()) return false;
        // Values that come right after the call are already ours.
        objects_.subscribe(path);
    }
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        proxy->callMethod("StartNotify").onInterface(bluez::kGattCharacteristic1).withTimeout(timeout_);
    } catch (const sdbus::Error& e) {
        trace("bluez: StartNotify failed: %s\n", e.getMessage().c_str());
        std::lock_guard<std::mutex> lock(mutex_);
        if (objects_.subscribed() == path) objects_.subscribe({});
        return false;
    }
    return true;
}

void BluezTransport::close_notifications() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = objects_.subscribed();
        objects_.subscribe({});
    }
    if (path.empty()) return;
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        proxy->callMethod("StopNotify").onInterface(bluez::kGattCharacteristic1).withTimeout(timeout_);
    } catch (const sdbus::Error& e) {
        trace("bluez: StopNotify failed: %s\n", e.getMessage().c_str());
    }
}

}  // namespace vantorel
