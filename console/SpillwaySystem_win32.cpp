#include "ExecutableFolder.h"
#include "NarrowText_win32.h"
#include "SpillwaySystem.h"
#include "Win32Error.h"

#include <windows.h>

#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

// The lookup writes into a 1024-byte buffer of NULs and may update the size; a longer name fails it.
constexpr DWORD UserNameBufferSize = 1024;

} // namespace

std::u16string SystemUserName() {
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
    std::u16string name;
    spillways_detail::AppendMultiByte(CP_ACP, buffer.data(), length, name);
    return name;
}

std::u16string SystemApplicationFolder() {
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
