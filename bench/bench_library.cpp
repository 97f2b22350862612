// SPDX-License-Identifier: GPL-2.0-or-later
// Library files: start-up load and the save after every apply, for a large
// library of 100 profiles (about 4.6 MB on disk).
#include <benchmark/benchmark.h>

#include "library/profile_library.h"
#include "library/profile_store.h"
#include "test_util.h"

namespace vantorel {
namespace {

void fill(ProfileLibrary& lib, int count) {
    for (int i = 0; i < count; ++i) lib.create_profile(builtin_texts());
}

void BM_SaveProfiles(benchmark::State& state) {
    testing::TempDir dir;
    ProfileLibrary lib;
    fill(lib, static_cast<int>(state.range(0)));
    const auto file = dir.path() / "pro.data";
    for (auto _ : state) benchmark::DoNotOptimize(lib.save(file));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(lib.serialize().size()));
}
BENCHMARK(BM_SaveProfiles)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_LoadProfiles(benchmark::State& state) {
    testing::TempDir dir;
    const auto file = dir.path() / "pro.data";
    {
        ProfileLibrary lib;
        fill(lib, static_cast<int>(state.range(0)));
        if (!lib.save(file)) state.SkipWithError("save failed");
    }
    for (auto _ : state) {
        ProfileLibrary lib;
        benchmark::DoNotOptimize(lib.load(file, builtin_texts()));
    }
}
BENCHMARK(BM_LoadProfiles)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantorel
