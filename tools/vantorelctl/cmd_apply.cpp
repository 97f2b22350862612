// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl apply [--full] [--simulate[=wired|wireless|ble]] [--trace]
//                   [--profile-file FILE.pro] [--last-applied FILE.pro]
//                   [--wait SECONDS]
//
// Runs one apply of a profile against the mouse, in real time, exactly as
// the desktop program would: the links brought up by the link controller,
// the apply engine on its worker, the report sender with the link's pacing,
// the mouse's acknowledgements coming back through the controller's event
// dispatch. With --simulate the mouse is the virtual one, on the chosen link.
// Then prints what was sent and how the mouse took it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "commands.h"
#include "core/apply_engine.h"
#include "core/hex.h"
#include "core/reports.h"
#include "core/text.h"
#include "device/device_events.h"
#include "device/report_sender.h"
#include "library/transfer.h"
#include "library_access.h"
#include "library_edit.h"
#include "link_session.h"
#include "link_text.h"

namespace vantorel::cli {
namespace {

// Hands each report to the sender and keeps how it went.
class OutcomeSink : public ReportSink {
public:
    explicit OutcomeSink(ReportSender& sender) : sender_(sender) {}
    int send(const Report& report) override {
        SendOutcome out = sender_.transmit(report);
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.push_back({report, out});
        return out.taken() ? 1 : 0;
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

bool went_through(const SendOutcome& o) { return o.taken(); }

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
    double wait = 8.0;
};

// Lays what the mouse changed itself during the apply over the applied
// profile in the library, as the desktop program commits such changes, and
// writes nothing else: the library may have changed meanwhile.
bool keep_device_changes(const ApplyJob& job, const std::vector<ProfileChange>& changes) {
    auto edit = LibraryEdit::open(*job.library);
    if (!edit) {
        std::cout << "mouse's own changes: NOT saved\n";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(edit->store().mutex());
        ProfileLibrary& profiles = edit->store().profiles();
        if (job.profile_index >= profiles.size() ||
            profiles[job.profile_index].profile_name() != job.record.profile_name()) {
            std::cout << "mouse's own changes: NOT saved, the profile was renamed or removed meanwhile\n";
            return false;
        }
        for (const ProfileChange& change : changes) change(profiles[job.profile_index]);
    }
    if (!edit->commit(false, ApplyNeed::None)) return false;
    std::cout << "mouse's own changes: " << changes.size() << " saved in profile " << job.profile_index << '\n';
    return true;
}

}  // namespace

int run_apply_job(const ApplyJob& job) {
    std::string error;
    LinkSession::Options session_options;
    session_options.simulate = simulated_link(job.simulate);
    session_options.profiles = &job.source;
    std::unique_ptr<LinkSession> session = LinkSession::create(session_options, &error);
    if (!session) {
        print_error(error);
        return kExitUsage;
    }
    session->start();

    // A link counts once reports can go over it; the receiver's once the
    // mouse has reported on it.
    const TimePoint wait_start = session->clock().now();
    auto link_up = [&] { return session->usable_link() != ConnectionMode::None; };
    const Millis wait(static_cast<long long>(job.wait * 1000.0 + 0.5));
    // A mouse that is there usually answers at once; say that we wait only
    // when it does not.
    const Millis quiet = std::min(wait, Millis(500));
    if (!session->run_until(link_up, quiet)) {
        const auto reports = session->link_reports();
        if (!job.wait_for_plug &&
            std::none_of(reports.begin(), reports.end(), [](const LinkReport& r) { return r.present; })) {
            print_error("no mouse found: " + missing_mouse_reason(reports, -1));
            session->shutdown();
            return kExitNoMouse;
        }
        std::cerr << "waiting up to " << job.wait << " s for the mouse\n";
        if (!session->run_until(link_up, wait - quiet)) {
            const double waited =
                std::chrono::duration<double>(session->clock().now() - wait_start).count();
            print_error("no mouse found: " + missing_mouse_reason(session->link_reports(), waited));
            session->shutdown();
            return kExitNoMouse;
        }
    }
    const ConnectionMode link = session->usable_link();

    OutcomeSink sink(session->sender());
    std::mutex print_mutex;
    if (job.trace) {
        session->sender().set_observer([&](ConnectionMode mode, std::span<const std::uint8_t> bytes) {
            std::lock_guard<std::mutex> lock(print_mutex);
            std::cout << connection_mode_name(mode) << ' ' << to_hex(bytes) << std::endl;
        });
    }

    // The apply runs on the session's engine, as the desktop program's does;
    // the mouse's events, its acknowledgements among them, come through the
    // link controller's dispatch, and what the mouse changed itself is
    // committed as the desktop program commits it.
    struct Finish : MouseObserver {
        LinkSession& session;
        ApplySummary summary;
        bool finished = false;
        explicit Finish(LinkSession& s) : session(s) {}
        void apply_finished(const ApplySummary& s) override {
            summary = s;
            finished = true;
            session.wake();
        }
    } finish(*session);
    MouseSession& mouse = session->mouse_session();
    mouse.add_observer(&finish);
    mouse.set_report_tap(&sink);
    std::vector<ProfileChange> device_changes;  // the session's loop thread only
    session->set_commit([&device_changes](const ProfileChange& change) { device_changes.push_back(change); });

    session->engine().set_last_applied(job.last_applied);
    if (job.full) session->engine().set_full_apply();
    mouse.request_apply(ApplyWhen::Now);
    session->run_until([&] { return finish.finished; }, Millis(std::chrono::hours(24)));
    session->shutdown();
    mouse.remove_observer(&finish);
    mouse.set_report_tap(nullptr);
    session->set_commit(nullptr);
    session->sender().set_observer(nullptr);
    const ApplySummary& summary = finish.summary;

    const auto sent = sink.sent();
    int transmissions = 0;
    bool all_through = summary.ran;
    for (const auto& [report, out] : sent) {
        transmissions += out.transmissions;
        all_through = all_through && went_through(out);
    }

    std::cout << "link: " << connection_mode_name(link) << '\n';
    std::cout << "profile: " << job.label << " (\"" << to_utf8(job.record.profile_name()) << "\")\n";
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
    // A macro longer than its four blocks hold is cut on the mouse: what the
    // mouse got is then not the profile, whatever else went through.
    bool macro_cut = false;
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        const ConstSlotRef slot = job.record.slot(k);
        if (slot.function_code() != kFunctionMacro) continue;
        const std::size_t carried = macro_actions_carried(slot);
        const std::size_t count = std::min<std::size_t>(slot.macro_action_count(), kMaxMacroActions);
        if (carried >= count) continue;
        std::cout << "macro of button " << k + 1 << " (\"" << to_utf8(slot.macro_name()) << "\"): CUT, only "
                  << carried << " of its " << count << " actions fit the mouse\n";
        macro_cut = true;
        all_through = false;
    }
    if (summary.full && session->mouse()) {
        std::string why;
        if (session->mouse()->holds_exactly(job.record, &why)) {
            std::cout << (macro_cut ? "virtual mouse: holds what was sent, the cut macro included\n"
                                    : "virtual mouse: holds the profile\n");
        } else {
            std::cout << "virtual mouse: differs from the profile: " << why << '\n';
            all_through = false;
        }
    }
    if (!summary.saved) {
        std::cout << "save: failed: " << summary.save_status.message() << '\n';
        all_through = false;
    }
    if (!device_changes.empty() && job.library && !keep_device_changes(job, device_changes)) all_through = false;
    return all_through ? 0 : 1;
}

namespace {

int run_apply(const Options& opts, const GlobalOptions& global) {
    // The profile: a .pro file, or the selected profile of the data
    // folder's library, read once. The apply sends a copy; the library is
    // written only for what the mouse changes itself meanwhile (under the
    // lock and the running program's hold), so a change made by the window
    // or another command during the apply is kept.
    ProfileRecord record;
    std::string profile_label;
    std::optional<std::size_t> profile_index;
    if (!opts.profile_file.empty()) {
        if (Status read = read_profile_file(opts.profile_file, record); !read) {
            print_error(read.message());
            return 2;
        }
        profile_label = opts.profile_file;
    } else {
        std::unique_ptr<ProfileStore> store = open_store(global);
        if (!store) return 2;
        std::lock_guard<std::mutex> lock(store->mutex());
        if (store->profiles().empty()) {
            print_error("the profile library holds no profile");
            return 2;
        }
        record = store->current();
        profile_index = store->selected();
        profile_label = "selected profile of the library";
    }
    ReadOnlySource source(record);
    ProfileRecord base = record;
    if (!opts.last_applied_file.empty()) {
        if (Status read = read_profile_file(opts.last_applied_file, base); !read) {
            print_error(read.message());
            return 2;
        }
    }
    ApplyJob job{source, record, base};
    job.label = profile_label;
    if (profile_index) {
        job.library = &global;
        job.profile_index = *profile_index;
    }
    job.full = opts.full;
    job.simulate = opts.simulate;
    job.trace = opts.trace;
    job.wait = opts.wait;
    return run_apply_job(job);
}

}  // namespace

void register_apply_command(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand(
        "apply", "Run one apply of a profile against the mouse (or the virtual mouse) and show what went over the link");
    auto opts = std::make_shared<Options>();
    cmd->add_flag("--full", opts->full, "Send every section, as after start-up or a profile switch");
    add_simulate_option(cmd, opts->simulate);
    add_wait_option(cmd, opts->wait, "Longest time, in seconds, to wait for a link to the mouse to come up");
    cmd->add_flag("--trace", opts->trace, "Print every transmission as it goes on the link: the link, then the bytes");
    cmd->add_option("--profile-file", opts->profile_file, "Apply this .pro file (one 43,936-byte profile)")
        ->check(CLI::ExistingFile);
    cmd->add_option("--last-applied", opts->last_applied_file,
                    "Take this .pro file as what the mouse last got, so only the differences are sent")
        ->check(CLI::ExistingFile);
    cmd->callback([opts, &global] { global.exit_code = run_apply(*opts, global); });
}

}  // namespace vantorel::cli
