// Helpers for tests that run the saver's own code in a child process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "softglide.h"

// Headless 640x480 screen (or the given size), swap pacing off, Glide call
// tracing on. Call first in the child.
void prepareHeadless(int width = 640, int height = 480);

// The start-up of WinMain up to the scene: window, Glide device, scene.
// Returns setupScene's result.
int startEffect();

// How many generator steps lead from state 1 to the given state.
long long stepsFromStart(std::uint32_t state);

// The trace calls since the given index that have the given name.
std::vector<softglide::TraceCall> callsNamed(const std::string& name, std::size_t from = 0);

// FNV-1a over the words of the front buffer.
std::uint64_t pictureHash();
