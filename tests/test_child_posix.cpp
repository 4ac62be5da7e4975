// The test child on POSIX systems.
//   grandchild MS      leaves a grandchild holding stdout that writes "late" after MS milliseconds; "parent"
//   now fds                the open descriptors, e.g. "0 1 2" signals            "SIGPIPE
//   default|ignored|handled SIGTERM blocked|unblocked"
#include "test_child.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace test_child {

void PrepareStreams() {}

void Write(int stream, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(stream, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            std::_Exit(3);
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void SleepMilliseconds(int milliseconds) {
    timespec delay{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

int RunPlatformMode(const std::string& mode, const std::vector<std::string>& args) {
    if (mode == "grandchild" && args.size() == 1) {
        const pid_t pid = ::fork();
        if (pid < 0)
            return 4;
        if (pid == 0) {
            SleepMilliseconds(std::stoi(args[0]));
            Write(1, "late\n", 5);
            std::_Exit(0);
        }
        Write(1, "parent\n", 7);
        return 0;
    }
    if (mode == "fds") {
        DIR* dir = ::opendir("/proc/self/fd");
        if (dir == nullptr)
            return 4;
        std::string list;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || std::stoi(name) == ::dirfd(dir))
                continue;
            list += (list.empty() ? "" : " ") + name;
        }
        ::closedir(dir);
        Write(1, list.data(), list.size());
        return 0;
    }
    if (mode == "signals") {
        struct sigaction pipeAction {};
        ::sigaction(SIGPIPE, nullptr, &pipeAction);
        sigset_t blocked;
        ::sigprocmask(SIG_BLOCK, nullptr, &blocked);
        std::string report = "SIGPIPE ";
        report += pipeAction.sa_handler == SIG_DFL   ? "default"
                  : pipeAction.sa_handler == SIG_IGN ? "ignored"
                                                     : "handled";
        report += sigismember(&blocked, SIGTERM) ? " SIGTERM blocked" : " SIGTERM unblocked";
        Write(1, report.data(), report.size());
        return 0;
    }
    return -1;
}

} // namespace test_child
