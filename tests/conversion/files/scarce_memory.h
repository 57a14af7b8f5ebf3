#pragma once

#include <atomic>
#include <cstddef>

namespace routalo::testing {

// Allocations of this many bytes or more fail, as under a tight limit to
// memory: the program's operator new, which scarce_memory.cpp replaces,
// throws std::bad_alloc. No limit while it is the largest size_t.
extern std::atomic<std::size_t> allocationsFailFrom;

}  // namespace routalo::testing
