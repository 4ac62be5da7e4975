// Large blocks on POSIX: mmap, aligned to the huge page size so the whole block can be backed by huge pages,
// which madvise asks for (Linux offers them on request where transparent huge pages are set to "madvise").
#include "LargeBlock.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace large_block {

void* Allocate(std::size_t bytes) {
    // Mapped with room to spare, then trimmed to an aligned start and to whole pages: a trim from within a
    // page would fail and leave the spare room mapped (the fuzz build's blocks are smaller than a page).
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    const std::size_t mapped = bytes + BlockBytes;
    void* area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        throw std::bad_alloc();
    const std::size_t before =
        (BlockBytes - reinterpret_cast<std::uintptr_t>(area) % BlockBytes) % BlockBytes;
    char* const block = static_cast<char*>(area) + before;
    if (before > 0)
        ::munmap(area, before);
    if (const std::size_t after = mapped - before - bytes; after > 0)
        ::munmap(block + bytes, after);
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE); // only advice: where refused, ordinary pages do
#endif
    return block;
}

void Free(void* block, std::size_t bytes) noexcept {
    if (block != nullptr)
        ::munmap(block, bytes);
}

} // namespace large_block
