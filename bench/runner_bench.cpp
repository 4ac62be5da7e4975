// Reads the output of `cat FILE` one way and prints "<bytes> <seconds> <peak RSS bytes>".
//   ombrel_runner_bench floor COMMAND...    the floor of the window's cases: spawns COMMAND, reads it 256
//   bytes
//                                           at a time to the end and reaps it; prints "<bytes> <seconds>"
// clang-format off
//   bare256     plain 256-byte reads, nothing kept: the limit for reads of that size
//   bare64k     plain 64 KiB reads, nothing kept
//   required    256-byte reads widened to 16-bit text and kept, and a copy returned: the work the runner
//               must do
//   qprocess    QProcess with merged channels, readAll and QString::fromUtf8
//   spillways   Spillways::ExecuteCommand with a listener that counts characters
//   run         Spillways::Run with that listener: the run alone, no copy of the output asked for
// clang-format on
#include "Spillways.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Starts `argv` (a program looked up on PATH) with its output on a pipe; returns the read end.
int StartCommand(char* const* argv, pid_t& pid) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        return -1;
    }
    return fds[0];
}

int StartCat(const char* file, pid_t& pid) {
    char cat[] = "cat";
    std::string path = file;
    char* argv[] = {cat, path.data(), nullptr};
    return StartCommand(argv, pid);
}

// Spawn, 256-byte reads to the end, reap: what any window that keeps to such reads must do at the least.
std::size_t Floor(char* const* argv) {
    pid_t pid = -1;
    const int fd = StartCommand(argv, pid);
    if (fd < 0)
        return 0;
    char buffer[256];
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        total += static_cast<std::size_t>(n);
    ::close(fd);
    ::waitpid(pid, nullptr, 0);
    return total;
}

std::size_t BareLoop(const char* file, std::size_t size) {
    pid_t pid = -1;
    const int fd = StartCat(file, pid);
    std::vector<char> buffer(size);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), size)) > 0;)
        total += static_cast<std::size_t>(n);
    ::close(fd);
    ::waitpid(pid, nullptr, 0);
    return total;
}

std::u16string RequiredWork(const char* file) {
    pid_t pid = -1;
    const int fd = StartCat(file, pid);
    char buffer[256];
    static std::u16string kept; // kept, as the runner keeps its output, while a copy is handed out
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        kept.append(buffer, buffer + n);
    ::close(fd);
    ::waitpid(pid, nullptr, 0);
    return kept;
}

std::size_t ViaQProcess(const char* file) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("cat"), QStringList{QString::fromLocal8Bit(file)});
    process.waitForFinished(-1);
    const QString text = QString::fromUtf8(process.readAll());
    return static_cast<std::size_t>(text.size());
}

std::size_t ViaSpillways(const char* file) {
    Spillways runner([](const std::u16string& message, const std::u16string&) {
        std::fprintf(stderr, "runner: %s\n", std::string(message.begin(), message.end()).c_str());
    });
    std::size_t characters = 0;
    runner.ReceiveOutputs = [&](const std::u16string& chunk) { characters += chunk.size(); };
    const std::string line = std::string("cat '") + file + "'";
    const std::u16string output = runner.ExecuteCommand(std::u16string(line.begin(), line.end()));
    return output.size() == characters ? characters : 0;
}

std::size_t RunOnly(const char* file) {
    Spillways runner([](const std::u16string& message, const std::u16string&) {
        std::fprintf(stderr, "runner: %s\n", std::string(message.begin(), message.end()).c_str());
    });
    std::size_t characters = 0;
    runner.ReceiveOutputs = [&](const std::u16string& chunk) { characters += chunk.size(); };
    const std::string line = std::string("cat '") + file + "'";
    return runner.Run(std::u16string(line.begin(), line.end())) ? characters : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "floor") {
        const auto start = std::chrono::steady_clock::now();
        const std::size_t bytes = Floor(argv + 2);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%zu %.6f\n", bytes, seconds);
        return bytes == 0 ? 1 : 0;
    }
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: ombrel_runner_bench bare256|bare64k|required|qprocess|spillways|run FILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    const char* file = argv[2];
    const auto start = std::chrono::steady_clock::now();
    std::size_t units = 0;
    if (mode == "bare256")
        units = BareLoop(file, 256);
    else if (mode == "bare64k")
        units = BareLoop(file, 65536);
    else if (mode == "required")
        units = RequiredWork(file).size();
    else if (mode == "qprocess")
        units = ViaQProcess(file);
    else if (mode == "spillways")
        units = ViaSpillways(file);
    else if (mode == "run")
        units = RunOnly(file);
    else
        return 2;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%zu %.6f %ld\n", units, seconds, usage.ru_maxrss * 1024L);
    return units == 0 ? 1 : 0;
}
