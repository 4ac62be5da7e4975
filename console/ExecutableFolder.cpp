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
