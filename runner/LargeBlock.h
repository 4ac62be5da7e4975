// Memory for the stores that grow with a command's output (the runner's copy of it, the output box's text):
// whole blocks, taken from the system directly and, where it offers them, backed by huge pages, so that a
// flood filling them takes one page fault every 2 MB instead of one every 4 KB. Pages are only touched as the
// store fills them.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace spillways_detail {

// The size a block should have: its huge pages are this big.
constexpr std::size_t LargeBlockBytes = std::size_t{2} << 20;

void* AllocateLargeBlock(std::size_t bytes); // uninitialised; throws std::bad_alloc
void FreeLargeBlock(void* block, std::size_t bytes) noexcept;

struct LargeBlockDeleter {
    std::size_t bytes = 0;
    void operator()(void* block) const noexcept { FreeLargeBlock(block, bytes); }
};

template <typename T>
using LargeBlockPtr = std::unique_ptr<T[], LargeBlockDeleter>;

// Room for `count` objects of a trivial type, left uninitialised.
template <typename T>
LargeBlockPtr<T> MakeLargeBlock(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    return LargeBlockPtr<T>(static_cast<T*>(AllocateLargeBlock(bytes)), LargeBlockDeleter{bytes});
}

} // namespace spillways_detail
