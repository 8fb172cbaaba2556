// The show's shell end to end: the real program on an X server of its own,
// driven with real key presses and window-manager messages.
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/e2e_harness.h"

namespace {

struct ShellEndToEnd : ::testing::Test {
    XServer server;
    ShowProcess show;

    void SetUp() override {
        server = startXServer(1024, 768);
        ASSERT_FALSE(server.display.empty()) << "no Xvfb";
    }
    void TearDown() override {
        killProgram(show);
        stopXServer(server);
    }

    std::string startShow() {
        std::string window = startWindowedShow(server, show);
        EXPECT_FALSE(window.empty()) << readStderr(show);
        return window;
    }
};

TEST_F(ShellEndToEnd, WindowedShowHasAnExact800x600ClientAreaAtTheScreensTopLeft) {
    std::string window = startShow();
    ASSERT_FALSE(window.empty());
    WindowGeometry g = windowGeometry(server.display, window);
    EXPECT_EQ(g.width, 800);
    EXPECT_EQ(g.height, 600);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
}

// Escape and the window's close request post the quit; F1 goes through the
// deferred quit. Each ends the program with exit code 0.
TEST_F(ShellEndToEnd, EveryWayToQuitEndsWithExitCodeZero) {
    const char* ways[] = {"Escape", "F1", "close"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        std::string window = startShow();
        ASSERT_FALSE(window.empty());
        sleepSeconds(1.0);
        if (std::string(way) == "close") {
            requestClose(server.display, window);
        } else {
            focusWindow(server.display, window);
            holdKeyUntilExit(show, way);
        }
        ASSERT_TRUE(waitForExit(show, 15)) << "still running after " << way;
        EXPECT_EQ(show.exitStatus, 0) << readStderr(show);
    }
}

TEST_F(ShellEndToEnd, HeldArrowKeysDoNotDisturbTheLoop) {
    std::string window = startShow();
    ASSERT_FALSE(window.empty());
    focusWindow(server.display, window);
    for (const char* key : {"Right", "Left", "Up", "Down"}) {
        holdKey(server.display, key);
        sleepSeconds(0.4);
        releaseKey(server.display, key);
    }
    EXPECT_TRUE(isRunning(show)) << readStderr(show);
    holdKeyUntilExit(show, "Escape");
    ASSERT_TRUE(waitForExit(show, 15));
    EXPECT_EQ(show.exitStatus, 0);
}

// Drawing flat out uses a processor; minimised, the loop sleeps in a wait.
TEST_F(ShellEndToEnd, MinimisedShowSleepsAndResumesDrawingWhenRestored) {
    std::string window = startShow();
    ASSERT_FALSE(window.empty());
    sleepSeconds(2.0); // past loading

    auto busyOver = [&](double seconds) {
        double before = cpuSeconds(show);
        sleepSeconds(seconds);
        return (cpuSeconds(show) - before) / seconds;
    };
    EXPECT_GT(busyOver(1.5), 0.3) << "not drawing while visible";
    minimiseWindow(server.display, window);
    sleepSeconds(0.5);
    EXPECT_LT(busyOver(2.0), 0.1) << "still busy while minimised";
    EXPECT_TRUE(isRunning(show));
    restoreWindow(server.display, window);
    sleepSeconds(0.5);
    EXPECT_GT(busyOver(1.5), 0.3) << "drawing did not resume";
}

TEST_F(ShellEndToEnd, TerminalSignalsEndTheShowEvenWhileMinimised) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        std::string window = startShow();
        ASSERT_FALSE(window.empty());
        minimiseWindow(server.display, window);
        sleepSeconds(0.5);
        kill(show.pid, signal);
        ASSERT_TRUE(waitForExit(show, 5));
        EXPECT_EQ(show.exitStatus, 128 + signal);
    }
}

