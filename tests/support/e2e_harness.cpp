#include "tests/support/e2e_harness.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

std::string binaryDir() {
    return VANTREL_BINARY_DIR;
}

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

static std::string temporaryPath(const char* kind) {
    static int counter = 0;
    return "/tmp/vantrel-e2e-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "." +
           kind;
}

ShowProcess launchProgram(const XServer& server, const std::string& program,
                          const std::string& workingDirectory,
                          const std::vector<std::string>& environment) {
    ShowProcess process;
    process.display = server.display;
    process.stdoutPath = temporaryPath("out");
    process.stderrPath = temporaryPath("err");
    std::string path = program.empty() ? binaryDir() + "/vantrel" : program;
    std::string directory = workingDirectory.empty() ? binaryDir() : workingDirectory;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int out = open(process.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(process.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (chdir(directory.c_str()) != 0)
            _exit(126);
        setenv("DISPLAY", server.display.c_str(), 1);
        for (const std::string& assignment : environment)
            putenv(const_cast<char*>(assignment.c_str()));
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    process.pid = pid;
    return process;
}

static void noteStatus(ShowProcess& process, int status) {
    process.exited = true;
    if (WIFEXITED(status))
        process.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        process.exitStatus = 128 + WTERMSIG(status);
}

bool isRunning(ShowProcess& process) {
    if (process.exited || process.pid <= 0)
        return false;
    int status = 0;
    if (waitpid(process.pid, &status, WNOHANG) == process.pid) {
        noteStatus(process, status);
        return false;
    }
    return true;
}

bool waitForExit(ShowProcess& process, double timeoutSeconds) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!isRunning(process))
            return true;
        sleepSeconds(0.05);
    }
    killProgram(process);
    return false;
}

void killProgram(ShowProcess& process) {
    if (!isRunning(process))
        return;
    kill(-process.pid, SIGKILL);
    int status = 0;
    waitpid(process.pid, &status, 0);
    noteStatus(process, status);
}

static std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string readStdout(const ShowProcess& process) {
    return readFile(process.stdoutPath);
}
std::string readStderr(const ShowProcess& process) {
    return readFile(process.stderrPath);
}

std::string runOnDisplay(const std::string& display, const std::string& command) {
    std::string full = "DISPLAY=" + display + " " + command + " 2>/dev/null";
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr)
        return "";
    std::string output;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

std::vector<std::string> listWindows(const std::string& display, const std::string& title) {
    std::string output =
        runOnDisplay(display, "xdotool search --onlyvisible --name '^" + title + "$'");
    std::vector<std::string> ids;
    std::istringstream lines(output);
    std::string id;
    while (lines >> id)
        ids.push_back(id);
    return ids;
}

std::string findWindow(const std::string& display, const std::string& title,
                       double timeoutSeconds) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<std::string> ids = listWindows(display, title);
        if (!ids.empty())
            return ids.front();
        sleepSeconds(0.1);
    }
    return "";
}

static int numberAfter(const std::string& text, const std::string& label) {
    size_t at = text.find(label);
    if (at == std::string::npos)
        return -1;
    return std::atoi(text.c_str() + at + label.size());
}

WindowGeometry windowGeometry(const std::string& display, const std::string& windowId) {
    std::string info = runOnDisplay(display, "xwininfo -id " + windowId);
    WindowGeometry geometry;
    geometry.x = numberAfter(info, "Absolute upper-left X:");
    geometry.y = numberAfter(info, "Absolute upper-left Y:");
    geometry.width = numberAfter(info, "Width:");
    geometry.height = numberAfter(info, "Height:");
    return geometry;
}

void focusWindow(const std::string& display, const std::string& windowId) {
    runOnDisplay(display, "xdotool windowfocus " + windowId);
}

// Held long enough for a frame to see it: the show reads its keys once a frame.
void pressKey(const std::string& display, const std::string& key) {
    holdKey(display, key);
    sleepSeconds(0.3);
    releaseKey(display, key);
}

void holdKey(const std::string& display, const std::string& key) {
    runOnDisplay(display, "xdotool keydown " + key);
}

void releaseKey(const std::string& display, const std::string& key) {
    runOnDisplay(display, "xdotool keyup " + key);
}

bool holdKeyUntilExit(ShowProcess& process, const std::string& key, double timeoutSeconds) {
    holdKey(process.display, key);
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (isRunning(process) && std::chrono::steady_clock::now() < deadline)
        sleepSeconds(0.05);
    releaseKey(process.display, key);
    return !isRunning(process);
}

