// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/report_sender.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/reports.h"
#include "device/virtual_mouse.h"
#include "test_util.h"

namespace vantorel {
namespace {

struct Transmission {
    ConnectionMode mode;
    std::vector<std::uint8_t> bytes;
    long at;
};

// The sender wired to a virtual mouse, every wait on a ManualClock. The
// mouse's acknowledge reaches the link state the moment it is sent, as the
// event dispatch would set it.
class ReportSenderTest : public ::testing::Test {
protected:
    ReportSenderTest() {
        sender.set_wired_driver(&mouse.wired_driver());
        sender.set_ble_transport(&mouse.ble());
        sender.set_command_device_provider([this] { return command; });
        sender.set_observer([this](ConnectionMode m, std::span<const std::uint8_t> b) {
            sent.push_back({m, {b.begin(), b.end()}, static_cast<long>(clock.elapsed().count())});
        });
        mouse.set_event_tap([this](ConnectionMode, const MouseEvent& e) {
            if (e[1] == kEventAcknowledge) links.ack_received.store(e[2] == 0 ? 1 : 0);
        });
    }
    void cable() {
        mouse.plug_cable();
        mouse.wired_driver().set_vid_pid(kVendorId, kWiredProductId);
        ASSERT_EQ(mouse.wired_driver().open_feature_device(), 1);
        links.wired_state = kWiredAttached;
    }
    void receiver() {
        mouse.plug_receiver();
        command = mouse.receiver().open_path(FakeReceiverBackend::kCommandPath);
        ASSERT_TRUE(command);
        links.wireless_connected = 1;
    }
    void bluetooth() {
        mouse.connect_ble();
        links.ble_connected = 1;
    }
    static Report macro_block(int actions) {
        ProfileRecord r;
        r.reset_to_defaults();
        SlotRef s = r.slot(2);
        s.set_function_code(kFunctionMacro);
        s.set_macro_action_count(static_cast<std::uint16_t>(actions));
        for (int i = 0; i < actions; ++i)
            s.set_macro_action(static_cast<std::size_t>(i), {static_cast<std::uint8_t>(0x04 + i), kActionPress, 5});
        return build_macro_blocks(r, 2).front();
    }
    static Report light() {
        ProfileRecord r;
        r.reset_to_defaults();
        return build_light_report(r);
    }

    ManualClock clock;
    LinkState links;
    VirtualMouse mouse{clock};
    std::shared_ptr<HidDevice> command;
    ReportSender sender{links, clock};
    std::vector<Transmission> sent;
};

// ---------------------------------------------------------------------------
// 2.4 GHz receiver

TEST_F(ReportSenderTest, ReceiverReportAcknowledgedInTheFirstWaitGoesOnce) {
    receiver();
    mouse.set_answer_mode(AnswerMode::Late, Millis(200));
    const SendOutcome out = sender.transmit(light());
    EXPECT_EQ(out.transmissions, 1);
    EXPECT_TRUE(out.acknowledged);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(clock.elapsed().count(), 500);
    EXPECT_EQ(mouse.accepted_reports(kReportLight), 1);
}

TEST_F(ReportSenderTest, ReceiverRepeatsEveryHalfSecondUntilAcknowledgedAtMostTenTimes) {
    receiver();
    links.ack_received = 1;  // left over from an earlier report: cleared first
    mouse.set_answer_mode(AnswerMode::Silent);
    SendOutcome out = sender.transmit(light());
    EXPECT_EQ(out.transmissions, 10);
    EXPECT_FALSE(out.acknowledged);
    EXPECT_EQ(out.result, 1);  // sent, just never acknowledged
    ASSERT_EQ(sent.size(), 10u);
    for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i].at, 500 * static_cast<long>(i));

    sent.clear();
    mouse.set_answer_mode(AnswerMode::Late, Millis(1200));
    out = sender.transmit(light());
    EXPECT_EQ(out.transmissions, 3);  // acknowledged at 1.2 s, seen at 1.5 s
    EXPECT_TRUE(out.acknowledged);
}

