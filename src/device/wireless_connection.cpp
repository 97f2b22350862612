// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/wireless_connection.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <system_error>
#include <thread>
#include <vector>

#include "core/trace.h"

namespace vantorel {
namespace {

std::atomic<int> g_live_reader_threads{0};

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
    return true;
}

// A read error means the node is failing or gone; the reader then waits this
// long (or until it is asked to stop) before it tries again, instead of
// spinning on a read that fails at once.
constexpr std::chrono::milliseconds kReadErrorBackoff{1000};

}  // namespace

bool is_command_collection(const HidDeviceInfo& info) {
    return info.usage_page == kCommandUsagePage && info.usage == 0;
}

bool is_event_collection(const HidDeviceInfo& info) {
    return info.usage_page == kEventUsagePage && info.usage == 0;
}

bool is_windows_device_path(std::string_view path) {
    return path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\");
}

std::string windows_pairing_key(std::string_view path) {
    // Fields are counted from one; the key is the fifth.
    int field = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '&') {
            if (field == 5) return std::string(path.substr(start, i - start));
            ++field;
            start = i + 1;
        }
    }
    return {};
}

std::string receiver_pairing_key(const HidDeviceInfo& info) {
    return is_windows_device_path(info.path) ? windows_pairing_key(info.path) : info.pairing_key;
}

bool pairing_keys_match(std::string_view a, std::string_view b) { return equal_ignoring_case(a, b); }

struct WirelessConnection::Reader {
    WirelessConnection* owner = nullptr;  // used only while `stop` is not set
    int index = -1;
    std::shared_ptr<HidDevice> device;
    int read_timeout_ms = 0;
    // Held while a report is handled. Once `stop` is set under it the reader
    // touches nothing but its own device and this object, so a reader that
    // outlives its wait can be left to finish on its own.
    std::mutex mutex;
    std::condition_variable cv;
    bool stop = false;
    bool done = false;
    std::thread thread;
};

WirelessConnection::WirelessConnection(HidBackend& hid, Executor& executor, DeviceEvents& events)
    : WirelessConnection(hid, executor, events, Options{}) {}

WirelessConnection::WirelessConnection(HidBackend& hid, Executor& executor, DeviceEvents& events, Options options)
    : hid_(hid),
      guard_(executor),
      arrival_timer_(executor, "receiver arrival", [this] { OnArrivalTimer(); }),
      events_(events),
      options_(options) {}

WirelessConnection::~WirelessConnection() { StopReaders(); }

int WirelessConnection::live_reader_threads() { return g_live_reader_threads.load(); }

// ---------------------------------------------------------------------------
// Enumeration

void WirelessConnection::OpenWirelessDevices() {
    StopReaders();
    {
        // Dropping the table references closes every handle except the
        // command device the sender still holds; it stays open until a new
        // identification replaces it.
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.fill(Entry{});
        event_entries_.fill(Entry{});
        event_states_.fill(EventState::Undecided);
        active_ = Entry{};
        command_count_ = 0;
        event_count_ = 0;
    }

    // hidapi lists one element per top-level collection, and several
    // collections may live on one node (one path): such a node is opened once
    // and its entries share the handle.
    std::map<std::string, std::shared_ptr<HidDevice>> opened;
    auto open_node = [&](const std::string& path) -> std::shared_ptr<HidDevice> {
        auto it = opened.find(path);
        if (it != opened.end()) return it->second;
        auto device = hid_.open_path(path);
        if (device) opened.emplace(path, device);
        return device;
    };

    std::array<Entry, kMaxCollections> commands;
    std::array<Entry, kMaxCollections> events;
    int command_count = 0;
    int event_count = 0;
    const std::vector<HidDeviceInfo> infos = hid_.enumerate(kVendorId, kReceiverProductId);
    std::map<std::string, int> collections_on_node;
    for (const HidDeviceInfo& info : infos) ++collections_on_node[info.path];
    for (const HidDeviceInfo& info : infos) {
        const bool command = is_command_collection(info);
        const bool event = is_event_collection(info);
        if (!command && !event) continue;  // another page, or another usage of ours
        auto& table = command ? commands : events;
        int& count = command ? command_count : event_count;
        if (count == kMaxCollections) {
            trace("receiver: table full, collection %s ignored", info.path.c_str());
            continue;
        }
        if (event) {
            // A node delivers all its input reports to every reader of it:
            // a second event collection on a node already read adds nothing.
            bool known = false;
            for (int i = 0; i < count; ++i) known = known || table[static_cast<std::size_t>(i)].path == info.path;
            if (known) continue;
        }
        auto device = open_node(info.path);
        if (!device) {
            trace("receiver: cannot open %s", info.path.c_str());
            continue;
        }
        Entry& e = table[static_cast<std::size_t>(count)];
        (command ? e.command_device : e.event_device) = device;
        e.path = info.path;
        e.index = count;
        e.pairing_key = receiver_pairing_key(info);
        e.shared_node = collections_on_node[info.path] > 1;
        ++count;
    }
    trace("receiver: %d command and %d event collections", command_count, event_count);

    {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_ = std::move(commands);
        event_entries_ = std::move(events);
        command_count_ = command_count;
        event_count_ = event_count;
    }
    for (int i = 0; i < event_count; ++i) start_reader(i);
}

