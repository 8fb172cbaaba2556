// The four hooks through which the shell runs the show: initialise once after
// the window and its context exist, update and draw once per frame, shut down
// at the end.
#pragma once

#include <cstdint>

#include "shell/window_config.h"

int32_t demoInit(WindowConfig& config, KeyState& keys);
void demoUpdate(uint32_t elapsedMs);
void demoDraw();
[[noreturn]] void demoShutdown();

// The records demoInit keeps for the update hook.
void keepDemoConfig(WindowConfig& config, KeyState& keys);
WindowConfig* demoConfig();
