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

std::u16string Decode(unsigned codePage, const std::string& bytes) {
    std::u16string text(bytes.size(), u'\0');
    text.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                              reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()))));
    return text;
}

// A hang-up ends at once a child that ignores the interrupt, while the runner that ran it lives on.
TEST(RunnerWin32, HangUpEndsAChildThatIgnoresTheInterrupt) {
    RecordingRunner rec;
    rec.runner->AboutToWait = [&rec] { rec.runner->Stop(Spillways::StopKind::HangUp); };
    rec.RunQuietly(ChildCommand("i s:60000"));
    bool left = true;
    for (int tries = 0; tries < 100 && left; ++tries, ::Sleep(10)) {
        const HANDLE alive = ::OpenMutexW(SYNCHRONIZE, FALSE, L"ombrel_test_child");
        left = alive != nullptr;
        if (left)
            ::CloseHandle(alive);
    }
    EXPECT_FALSE(left);
}

// No command interpreter stands between the runner and the child: the interpreter's own commands start only
// when the interpreter itself is the program. Standard error redirected by the interpreter is captured; a
// zero-byte write (on Windows a ReadFile that succeeds with nothing; Wine completes none) loses nothing; the
// longest line the system takes starts (CreateProcessA may write into it: the runner hands it a copy); and
// output is decoded with the ANSI code page, never the console's OEM one.
TEST(RunnerWin32, InterpreterCommandsRunOnlyThroughTheInterpreter) {
    const std::u16string longest(32767 - 1 - ChildCommand("").size(), u'w');
    std::string bytes;
    std::string hex;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        if (!::IsDBCSLeadByte(static_cast<BYTE>(byte))) { // a lone lead byte is no character of its own
            bytes.push_back(static_cast<char>(byte));
            hex += {"0123456789abcdef"[byte / 16], "0123456789abcdef"[byte % 16]};
        }
    const std::pair<std::u16string, std::u16string> runs[] = {
        {u"cmd /c echo hello", u"hello\r\n"},
        {u"cmd /c echo to-stderr 1>&2", u"to-stderr \r\n"}, // the blank before the redirection is echoed
        {ChildCommand("before s:100 z s:100 after"), u"[before]\n[after]\n"},
        {ChildCommand("") + longest, u"[" + longest + u"]\n"},
        {ChildCommand("o:" + hex), Decode(CP_ACP, bytes)},
    };
    RecordingRunner rec;
    for (const auto& [line, expected] : runs) {
        EXPECT_EQ(rec.Run(line), expected);
        rec.ExpectWellFormed(expected);
    }
}

// The decoder against double-byte code pages, whatever the system's own is: a character cut by the end of
// one read comes out whole with the next, or, if no read follows, still shows (as a replacement). A carried
// lead byte pairs with the next byte into one character, so reads stay at 256 bytes; carried UTF-8 bytes can
// each end up as a replacement character of their own, so they shorten the read.
TEST(NarrowTextWin32, DoubleByteCharacterCutByAReadIsCarried) {
    const struct {
        unsigned codePage;
        std::string first;
        std::string second;
        std::size_t carried;
        std::size_t nextRead;
    } cases[] = {
        {932, "a\x82", "\xA0z", 1, 256}, // Shift JIS: "あ" cut after its lead byte
        {932, "\x82\x9F", "z", 0, 256},  // "ぃ": its trail byte looks like a lead byte, but ends a pair
        {932, "\x82\x9F\x82", "\x9Fz", 1, 256},    // two of them, the second cut
        {932, "\x82\xA0\xB1", "\x82\xA0", 0, 256}, // a single-byte katakana between
        {936, "\xC4\xE3\xBA", "\xC3!", 1, 256},    // GBK: "你好" cut in the second
        {65001, "\xE2\x82", "\xAC.", 2, 254},      // UTF-8: "€" cut after two of its three bytes
        {65001, "\xF0\x9F\x98", "\x80", 3, 253},   // U+1F600 cut before its last byte
        {1252, "\x80", "\x81", 0, 256},            // single-byte: nothing to carry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", " << c.first.size() << " bytes");
        char carried[4] = {};
        std::size_t count = 0;
        bool hostile = false;
        std::u16string out;
        spillways_detail::DecodeNarrow(c.codePage, carried, count, hostile, c.first.data(), c.first.size(),
                                       out);
        EXPECT_EQ(count, c.carried);
        EXPECT_EQ(spillways_detail::NarrowReadSize(c.codePage, count, 256), c.nextRead);

        char endCarried[4] = {carried[0], carried[1], carried[2], carried[3]};
        std::size_t endCount = count;
        std::u16string ended = out;
        EXPECT_EQ(spillways_detail::FinishNarrow(c.codePage, endCarried, endCount, ended), c.carried > 0);
        EXPECT_EQ(ended.size() > out.size(), c.carried > 0) << "the unfinished character shows";

        spillways_detail::DecodeNarrow(c.codePage, carried, count, hostile, c.second.data(), c.second.size(),
                                       out);
        EXPECT_EQ(out, Decode(c.codePage, c.first + c.second));
        EXPECT_FALSE(spillways_detail::FinishNarrow(c.codePage, carried, count, out));
    }
}

} // namespace
