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
}

void Write(int stream, const char* data, std::size_t size) {
    const HANDLE handle = ::GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    do {
        DWORD written = 0;
        if (!::WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) ||
            (written == 0 && size > 0))
            std::_Exit(3);
        data += written;
        size -= written;
    } while (size > 0);
}

void SleepMilliseconds(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

// This program again, handed this process's standard output: it pauses, then writes "late".
bool StartGrandchild(int milliseconds) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about the same line written with operator+.
    std::string commandLine = "\"";
    commandLine.append(path, length);
    commandLine += "\" s:";
    commandLine += std::to_string(milliseconds);
    commandLine += " o:6c6174650a";

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started))
        return false;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

} // namespace test_child
