// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: bytes that arrive from outside on the device links: 2.4 GHz
// input reports, Bluetooth LE values, wired driver messages (the first bytes
// as wparam and lparam), and HID report descriptors. Checks: no read past
// the bytes given (the sanitizers watch), a decoded event is the bytes it
// came from, declared lengths stay within hidraw's 4096, and padding never
// cuts a report.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "core/bytes.h"
#include "device/device_events.h"
#include "device/hid_descriptor.h"

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (auto e = event_from_ble_value(bytes))
        if (size < 4 || e->event_word != load_u16(data) || e->value_word != load_u16(data + 2)) std::abort();
    (void)event_from_input_report(bytes);
    if (size >= 16) {
        std::uint64_t w = 0, l = 0;
        std::memcpy(&w, data, 8);
        std::memcpy(&l, data + 8, 8);
        for (std::uint32_t message : {1539u, 1540u, static_cast<std::uint32_t>(w >> 32)})
            (void)event_from_wired_message(message, static_cast<std::uintptr_t>(w), static_cast<std::intptr_t>(l));
    }
    const auto lengths = feature_report_lengths(bytes);
    for (const auto& [id, length] : lengths)
        if (length < 1 || length > 4096) std::abort();
    if (!bytes.empty()) {
        const auto padded = pad_feature_report(bytes.first(std::min<std::size_t>(bytes.size(), 64)), lengths);
        if (padded.size() < std::min<std::size_t>(bytes.size(), 64)) std::abort();
    }
    return 0;
}
