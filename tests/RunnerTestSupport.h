// Shared by the runner's tests: a runner that records what it reports, command lines for the test child, and
// what each platform's file supplies.
#pragma once

#include "Spillways.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline std::u16string U(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The test child, quoted so that a folder with blanks in its name works on every platform.
inline std::u16string ChildCommand(std::string_view steps) {
    return U("\"" OMBREL_TEST_CHILD "\" ") + U(steps);
}

// Supplied by runner_posix_tests.cpp or runner_win32_tests.cpp.
std::vector<std::u16string> LinesThatStartNothing(); // beyond the ones every platform shares
long OpenHandleCount();

struct RecordingRunner {
    std::vector<std::u16string> messages;
    std::vector<std::u16string> causes; // beside each message
    std::vector<std::u16string> chunks;
    std::unique_ptr<Spillways> runner =
        std::make_unique<Spillways>([this](const std::u16string& text, const std::u16string& cause) {
            messages.push_back(text);
            causes.push_back(cause);
        });

    RecordingRunner() {
        runner->ReceiveOutputs = [this](const std::u16string& chunk) { chunks.push_back(chunk); };
    }

    std::u16string Run(const std::u16string& commandLine) {
        messages.clear();
        causes.clear();
        chunks.clear();
        return runner->ExecuteCommand(commandLine);
    }
    bool RunQuietly(const std::u16string& commandLine) { // through Run(), which returns no text
        messages.clear();
        causes.clear();
        chunks.clear();
        return runner->Run(commandLine);
    }

    // What every started command owes its listener: chunks of at most 256 characters that make up the
    // output, the last one empty; and no message.
    void ExpectWellFormed(const std::u16string& output) const {
        std::u16string joined;
        for (const auto& chunk : chunks) {
            EXPECT_LE(chunk.size(), 256u);
            joined += chunk;
        }
        EXPECT_TRUE(!chunks.empty() && chunks.back().empty()) << "the end of the output is reported";
        EXPECT_EQ(joined, output);
        EXPECT_EQ(runner->Outputs(), output);
        EXPECT_TRUE(messages.empty());
    }
};
