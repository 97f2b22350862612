// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/apply_engine.h"

#include <gtest/gtest.h>

#include <set>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/reports.h"

namespace vantorel {
namespace {

// Records every report with the virtual time it was handed over; an
// optional hook runs inside send (on the worker).
class RecordingSink : public ReportSink {
public:
    explicit RecordingSink(ManualClock& clock) : clock_(clock) {}
    int send(const Report& r) override {
        sent.push_back(r);
        at.push_back(clock_.elapsed().count());
        if (hook) hook(r);
        return refuse.count(r.type()) ? 0 : 1;
    }
    std::set<std::uint8_t> refuse;  // report types the mouse does not take
    std::vector<std::uint8_t> types() const {
        std::vector<std::uint8_t> t;
        for (const Report& r : sent) t.push_back(r.type());
        return t;
    }
    std::function<void(const Report&)> hook;
    std::vector<Report> sent;
    std::vector<long> at;

private:
    ManualClock& clock_;
};

// Logs what the engine reports, in order, from its worker.
class EngineLog {
public:
    void attach(ApplyEngine& engine) {
        engine.set_started_callback([this] { add("started"); });
        engine.set_finished_callback([this](const ApplySummary& s) { add(s.ran ? "finished" : "dropped"); });
        engine.set_save_failed_callback([this](const Status&) { add("save failed"); });
    }
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(log_, {});
    }

private:
    void add(std::string s) {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(std::move(s));
    }
    std::mutex mutex_;
    std::vector<std::string> log_;
};

void give_macro(ProfileRecord& r, int slot, int actions, std::uint16_t delay = 10) {
    SlotRef s = r.slot(slot);
    s.set_function_code(kFunctionMacro);
    s.set_macro_repeat_count(1);
    s.set_macro_action_count(static_cast<std::uint16_t>(actions));
    for (int i = 0; i < actions; ++i)
        s.set_macro_action(static_cast<std::size_t>(i),
                           {0x04, static_cast<std::uint8_t>(i % 2 ? kActionRelease : kActionPress), delay});
}

class ApplyEngineTest : public ::testing::Test {
protected:
    ApplyEngineTest() {
        source.current().reset_to_defaults();
        engine.reset_last_applied();
        host.attach(engine);
    }
    ProfileRecord& rec() { return source.current(); }
    // Runs one apply to the end on the worker.
    void apply() {
        engine.request_apply();
        engine.wait_idle();
    }
    // Starts from a state where the mouse holds the current record.
    void settle() {
        apply();
        sink.sent.clear();
        sink.at.clear();
        host.take();
    }

