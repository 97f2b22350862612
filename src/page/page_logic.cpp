// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/page_logic.h"

#include <algorithm>
#include <climits>

#include "device/device_events.h"

namespace vantorel::page {

int ReadInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || (text[i].unicode() >= 0x09 && text[i].unicode() <= 0x0D))) ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') break;
        value = value * 10 + (c - u'0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

QString DigitsOnly(const QString& text) {
    QString digits;
    digits.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= u'0' && c.unicode() <= u'9') digits.append(c);
    }
    return digits;
}

QString DpiText(std::int64_t code) { return QString::number(code == 0 ? 0 : dpi_for_code(code)); }

LightRows LightRowsFor(std::int32_t light_mode) {
    if (light_mode == 1) return {true, false, true};
    if (light_mode == 2) return {false, true, true};
    if (light_mode >= 3 && light_mode <= 11) return {false, true, false};
    return {};
}

quint32 ArgbOf(Color c) {
    return 0xFF000000u | (static_cast<quint32>(c.r) << 16) | (static_cast<quint32>(c.g) << 8) | c.b;
}

Color ColorOfArgb(quint32 argb) {
    return Color{static_cast<std::uint8_t>((argb >> 16) & 0xFF), static_cast<std::uint8_t>((argb >> 8) & 0xFF),
                 static_cast<std::uint8_t>(argb & 0xFF)};
}

QString LightOffText(std::int32_t light_off_timer, const QString& prefix, const QString& unit, const QLocale& locale) {
    return prefix + locale.toString(light_off_timer * 0.5, 'f', 1) + QLatin1Char(' ') + unit;
}

bool LightOffAfterSleep(std::int32_t light_off_timer, std::int32_t sleep_timer) {
    return static_cast<std::int64_t>(light_off_timer) > 2 * static_cast<std::int64_t>(sleep_timer);
}

QString SleepText(std::int32_t sleep_timer, const QString& prefix, const QString& unit) {
    return prefix + QString::number(sleep_timer) + QLatin1Char(' ') + unit;
}

QString DebounceText(std::int32_t key_debounce, const QString& format) {
    return format.arg(2 * static_cast<std::int64_t>(key_debounce));
}

int NearestChoice(std::int64_t stored, int count) {
    if (count <= 1 || stored <= 0) return 0;
    return static_cast<int>(std::min<std::int64_t>(stored, count - 1));
}

QString PollingRateKey(std::int32_t index) {
    if (index < 0 || index > 3) return {};
    return QStringLiteral("prate_%1_text").arg(index + 1);
}

}  // namespace vantorel::page
