// Shared by the runner's tests: a runner that records what it reports, and command lines for the test child.
#pragma once

#include "Spillways.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline std::u16string U(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The test child, quoted so that a folder with blanks in its name works on every platform.
inline std::u16string ChildCommand(std::string_view arguments) {
    return U("\"") + U(OMBREL_TEST_CHILD) + U("\" ") + U(arguments);
}

struct RecordingRunner {
    std::vector<std::u16string> messages;
    std::vector<std::u16string> chunks;
    std::unique_ptr<Spillways> runner;

    RecordingRunner() {
        runner = std::make_unique<Spillways>(
            [this](const std::u16string& message) { messages.push_back(message); });
        runner->ReceiveOutputs = [this](const std::u16string& chunk) { chunks.push_back(chunk); };
    }

    std::u16string Run(const std::u16string& commandLine) {
        messages.clear();
        chunks.clear();
        return runner->ExecuteCommand(commandLine);
    }

    std::u16string Joined() const {
        std::u16string all;
        for (const auto& chunk : chunks)
            all += chunk;
        return all;
    }
};

// What every started command owes its listener: chunks of at most 256 characters that make up the output, and
// one last, empty chunk.
#define EXPECT_WELL_FORMED_CHUNKS(rec, output)                                                               \
    do {                                                                                                     \
        ASSERT_FALSE((rec).chunks.empty());                                                                  \
        EXPECT_TRUE((rec).chunks.back().empty());                                                            \
        for (const auto& chunk_ : (rec).chunks)                                                              \
            EXPECT_LE(chunk_.size(), 256u);                                                                  \
        EXPECT_EQ((rec).Joined(), (output));                                                                 \
        EXPECT_EQ((rec).runner->Outputs(), (output));                                                        \
    } while (false)
