// X servers for tests: the GL tests share the session's display (an Xvfb of
// their own when DISPLAY is not set); the end-to-end tests start an Xvfb of
// the screen size they need.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct XServer {
    pid_t pid = -1;
    std::string display; // ":N"
};

// Starts Xvfb with one screen of width x height at 24 bits; empty display on failure.
XServer startXServer(int width, int height, const std::vector<std::string>& extraArguments = {});
void stopXServer(XServer& server);

// Starts an X.Org server on its dummy video driver, whose display really
// changes mode: 1024x768 at start, 800x600 among its modes. Empty display when
// it cannot start (no Xorg, not permitted).
XServer startModeSwitchingXServer();

// Sets DISPLAY to a running X server, starting an Xvfb for this process when
// none is set. False when none can be had.
bool ensureXDisplay();
