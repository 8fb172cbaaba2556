// The window procedure's table: window state, key flags, viewport on resize.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "shell/display_window.h"
#include "shell/window_messages.h"
#include "tests/support/gl_test.h"

namespace {

// A real (hidden) window of the shell's class, so that messages go through
// the platform's queue as in the show.
struct ShellTest : GlTest {
    static KeyState keys;
    static Application application;
    static WindowConfig config;
    static PlatformWindow* window;

    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        if (window != nullptr)
            return;
        ASSERT_TRUE(platformRegisterWindowClass("OpenGL", windowProcedure));
        PlatformWindowRequest request{"OpenGL", "Vantrel Test", 0, 0, 320, 240, false, &config};
        window = platformCreateWindow(request);
        ASSERT_NE(window, nullptr);
    }

    void SetUp() override {
        GlTest::SetUp();
        std::memset(keys, 0, sizeof keys);
        config = WindowConfig{};
        config.keys = &keys;
        config.application = &application;
        config.window = window;
        config.width = 800;
        config.height = 600;
        PlatformMessage message;
        while (platformPeekMessage(&message, window)) {
        }
    }

    // The next message the loop would take, or 0 when none is waiting.
    static uint32_t nextMessage(PlatformMessage& message) {
        return platformPeekMessage(&message, window) ? message.message : 0;
    }
};

KeyState ShellTest::keys;
Application ShellTest::application{nullptr, "OpenGL"};
WindowConfig ShellTest::config;
PlatformWindow* ShellTest::window;

intptr_t packedSize(int width, int height) {
    return width | (height << 16);
}

TEST_F(ShellTest, KeyFlagsFollowKeyDownAndUpAndIgnoreCodesAbove255) {
    EXPECT_EQ(windowProcedure(window, WM_KEYDOWN, VK_LEFT, 0), 0);
    EXPECT_EQ(keys[VK_LEFT], 1);
    windowProcedure(window, WM_KEYDOWN, VK_ESCAPE, 0);
    windowProcedure(window, WM_KEYUP, VK_LEFT, 0);
    EXPECT_EQ(keys[VK_LEFT], 0);
    EXPECT_EQ(keys[VK_ESCAPE], 1);

    KeyState before;
    std::memcpy(before, keys, sizeof keys);
    windowProcedure(window, WM_KEYDOWN, 256, 0);
    windowProcedure(window, WM_KEYDOWN, 0x10025, 0);
    EXPECT_EQ(std::memcmp(before, keys, sizeof keys), 0);
}

TEST_F(ShellTest, MinimisingHidesAndRestoringOrMaximisingShowsAndReshapes) {
    config.visible = 1;
    windowProcedure(window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(config.visible, 0);

    windowProcedure(window, WM_SIZE, SIZE_RESTORED, packedSize(640, 480));
    EXPECT_EQ(config.visible, 1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);

    config.visible = 0;
    windowProcedure(window, WM_SIZE, SIZE_MAXIMIZED, packedSize(1024, 700));
    EXPECT_EQ(config.visible, 1);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 700);

    // Other size kinds (shown or hidden behind other windows) change nothing.
    windowProcedure(window, WM_SIZE, 3, packedSize(10, 10));
    EXPECT_EQ(config.visible, 1);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
}

TEST_F(ShellTest, ScreenSaverAndMonitorPowerCommandsAreSwallowed) {
    EXPECT_EQ(windowProcedure(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(windowProcedure(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
}

TEST_F(ShellTest, CloseRequestPostsTheQuitAndKeepsTheWindow) {
    EXPECT_EQ(windowProcedure(window, WM_CLOSE, 0, 0), 0);
    PlatformMessage message;
    EXPECT_EQ(nextMessage(message), WM_QUIT);
    EXPECT_EQ(nextMessage(message), 0u);
}

// F1's deferred quit reaches the procedure first, which answers it with the quit.
TEST_F(ShellTest, DeferredQuitIsAnsweredWithTheQuitWhenHandled) {
    platformPostMessage(window, WM_DEFERRED_QUIT, 0, 0);
    PlatformMessage message;
    ASSERT_EQ(nextMessage(message), WM_DEFERRED_QUIT);
    EXPECT_EQ(nextMessage(message), 0u);
    platformDispatchMessage(message);
    EXPECT_EQ(nextMessage(message), WM_QUIT);
}

TEST_F(ShellTest, MessagesBeforeCreationTakeTheDefaultPath) {
    platformSetUserData(window, nullptr);
    EXPECT_EQ(windowProcedure(window, WM_KEYDOWN, VK_LEFT, 0), 0);
    EXPECT_EQ(windowProcedure(window, WM_SIZE, SIZE_MINIMIZED, 0), 0);
    EXPECT_EQ(windowProcedure(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(keys[VK_LEFT], 0);
    PlatformMessage message;
    EXPECT_EQ(nextMessage(message), 0u);
    windowProcedure(window, WM_CREATE, 0, reinterpret_cast<intptr_t>(&config));
}

// The base projection: 45 degrees vertically, the area's aspect, near 1, far 100,
// with the model-view matrix selected and cleared.
TEST_F(ShellTest, ReshapeViewportSetsThePerspectiveForTheArea) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 4, 5);
    glMatrixMode(GL_PROJECTION);
    reshapeViewport(800, 600);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f);

    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(projection[0], f / (800.0 / 600.0), 1e-5);
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[10], (100.0 + 1.0) / (1.0 - 100.0), 1e-5);
    EXPECT_NEAR(projection[14], 2.0 * 100.0 * 1.0 / (1.0 - 100.0), 1e-5);
    EXPECT_FLOAT_EQ(projection[11], -1.0f);

    // A window squeezed to no height still gets a finite projection.
    reshapeViewport(800, 0);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_TRUE(std::isfinite(projection[0]));
}

} // namespace
