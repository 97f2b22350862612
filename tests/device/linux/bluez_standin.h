// SPDX-License-Identifier: GPL-2.0-or-later
// A private system bus (its own dbus-daemon) and a stand-in BlueZ on it: an
// adapter and devices, each with the mouse's service carrying the write and
// notify characteristics. Writes go to a virtual mouse; the test decides
// what is connected, what comes and goes, and what is notified.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sdbus-c++/sdbus-c++.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "device/virtual_mouse.h"

namespace vantorel::testing {

// dbus-daemon with a system-bus configuration that allows everything; the
// address goes to DBUS_SYSTEM_BUS_ADDRESS for everything in this process.
class PrivateSystemBus {
public:
    PrivateSystemBus() {
        std::string dir_template = (std::filesystem::temp_directory_path() / "vantorel-bus-XXXXXX").string();
        if (!::mkdtemp(dir_template.data())) return;
        dir_ = dir_template;
        const std::string config = dir_ + "/system.conf";
        std::ofstream(config) << "<busconfig><type>system</type><listen>unix:dir=" << dir_
                              << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                 "<allow user=\"*\"/><allow own=\"*\"/><allow send_type=\"*\"/>"
                                 "<allow receive_type=\"*\"/></policy></busconfig>\n";
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::execlp("dbus-daemon", "dbus-daemon", ("--config-file=" + config).c_str(), "--nofork",
                     "--print-address=1", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
        ::close(out[0]);
        // Never fall back to the machine's own system bus.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.empty() ? "unix:path=/nonexistent" : address_.c_str(), 1);
    }
    ~PrivateSystemBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& address() const { return address_; }

private:
    std::string dir_;
    std::string address_;
    pid_t pid_ = -1;
};

class StandInBluez {
public:
    static constexpr const char* kMouseModalias = "usb:v045Ep0227d0100";
    static constexpr const char* kOtherModalias = "usb:v045Ep0999d0100";
    struct DeviceSetup {
        std::string name;          // object name under the adapter
        std::string modalias = kMouseModalias;
        bool connected = true;
        bool writable = true;      // the write characteristic has "write"
        bool notifiable = true;    // the notify characteristic has "notify"
        // Until then StartNotify is refused, as BlueZ does before the GATT
        // client is ready.
        bool services_resolved = true;
        bool gatt = true;          // the service and characteristics are exported
    };

    explicit StandInBluez(VirtualMouse& mouse) : mouse_(mouse) { open(); }
    ~StandInBluez() {
        connection_->leaveEventLoop();
        devices_.clear();
    }

    void add(const DeviceSetup& setup, bool announce = false) {
        auto d = std::make_unique<Device>();
        d->setup = setup;
        const std::string path = "/org/bluez/hci0/" + setup.name;
        Device& dev = *d;
        dev.device = sdbus::createObject(*connection_, path);
        dev.device->registerProperty("Modalias").onInterface(kDevice1).withGetter([&dev] { return dev.setup.modalias; });
        dev.device->registerProperty("Connected").onInterface(kDevice1).withGetter([this, &dev] {
            std::lock_guard<std::mutex> lock(mutex_);
            return dev.setup.connected;
        });
        dev.device->registerProperty("ServicesResolved").onInterface(kDevice1).withGetter([this, &dev] {
            std::lock_guard<std::mutex> lock(mutex_);
            return dev.setup.services_resolved;
        });
        dev.device->finishRegistration();
        if (setup.gatt) export_gatt(dev, announce);
        if (announce) dev.device->emitInterfacesAddedSignal();
        devices_[setup.name] = std::move(d);
    }
    // The device's service and characteristics appearing (GATT discovery
    // ending late).
    void export_gatt(const std::string& name) { export_gatt(*devices_.at(name), true); }
    void set_services_resolved(const std::string& name, bool resolved) {
        auto& d = *devices_.at(name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            d.setup.services_resolved = resolved;
        }
        d.device->emitPropertiesChangedSignal(kDevice1, {"ServicesResolved"});
    }
    void remove(const std::string& name) {
        auto& d = *devices_.at(name);
        for (auto* o : {d.notify.get(), d.write.get(), d.service.get(), d.device.get()})
            if (o) o->emitInterfacesRemovedSignal();
        devices_.erase(name);
    }
    // A BlueZ that stops answering (its main loop stuck) and one that goes
    // on; calls made meanwhile wait on the bus and are answered on resume.
    void stall() { connection_->leaveEventLoop(); }
    void resume() { connection_->enterEventLoopAsync(); }
    void set_connected(const std::string& name, bool connected) {
        auto& d = *devices_.at(name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            d.setup.connected = connected;
        }
        d.device->emitPropertiesChangedSignal(kDevice1, {"Connected"});
    }
    // A value notified on the device's notify characteristic; dropped unless
    // someone subscribed.
    void notify(const std::string& name, std::vector<std::uint8_t> value) {
        auto& d = *devices_.at(name);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!d.notifying) return;
            d.value = std::move(value);
        }
        d.notify->emitPropertiesChangedSignal(kChar1, {"Value"});
    }
    // The next write after `count` successful ones finds BlueZ gone.
    void vanish_after_writes(int count) {
        std::lock_guard<std::mutex> lock(mutex_);
        vanish_after_ = count;
    }

