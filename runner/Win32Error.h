// The one way Win32 failures are reported in this program: the calling thread's last error, as a system error
// that names the call. Shared by the runner and the Win32 window.
#pragma once

// Throws std::system_error with GetLastError() in the system category, `what` being the call that failed.
// Call it straight after the failed call, before anything else can change the last error.
[[noreturn]] void ThrowLastError(const char* what);
