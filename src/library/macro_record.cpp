// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/macro_record.h"

#include <algorithm>

#include "core/text.h"

namespace vantorel {

bool MacroRecord::assign(std::span<const Byte> raw) {
    if (raw.size() != kSize) return false;
    std::copy(raw.begin(), raw.end(), bytes_.begin());
    return true;
}

std::u16string MacroRecord::name() const {
    return read_fixed_text(bytes_.data() + macro_layout::kName, macro_layout::kNameUnits);
}

void MacroRecord::set_name(std::u16string_view name) {
    write_fixed_text(bytes_.data() + macro_layout::kName, macro_layout::kNameUnits, name);
}

std::size_t MacroRecord::valid_action_count() const {
    std::int32_t n = action_count();
    if (n <= 0) return 0;
    return std::min(static_cast<std::size_t>(n), kMaxMacroActions);
}

MacroAction MacroRecord::action(std::size_t i) const {
    if (i >= kMaxMacroActions) return {};
    return MacroAction::decode(bytes_.data() + macro_layout::kActions + kMacroActionSize * i);
}

void MacroRecord::set_action(std::size_t i, const MacroAction& a) {
    if (i < kMaxMacroActions) a.encode(bytes_.data() + macro_layout::kActions + kMacroActionSize * i);
}

}  // namespace vantorel
