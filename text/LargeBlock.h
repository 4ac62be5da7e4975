// Memory for the stores that grow with a command's output (the runner's copy of it, the output box's text):
// whole blocks, taken from the system directly and, where it offers them, backed by huge pages, so that a
// flood filling them takes one page fault every 2 MB instead of one every 4 KB. Pages are only touched as the
// store fills them.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace large_block {

// The size a block should have: its huge pages are this big.
constexpr std::size_t BlockBytes = std::size_t{2} << 20;

void* Allocate(std::size_t bytes); // uninitialised; throws std::bad_alloc
void Free(void* block, std::size_t bytes) noexcept;

struct Deleter {
    std::size_t bytes = 0;
    void operator()(void* block) const noexcept { Free(block, bytes); }
};

template <typename T>
using Ptr = std::unique_ptr<T[], Deleter>;

// Room for `count` objects of a trivial type, left uninitialised.
template <typename T>
Ptr<T> Make(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    return Ptr<T>(static_cast<T*>(Allocate(bytes)), Deleter{bytes});
}

} // namespace large_block
