// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/virtual_mouse.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <shared_mutex>
#include <thread>

#include "core/trace.h"

namespace vantorel {
namespace virtual_mouse_detail {

// The carriers reach the mouse through the anchor, which the mouse clears
// when it goes away; handles that outlive the mouse then reach nothing.
struct Anchor {
    std::shared_mutex mutex;
    VirtualMouse* mouse = nullptr;

    // False when the transmission was lost to a vanishing mouse.
    bool feed(ConnectionMode link, std::span<const std::uint8_t> bytes) {
        std::shared_lock<std::shared_mutex> lock(mutex);
        return mouse ? mouse->feed(link, bytes) : true;
    }
    void deliver(ConnectionMode link, const MouseEvent& event) {
        std::shared_lock<std::shared_mutex> lock(mutex);
        if (mouse) mouse->deliver(link, event);
    }
};

// Input waiting on one open handle of the receiver.
struct HandleQueue {
    bool event_collection = false;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::vector<std::uint8_t>> reports;
    bool dead = false;
    bool interrupted = false;

    void kill() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            dead = true;
        }
        cv.notify_all();
    }
};

struct ReceiverState {
    mutable std::mutex mutex;
    bool plugged = false;
    std::uint64_t generation = 0;  // changes on every unplug
    std::vector<std::weak_ptr<HandleQueue>> queues;
    int open_handles = 0;
    int opens = 0;
};

namespace {

class ReceiverHandle final : public HidDevice {
public:
    ReceiverHandle(std::shared_ptr<ReceiverState> state, std::shared_ptr<Anchor> anchor,
                   std::shared_ptr<HandleQueue> queue, std::uint64_t generation)
        : state_(std::move(state)), anchor_(std::move(anchor)), queue_(std::move(queue)), generation_(generation) {}

    ~ReceiverHandle() override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        --state_->open_handles;
    }

    int read_timeout(std::span<std::uint8_t> buffer, int timeout_ms) override {
        std::unique_lock<std::mutex> lock(queue_->mutex);
        auto ready = [&] { return queue_->dead || queue_->interrupted || !queue_->reports.empty(); };
        if (timeout_ms < 0) {
            queue_->cv.wait(lock, ready);
        } else {
            queue_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
        }
        if (queue_->interrupted) return 0;
        if (queue_->dead) return -1;
        if (queue_->reports.empty()) return 0;
        const std::vector<std::uint8_t> report = std::move(queue_->reports.front());
        queue_->reports.pop_front();
        const std::size_t n = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), n, buffer.begin());
        return static_cast<int>(n);
    }

    void interrupt() override {
        {
            std::lock_guard<std::mutex> lock(queue_->mutex);
            queue_->interrupted = true;
        }
        queue_->cv.notify_all();
    }

    int send_feature_report(std::span<const std::uint8_t> report) override {
        if (queue_->event_collection || report.empty()) return -1;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            if (!state_->plugged || state_->generation != generation_) return -1;
        }
        if (!anchor_->feed(ConnectionMode::Wireless, report)) return -1;
        return static_cast<int>(report.size());
    }

private:
    std::shared_ptr<ReceiverState> state_;
    std::shared_ptr<Anchor> anchor_;
    std::shared_ptr<HandleQueue> queue_;
    std::uint64_t generation_;
};

}  // namespace
}  // namespace virtual_mouse_detail

using virtual_mouse_detail::Anchor;
using virtual_mouse_detail::HandleQueue;
using virtual_mouse_detail::ReceiverState;

