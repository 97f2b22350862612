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
constexpr const char* kUnanswered = "unanswered";

using Properties = std::map<std::string, sdbus::Variant>;

// BlueZ did not answer in time; it may still act on the call.
bool unanswered(const sdbus::Error& e) {
    return e.getName() == "org.freedesktop.DBus.Error.NoReply" || e.getName() == "org.freedesktop.DBus.Error.Timeout";
}

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

BluezInterfaces interfaces_of(const std::map<std::string, Properties>& interfaces) {
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
    // Watch first, then ask for the tree: the bus thread takes the answer in
    // order with the signals, so a change sent before BlueZ answered is
    // already in the tree and one sent after is applied after it.
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
    manager_ = sdbus::createProxy(*connection_, kService, "/");
    read_tree();
    worker_ = std::thread([this] { run_calls(); });
    connection_->enterEventLoopAsync();
}

BluezTransport::~BluezTransport() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    calls_.notify_all();
    // A call in progress ends with its answer or its time-out, which the
    // bus thread delivers: the worker goes before the bus thread. A
    // subscription still open ends with the connection.
    worker_.join();
    connection_->leaveEventLoop();
    manager_.reset();
    slots_.clear();
}

void BluezTransport::read_tree() {
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = generation_;
    }
    try {
        manager_->callMethodAsync("GetManagedObjects")
            .onInterface(kObjectManager)
            .withTimeout(timeout_)
            .uponReplyInvoke([this, generation](const sdbus::Error* error,
                                                std::map<sdbus::ObjectPath, Interfaces> tree) {
                on_tree(generation, error, tree);
            });
    } catch (const sdbus::Error& e) {
        on_tree(generation, &e, {});
    }
}

void BluezTransport::on_tree(std::uint64_t generation, const sdbus::Error* error,
                             const std::map<sdbus::ObjectPath, Interfaces>& tree) {
    if (error) trace("bluez: object tree not read: %s\n", error->getMessage().c_str());
    bool again = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!error && generation == generation_)
            for (const auto& [path, interfaces] : tree) objects_.interfaces_added(path, interfaces_of(interfaces));
        tree_done_ = true;
        // A BlueZ that is stuck for a while is asked again until it answers.
        again = error && generation == generation_ && unanswered(*error) && !stopping_;
    }
    tree_in_.notify_all();
    if (again) read_tree();
    calls_.notify_all();
    update_presence();
}

bool BluezTransport::wait_for_objects() {
    std::unique_lock<std::mutex> lock(mutex_);
    // The call's own time-out answers first; the margin only guards against
    // an answer that never comes.
    tree_in_.wait_for(lock, timeout_ * 2, [this] { return tree_done_; });
    return tree_done_;
}

void BluezTransport::on_object_manager(sdbus::Message& msg) {
    try {
        sdbus::ObjectPath path;
        msg >> path;
        if (msg.getMemberName() == "InterfacesAdded") {
            std::map<std::string, Properties> interfaces;
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
    calls_.notify_all();
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
    if (interface == bluez::kDevice1 || interface == bluez::kGattService1) {
        calls_.notify_all();
        update_presence();
    }
}

void BluezTransport::on_owner_changed(sdbus::Message& msg) {
    std::string name, old_owner, new_owner;
    try {
        msg >> name >> old_owner >> new_owner;
    } catch (const sdbus::Error&) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Whatever the BlueZ that left announced is gone with it, and an
        // answer still owed by it is not taken.
        if (!old_owner.empty()) objects_.service_gone();
        ++generation_;
    }
    trace("bluez: service %s\n", new_owner.empty() ? "gone" : "back");
    // A new BlueZ may have exported its objects before it took the name, so
    // their announcements never reached this match: read its tree.
    if (!new_owner.empty()) read_tree();
    calls_.notify_all();
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
    bool there = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.want_notifications(true);
        there = !objects_.characteristic(bluez::kNotifyUuid, false).empty();
    }
    calls_.notify_all();
    return there;
}

void BluezTransport::close_notifications() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.want_notifications(false);
    }
    calls_.notify_all();
}

void BluezTransport::run_calls() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        calls_.wait(lock, [this] { return stopping_ || objects_.calls_due(); });
        if (stopping_) return;
        // Stops first: a subscription closed and opened again ends before
        // it starts anew.
        for (const std::string& path : objects_.take_stops()) {
            lock.unlock();
            call_characteristic(path, "StopNotify");
            lock.lock();
        }
        const std::string path = objects_.take_start();
        if (path.empty()) continue;
        lock.unlock();
        const std::string error = call_characteristic(path, "StartNotify");
        lock.lock();
        // Unanswered, BlueZ may still subscribe; "in progress" means this
        // connection is subscribed already. Either way values are taken.
        if (error.empty() || error == kUnanswered || error == "org.bluez.Error.InProgress")
            trace("bluez: notifications on\n");
        else
            objects_.start_refused(path);
    }
}

std::string BluezTransport::call_characteristic(const std::string& path, const char* method) {
    try {
        auto proxy = sdbus::createProxy(*connection_, kService, path);
        proxy->callMethod(method).onInterface(bluez::kGattCharacteristic1).withTimeout(timeout_);
    } catch (const sdbus::Error& e) {
        trace("bluez: %s failed: %s\n", method, e.getMessage().c_str());
        return unanswered(e) ? kUnanswered : e.getName();
    }
    return {};
}

}  // namespace vantorel
