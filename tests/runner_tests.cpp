// The runner's behaviour as its caller sees it, on every platform.
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::u16string Lines(std::size_t bytes) {
    const std::u16string line = u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n";
    std::u16string text;
    while (text.size() < bytes)
        text += line;
    text.resize(bytes);
    return text;
}

TEST(Runner, CommandLinePropertyAndArgumentReplaceTheStoredLine) {
    RecordingRunner rec;
    EXPECT_EQ(rec.runner->CommandLine(), u"");
    EXPECT_EQ(rec.runner->Outputs(), u"");

    rec.runner->CommandLine(u"  anything at all  ");
    EXPECT_EQ(rec.runner->CommandLine(), u"  anything at all  ");

    const std::u16string command = ChildCommand("args one");
    EXPECT_EQ(rec.Run(command), u"[one]\n");
    EXPECT_EQ(rec.runner->CommandLine(), command);

    // Left out, the argument is empty: the stored line runs again.
    rec.chunks.clear();
    EXPECT_EQ(rec.runner->ExecuteCommand(), u"[one]\n");
    EXPECT_EQ(rec.Joined(), u"[one]\n");
    EXPECT_TRUE(rec.messages.empty());
}

TEST(Runner, EmptyCommandLineIsReportedAndChangesNothing) {
    RecordingRunner rec;
    EXPECT_EQ(rec.Run(u""), u"");
    EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Command Line empty"});
    EXPECT_TRUE(rec.chunks.empty());

    rec.Run(ChildCommand("args kept"));
    EXPECT_EQ(rec.Run(u""), u"[kept]\n") << "a stored line runs when the argument is empty";

    Spillways silent(nullptr); // no message sink: still fails quietly instead of crashing
    EXPECT_EQ(silent.ExecuteCommand(), u"");
}

TEST(Runner, FailedStartsShowTheMessageAndKeepThePreviousOutput) {
    const std::u16string badLines[] = {
        u"   ",                             // blanks are not empty, but name no program
        u"ombrel-no-such-program-anywhere", // not found on the search path
        u"ombrel-no-such-program-anywhere arg",
        U("\"" OMBREL_TEST_CHILD "-missing\""), // a full path that does not exist
    };
    for (const auto& line : badLines) {
        RecordingRunner rec;
        ASSERT_EQ(rec.Run(ChildCommand("args before")), u"[before]\n");
        EXPECT_EQ(rec.Run(line), u"");
        EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});
        EXPECT_TRUE(rec.chunks.empty()) << "no event when nothing was started";
        EXPECT_EQ(rec.runner->Outputs(), u"[before]\n");
        EXPECT_EQ(rec.runner->CommandLine(), line);
    }
}

TEST(Runner, OutputArrivesInChunksThatMakeUpTheWhole) {
    for (std::size_t bytes : {0u, 1u, 255u, 256u, 257u, 1000u, 100000u}) {
        SCOPED_TRACE(bytes);
        RecordingRunner rec;
        const std::u16string expected = Lines(bytes);
        EXPECT_EQ(rec.Run(ChildCommand("write " + std::to_string(bytes))), expected);
        EXPECT_WELL_FORMED_CHUNKS(rec, expected);
        if (bytes == 0) {
            EXPECT_EQ(rec.chunks.size(), 1u) << "a silent command yields just the empty chunk";
        }
        EXPECT_TRUE(rec.messages.empty());
    }
}

TEST(Runner, StandardErrorIsMixedWithOutputInTheOrderWritten) {
    RecordingRunner rec;
    std::u16string expected;
    for (int i = 0; i < 300; ++i)
        expected += U("out " + std::to_string(i) + "\nerr " + std::to_string(i) + "\n");
    EXPECT_EQ(rec.Run(ChildCommand("alternate 300")), expected);
    EXPECT_WELL_FORMED_CHUNKS(rec, expected);

    EXPECT_EQ(rec.Run(ChildCommand("hexerr 6f6e6c79")), u"only"); // stderr alone
}

TEST(Runner, OutputsIsReplacedByEachStartedCommand) {
    RecordingRunner rec;
    rec.Run(ChildCommand("args first"));
    rec.Run(ChildCommand("write 0"));
    EXPECT_EQ(rec.runner->Outputs(), u"");
    rec.Run(ChildCommand("args second"));
    EXPECT_EQ(rec.runner->Outputs(), u"[second]\n");
}

TEST(Runner, ChildGetsNoInputAndDoesNotWaitForAny) {
    RecordingRunner rec;
    const std::u16string result = rec.Run(ChildCommand("stdin"));
    EXPECT_TRUE(result == u"eof" || result == u"error") << std::string(result.begin(), result.end());
}

TEST(Runner, WaitsForWhateverInheritedTheOutput) {
    RecordingRunner rec;
    // The child exits at once; the grandchild it leaves holds the output and writes later.
    EXPECT_EQ(rec.Run(ChildCommand("grandchild 300")), u"parent\nlate\n");
    EXPECT_TRUE(rec.chunks.back().empty());
}

TEST(Runner, ListenerFailureReachesTheCallerAndTheRunnerStaysUsable) {
    RecordingRunner rec;
    rec.runner->ReceiveOutputs = [](const std::u16string& chunk) {
        if (!chunk.empty())
            throw std::runtime_error("listener failed");
    };
    EXPECT_THROW(rec.runner->ExecuteCommand(ChildCommand("write 100000")), std::runtime_error);
    EXPECT_TRUE(rec.messages.empty());

    rec.runner->ReceiveOutputs = nullptr; // no listener at all is fine too
    EXPECT_EQ(rec.runner->ExecuteCommand(ChildCommand("args again")), u"[again]\n");
}

TEST(Runner, AboutToWaitComesOnlyBeforeAPause) {
    RecordingRunner rec;
    std::vector<std::size_t> chunksSeenAtWait;
    rec.runner->AboutToWait = [&] { chunksSeenAtWait.push_back(rec.chunks.size()); };
    EXPECT_EQ(rec.Run(ChildCommand("slow 3 100")), u"line 0\nline 1\nline 2\n");
    // The child pauses after each line: each line is announced before the runner waits for the next.
    ASSERT_GE(chunksSeenAtWait.size(), 3u);
    EXPECT_GE(chunksSeenAtWait.back(), 3u);
    EXPECT_EQ(rec.chunks.size(), 4u);
}

} // namespace