    ManualClock clock;
    MemoryProfileSource source;
    RecordingSink sink{clock};
    std::atomic<bool> link_up{true};
    ApplyEngine engine{source, sink, clock, [this] { return link_up.load(); }};
    EngineLog host;
};

using Types = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Change detection

TEST(ChangeDetection, EachComparedFieldMarksExactlyItsSection) {
    namespace L = profile_layout;
    struct Case {
        std::size_t offset;
        bool ChangeSet::*flag;
    };
    const std::vector<Case> cases = {
        {L::kPollingRateIndex, &ChangeSet::polling},
        {L::kDpiStageIndex, &ChangeSet::dpi},
        {L::kSensorReservedA, &ChangeSet::dpi},
        {L::kLiftOffDistance, &ChangeSet::dpi},
        {L::kSensorReservedB, &ChangeSet::dpi},
        {L::kRippleControl, &ChangeSet::dpi},
        {L::kAngleSnap, &ChangeSet::dpi},
        {L::kDpiValue + 4 * 7, &ChangeSet::dpi},
        {L::kDpiValueY + 4 * 3, &ChangeSet::dpi},     // never sent, still compared
        {L::kDpiStageEnabled + 4 * 6, &ChangeSet::dpi},
        {L::kDpiColor + 4 * 5 + 3, &ChangeSet::dpi},  // the colour's fourth byte counts too
        {L::kLightMode, &ChangeSet::light},
        {L::kLightModeBle, &ChangeSet::light},
        {L::kBreathSpeed, &ChangeSet::light},
        {L::kBrightness, &ChangeSet::light},
        {L::kKeyDebounce, &ChangeSet::light},
        {L::kLightColor + 2, &ChangeSet::light},
        {L::kSleepTimer, &ChangeSet::light},
        {L::kLightOffTimer, &ChangeSet::light},
    };
    ProfileRecord base;
    base.reset_to_defaults();
    for (const Case& c : cases) {
        ProfileRecord edited = base;
        edited.bytes()[c.offset] ^= 0x01;
        ChangeSet want;
        want.*(c.flag) = true;
        EXPECT_EQ(detect_changes(edited, base), want) << "offset " << c.offset;
    }
}

TEST(ChangeDetection, FieldsOutsideEverySectionMarkNothing) {
    namespace L = profile_layout;
    ProfileRecord base;
    base.reset_to_defaults();
    for (std::size_t offset : {L::kMoveMode, L::kProfileName, L::kReservedTextA + 10, L::kReservedTextB,
                               L::kReserved2200, L::kReservedColors + 8, L::kReserved2388}) {
        ProfileRecord edited = base;
        edited.bytes()[offset] ^= 0x40;
        EXPECT_FALSE(detect_changes(edited, base).any()) << "offset " << offset;
    }
}

TEST(ChangeDetection, SlotBytesMarkButtonsAndOnlyMacroFieldsMarkTheMacro) {
    ProfileRecord base;
    base.reset_to_defaults();
    give_macro(base, 3, 6);

    auto check = [&](auto edit, bool macro3, const char* what) {
        ProfileRecord edited = base;
        edit(edited);
        const ChangeSet c = detect_changes(edited, base);
        EXPECT_TRUE(c.buttons) << what;
        EXPECT_FALSE(c.dpi || c.light || c.polling) << what;
        for (int k = 0; k < 18; ++k)
            EXPECT_EQ(c.macros[static_cast<std::size_t>(k)], k == 3 && macro3) << what << ", slot " << k;
    };
    check([](ProfileRecord& r) { r.slot(3).set_function_code(kFunctionClick); }, false, "macro -> click");
    check([](ProfileRecord& r) { r.slot(3).set_macro_name(u"Renamed"); }, false, "macro name");
    check([](ProfileRecord& r) { r.slot(3).set_macro_action_count(5); }, true, "action count: a shortened macro");
    check([](ProfileRecord& r) { r.slot(3).set_macro_library_index(7); }, false, "library index");
    check([](ProfileRecord& r) { r.slot(3).set_macro_play_mode(2); }, true, "play mode");
    check([](ProfileRecord& r) { r.slot(3).set_macro_repeat_count(9); }, true, "repeat count");
    check([](ProfileRecord& r) { r.slot(3).bytes()[slot_layout::kMacroHeaderBytes + 3] = 1; }, true,
          "byte after the header bytes");
    check([](ProfileRecord& r) { r.slot(3).bytes()[slot_layout::kSize - 1] = 1; }, true, "last action byte");
    check([](ProfileRecord& r) { r.slot(20).set_function_code(5); }, false, "slot beyond the buttons");
}

// ---------------------------------------------------------------------------
// One apply

TEST_F(ApplyEngineTest, NothingChangedSendsNothingButSavesAndReportsItsStartAndEnd) {
    settle();
    const int saves = source.saves();
    apply();
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_EQ(source.saves(), saves + 1);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"started", "finished"}));
}

TEST_F(ApplyEngineTest, MoveModeAloneSendsNothingAndIsSavedByThatApply) {
    settle();
    rec().set_move_mode(1);
    const int saves = source.saves();
    apply();
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_EQ(source.saves(), saves + 1);
    EXPECT_EQ(engine.last_applied().move_mode(), 1);
}

TEST_F(ApplyEngineTest, LightModeBleResendsTheSameLightReport) {
    settle();
    const Report before = build_light_report(rec());
    rec().set_light_mode_ble(3);
    apply();
    ASSERT_EQ(sink.types(), Types{kReportLight});
    EXPECT_EQ(sink.sent[0], before);
}

