// SPDX-License-Identifier: GPL-2.0-or-later
// Report building: what one apply costs in CPU before anything reaches a link.
#include <benchmark/benchmark.h>

#include "core/reports.h"

namespace vantorel {
namespace {

ProfileRecord busy_profile() {
    ProfileRecord r;
    r.reset_to_defaults();
    for (int k = 0; k < 7; ++k) {
        SlotRef s = r.slot(k);
        s.set_function_code(kFunctionMacro);
        s.set_macro_action_count(160);
        for (std::size_t i = 0; i < 160; ++i)
            s.set_macro_action(i, {0x04, static_cast<std::uint8_t>(1 + i % 2), static_cast<std::uint16_t>(i * 37 % 400)});
    }
    return r;
}

void BM_SectionReports(benchmark::State& state) {
    ProfileRecord r = busy_profile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(build_dpi_report(r));
        benchmark::DoNotOptimize(build_light_report(r));
        benchmark::DoNotOptimize(build_polling_report(r));
        benchmark::DoNotOptimize(build_buttons_report(r));
    }
}
BENCHMARK(BM_SectionReports);

// The worst case of a full apply: seven buttons with 160-action macros.
void BM_AllMacroBlocks(benchmark::State& state) {
    ProfileRecord r = busy_profile();
    for (auto _ : state)
        for (int k = 0; k < 7; ++k) benchmark::DoNotOptimize(build_macro_blocks(r, k));
}
BENCHMARK(BM_AllMacroBlocks);

}  // namespace
}  // namespace vantorel
