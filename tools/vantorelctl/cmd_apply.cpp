// vantorelctl apply [--full] --simulate[=wired|wireless|ble] [--trace]
//                   [--profile-file FILE.pro] [--last-applied FILE.pro]
//
// Runs one apply of a profile against the virtual mouse, over the chosen
// link and in real time, exactly as the desktop program would: the apply
// engine on its worker, the report sender with the link's pacing, the
// mouse's acknowledgements coming back through the link's own carrier.
// Then prints what was sent and how the mouse took it.
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "commands.h"
#include "core/apply_engine.h"
#include "core/event_loop.h"
#include "core/hex.h"
#include "core/messages.h"
#include "core/text.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"
#include "library_access.h"

namespace vantorel::cli {
namespace {

bool load_profile(const std::string& path, ProfileRecord& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return false;
    }
    std::vector<Byte> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read '" + path + "'";
        return false;
    }
    if (!out.assign(bytes)) {
        error = "'" + path + "' is " + std::to_string(bytes.size()) + " bytes; a profile file is exactly " +
                std::to_string(ProfileRecord::kSize) + " bytes";
        return false;
    }
    return true;
}

// One record that is only read: an apply's save has nothing to write.
class ReadOnlySource : public ProfileSource {
public:
    explicit ReadOnlySource(const ProfileRecord& r) : record_(r) {}
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override { return record_; }
    bool save(std::string*) override { return true; }

private:
    std::mutex mutex_;
    ProfileRecord record_;
};

// Hands each report to the sender and keeps how it went.
class OutcomeSink : public ReportSink {
public:
    explicit OutcomeSink(ReportSender& sender) : sender_(sender) {}
    int send(const Report& report) override {
        SendOutcome out = sender_.transmit(report);
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.push_back({report, out});
        return out.result;
    }
    void cancel() override { sender_.cancel(); }
    std::vector<std::pair<Report, SendOutcome>> sent() {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }

private:
    ReportSender& sender_;
    std::mutex mutex_;
    std::vector<std::pair<Report, SendOutcome>> sent_;
};

std::optional<ConnectionMode> link_from_name(const std::string& name) {
    if (name == "wired") return ConnectionMode::Wired;
    if (name == "wireless") return ConnectionMode::Wireless;
    if (name == "ble") return ConnectionMode::Ble;
    return std::nullopt;
}

std::string report_name(const Report& r) {
    switch (r.type()) {
        case kReportStart: return "start";
        case kReportDpi: return "dpi";
        case kReportLight: return "light";
        case kReportPolling: return "polling";
        case kReportButtons: return "buttons";
        case kReportMacro: return "macro block " + std::to_string(r.data[2]);
        default: return "report " + to_hex(r.bytes().first(1));
    }
}

// Whether a report reached the mouse as the link can tell: acknowledged on
// the receiver, written on the cable and over Bluetooth LE. A report the
// link does not carry at all is not a failure.
bool went_through(const SendOutcome& o) {
    if (o.not_carried) return true;
    if (o.mode == ConnectionMode::Wireless) return o.acknowledged;
    return o.result != 0 && o.failed_writes == 0;
}

std::string outcome_text(const SendOutcome& o) {
    if (o.not_carried) return "not carried over this link";
    std::string t = std::to_string(o.transmissions) + (o.transmissions == 1 ? " transmission, " : " transmissions, ");
    if (o.mode == ConnectionMode::Wireless) return t + (o.acknowledged ? "acknowledged" : "NOT acknowledged");
    return t + (went_through(o) ? "written" : "NOT written");
}

struct Options {
    bool full = false;
    std::string simulate;
    bool trace = false;
    std::string profile_file;
    std::string last_applied_file;
};