void WirelessConnection::OnReceiverArrival() {
    // Each further arrival within the second restarts it, so a receiver that
    // shows up as several nodes is enumerated once, after its last node.
    arrival_timer_.start(kArrivalSettleMs);
}

void WirelessConnection::OnArrivalTimer() {
    arrival_timer_.stop();
    OpenWirelessDevices();
}

void WirelessConnection::OnWatchdog() {
    events_.StopWatchdog();
    events_.DropWirelessLink();
}

void WirelessConnection::OnNodeRemoved(std::string_view path) {
    if (path.empty()) return;
    std::vector<int> removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int i = 0; i < event_count_; ++i)
            if (!event_entries_[static_cast<std::size_t>(i)].path.empty() &&
                equal_ignoring_case(event_entries_[static_cast<std::size_t>(i)].path, path))
                removed.push_back(i);
    }
    // Readers stop before their handles close.
    for (int i : removed) stop_reader(i);

    bool active_gone = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int i : removed) {
            Entry& e = event_entries_[static_cast<std::size_t>(i)];
            trace("receiver: event collection %s removed", e.path.c_str());
            // The command entry it was paired with holds the handle too.
            for (Entry& c : commands_)
                if (c.event_device && c.event_device == e.event_device) c.event_device.reset();
            e = Entry{};
            event_states_[static_cast<std::size_t>(i)] = EventState::Undecided;
        }
        for (Entry& c : commands_)
            if (!c.path.empty() && equal_ignoring_case(c.path, path)) c = Entry{};
        if (!active_.path.empty() && equal_ignoring_case(active_.path, path)) {
            active_ = Entry{};
            command_device_.reset();  // closes once the sender lets go of it
            active_gone = true;
        }
    }
    if (active_gone) events_.DropWirelessLink();
}

void WirelessConnection::OnWirelessEvent(std::uint16_t event_word, std::uint16_t value_word) {
    // An event read before its receiver was removed or re-enumerated may
    // arrive after that; it must not bring a link back that is gone.
    if (!has_active()) return;
    if ((event_word & 0xFF) == kEventMarker) {
        events_.RestartWatchdog();
        events_.RaiseWirelessLink();
    }
    events_.tap(ConnectionMode::Wireless, DeviceEvent{event_word, value_word});
    events_.DispatchDeviceEvent(event_word, value_word);
}

// ---------------------------------------------------------------------------
// Readers

void WirelessConnection::start_reader(int index) {
    auto reader = std::make_shared<Reader>();
    reader->owner = this;
    reader->index = index;
    reader->read_timeout_ms = options_.read_timeout_ms;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reader->device = event_entries_[static_cast<std::size_t>(index)].event_device;
    }
    if (!reader->device) return;
    ++g_live_reader_threads;  // counted from here, so a started reader is never missed
    try {
        reader->thread = std::thread(&WirelessConnection::WirelessReaderThread, reader);
    } catch (const std::system_error&) {
        --g_live_reader_threads;
        // The collection stays open and unread until the next enumeration.
        trace("Error: Failed to create thread for device %d", index);
        return;
    }
    readers_[static_cast<std::size_t>(index)] = std::move(reader);
}

void WirelessConnection::WirelessReaderThread(std::shared_ptr<Reader> reader) {
    std::array<std::uint8_t, kReportBufferSize> buffer{};
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(reader->mutex);
            if (reader->stop) break;
        }
        if (ReadWirelessReport(*reader, buffer) < 0) {
            std::unique_lock<std::mutex> lock(reader->mutex);
            reader->cv.wait_for(lock, kReadErrorBackoff, [&] { return reader->stop; });
        }
    }
    {
        std::lock_guard<std::mutex> lock(reader->mutex);
        reader->done = true;
    }
    reader->cv.notify_all();
    --g_live_reader_threads;
}

