// SPDX-License-Identifier: GPL-2.0-or-later
// ApplyEngine: keeps the mouse in step with the profile being edited.
//
// The user interface never sends anything itself; every edit asks for an
// apply. The engine runs applies on a worker thread of its own, one at a
// time, in the order they were asked for. An apply compares the edited
// record with a copy of what was last applied, sends the reports of the
// sections that differ, saves the profile library and takes what it sent as
// the new last-applied copy. A full apply (start-up, another profile
// selected, defaults restored, a profile imported) sends every section.
//
// Threads. The edited record, the library and the last-applied copy are
// guarded by ProfileSource::mutex(). An apply snapshots the edited record
// under that lock, compares and sends from the snapshot without holding the
// lock, then saves and takes the snapshot as the last-applied copy under the
// lock again. An edit made while an apply is sending is therefore not lost:
// the next apply finds it. The engine knows no window: whoever runs it hears
// of each apply through the started and finished callbacks (on the worker)
// and carries that to its own thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "core/profile_record.h"
#include "core/profile_source.h"
#include "core/report_sink.h"
#include "core/status.h"

namespace vantorel {

// Which sections of a record differ from the last-applied copy.
struct ChangeSet {
    bool dpi = false;      // DPI and sensor
    bool light = false;    // light and power
    bool polling = false;  // polling rate
    bool buttons = false;  // any byte of the 24 button slots
    std::array<bool, profile_layout::kButtonCount> macros{};  // macro of slot k

    static ChangeSet everything();
    bool any() const;
    ChangeSet& operator|=(const ChangeSet& other);
    bool operator==(const ChangeSet&) const = default;
};

// Compares the edited record with the last-applied copy field by field.
//  - polling: polling_rate_index;
//  - DPI: dpi_stage_index, sensor_reserved_a, lift_off_distance,
//    sensor_reserved_b, ripple_control, angle_snap and the eight
//    dpi_value, dpi_value_y, dpi_stage_enabled and dpi_color entries;
//  - light: light_mode, light_mode_ble, breath_speed, brightness,
//    key_debounce, light_color, sleep_timer, light_off_timer;
//  - buttons: every byte of the button slots (2,464 to the end);
//  - macro k (slots 0..17): macro_play_mode, macro_repeat_count,
//    macro_action_count (a shortened macro goes out again), the four
//    bytes of macro_header_bytes and the byte after them, and the 640 bytes
//    of macro_actions.
// The profile name, the reserved texts and move_mode take part in none.
ChangeSet detect_changes(const ProfileRecord& edited, const ProfileRecord& last_applied);

// What one apply did; handed to the finished callback on the worker.
struct ApplySummary {
    bool ran = false;      // false: dropped because no link was up
    bool full = false;     // sent every section
    bool aborted = false;  // the engine was stopped before every report went out
    ChangeSet changes;
    std::vector<std::uint8_t> report_types;  // each report handed over, in order (every macro block)
    // Sections whose report the mouse did not take; they go again with the
    // next apply. start_not_taken: the full-apply start report.
    ChangeSet not_taken;
    bool start_not_taken = false;
    bool all_taken() const { return !start_not_taken && !not_taken.any(); }
    bool saved = false;
    Status save_status;  // why the save failed, when it did
};

class ApplyEngine {
public:
    using LinkProbe = std::function<bool()>;
    using StartedCallback = std::function<void()>;
    using FinishedCallback = std::function<void(const ApplySummary&)>;
    using SaveFailedCallback = std::function<void(const Status&)>;

    // Pause after each macro block, on top of the link's own pacing.
    static constexpr Millis kMacroBlockPause{500};
    // Starts the worker thread. `any_link_up` says whether a link to the
    // mouse is up; an apply asked for while none is up is dropped. Every
    // reference must outlive the engine.
    ApplyEngine(ProfileSource& source, ReportSink& sink, Clock& clock, LinkProbe any_link_up);
    ~ApplyEngine();
    ApplyEngine(const ApplyEngine&) = delete;
    ApplyEngine& operator=(const ApplyEngine&) = delete;

