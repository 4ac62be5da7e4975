// What the output box's text classes do with a flood, without the window or the runner: a file fed to
// ConsoleOutput (the store and its styles) in chunks of 256 characters, as the runner hands them on. For
// callgrind's instruction counts of the escape parser, the pen and the store on a hot path, and for a
// profile without the kernel's share.
//   ombrel_console_output_bench [--utf8] FILE [ROUNDS]   (bytes taken as Latin-1, or with --utf8 decoded as
//                                                        the runner decodes them on Linux, a read of 256
//                                                        bytes a chunk; prints seconds a round, characters
//                                                        held, style runs)
#include "ConsoleOutput.h"
#include "NarrowDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t Chunk = 256;

// Apart from reading the file, so that `valgrind --tool=callgrind --toggle-collect='*FeedAll*'` counts only
// this: the chunks, each as long as `sizes` says.
[[gnu::noinline]] void FeedAll(std::u16string_view units, const std::vector<std::size_t>& sizes,
                               ConsoleOutput& output) {
    std::size_t at = 0;
    for (const std::size_t size : sizes) {
        output.Feed(units.substr(at, size));
        at += size;
    }
}

// As the runner decodes a flood on Linux: reads of as many bytes as its decoder allows for a chunk of 256
// characters, each decoded with what the read before left unfinished, one chunk a read; what is still carried
// at the end becomes its replacement.
void DecodeAsTheRunner(std::string_view bytes, std::u16string& units, std::vector<std::size_t>& sizes) {
    spillways_detail::NarrowDecoder decoder;
    std::u16string chunk;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t read = std::min(decoder.ReadSize(Chunk), bytes.size() - at);
        decoder.Decode(bytes.data() + at, read, chunk);
        at += read;
        units += chunk;
        sizes.push_back(chunk.size());
    }
    chunk.clear();
    if (decoder.Finish(chunk)) {
        units += chunk;
        sizes.push_back(chunk.size());
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool utf8 = argc > 1 && std::string_view(argv[1]) == "--utf8";
    if (utf8) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: ombrel_console_output_bench [--utf8] FILE [ROUNDS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::u16string units;
    std::vector<std::size_t> sizes;
    if (utf8) {
        DecodeAsTheRunner(bytes, units, sizes);
    } else {
        // Latin-1: each byte is its own character (through unsigned char, or bytes past 0x7F would
        // sign-extend into the half-width and specials block).
        units.resize(bytes.size());
        std::transform(bytes.begin(), bytes.end(), units.begin(),
                       [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
        for (std::size_t at = 0; at < units.size(); at += Chunk) {
            sizes.push_back(std::min(Chunk, units.size() - at));
        }
    }
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int round = 0; round < rounds; ++round) {
        OutputText text;
        OutputStyles styles;
        ConsoleOutput output(text, &styles);
        const auto start = std::chrono::steady_clock::now();
        FeedAll(units, sizes, output);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("%.4f s  %zu characters  %zu lines  %zu style runs\n", took.count(), text.Size(),
                    text.LineCount(), styles.Runs(0, text.Size()).size());
    }
}
