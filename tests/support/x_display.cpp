#include "tests/support/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Runs an X server whose arguments follow "-displayfd N" and reads back the
// display number it writes once it accepts connections.
static XServer runXServer(const std::vector<std::string>& arguments) {
    XServer server;
    int fds[2];
    if (pipe(fds) != 0)
        return server;
    std::vector<std::string> words = {arguments[0], "-displayfd", std::to_string(fds[1])};
    words.insert(words.end(), arguments.begin() + 1, arguments.end());
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return server;
    }
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (poll(&pfd, 1, 20000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return server;
    }
    server.pid = pid;
    server.display = ":" + number;
    return server;
}

XServer startXServer(int width, int height, const std::vector<std::string>& extraArguments) {
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> arguments = {"Xvfb",      "-screen", "0",       screen,
                                          "-nolisten", "tcp",     "-noreset"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    return runXServer(arguments);
}

static const char dummyDriverConfig[] = R"(Section "Monitor"
    Identifier "Monitor0"
    HorizSync 28.0-80.0
    VertRefresh 48.0-75.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Device"
    Identifier "Card0"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Screen"
    Identifier "Screen0"
    Device "Card0"
    Monitor "Monitor0"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600"
        Virtual 1024 768
    EndSubSection
EndSection
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
)";

XServer startModeSwitchingXServer() {
    std::string base = "/tmp/vantrel-xorg-" + std::to_string(getpid());
    std::string config = base + ".conf";
    FILE* file = std::fopen(config.c_str(), "w");
    if (file == nullptr)
        return XServer{};
    std::fputs(dummyDriverConfig, file);
    std::fclose(file);
    return runXServer({"Xorg", "-config", config, "-logfile", base + ".log", "-nolisten", "tcp",
                       "-noreset", "-novtswitch", "-sharevts"});
}

void stopXServer(XServer& server) {
    if (server.pid > 0) {
        kill(server.pid, SIGTERM);
        waitpid(server.pid, nullptr, 0);
    }
    server.pid = -1;
    server.display.clear();
}

static XServer ownServer;

static void stopOwnServer() {
    stopXServer(ownServer);
}

bool ensureXDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && display[0] != '\0')
        return true;
    ownServer = startXServer(1024, 768);
    if (ownServer.display.empty())
        return false;
    setenv("DISPLAY", ownServer.display.c_str(), 1);
    std::atexit(stopOwnServer);
    return true;
}
