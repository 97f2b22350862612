// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/report_sender.h"

#include <algorithm>

#include "core/trace.h"

namespace vantorel {

static_assert(ReportSender::kPartCount * ReportSender::kPieceLength >= kMacroReportLength - 3,
              "three pieces carry bytes 3..130 of a macro block");
static_assert(ReportSender::kPartLength == 4 + ReportSender::kPieceLength);

std::array<std::uint8_t, ReportSender::kPartLength> ReportSender::split_part(std::span<const std::uint8_t> block,
                                                                             int i, ConnectionMode mode) {
    std::array<std::uint8_t, kPartLength> part{};
    part[0] = kReportMacro;
    part[1] = (i == kPartCount - 1 && mode == ConnectionMode::Wireless) ? kShortLastPartByte : kPartLengthByte;
    part[2] = block.size() > 2 ? block[2] : 0;
    part[3] = static_cast<std::uint8_t>(i);
    // Bytes 3..130 of the block, then zeros; a short block reads as zeros.
    const std::size_t end = std::min(block.size(), kMacroReportLength);
    for (std::size_t j = 0; j < kPieceLength; ++j) {
        const std::size_t src = 3 + kPieceLength * static_cast<std::size_t>(i) + j;
        if (src < end) part[4 + j] = block[src];
    }
    return part;
}

SendOutcome ReportSender::transmit(std::span<const std::uint8_t> report) {
    // The link flags are read once: a link that changes during the send
    // does not move the rest of this report to another link.
    const ConnectionMode mode = links_.mode();
    SendOutcome out;
    out.mode = mode;
    if (report.empty()) return out;
    if (cancelled_.load()) {
        out.cancelled = true;
        return out;
    }
    switch (mode) {
        case ConnectionMode::Wired: return send_wired(report);
        case ConnectionMode::Wireless: return send_wireless(report);
        case ConnectionMode::Ble: return send_ble(report);
        case ConnectionMode::None: break;
    }
    trace("report sender: no link up, report 0x%02x not sent\n", report[0]);
    return out;
}

SendOutcome ReportSender::send_wired(std::span<const std::uint8_t> report) {
    SendOutcome out;
    out.mode = ConnectionMode::Wired;
    const std::shared_ptr<WiredDriver> driver = wired_ ? wired_() : nullptr;
    if (!driver) {
        trace("report sender: no wired driver bound\n");
        return out;
    }
    if (report[0] != kReportMacro) {
        observe(out.mode, report);
        const int status = driver->set_feature(report);
        ++out.transmissions;
        if (status == 0) ++out.failed_writes;
        clock_.sleep_for(kWiredPause);
        out.result = status;
        return out;
    }
    // A macro block is too long for one feature report on the cable: three
    // parts, every one of them sent even when an earlier one was refused.
    int status = 0;
    for (int i = 0; i < kPartCount; ++i) {
        const auto part = split_part(report, i, out.mode);
        observe(out.mode, part);
        status = driver->set_feature(part);
        ++out.transmissions;
        if (status != 0) {
            clock_.sleep_for(kWiredPause);
        } else {
            ++out.failed_writes;
        }
    }
    out.result = status;
    return out;
}

SendOutcome ReportSender::send_wireless(std::span<const std::uint8_t> report) {
    SendOutcome out;
    out.mode = ConnectionMode::Wireless;
    const std::shared_ptr<HidDevice> device = command_device_ ? command_device_() : nullptr;
    if (!device) {
        // The receiver is up but its command collection is gone (or not
        // identified yet): there is nothing to write on.
        trace("report sender: no receiver command collection\n");
        return out;
    }
    links_.ack_received.store(0);
    int written = 0;
    auto write = [&](std::span<const std::uint8_t> bytes) {
        observe(out.mode, bytes);
        const int n = device->send_feature_report(bytes);
        ++out.transmissions;
        if (n < 0) {
            ++out.failed_writes;
        } else {
            ++written;
        }
    };

    const bool macro = report[0] == kReportMacro;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        if (links_.ack_received.load() != 0) break;
        if (cancelled_.load()) {
            out.cancelled = true;
            break;
        }
        if (!macro) {
            write(report);
            clock_.sleep_for(kWirelessPause);
            continue;
        }
        // The flag is looked at between passes only, never between parts.
        for (int i = 0; i < kPartCount; ++i) {
            write(split_part(report, i, out.mode));
            clock_.sleep_for(kWirelessPartPause);
        }
    }
    out.acknowledged = links_.ack_received.load() != 0;
    if (!out.acknowledged) {
        trace("report sender: report 0x%02x not acknowledged after %d transmission(s)\n", report[0],
              out.transmissions);
    }
    // Unacknowledged reports still count as sent; a receiver that refused
    // every write did not get the report at all.
    out.result = written > 0 ? 1 : 0;
    return out;
}

SendOutcome ReportSender::send_ble(std::span<const std::uint8_t> report) {
    SendOutcome out;
    out.mode = ConnectionMode::Ble;
    if (report[0] == kReportPolling) {
        out.not_carried = true;
        return out;
    }
    if (!ble_) {
        trace("report sender: no Bluetooth LE transport\n");
        return out;
    }
    observe(out.mode, report);
    const int status = ble_->write(report);
    ++out.transmissions;
    if (status == 0) ++out.failed_writes;
    clock_.sleep_for(kBlePause);
    out.result = status != 0 ? 1 : 0;
    return out;
}

}  // namespace vantorel
