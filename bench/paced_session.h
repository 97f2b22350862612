// SPDX-License-Identifier: GPL-2.0-or-later
// What the apply benchmarks share: the mouse session on the virtual mouse in
// real time, its sender's waits added up by a PacingClock, with one link up;
// and the macro their profiles carry on a side button.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edit/function_codes.h"
#include "core/profile_record.h"
#include "pacing_clock.h"
#include "session/virtual_session.h"

namespace vantorel::bench {

// A ten-step macro (five keys, each pressed and released, 20 ms apart) on
// the side button of slot 4, played once.
inline void put_side_macro(ProfileRecord& r) {
    SlotRef s = r.slot(4);
    s.set_function_code(kFunctionMacro);
    s.set_macro_repeat_count(1);
    s.set_macro_action_count(10);
    for (int i = 0; i < 10; ++i)
        s.set_macro_action(static_cast<std::size_t>(i),
                           {static_cast<std::uint8_t>(0x04 + i / 2), static_cast<std::uint8_t>(1 + i % 2), 20});
}

struct PacedSession {
    explicit PacedSession(ConnectionMode link) : session(SteadyClock::instance(), paced_by(pacing)) {
        session.start();
        if (!session.link_up(link)) std::fprintf(stderr, "%s: the link did not come up\n", connection_mode_name(link));
    }

    PacingClock pacing;
    testing::VirtualSession session;

private:
    static testing::VirtualSession::Options paced_by(PacingClock& clock) {
        testing::VirtualSession::Options options;
        options.pacing = &clock;
        return options;
    }
};

}  // namespace vantorel::bench