// Without a windowing system the window class cannot be registered: both
// messages, on standard error since no box can be shown, and exit code -1.
TEST_F(ShellEndToEnd, NoWindowingSystemGivesBothMessagesAndExitCodeMinusOne) {
    XServer nowhere;
    nowhere.display = ":9876";
    show = launchProgram(nowhere);
    ASSERT_TRUE(waitForExit(show, 15)) << "hung without a display";
    EXPECT_EQ(show.exitStatus, 255);
    std::string errors = readStderr(show);
    size_t first = errors.find("RegisterClassEx Failed!");
    size_t second = errors.find("Error Registering Window Class!");
    EXPECT_NE(first, std::string::npos) << errors;
    EXPECT_NE(second, std::string::npos) << errors;
    EXPECT_LT(first, second);
}

// A display without OpenGL (an X server without GLX) is a failure: the box,
// then exit code 1.
TEST_F(ShellEndToEnd, NoOpenGLGivesTheBoxAndExitCodeOne) {
    stopXServer(server);
    server = startXServer(1024, 768, {"-extension", "GLX"});
    ASSERT_FALSE(server.display.empty());
    show = launchProgram(server);
    ASSERT_TRUE(clickStartupButton(server.display, "OK"));
    EXPECT_TRUE(answerMessageBox(server.display)) << readStderr(show);
    ASSERT_TRUE(waitForExit(show, 15));
    EXPECT_EQ(show.exitStatus, 1);
    EXPECT_NE(readStderr(show).find("Error Creating OpenGL Window"), std::string::npos);
}

} // namespace

namespace {

// Full screen on a display that really changes mode (X.Org's dummy driver).
struct FullScreenEndToEnd : ::testing::Test {
    XServer server;
    ShowProcess show;

    void SetUp() override {
        server = startModeSwitchingXServer();
        if (server.display.empty())
            GTEST_SKIP() << "no X.Org server with the dummy driver can be started here";
        ASSERT_EQ(screenMode(server.display), "1024x768");
    }
    void TearDown() override {
        killProgram(show);
        stopXServer(server);
    }

    bool waitForMode(const std::string& mode, double seconds) {
        for (double waited = 0; waited < seconds; waited += 0.1) {
            if (screenMode(server.display) == mode)
                return true;
            sleepSeconds(0.1);
        }
        return false;
    }
};

// Every way out gives the display its mode and the cursor back, with the
// exit code of that way: 0 for the show's own ways, the signal for a signal.
TEST_F(FullScreenEndToEnd, SwitchesTheDisplayHidesTheCursorAndEveryWayOutRestoresBoth) {
    struct Way {
        const char* name;
        int exitStatus;
    };
    const Way ways[] = {{"Escape", 0},
                        {"F1", 0},
                        {"close", 0},
                        {"SIGTERM", 128 + SIGTERM},
                        {"SIGINT", 128 + SIGINT},
                        {"end of the show", 0}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        std::string window = startFullScreenShow(server, show);
        ASSERT_FALSE(window.empty()) << readStderr(show);
        ASSERT_TRUE(waitForMode("800x600", 10));
        WindowGeometry g = windowGeometry(server.display, window);
        EXPECT_EQ(g.x, 0);
        EXPECT_EQ(g.y, 0);
        EXPECT_EQ(g.width, 800);
        EXPECT_EQ(g.height, 600);
        EXPECT_TRUE(cursorHiddenAt(server.display, 400, 300));

        std::string name = way.name;
        focusWindow(server.display, window);
        if (name == "close")
            requestClose(server.display, window);
        else if (name == "SIGTERM")
            kill(show.pid, SIGTERM);
        else if (name == "SIGINT")
            kill(show.pid, SIGINT);
        else if (name == "end of the show")
            holdKey(server.display, "Up"); // five seconds further in every frame
        else
            holdKeyUntilExit(show, name);
        bool ended = waitForExit(show, 60);
        if (name == "end of the show")
            releaseKey(server.display, "Up");
        ASSERT_TRUE(ended);
        EXPECT_EQ(show.exitStatus, way.exitStatus) << readStderr(show);
        EXPECT_TRUE(waitForMode("1024x768", 5)) << "display left at " << screenMode(server.display);
        EXPECT_FALSE(cursorHiddenAt(server.display, 400, 300));
    }
}

} // namespace