    // Optional observers; set them before the first apply is asked for. The
    // started callback runs on the worker before an apply sends its first
    // report (not for dropped requests); the finished callback on the worker
    // after every apply request it handled (dropped ones included); the
    // save-failed callback on the thread whose save failed, with the text
    // also in last_save_status().
    void set_started_callback(StartedCallback cb) { on_started_ = std::move(cb); }
    void set_finished_callback(FinishedCallback cb) { on_finished_ = std::move(cb); }
    void set_save_failed_callback(SaveFailedCallback cb) { on_save_failed_ = std::move(cb); }

    // Any thread: queues one apply on the worker. False once the engine has
    // stopped.
    bool request_apply();
    // Any thread: the next apply sends everything, then asks for it.
    bool request_full_apply();

    void set_full_apply() { full_apply_.store(1); }
    int full_apply() const { return full_apply_.load(); }

    // UI thread, after the mouse itself reported a change that was written
    // into the edited record: takes the edited record as the last-applied
    // copy (so the change is never sent back) and saves the library. Takes
    // the source's lock; call it without holding it. False when the save
    // failed (reported as well).
    bool commit();
    // The same for one change the mouse reported, without taking along edits
    // that have not been applied yet: under the lock `change` is applied to
    // the edited record and to the last-applied copy, then the library is
    // saved. An edit still waiting for its apply (a slider moved a moment
    // ago) stays different and is sent by that apply. False when the save
    // failed (reported as well).
    bool commit_device_change(const std::function<void(ProfileRecord&)>& change);
    // Start-up and library load: the last-applied copy becomes a copy of the
    // edited record and the next apply is a full one (the flag stays set
    // until a full apply has run on a link). Takes the lock.
    void reset_last_applied();
    // Takes `record` as what the mouse holds, leaving the full-apply flag
    // alone; for tools that compare against a known state. Takes the lock.
    void set_last_applied(const ProfileRecord& record);
    // A copy of the last-applied record (takes the lock).
    ProfileRecord last_applied() const;

    // The last failed save's status; OK while no save has failed.
    Status last_save_status() const;
    int applies_run() const { return applies_run_.load(); }
    int applies_dropped() const { return applies_dropped_.load(); }

    // Blocks until every queued message is handled and no apply runs. Not
    // from the worker (the callbacks).
    void wait_idle();
    // Ends the worker: an apply in progress stops after the report being
    // sent (the sink is told to give up its repetitions), still saves, and
    // the thread is joined. Queued requests are dropped. Idempotent; not
    // from the worker (the callbacks).
    void stop();

private:
    enum class Job { Apply, Quit };

    bool post_job(Job job);
    void worker_main();
    void run_apply();
    void report_save_failure(Status status);

    ProfileSource& source_;
    ReportSink& sink_;
    Clock& clock_;
    LinkProbe any_link_up_;
    StartedCallback on_started_;
    FinishedCallback on_finished_;
    SaveFailedCallback on_save_failed_;

    std::atomic<int> full_apply_{0};  // 1: the next apply sends everything
    // Guarded by source_.mutex(): the last-applied copy, whether an apply is
    // between its snapshot and its end, and the device changes committed
    // meanwhile.
    std::unique_ptr<ProfileRecord> last_applied_;
    bool applying_ = false;
    std::vector<std::function<void(ProfileRecord&)>> changes_during_apply_;
    ChangeSet owed_;  // sections the mouse did not take, sent with the next apply

    mutable std::mutex error_mutex_;
    Status last_save_status_;

    std::mutex queue_mutex_;
    std::condition_variable queue_cv_;
    std::condition_variable idle_cv_;
    std::deque<Job> queue_;
    bool busy_ = false;
    bool accepting_ = true;
    bool stopped_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<int> applies_run_{0};
    std::atomic<int> applies_dropped_{0};
    std::mutex stop_mutex_;
    std::thread worker_;  // last: starts once everything above exists
};

}  // namespace vantorel
