// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the wired driver library, built as a loadable module for the
// loader tests. Every entry point reports its call to a sink the test sets;
// unloading the module is reported too. Built a second time without
// GetFeature to stand for a library that lacks an entry point.
#include <cstdio>

#include "vantorel/wired_driver_abi.h"

namespace {

// Plain storage only: the module must really unload on dlclose.
void (*g_sink)(const char*) = nullptr;
VantorelWindow g_window = {nullptr, nullptr};

void note(const char* what) {
    if (g_sink) g_sink(what);
}

__attribute__((destructor)) void on_unload() { note("unload"); }

}  // namespace

extern "C" {

VANTOREL_EXPORT void TestDriver_SetSink(void (*sink)(const char*)) { g_sink = sink; }

// Plays the library's monitor: posts through the window it was given.
VANTOREL_EXPORT int TestDriver_Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return g_window.post ? g_window.post(g_window.target, message, wparam, lparam) : 0;
}

void Set_VIDPID(int vid, int pid) {
    char line[64];
    std::snprintf(line, sizeof line, "Set_VIDPID %04x %04x", vid, pid);
    note(line);
}

void Open_DevMonitor(const VantorelWindow* window, int event_message, int attach_message) {
    g_window = *window;
    char line[64];
    std::snprintf(line, sizeof line, "Open_DevMonitor %d %d", event_message, attach_message);
    note(line);
}

void Close_DevMonitor(void) {
    g_window = VantorelWindow{nullptr, nullptr};
    note("Close_DevMonitor");
}

int Open_FeatureDevice(void) {
    note("Open_FeatureDevice");
    return 1;
}

void Close_FeatureDevice(void) { note("Close_FeatureDevice"); }

int SetFeature(const unsigned char* data, int length) {
    char line[64];
    std::snprintf(line, sizeof line, "SetFeature %02x %d", length > 0 ? data[0] : 0, length);
    note(line);
    return 1;
}

#ifndef TEST_DRIVER_WITHOUT_GET_FEATURE
int GetFeature(unsigned char* data, int length) {
    (void)data;
    (void)length;
    note("GetFeature");
    return 0;
}
#endif

}  // extern "C"
