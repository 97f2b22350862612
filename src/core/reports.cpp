// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/reports.h"

#include <algorithm>

namespace vantorel {
namespace {

// DPI code table, indexed by stage value (0..220).
constexpr std::array<std::uint8_t, 221> kDpiCodeTable = {
    0,   1,   2,   3,   4,   5,   6,   8,   9,   10,  11,  12,  14,  15,  16,  17,  18,  19,  21,  22,
    23,  24,  25,  27,  28,  29,  30,  31,  32,  34,  35,  36,  37,  38,  39,  41,  42,  43,  44,  45,
    47,  48,  49,  50,  51,  52,  54,  55,  56,  57,  58,  59,  61,  62,  63,  64,  65,  67,  68,  69,
    70,  71,  72,  74,  75,  76,  77,  78,  79,  81,  82,  83,  84,  85,  87,  88,  89,  90,  91,  92,
    94,  95,  96,  97,  98,  99,  101, 102, 103, 104, 105, 107, 108, 109, 110, 111, 112, 114, 115, 116,
    117, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139,
    141, 142, 143, 144, 145, 147, 148, 149, 150, 151, 152, 154, 155, 156, 157, 158, 159, 161, 162, 163,
    164, 165, 167, 168, 169, 170, 171, 172, 174, 175, 176, 177, 178, 179, 181, 182, 183, 184, 185, 187,
    188, 189, 190, 191, 192, 194, 195, 196, 197, 198, 199, 201, 202, 203, 204, 205, 207, 208, 209, 210,
    211, 212, 214, 215, 216, 217, 218, 219, 221, 222, 223, 224, 225, 227, 228, 229, 230, 231, 232, 234,
    235, 118, 119, 121, 122, 123, 124, 125, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 138, 139, 141,
};
static_assert(kDpiCodeTable.size() == 221);

// Highest stage value whose code lies inside the table (300 + 2 x 20 + 1).
constexpr std::int32_t kMaxDpiValue = 341;

struct FunctionRow {
    std::uint8_t code;
    DeviceTriple triple;
};

constexpr std::array<FunctionRow, 64> kFunctionTable = {{
    {0, {0x01, 0, 0}},     {1, {0x02, 0, 0}},     {2, {0x03, 0, 0}},     {3, {0x04, 0, 0}},
    {4, {0x06, 0, 0}},     {5, {0x05, 0, 0}},     {6, {0x0D, 0, 0}},     {7, {0x0E, 0, 0}},
    {8, {0x0F, 0, 0}},     {9, {0x07, 0, 0}},     {10, {0x08, 0, 0}},    {11, {0x09, 0, 0}},
    {12, {0x0A, 0, 0}},    {13, {0x0B, 0, 0}},    {14, {0x0C, 0, 0}},    {16, {0x11, 0, 0}},
    {17, {0x12, 0, 0}},    {19, {0x13, 0, 0}},    {21, {0x2B, 0, 0}},    {22, {0x10, 0, 0x09}},
    {23, {0x29, 0, 0x03}}, {32, {0x11, 0x01, 0x1B}}, {33, {0x11, 0x01, 0x06}}, {34, {0x11, 0x01, 0x19}},
    {35, {0x11, 0x01, 0x12}}, {36, {0x11, 0x01, 0x16}}, {37, {0x11, 0x01, 0x09}}, {38, {0x11, 0x01, 0x1C}},
    {39, {0x11, 0x01, 0x1D}}, {40, {0x11, 0x01, 0x04}}, {41, {0x11, 0x01, 0x13}}, {42, {0x11, 0x04, 0x3D}},
    {43, {0x11, 0x04, 0x2B}}, {44, {0x11, 0x08, 0x07}}, {45, {0x11, 0x08, 0x15}}, {46, {0x11, 0x08, 0x0F}},
    {47, {0x11, 0x01, 0x11}}, {48, {0x11, 0x01, 0x2E}}, {49, {0x11, 0x01, 0x2D}}, {50, {0x11, 0x0A, 0x16}},
    {54, {0x34, 0, 0}},    {55, {0x35, 0, 0}},    {56, {0x36, 0, 0}},    {64, {0x15, 0, 0}},
    {65, {0x18, 0, 0}},    {66, {0x19, 0, 0}},    {67, {0x16, 0, 0}},    {68, {0x17, 0, 0}},
    {69, {0x1B, 0, 0}},    {70, {0x1C, 0, 0}},    {71, {0x1A, 0, 0}},    {80, {0x25, 0, 0}},
    {81, {0x11, 0x03, 0x12}}, {82, {0x20, 0, 0}}, {83, {0x21, 0, 0}},    {84, {0x22, 0, 0}},
    {85, {0x24, 0, 0}},    {86, {0x26, 0, 0}},    {87, {0x1E, 0, 0}},    {88, {0x1D, 0, 0}},
    {89, {0x23, 0, 0}},    {112, {0x28, 0, 0}},   {115, {0x14, 0, 0}},   {121, {0x3C, 0, 0}},
}};

Report start(std::uint8_t type, std::size_t length) {
    Report r;
    r.length = length;
    r.data[0] = type;
    r.data[1] = static_cast<Byte>(length);
    r.data[2] = 0x01;
    return r;
}

void put_checksum(Report& r, std::size_t at) {
    std::uint16_t sum = report_checksum(r.data, 3, at);
    r.data[at] = static_cast<Byte>(sum >> 8);
    r.data[at + 1] = static_cast<Byte>(sum & 0xFF);
}

Byte low(std::int64_t v) { return static_cast<Byte>(static_cast<std::uint64_t>(v) & 0xFF); }

}  // namespace

std::uint16_t report_checksum(std::span<const Byte> bytes, std::size_t from, std::size_t to) {
    to = std::min(to, bytes.size());
    if (from >= to) return 0;
    return sum16(bytes.subspan(from, to - from));
}

int macro_block_base(int slot) {
    if (slot < 0 || slot >= static_cast<int>(kMacroBlockBase.size())) return 0;
    return kMacroBlockBase[static_cast<std::size_t>(slot)];
}

DeviceTriple function_device_triple(std::uint8_t code, bool* found) {
    for (const FunctionRow& row : kFunctionTable) {
        if (row.code == code) {
            if (found) *found = true;
            return row.triple;
        }
    }
    if (found) *found = false;
    return {};
}

std::uint8_t dpi_code(std::int32_t v) {
    if (v <= 0 || v > kMaxDpiValue) return 0;
    if (v <= 220) return kDpiCodeTable[static_cast<std::size_t>(v)];
    if (v <= 300) return kDpiCodeTable[static_cast<std::size_t>(v - 100)];
    return kDpiCodeTable[static_cast<std::size_t>(200 + (v - 300) / 2)];
}

std::uint8_t dpi_code_flag(std::int32_t v) {
    if (v <= 0 || v > kMaxDpiValue) return 0;
    return (v >= 201 && v <= 220) || v > 300 ? 1 : 0;
}

Report build_start_report() {
    Report r = start(kReportStart, kStartReportLength);
    r.data[3] = 0xFE;
    r.data[4] = 0x01;
    r.data[5] = 0xFE;
    return r;
}

Report build_dpi_report(const ProfileRecord& p) {
    Report r = start(kReportDpi, kDpiReportLength);
    r.data[3] = low(p.angle_snap());
    r.data[4] = low(p.ripple_control());
    for (int k = 0; k < profile_layout::kStageCount; ++k) {
        const std::int32_t v = p.dpi_value(k);
        const Byte bit = static_cast<Byte>(1u << k);
        if (p.dpi_stage_enabled(k) == 1) r.data[5] |= bit;
        if (v > 220 && v <= 340) r.data[6] |= bit;
        if (v > 340) r.data[7] |= bit;
        r.data[8 + k] = dpi_code(v);
        r.data[16 + k] = dpi_code_flag(v);
        const Color c = p.dpi_color(k);
        r.data[25 + 3 * k] = c.r;
        r.data[26 + 3 * k] = c.g;
        r.data[27 + 3 * k] = c.b;
    }
    r.data[24] = low(static_cast<std::int64_t>(p.dpi_stage_index()) + 1);  // wide: any stored value
    r.data[49] = 0x02;
    put_checksum(r, 50);
    return r;
}

Report build_light_report(const ProfileRecord& p) {
    Report r = start(kReportLight, kLightReportLength);
    const std::uint32_t sleep = static_cast<std::uint32_t>(p.sleep_timer());
    const std::int32_t mode = p.light_mode();
    r.data[3] = low(mode << 4);
    r.data[4] = static_cast<Byte>((sleep & 0xF0) | (static_cast<std::uint64_t>(9 - static_cast<std::int64_t>(p.breath_speed())) & 0x0F));
    const std::int32_t level = (mode == 1 || mode == 9) ? p.brightness() : 8;
    r.data[5] = static_cast<Byte>(((sleep & 0x0F) << 4) | low(level));
    const Color c = p.light_color();
    r.data[6] = c.r;
    r.data[7] = c.g;
    r.data[8] = c.b;
    r.data[9] = low(p.light_off_timer());
    r.data[10] = low(p.key_debounce());
    put_checksum(r, 11);
    return r;
}

Report build_polling_report(const ProfileRecord& p) {
    Report r = start(kReportPolling, kPollingReportLength);
    Byte c = 2;
    switch (p.polling_rate_index()) {
        case 0: c = 8; break;
        case 1: c = 4; break;
        case 2: c = 2; break;
        case 3: c = 1; break;
        default: c = 2; break;
    }
    r.data[3] = c;
    r.data[4] = static_cast<Byte>(0xFF - c);
    return r;
}

Report build_buttons_report(const ProfileRecord& p) {
    Report r = start(kReportButtons, kButtonsReportLength);
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        ConstSlotRef s = p.slot(k);
        DeviceTriple t = function_device_triple(s.function_code());
        if (s.function_code() == kFunctionShortcut) {
            t = {0x11, s.shortcut_modifiers(), s.shortcut_key()};
        } else if (s.function_code() == kFunctionMacro) {
            t = {0x12, 0x00, low(macro_block_base(k))};
        }
        r.data[3 + 3 * k] = t.a;
        r.data[4 + 3 * k] = t.b;
        r.data[5 + 3 * k] = t.c;
    }
    put_checksum(r, 57);
    return r;
}

