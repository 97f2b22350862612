// SPDX-License-Identifier: GPL-2.0-or-later
// The small rules behind the mouse page's controls: how typed numbers are
// read, how DPI codes become text and back, which light rows an effect
// shows, how stored colours become control colours, and the label texts of
// the power and polling settings. None of them touches a control.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

#include "core/profile_record.h"

namespace vantorel::page {

// Reads a number the way the C runtime's _wtoi does: leading white space,
// an optional sign, then decimal digits up to the first other character.
// Text without digits reads as 0; values beyond the int range saturate.
int ReadInt(const QString& text);

// The text with every character outside '0'..'9' removed.
QString DigitsOnly(const QString& text);

// "%d" of the DPI a stage code stands for (code 0, an unused stage, is 0).
QString DpiText(std::int64_t code);

// Which rows of the light section an effect offers.
struct LightRows {
    bool brightness = false;
    bool breath_speed = false;
    bool color = false;
    bool operator==(const LightRows&) const = default;
};
// 1: brightness and colour; 2: breathing speed and colour; 3..11: breathing
// speed; 0 and anything else: none.
LightRows LightRowsFor(std::int32_t light_mode);

// A stored colour (R, G, B, 0) as a control colour 0xFFRRGGBB, and back.
quint32 ArgbOf(Color c);
Color ColorOfArgb(quint32 argb);

// "<prefix><value x 0.5 with one decimal> <unit>", e.g. "Lights off after 1.5 min";
// the number written as `locale` writes it ("1,5" in German).
QString LightOffText(std::int32_t light_off_timer, const QString& prefix, const QString& unit,
                     const QLocale& locale = QLocale::c());
// The mouse sleeps before its lights would go off: the light-off time
// (half minutes) never takes effect.
bool LightOffAfterSleep(std::int32_t light_off_timer, std::int32_t sleep_timer);
// "<prefix><value> <unit>", e.g. "Sleep after 10 min".
QString SleepText(std::int32_t sleep_timer, const QString& prefix, const QString& unit);
// Twice the stored value (the value counts 2 ms steps) in `format`, whose
// %1 takes the milliseconds ("%1 ms").
QString DebounceText(std::int32_t key_debounce, const QString& format);
// The choice a control of `count` choices shows for a stored value: the
// value itself when it is one of them, else the nearest one (a damaged
// record may hold anything).
int NearestChoice(std::int64_t stored, int count);

// The language key of a polling rate index 0..3 ("prate_1_text" ..
// "prate_4_text"); empty for any other index.
QString PollingRateKey(std::int32_t index);

}  // namespace vantorel::page
