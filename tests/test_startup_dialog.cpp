// The start-up dialog end to end: the real program on an X server of its own,
// answered with real clicks and key presses; and the dialog code itself in a
// child process, to see what it leaves in WindowConfig and in the locale.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/startup_dialog.h"
#include "tests/support/e2e_harness.h"
#include "tests/support/mp3_fixture.h"

namespace {

const char* const modeSwitchFailed = "Mode Switch Failed.\nRunning In Windowed Mode.";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// ---------------------------------------------------------------------------
// The real program

// The show runs in a folder of its own: the data set's files, and a silent
// track while the data set has none (without one the show ends at once).
struct StartupDialogEndToEnd : ::testing::Test {
    static std::string showFolder;
    XServer server;
    ShowProcess show;

    static void SetUpTestSuite() {
        std::string data = binaryDir() + "/data";
        showFolder = makeTemporaryDirectory();
        std::string link = "mkdir -p " + showFolder + "/data && for f in " + data +
                           "/*; do ln -s \"$f\" " + showFolder + "/data/; done; rm -f " +
                           showFolder + "/data/music";
        ASSERT_EQ(std::system(link.c_str()), 0);
        std::ifstream track(data + "/music/track.mp3");
        if (track.good())
            std::system(("mkdir -p " + showFolder + "/data/music && ln -s " + data +
                         "/music/track.mp3 " + showFolder + "/data/music/")
                            .c_str());
        else
            placeTrack(showFolder, encodeMp3(silentSignal(30)));
    }
    static void TearDownTestSuite() { std::system(("rm -rf " + showFolder).c_str()); }

    void SetUp() override {
        std::ifstream video(binaryDir() + "/data/demo1.avi");
        ASSERT_TRUE(video.good()) << "no data set in " << binaryDir() << ": build vantrel_data";
    }

    void TearDown() override {
        killProgram(show);
        stopXServer(server);
    }

    void startScreen(int width, int height) {
        server = startXServer(width, height);
        ASSERT_FALSE(server.display.empty()) << "no Xvfb";
    }

    std::string launchAndFindDialog() {
        show = launchProgram(server, "", showFolder);
        std::string dialog = findWindow(server.display, startupDialogTitle, 30);
        EXPECT_FALSE(dialog.empty()) << readStderr(show);
        return dialog;
    }

    void click(const std::string& button) {
        ASSERT_TRUE(clickStartupButton(server.display, button)) << button;
        sleepSeconds(0.4);
    }

    std::string waitForShow() { return findWindow(server.display, "Vantrel Engine", 30); }

    // The show reads its keys once a frame, so Escape is held until it ends.
    void quitShow(const std::string& window) {
        focusWindow(server.display, window);
        holdKeyUntilExit(show, "Escape");
        ASSERT_TRUE(waitForExit(show, 20)) << "the show did not end on Escape";
        EXPECT_EQ(show.exitStatus, 0) << readStderr(show);
    }

    // The window has no frame: SDL's decoration hint (_MOTIF_WM_HINTS, third
    // field) says 0 for the full-screen pop-up and 1 for a window.
    bool frameless(const std::string& window) {
        std::string hints =
            runOnDisplay(server.display, "xprop -id " + window + " _MOTIF_WM_HINTS");
        size_t at = hints.find("= ");
        if (at == std::string::npos)
            return false;
        unsigned flags = 0, functions = 0, decorations = 1;
        std::sscanf(hints.c_str() + at + 2, "%x, %x, %x", &flags, &functions, &decorations);
        return decorations == 0;
    }
};

std::string StartupDialogEndToEnd::showFolder;

// Every way through the dialog that ends in a window on a 1024x768 screen. The
// full-screen path cannot switch to 800x600 there, so the warning box shows
// and the show goes on in a window.
TEST_F(StartupDialogEndToEnd, OkStartsAnExact800x600WindowUnlessFullScreenIsOn) {
    struct Case {
        std::vector<std::string> clicks;
        bool fullScreenTried;
    };
    const Case cases[] = {
        {{"OK"}, false},
        {{"FullScreen", "FullScreen", "OK"}, false},
        {{"FullScreen", "OK"}, true},
    };
    startScreen(1024, 768);
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& button : c.clicks)
            trace += button + " ";
        SCOPED_TRACE(trace);
        ASSERT_FALSE(launchAndFindDialog().empty());
        for (const std::string& button : c.clicks)
            click(button);
        if (c.fullScreenTried) {
            EXPECT_TRUE(answerMessageBox(server.display, 20)) << readStderr(show);
        }
        std::string window = waitForShow();
        ASSERT_FALSE(window.empty()) << readStderr(show);
        EXPECT_TRUE(listWindows(server.display, startupDialogTitle).empty())
            << "the dialog is still on the screen";
        WindowGeometry g = windowGeometry(server.display, window);
        EXPECT_EQ(g.width, 800);
        EXPECT_EQ(g.height, 600);
        EXPECT_FALSE(frameless(window));
        EXPECT_EQ(contains(readStderr(show), modeSwitchFailed), c.fullScreenTried)
            << readStderr(show);
        quitShow(window);
    }
}