namespace {

std::uint16_t checksum_at(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::size_t expected_length(std::uint8_t type) {
    switch (type) {
        case kReportStart: return kStartReportLength;
        case kReportDpi: return kDpiReportLength;
        case kReportLight: return kLightReportLength;
        case kReportPolling: return kPollingReportLength;
        case kReportButtons: return kButtonsReportLength;
        case kReportMacro: return kMacroReportLength;
        default: return 0;
    }
}

// Where the checksum of each type sits (0 = none).
std::size_t checksum_offset(std::uint8_t type) {
    switch (type) {
        case kReportDpi: return 50;
        case kReportLight: return 11;
        case kReportButtons: return 57;
        case kReportMacro: return 129;
        default: return 0;
    }
}

std::string hex_byte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

Color color_at(std::span<const std::uint8_t> b, std::size_t at) { return Color{b[at], b[at + 1], b[at + 2]}; }

MouseDpiSettings decode_dpi(std::span<const std::uint8_t> b) {
    MouseDpiSettings d;
    d.angle_snap = b[3];
    d.ripple_control = b[4];
    d.enabled_mask = b[5];
    d.mid_range_mask = b[6];
    d.high_range_mask = b[7];
    for (std::size_t k = 0; k < 8; ++k) {
        d.codes[k] = b[8 + k];
        d.high_flags[k] = b[16 + k];
        d.colors[k] = color_at(b, 25 + 3 * k);
    }
    d.stage = b[24];
    return d;
}

MouseLightSettings decode_light(std::span<const std::uint8_t> b) {
    MouseLightSettings l;
    l.effect = static_cast<std::uint8_t>(b[3] >> 4);
    l.sleep_timer = static_cast<std::uint8_t>((b[4] & 0xF0) | (b[5] >> 4));
    l.breath_code = static_cast<std::uint8_t>(b[4] & 0x0F);
    l.level = static_cast<std::uint8_t>(b[5] & 0x0F);
    l.color = color_at(b, 6);
    l.light_off_timer = b[9];
    l.key_debounce = b[10];
    return l;
}

std::array<DeviceTriple, profile_layout::kButtonCount> decode_buttons(std::span<const std::uint8_t> b) {
    std::array<DeviceTriple, profile_layout::kButtonCount> t{};
    for (std::size_t k = 0; k < t.size(); ++k) t[k] = {b[3 + 3 * k], b[4 + 3 * k], b[5 + 3 * k]};
    return t;
}

Report to_report(std::span<const std::uint8_t> bytes) {
    Report r;
    r.length = std::min(bytes.size(), r.data.size());
    std::copy_n(bytes.begin(), r.length, r.data.begin());
    return r;
}

bool is_split_part(std::span<const std::uint8_t> b) {
    return b.size() == 64 && b[0] == kReportMacro && (b[1] == 0x40 || b[1] == 0x0C);
}

bool usb_link(ConnectionMode link) { return link == ConnectionMode::Wired || link == ConnectionMode::Wireless; }

}  // namespace

// ---------------------------------------------------------------------------
// Late answers in real time.

class VirtualMouse::Delayer {
public:
    Delayer() : thread_([this] { run(); }) {}
    ~Delayer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void schedule(Millis delay, std::function<void()> fn) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.emplace(std::chrono::steady_clock::now() + delay, std::move(fn));
        }
        cv_.notify_all();
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (items_.empty()) {
                cv_.wait(lock);
                continue;
            }
            const auto due = items_.begin()->first;
            if (std::chrono::steady_clock::now() < due) {
                cv_.wait_until(lock, due);
                continue;
            }
            auto fn = std::move(items_.begin()->second);
            items_.erase(items_.begin());
            lock.unlock();
            fn();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> items_;
    bool stop_ = false;
    std::thread thread_;  // last
};

// ---------------------------------------------------------------------------
// Receiver

FakeReceiverBackend::FakeReceiverBackend(std::shared_ptr<Anchor> anchor)
    : state_(std::make_shared<ReceiverState>()), anchor_(std::move(anchor)) {}

FakeReceiverBackend::~FakeReceiverBackend() { set_plugged(false); }

std::vector<HidDeviceInfo> FakeReceiverBackend::enumerate(std::uint16_t vendor_id, std::uint16_t product_id) {
    std::vector<HidDeviceInfo> list;
    if (!plugged() || vendor_id != kVendorId || product_id != kReceiverProductId) return list;
    HidDeviceInfo command;
    command.path = kCommandPath;
    command.vendor_id = kVendorId;
    command.product_id = kReceiverProductId;
    command.usage_page = kCommandUsagePage;
    command.usage = 0;
    command.interface_number = 1;
    command.pairing_key = kPairingKey;
    HidDeviceInfo event = command;
    event.path = kEventPath;
    event.usage_page = kEventUsagePage;
    list.push_back(command);
    list.push_back(event);
    return list;
}

