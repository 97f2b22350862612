// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/apply_engine.h"

#include <algorithm>
#include <cstring>

#include "core/reports.h"
#include "core/trace.h"

namespace vantorel {
namespace {

bool word_differs(const ProfileRecord& a, const ProfileRecord& b, std::size_t offset) {
    return std::memcmp(a.bytes().data() + offset, b.bytes().data() + offset, 4) != 0;
}

bool words_differ(const ProfileRecord& a, const ProfileRecord& b, std::size_t offset, int count) {
    return std::memcmp(a.bytes().data() + offset, b.bytes().data() + offset, 4 * static_cast<std::size_t>(count)) != 0;
}

bool range_differs(const ProfileRecord& a, const ProfileRecord& b, std::size_t offset, std::size_t size) {
    return std::memcmp(a.bytes().data() + offset, b.bytes().data() + offset, size) != 0;
}

// Macro fields of a slot that reach the device in its macro blocks.
constexpr std::size_t kMacroHeaderWord = slot_layout::kMacroHeaderBytes;  // 3 header bytes + 1 reserved
constexpr std::size_t kMacroActionBytes = slot_layout::kMaxActions * kMacroActionSize;
static_assert(kMacroActionBytes == 640);
static_assert(slot_layout::kMacroActions == kMacroHeaderWord + 4);

}  // namespace

ChangeSet& ChangeSet::operator|=(const ChangeSet& o) {
    dpi = dpi || o.dpi;
    light = light || o.light;
    polling = polling || o.polling;
    buttons = buttons || o.buttons;
    for (std::size_t k = 0; k < macros.size(); ++k) macros[k] = macros[k] || o.macros[k];
    return *this;
}

ChangeSet ChangeSet::everything() {
    ChangeSet c;
    c.dpi = c.light = c.polling = c.buttons = true;
    c.macros.fill(true);
    return c;
}

bool ChangeSet::any() const {
    return dpi || light || polling || buttons || std::any_of(macros.begin(), macros.end(), [](bool m) { return m; });
}

ChangeSet detect_changes(const ProfileRecord& edited, const ProfileRecord& applied) {
    namespace L = profile_layout;
    ChangeSet c;
    c.polling = word_differs(edited, applied, L::kPollingRateIndex);

    c.dpi = word_differs(edited, applied, L::kDpiStageIndex) || word_differs(edited, applied, L::kSensorReservedA) ||
            word_differs(edited, applied, L::kLiftOffDistance) || word_differs(edited, applied, L::kSensorReservedB) ||
            word_differs(edited, applied, L::kRippleControl) || word_differs(edited, applied, L::kAngleSnap) ||
            words_differ(edited, applied, L::kDpiValue, L::kStageCount) ||
            words_differ(edited, applied, L::kDpiValueY, L::kStageCount) ||
            words_differ(edited, applied, L::kDpiStageEnabled, L::kStageCount) ||
            words_differ(edited, applied, L::kDpiColor, L::kStageCount);

    c.light = word_differs(edited, applied, L::kLightMode) || word_differs(edited, applied, L::kLightModeBle) ||
              word_differs(edited, applied, L::kBreathSpeed) || word_differs(edited, applied, L::kBrightness) ||
              word_differs(edited, applied, L::kKeyDebounce) || word_differs(edited, applied, L::kLightColor) ||
              word_differs(edited, applied, L::kSleepTimer) || word_differs(edited, applied, L::kLightOffTimer);

    c.buttons = range_differs(edited, applied, L::kButtonSlots, ProfileRecord::kSize - L::kButtonSlots);

    if (c.buttons) {
        // The macro fields live inside the slots, so they can only differ
        // when the slots do.
        for (int k = 0; k < L::kButtonCount; ++k) {
            const std::size_t slot = L::kButtonSlots + slot_layout::kSize * static_cast<std::size_t>(k);
            c.macros[static_cast<std::size_t>(k)] =
                word_differs(edited, applied, slot + slot_layout::kMacroPlayMode) ||
                word_differs(edited, applied, slot + slot_layout::kMacroRepeatCount) ||
                range_differs(edited, applied, slot + slot_layout::kMacroActionCount, 2) ||
                word_differs(edited, applied, slot + kMacroHeaderWord) ||
                range_differs(edited, applied, slot + slot_layout::kMacroActions, kMacroActionBytes);
        }
    }
    return c;
}

ApplyEngine::ApplyEngine(ProfileSource& source, ReportSink& sink, Clock& clock, LinkProbe any_link_up)
    : source_(source),
      sink_(sink),
      clock_(clock),
      any_link_up_(std::move(any_link_up)),
      last_applied_(std::make_unique<ProfileRecord>()) {
    worker_ = std::thread([this] { worker_main(); });
}

ApplyEngine::~ApplyEngine() { stop(); }

bool ApplyEngine::request_apply() { return post_job(Job::Apply); }

bool ApplyEngine::request_full_apply() {
    set_full_apply();
    return request_apply();
}

bool ApplyEngine::post_job(Job job) {
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (!accepting_) return false;
        queue_.push_back(job);
    }
    queue_cv_.notify_one();
    return true;
}

