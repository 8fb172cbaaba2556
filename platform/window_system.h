// The window system the shell is written against: a thin stand-in, on SDL2,
// for the Windows calls the show was made with (window class, window, device
// and rendering context, message queue, message boxes, display mode, cursor,
// tick count).
//
// Messages keep the Windows numbers and meanings the shell's tables use, so
// the window procedure reads as a table of messages. SDL events are turned
// into those messages when they are taken from the queue. Nothing here knows
// about the show.
#pragma once

#include <cstdint>

struct PlatformWindow;
struct PlatformDeviceContext;
struct PlatformGLContext;

// Messages.
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_USER = 0x0400;

// WM_SIZE kinds.
constexpr uintptr_t SIZE_RESTORED = 0;
constexpr uintptr_t SIZE_MINIMIZED = 1;
constexpr uintptr_t SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands the show swallows.
constexpr uintptr_t SC_SCREENSAVE = 0xF140;
constexpr uintptr_t SC_MONITORPOWER = 0xF170;

// Virtual-key codes the keyboard controls use (the other keys are mapped to
// their codes where one exists).
constexpr int VK_ESCAPE = 27;
constexpr int VK_LEFT = 37;
constexpr int VK_UP = 38;
constexpr int VK_RIGHT = 39;
constexpr int VK_DOWN = 40;
constexpr int VK_F1 = 112;

using PlatformWindowProc = intptr_t (*)(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                                        intptr_t lParam);

struct PlatformMessage {
    PlatformWindow* window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// What the display window asks for.
struct PlatformWindowRequest {
    const char* className;
    const char* title;
    int x, y;          // outer top-left corner on the screen
    int width, height; // client area
    bool fullscreenPopup;
    void* createParam; // handed to the window procedure with WM_CREATE
};

struct PlatformPixelFormatRequest {
    int colourBits;
    int depthBits;
    bool doubleBuffer;
};

// Window class: starts the window system and remembers the procedure.
bool platformRegisterWindowClass(const char* className, PlatformWindowProc procedure);
void platformUnregisterWindowClass(const char* className);

// Display mode: true when the display offers exactly width x height at
// bitsPerPixel; the switch itself happens when the full-screen window shows.
// The original mode and the cursor come back on every way out of the process.
bool platformChangeDisplayMode(int width, int height, int bitsPerPixel);

PlatformWindow* platformCreateWindow(const PlatformWindowRequest& request);
void platformDestroyWindow(PlatformWindow* window);
void platformShowWindow(PlatformWindow* window);
void platformSetUserData(PlatformWindow* window, void* data);
void* platformGetUserData(PlatformWindow* window);

PlatformDeviceContext* platformGetDeviceContext(PlatformWindow* window);
void platformReleaseDeviceContext(PlatformWindow* window, PlatformDeviceContext* context);
// Returns a format number (never 0 when the request can be met) and sets it.
int platformChoosePixelFormat(PlatformDeviceContext* context,
                              const PlatformPixelFormatRequest& request);
bool platformSetPixelFormat(PlatformDeviceContext* context, int format);
PlatformGLContext* platformCreateGLContext(PlatformDeviceContext* context);
bool platformMakeCurrent(PlatformDeviceContext* context, PlatformGLContext* glContext);
void platformDeleteGLContext(PlatformGLContext* glContext);
void platformSwapBuffers(PlatformDeviceContext* context);

void platformShowCursor(bool show);
uint32_t platformTickCount();

// Message queue.
bool platformPeekMessage(PlatformMessage* message, PlatformWindow* window);
void platformWaitMessage();
void platformPostMessage(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam);
intptr_t platformDispatchMessage(const PlatformMessage& message);
intptr_t platformDefaultProcedure(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam);

// A warning box with an OK button and no owner. The text also goes to standard
// error; where no box can be shown, standard error alone.
void platformMessageBox(const char* text, const char* caption);
void platformSetMessageBoxesToStderr(bool stderrOnly);

// A GL context with nothing on screen, for programs and tests that draw
// frames they read back: a hidden window and a width x height frame buffer
// object (colour, depth and stencil) bound for drawing and reading. False,
// after a line on standard error, when no display can be had.
bool platformCreateOffscreenGL(int width, int height);