std::shared_ptr<HidDevice> FakeReceiverBackend::open_path(const std::string& path) {
    const bool command = path == kCommandPath;
    if (!command && path != kEventPath) return nullptr;
    auto queue = std::make_shared<HandleQueue>();
    queue->event_collection = !command;
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->plugged) return nullptr;
    std::erase_if(state_->queues, [](const std::weak_ptr<HandleQueue>& q) { return q.expired(); });
    state_->queues.push_back(queue);
    ++state_->open_handles;
    ++state_->opens;
    return std::make_shared<virtual_mouse_detail::ReceiverHandle>(state_, anchor_, queue, state_->generation);
}

bool FakeReceiverBackend::plugged() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->plugged;
}

int FakeReceiverBackend::open_handles() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->open_handles;
}

int FakeReceiverBackend::opens() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->opens;
}

void FakeReceiverBackend::set_plugged(bool plugged) {
    std::vector<std::shared_ptr<HandleQueue>> dying;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->plugged == plugged) return;
        state_->plugged = plugged;
        if (plugged) return;
        ++state_->generation;
        for (auto& weak : state_->queues)
            if (auto q = weak.lock()) dying.push_back(std::move(q));
        state_->queues.clear();
    }
    for (auto& q : dying) q->kill();
}

void FakeReceiverBackend::push_input(std::span<const std::uint8_t> report) {
    std::vector<std::shared_ptr<HandleQueue>> targets;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (!state_->plugged) return;
        for (auto& weak : state_->queues)
            if (auto q = weak.lock(); q && q->event_collection) targets.push_back(std::move(q));
    }
    for (auto& q : targets) {
        {
            std::lock_guard<std::mutex> lock(q->mutex);
            q->reports.emplace_back(report.begin(), report.end());
        }
        q->cv.notify_all();
    }
}

// ---------------------------------------------------------------------------
// Cable

FakeWiredDriver::FakeWiredDriver(std::shared_ptr<Anchor> anchor) : anchor_(std::move(anchor)) {}

void FakeWiredDriver::set_vid_pid(int vendor_id, int product_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    vendor_id_ = vendor_id;
    product_id_ = product_id;
}

void FakeWiredDriver::open_dev_monitor(VantorelWindow window, int event_message, int attach_message) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    event_message_ = event_message;
    attach_message_ = attach_message;
    monitoring_ = window.post != nullptr;
}

void FakeWiredDriver::close_dev_monitor() {
    std::lock_guard<std::mutex> lock(mutex_);
    monitoring_ = false;
    window_ = VantorelWindow{};
}

int FakeWiredDriver::open_feature_device() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = cable_ && vendor_id_ == kVendorId && product_id_ == kWiredProductId;
    return open_ ? 1 : 0;
}

void FakeWiredDriver::close_feature_device() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
}

int FakeWiredDriver::set_feature(std::span<const std::uint8_t> report) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!open_ || report.empty()) return 0;
    }
    return anchor_->feed(ConnectionMode::Wired, report) ? 1 : 0;
}

bool FakeWiredDriver::cable_plugged() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cable_;
}

bool FakeWiredDriver::monitoring() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return monitoring_;
}

bool FakeWiredDriver::feature_device_open() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void FakeWiredDriver::set_cable(bool plugged) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cable_ == plugged) return;
    cable_ = plugged;
    if (!plugged) open_ = false;
    // Posting never blocks; holding the lock keeps close_dev_monitor from
    // returning while a post is under way.
    if (monitoring_) window_.post(window_.target, static_cast<std::uint32_t>(attach_message_), plugged ? 1 : 0, 0);
}

void FakeWiredDriver::post_event(const MouseEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!monitoring_ || !cable_) return;
    const std::uintptr_t word = static_cast<std::uintptr_t>(event[0] | (event[1] << 8));
    const std::intptr_t value = static_cast<std::intptr_t>(event[2] | (event[3] << 8));
    window_.post(window_.target, static_cast<std::uint32_t>(event_message_), word, value);
}

