// What the window's load step asks of the system: the user's name, the program's folder and a command runner.
// Default() gives each platform's real answers (SpillwaySystem_posix.cpp, SpillwaySystem_win32.cpp); tests
// replace any of them. A lookup that fails throws, and the load step goes on without its answer.
#pragma once

#include "Spillways.h"

#include <functional>
#include <memory>
#include <string>

struct SpillwaySystem {
    std::function<std::u16string()> UserName;          // throws when the lookup fails
    std::function<std::u16string()> ApplicationFolder; // the running executable's folder
    std::function<std::unique_ptr<Spillways>(Spillways::ShowStopMessage)> CreateRunner =
        [](Spillways::ShowStopMessage showStopMessage) {
            return std::make_unique<Spillways>(std::move(showStopMessage));
        };

    static SpillwaySystem Default();
};

// Each platform's real answers, from SpillwaySystem_posix.cpp or SpillwaySystem_win32.cpp; both throw when
// the system cannot tell.
std::u16string SystemUserName();
std::u16string SystemApplicationFolder();

inline SpillwaySystem SpillwaySystem::Default() {
    SpillwaySystem system;
    system.UserName = SystemUserName;
    system.ApplicationFolder = SystemApplicationFolder;
    return system;
}