TEST_F(ApplyEngineTest, FullApplySendsEverySectionInOrderThenMacroSlotBySlot) {
    give_macro(rec(), 5, 60);  // two blocks
    give_macro(rec(), 2, 4);
    engine.reset_last_applied();
    ASSERT_EQ(engine.full_apply(), 1);
    apply();
    const Types want = {kReportStart, kReportDpi, kReportLight, kReportPolling, kReportButtons,
                        kReportMacro, kReportMacro, kReportMacro};
    ASSERT_EQ(sink.types(), want);
    // Slot 2 starts at block 9, slot 5 at 21 and continues in 22.
    EXPECT_EQ(sink.sent[5].data[2], 9);
    EXPECT_EQ(sink.sent[6].data[2], 21);
    EXPECT_EQ(sink.sent[7].data[2], 22);
    // Each macro block is followed by its own pause.
    EXPECT_EQ(sink.at[6] - sink.at[5], 500);
    EXPECT_EQ(sink.at[7] - sink.at[6], 500);
    EXPECT_EQ(clock.elapsed().count(), 3 * 500);
    EXPECT_EQ(engine.full_apply(), 0);
    EXPECT_EQ(engine.last_applied(), rec());
}

TEST_F(ApplyEngineTest, MacroToClickOnSlotThreeSendsOnlyTheButtons) {
    give_macro(rec(), 3, 10);
    settle();
    rec().slot(3).set_function_code(kFunctionClick);
    apply();
    ASSERT_EQ(sink.types(), Types{kReportButtons});
    EXPECT_EQ(sink.sent[0].data[3 + 9], 0x02);  // slot 3's triple is now the click's
    EXPECT_EQ(rec().slot(3).macro_action_count(), 10);
}

TEST_F(ApplyEngineTest, TwoChangedMacrosGoEachFromItsOwnBase) {
    give_macro(rec(), 0, 4);
    give_macro(rec(), 1, 4);
    give_macro(rec(), 9, 4);  // unchanged: not sent again
    settle();
    rec().slot(0).set_macro_action(0, {0x05, kActionPress, 20});
    rec().slot(1).set_macro_action(3, {0x06, kActionRelease, 30});
    apply();
    ASSERT_EQ(sink.types(), (Types{kReportButtons, kReportMacro, kReportMacro}));
    EXPECT_EQ(sink.sent[1].data[2], 1);
    EXPECT_EQ(sink.sent[2].data[2], 5);
    EXPECT_EQ(sink.sent[1], build_macro_blocks(rec(), 0)[0]);
}

TEST_F(ApplyEngineTest, ChangedMacroOnASlotWithoutMacroFunctionIsNotSent) {
    give_macro(rec(), 4, 4);
    rec().slot(4).set_function_code(kFunctionClick);
    settle();
    rec().slot(4).set_macro_action(1, {0x07, kActionRelease, 40});
    apply();
    EXPECT_EQ(sink.types(), Types{kReportButtons});
}

// ---------------------------------------------------------------------------
// Requests, links and saving

TEST_F(ApplyEngineTest, EveryRequestRunsOneApplyInTurn) {
    settle();
    EXPECT_TRUE(engine.request_apply());
    EXPECT_TRUE(engine.request_full_apply());
    engine.wait_idle();
    EXPECT_EQ(engine.applies_run(), 3);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"started", "finished", "started", "finished"}));
    EXPECT_EQ(sink.types().front(), kReportStart);  // the second one was full
}

TEST_F(ApplyEngineTest, RequestWithoutLinkIsDroppedAndTheEditWaitsForTheLink) {
    settle();
    const int saves = source.saves();
    link_up = false;
    rec().set_brightness(3);
    apply();
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_EQ(host.take(), std::vector<std::string>{"dropped"});
    EXPECT_EQ(source.saves(), saves);
    EXPECT_EQ(engine.applies_dropped(), 1);
    link_up = true;
    apply();
    EXPECT_EQ(sink.types(), Types{kReportLight});
}

