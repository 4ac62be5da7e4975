#include "test_child.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

void IgnoreInterrupt() {
    std::signal(SIGINT, SIG_IGN);
}

bool StartGrandchild(int milliseconds) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        SleepMilliseconds(milliseconds);
        Write(1, "late\n", 5);
        std::_Exit(0);
    }
    return pid > 0;
}

} // namespace test_child
