#include "tests/conversion/files/scarce_memory.h"

#include <cstdlib>
#include <limits>
#include <new>

// The program's operator new and delete, over malloc and free, with
// allocations that fail on demand. They live in a file of their own, as the
// library's do: where GCC inlines this delete into a new-expression's
// clean-up, it cannot know that this new is the malloc the free pairs with,
// and takes the pair for a mismatch.

namespace routalo::testing {
std::atomic<std::size_t> allocationsFailFrom = std::numeric_limits<std::size_t>::max();
}  // namespace routalo::testing

void* operator new(std::size_t size) {
    void* memory =
        size < routalo::testing::allocationsFailFrom ? std::malloc(size == 0 ? 1 : size) : nullptr;
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t /*size*/) noexcept {
    std::free(memory);
}
