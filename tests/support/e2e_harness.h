// Drives the real program: starts build/vantrel on an X server of the test's
// own, finds its windows, sends real key presses and clicks through the XTEST
// extension (xdotool), takes screenshots (ImageMagick's import) and collects
// the exit code and what the program printed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/x_display.h"

struct ShowProcess {
    pid_t pid = -1;
    std::string display;
    std::string stdoutPath;
    std::string stderrPath;
    int exitStatus = -1; // exit code, or 128 + signal
    bool exited = false;
};

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// Starts a program (default build/vantrel) in workingDirectory (default build/).
ShowProcess launchProgram(const XServer& server, const std::string& program = "",
                          const std::string& workingDirectory = "",
                          const std::vector<std::string>& environment = {});

// Waits for the process to end; false (and the process killed) on timeout.
bool waitForExit(ShowProcess& process, double timeoutSeconds);
bool isRunning(ShowProcess& process);
void killProgram(ShowProcess& process);
std::string readStdout(const ShowProcess& process);
std::string readStderr(const ShowProcess& process);

// Runs a shell command with DISPLAY set; returns what it printed.
std::string runOnDisplay(const std::string& display, const std::string& command);

// Waits for a mapped window whose name is exactly title; "" on timeout.
std::string findWindow(const std::string& display, const std::string& title,
                       double timeoutSeconds = 20);
std::vector<std::string> listWindows(const std::string& display, const std::string& title);
WindowGeometry windowGeometry(const std::string& display, const std::string& windowId);

// Real input through XTEST. Key names are X keysym names ("Escape", "Left");
// a press holds the key down for 0.3 s.
void focusWindow(const std::string& display, const std::string& windowId);
void pressKey(const std::string& display, const std::string& key);
void holdKey(const std::string& display, const std::string& key);
void releaseKey(const std::string& display, const std::string& key);
// Holds the key down until the process ends (or the timeout passes), then lets
// it go: the show sees keys only in frames, and none is drawn while it loads.
bool holdKeyUntilExit(ShowProcess& process, const std::string& key, double timeoutSeconds = 20);
void clickAt(const std::string& display, int x, int y);

// What a window manager sends when the user clicks the close box: a
// WM_DELETE_WINDOW client message.
void requestClose(const std::string& display, const std::string& windowId);

// Minimising without a window manager: the window is unmapped, then mapped again.
void minimiseWindow(const std::string& display, const std::string& windowId);
void restoreWindow(const std::string& display, const std::string& windowId);

// The start-up dialog is the window named "Vantrel"; its buttons are found by
// the template's proportions (329 x 113 units: "FullScreen" at (280, 0) 47 x 14,
// "OK" at (280, 14) 47 x 58, "Exit" at (280, 72) 47 x 41).
constexpr const char* startupDialogTitle = "Vantrel";
bool clickStartupButton(const std::string& display, const std::string& button);

// Launches build/vantrel, answers the dialog with "OK" when it shows, and
// waits for the show's window; the window id, or "" when none came.
std::string startWindowedShow(const XServer& server, ShowProcess& process,
                              const std::vector<std::string>& environment = {});

// Screenshot of the whole screen as PNG; true when written.
bool screenshot(const std::string& display, const std::string& pngPath);

// Launches build/vantrel and asks for full screen in the dialog ("FullScreen",
// then "OK"); waits for the show's window.
std::string startFullScreenShow(const XServer& server, ShowProcess& process,
                                const std::vector<std::string>& environment = {});

// The screen's current mode as "WIDTHxHEIGHT", from RandR.
std::string screenMode(const std::string& display);

// True when the cursor the pointer shows at (x, y) has no visible pixel.
bool cursorHiddenAt(const std::string& display, int x, int y);

// Answers the warning box captioned "Error" with its OK button (Return); false
// when no such box showed within the timeout.
bool answerMessageBox(const std::string& display, double timeoutSeconds = 10);

// Processor time the process has used so far, all threads, in seconds.
double cpuSeconds(const ShowProcess& process);

std::string binaryDir();
void sleepSeconds(double seconds);
