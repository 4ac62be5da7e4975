#include "SpillwayWindow.h"

#include <windows.h>

#include <exception>

namespace {

// Positions and the font follow the screen's real DPI rather than a scaled 96-dpi bitmap. Looked up at run
// time: systems before Vista do not have the call.
void UseTheScreensDpi() {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    using SetProcessDpiAwareCall = BOOL(WINAPI*)();
    const auto setProcessDpiAware = reinterpret_cast<SetProcessDpiAwareCall>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDPIAware")));
    if (setProcessDpiAware != nullptr) {
        setProcessDpiAware();
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    UseTheScreensDpi();
    try {
        SpillwayWindow window(instance);
        window.Show();
        return window.RunMessageLoop();
    } catch (const std::exception& error) {
        // Only the window's own creation gets here; there is no window to own the message.
        ::MessageBoxA(nullptr, error.what(), "Ombrel", MB_OK | MB_ICONSTOP);
        return 1;
    }
}
