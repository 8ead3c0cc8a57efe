#include "support/AllocationCounter.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace velcor::test {
namespace {

thread_local uint64_t tAllocations = 0;

// Threads the library names; their allocations are counted by name.
constexpr const char* kNamedThreads[] = {"velcor-worker", "velcor-acquire", "velcor-recorder",
                                         "velcor-sim"};
constexpr size_t kNamedThreadCount = std::size(kNamedThreads);
std::atomic<uint64_t> namedCounts[kNamedThreadCount];

void CountAllocation() {
    ++tAllocations;
    char name[16] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return;
    for (size_t i = 0; i < kNamedThreadCount; ++i) {
        if (std::strcmp(name, kNamedThreads[i]) == 0) namedCounts[i].fetch_add(1);
    }
}

void* CountedAllocate(std::size_t size) {
    CountAllocation();
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

uint64_t AllocationsOnThisThread() {
    return tAllocations;
}

uint64_t AllocationsOnThreadsNamed(const char* name) {
    for (size_t i = 0; i < kNamedThreadCount; ++i) {
        if (std::strcmp(name, kNamedThreads[i]) == 0) return namedCounts[i].load();
    }
    return 0;
}

}  // namespace velcor::test

void* operator new(std::size_t size) {
    if (void* p = velcor::test::CountedAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = velcor::test::CountedAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return velcor::test::CountedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return velcor::test::CountedAllocate(size);
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
