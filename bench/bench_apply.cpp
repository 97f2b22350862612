// SPDX-License-Identifier: GPL-2.0-or-later
// What a full apply costs beyond the waits the mouse's protocol requires,
// on each link, with and without a macro: the mouse session (apply engine,
// report sender, links) and the virtual mouse in real time. The sender's clock adds up
// every wait it is asked for (the pacing); the rest of the wall time is our
// own cost.
//   vantorel_bench_apply [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/apply_engine.h"
#include "paced_session.h"

using namespace vantorel;

namespace {

ProfileRecord profile(bool with_macro) {
    ProfileRecord r;
    r.reset_to_defaults();
    r.set_brightness(5);
    r.set_polling_rate_index(1);
    if (with_macro) bench::put_side_macro(r);
    return r;
}

struct Result {
    double wall_ms = 0;
    double paced_ms = 0;
};

Result apply_once(ConnectionMode link, bool with_macro) {
    // The mouse session on the virtual mouse in real time; only the sender's
    // waits are counted.
    bench::PacedSession paced(link);
    const bench::PacingClock& pacing = paced.pacing;
    testing::VirtualSession& session = paced.session;
    session.load(profile(with_macro));
    const long long waited_before = pacing.waited_ms();
    const auto began = std::chrono::steady_clock::now();
    session.apply();
    const auto ended = std::chrono::steady_clock::now();
    std::string why;
    if (!session.holds(link, &why)) std::fprintf(stderr, "the mouse differs: %s\n", why.c_str());
    return {std::chrono::duration<double, std::milli>(ended - began).count(),
            static_cast<double>(pacing.waited_ms() - waited_before)};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("%-10s %-8s %10s %10s %10s\n", "link", "macro", "wall ms", "paced ms", "overhead");
    for (ConnectionMode link : {ConnectionMode::Wired, ConnectionMode::Wireless, ConnectionMode::Ble}) {
        for (bool with_macro : {false, true}) {
            std::vector<Result> results;
            for (int i = 0; i < runs; ++i) results.push_back(apply_once(link, with_macro));
            std::sort(results.begin(), results.end(),
                      [](const Result& a, const Result& b) { return a.wall_ms - a.paced_ms < b.wall_ms - b.paced_ms; });
            const Result& m = results[results.size() / 2];
            std::printf("%-10s %-8s %10.1f %10.1f %9.2f%%\n", connection_mode_name(link), with_macro ? "yes" : "no",
                        m.wall_ms, m.paced_ms, 100.0 * (m.wall_ms - m.paced_ms) / std::max(1.0, m.paced_ms));
        }
    }
    return 0;
}
