// Counts heap allocations on the calling thread, so a test can prove that a path allocates
// nothing. Replacing the global allocation functions affects the whole test binary; the
// counter is one thread-local increment and only these tests read it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "imaging/FrameConverter.h"
#include "imaging/ImagingTestSupport.h"

namespace {
thread_local unsigned long long tAllocations = 0;

void* CountedAllocate(std::size_t size) {
    ++tAllocations;
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = CountedAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = CountedAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
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

namespace velcor {
namespace {

TEST(FrameAllocation, CounterSeesAllocations) {
    const auto before = tAllocations;
    auto p = std::make_unique<int>(1);
    EXPECT_GT(tAllocations, before);
}

TEST(FrameAllocation, ConversionOfModesEightAndTwentyFourAllocatesNothing) {
    DibImage raw8, image24;
    ASSERT_TRUE(raw8.Create(1280, 1024, 8));
    ASSERT_TRUE(image24.Create(1280, 1024, 24));
    test::FillRandom(raw8, 7);
    FrameImages frame;
    frame.raw8 = &raw8;
    frame.image24 = &image24;
    ConversionParams params;
    params.mirrorH = params.mirrorV = true;  // software mirror on the way
    for (const int mode : {8, 24}) {
        params.colourMode = mode;
        for (const int grayMode : {0, 2}) {
            params.grayMode = grayMode;
            const auto before = tAllocations;
            for (int i = 0; i < 3; ++i)
                ASSERT_EQ(FrameConverter::Convert(frame, params), 1);
            EXPECT_EQ(tAllocations - before, 0u) << "mode " << mode << " gray " << grayMode;
        }
    }
}

}  // namespace
}  // namespace velcor
