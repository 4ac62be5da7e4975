#include "CaseFolding.h"

#include <memory>

namespace {

struct FoldRun {
    char32_t first;
    char32_t last;
    int offset; // added to each character of the run
    int step;   // 1: every character; 2: every other one
};

constexpr FoldRun FoldRuns[] = {
#include "CaseFoldingTable.inc"
};

} // namespace

const char16_t* CaseFoldingTable() {
    static const std::unique_ptr<char16_t[]> table = [] {
        auto folded = std::make_unique<char16_t[]>(0x10000);
        for (char32_t c = 0; c < 0x10000; ++c) {
            folded[c] = static_cast<char16_t>(c);
        }
        for (const FoldRun& run : FoldRuns) {
            for (char32_t c = run.first; c <= run.last && c < 0x10000; c += static_cast<char32_t>(run.step)) {
                folded[c] = static_cast<char16_t>(static_cast<int>(c) + run.offset);
            }
        }
        return folded;
    }();
    return table.get();
}

char16_t FoldLowSurrogate(char16_t high, char16_t low) {
    const char32_t c = 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
    for (const FoldRun& run : FoldRuns) {
        if (c >= run.first && c <= run.last && (c - run.first) % static_cast<char32_t>(run.step) == 0) {
            return static_cast<char16_t>(0xDC00 + ((static_cast<int>(c) + run.offset - 0x10000) & 0x3FF));
        }
    }
    return low;
}
