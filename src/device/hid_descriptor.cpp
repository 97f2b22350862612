// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/hid_descriptor.h"

#include <algorithm>

namespace vantorel {

std::map<std::uint8_t, std::size_t> feature_report_lengths(std::span<const std::uint8_t> d) {
    struct Globals {
        std::uint32_t report_size = 0;
        std::uint32_t report_count = 0;
        std::uint8_t report_id = 0;
    };
    Globals g;
    std::vector<Globals> stack;  // Push / Pop
    std::map<std::uint8_t, std::uint64_t> bits;
    bool ids = false;

    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == 0xFE) {  // long item: size, tag, data
            if (i + 1 >= d.size()) break;
            i += 3 + d[i + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > d.size()) break;  // cut short: keep what was read
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < size; ++b) value |= static_cast<std::uint32_t>(d[i + 1 + b]) << (8 * b);
        switch (prefix & 0xFC) {
            case 0x74: g.report_size = value; break;
            case 0x94: g.report_count = value; break;
            case 0x84:
                g.report_id = static_cast<std::uint8_t>(value);
                ids = true;
                break;
            case 0xA4: stack.push_back(g); break;
            case 0xB4:
                if (!stack.empty()) {
                    g = stack.back();
                    stack.pop_back();
                }
                break;
            case 0xB0:  // Feature
                bits[g.report_id] += static_cast<std::uint64_t>(g.report_size) * g.report_count;
                break;
            default: break;
        }
        i += 1 + size;
    }

    std::map<std::uint8_t, std::size_t> lengths;
    if (!ids) return lengths;
    for (const auto& [id, n] : bits) {
        if (id == 0) continue;  // items before the first id: not addressable once ids are in use
        // A descriptor may declare absurd sizes; hidraw takes at most 4096.
        lengths[id] = static_cast<std::size_t>(std::min<std::uint64_t>(1 + (n + 7) / 8, 4096));
    }
    return lengths;
}

std::vector<std::uint8_t> pad_feature_report(std::span<const std::uint8_t> report,
                                             const std::map<std::uint8_t, std::size_t>& lengths) {
    std::vector<std::uint8_t> out(report.begin(), report.end());
    if (report.empty()) return out;
    auto it = lengths.find(report[0]);
    if (it != lengths.end() && it->second > out.size()) out.resize(it->second, 0);
    return out;
}

}  // namespace vantorel
