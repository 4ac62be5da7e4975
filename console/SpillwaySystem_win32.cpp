#include "ExecutableFolder.h"
#include "frmSpillway.h"

#include <windows.h>

#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

// The lookup writes into a 1024-byte buffer of NULs and may update the size; a longer name fails it.
constexpr DWORD UserNameBufferSize = 1024;

[[noreturn]] void ThrowLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

std::u16string FromAnsi(const char* text, int length) {
    if (length == 0) {
        return {};
    }
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (needed <= 0) {
        ThrowLastError("MultiByteToWideChar");
    }
    std::u16string wide(static_cast<std::size_t>(needed), u'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, text, length, reinterpret_cast<wchar_t*>(wide.data()), needed) !=
        needed) {
        ThrowLastError("MultiByteToWideChar");
    }
    return wide;
}

std::u16string UserNameOfAccount() {
    std::vector<char> buffer(UserNameBufferSize, '\0');
    DWORD size = UserNameBufferSize;
    if (::GetUserNameA(buffer.data(), &size) == 0) {
        ThrowLastError("GetUserNameA");
    }
    // The name is what comes before the first NUL, whatever the size value says.
    std::size_t length = 0;
    while (length < buffer.size() && buffer[length] != '\0') {
        ++length;
    }
    return FromAnsi(buffer.data(), static_cast<int>(length));
}

std::u16string ExecutableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            ThrowLastError("GetModuleFileNameW");
        }
        if (length < buffer.size()) {
            const std::u16string path(buffer.begin(), buffer.begin() + length);
            return FolderOfWindowsPath(path);
        }
        if (buffer.size() >= 32768) {
            throw std::length_error("the program's path is longer than the system allows");
        }
        buffer.resize(buffer.size() * 2); // cut short: try again with more room
    }
}

} // namespace

SpillwaySystem SpillwaySystem::Default() {
    SpillwaySystem system;
    system.UserName = UserNameOfAccount;
    system.ApplicationFolder = ExecutableFolder;
    return system;
}
