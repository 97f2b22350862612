// SPDX-License-Identifier: GPL-2.0-or-later
// Where the apply engine hands its reports. The device layer's ReportSender
// implements it; the core knows nothing about links.
#pragma once

#include "core/reports.h"

namespace vantorel {

class ReportSink {
public:
    virtual ~ReportSink() = default;
    // Puts one report on the active link, with the link's own pacing and
    // repetitions. Returns nonzero when the mouse took the report (or the
    // link does not carry it at all), 0 when it did not: no link, every write
    // refused, no acknowledgement after every attempt. Called on the apply
    // worker only, one report at a time.
    virtual int send(const Report& report) = 0;
    // Asks a send in progress to give up after its current transmission and
    // every later send to return 0 at once. Called from any thread when the
    // program shuts down.
    virtual void cancel() {}
};

}  // namespace vantorel
