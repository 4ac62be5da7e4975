#include "ExecutableFolder.h"

std::string FolderOfPath(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    std::string_view folder = path.substr(0, slash);
    while (!folder.empty() && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    return folder.empty() ? std::string("/") : std::string(folder);
}

std::u16string FolderOfWindowsPath(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator == std::u16string_view::npos) {
        return {};
    }
    std::u16string folder(path.substr(0, separator));
    if (!folder.empty() && folder.back() == u':') {
        folder += u'\\'; // "C:" alone would name the drive's current folder, not its root
    }
    return folder;
}
