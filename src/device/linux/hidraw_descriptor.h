// SPDX-License-Identifier: GPL-2.0-or-later
// The report descriptor of a hidraw node, read with HIDIOCGRDESC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantorel {

// Empty when the node cannot be opened or answers no descriptor.
std::vector<std::uint8_t> read_hidraw_descriptor(const std::string& devnode);

}  // namespace vantorel
