// The folder of the running executable, as the banner names it.
#pragma once

#include <string>
#include <string_view>

// The folder part of an absolute POSIX path: no trailing slash, except for the root folder, which is "/".
std::string FolderOfPath(std::string_view path);
