// The runner on Windows: the system's own programs, its command-line limit, its pipes and code pages.
#include "NarrowText_win32.h"
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

// The test child writes these bytes in one write.
std::u16string RunBytes(RecordingRunner& rec, const std::string& bytes) {
    std::string hex;
    for (const char byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof(digits), "%02x", static_cast<unsigned char>(byte));
        hex += digits;
    }
    return rec.Run(ChildCommand("hex " + hex));
}

// No command interpreter stands between the runner and the child: the interpreter's own commands start only
// when the interpreter itself is the program. Standard error redirected by the interpreter is captured, and
// a zero-byte write (on Windows a ReadFile that succeeds with nothing; Wine completes none) loses nothing.
TEST(RunnerWin32, InterpreterCommandsRunOnlyThroughTheInterpreter) {
    const std::pair<std::u16string, std::u16string> runs[] = {
        {u"cmd /c echo hello", u"hello\r\n"},
        {u"cmd /c echo to-stderr 1>&2", u"to-stderr \r\n"}, // the blank before the redirection is echoed
        {ChildCommand("empty-write"), u"before\nafter\n"},
    };
    RecordingRunner rec;
    for (const auto& [line, expected] : runs) {
        EXPECT_EQ(rec.Run(line), expected);
        EXPECT_WELL_FORMED_CHUNKS(rec, expected);
        EXPECT_TRUE(rec.messages.empty());
    }

    EXPECT_EQ(rec.Run(u"dir"), u"");
    EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});

    const std::u16string listing = rec.Run(u"cmd /c dir");
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_NE(listing.find(u"Directory"), std::u16string::npos);
    EXPECT_WELL_FORMED_CHUNKS(rec, listing);
}

// CreateProcessA may write into the command line it is given, so the runner hands it a writable copy; the
// longest line the system accepts (32767 characters with the terminating NUL) works, a longer one fails to
// start.
TEST(RunnerWin32, CommandLinesUpToTheSystemLimitStart) {
    const std::u16string head = ChildCommand("args ");
    const std::u16string word(32767 - 1 - head.size(), u'w');
    RecordingRunner rec;
    EXPECT_EQ(rec.Run(head + word), u"[" + word + u"]\n");
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_EQ(rec.Run(head + word + u"w"), u"");
    EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});
}

// Output is decoded with the ANSI code page, never the console's OEM one.
TEST(RunnerWin32, OutputIsDecodedWithTheAnsiCodePage) {
    std::string bytes;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (!::IsDBCSLeadByte(static_cast<BYTE>(byte))) // a lone lead byte is no character of its own
            bytes.push_back(static_cast<char>(byte));
    }
    RecordingRunner rec;
    const std::u16string output = RunBytes(rec, bytes);
    EXPECT_EQ(output, Decode(CP_ACP, bytes));
    if (::GetACP() != ::GetOEMCP()) {
        EXPECT_NE(output, Decode(CP_OEMCP, bytes));
    }
}

// With the ANSI code page set to Shift-JIS (the test entry RunnerWin32ShiftJis runs them under a Japanese
// locale), a double-byte character cut by the end of a 256-byte read arrives whole with the next chunk.
class RunnerWin32ShiftJis : public testing::Test {
protected:
    void SetUp() override {
        if (::GetACP() == ShiftJis)
            return;
        if (const char* expected = std::getenv("OMBREL_EXPECT_ACP");
            expected && std::atoi(expected) == ShiftJis)
            FAIL() << "the ANSI code page is " << ::GetACP() << ", not " << ShiftJis;
        GTEST_SKIP() << "needs the ANSI code page " << ShiftJis;
    }
};

TEST_F(RunnerWin32ShiftJis, CharacterCutByTheEndOfAReadArrivesWhole) {
    // "a", then 150 times "\u3042" (0x82 0xA0) in one write: the first 256-byte read ends between the lead
    // and the trail byte of the 128th.
    std::string bytes = "a";
    for (int i = 0; i < 150; ++i)
        bytes += "\x82\xA0";
    const std::u16string expected = u"a" + std::u16string(150, u'\u3042');
    RecordingRunner rec;
    EXPECT_EQ(RunBytes(rec, bytes), expected);
    EXPECT_WELL_FORMED_CHUNKS(rec, expected);
    ASSERT_GE(rec.chunks.size(), 3u);
    EXPECT_EQ(rec.chunks[0], u"a" + std::u16string(127, u'\u3042')) << "the cut character is held back";

    // A lead byte that ends the output still shows.
    const std::u16string output = RunBytes(rec, "ok\x82");
    ASSERT_EQ(output.size(), 3u);
    EXPECT_EQ(output.substr(0, 2), u"ok");
    EXPECT_WELL_FORMED_CHUNKS(rec, output);
}

TEST(RunnerWin32, NoHandleIsLeftBehindByManyRuns) {
    RecordingRunner rec;
    rec.Run(ChildCommand("args warm-up")); // first use may set up things that stay
    rec.Run(u"ombrel-no-such-program-anywhere");
    DWORD before = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
    for (int i = 0; i < 200; ++i) {
        if (i % 4 == 3)
            ASSERT_EQ(rec.Run(u"ombrel-no-such-program-anywhere"), u""); // the failed-start path too
        else
            ASSERT_EQ(rec.Run(ChildCommand("args run")), u"[run]\n");
    }
    DWORD after = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
    EXPECT_EQ(after, before);
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
