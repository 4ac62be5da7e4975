// Large blocks on Windows: from the heap, as any other allocation (large pages need a privilege that
// ordinary accounts lack).
#include "LargeBlock.h"

#include <cstdlib>

namespace spillways_detail {

void* AllocateLargeBlock(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void FreeLargeBlock(void* block, std::size_t) noexcept {
    std::free(block);
}

} // namespace spillways_detail