void clickAt(const std::string& display, int x, int y) {
    runOnDisplay(display,
                 "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

bool screenshot(const std::string& display, const std::string& pngPath) {
    runOnDisplay(display, "import -window root '" + pngPath + "'");
    std::ifstream in(pngPath);
    return in.good();
}

void requestClose(const std::string& display, const std::string& windowId) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr)
        return;
    Window window = std::strtoul(windowId.c_str(), nullptr, 10);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection, window, False, NoEventMask, &event);
    XFlush(connection);
    XCloseDisplay(connection);
}

void minimiseWindow(const std::string& display, const std::string& windowId) {
    runOnDisplay(display, "xdotool windowunmap " + windowId);
}

void restoreWindow(const std::string& display, const std::string& windowId) {
    runOnDisplay(display, "xdotool windowmap " + windowId);
}

bool clickStartupButton(const std::string& display, const std::string& button) {
    std::string dialog = findWindow(display, startupDialogTitle, 20);
    if (dialog.empty())
        return false;
    WindowGeometry g = windowGeometry(display, dialog);
    double top = 0;
    double height = 0;
    if (button == "FullScreen") {
        top = 0;
        height = 14;
    } else if (button == "OK") {
        top = 14;
        height = 58;
    } else if (button == "Exit") {
        top = 72;
        height = 41;
    } else {
        return false;
    }
    int x = g.x + static_cast<int>(g.width * (280 + 47 / 2.0) / 329.0);
    int y = g.y + static_cast<int>(g.height * (top + height / 2) / 113.0);
    clickAt(display, x, y);
    return true;
}

static std::string startShowWith(const XServer& server, ShowProcess& process,
                                 const std::vector<std::string>& environment, bool fullScreen) {
    process = launchProgram(server, "", "", environment);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline && isRunning(process)) {
        std::vector<std::string> shows = listWindows(server.display, "Vantrel Engine");
        if (!shows.empty())
            return shows.front();
        if (!listWindows(server.display, startupDialogTitle).empty()) {
            if (fullScreen) {
                clickStartupButton(server.display, "FullScreen");
                sleepSeconds(0.3);
            }
            clickStartupButton(server.display, "OK");
            sleepSeconds(0.5);
        }
        sleepSeconds(0.1);
    }
    return "";
}

// xdotool's search does not see the box's UTF-8 name, so the box is looked
// for in the window tree.
bool answerMessageBox(const std::string& display, double timeoutSeconds) {
    for (double waited = 0; waited < timeoutSeconds; waited += 0.2) {
        std::istringstream tree(runOnDisplay(display, "xwininfo -root -children"));
        std::string line;
        while (std::getline(tree, line)) {
            if (line.find("\"Error\":") == std::string::npos)
                continue;
            std::string box;
            std::istringstream(line) >> box;
            focusWindow(display, box);
            pressKey(display, "Return");
            return true;
        }
        sleepSeconds(0.2);
    }
    return false;
}

double cpuSeconds(const ShowProcess& process) {
    std::ifstream in("/proc/" + std::to_string(process.pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index)
        if (index == 14 || index == 15)
            ticks += std::atof(field.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string startWindowedShow(const XServer& server, ShowProcess& process,
                              const std::vector<std::string>& environment) {
    return startShowWith(server, process, environment, false);
}

std::string startFullScreenShow(const XServer& server, ShowProcess& process,
                                const std::vector<std::string>& environment) {
    return startShowWith(server, process, environment, true);
}

std::string screenMode(const std::string& display) {
    std::string output = runOnDisplay(display, "xrandr --current");
    size_t at = output.find("current ");
    if (at == std::string::npos)
        return "";
    int width = 0;
    int height = 0;
    if (std::sscanf(output.c_str() + at, "current %d x %d", &width, &height) != 2)
        return "";
    return std::to_string(width) + "x" + std::to_string(height);
}

bool cursorHiddenAt(const std::string& display, int x, int y) {
    runOnDisplay(display, "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    sleepSeconds(0.3);
    Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr)
        return false;
    bool hidden = false;
    int eventBase = 0;
    int errorBase = 0;
    if (XFixesQueryExtension(connection, &eventBase, &errorBase)) {
        XFixesCursorImage* image = XFixesGetCursorImage(connection);
        if (image != nullptr) {
            hidden = true;
            for (int i = 0; i < image->width * image->height; ++i)
                if ((image->pixels[i] >> 24) != 0)
                    hidden = false;
            XFree(image);
        }
    }
    XCloseDisplay(connection);
    return hidden;
}