// On a screen that offers 800x600 the switch succeeds: a frameless window over
// the whole screen and no warning.
TEST_F(StartupDialogEndToEnd, FullScreenThenOkCoversAnScreenThatOffers800x600) {
    startScreen(800, 600);
    ASSERT_FALSE(launchAndFindDialog().empty());
    click("FullScreen");
    click("OK");
    std::string window = waitForShow();
    ASSERT_FALSE(window.empty()) << readStderr(show);
    WindowGeometry g = windowGeometry(server.display, window);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, 800);
    EXPECT_EQ(g.height, 600);
    EXPECT_TRUE(frameless(window));
    EXPECT_FALSE(contains(readStderr(show), modeSwitchFailed)) << readStderr(show);
    quitShow(window);
}

TEST_F(StartupDialogEndToEnd, ExitEndsWithCodeZeroAndNoWindowEverShows) {
    startScreen(1024, 768);
    ASSERT_FALSE(launchAndFindDialog().empty());
    click("Exit");
    bool showSeen = false;
    for (int i = 0; i < 100 && isRunning(show); ++i) {
        showSeen = showSeen || !listWindows(server.display, "Vantrel Engine").empty();
        sleepSeconds(0.05);
    }
    ASSERT_TRUE(waitForExit(show, 5)) << "still running after Exit";
    EXPECT_EQ(show.exitStatus, 0);
    EXPECT_FALSE(showSeen);
    EXPECT_TRUE(listWindows(server.display, "Vantrel Engine").empty());
}

// Escape and a close request are ignored; with no default button and no
// focused button, Return and space do nothing either. The keys do reach the
// dialog: Tab gives "FullScreen" the focus and space then switches it on.
TEST_F(StartupDialogEndToEnd, EscapeCloseReturnAndSpaceLeaveTheDialogAsItWas) {
    startScreen(1024, 768);
    std::string dialog = launchAndFindDialog();
    ASSERT_FALSE(dialog.empty());
    focusWindow(server.display, dialog);
    for (const char* key : {"Escape", "Return", "space", "Escape"})
        pressKey(server.display, key);
    requestClose(server.display, dialog);
    sleepSeconds(1.5);
    EXPECT_TRUE(isRunning(show)) << "exit status " << show.exitStatus;
    EXPECT_FALSE(listWindows(server.display, startupDialogTitle).empty());
    EXPECT_TRUE(listWindows(server.display, "Vantrel Engine").empty());

    focusWindow(server.display, dialog);
    pressKey(server.display, "Tab");
    pressKey(server.display, "space");
    sleepSeconds(0.3);
    click("OK");
    EXPECT_TRUE(answerMessageBox(server.display, 20))
        << "FullScreen was not on: " << readStderr(show);
    std::string window = waitForShow();
    ASSERT_FALSE(window.empty()) << readStderr(show);
    quitShow(window);
}

// ---------------------------------------------------------------------------
// How the dialog looks: centred, and the picture at its own size, centred in
// its area (279 of the dialog's 329 units across, all of its height).

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    int at(int x, int y, int channel) const { return rgb[(y * width + x) * 3 + channel]; }
};

Picture readPicture(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) {
        picture.rgb.clear();
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return picture;
}

// Mean difference per channel between the picture and the screen from (left, top).
double meanDifference(const Picture& screen, const Picture& picture, int left, int top) {
    double sum = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(screen.at(left + x, top + y, c) - picture.at(x, y, c));
    return sum / (picture.width * picture.height * 3.0);
}

TEST_F(StartupDialogEndToEnd, DialogIsCentredAndShowsThePictureAtItsOwnSizeCentred) {
    std::string picturePath = binaryDir() + "/resources/startup_picture.png";
    Picture picture = readPicture(picturePath);
    ASSERT_EQ(picture.width, 500) << picturePath;
    ASSERT_EQ(picture.height, 177) << picturePath;

    startScreen(1024, 768);
    std::string dialog = launchAndFindDialog();
    ASSERT_FALSE(dialog.empty());
    sleepSeconds(1);
    WindowGeometry g = windowGeometry(server.display, dialog);
    EXPECT_NEAR(g.x, (1024 - g.width) / 2, 1);
    EXPECT_NEAR(g.y, (768 - g.height) / 2, 1);
    // The picture must fit its area.
    int areaWidth = static_cast<int>(g.width * 279.0 / 329.0 + 0.5);
    ASSERT_GE(areaWidth, 500);
    ASSERT_GE(g.height, 177);

    std::string shot = "/tmp/vantrel-dialog-" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(screenshot(server.display, shot));
    Picture screen = readPicture(shot);
    std::remove(shot.c_str());
    ASSERT_EQ(screen.width, 1024);
    int left = g.x + (areaWidth - 500) / 2;
    int top = g.y + (g.height - 177) / 2;
    // Rounding may put the centre one pixel either way.
    double best = 1e9;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            best = std::min(best, meanDifference(screen, picture, left + dx, top + dy));
    EXPECT_LT(best, 2.0) << "the picture is not where it should be, or not at its own size";
}

