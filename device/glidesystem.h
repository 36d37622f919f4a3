// The Glide device: the first board opened full screen at 640x480, 60 Hz,
// double-buffered, origin at the lower left; and closed again.
#pragma once

#include <cstdint>

#include "device/glide.h"

// Filled by grSstQueryHardware; the program relies only on the call's result.
extern GrHwConfiguration hwconfig;
// GR_RESOLUTION_640x480; the rest of the program assumes that screen.
extern std::int32_t resolution;

// Opens the device. A failed hardware query or screen open ends the process
// through the assertion report (exit code 255), so this returns 1 whenever
// it returns.
int openGlideDevice();

void closeGlideDevice();

// The report of a failed guarded call: a task-modal "Assertion Failed!" box
// with "EXPRESSION, file FILE, line N" and a line feed, cut at 127
// characters, then the process ends with code 255. Called by the guard, and
// by tests with texts of their own.
[[noreturn]] void assertionReport(const char* expression, const char* file, int line);
