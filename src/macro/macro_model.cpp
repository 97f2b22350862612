// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/macro_model.h"

#include <algorithm>

#include "core/trace.h"

namespace vantorel {

int macro_unit_count(std::span<const MacroAction> actions, int count) {
    const auto n = static_cast<std::size_t>(std::clamp<long long>(count, 0, static_cast<long long>(actions.size())));
    int total = 0;
    for (const MacroAction& a : actions.first(n)) total += action_units(a);
    trace("iTotalNum = %d", total);
    return total;
}

}  // namespace vantorel
