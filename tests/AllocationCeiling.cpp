// Allocation functions for the test and fuzz programs that exercise running out of memory: a
// request beyond a fixed ceiling throws std::bad_alloc, as operator new does on a machine without
// that much memory. Under AddressSanitizer the live heap counts as well. (The sanitizer's own
// operator new reports a failed request as a crash instead of throwing, so without these the
// program's out-of-memory paths could not run, and an X axis of billions of slots, which the
// program allows, would take all memory or end the run.)
#include "tests/AllocationCeiling.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KIVREL_COUNT_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIVREL_COUNT_HEAP 1
#endif
#endif
#ifdef KIVREL_COUNT_HEAP
// The sanitizer runtime's count of live heap bytes (GCC installs no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#ifndef KIVREL_ALLOCATION_CEILING_MB
#define KIVREL_ALLOCATION_CEILING_MB 256
#endif

namespace {

constexpr std::size_t ceilingBytes = std::size_t{KIVREL_ALLOCATION_CEILING_MB} << 20;
// Smaller requests cannot add up to the ceiling faster than the input grows; they skip the sum.
constexpr std::size_t countedFrom = std::size_t{1} << 20;

#ifdef KIVREL_ALLOCATION_CEILING_SCOPED
bool active = false;
#else
bool active = true;
#endif
std::size_t baseline = 0;

std::size_t heapInUse() {
#ifdef KIVREL_COUNT_HEAP
    return __sanitizer_get_current_allocated_bytes();
#else
    return 0;
#endif
}

void* allocate(std::size_t size) noexcept {
    if (active && size >= countedFrom) {
        const std::size_t inUse = heapInUse();
        const std::size_t used = inUse > baseline ? inUse - baseline : 0;
        if (size > ceilingBytes || used > ceilingBytes - size) return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

AllocationCeilingScope::AllocationCeilingScope() {
    baseline = heapInUse();
    active = true;
}

AllocationCeilingScope::~AllocationCeilingScope() {
#ifdef KIVREL_ALLOCATION_CEILING_SCOPED
    active = false;
#endif
    baseline = 0;
}

void* operator new(std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
