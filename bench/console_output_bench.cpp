// What the output box's text classes do with a flood, without the window or the runner: a file fed to
// ConsoleOutput (the store and its styles) in chunks of 256 characters, as the runner hands them on. For
// callgrind's instruction counts of the escape parser, the pen and the store on a hot path, and for a
// profile without the kernel's share.
//   ombrel_console_output_bench FILE [ROUNDS]   (bytes taken as Latin-1; prints seconds a round, characters
//                                                held, style runs)
#include "ConsoleOutput.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Apart from reading the file, so that `valgrind --tool=callgrind --toggle-collect='*FeedAll*'` counts only
// this.
[[gnu::noinline]] void FeedAll(std::u16string_view units, ConsoleOutput& output) {
    constexpr std::size_t Chunk = 256;
    for (std::size_t at = 0; at < units.size(); at += Chunk) {
        output.Feed(units.substr(at, Chunk));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ombrel_console_output_bench FILE [ROUNDS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Latin-1: each byte is its own character (through unsigned char, or bytes past 0x7F would sign-extend
    // into the half-width and specials block).
    std::u16string units(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), units.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int round = 0; round < rounds; ++round) {
        OutputText text;
        OutputStyles styles;
        ConsoleOutput output(text, &styles);
        const auto start = std::chrono::steady_clock::now();
        FeedAll(units, output);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%.3f s  %zu characters  %zu lines  %zu style runs\n", took.count(), text.Size(),
                    text.LineCount(), styles.Runs(0, text.Size()).size());
    }
}
