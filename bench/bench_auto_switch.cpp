// SPDX-License-Identifier: GPL-2.0-or-later
// What a switch of the profiles that follow the application costs: from the
// moment the desktop reports the focused game (after the rest the rules
// wait for) to the last report the mouse took, on each link, against the
// waits the protocol asks for the sections that differ, and against a full
// apply of the same profile. The mouse session and the virtual mouse run in
// real time; the sender's clock adds up every wait it is asked for.
//   vantorel_bench_auto_switch [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "auto/auto_switch.h"
#include "core/apply_engine.h"
#include "paced_session.h"

using namespace vantorel;

namespace {

// The desktop profile: a macro on a side button (kept by the game's profile,
// so a switch does not send it again).
ProfileRecord desktop_profile() {
    ProfileRecord r;
    r.reset_to_defaults();
    bench::put_side_macro(r);
    return r;
}

// The game's: other DPI stages, light and polling rate.
ProfileRecord game_profile() {
    ProfileRecord r = desktop_profile();
    for (int k = 0; k < 4; ++k) r.set_dpi_value(k, 16 + 8 * k);
    r.set_brightness(2);
    r.set_light_mode(1);
    r.set_polling_rate_index(3);
    return r;
}

struct Result {
    double switch_ms = 0;  // focus reported -> last report taken, less the rest
    double paced_ms = 0;   // the protocol's waits in it
    double full_ms = 0;    // a full apply of the game's profile, for scale
};

Result switch_once(ConnectionMode link) {
    bench::PacedSession paced(link);
    const bench::PacingClock& pacing = paced.pacing;
    testing::VirtualSession& session = paced.session;

    Result result;
    // For scale: the game's profile sent whole, as choosing it by hand does.
    session.load(game_profile());
    auto began = std::chrono::steady_clock::now();
    session.apply();
    result.full_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
    // The mouse holds the desktop's profile.
    session.load(desktop_profile());
    session.apply();

    AppBindings bindings;
    (void)bindings.bind(u"Game", "game.bin");
    bool switched = false;
    AutoSwitch rules(session.loop, [&](const std::u16string&) {
        session.edit([](ProfileRecord& r) { r = game_profile(); });
        session.session->request_apply(ApplyWhen::Now);
        switched = true;
    });
    rules.set_bindings(bindings);
    rules.set_current(u"Desktop");

    const long long waited_before = pacing.waited_ms();
    began = std::chrono::steady_clock::now();
    rules.focus_changed(FocusReport{"game.bin", "Game", 0});
    session.pump_until([&] { return switched; });
    session.engine().wait_idle();
    const auto ended = std::chrono::steady_clock::now();
    result.switch_ms =
        std::chrono::duration<double, std::milli>(ended - began).count() - AutoSwitch::kFocusRestMs;
    result.paced_ms = static_cast<double>(pacing.waited_ms() - waited_before);
    std::string why;
    if (!session.holds(link, &why)) std::fprintf(stderr, "the mouse differs: %s\n", why.c_str());
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("%-10s %12s %10s %12s %14s\n", "link", "switch ms", "paced ms", "ours ms", "full apply ms");
    for (ConnectionMode link : {ConnectionMode::Wired, ConnectionMode::Wireless, ConnectionMode::Ble}) {
        std::vector<Result> results;
        for (int i = 0; i < runs; ++i) results.push_back(switch_once(link));
        std::sort(results.begin(), results.end(), [](const Result& a, const Result& b) {
            return a.switch_ms - a.paced_ms < b.switch_ms - b.paced_ms;
        });
        const Result& m = results[results.size() / 2];
        std::printf("%-10s %12.1f %10.1f %12.1f %14.1f\n", connection_mode_name(link), m.switch_ms, m.paced_ms,
                    m.switch_ms - m.paced_ms, m.full_ms);
    }
    return 0;
}
