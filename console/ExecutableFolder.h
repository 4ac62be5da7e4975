// The folder of the running executable, as the banner names it.
#pragma once

#include <string>
#include <string_view>

// The folder part of an absolute POSIX path: no trailing slash, except for the root folder, which is "/".
std::string FolderOfPath(std::string_view path);

// The folder part of an absolute Windows path: no trailing backslash, except for a drive's root folder, whose
// name ends in one ("C:\").
std::u16string FolderOfWindowsPath(std::u16string_view path);
