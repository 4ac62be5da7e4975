// A child program for the runner's tests, so every case is exact and none needs a shell.
//   write N            N bytes of 64-byte text lines on stdout
//   hex HEX...         each argument's bytes (given in hex) on stdout, one write each
//   hexerr HEX         the bytes on stderr
//   alternate N        "out i" on stdout and "err i" on stderr, N times, one write each
//   args WORD...       each argument as "[word]" on a line of its own
//   stdin              "eof", "data" or "error": what reading standard input gives
//   wait-file PATH     "before", then waits (up to a minute) until PATH exists, then "after"
//   slow N MS          N numbered lines, MS milliseconds apart
//   (and the platform's own modes: see test_child_posix.cpp / test_child_win32.cpp)
#include "test_child.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace test_child;

namespace {

void Print(int stream, const std::string& text) {
    Write(stream, text.data(), text.size());
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

int WriteLines(long long total) {
    std::string block;
    const std::string line = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n";
    while (block.size() < 65536)
        block += line;
    while (total > 0) {
        const auto size =
            static_cast<std::size_t>(std::min<long long>(total, static_cast<long long>(block.size())));
        Write(1, block.data(), size);
        total -= static_cast<long long>(size);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PrepareStreams();
    if (argc < 2) {
        Print(2, "usage: ombrel_test_child MODE [ARGS...]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);

    if (mode == "write" && args.size() == 1)
        return WriteLines(std::stoll(args[0]));
    if (mode == "hex" || mode == "hexerr") {
        for (const std::string& arg : args)
            Print(mode == "hex" ? 1 : 2, FromHex(arg));
        return 0;
    }
    if (mode == "alternate" && args.size() == 1) {
        for (int i = 0; i < std::stoi(args[0]); ++i) {
            Print(1, "out " + std::to_string(i) + "\n");
            Print(2, "err " + std::to_string(i) + "\n");
        }
        return 0;
    }
    if (mode == "args") {
        for (const std::string& arg : args)
            Print(1, "[" + arg + "]\n");
        return 0;
    }
    if (mode == "stdin") {
        char byte = 0;
        const std::size_t got = std::fread(&byte, 1, 1, stdin);
        Print(1, got == 1 ? "data" : std::ferror(stdin) ? "error" : "eof");
        return 0;
    }
    if (mode == "wait-file" && args.size() == 1) {
        Print(1, "before\n");
        for (int i = 0; i < 12000 && !FileExists(args[0]); ++i)
            SleepMilliseconds(5);
        Print(1, "after\n");
        return 0;
    }
    if (mode == "slow" && args.size() == 2) {
        for (int i = 0; i < std::stoi(args[0]); ++i) {
            Print(1, "line " + std::to_string(i) + "\n");
            SleepMilliseconds(std::stoi(args[1]));
        }
        return 0;
    }
    const int result = RunPlatformMode(mode, args);
    if (result >= 0)
        return result;
    Print(2, "ombrel_test_child: unknown mode " + mode + "\n");
    return 2;
}
