// Find in the output box, measured over the store itself (OutputText, as the window holds it) rather than
// through the window: the search's share of "until shown" is what is measured here; selecting and painting
// the match costs what any selection does.
//   ombrel_search_bench [ASCII-MB] [MIXED-MB]     (defaults 1000 and 50)
// Prints a table: each case's time (best of 3), the memory the search took beyond the text (peak RSS growth
// while searching), and a memchr pass over the same blocks for scale.
#include "TextSearch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

namespace {

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return -1;
}

struct Measured {
    double seconds;
    long extraKilobytes;
};

// Best of three; the peak RSS is reset first, so its growth is the search's own.
Measured Measure(const std::function<void()>& work) {
    double best = 1e9;
    long extra = 0;
    for (int round = 0; round < 3; ++round) {
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = StatusKilobytes("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        work();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        extra = std::max(extra, StatusKilobytes("VmHWM:") - before);
    }
    return {best, extra};
}

void Fill(OutputText& text, std::size_t megabytes, bool mixed, std::size_t markerEvery) {
    CarriageReturns carriageReturns;
    const std::u16string ascii = u"text ";
    const std::u16string other = u"текст κείμενο 文字 テキスト 😀 ";
    std::u16string chunk;
    std::size_t line = 0;
    std::size_t nextMarker = markerEvery / 2;
    while (text.Size() < megabytes * 1000 * 1000) {
        chunk.clear();
        for (int i = 0; i < 256; ++i, ++line) {
            std::string number = "line " + std::to_string(line) + " ";
            chunk.append(number.begin(), number.end());
            for (std::size_t k = 0; k < line % 23; ++k) {
                chunk += mixed && k % 3 == 1 ? other : ascii;
            }
            chunk += u'\n';
        }
        if (markerEvery != 0 && text.Size() >= nextMarker) {
            chunk += u"the Marker line\n";
            nextMarker += markerEvery;
        }
        carriageReturns.Feed(chunk, text);
    }
}

void Row(const char* name, std::size_t characters, const Measured& measured, const char* target) {
    std::printf("%-58s %9.1f %8.3f %10ld  %s\n", name, characters / 1e6, measured.seconds,
                measured.extraKilobytes, target);
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t asciiMegabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const std::size_t mixedMegabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50;
    std::printf("%-58s %9s %8s %10s  %s\n", "case", "M chars", "seconds", "extra KiB", "target");

    OutputText ascii;
    Fill(ascii, asciiMegabytes, false, asciiMegabytes * 1000 * 1000 / 2);
    const SearchedOutput asciiText(ascii);
    std::size_t sink = 0;
    Row("memchr over the same blocks, for scale", ascii.Size(), Measure([&] {
            for (std::size_t p = 0; p < ascii.Size();) {
                const OutputText::Run run = ascii.RunAt(p);
                sink += std::memchr(run.narrow, '\x01', run.size) != nullptr;
                p = run.start + run.size;
            }
        }),
        "");
    const TextSearch absent(u"Needle absent", false);
    Row("absent string, case-insensitive, ASCII lines", ascii.Size(),
        Measure([&] { sink += absent.Find(asciiText, 0, TextSearch::Direction::Forward).has_value(); }),
        "<= 1.0 s at 1000 M");
    const TextSearch marker(u"marker", false);
    const auto first = marker.Find(asciiText, 0, TextSearch::Direction::Forward);
    std::size_t distance = 0;
    Row("find next, the next match half the text further on", ascii.Size(), Measure([&] {
            const auto next = marker.Find(asciiText, first->to, TextSearch::Direction::Forward);
            distance = next->from - first->from;
        }),
        "<= 0.5 s at 500 M apart");
    std::printf("%-58s %9.1f\n", "  (the two matches apart, M chars)", distance / 1e6);
    ascii.Clear();

    OutputText mixed;
    Fill(mixed, mixedMegabytes, true, 0);
    const SearchedOutput mixedText(mixed);
    const TextSearch absentMixed(u"Ненайденное слово", false);
    Row("absent string, case-insensitive, mixed scripts (16-bit)", mixed.Size(),
        Measure([&] { sink += absentMixed.Find(mixedText, 0, TextSearch::Direction::Forward).has_value(); }),
        "<= 0.2 s at 50 M");
    return sink == 12345 ? 1 : 0;
}
