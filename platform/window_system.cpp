// The window system on SDL2: window, GL context, event queue turned into
// window messages, message boxes, display mode, cursor and tick count.
//
// There is one window class and at most one window. A process that switched
// the display mode or hid the cursor gets both back at exit, whichever way it
// leaves: exit() runs SDL_Quit, and SIGINT or SIGTERM first restore the
// display and then end the process by the signal.
#include "platform/window_system.h"

#include <GL/gl.h>
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct PlatformWindow {
    SDL_Window* sdl;
    void* userData;
};

// SDL has no device context; the window's own GL surface plays that part.
struct PlatformDeviceContext {
    PlatformWindow* window;
    PlatformPixelFormatRequest format;
    bool formatSet;
};

struct PlatformGLContext {
    SDL_GLContext sdl;
};

static struct {
    bool videoStarted;
    bool atexitRegistered;
    bool messageBoxesToStderr;
    const char* className;
    PlatformWindowProc procedure;
    PlatformWindow window;
    PlatformDeviceContext deviceContext;
    PlatformGLContext glContext;
    bool haveWindow;
    bool modeRequested;
    SDL_DisplayMode requestedMode;
    uint32_t postedEventType;
    volatile sig_atomic_t pendingSignal;
} ws;

using SignalHandler = void (*)(int);
static SignalHandler sdlSignalHandlers[NSIG];

// ---------------------------------------------------------------------------
// Start and end

static void shutdownWindowSystem() {
    if (ws.videoStarted) {
        // llvmpipe can deadlock joining its threads when the display closes
        // with drawing still queued; let the drawing finish first.
        if (SDL_GL_GetCurrentContext() != nullptr)
            glFinish();
        SDL_ShowCursor(SDL_ENABLE);
        SDL_Quit(); // destroys the window, which gives back the display mode
        ws.videoStarted = false;
    }
}

// Keeps SDL's own handler (it queues SDL_QUIT) and notes which signal came, so
// the queue can end the process by that signal once the display is restored.
static void noteSignal(int signal) {
    ws.pendingSignal = signal;
    if (signal > 0 && signal < NSIG && sdlSignalHandlers[signal] != nullptr &&
        sdlSignalHandlers[signal] != SIG_DFL && sdlSignalHandlers[signal] != SIG_IGN)
        sdlSignalHandlers[signal](signal);
}

static void watchSignal(int signal) {
    struct sigaction previous {};
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN)
        return;
    sdlSignalHandlers[signal] = previous.sa_handler;
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

static void endBySignal(int signal) {
    shutdownWindowSystem();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

static bool startVideo() {
    if (ws.videoStarted)
        return true;
    // The show needs a real window: never fall back to SDL's off-screen or
    // dummy drivers, which would run it where nobody sees it.
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    bool waylandOnly =
        wayland != nullptr && wayland[0] != '\0' && (x11 == nullptr || x11[0] == '\0');
    SDL_SetHint(SDL_HINT_VIDEODRIVER, waylandOnly ? "wayland" : "x11");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "vantrel: cannot start the window system: %s\n", SDL_GetError());
        return false;
    }
    ws.videoStarted = true;
    SDL_DisableScreenSaver();
    ws.postedEventType = SDL_RegisterEvents(1);
    watchSignal(SIGINT);
    watchSignal(SIGTERM);
    if (!ws.atexitRegistered) {
        std::atexit(shutdownWindowSystem);
        ws.atexitRegistered = true;
    }
    return true;
}

bool platformRegisterWindowClass(const char* className, PlatformWindowProc procedure) {
    if (!startVideo())
        return false;
    ws.className = className;
    ws.procedure = procedure;
    return true;
}

