#include "Win32Error.h"

#include <windows.h>

#include <system_error>

void ThrowLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}
