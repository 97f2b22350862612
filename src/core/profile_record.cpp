// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/profile_record.h"

#include <algorithm>
#include <cstring>

namespace vantorel {
namespace {
using namespace profile_layout;

constexpr std::array<std::int32_t, 8> kDefaultDpi = {16, 32, 48, 64, 100, 320, 0, 0};
constexpr std::array<std::int32_t, 8> kDefaultEnabled = {1, 1, 1, 1, 1, 1, 0, 0};
constexpr std::array<Color, 8> kDefaultDpiColors = {{{255, 0, 0},
                                                     {0, 255, 0},
                                                     {0, 0, 255},
                                                     {255, 0, 255},
                                                     {255, 255, 0},
                                                     {0, 255, 255},
                                                     {255, 64, 0},
                                                     {255, 255, 255}}};
constexpr std::array<Color, 8> kDefaultReservedColors = {{{255, 0, 0},
                                                          {0, 255, 0},
                                                          {0, 0, 255},
                                                          {255, 0, 255},
                                                          {255, 255, 0},
                                                          {255, 255, 255},
                                                          {255, 255, 255},
                                                          {255, 128, 0}}};

void put_color(Byte* p, Color c) {
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = 0;
}
Color get_color(const Byte* p) { return {p[0], p[1], p[2]}; }

}  // namespace

bool ProfileRecord::assign(std::span<const Byte> raw) {
    if (raw.size() != kSize) return false;
    std::copy(raw.begin(), raw.end(), bytes_.begin());
    return true;
}

void ProfileRecord::reset_to_defaults() {
    Byte* b = bytes_.data();
    store_u16(b + kReservedTextA, 0);  // emptying a text writes its first unit only
    store_u16(b + kReservedTextB, 0);
    store_i32(b + kReserved2200, 420);
    store_i32(b + kReserved2204, 3);
    b[kReserved2208] = 0;
    store_i32(b + kReserved2212, 6);
    set_sensor_reserved_a(0);
    set_lift_off_distance(0);
    set_sensor_reserved_b(0);
    for (int k = 0; k < kStageCount; ++k) {
        set_dpi_value(k, kDefaultDpi[k]);
        set_dpi_value_y(k, kDefaultDpi[k]);
        set_dpi_stage_enabled(k, kDefaultEnabled[k]);
        put_color(b + kDpiColor + 4 * k, kDefaultDpiColors[k]);
        put_color(b + kReservedColors + 4 * k, kDefaultReservedColors[k]);
    }
    set_brightness(8);
    set_breath_speed(6);
    set_sleep_timer(10);
    set_light_off_timer(2);
    set_dpi_stage_index(1);
    set_polling_rate_index(3);
    set_ripple_control(1);
    set_angle_snap(0);
    store_i32(b + kReserved2376, 1);
    set_light_mode(0);
    set_light_mode_ble(0);
    b[kReserved2388] = 1;
    set_key_debounce(4);
    put_color(b + kLightColor, {0, 255, 0});

    std::memset(b + kButtonSlots, 0, kSize - kButtonSlots);
    for (int k = 0; k < kButtonCount; ++k) {
        SlotRef s = slot(k);
        s.set_button_index(static_cast<std::uint8_t>(k));
        s.set_function_code(kDefaultFunctionCodes[k]);
        s.set_function_param(0);
        Byte* sp = s.bytes().data();
        store_u16(sp + slot_layout::kReserved8, 562);
        s.set_macro_library_index(-1);
        store_i32(sp + slot_layout::kReserved1076, -1);
    }
}

std::u16string ProfileRecord::profile_name() const {
    return read_fixed_text(bytes_.data() + kProfileName, kProfileNameUnits);
}

void ProfileRecord::set_profile_name(std::u16string_view name) {
    write_fixed_text(bytes_.data() + kProfileName, kProfileNameUnits, name);
}

Color ProfileRecord::dpi_color(int k) const {
    if (k < 0 || k >= kStageCount) return {};
    return get_color(bytes_.data() + kDpiColor + 4 * k);
}

void ProfileRecord::set_dpi_color(int k, Color c) {
    if (k >= 0 && k < kStageCount) put_color(bytes_.data() + kDpiColor + 4 * k, c);
}

Color ProfileRecord::light_color() const { return get_color(bytes_.data() + kLightColor); }
void ProfileRecord::set_light_color(Color c) { put_color(bytes_.data() + kLightColor, c); }

std::int64_t dpi_display_value(std::int64_t v) { return v <= 200 ? v * 50 : v * 100 - 10000; }

int dpi_entry_value(int dpi) {
    if (dpi >= 22000) return 320;
    if (dpi <= 50) return 1;
    if (dpi > 10000) return 200 + (dpi - 10000) / 100;
    return dpi / 50;
}

}  // namespace vantorel
