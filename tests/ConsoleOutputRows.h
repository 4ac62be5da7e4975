// Shared by the tests of the escape parser and of what its sequences mean: rows of input fed to a console
// output, whole and cut in two at every place, against the text and style runs it leaves.
#pragma once

#include "ConsoleOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Style runs as "from-to" and what differs from the default: f and b with a palette index or #rrggbb,
// the attributes as BFIURCS, L and a link's target; runs split by '|'.
inline std::string Describe(const OutputStyles& styles, std::size_t size) {
    std::string out;
    const auto colour = [](char what, TextColour c) -> std::string {
        char hex[8];
        switch (c.What()) {
        case TextColour::Kind::Indexed:
            return what + std::to_string(c.Index());
        case TextColour::Kind::Direct:
            std::snprintf(hex, sizeof hex, "%06x", static_cast<unsigned>(c.Rgb()));
            return std::string{what, '#'} + hex;
        default:
            return "";
        }
    };
    for (const OutputStyles::Run& run : styles.Runs(0, size)) {
        const TextStyle& s = styles.Style(run.style);
        out += (out.empty() ? "" : "|") + std::to_string(run.from) + '-' + std::to_string(run.to) + ' ' +
               colour('f', s.foreground) + colour('b', s.background);
        for (int i = 0; i < 7; ++i)
            if ((s.attributes & (1 << i)) != 0)
                out += "BFIURCS"[i];
        out += s.link != 0 ? "L" : "";
        for (const char16_t c : styles.Link(s.link))
            out += static_cast<char>(c);
    }
    return out;
}

struct OutputRow {
    std::u16string input;
    std::u16string text;
    std::string runs;
};

// Each row fed whole and cut in two at every place here; anywhere in console_output_fuzz.
inline void CheckRows(const std::vector<OutputRow>& rows) {
    OutputText text;
    OutputStyles styles;
    ConsoleOutput output(text, &styles);
    const auto check = [&](const OutputRow& c, const std::vector<std::u16string_view>& chunks) {
        text.Clear();
        output.Reset();
        for (const auto chunk : chunks)
            output.Feed(chunk);
        ASSERT_EQ(text.Text(0, text.Size()), c.text);
        ASSERT_EQ(Describe(styles, text.Size()), c.runs);
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(&c - rows.data());
        const std::u16string_view input = c.input;
        check(c, {input});
        for (std::size_t cut = 1; cut < input.size() && input.size() < 1000; ++cut) {
            SCOPED_TRACE(cut);
            check(c, {input.substr(0, cut), input.substr(cut)});
        }
    }
}
