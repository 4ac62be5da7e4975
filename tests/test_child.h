// The test child's platform half: setting up its standard streams, and the modes only one platform has.
#pragma once

#include <string>
#include <vector>

namespace test_child {
void PrepareStreams();                                      // binary, unbuffered
void Write(int stream, const char* data, std::size_t size); // 1: stdout, 2: stderr; exits on failure
void SleepMilliseconds(int milliseconds);
bool FileExists(const std::string& path);
// Returns the exit code, or -1 when `mode` is not one of this platform's.
int RunPlatformMode(const std::string& mode, const std::vector<std::string>& args);
} // namespace test_child