// ---------------------------------------------------------------------------
// The dialog code in a child process of its own

struct ChildRun {
    bool finished = false;
    int exitStatus = -1;
    std::string report; // what the child wrote after the dialog
    std::string errors; // its standard error
};

std::string tenthsOfOnePointFive() {
    return std::to_string(std::lround(std::strtod("1.5", nullptr) * 10));
}

// Runs runStartupDialog in a child with the given environment changes
// ("NAME=value" sets, "NAME" unsets) while the parent calls answer. The child
// reports WindowConfig's four display fields, LC_NUMERIC and how "1.5" reads
// (in tenths);
// then, to show what the environment's locale would have done, the same two
// after taking LC_NUMERIC from the environment.
template <typename Answer>
ChildRun runDialogInChild(const std::vector<std::string>& environment, Answer answer) {
    ChildRun run;
    std::string errorsPath = "/tmp/vantrel-dialog-" + std::to_string(getpid()) + ".err";
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::freopen(errorsPath.c_str(), "w", stderr);
        for (const std::string& change : environment) {
            size_t equals = change.find('=');
            if (equals == std::string::npos)
                unsetenv(change.c_str());
            else
                setenv(change.substr(0, equals).c_str(), change.substr(equals + 1).c_str(), 1);
        }
        WindowConfig config{};
        config.width = 1;
        config.height = 2;
        config.bitsPerPixel = 3;
        config.fullscreen = 1;
        runStartupDialog(config);
        // Numbers are reported in tenths, as integers, which read the same
        // under every locale.
        const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
        std::string report = std::to_string(config.fullscreen) + " " +
                             std::to_string(config.width) + " " + std::to_string(config.height) +
                             " " + std::to_string(config.bitsPerPixel) + " " +
                             (numeric ? numeric : "?") + " " + tenthsOfOnePointFive();
        const char* environmentNumeric = std::setlocale(LC_NUMERIC, "");
        report += std::string(" | ") + (environmentNumeric ? environmentNumeric : "?") + " " +
                  tenthsOfOnePointFive();
        std::fflush(stderr);
        if (write(fds[1], report.data(), report.size()) != static_cast<ssize_t>(report.size()))
            _exit(3);
        _exit(0);
    }
    close(fds[1]);
    answer();
    for (int i = 0; i < 400; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.finished = true;
            run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        sleepSeconds(0.05);
    }
    if (!run.finished) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    char buffer[256];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        run.report.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    std::ifstream in(errorsPath);
    std::stringstream text;
    text << in.rdbuf();
    run.errors = text.str();
    std::remove(errorsPath.c_str());
    return run;
}

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

TEST(StartupDialogCode, WithoutADisplayTheDefaultsStandAfterOneLine) {
    for (const char* display : {"DISPLAY", "DISPLAY=:9876"}) {
        SCOPED_TRACE(display);
        ChildRun run = runDialogInChild({display}, [] {});
        ASSERT_TRUE(run.finished) << "hung without a display";
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.report.substr(0, 8), "1 1 2 3 ") << "the dialog changed the defaults";
        EXPECT_EQ(lineCount(run.errors), 1) << run.errors;
    }
}

// Makes a German locale (decimal comma) in a folder of the test's own; "" when
// this machine has no locale sources.
std::string makeGermanLocale() {
    std::string folder = "/tmp/vantrel-locale-" + std::to_string(getpid());
    std::string command = "mkdir -p " + folder + " && localedef -i de_DE -f UTF-8 " + folder +
                          "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return "";
    return folder;
}

// "OK" writes 800, 600, 32 and clears full screen, and GTK leaves the process
// locale alone: numbers go on reading with a decimal point under a locale
// whose decimal sign is a comma.
TEST(StartupDialogCode, OkWritesTheChoiceAndTheLocaleStaysC) {
    XServer server = startXServer(1024, 768);
    ASSERT_FALSE(server.display.empty()) << "no Xvfb";
    std::string locales = makeGermanLocale();
    std::string locale = locales.empty() ? "C.UTF-8" : "de_DE.UTF-8";
    if (locales.empty())
        std::printf("no de_DE locale sources here: checking under C.UTF-8 alone\n");
    std::vector<std::string> environment = {"DISPLAY=" + server.display, "LC_ALL=" + locale,
                                            locales.empty() ? "LOCPATH" : "LOCPATH=" + locales};
    ChildRun run = runDialogInChild(environment,
                                    [&] { EXPECT_TRUE(clickStartupButton(server.display, "OK")); });
    stopXServer(server);
    if (!locales.empty())
        std::system(("rm -rf " + locales).c_str());
    ASSERT_TRUE(run.finished) << run.errors;
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    // Tenths of what "1.5" reads as: 15 with a decimal point, 10 with a comma.
    std::string environmentReading = locales.empty() ? "C.UTF-8 15" : "de_DE.UTF-8 10";
    EXPECT_EQ(run.report, "0 800 600 32 C 15 | " + environmentReading) << run.errors;
}

} // namespace
