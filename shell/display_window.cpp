// The window class, the window and its GL context, and the viewport.
//
// Needs the window system (platform/) and OpenGL with GLU. Called once at
// start-up by the entry point; reshapeViewport again on every resize.
#include "shell/display_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>

#include "shell/window_messages.h"

int32_t registerWindowClass(const Application& application) {
    if (!platformRegisterWindowClass(application.className, windowProcedure)) {
        platformMessageBox("RegisterClassEx Failed!", "Error");
        return 0;
    }
    return 1;
}

int32_t switchDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel) {
    return platformChangeDisplayMode(width, height, bitsPerPixel) ? 1 : 0;
}

static int32_t releaseAfterFailure(WindowConfig& config) {
    platformReleaseDeviceContext(config.window, config.deviceContext);
    config.deviceContext = nullptr;
    platformDestroyWindow(config.window);
    config.window = nullptr;
    return 0;
}

int32_t createDisplayWindow(WindowConfig& config) {
    PlatformPixelFormatRequest pixelFormat{config.bitsPerPixel & 0xFF, 16, true};
    bool popup = false;
    if (config.fullscreen == 1) {
        if (switchDisplayMode(config.width, config.height, config.bitsPerPixel) == 1) {
            platformShowCursor(false);
            popup = true;
        } else {
            platformMessageBox("Mode Switch Failed.\nRunning In Windowed Mode.", "Error");
            config.fullscreen = 0;
        }
    }
    // Windowed or not, the client area is width x height with the outer
    // top-left corner at the screen's top-left.
    PlatformWindowRequest request{config.application->className,
                                  config.title,
                                  0,
                                  0,
                                  config.width,
                                  config.height,
                                  popup,
                                  &config};
    config.window = platformCreateWindow(request);
    if (config.window == nullptr)
        return 0;
    config.deviceContext = platformGetDeviceContext(config.window);
    if (config.deviceContext == nullptr) {
        platformDestroyWindow(config.window);
        config.window = nullptr;
        return 0;
    }
    int format = platformChoosePixelFormat(config.deviceContext, pixelFormat);
    if (format == 0 || !platformSetPixelFormat(config.deviceContext, format))
        return releaseAfterFailure(config);
    config.renderContext = platformCreateGLContext(config.deviceContext);
    if (config.renderContext == nullptr)
        return releaseAfterFailure(config);
    if (!platformMakeCurrent(config.deviceContext, config.renderContext)) {
        platformDeleteGLContext(config.renderContext);
        config.renderContext = nullptr;
        return releaseAfterFailure(config);
    }
    platformShowWindow(config.window);
    config.visible = 1;
    reshapeViewport(config.width, config.height);
    std::memset(*config.keys, 0, sizeof(KeyState));
    config.lastTick = platformTickCount();
    return 1;
}

void reshapeViewport(int32_t width, int32_t height) {
    // A window shrunk to no height keeps a finite projection.
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