TEST_F(ReportSenderTest, ReceiverMacroBlockGoesInPassesOfThreePartsWithAShortThird) {
    receiver();
    const Report block = macro_block(30);
    SendOutcome out = sender.transmit(block);
    ASSERT_EQ(sent.size(), 3u);  // acknowledged once whole: one pass
    for (int i = 0; i < 3; ++i) {
        const auto& b = sent[static_cast<std::size_t>(i)].bytes;
        ASSERT_EQ(b.size(), 64u);
        EXPECT_EQ(b[0], 0x09);
        EXPECT_EQ(b[1], i == 2 ? 0x0C : 0x40);
        EXPECT_EQ(b[2], block.data[2]);
        EXPECT_EQ(b[3], i);
        EXPECT_EQ(sent[static_cast<std::size_t>(i)].at, 1000 * i);
    }
    EXPECT_TRUE(out.acknowledged);
    EXPECT_EQ(clock.elapsed().count(), 3000);
    ASSERT_EQ(mouse.config().macro_blocks.count(block.data[2]), 1u);
    EXPECT_EQ(mouse.config().macro_blocks.at(block.data[2]), block);

    sent.clear();
    mouse.set_answer_mode(AnswerMode::Silent);
    out = sender.transmit(block);
    EXPECT_EQ(out.transmissions, 30);
    EXPECT_FALSE(out.acknowledged);
}

TEST_F(ReportSenderTest, ReceiverLooksAtTheAcknowledgeOnlyBetweenPasses) {
    receiver();
    mouse.set_answer_mode(AnswerMode::Silent);
    clock.schedule(Millis(500), [&] { links.ack_received = 1; });  // during the first part
    const SendOutcome out = sender.transmit(macro_block(3));
    EXPECT_EQ(out.transmissions, 3);
    EXPECT_TRUE(out.acknowledged);
}

TEST_F(ReportSenderTest, ReceiverWithoutAWorkingCommandCollectionReportsNothingSent) {
    links.wireless_connected = 1;  // link flagged, but no collection identified
    SendOutcome out = sender.transmit(light());
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.transmissions, 0);
    EXPECT_EQ(clock.elapsed().count(), 0);

    receiver();
    mouse.unplug_receiver();  // the handle is dead: every write fails
    out = sender.transmit(light());
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.failed_writes, 10);
}

// ---------------------------------------------------------------------------
// Cable

TEST_F(ReportSenderTest, CableSendsOnceAndSplitsMacroBlocksIntoThreeFullParts) {
    cable();
    mouse.set_answer_mode(AnswerMode::Silent);  // nothing is awaited on the cable
    SendOutcome out = sender.transmit(light());
    EXPECT_EQ(out.transmissions, 1);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(clock.elapsed().count(), 200);

    sent.clear();
    const Report block = macro_block(40);
    out = sender.transmit(block);
    ASSERT_EQ(sent.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto& b = sent[static_cast<std::size_t>(i)].bytes;
        EXPECT_EQ(b[1], 0x40);
        EXPECT_EQ(b[3], i);
        EXPECT_EQ(sent[static_cast<std::size_t>(i)].mode, ConnectionMode::Wired);
    }
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(clock.elapsed().count(), 200 + 3 * 200);
    EXPECT_EQ(mouse.config().macro_blocks.at(block.data[2]), block);
}

TEST_F(ReportSenderTest, CableRefusingPartsStillGetsEveryPartWithoutWaits) {
    cable();
    mouse.wired_driver().close_feature_device();  // set_feature now answers 0
    SendOutcome out = sender.transmit(macro_block(4));
    EXPECT_EQ(out.transmissions, 3);
    EXPECT_EQ(out.failed_writes, 3);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(clock.elapsed().count(), 0);
    out = sender.transmit(light());
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(clock.elapsed().count(), 200);  // a whole report is always followed by its wait
}

