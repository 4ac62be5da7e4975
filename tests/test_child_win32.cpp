// The test child on Windows.
//   grandchild MS      leaves a grandchild holding stdout that writes "late" after MS milliseconds; "parent"
//   now late MS            (the grandchild) writes "late" after MS milliseconds empty-write        "before",
//   then a write of zero bytes, then "after"
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
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) || written == 0)
            std::_Exit(3);
        data += written;
        size -= written;
    }
}

void SleepMilliseconds(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Starts this program again with `arguments`, handing it this process's standard output.
bool StartSelf(const std::string& arguments) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about the same line written with operator+.
    std::string commandLine = "\"";
    commandLine.append(path, length);
    commandLine += "\" ";
    commandLine += arguments;

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

} // namespace

int RunPlatformMode(const std::string& mode, const std::vector<std::string>& args) {
    if (mode == "grandchild" && args.size() == 1) {
        if (!StartSelf("late " + args[0]))
            return 4;
        Write(1, "parent\n", 7);
        return 0;
    }
    if (mode == "late" && args.size() == 1) {
        SleepMilliseconds(std::stoi(args[0]));
        Write(1, "late\n", 5);
        return 0;
    }
    if (mode == "empty-write") {
        Write(1, "before\n", 7);
        SleepMilliseconds(100);
        DWORD written = 0;
        if (!::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "", 0, &written, nullptr))
            return 4;
        SleepMilliseconds(100);
        Write(1, "after\n", 6);
        return 0;
    }
    return -1;
}

} // namespace test_child
