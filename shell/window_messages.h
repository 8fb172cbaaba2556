// The show's only input path: the window procedure (window state, key flags,
// close request, screen saver) and the keyboard controls run once per frame.
#pragma once

#include <cstdint>

#include "shell/window_config.h"

// The deferred quit that F1 posts; the window procedure answers it with the quit.
constexpr uint32_t WM_DEFERRED_QUIT = WM_USER + 1;

intptr_t windowProcedure(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam);
void requestQuit(WindowConfig& config);
