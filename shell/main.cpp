// The program entry and the frame loop.
//
// Sets the display defaults, lets the start-up dialog change them, opens the
// window with its GL context, runs the demo initialisation and then draws a
// frame whenever no message is waiting. Every way out ends the process with
// the exit codes the show has always had; a window that cannot be created
// ends it with 1, since that is a failure.
#include <cstring>

#include "shell/demo_hooks.h"
#include "shell/display_window.h"
#include "shell/startup_dialog.h"

WindowConfig windowConfig;

static void runMessageLoop(WindowConfig& config) {
    PlatformMessage message{};
    for (;;) {
        if (platformPeekMessage(&message, config.window)) {
            if (message.message == WM_QUIT)
                return;
            platformDispatchMessage(message);
            continue;
        }
        if (config.visible == 1) {
            uint32_t now = platformTickCount();
            demoUpdate(now - config.lastTick);
            config.lastTick = now;
            demoDraw();
            platformSwapBuffers(config.deviceContext);
        } else {
            platformWaitMessage();
        }
    }
}

int main() {
    static KeyState keys;
    static Application application{nullptr, "OpenGL"};
    std::memset(&windowConfig, 0, sizeof windowConfig);
    windowConfig.keys = &keys;
    windowConfig.application = &application;
    windowConfig.title = "Vantrel Engine";
    windowConfig.width = 800;
    windowConfig.height = 600;
    windowConfig.bitsPerPixel = 32;
    windowConfig.fullscreen = 1;

    runStartupDialog(windowConfig);

    if (registerWindowClass(application) == 0) {
        platformMessageBox("Error Registering Window Class!", "Error");
        return -1;
    }
    if (createDisplayWindow(windowConfig) == 0) {
        platformMessageBox("Error Creating OpenGL Window", "Error");
        platformUnregisterWindowClass("OpenGL");
        return 1;
    }
    demoInit(windowConfig, keys);
    runMessageLoop(windowConfig);
    demoShutdown();
}
