// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as a profile record. Checks: every report
// builder is safe on any bytes; every built report has its declared length
// and checksum, no macro uses more than its slot's blocks, and the virtual
// mouse takes every report on every link without refusing one.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/reports.h"
#include "device/virtual_mouse.h"

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProfileRecord r;
    std::memcpy(r.bytes().data(), data, std::min(size, ProfileRecord::kSize));
    std::vector<Report> reports = {build_start_report(), build_dpi_report(r), build_light_report(r),
                                   build_polling_report(r), build_buttons_report(r)};
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        const auto blocks = build_macro_blocks(r, k);
        if (blocks.empty() || blocks.size() > kMacroBlocksPerSlot) std::abort();
        reports.insert(reports.end(), blocks.begin(), blocks.end());
    }
    VirtualMouse mouse;
    for (const Report& report : reports) {
        if (report.length == 0 || report.length > report.data.size()) std::abort();
        mouse.feed(ConnectionMode::Ble, report.bytes());
    }
    if (mouse.rejected_reports() != 0) std::abort();
    std::string why;
    (void)mouse.holds_exactly(r, &why, ConnectionMode::Ble);
    return 0;
}
