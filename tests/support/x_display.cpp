#include "tests/support/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

XServer startXServer(int width, int height) {
    XServer server;
    int fds[2];
    if (pipe(fds) != 0)
        return server;
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::string displayFd = std::to_string(fds[1]);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return server;
    }
    // Xvfb writes its display number once it accepts connections.
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
