// The runner's behaviour as its caller sees it, on every platform, with the test child.
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::u16string Lines(std::size_t size) {
    std::u16string text;
    while (text.size() < size)
        text += u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n";
    text.resize(size);
    return text;
}

// Whole outputs, however they are written: sizes around a chunk's, both streams mixed in the order written,
// and a grandchild that inherited the output and writes after its parent has exited.
TEST(Runner, OutputArrivesInChunksThatMakeUpTheWhole) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"w:0", u""},
        {"w:1", Lines(1)},
        {"w:256", Lines(256)},
        {"w:257", Lines(257)},
        {"w:100000", Lines(100000)},
        {"w:2100000", Lines(2100000)}, // across a block of the runner's store
        {"o:6f7574310a e:657272310a o:6f7574320a e:657272320a", u"out1\nerr1\nout2\nerr2\n"},
        {"e:6f6e6c79", u"only"},
        {"g:300 parent", u"[parent]\nlate\n"},
    };
    RecordingRunner rec;
    for (const auto& c : cases) {
        const auto& [steps, output] = c;
        SCOPED_TRACE(steps);
        if ((&c - cases) % 2 == 0) // and every other through Run(), which returns no text
            EXPECT_EQ(rec.Run(ChildCommand(steps)), output);
        else
            EXPECT_TRUE(rec.RunQuietly(ChildCommand(steps)));
        rec.ExpectWellFormed(output);
    }
    EXPECT_EQ(rec.Run(ChildCommand("w:0")), u"");
    EXPECT_EQ(rec.chunks.size(), 1u) << "a silent command yields just the empty chunk";
}

// A line that starts nothing shows the one message, raises no event, and leaves the last output and every
// handle as they were; a run that starts closes all it opened.
TEST(Runner, FailedStartsShowTheMessageAndKeepThePreviousOutput) {
    std::vector<std::u16string> lines = LinesThatStartNothing();
    lines.insert(lines.end(),
                 {u"   ", u"ombrel-no-such-program arg", U("\"" OMBREL_TEST_CHILD "-missing\"")});
    RecordingRunner rec;
    ASSERT_EQ(rec.Run(ChildCommand("before")), u"[before]\n");
    const long handles = OpenHandleCount();
    for (const auto& line : lines) {
        SCOPED_TRACE(std::string(line.begin(), line.begin() + std::min<std::size_t>(line.size(), 80)));
        EXPECT_EQ(rec.Run(line), u"");
        EXPECT_FALSE(rec.RunQuietly(line));
        EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});
        EXPECT_TRUE(rec.chunks.empty());
        EXPECT_EQ(rec.runner->Outputs(), u"[before]\n");
        EXPECT_EQ(OpenHandleCount(), handles);
    }
    EXPECT_EQ(rec.Run(ChildCommand("after")), u"[after]\n");
    EXPECT_EQ(OpenHandleCount(), handles) << "a run that starts leaves nothing open either";
}

// Before each pause the runner has delivered what came before it, and says it is about to wait; the output
// kept so far is what it delivered, also when the pause falls inside a character (its bytes in the system's
// code page: in UTF-8, the start of a euro sign).
TEST(Runner, AboutToWaitComesBeforeEachPauseWithTheOutputSoFar) {
    RecordingRunner rec;
    std::vector<std::u16string> seenAtWait;
    rec.runner->AboutToWait = [&] {
        std::u16string joined;
        for (const auto& chunk : rec.chunks)
            joined += chunk;
        seenAtWait.push_back(joined);
        EXPECT_EQ(rec.runner->Outputs(), joined);
    };
    EXPECT_EQ(rec.Run(ChildCommand("a s:300 b s:300 c")), u"[a]\n[b]\n[c]\n");
    EXPECT_NE(std::find(seenAtWait.begin(), seenAtWait.end(), u"[a]\n"), seenAtWait.end());
    EXPECT_NE(std::find(seenAtWait.begin(), seenAtWait.end(), u"[a]\n[b]\n"), seenAtWait.end());
    const std::u16string split = rec.Run(ChildCommand("o:41e282 s:300 o:ac0a"));
    rec.ExpectWellFormed(split);
    EXPECT_EQ(split.substr(0, 1), u"A");
}

} // namespace