// ---------------------------------------------------------------------------
// Bluetooth LE

FakeBleTransport::FakeBleTransport(std::shared_ptr<Anchor> anchor) : anchor_(std::move(anchor)) {}

int FakeBleTransport::write(std::span<const std::uint8_t> report) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!connected_ || report.empty()) return 0;
    }
    return anchor_->feed(ConnectionMode::Ble, report) ? 1 : 0;
}

void FakeBleTransport::set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

bool FakeBleTransport::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
}

void FakeBleTransport::set_connected(bool connected) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (connected_ == connected) return;
        connected_ = connected;
        if (!connected) subscribed_ = false;
    }
    std::lock_guard<std::mutex> lock(presence_mutex_);
    if (presence_handler_) presence_handler_(connected);
}

bool FakeBleTransport::subscribed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return subscribed_;
}

bool FakeBleTransport::open_notifications() {
    std::lock_guard<std::mutex> lock(mutex_);
    subscribed_ = connected_;
    return subscribed_;
}

void FakeBleTransport::close_notifications() {
    std::lock_guard<std::mutex> lock(mutex_);
    subscribed_ = false;
}

void FakeBleTransport::set_presence_handler(std::function<void(bool)> handler) {
    std::lock_guard<std::mutex> lock(presence_mutex_);
    presence_handler_ = std::move(handler);
}

void FakeBleTransport::notify(const MouseEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connected_ && handler_) handler_(std::span<const std::uint8_t>(event.data(), event.size()));
}

// ---------------------------------------------------------------------------
// The mouse

VirtualMouse::VirtualMouse(Clock& clock)
    : clock_(clock),
      anchor_(std::make_shared<Anchor>()),
      receiver_(std::make_shared<FakeReceiverBackend>(anchor_)),
      wired_(std::make_shared<FakeWiredDriver>(anchor_)),
      ble_(std::make_shared<FakeBleTransport>(anchor_)) {
    std::unique_lock<std::shared_mutex> lock(anchor_->mutex);
    anchor_->mouse = this;
}

VirtualMouse::~VirtualMouse() {
    {
        // Waits for transmissions and late answers in flight.
        std::unique_lock<std::shared_mutex> lock(anchor_->mutex);
        anchor_->mouse = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(delayer_mutex_);
        delayer_.reset();
    }
    receiver_->set_plugged(false);
}

void VirtualMouse::set_answer_mode(AnswerMode mode, Millis delay) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    answer_mode_ = mode;
    answer_delay_ = delay;
}

void VirtualMouse::set_event_tap(EventTap tap) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    tap_ = std::move(tap);
}

std::string VirtualMouse::check_report(std::span<const std::uint8_t> b) {
    if (b.size() < 3) return "report of " + std::to_string(b.size()) + " byte(s) is too short";
    const std::uint8_t type = b[0];
    const std::size_t length = expected_length(type);
    if (length == 0) return "unknown report type " + hex_byte(type);
    const std::uint8_t length_byte = type == kReportMacro ? 0x83 : static_cast<std::uint8_t>(length);
    if (b[1] != length_byte) return "report " + hex_byte(type) + " has length byte " + hex_byte(b[1]);
    if (b.size() < length) return "report " + hex_byte(type) + " is cut short (" + std::to_string(b.size()) + " bytes)";
    // A link may pad a report to its full size; padding is zeros.
    if (std::any_of(b.begin() + static_cast<std::ptrdiff_t>(length), b.end(), [](std::uint8_t v) { return v != 0; }))
        return "report " + hex_byte(type) + " has data after its end";
    if (type != kReportMacro && b[2] != 0x01) return "report " + hex_byte(type) + " has byte 2 = " + hex_byte(b[2]);
    if (const std::size_t at = checksum_offset(type); at != 0) {
        const std::uint16_t want = report_checksum(b, 3, at);
        if (checksum_at(b, at) != want) return "report " + hex_byte(type) + " has a bad checksum";
    }
    if (type == kReportPolling) {
        const std::uint8_t c = b[3];
        if (b[4] != static_cast<std::uint8_t>(0xFF - c)) return "polling report: byte 4 is not the complement";
        if (c != 1 && c != 2 && c != 4 && c != 8) return "polling report: unknown rate code " + hex_byte(c);
    }
    if (type == kReportStart) {
        const Report start = build_start_report();
        if (!std::equal(start.data.begin(), start.data.begin() + kStartReportLength, b.begin()))
            return "full-apply start report has unexpected bytes";
    }
    return {};
}

