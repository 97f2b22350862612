// SPDX-License-Identifier: GPL-2.0-or-later
// The 2.4 GHz link: the USB receiver's HID collections, one reader thread
// per event collection, the identification of the receiver that carries our
// mouse, and the presence of the link.
//
// The receiver shows two kinds of collection: command collections (usage
// page 0x000B, usage 0), on which configuration reports are sent as feature
// reports, and event collections (usage page 0x000A, usage 0), from which
// the mouse's events are read as input reports with report id 3. The
// collections of one receiver interface share a pairing key; an event
// collection is paired with the first command collection of its key, and its
// first report after pairing tells whether the receiver carries our mouse
// (byte 1 is the event marker 0x27) or is some other device. A node that
// also carries keyboard or consumer collections delivers their reports too;
// there only a report with id 3 or with the marker decides, and the others
// are passed over.
//
// Threads. The UI thread (the executor's) enumerates, handles removals,
// timers and the posted events; the reader threads only read, identify and
// post. A reader never touches UI state: it posts each event to the executor
// and the UI thread runs the link-flag change and the dispatch. The tables
// are rebuilt only after every reader has stopped. The command device is
// handed to the report sender as a shared_ptr, so a device the sender may
// still be writing to is never closed under it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "core/executor.h"
#include "device/device_events.h"
#include "device/hid_backend.h"

namespace vantorel {

// Matching rules of the receiver's collections.
bool is_command_collection(const HidDeviceInfo& info);  // usage page 0x000B, usage 0
bool is_event_collection(const HidDeviceInfo& info);    // usage page 0x000A, usage 0
// Windows device paths (\\?\HID#VID_1D57&PID_FA60&MI_01&COL02#8&2A3B&0&0001#{...})
// name the receiver interface in their fifth "&"-separated field; a shorter
// path gives the empty key. Other paths use the key the backend found (on
// Linux the parent USB interface), so the collections of one interface pair
// even when they sit on different nodes.
bool is_windows_device_path(std::string_view path);
std::string windows_pairing_key(std::string_view path);
std::string receiver_pairing_key(const HidDeviceInfo& info);
// Keys are compared ignoring letter case; two empty keys pair.
bool pairing_keys_match(std::string_view a, std::string_view b);

class WirelessConnection {
public:
    static constexpr int kMaxCollections = 20;
    static constexpr std::size_t kReportBufferSize = 100;
    static constexpr int kWatchdogMs = DeviceEvents::kWatchdogMs;
    static constexpr int kArrivalSettleMs = 1000;

    enum class EventState { Undecided, Mouse, Foreign };

    struct Options {
        // Longest a reader blocks in one read; -1: until a report comes or
        // the reader is stopped (the device's interrupt() wakes it), so an
        // idle receiver costs no wake-up at all.
        int read_timeout_ms = -1;
        // Longest the UI thread waits for a reader to end.
        int stop_wait_ms = 1000;
    };

    WirelessConnection(HidBackend& hid, Executor& executor, DeviceEvents& events);
    WirelessConnection(HidBackend& hid, Executor& executor, DeviceEvents& events, Options options);
    ~WirelessConnection();  // stops every reader
    WirelessConnection(const WirelessConnection&) = delete;
    WirelessConnection& operator=(const WirelessConnection&) = delete;

    // --- UI thread ---
    // Stops the readers, closes and empties the tables, enumerates the
    // receiver's collections and starts one reader per event collection.
    void OpenWirelessDevices();
    // A receiver node arrived: enumerate once, 1000 ms after the last of a
    // burst of arrivals.
    void OnReceiverArrival();
    void OnArrivalTimer();
    bool arrival_pending() const { return arrival_timer_.active(); }
    // No event from the mouse for 6 s: the link is lost (the watchdog).
    void OnWatchdog();
    // A receiver node left: its reader stops and its handles close; the
    // link drops when the identified command collection went with it.
    void OnNodeRemoved(std::string_view path);
    // An event posted by a reader.
    void OnWirelessEvent(std::uint16_t event_word, std::uint16_t value_word);
    // Asks every reader to stop and waits for them (window shutdown).
    void StopReaders();

    // --- any thread ---
    // The command collection of the identified receiver, on which the report
    // sender writes; null when none was identified.
    std::shared_ptr<HidDevice> command_device() const;

    // Inspection.
    int command_count() const;
    int event_count() const;
    EventState event_state(int index) const;
    std::string active_path() const;
    int running_readers() const;  // reader slots in use (UI thread)
    // Reader threads alive in the process, detached ones included.
    static int live_reader_threads();

private:
    // HidCollectionEntry: one opened collection of the receiver.
    struct Entry {
        std::shared_ptr<HidDevice> command_device;  // command collections
        std::shared_ptr<HidDevice> event_device;    // event collections; in a command entry, its paired event collection
        std::string path;
        int index = -1;
        std::string pairing_key;
        // The node carries other top-level collections too (on hidraw one
        // node holds every collection of its interface): only reports that
        // can carry the mouse's events decide what it is.
        bool shared_node = false;
    };
    struct Reader;

    // The reader threads touch their owner only while they are not asked to
    // stop, so they are static and reach it through the Reader.
    static void WirelessReaderThread(std::shared_ptr<Reader> reader);
    // One blocking read on the reader's collection and, unless the reader was
    // asked to stop meanwhile, the handling of what it read. Returns the read
    // result.
    static int ReadWirelessReport(Reader& reader, std::span<std::uint8_t> buffer);
    void handle_report(int index, std::span<const std::uint8_t> report);  // under reader.mutex
    void start_reader(int index);
    static void request_stop(Reader& reader);
    void finish_reader(Reader& reader);
    void stop_reader(int index);
    bool has_active() const;

    HidBackend& hid_;
    TaskGuard guard_;
    ExecutorTimer arrival_timer_;
    DeviceEvents& events_;
    Options options_;

    // Guards the tables, the event states, the active entry and the command
    // device: readers identify under it while the UI thread inspects.
    mutable std::mutex mutex_;
    std::array<Entry, kMaxCollections> commands_;  // m_WirelessCommand
    int command_count_ = 0;
    std::array<Entry, kMaxCollections> event_entries_;  // m_WirelessEvent
    int event_count_ = 0;
    std::array<EventState, kMaxCollections> event_states_{};
    Entry active_;                                // m_WirelessActive
    std::shared_ptr<HidDevice> command_device_;  // m_pWirelessCommandDevice

    std::array<std::shared_ptr<Reader>, kMaxCollections> readers_;  // UI thread only
};

}  // namespace vantorel