int run_apply(const Options& opts, const GlobalOptions& global) {
    const std::optional<ConnectionMode> link = link_from_name(opts.simulate);
    if (!link) {
        // REAL LINKS: the link controller over the hidapi backend, the wired
        // driver plugin and the Bluetooth LE link plugs in here.
        print_error("apply needs --simulate for now (wired, wireless or ble)");
        return 2;
    }

    // The profile: a .pro file that is only read, or the selected profile of
    // the data folder's library, which the apply saves like the desktop
    // program does.
    std::unique_ptr<ProfileSource> source;
    ProfileRecord record;
    std::string profile_label;
    std::string error;
    if (!opts.profile_file.empty()) {
        if (!load_profile(opts.profile_file, record, error)) {
            print_error(error);
            return 2;
        }
        source = std::make_unique<ReadOnlySource>(record);
        profile_label = opts.profile_file;
    } else {
        std::unique_ptr<ProfileStore> store = open_store(global);
        if (!store) return 2;
        {
            std::lock_guard<std::mutex> lock(store->mutex());
            record = store->current();
        }
        profile_label = "selected profile of the library";
        source = std::move(store);
    }
    ProfileRecord base = record;
    if (!opts.last_applied_file.empty() && !load_profile(opts.last_applied_file, base, error)) {
        print_error(error);
        return 2;
    }

    SteadyClock& clock = SteadyClock::instance();
    EventLoop loop(clock);
    LinkState links;
    VirtualMouse mouse(clock);
    ReportSender sender(links, clock);
    OutcomeSink sink(sender);

    std::mutex print_mutex;
    if (opts.trace) {
        sender.set_observer([&](ConnectionMode mode, std::span<const std::uint8_t> bytes) {
            std::lock_guard<std::mutex> lock(print_mutex);
            std::cout << connection_mode_name(mode) << ' ' << to_hex(bytes) << std::endl;
        });
    }

    // EVENT DISPATCH: until the link controller is wired in, the mouse's
    // events are carried to this loop the way the links carry them, and the
    // acknowledge is the only one acted on.
    VantorelWindow window{&loop, [](void* target, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
                              static_cast<EventLoop*>(target)->post_message(m, w, l);
                              return 1;
                          }};
    std::shared_ptr<HidDevice> command;
    std::shared_ptr<HidDevice> events;
    std::atomic<bool> reading{true};
    std::thread reader;
    switch (*link) {
        case ConnectionMode::Wired: {
            FakeWiredDriver& driver = mouse.wired_driver();
            mouse.plug_cable();
            driver.set_vid_pid(kVendorId, kWiredProductId);
            driver.open_dev_monitor(window, kMsgWiredEvent, kMsgWiredAttach);
            if (driver.open_feature_device()) links.wired_state = kWiredAttached;
            sender.set_wired_driver(&driver);
            break;
        }
        case ConnectionMode::Wireless: {
            mouse.plug_receiver();
            FakeReceiverBackend& backend = mouse.receiver();
            for (const HidDeviceInfo& info : backend.enumerate(kVendorId, kReceiverProductId)) {
                if (info.usage != 0) continue;
                if (info.usage_page == kCommandUsagePage) command = backend.open_path(info.path);
                if (info.usage_page == kEventUsagePage) events = backend.open_path(info.path);
            }
            if (command && events) {
                links.wireless_connected = 1;
                sender.set_command_device_provider([command] { return command; });
                reader = std::thread([&] {
                    std::array<std::uint8_t, 100> buf{};
                    while (reading.load()) {
                        const int n = events->read_timeout(buf, 100);
                        if (n < 0) break;
                        if (n >= 5 && buf[0] == kEventReportId)
                            loop.post_message(kMsgWirelessEvent, static_cast<std::uintptr_t>(buf[1] | (buf[2] << 8)),
                                              static_cast<std::intptr_t>(buf[3] | (buf[4] << 8)));
                    }
                });
            }
            break;
        }
        case ConnectionMode::Ble:
            mouse.connect_ble();
            mouse.ble().set_notify_handler([&loop](std::span<const std::uint8_t> v) {
                if (v.size() < 4) return;
                loop.post_message(kMsgBleEvent, static_cast<std::uintptr_t>(v[0] | (v[1] << 8)),
                                  static_cast<std::intptr_t>(v[2] | (v[3] << 8)));
            });
            links.ble_connected = 1;
            sender.set_ble_transport(&mouse.ble());
            break;
        case ConnectionMode::None: break;
    }

    ApplyEngine engine(*source, sink, loop, clock, [&links] { return links.any(); });
    ApplySummary summary;
    engine.set_finished_callback([&](const ApplySummary& s) {
        summary = s;
        loop.quit();
    });
    loop.set_message_handler([&](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
        if (engine.handle_window_message(m)) return;
        if (m != kMsgWiredEvent && m != kMsgWirelessEvent && m != kMsgBleEvent) return;
        if ((w & 0xFF) != kEventMarker || ((w >> 8) & 0xFF) != kEventAcknowledge) return;
        links.ack_received = (l & 0xFF) == 0 ? 1 : 0;
    });

    if (opts.last_applied_file.empty()) {
        engine.set_last_applied(record);
    } else {
        engine.set_last_applied(base);
    }
    if (opts.full) engine.set_full_apply();
    engine.request_apply();
    loop.run();
    engine.stop();
    reading = false;
    if (reader.joinable()) reader.join();
    mouse.wired_driver().close_dev_monitor();
    mouse.ble().set_notify_handler(nullptr);

    const auto sent = sink.sent();
    int transmissions = 0;
    bool all_through = summary.ran;
    for (const auto& [report, out] : sent) {
        transmissions += out.transmissions;
        all_through = all_through && went_through(out);
    }

    std::cout << "link: " << connection_mode_name(*link) << '\n';
    std::cout << "profile: " << profile_label << " (\"" << to_utf8(record.profile_name()) << "\")\n";
    if (!summary.ran) {
        std::cout << "apply: dropped, no link up\n";
        return 1;
    }
    if (summary.full) {
        std::cout << "apply: full\n";
    } else if (sent.empty()) {
        std::cout << "apply: nothing changed (--full sends everything; --last-applied FILE compares with another "
                     "profile)\n";
    } else {
        std::cout << "apply: changed sections\n";
    }
    std::cout << "reports: " << sent.size() << " (" << transmissions << " transmissions)\n";
    for (const auto& [report, out] : sent) std::cout << "  " << report_name(report) << ": " << outcome_text(out) << '\n';
    if (summary.full) {
        std::string why;
        if (mouse.holds_exactly(record, &why, *link)) {
            std::cout << "virtual mouse: holds the profile\n";
        } else {
            std::cout << "virtual mouse: differs from the profile: " << why << '\n';
            all_through = false;
        }
    }
    if (!summary.saved) {
        std::cout << "save: failed: " << summary.save_error << '\n';
        all_through = false;
    }
    return all_through ? 0 : 1;
}

}  // namespace

void register_apply_command(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand(
        "apply", "Run one apply of a profile against the virtual mouse and show what went over the link");
    auto opts = std::make_shared<Options>();
    cmd->add_flag("--full", opts->full, "Send every section, as after start-up or a profile switch");
    cmd->add_flag("--simulate{wireless}", opts->simulate,
                  "Talk to the virtual mouse over this link: wired, wireless (the default) or ble")
        ->check(CLI::IsMember({"wired", "wireless", "ble"}));
    cmd->add_flag("--trace", opts->trace, "Print every transmission as it goes on the link: the link, then the bytes");
    cmd->add_option("--profile-file", opts->profile_file, "Apply this .pro file (one 43,936-byte profile)")
        ->check(CLI::ExistingFile);
    cmd->add_option("--last-applied", opts->last_applied_file,
                    "Take this .pro file as what the mouse last got, so only the differences are sent")
        ->check(CLI::ExistingFile);
    cmd->callback([opts, &global] { global.exit_code = run_apply(*opts, global); });
}

}  // namespace vantorel::cli