void VirtualMouse::vanish_after(int transmissions) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    vanish_countdown_ = std::max(transmissions, 0);
}

void VirtualMouse::after_transmissions(int transmissions, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    action_countdown_ = action ? std::max(transmissions, 0) : 0;
    action_ = action_countdown_ > 0 ? std::move(action) : nullptr;
}

bool VirtualMouse::feed(ConnectionMode link, std::span<const std::uint8_t> bytes) {
    std::vector<Answer> answers;
    std::function<void()> action;
    bool vanish = false;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        ++transmissions_;
        vanish = vanish_countdown_ > 0 && --vanish_countdown_ == 0;
        if (!vanish) {
            if (is_split_part(bytes)) {
                take_part(link, bytes, answers);
            } else {
                take_whole(link, bytes, false, answers);
            }
            if (action_countdown_ > 0 && --action_countdown_ == 0) action = std::move(action_);
        }
    }
    if (vanish) {
        trace("virtual mouse: gone from the %s link\n", connection_mode_name(link));
        switch (link) {
            case ConnectionMode::Wireless: receiver_->set_plugged(false); break;
            case ConnectionMode::Wired: wired_->set_cable(false); break;
            case ConnectionMode::Ble: ble_->set_connected(false); break;
            case ConnectionMode::None: break;
        }
        return false;
    }
    for (const Answer& a : answers) answer(a);
    if (action) action();
    return true;
}

void VirtualMouse::refuse(ConnectionMode link, std::span<const std::uint8_t> bytes, std::string problem,
                          std::vector<Answer>& answers) {
    trace("virtual mouse: refused on %s: %s\n", connection_mode_name(link), problem.c_str());
    log_.push_back({link, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), false, std::move(problem)});
    answers.push_back({link, {kEventMarker, kEventAcknowledge, 0x01, 0x00}});
}

void VirtualMouse::take_part(ConnectionMode link, std::span<const std::uint8_t> part, std::vector<Answer>& answers) {
    Assembly& a = assemblies_[link];
    if (!usb_link(link)) {
        a.active = false;
        refuse(link, part, "split macro parts only travel over the cable or the receiver", answers);
        return;
    }
    const int i = part[3];
    const std::uint8_t block = part[2];
    if (i > 2 || (i < 2 && part[1] != 0x40)) {
        a.active = false;
        refuse(link, part, "malformed macro part " + std::to_string(i), answers);
        return;
    }
    if (i == 0) {
        // A first part always starts over, so a repeated pass is taken again.
        a = Assembly{};
        a.active = true;
        a.block = block;
    } else if (!a.active || a.block != block || a.next_part != i) {
        a.active = false;
        refuse(link, part, "macro part " + std::to_string(i) + " of block " + std::to_string(block) + " out of order",
               answers);
        return;
    }
    std::copy_n(part.begin() + 4, 60, a.data.begin() + 60 * i);
    a.next_part = i + 1;
    if (i < 2) return;  // answered once the block is whole
    a.active = false;
    // The third part carries block bytes 123..130 and then zeros only.
    if (std::any_of(a.data.begin() + 128, a.data.end(), [](std::uint8_t v) { return v != 0; })) {
        refuse(link, part, "macro block " + std::to_string(block) + " has data past byte 130", answers);
        return;
    }
    std::array<std::uint8_t, kMacroReportLength> whole{};
    whole[0] = kReportMacro;
    whole[1] = 0x83;
    whole[2] = block;
    std::copy_n(a.data.begin(), kMacroReportLength - 3, whole.begin() + 3);
    take_whole(link, whole, true, answers);
}

