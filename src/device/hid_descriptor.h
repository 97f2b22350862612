// SPDX-License-Identifier: GPL-2.0-or-later
// What a HID report descriptor declares about feature reports.
//
// hidraw sends a feature report with exactly the bytes it is handed, while
// the device expects the length its descriptor declares for that report id
// (as the Windows HID stack pads every report to). The senders therefore pad
// each feature report with zeros to its declared length; a report longer
// than declared is sent whole, never cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace vantorel {

// Declared length of each feature report, in bytes with the report id byte,
// keyed by report id. Empty when the descriptor declares no report ids (then
// there is nothing to pad by) or cannot be read; a damaged descriptor gives
// what was read before the damage.
std::map<std::uint8_t, std::size_t> feature_report_lengths(std::span<const std::uint8_t> descriptor);

// `report` (report id in byte 0) padded with zeros to its declared length.
std::vector<std::uint8_t> pad_feature_report(std::span<const std::uint8_t> report,
                                             const std::map<std::uint8_t, std::size_t>& lengths);

}  // namespace vantorel
