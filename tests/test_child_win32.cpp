#include "test_child.h"

#include <windows.h>

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string>

namespace test_child {

void PrepareStreams() {
    // Nothing here goes through the C library's text mode, which would turn "\n" into "\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The tests see from this mutex whether any of these children is left running.
    ::CreateMutexW(nullptr, FALSE, L"ombrel_test_child");
}

// A pipe's WriteFile returns once all of it is written.
void Write(int stream, const char* data, std::size_t size) {
    DWORD written = 0;
    if (!::WriteFile(::GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), data,
                     static_cast<DWORD>(size), &written, nullptr) ||
        written != size)
        std::_Exit(3);
}

void SleepMilliseconds(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

void IgnoreInterrupt() {
    ::SetConsoleCtrlHandler(nullptr, TRUE);
}

// This program again, handed this process's standard output: it pauses, then writes "late".
bool StartGrandchild(int milliseconds) {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about the same line written with operator+.
    std::string commandLine = "\"";
    commandLine.append(path).append("\" s:").append(std::to_string(milliseconds)).append(" o:6c6174650a");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started))
        return false;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

} // namespace test_child