void VirtualMouse::take_whole(ConnectionMode link, std::span<const std::uint8_t> bytes, bool reassembled,
                              std::vector<Answer>& answers) {
    std::string problem = check_report(bytes);
    // A macro block is longer than a feature report on the USB links: in one
    // piece it only travels over Bluetooth LE.
    if (problem.empty() && bytes[0] == kReportMacro && usb_link(link) && !reassembled) {
        problem = "a whole macro block cannot travel over the " + std::string(connection_mode_name(link)) + " link";
    }
    if (!problem.empty()) {
        refuse(link, bytes, std::move(problem), answers);
        return;
    }
    store(bytes);
    log_.push_back({link, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), true, {}});
    answers.push_back({link, {kEventMarker, kEventAcknowledge, 0x00, 0x00}});
}

void VirtualMouse::store(std::span<const std::uint8_t> b) {
    switch (b[0]) {
        case kReportStart: ++config_.start_reports; break;
        case kReportDpi: config_.dpi = decode_dpi(b); break;
        case kReportLight: config_.light = decode_light(b); break;
        case kReportPolling: config_.polling_code = b[3]; break;
        case kReportButtons: config_.buttons = decode_buttons(b); break;
        case kReportMacro: config_.macro_blocks[b[2]] = to_report(b.first(kMacroReportLength)); break;
        default: break;
    }
}

void VirtualMouse::answer(const Answer& a) {
    AnswerMode mode;
    Millis delay;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        mode = answer_mode_;
        delay = answer_delay_;
    }
    switch (mode) {
        case AnswerMode::Silent: return;
        case AnswerMode::Prompt: deliver(a.link, a.event); return;
        case AnswerMode::Late: break;
    }
    std::shared_ptr<Anchor> anchor = anchor_;
    auto later = [anchor, a] { anchor->deliver(a.link, a.event); };
    if (auto* manual = dynamic_cast<ManualClock*>(&clock_)) {
        manual->schedule(delay, std::move(later));
        return;
    }
    std::lock_guard<std::mutex> lock(delayer_mutex_);
    if (!delayer_) delayer_ = std::make_unique<Delayer>();
    delayer_->schedule(delay, std::move(later));
}

void VirtualMouse::deliver(ConnectionMode link, const MouseEvent& event) {
    EventTap tap;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        tap = tap_;
    }
    if (tap) tap(link, event);
    switch (link) {
        case ConnectionMode::Wireless: {
            const std::array<std::uint8_t, 5> report = {kEventReportId, event[0], event[1], event[2], event[3]};
            receiver_->push_input(report);
            break;
        }
        case ConnectionMode::Wired: wired_->post_event(event); break;
        case ConnectionMode::Ble: ble_->notify(event); break;
        case ConnectionMode::None: break;
    }
}

MouseConfig VirtualMouse::config() const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return config_;
}

MouseConfig VirtualMouse::expected_config(const ProfileRecord& record) {
    MouseConfig c;
    c.dpi = decode_dpi(build_dpi_report(record).bytes());
    c.light = decode_light(build_light_report(record).bytes());
    c.polling_code = build_polling_report(record).data[3];
    c.buttons = decode_buttons(build_buttons_report(record).bytes());
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        if (record.slot(k).function_code() != kFunctionMacro) continue;
        // Later slots overwrite blocks they share with earlier ones, as
        // they do on the device.
        for (const Report& block : build_macro_blocks(record, k)) c.macro_blocks[block.data[2]] = block;
    }
    return c;
}

