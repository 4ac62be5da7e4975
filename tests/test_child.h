// The test child's platform half.
#pragma once

#include <cstddef>

namespace test_child {
void PrepareStreams();                                      // binary, unbuffered
void Write(int stream, const char* data, std::size_t size); // 1: stdout, 2: stderr; one write at least
void SleepMilliseconds(int milliseconds);
void IgnoreInterrupt();                 // inherited by what it starts
bool StartGrandchild(int milliseconds); // it holds stdout and writes "late\n" after the pause
} // namespace test_child
