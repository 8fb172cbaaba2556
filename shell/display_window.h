// The show's drawing surface: the window class, the display-mode switch for
// full screen, the window with its double-buffered OpenGL context (current for
// the whole run) and the viewport with the base perspective projection.
#pragma once

#include <cstdint>

#include "shell/window_config.h"

int32_t registerWindowClass(const Application& application);
int32_t switchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel);
int32_t createDisplayWindow(WindowConfig& config);
void reshapeViewport(int32_t width, int32_t height);
