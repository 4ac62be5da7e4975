// Large blocks on Windows: from the heap, as any other allocation (large pages need a privilege that
// ordinary accounts lack).
#include "LargeBlock.h"

#include <cstdlib>

namespace large_block {

void* Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void Free(void* block, std::size_t) noexcept {
    std::free(block);
}

} // namespace large_block