Report build_macro_block(ConstSlotRef slot, std::uint8_t block_number, std::size_t& start_index, bool& more,
                         bool may_continue) {
    constexpr std::size_t kData = 29;        // first byte of the action data
    constexpr std::size_t kDataBudget = 98;  // bytes of actions per block, the continuation pair aside
    Report r;
    r.length = kMacroReportLength;
    r.data[0] = kReportMacro;
    r.data[1] = 0x83;
    r.data[2] = block_number;
    if (start_index == 0) {
        r.data[3] = low(slot.macro_play_mode());
        const auto header = slot.macro_header_bytes();
        r.data[4] = header[0];
        r.data[5] = header[1];
        r.data[6] = header[2];
        const Byte repeat = low(slot.macro_repeat_count());
        r.data[7] = repeat == 0 ? 1 : repeat;
    }

    more = false;
    const std::size_t count = std::min<std::size_t>(slot.macro_action_count(), kMaxMacroActions);
    std::size_t pos = 0;
    unsigned events = 0;
    for (std::size_t i = start_index; i < count; ++i) {
        const MacroAction a = slot.macro_action(i);
        std::array<Byte, 8> enc{};
        std::size_t size = 0;
        unsigned n = 0;
        const Byte release_bit = a.action_kind == kActionPress ? 0x00 : 0x80;
        if (a.delay <= 127) {
            const Byte t = static_cast<Byte>(std::max<unsigned>(a.delay, 2));
            if (a.action_kind == 0) {
                size = 6;
                n = 3;
            } else {
                enc[0] = static_cast<Byte>(t | release_bit);
                enc[1] = a.key_code;
                size = 2;
                n = 1;
            }
        } else {
            const Byte q = static_cast<Byte>((a.delay / 100) & 0xFF);
            const Byte t = static_cast<Byte>(std::max<unsigned>(a.delay % 100, 2));
            if (a.action_kind == 0) {
                enc[6] = q;
                enc[7] = 0x03;
                size = 8;
                n = 4;
            } else {
                enc[0] = static_cast<Byte>(t | release_bit);
                enc[1] = a.key_code;
                enc[2] = q;
                enc[3] = 0x03;
                size = 4;
                n = 2;
            }
        }
        if (pos + size > kDataBudget) {
            // The last block a slot's range holds ends the macro here: a
            // next block would overwrite the next slot's macro on the mouse.
            if (!may_continue) {
                start_index = i;
                break;
            }
            // The action goes to the next block; this one ends with the pair
            // that names it.
            r.data[kData + pos] = static_cast<Byte>(block_number + 1);
            r.data[kData + pos + 1] = 0xFE;
            ++events;
            start_index = i;
            more = true;
            break;
        }
        std::copy_n(enc.begin(), size, r.data.begin() + static_cast<std::ptrdiff_t>(kData + pos));
        pos += size;
        events += n;
        start_index = i + 1;
    }
    r.data[28] = static_cast<Byte>(events & 0xFF);
    put_checksum(r, 129);
    return r;
}

std::vector<Report> build_macro_blocks(const ProfileRecord& p, int slot) {
    std::vector<Report> blocks;
    std::size_t index = 0;
    bool more = true;
    std::uint8_t block = static_cast<std::uint8_t>(macro_block_base(slot));
    while (more) {
        const bool may_continue = blocks.size() + 1 < kMacroBlocksPerSlot;
        blocks.push_back(build_macro_block(p.slot(slot), block, index, more, may_continue));
        ++block;
    }
    return blocks;
}

std::size_t macro_actions_carried(ConstSlotRef slot) {
    std::size_t index = 0;
    bool more = true;
    for (std::size_t n = 0; more; ++n)
        build_macro_block(slot, static_cast<std::uint8_t>(n), index, more, n + 1 < kMacroBlocksPerSlot);
    return index;
}

}  // namespace vantorel