TEST_F(ApplyEngineTest, EditDuringAnApplyIsSentByTheNextOne) {
    settle();
    rec().set_dpi_value(0, 40);
    // While the DPI report is on its way the user moves the brightness slider.
    sink.hook = [&](const Report&) {
        std::lock_guard<std::mutex> lock(source.mutex());
        rec().set_brightness(2);
    };
    apply();
    sink.hook = nullptr;
    ASSERT_EQ(sink.types(), Types{kReportDpi});
    EXPECT_NE(engine.last_applied().brightness(), 2);
    apply();
    ASSERT_EQ(sink.types(), (Types{kReportDpi, kReportLight}));
    EXPECT_EQ(sink.sent[1], build_light_report(rec()));
    EXPECT_EQ(engine.last_applied(), rec());
}

TEST_F(ApplyEngineTest, FullApplyAskedForDuringAnApplyIsKept) {
    settle();
    rec().set_angle_snap(1);
    sink.hook = [&](const Report&) { engine.set_full_apply(); };
    apply();
    sink.hook = nullptr;
    EXPECT_EQ(engine.full_apply(), 1);
    apply();
    EXPECT_EQ(sink.sent[1].type(), kReportStart);
}

// A section the mouse did not take is owed: it goes again with the next
// apply, while what was taken is not sent twice.
TEST_F(ApplyEngineTest, SectionsTheMouseDidNotTakeAreSentAgainAndOnlyThey) {
    struct Case {
        const char* what;
        std::set<std::uint8_t> refused;
        Types first, retry;
    };
    const Case cases[] = {
        {"dpi refused, light taken", {kReportDpi}, {kReportDpi, kReportLight}, {kReportDpi}},
        {"everything taken", {}, {kReportDpi, kReportLight}, {}},
        {"light refused", {kReportLight}, {kReportDpi, kReportLight}, {kReportLight}},
        {"macro block refused", {kReportMacro}, {kReportDpi, kReportLight, kReportButtons, kReportMacro},
         {kReportMacro}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settle();
        ApplySummary last;
        engine.set_finished_callback([&](const ApplySummary& sum) { last = sum; });
        rec().set_brightness(rec().brightness() == 3 ? 2 : 3);
        rec().set_dpi_value(1, rec().dpi_value(1) == 40 ? 41 : 40);
        if (c.refused.count(kReportMacro)) give_macro(rec(), 2, 4, static_cast<std::uint16_t>(rec().dpi_value(1)));
        sink.refuse = c.refused;
        apply();
        EXPECT_EQ(sink.types(), c.first);
        EXPECT_EQ(last.all_taken(), c.refused.empty());
        EXPECT_EQ(last.not_taken.dpi, c.refused.count(kReportDpi) == 1);

        // The mouse takes everything now; nothing else changed.
        sink.refuse.clear();
        sink.sent.clear();
        apply();
        EXPECT_EQ(sink.types(), c.retry);
        EXPECT_TRUE(last.all_taken());
        sink.sent.clear();
        apply();
        EXPECT_TRUE(sink.sent.empty());
        engine.set_finished_callback(nullptr);
    }
}

TEST_F(ApplyEngineTest, FullApplyStaysFullUntilItRanOnALinkAndTheMouseTookItsStart) {
    link_up = false;
    engine.set_full_apply();
    apply();
    EXPECT_EQ(engine.full_apply(), 1);  // dropped: still owed
    link_up = true;
    sink.refuse = {kReportStart};
    apply();
    EXPECT_EQ(engine.full_apply(), 1);
    sink.refuse.clear();
    sink.sent.clear();
    apply();
    EXPECT_EQ(sink.types().front(), kReportStart);
    EXPECT_EQ(engine.full_apply(), 0);
}

TEST_F(ApplyEngineTest, CommitTakesTheRecordAsAppliedAndSaves) {
    settle();
    rec().set_dpi_stage_index(4);  // as written by a DPI event from the mouse
    const int saves = source.saves();
    EXPECT_TRUE(engine.commit());
    EXPECT_EQ(source.saves(), saves + 1);
    EXPECT_EQ(engine.last_applied(), rec());
    apply();
    EXPECT_TRUE(sink.sent.empty());  // never sent back
}

TEST_F(ApplyEngineTest, DeviceChangeCommitKeepsAnEditThatWaitsForItsApply) {
    settle();
    rec().set_brightness(13);  // slider moved; its delayed apply has not run yet
    // Meanwhile the mouse reports a new DPI stage.
    EXPECT_TRUE(engine.commit_device_change([](ProfileRecord& r) { r.set_dpi_stage_index(5); }));
    EXPECT_EQ(rec().dpi_stage_index(), 5);
    EXPECT_EQ(engine.last_applied().dpi_stage_index(), 5);
    apply();
    EXPECT_EQ(sink.types(), Types{kReportLight});  // the edit, and not the stage
    EXPECT_EQ(engine.last_applied(), rec());
}

TEST_F(ApplyEngineTest, DeviceChangeCommittedWhileAnApplySendsIsNotSentBack) {
    settle();
    rec().set_light_color({1, 2, 3});
    sink.hook = [&](const Report&) {
        engine.commit_device_change([](ProfileRecord& r) { r.set_polling_rate_index(1); });
    };
    apply();
    sink.hook = nullptr;
    EXPECT_EQ(sink.types(), Types{kReportLight});
    EXPECT_EQ(engine.last_applied(), rec());
    apply();
    EXPECT_EQ(sink.types(), Types{kReportLight});  // nothing more
}

TEST_F(ApplyEngineTest, SaveFailuresAreReportedNotIgnored) {
    settle();
    std::vector<std::string> failures;
    std::vector<ApplySummary> summaries;
    engine.wait_idle();
    source.set_fail_saves(true);
    rec().set_breath_speed(2);
    // Observers are set while the worker is idle.
    engine.set_save_failed_callback([&](const Status& s) { failures.push_back(s.message()); });
    engine.set_finished_callback([&](const ApplySummary& s) { summaries.push_back(s); });
    apply();
    EXPECT_FALSE(engine.commit());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(engine.last_save_status().to_string(), "I/O error: simulated save failure");
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_FALSE(summaries[0].saved);
    EXPECT_EQ(summaries[0].save_status.to_string(), "I/O error: simulated save failure");
    // The mouse has the values even though the file does not.
    EXPECT_EQ(engine.last_applied().breath_speed(), 2);
}

// ---------------------------------------------------------------------------
// Shutdown

// A sink whose first send blocks until the engine cancels it, like a report
// that the receiver never acknowledges.
class BlockingSink : public ReportSink {
public:
    int send(const Report&) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++sends_;
        in_send_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return cancelled_; });
        return 1;
    }
    void cancel() override {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
        cv_.notify_all();
    }
    void wait_in_send() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return in_send_; });
    }
    int sends() {
        std::lock_guard<std::mutex> lock(mutex_);
        return sends_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool in_send_ = false;
    bool cancelled_ = false;
    int sends_ = 0;
};

TEST(ApplyEngineShutdown, StopEndsAnApplyAfterItsCurrentReportAndStillSaves) {
    ManualClock clock;
    MemoryProfileSource source;
    source.current().reset_to_defaults();
    BlockingSink sink;
    ApplyEngine engine(source, sink, clock, [] { return true; });
    std::vector<ApplySummary> summaries;
    engine.set_finished_callback([&](const ApplySummary& s) { summaries.push_back(s); });
    engine.reset_last_applied();
    engine.request_apply();
    engine.request_apply();  // dropped by the stop
    sink.wait_in_send();
    engine.stop();
    EXPECT_EQ(sink.sends(), 1);
    EXPECT_EQ(source.saves(), 1);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_TRUE(summaries[0].aborted);
    EXPECT_EQ(engine.full_apply(), 1);  // what was not sent goes out next time
    EXPECT_FALSE(engine.request_apply());
    engine.wait_idle();  // returns at once
    engine.stop();       // and again
}

}  // namespace
}  // namespace vantorel