bool ApplyEngine::commit() {
    Status status;
    {
        std::lock_guard<std::mutex> lock(source_.mutex());
        *last_applied_ = source_.current();
        status = source_.save();
    }
    if (!status) report_save_failure(status);
    return status.ok();
}

bool ApplyEngine::commit_device_change(const std::function<void(ProfileRecord&)>& change) {
    Status status;
    {
        std::lock_guard<std::mutex> lock(source_.mutex());
        change(source_.current());
        change(*last_applied_);
        // An apply that is sending now replaces the last-applied copy with
        // its snapshot when it ends; the change is laid over it again then.
        if (applying_) changes_during_apply_.push_back(change);
        status = source_.save();
    }
    if (!status) report_save_failure(status);
    return status.ok();
}

void ApplyEngine::reset_last_applied() {
    std::lock_guard<std::mutex> lock(source_.mutex());
    *last_applied_ = source_.current();
    owed_ = ChangeSet{};
    full_apply_.store(1);
}

void ApplyEngine::set_last_applied(const ProfileRecord& record) {
    std::lock_guard<std::mutex> lock(source_.mutex());
    *last_applied_ = record;
}

ProfileRecord ApplyEngine::last_applied() const {
    std::lock_guard<std::mutex> lock(source_.mutex());
    return *last_applied_;
}

Status ApplyEngine::last_save_status() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return last_save_status_;
}

void ApplyEngine::report_save_failure(Status status) {
    trace("apply engine: saving the profile library failed: %s\n", status.message().c_str());
    // A source that fails without a word still leaves something to show.
    if (status.message().empty()) status = Status::IoError("the profile library could not be saved");
    {
        std::lock_guard<std::mutex> lock(error_mutex_);
        last_save_status_ = status;
    }
    if (on_save_failed_) on_save_failed_(status);
}

void ApplyEngine::wait_idle() {
    std::unique_lock<std::mutex> lock(queue_mutex_);
    idle_cv_.wait(lock, [&] { return (queue_.empty() && !busy_) || stopped_; });
}

void ApplyEngine::stop() {
    std::lock_guard<std::mutex> stop_lock(stop_mutex_);
    if (!worker_.joinable()) return;
    stopping_.store(true);
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        accepting_ = false;
        queue_.clear();
        queue_.push_back(Job::Quit);
    }
    queue_cv_.notify_one();
    // Queued requests are gone; the apply in progress, if any, gives up
    // after the report the sink is sending now.
    sink_.cancel();
    worker_.join();
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        busy_ = false;
        stopped_ = true;
    }
    idle_cv_.notify_all();
}

