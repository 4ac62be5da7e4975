// The runner on Windows: the system's own programs, its command-line limit, its pipes and code pages.
#include "NarrowText_win32.h"
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

std::vector<std::u16string> LinesThatStartNothing() {
    // The interpreter's own commands are no programs; the longest line the system takes is 32767 characters
    // with the terminating NUL.
    const std::u16string head = ChildCommand("");
    return {u"dir", head + std::u16string(32767 - head.size(), u'w')};
}

long OpenHandleCount() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<long>(count);
}

namespace {

using spillways_detail::DecodeNarrow;
using spillways_detail::FinishNarrow;
using spillways_detail::NarrowReadSize;

constexpr unsigned ShiftJis = 932;
constexpr unsigned Gbk = 936;
constexpr unsigned Latin1252 = 1252;
constexpr unsigned Utf8 = 65001;

std::u16string Decode(unsigned codePage, const std::string& bytes) {
    std::u16string text;
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    text.resize(static_cast<std::size_t>(needed));
    ::MultiByteToWideChar(codePage, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
    return text;
}

// No command interpreter stands between the runner and the child: the interpreter's own commands start only
// when the interpreter itself is the program. Standard error redirected by the interpreter is captured; a
// zero-byte write (on Windows a ReadFile that succeeds with nothing; Wine completes none) loses nothing; and
// the longest line the system takes starts (CreateProcessA may write into it: the runner hands it a copy).
TEST(RunnerWin32, InterpreterCommandsRunOnlyThroughTheInterpreter) {
    const std::u16string longest(32767 - 1 - ChildCommand("").size(), u'w');
    const std::pair<std::u16string, std::u16string> runs[] = {
        {u"cmd /c echo hello", u"hello\r\n"},
        {u"cmd /c echo to-stderr 1>&2", u"to-stderr \r\n"}, // the blank before the redirection is echoed
        {ChildCommand("before s:100 z s:100 after"), u"[before]\n[after]\n"},
        {ChildCommand("") + longest, u"[" + longest + u"]\n"},
    };
    RecordingRunner rec;
    for (const auto& [line, expected] : runs) {
        EXPECT_EQ(rec.Run(line), expected);
        rec.ExpectWellFormed(expected);
    }
}

// Output is decoded with the ANSI code page, never the console's OEM one.
TEST(RunnerWin32, OutputIsDecodedWithTheAnsiCodePage) {
    std::string bytes;
    std::string hex;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (!::IsDBCSLeadByte(static_cast<BYTE>(byte))) { // a lone lead byte is no character of its own
            bytes.push_back(static_cast<char>(byte));
            hex += "0123456789abcdef"[byte / 16];
            hex += "0123456789abcdef"[byte % 16];
        }
    }
    RecordingRunner rec;
    const std::u16string output = rec.Run(ChildCommand("o:" + hex));
    EXPECT_EQ(output, Decode(CP_ACP, bytes));
    if (::GetACP() != ::GetOEMCP()) {
        EXPECT_NE(output, Decode(CP_OEMCP, bytes));
    }
}

// The decoder against double-byte code pages, whatever the system's own is: a character cut by the end of
// one read comes out whole with the next, or, if no read follows, still shows (as a replacement).
TEST(NarrowTextWin32, DoubleByteCharacterCutByAReadIsCarried) {
    const struct {
        unsigned codePage;
        std::string first;
        std::string second;
        std::size_t carriedAfterFirst;
    } cases[] = {
        {ShiftJis, "a\x82", "\xA0z", 1}, // "あ" cut after its lead byte
        {ShiftJis, "\x82\x9F", "z", 0},  // "ぃ": its trail byte looks like a lead byte, but ends a pair
        {ShiftJis, "\x82\x9F\x82", "\x9Fz", 1},    // two of them, the second cut
        {ShiftJis, "\x82\xA0\xB1", "\x82\xA0", 0}, // a single-byte katakana between
        {Gbk, "\xC4\xE3\xBA", "\xC3!", 1},         // "你好" cut in the second
        {Utf8, "\xE2\x82", "\xAC.", 2},            // "€" cut after two of its three bytes
        {Utf8, "\xF0\x9F\x98", "\x80", 3},         // U+1F600 cut before its last byte
        {Latin1252, "\x80", "\x81", 0},            // single-byte: nothing to carry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", " << c.first.size() << "+"
                                        << c.second.size() << " bytes");
        char carried[4] = {};
        std::size_t carriedCount = 0;
        std::u16string out;
        DecodeNarrow(c.codePage, carried, carriedCount, c.first.data(), c.first.size(), out);
        EXPECT_EQ(carriedCount, c.carriedAfterFirst);
        EXPECT_EQ(out, Decode(c.codePage, c.first.substr(0, c.first.size() - c.carriedAfterFirst)));

        char endCarried[4] = {carried[0], carried[1], carried[2], carried[3]};
        std::size_t endCount = carriedCount;
        std::u16string ended = out;
        EXPECT_EQ(FinishNarrow(c.codePage, endCarried, endCount, ended), c.carriedAfterFirst > 0);
        EXPECT_EQ(endCount, 0u);
        EXPECT_EQ(ended.size() > out.size(), c.carriedAfterFirst > 0) << "the unfinished character shows";

        DecodeNarrow(c.codePage, carried, carriedCount, c.second.data(), c.second.size(), out);
        EXPECT_EQ(carriedCount, 0u);
        EXPECT_EQ(out, Decode(c.codePage, c.first + c.second));
        EXPECT_FALSE(FinishNarrow(c.codePage, carried, carriedCount, out));
    }
}

// A carried lead byte pairs with the next byte into one character: reads stay at 256 bytes. Carried UTF-8
// bytes can each end up as a replacement character of their own, so they shorten the read.
TEST(NarrowTextWin32, ReadsStayWithinTheChunk) {
    EXPECT_EQ(NarrowReadSize(Latin1252, 0, 256), 256u);
    EXPECT_EQ(NarrowReadSize(ShiftJis, 1, 256), 256u);
    EXPECT_EQ(NarrowReadSize(Utf8, 0, 256), 256u);
    EXPECT_EQ(NarrowReadSize(Utf8, 3, 256), 253u);
}

} // namespace
