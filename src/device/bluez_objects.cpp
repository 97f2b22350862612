// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/bluez_objects.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace vantorel {

namespace {

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), lower_ascii);
    return s;
}

template <typename T>
const T* value_of(const BluezProperties& props, const char* name) {
    const auto it = props.find(name);
    return it == props.end() ? nullptr : std::get_if<T>(&it->second);
}

bool has_flag(const std::vector<std::string>& flags, const char* flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

}  // namespace

bool BluezObjects::is_mouse_modalias(const std::string& modalias) {
    // Vendor id source USB-IF, vendor 0x045E, product 0x0227.
    static constexpr std::string_view kMouse = "usb:v045ep0227";
    return modalias.size() >= kMouse.size() && lower(modalias.substr(0, kMouse.size())) == kMouse;
}

void BluezObjects::apply(Object& object, const std::string& interface, const BluezProperties& props) {
    if (interface == bluez::kDevice1) {
        if (const auto* modalias = value_of<std::string>(props, "Modalias")) object.modalias = *modalias;
        if (!object.modalias) object.modalias = std::string();
        if (const bool* connected = value_of<bool>(props, "Connected")) object.connected = *connected;
        if (const bool* resolved = value_of<bool>(props, "ServicesResolved")) object.services_resolved = *resolved;
    } else if (interface == bluez::kGattService1) {
        if (const auto* device = value_of<BluezObjectPath>(props, "Device")) object.device = device->path;
        if (!object.device) object.device = std::string();
    } else if (interface == bluez::kGattCharacteristic1) {
        if (!object.characteristic) object.characteristic = Characteristic{};
        Characteristic& c = *object.characteristic;
        if (const auto* service = value_of<BluezObjectPath>(props, "Service")) c.service = service->path;
        if (const auto* uuid = value_of<std::string>(props, "UUID")) c.uuid = lower(*uuid);
        if (const auto* flags = value_of<std::vector<std::string>>(props, "Flags")) {
            c.can_write = has_flag(*flags, "write");
            c.can_notify = has_flag(*flags, "notify");
        }
    }
}

void BluezObjects::interfaces_added(const std::string& path, const BluezInterfaces& interfaces) {
    Object& object = objects_[path];
    for (const auto& [name, props] : interfaces) apply(object, name, props);
    retry();
}

void BluezObjects::interfaces_removed(const std::string& path, const std::vector<std::string>& interfaces) {
    const auto it = objects_.find(path);
    if (it == objects_.end()) return;
    for (const std::string& name : interfaces) {
        if (name == bluez::kDevice1) it->second.modalias.reset(), it->second.connected = false;
        if (name == bluez::kGattService1) it->second.device.reset();
        if (name == bluez::kGattCharacteristic1) it->second.characteristic.reset();
    }
    if (subscribed_ == path && !it->second.characteristic) subscribed_.clear();
}

std::optional<std::vector<std::uint8_t>> BluezObjects::properties_changed(const std::string& path,
                                                                          const std::string& interface,
                                                                          const BluezProperties& changed) {
    if (interface == bluez::kGattCharacteristic1) {
        const auto* value = value_of<std::vector<std::uint8_t>>(changed, "Value");
        if (!value || value->size() < bluez::kMinNotifyValue || subscribed_.empty() || subscribed_ != path)
            return std::nullopt;
        return *value;
    }
    if (interface != bluez::kDevice1 && interface != bluez::kGattService1) return std::nullopt;
    const auto it = objects_.find(path);
    if (it == objects_.end()) return std::nullopt;  // only objects the tree announced
    apply(it->second, interface, changed);
    const bool* resolved = value_of<bool>(changed, "ServicesResolved");
    if (interface == bluez::kDevice1 && resolved && *resolved) retry();
    return std::nullopt;
}

void BluezObjects::service_gone() {
    objects_.clear();
    // Nothing to stop: the subscriptions went with the service.
    subscribed_.clear();
    stops_.clear();
    retry();
}

void BluezObjects::want_notifications(bool want) {
    want_ = want;
    if (!want && !subscribed_.empty()) stops_.push_back(subscribed_);
    if (!want) subscribed_.clear();
    retry();
}

std::string BluezObjects::start_due() const {
    if (!want_) return {};
    const std::string path = characteristic(bluez::kNotifyUuid, false);
    if (path.empty() || path == subscribed_ || path == refused_) return {};
    // Before its services are resolved BlueZ refuses to subscribe.
    const auto mouse = objects_.find(mouse_path());
    if (mouse != objects_.end() && mouse->second.services_resolved == false) return {};
    return path;
}

std::string BluezObjects::take_start() {
    std::string path = start_due();
    if (path.empty()) return path;
    if (!subscribed_.empty()) stops_.push_back(subscribed_);
    subscribed_ = path;
    started_at_ = changes_;
    return path;
}

void BluezObjects::start_refused(const std::string& path) {
    if (subscribed_ == path) subscribed_.clear();
    // A change while the call was out may be what it lacked.
    if (changes_ == started_at_) refused_ = path;
}

std::vector<std::string> BluezObjects::take_stops() { return std::exchange(stops_, {}); }

std::string BluezObjects::mouse_path() const {
    // An empty path would read as "no mouse"; BlueZ's paths are never empty.
    for (const auto& [path, object] : objects_)
        if (!path.empty() && object.modalias && object.connected && is_mouse_modalias(*object.modalias)) return path;
    return {};
}

std::string BluezObjects::characteristic(const std::string& uuid, bool want_write) const {
    const std::string mouse = mouse_path();
    if (mouse.empty()) return {};
    for (const auto& [path, object] : objects_) {
        if (!object.characteristic || object.characteristic->uuid != uuid) continue;
        if (want_write ? !object.characteristic->can_write : !object.characteristic->can_notify) continue;
        const auto service = objects_.find(object.characteristic->service);
        if (service != objects_.end() && service->second.device && *service->second.device == mouse) return path;
    }
    return {};
}

}  // namespace vantorel