TEST_F(ReportSenderTest, CableWinsOverReceiverAndBluetoothForTheWholeReport) {
    receiver();
    bluetooth();
    cable();
    ProfileRecord r;
    r.reset_to_defaults();
    for (const Report& rep : {build_start_report(), build_dpi_report(r), build_polling_report(r), macro_block(5)})
        sender.transmit(rep);
    ASSERT_EQ(sent.size(), 6u);
    for (const auto& t : sent) EXPECT_EQ(t.mode, ConnectionMode::Wired);
    EXPECT_EQ(mouse.rejected_reports(), 0);
}

TEST_F(ReportSenderTest, TheLinkIsChosenOnceAtTheStartOfAReport) {
    receiver();
    mouse.set_answer_mode(AnswerMode::Silent);
    links.wired_state = kWiredNeverSeen;
    clock.schedule(Millis(1200), [&] { links.wired_state = kWiredAttached; });
    sender.transmit(light());
    ASSERT_EQ(sent.size(), 10u);
    for (const auto& t : sent) EXPECT_EQ(t.mode, ConnectionMode::Wireless);
}

// ---------------------------------------------------------------------------
// Bluetooth LE and no link

TEST_F(ReportSenderTest, BluetoothWritesWholeReportsAndRefusesThePollingRate) {
    bluetooth();
    ProfileRecord r;
    r.reset_to_defaults();
    SendOutcome out = sender.transmit(build_polling_report(r));
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.not_carried);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(mouse.transmissions(), 0);
    EXPECT_EQ(clock.elapsed().count(), 0);

    const Report block = macro_block(45);
    out = sender.transmit(block);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bytes.size(), 131u);
    EXPECT_EQ(clock.elapsed().count(), 500);
    EXPECT_EQ(mouse.accepted_reports(kReportMacro), 1);

    mouse.disconnect_ble();
    EXPECT_EQ(sender.send(light()), 0);
}

TEST_F(ReportSenderTest, NoLinkSendsNothing) {
    EXPECT_EQ(sender.send(light()), 0);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(clock.elapsed().count(), 0);
}

TEST_F(ReportSenderTest, CancelStopsRepetitionsAfterTheCurrentAttempt) {
    receiver();
    mouse.set_answer_mode(AnswerMode::Silent);
    clock.schedule(Millis(1200), [&] { sender.cancel(); });
    const SendOutcome out = sender.transmit(light());
    EXPECT_EQ(out.transmissions, 3);
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(sender.send(light()), 0);
    sender.resume();
    EXPECT_EQ(sender.send(light()), 0);  // never acknowledged: the mouse did not take it
    mouse.set_answer_mode(AnswerMode::Prompt);
    EXPECT_EQ(sender.send(light()), 1);
}

TEST(SplitPart, PiecesCarryBlockBytesThreeToOneThirtyThenZeros) {
    Report block;
    block.length = kMacroReportLength;
    for (std::size_t i = 0; i < block.length; ++i) block.data[i] = static_cast<std::uint8_t>(i);
    block.data[0] = kReportMacro;
    block.data[2] = 17;
    for (int i = 0; i < 3; ++i) {
        const auto part = ReportSender::split_part(block.bytes(), i, ConnectionMode::Wired);
        EXPECT_EQ(part[2], 17);
        for (std::size_t j = 0; j < 60; ++j) {
            const std::size_t src = 3 + 60 * static_cast<std::size_t>(i) + j;
            EXPECT_EQ(part[4 + j], src <= 130 ? src : 0u) << "part " << i << " byte " << 4 + j;
        }
    }
    EXPECT_EQ(ReportSender::split_part(block.bytes(), 2, ConnectionMode::Wired)[1], 0x40);
    EXPECT_EQ(ReportSender::split_part(block.bytes(), 2, ConnectionMode::Wireless)[1], 0x0C);
}

}  // namespace
}  // namespace vantorel
