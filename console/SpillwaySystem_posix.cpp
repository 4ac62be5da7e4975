#include "ExecutableFolder.h"
#include "SpillwaySystem.h"
#include "Utf8.h"

#include <cerrno>
#include <pwd.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// The Windows build reads the name into a 1024-byte buffer; a name that would not fit there counts as a
// failed lookup here too, so both builds greet the same users by name.
constexpr std::size_t UserNameBufferSize = 1024;

using spillways_detail::FromUtf8;

} // namespace

std::u16string SystemUserName() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    int error = 0;
    while ((error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "getpwuid_r");
    }
    if (found == nullptr || found->pw_name == nullptr) {
        throw std::runtime_error("no account for the effective user id");
    }
    const std::string_view name(found->pw_name);
    if (name.size() >= UserNameBufferSize) {
        throw std::length_error("user name longer than its buffer");
    }
    return FromUtf8(name);
}

std::u16string SystemApplicationFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            throw std::system_error(errno, std::generic_category(), "readlink /proc/self/exe");
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return FromUtf8(FolderOfPath(std::string_view(buffer.data(), static_cast<std::size_t>(length))));
        }
        buffer.resize(buffer.size() * 2); // possibly cut short: try again with more room
    }
}