void ApplyEngine::worker_main() {
    for (;;) {
        Job job = Job::Quit;
        {
            std::unique_lock<std::mutex> lock(queue_mutex_);
            queue_cv_.wait(lock, [&] { return !queue_.empty(); });
            job = queue_.front();
            queue_.pop_front();
            busy_ = true;
        }
        if (job == Job::Quit) return;
        if (!stopping_.load()) {
            if (!any_link_up_ || any_link_up_()) {
                run_apply();
            } else {
                // Nothing is saved and the last-applied copy stays as it is,
                // so the first apply after a link comes up finds the edits.
                applies_dropped_.fetch_add(1);
                trace("apply engine: no link up, apply request dropped\n");
                if (on_finished_) on_finished_(ApplySummary{});
            }
        }
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            busy_ = false;
        }
        idle_cv_.notify_all();
    }
}

void ApplyEngine::run_apply() {
    if (on_started_) on_started_();

    ApplySummary summary;
    summary.ran = true;
    auto snapshot = std::make_unique<ProfileRecord>();
    {
        std::lock_guard<std::mutex> lock(source_.mutex());
        *snapshot = source_.current();
        applying_ = true;
        // Taken, not just read: a full apply asked for while this one sends
        // is kept for the next apply.
        summary.full = full_apply_.exchange(0) != 0;
        if (summary.full) {
            summary.changes = ChangeSet::everything();
        } else {
            summary.changes = detect_changes(*snapshot, *last_applied_);
            summary.changes |= owed_;
        }
    }
    const ProfileRecord& rec = *snapshot;
    const ChangeSet& changes = summary.changes;

    // Whether the mouse took the report; false as well once the engine stops.
    auto send = [&](const Report& report) {
        if (stopping_.load()) {
            summary.aborted = true;
            return false;
        }
        summary.report_types.push_back(report.type());
        return sink_.send(report) != 0;  // the sink paces and repeats
    };
    ChangeSet& failed = summary.not_taken;

    if (summary.full) summary.start_not_taken = !send(build_start_report());
    if (changes.dpi) failed.dpi = !send(build_dpi_report(rec));
    if (changes.light) failed.light = !send(build_light_report(rec));
    if (changes.polling) failed.polling = !send(build_polling_report(rec));
    if (changes.buttons) failed.buttons = !send(build_buttons_report(rec));
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        if (rec.slot(k).function_code() != kFunctionMacro || !changes.macros[static_cast<std::size_t>(k)]) continue;
        for (const Report& block : build_macro_blocks(rec, k)) {
            if (summary.aborted) break;
            // Every block goes out even after one was missed: the mouse keeps
            // the blocks it took, and the whole macro is owed again.
            if (!send(block) && !summary.aborted) failed.macros[static_cast<std::size_t>(k)] = true;
            clock_.sleep_for(kMacroBlockPause);
        }
    }
    if (summary.aborted) {
        // Whatever was not reached is still owed.
        if (summary.full) full_apply_.store(1);
    } else if (summary.start_not_taken) {
        full_apply_.store(1);
    }

    {
        std::lock_guard<std::mutex> lock(source_.mutex());
        summary.save_status = source_.save();
        summary.saved = summary.save_status.ok();
        // What was sent is the snapshot, not the record as it is now: an
        // edit made while sending stays different and goes out next time.
        if (!summary.aborted) {
            *last_applied_ = rec;
            owed_ = failed;
        } else {
            owed_ |= failed;
        }
        for (const auto& change : changes_during_apply_) change(*last_applied_);
        changes_during_apply_.clear();
        applying_ = false;
    }
    if (!summary.saved) {
        report_save_failure(summary.save_status);
    }
    applies_run_.fetch_add(1);
    trace("apply engine: %s apply, %zu report(s)%s%s\n", summary.full ? "full" : "change",
          summary.report_types.size(), summary.aborted ? ", stopped early" : "",
          summary.all_taken() ? "" : ", some not taken by the mouse");
    if (on_finished_) on_finished_(summary);
}

}  // namespace vantorel
