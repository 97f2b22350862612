// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as a profile record. Checks: every report
// builder is safe on any bytes; every built report has its declared length
// and checksum, no macro uses more than its slot's blocks, a macro an import
// would take reaches the mouse whole, the virtual mouse takes every report
// without refusing one and then holds what the builders made of the record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/reports.h"
#include "library/transfer.h"
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
        const ConstSlotRef slot = std::as_const(r).slot(k);
        const std::size_t carried = macro_actions_carried(slot);
        if (carried > std::min<std::size_t>(slot.macro_action_count(), kMaxMacroActions)) std::abort();
        const auto actions = slot.bytes().subspan<slot_layout::kMacroActions, macro_layout::kActionBytes>();
        if (macro_misfit(slot.macro_action_count(), actions).empty() && carried != slot.macro_action_count())
            std::abort();
        // Only a button that plays a macro sends its blocks, as in an apply.
        if (slot.function_code() == kFunctionMacro) reports.insert(reports.end(), blocks.begin(), blocks.end());
    }
    VirtualMouse mouse;
    for (const Report& report : reports) {
        if (report.length == 0 || report.length > report.data.size()) std::abort();
        mouse.feed(ConnectionMode::Ble, report.bytes());
    }
    if (mouse.rejected_reports() != 0) std::abort();
    std::string why;
    if (!mouse.holds_exactly(r, &why, ConnectionMode::Ble)) std::abort();
    return 0;
}