int WirelessConnection::ReadWirelessReport(Reader& reader, std::span<std::uint8_t> buffer) {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    const int n = reader.device->read_timeout(buffer, reader.read_timeout_ms);
    if (n <= 0) return n;
    std::lock_guard<std::mutex> lock(reader.mutex);
    if (reader.stop) return n;
    reader.owner->handle_report(reader.index, buffer.first(std::min<std::size_t>(static_cast<std::size_t>(n), buffer.size())));
    return n;
}

void WirelessConnection::handle_report(int index, std::span<const std::uint8_t> report) {
    const std::uint8_t report_id = report[0];
    const std::uint8_t marker = report.size() > 1 ? report[1] : 0;
    EventState state = EventState::Undecided;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto i = static_cast<std::size_t>(index);
        Entry& own = event_entries_[i];
        if (!own.event_device) return;
        // Pairing: the first command collection with the same key. The first
        // report after pairing decides, once, whether the receiver carries our
        // mouse; a decision holds until the next enumeration.
        for (int c = 0; c < command_count_; ++c) {
            Entry& command = commands_[static_cast<std::size_t>(c)];
            if (!command.command_device || !pairing_keys_match(command.pairing_key, own.pairing_key)) continue;
            command.event_device = own.event_device;
            // On a shared node a report of another collection (a key the
            // mouse sends as a keyboard, say) says nothing about the mouse.
            const bool tells = !own.shared_node || report_id == kEventReportId || marker == kEventMarker;
            if (event_states_[i] == EventState::Undecided && tells) {
                if (marker == kEventMarker) {
                    event_states_[i] = EventState::Mouse;
                    active_ = command;
                    command_device_ = command.command_device;
                    trace("receiver: mouse identified on %s", command.path.c_str());
                } else {
                    event_states_[i] = EventState::Foreign;
                    trace("receiver: %s is not our mouse", own.path.c_str());
                }
            }
            break;
        }
        state = event_states_[i];
    }
    // Only report id 3 carries events. The UI thread restarts the watchdog,
    // raises the link and dispatches; anything without the marker would be
    // ignored there, so it is not posted.
    if (state != EventState::Mouse || report_id != kEventReportId || marker != kEventMarker) return;
    if (auto e = event_from_input_report(report))
        guard_.post([this, e = *e] { OnWirelessEvent(e.event_word, e.value_word); });
}

void WirelessConnection::request_stop(Reader& reader) {
    {
        std::lock_guard<std::mutex> lock(reader.mutex);
        reader.stop = true;
    }
    reader.cv.notify_all();
    if (reader.device) reader.device->interrupt();  // out of a blocking read
}

void WirelessConnection::finish_reader(Reader& reader) {
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(reader.mutex);
        done = reader.cv.wait_for(lock, std::chrono::milliseconds(options_.stop_wait_ms), [&] { return reader.done; });
    }
    if (done) {
        reader.thread.join();
    } else {
        // Still blocked in a read. It owns its device and its state and will
        // touch nothing else once it wakes, so it may end on its own.
        trace("receiver: reader %d did not stop in time", reader.index);
        reader.thread.detach();
    }
}

void WirelessConnection::stop_reader(int index) {
    auto reader = std::move(readers_[static_cast<std::size_t>(index)]);
    if (!reader) return;
    request_stop(*reader);
    finish_reader(*reader);
}

void WirelessConnection::StopReaders() {
    // Ask them all first, so their waits overlap.
    for (auto& r : readers_)
        if (r) request_stop(*r);
    for (auto& r : readers_) {
        if (!r) continue;
        finish_reader(*r);
        r.reset();
    }
}

// ---------------------------------------------------------------------------
// Inspection

std::shared_ptr<HidDevice> WirelessConnection::command_device() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return command_device_;
}

bool WirelessConnection::has_active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !active_.path.empty();
}

int WirelessConnection::command_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return command_count_;
}

int WirelessConnection::event_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return event_count_;
}

WirelessConnection::EventState WirelessConnection::event_state(int index) const {
    if (index < 0 || index >= kMaxCollections) return EventState::Undecided;
    std::lock_guard<std::mutex> lock(mutex_);
    return event_states_[static_cast<std::size_t>(index)];
}

std::string WirelessConnection::active_path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_.path;
}

int WirelessConnection::running_readers() const {
    int n = 0;
    for (const auto& r : readers_) n += r ? 1 : 0;
    return n;
}

}  // namespace vantorel
