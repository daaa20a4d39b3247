#include "unit/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements live alone in this file, so the compiler never pairs them with the
// allocations it inlines elsewhere.
namespace {
std::atomic<long> allocations{0};
thread_local long allocations_on_this_thread = 0;
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    ++allocations_on_this_thread;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

long discsim::testing::allocation_count() {
    return allocations.load();
}

long discsim::testing::allocation_count_on_this_thread() {
    return allocations_on_this_thread;
}