void platformUnregisterWindowClass(const char* className) {
    if (ws.className != nullptr && std::strcmp(ws.className, className) == 0) {
        ws.className = nullptr;
        ws.procedure = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Display mode

bool platformChangeDisplayMode(int width, int height, int bitsPerPixel) {
    if (!startVideo())
        return false;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0)
            continue;
        // SDL counts the bits that carry colour; a 32-bit mode stores 4 bytes.
        int storedBits = SDL_BYTESPERPIXEL(mode.format) * 8;
        if (mode.w == width && mode.h == height && storedBits == bitsPerPixel) {
            ws.requestedMode = mode;
            ws.modeRequested = true;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Window

static intptr_t sendMessage(PlatformWindow* window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
    if (ws.procedure == nullptr)
        return 0;
    return ws.procedure(window, message, wParam, lParam);
}

PlatformWindow* platformCreateWindow(const PlatformWindowRequest& request) {
    if (!ws.videoStarted || ws.procedure == nullptr || ws.haveWindow)
        return nullptr;
    if (request.className == nullptr || ws.className == nullptr ||
        std::strcmp(request.className, ws.className) != 0)
        return nullptr;
    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (request.fullscreenPopup)
        flags |= SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS;
    else
        flags |= SDL_WINDOW_RESIZABLE;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* sdl =
        SDL_CreateWindow(request.title, request.x, request.y, request.width, request.height, flags);
    if (sdl == nullptr) {
        std::fprintf(stderr, "vantrel: cannot create the window: %s\n", SDL_GetError());
        return nullptr;
    }
    if (request.fullscreenPopup && ws.modeRequested)
        SDL_SetWindowDisplayMode(sdl, &ws.requestedMode);
    ws.window = PlatformWindow{sdl, nullptr};
    ws.haveWindow = true;
    sendMessage(&ws.window, WM_CREATE, 0, reinterpret_cast<intptr_t>(request.createParam));
    return &ws.window;
}

void platformDestroyWindow(PlatformWindow* window) {
    if (window == nullptr || !ws.haveWindow)
        return;
    SDL_DestroyWindow(window->sdl);
    ws.haveWindow = false;
}

static intptr_t packSize(int width, int height) {
    return static_cast<intptr_t>((width & 0xFFFF) | ((height & 0xFFFF) << 16));
}

static intptr_t currentSize(PlatformWindow* window) {
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window->sdl, &width, &height);
    return packSize(width, height);
}

// Shows the window with its outer top-left corner where it was asked for and
// sends the size message that showing a window sends.
void platformShowWindow(PlatformWindow* window) {
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_ShowWindow(window->sdl);
    if ((SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) == 0) {
        int top = 0;
        int left = 0;
        if (SDL_GetWindowBordersSize(window->sdl, &top, &left, nullptr, nullptr) == 0 &&
            (top != 0 || left != 0))
            SDL_SetWindowPosition(window->sdl, x + left, y + top);
    }
    SDL_PumpEvents();
    sendMessage(window, WM_SIZE, SIZE_RESTORED, currentSize(window));
}

void platformSetUserData(PlatformWindow* window, void* data) {
    window->userData = data;
}
void* platformGetUserData(PlatformWindow* window) {
    return window->userData;
}

// ---------------------------------------------------------------------------
// Device and rendering context

PlatformDeviceContext* platformGetDeviceContext(PlatformWindow* window) {
    if (window == nullptr)
        return nullptr;
    ws.deviceContext = PlatformDeviceContext{window, {}, false};
    return &ws.deviceContext;
}

void platformReleaseDeviceContext(PlatformWindow*, PlatformDeviceContext* context) {
    if (context != nullptr)
        context->formatSet = false;
}

// The window was made with an 8-bit-per-channel, double-buffered format with a
// 16-bit depth buffer; a request within that is met by format 1.
int platformChoosePixelFormat(PlatformDeviceContext* context,
                              const PlatformPixelFormatRequest& request) {
    if (context == nullptr || !request.doubleBuffer || request.colourBits > 32 ||
        request.depthBits > 24)
        return 0;
    context->format = request;
    return 1;
}

bool platformSetPixelFormat(PlatformDeviceContext* context, int format) {
    if (context == nullptr || format != 1)
        return false;
    context->formatSet = true;
    return true;
}

PlatformGLContext* platformCreateGLContext(PlatformDeviceContext* context) {
    if (context == nullptr || !context->formatSet)
        return nullptr;
    SDL_GLContext sdl = SDL_GL_CreateContext(context->window->sdl);
    if (sdl == nullptr) {
        std::fprintf(stderr, "vantrel: cannot create the OpenGL context: %s\n", SDL_GetError());
        return nullptr;
    }
    ws.glContext.sdl = sdl;
    return &ws.glContext;
}

bool platformMakeCurrent(PlatformDeviceContext* context, PlatformGLContext* glContext) {
    if (context == nullptr || glContext == nullptr)
        return false;
    if (SDL_GL_MakeCurrent(context->window->sdl, glContext->sdl) != 0)
        return false;
    // The buffer swap is the only pacing: wait for the display where it can.
    if (SDL_GL_SetSwapInterval(1) != 0)
        SDL_GL_SetSwapInterval(0);
    return true;
}

void platformDeleteGLContext(PlatformGLContext* glContext) {
    if (glContext != nullptr && glContext->sdl != nullptr) {
        SDL_GL_DeleteContext(glContext->sdl);
        glContext->sdl = nullptr;
    }
}

void platformSwapBuffers(PlatformDeviceContext* context) {
    if (context != nullptr)
        SDL_GL_SwapWindow(context->window->sdl);
}

void platformShowCursor(bool show) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

uint32_t platformTickCount() {
    return SDL_GetTicks();
}

// ---------------------------------------------------------------------------
// Keys: SDL key codes to Windows virtual-key codes.

static int virtualKeyFor(SDL_Keycode key) {
    if (key >= 'a' && key <= 'z')
        return static_cast<int>(key - 'a' + 'A');
    if (key >= '0' && key <= '9')
        return static_cast<int>(key);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + static_cast<int>(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return 0x61 + static_cast<int>(key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 17;
    case SDLK_LALT:
    case SDLK_RALT:
        return 18;
    case SDLK_PAUSE:
        return 19;
    case SDLK_CAPSLOCK:
        return 20;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return 32;
    case SDLK_PAGEUP:
        return 33;
    case SDLK_PAGEDOWN:
        return 34;
    case SDLK_END:
        return 35;
    case SDLK_HOME:
        return 36;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_PRINTSCREEN:
        return 44;
    case SDLK_INSERT:
        return 45;
    case SDLK_DELETE:
        return 46;
    case SDLK_KP_0:
        return 0x60;
    case SDLK_KP_MULTIPLY:
        return 0x6A;
    case SDLK_KP_PLUS:
        return 0x6B;
    case SDLK_KP_MINUS:
        return 0x6D;
    case SDLK_KP_PERIOD:
        return 0x6E;
    case SDLK_KP_DIVIDE:
        return 0x6F;
    case SDLK_NUMLOCKCLEAR:
        return 0x90;
    case SDLK_SCROLLLOCK:
        return 0x91;
    case SDLK_SEMICOLON:
        return 0xBA;
    case SDLK_EQUALS:
        return 0xBB;
    case SDLK_COMMA:
        return 0xBC;
    case SDLK_MINUS:
        return 0xBD;
    case SDLK_PERIOD:
        return 0xBE;
    case SDLK_SLASH:
        return 0xBF;
    case SDLK_BACKQUOTE:
        return 0xC0;
    case SDLK_LEFTBRACKET:
        return 0xDB;
    case SDLK_BACKSLASH:
        return 0xDC;
    case SDLK_RIGHTBRACKET:
        return 0xDD;
    case SDLK_QUOTE:
        return 0xDE;
    default:
        return -1;
    }
}

// ---------------------------------------------------------------------------
// Message queue

static bool messageFromWindowEvent(const SDL_WindowEvent& event, PlatformMessage* message) {
    PlatformWindow* window = &ws.window;
    message->window = window;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        message->message = WM_CLOSE;
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
        message->message = WM_SIZE;
        message->wParam = SIZE_MINIMIZED;
        message->lParam = 0;
        return true;
    case SDL_WINDOWEVENT_MAXIMIZED:
        message->message = WM_SIZE;
        message->wParam = SIZE_MAXIMIZED;
        message->lParam = currentSize(window);
        return true;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        message->message = WM_SIZE;
        message->wParam = SIZE_RESTORED;
        message->lParam = currentSize(window);
        return true;
    default:
        return false;
    }
}

static bool messageFromEvent(const SDL_Event& event, PlatformMessage* message) {
    *message = PlatformMessage{&ws.window, 0, 0, 0};
    if (event.type == ws.postedEventType && ws.postedEventType != 0) {
        message->message = event.user.code;
        message->wParam = reinterpret_cast<uintptr_t>(event.user.data1);
        message->lParam = reinterpret_cast<intptr_t>(event.user.data2);
        return true;
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return messageFromWindowEvent(event.window, message);
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int code = virtualKeyFor(event.key.keysym.sym);
        if (code < 0)
            return false;
        message->message = event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
        message->wParam = static_cast<uintptr_t>(code);
        return true;
    }
    default:
        return false;
    }
}

bool platformPeekMessage(PlatformMessage* message, PlatformWindow* window) {
    if (!ws.haveWindow || window != &ws.window)
        return false;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT && ws.pendingSignal != 0)
            endBySignal(ws.pendingSignal);
        if (messageFromEvent(event, message))
            return true;
    }
    if (ws.pendingSignal != 0)
        endBySignal(ws.pendingSignal);
    return false;
}

