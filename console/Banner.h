// The welcome banner the output box starts with: the window's caption, the program's path as it is named on
// Windows and a greeting folder for the user, each line ending in CR LF. It depends only on its arguments.
#pragma once

#include <string>

std::u16string BuildBanner(const std::u16string& applicationFolder, const std::u16string& userName);
