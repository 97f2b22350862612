// SPDX-License-Identifier: GPL-2.0-or-later
// Builders for the six configuration reports. Each takes the record (or a
// slot of it) and returns the exact bytes to put on the link. Building has
// no side effects.
//
// Every builder is safe on any record bytes, because a record read from a
// file is used unchanged:
//  - a DPI value outside 0..341 (including negatives) is sent as an empty
//    stage (code 0, flag 0); the range bits of bytes 6 and 7 still follow
//    the plain comparisons;
//  - an unknown function code gives the triple 0, 0, 0;
//  - a slot's macro_action_count above 160 is read as 160;
//  - a macro on a slot index outside 0..17 has block base 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/profile_record.h"

namespace vantorel {

enum ReportType : std::uint8_t {
    kReportStart = 0x0C,
    kReportDpi = 0x04,
    kReportLight = 0x05,
    kReportPolling = 0x06,
    kReportButtons = 0x08,
    kReportMacro = 0x09,
};

inline constexpr std::size_t kStartReportLength = 10;
inline constexpr std::size_t kDpiReportLength = 56;
inline constexpr std::size_t kLightReportLength = 15;
inline constexpr std::size_t kPollingReportLength = 9;
inline constexpr std::size_t kButtonsReportLength = 59;
inline constexpr std::size_t kMacroReportLength = 131;
inline constexpr std::size_t kMaxReportLength = kMacroReportLength;

// One built report: up to 131 bytes, of which `length` are sent.
struct Report {
    std::array<Byte, kMaxReportLength> data{};
    std::size_t length = 0;

    std::span<const Byte> bytes() const { return {data.data(), length}; }
    std::uint8_t type() const { return data[0]; }
    bool operator==(const Report& o) const { return length == o.length && data == o.data; }
};

// First device block of each button's macro: slots 0..6 start at 1, 5, ...,
// 25; slots 7..17 at 0.
inline constexpr std::array<int, 18> kMacroBlockBase = {1, 5, 9, 13, 17, 21, 25, 0, 0,
                                                        0, 0, 0, 0, 0, 0, 0, 0, 0};
int macro_block_base(int slot);
// Blocks between one slot's base and the next: the most one macro may use.
inline constexpr std::size_t kMacroBlocksPerSlot = 4;

// Device triple for a function code; found = false (and 0, 0, 0) for a code
// the device table does not know.
struct DeviceTriple {
    std::uint8_t a = 0, b = 0, c = 0;
    bool operator==(const DeviceTriple&) const = default;
};
DeviceTriple function_device_triple(std::uint8_t function_code, bool* found = nullptr);

// DPI code of a stage value via the 221-entry code table, and the "high
// range" flag of bytes 16..23. Values outside 1..341 give code 0, flag 0.
std::uint8_t dpi_code(std::int32_t v);
std::uint8_t dpi_code_flag(std::int32_t v);

Report build_start_report();
Report build_dpi_report(const ProfileRecord& r);
Report build_light_report(const ProfileRecord& r);
Report build_polling_report(const ProfileRecord& r);
Report build_buttons_report(const ProfileRecord& r);

// One macro block of the slot's macro. `start_index` is where this block
// begins in the slot's actions (0 for the first block) and is advanced past
// the actions the block holds (where the next block begins); `more` tells
// whether another block follows.
Report build_macro_block(ConstSlotRef slot, std::uint8_t block_number, std::size_t& start_index, bool& more,
                         bool may_continue = true);

// All blocks of a slot's macro, in send order, starting at its block base.
std::vector<Report> build_macro_blocks(const ProfileRecord& r, int slot);

// How many of the slot's actions reach the mouse: its action count (read as
// at most 160), or fewer when the macro does not fit its four blocks and the
// last block ends it early.
std::size_t macro_actions_carried(ConstSlotRef slot);

// Unsigned byte sum of [from, to) modulo 65536.
std::uint16_t report_checksum(std::span<const Byte> bytes, std::size_t from, std::size_t to);

}  // namespace vantorel
