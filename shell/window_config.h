// The shell's one display record, the key flags and the virtual-key codes.
//
// WindowConfig is filled with its defaults by the entry point, changed by the
// start-up dialog and completed by the display window; KeyState is written by
// the window procedure and read once per frame by the keyboard controls.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

struct Application {
    void* instance;
    const char* className;
};

// One flag per virtual-key code, 1 while the key is down.
using KeyState = int32_t[256];

struct WindowConfig {
    KeyState* keys;
    PlatformWindow* window;
    PlatformDeviceContext* deviceContext;
    PlatformGLContext* renderContext;
    Application* application;
    const char* title;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t fullscreen;
    int32_t visible;
    uint32_t lastTick;
};

extern WindowConfig windowConfig;