bool VirtualMouse::holds_exactly(const ProfileRecord& record, std::string* why, ConnectionMode link) const {
    const MouseConfig want = expected_config(record);
    const MouseConfig have = config();
    auto fail = [&](std::string text) {
        if (why) *why = std::move(text);
        return false;
    };
    if (!have.dpi) return fail("no DPI report was taken");
    if (have.dpi->stage != want.dpi->stage)
        return fail("DPI stage " + std::to_string(have.dpi->stage) + ", expected " + std::to_string(want.dpi->stage));
    if (*have.dpi != *want.dpi) return fail("DPI settings differ");
    if (!have.light) return fail("no light report was taken");
    if (*have.light != *want.light) return fail("light settings differ");
    if (link != ConnectionMode::Ble && !have.polling_code) return fail("no polling rate report was taken");
    if (link != ConnectionMode::Ble && *have.polling_code != *want.polling_code)
        return fail("polling code " + std::to_string(*have.polling_code) + ", expected " +
                    std::to_string(*want.polling_code));
    if (!have.buttons) return fail("no button report was taken");
    for (std::size_t k = 0; k < want.buttons->size(); ++k)
        if ((*have.buttons)[k] != (*want.buttons)[k]) return fail("button " + std::to_string(k) + " differs");
    for (const auto& [number, block] : want.macro_blocks) {
        auto it = have.macro_blocks.find(number);
        if (it == have.macro_blocks.end()) return fail("macro block " + std::to_string(number) + " missing");
        if (!(it->second == block)) return fail("macro block " + std::to_string(number) + " differs");
    }
    return true;
}

std::vector<ReceivedReport> VirtualMouse::reports() const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return log_;
}

int VirtualMouse::accepted_reports(std::uint8_t type) const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return static_cast<int>(
        std::count_if(log_.begin(), log_.end(), [&](const ReceivedReport& r) { return r.accepted && r.type() == type; }));
}

int VirtualMouse::rejected_reports() const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return static_cast<int>(std::count_if(log_.begin(), log_.end(), [](const ReceivedReport& r) { return !r.accepted; }));
}

int VirtualMouse::transmissions() const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return transmissions_;
}

void VirtualMouse::clear_log() {
    std::lock_guard<std::mutex> lock(state_mutex_);
    log_.clear();
    transmissions_ = 0;
}

ConnectionMode VirtualMouse::event_link() const {
    if (wired_->cable_plugged()) return ConnectionMode::Wired;
    if (receiver_->plugged()) return ConnectionMode::Wireless;
    if (ble_->connected()) return ConnectionMode::Ble;
    return ConnectionMode::None;
}

void VirtualMouse::press_dpi_stage(int stage) {
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        if (config_.dpi && stage >= 1 && stage <= 8) config_.dpi->stage = static_cast<std::uint8_t>(stage);
    }
    emit_event(kEventDpiStage, static_cast<std::uint16_t>(stage));
}

void VirtualMouse::press_polling_rate(std::uint8_t code) {
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        config_.polling_code = code;
    }
    emit_event(kEventPollingRate, code);
}

void VirtualMouse::press_light_effect(int effect) {
    const std::uint8_t e = static_cast<std::uint8_t>(effect & 0x0F);
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        if (config_.light) config_.light->effect = e;
    }
    emit_event(kEventLightEffect, static_cast<std::uint16_t>(e << 4));
}

void VirtualMouse::press_own_button(OwnButton button) {
    constexpr int kLightEffects = 12;
    int stage = 1;
    int mask = 0;
    int effect = 0;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        if (config_.dpi) {
            stage = std::clamp<int>(config_.dpi->stage, 1, 8);
            mask = config_.dpi->enabled_mask;
        }
        if (config_.light) effect = config_.light->effect;
    }
    if (button == OwnButton::Light) return press_light_effect((effect + 1) % kLightEffects);
    if (mask == 0) mask = 0xFF;  // nothing received yet: all eight stages
    int next = stage;
    do {
        next = next % 8 + 1;
    } while (!(mask & (1 << (next - 1))) && next != stage);
    press_dpi_stage(next);
}

void VirtualMouse::report_battery(std::uint8_t state, std::uint8_t percent) {
    emit_event(kEventBattery, static_cast<std::uint16_t>(state | (percent << 8)));
}

void VirtualMouse::emit_event(std::uint8_t code, std::uint16_t value) { emit_event(event_link(), code, value); }

void VirtualMouse::emit_event(ConnectionMode link, std::uint8_t code, std::uint16_t value) {
    deliver(link, {kEventMarker, code, static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

}  // namespace vantorel
