// Window messages and keyboard controls.
//
// The window procedure keeps WindowConfig's visible flag, the viewport and the
// key flags; the keyboard controls (the update hook) read the keys once per
// frame, level-triggered: Escape and F1 end the show, the arrows seek the music.
#include "shell/window_messages.h"

#include "media/music.h"
#include "shell/demo_hooks.h"
#include "shell/display_window.h"

static WindowConfig* configOf(PlatformWindow* window) {
    return static_cast<WindowConfig*>(platformGetUserData(window));
}

static intptr_t handleSize(PlatformWindow* window, WindowConfig& config, uintptr_t kind,
                           intptr_t lParam) {
    if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED) {
        config.visible = 1;
        reshapeViewport(static_cast<int32_t>(lParam & 0xFFFF),
                        static_cast<int32_t>((lParam >> 16) & 0xFFFF));
        return 0;
    }
    if (kind == SIZE_MINIMIZED) {
        config.visible = 0;
        return 0;
    }
    return platformDefaultProcedure(window, WM_SIZE, kind, lParam);
}

static intptr_t handleKey(PlatformWindow* window, WindowConfig& config, uint32_t message,
                          uintptr_t code, intptr_t lParam) {
    if (code > 255)
        return platformDefaultProcedure(window, message, code, lParam);
    (*config.keys)[code] = message == WM_KEYDOWN ? 1 : 0;
    return 0;
}

intptr_t windowProcedure(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) {
    if (message == WM_CREATE) {
        platformSetUserData(window, reinterpret_cast<void*>(lParam));
        return 0;
    }
    WindowConfig* config = configOf(window);
    if (config == nullptr)
        return platformDefaultProcedure(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        return handleSize(window, *config, wParam, lParam);
    case WM_CLOSE:
        requestQuit(*config);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        return handleKey(window, *config, message, wParam, lParam);
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)
            return 0;
        return platformDefaultProcedure(window, message, wParam, lParam);
    case WM_DEFERRED_QUIT:
        platformPostMessage(window, WM_QUIT, 0, 0);
        return platformDefaultProcedure(window, message, wParam, lParam);
    default:
        return platformDefaultProcedure(window, message, wParam, lParam);
    }
}

void requestQuit(WindowConfig& config) {
    platformPostMessage(config.window, WM_QUIT, 0, 0);
}

// The keyboard controls, in this order; each seek is measured from the
// previous frame's demoTime, so the last held arrow decides.
void demoUpdate(uint32_t /*elapsedMs*/) {
    WindowConfig& config = *demoConfig();
    const KeyState& keys = *config.keys;
    if (keys[VK_ESCAPE] == 1)
        requestQuit(config);
    if (keys[VK_F1] == 1)
        platformPostMessage(config.window, WM_DEFERRED_QUIT, 0, 0);
    if (keys[VK_LEFT] == 1)
        seekMusic(-500.0f);
    if (keys[VK_RIGHT] == 1)
        seekMusic(+500.0f);
    if (keys[VK_UP] == 1)
        seekMusic(+5000.0f);
    if (keys[VK_DOWN] == 1)
        seekMusic(-5000.0f);
}