    // BlueZ restarting: the running one leaves the bus (if it is still
    // there) with every object, and a new one takes the name and announces
    // the same devices anew, without subscriptions. With name_last the new
    // one exports and announces its devices before it takes the name, so
    // the announcements reach no one who listens to org.bluez.
    void restart(bool name_last = false) {
        std::vector<DeviceSetup> setups;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            vanish_after_ = -1;
            for (const auto& [name, d] : devices_) setups.push_back(d->setup);
        }
        connection_->leaveEventLoop();
        devices_.clear();
        adapter_.reset();
        connection_.reset();
        open(!name_last);
        for (const DeviceSetup& setup : setups) add(setup, true);
        if (name_last) connection_->requestName("org.bluez");
    }

    struct Counts { int writes = 0, start_notify = 0, stop_notify = 0; bool notifying = false; };
    Counts counts(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto& d = *devices_.at(name);
        return {d.writes, d.start_notify, d.stop_notify, d.notifying};
    }

private:
    static constexpr const char* kDevice1 = "org.bluez.Device1";
    static constexpr const char* kService1 = "org.bluez.GattService1";
    static constexpr const char* kChar1 = "org.bluez.GattCharacteristic1";
    struct Device {
        DeviceSetup setup;
        std::unique_ptr<sdbus::IObject> device, service, write, notify;
        std::vector<std::uint8_t> value;
        int writes = 0, start_notify = 0, stop_notify = 0;
        bool notifying = false;
    };

    // A BlueZ on the bus: its name, its object manager and the adapter.
    void open(bool take_name = true) {
        connection_ = take_name ? sdbus::createSystemBusConnection("org.bluez") : sdbus::createSystemBusConnection();
        connection_->addObjectManager("/", sdbus::floating_slot);
        adapter_ = sdbus::createObject(*connection_, "/org/bluez/hci0");
        adapter_->registerProperty("Powered").onInterface("org.bluez.Adapter1").withGetter([] { return true; });
        adapter_->finishRegistration();
        connection_->enterEventLoopAsync();
    }

    void export_gatt(Device& dev, bool announce) {
        const std::string path = "/org/bluez/hci0/" + dev.setup.name;
        dev.service = sdbus::createObject(*connection_, path + "/service0010");
        dev.service->registerProperty("UUID").onInterface(kService1).withGetter([] {
            return std::string("0000fee0-0000-1000-8000-00805f9b34fb");
        });
        dev.service->registerProperty("Device").onInterface(kService1).withGetter([path] { return sdbus::ObjectPath(path); });
        dev.service->finishRegistration();
        dev.write = characteristic(dev, path + "/service0010/char0011", "0000fee3-0000-1000-8000-00805f9b34fb",
                                   dev.setup.writable ? "write" : "read");
        dev.notify = characteristic(dev, path + "/service0010/char0014", "0000fee4-0000-1000-8000-00805f9b34fb",
                                    dev.setup.notifiable ? "notify" : "read");
        if (announce)
            for (auto* o : {dev.service.get(), dev.write.get(), dev.notify.get()}) o->emitInterfacesAddedSignal();
    }

    std::unique_ptr<sdbus::IObject> characteristic(Device& dev, const std::string& path, std::string uuid,
                                                   std::string flag) {
        auto o = sdbus::createObject(*connection_, path);
        const std::string service = path.substr(0, path.rfind('/'));
        o->registerProperty("UUID").onInterface(kChar1).withGetter([uuid] { return uuid; });
        o->registerProperty("Service").onInterface(kChar1).withGetter([service] { return sdbus::ObjectPath(service); });
        o->registerProperty("Flags").onInterface(kChar1).withGetter([flag] { return std::vector<std::string>{"read", flag}; });
        o->registerProperty("Value").onInterface(kChar1).withGetter([this, &dev] {
            std::lock_guard<std::mutex> lock(mutex_);
            return dev.value;
        });
        o->registerMethod("WriteValue").onInterface(kChar1).implementedAs(
            [this, &dev, flag](std::vector<std::uint8_t> value, std::map<std::string, sdbus::Variant> options) {
                if (flag != "write" || options.at("type").get<std::string>() != "request")
                    throw sdbus::Error("org.bluez.Error.NotPermitted", "write not permitted");
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (vanish_after_ >= 0 && total_writes_ == vanish_after_) {
                        connection_->releaseName("org.bluez");
                        throw sdbus::Error("org.bluez.Error.Failed", "gone");
                    }
                    ++dev.writes;
                    ++total_writes_;
                }
                if (mouse_.ble().write(value) != 1) throw sdbus::Error("org.bluez.Error.Failed", "not taken");
            });
        o->registerMethod("StartNotify").onInterface(kChar1).implementedAs([this, &dev, flag] {
            if (flag != "notify") throw sdbus::Error("org.bluez.Error.NotSupported", "no notify");
            std::lock_guard<std::mutex> lock(mutex_);
            if (!dev.setup.services_resolved) throw sdbus::Error("org.bluez.Error.Failed", "Not connected");
            ++dev.start_notify;
            dev.notifying = true;
        });
        o->registerMethod("StopNotify").onInterface(kChar1).implementedAs([this, &dev] {
            std::lock_guard<std::mutex> lock(mutex_);
            ++dev.stop_notify;
            dev.notifying = false;
        });
        o->finishRegistration();
        return o;
    }

    VirtualMouse& mouse_;
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> adapter_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Device>> devices_;
    int vanish_after_ = -1;
    int total_writes_ = 0;
};

}  // namespace vantorel::testing