// Sleeps until an event arrives; wakes now and then so that a signal is
// answered even while nothing else happens.
void platformWaitMessage() {
    SDL_WaitEventTimeout(nullptr, 250);
}

void platformPostMessage(PlatformWindow*, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    SDL_Event event{};
    event.type = ws.postedEventType;
    event.user.code = static_cast<Sint32>(message);
    event.user.data1 = reinterpret_cast<void*>(wParam);
    event.user.data2 = reinterpret_cast<void*>(lParam);
    SDL_PushEvent(&event);
}

intptr_t platformDispatchMessage(const PlatformMessage& message) {
    return sendMessage(message.window, message.message, message.wParam, message.lParam);
}

intptr_t platformDefaultProcedure(PlatformWindow*, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

// ---------------------------------------------------------------------------
// Message boxes

void platformSetMessageBoxesToStderr(bool stderrOnly) {
    ws.messageBoxesToStderr = stderrOnly;
}

void platformMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (ws.messageBoxesToStderr)
        return;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
}

// ---------------------------------------------------------------------------
// Off-screen GL

bool platformCreateOffscreenGL(int width, int height) {
    if (!startVideo())
        return false;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* sdl = SDL_CreateWindow("Vantrel Engine", 0, 0, width, height,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (sdl == nullptr) {
        std::fprintf(stderr, "vantrel: cannot create a hidden window: %s\n", SDL_GetError());
        return false;
    }
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (context == nullptr || SDL_GL_MakeCurrent(sdl, context) != 0) {
        std::fprintf(stderr, "vantrel: cannot create an OpenGL context: %s\n", SDL_GetError());
        return false;
    }
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depthStencil = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              depthStencil);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::fprintf(stderr, "vantrel: the off-screen frame buffer is incomplete\n");
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    return true;
}
