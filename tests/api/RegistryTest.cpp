#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "api/SdkChain.h"
#include "api/TRing.h"
#include "camera/Velcor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

struct Item {
    int handle = 0;
    int payload = 0;
};

int HeadOf(CTRing<Item>& ring) {
    int key = 0;
    return ring.HeadKey(&key) ? key : -1;
}

TEST(HandleRing, InsertsBeforeTheHeadAndLookupsMoveTheHead) {
    CTRing<Item> ring;
    EXPECT_FALSE(ring.Find(1, nullptr)) << "an empty ring knows no key";
    ring.Insert({1, 10});
    ring.Insert({2, 20});
    ring.Insert({3, 30});  // ring order from head: 3, 2, 1
    EXPECT_EQ(ring.Count(), 3);
    EXPECT_EQ(HeadOf(ring), 3);

    Item found;
    ASSERT_TRUE(ring.Find(2, &found));
    EXPECT_EQ(found.payload, 20);
    EXPECT_EQ(HeadOf(ring), 2) << "the found record becomes the head";
    ASSERT_TRUE(ring.Find(2, &found)) << "a repeated lookup succeeds at the head";
    EXPECT_EQ(HeadOf(ring), 2);

    EXPECT_FALSE(ring.Find(99, nullptr));
    EXPECT_EQ(ring.Count(), 3);
    // A failed walk stops at the record that was last, so every record is still reachable.
    for (int key : {1, 2, 3})
        EXPECT_TRUE(ring.Find(key, nullptr)) << key;
}

TEST(HandleRing, RemovalMakesTheNextRecordTheHeadAndEmptiesCleanly) {
    CTRing<Item> ring;
    ring.Insert({1, 0});
    ring.Insert({2, 0});
    ring.Insert({3, 0});  // 3, 2, 1
    EXPECT_FALSE(ring.Remove(7));
    ASSERT_TRUE(ring.Remove(2));
    EXPECT_EQ(HeadOf(ring), 1) << "the record after the removed one becomes the head";
    EXPECT_EQ(ring.Count(), 2);
    EXPECT_FALSE(ring.Find(2, nullptr));
    ASSERT_TRUE(ring.Remove(1));
    ASSERT_TRUE(ring.Remove(3));
    EXPECT_EQ(ring.Count(), 0);
    EXPECT_EQ(HeadOf(ring), -1);
    ring.Insert({4, 0});
    EXPECT_TRUE(ring.Find(4, nullptr)) << "a ring emptied by removals takes records again";
}

TEST(HandleRegistry, HandlesAreNeverZeroAndNeverRepeatALiveOne) {
    CSdkChain chain;
    std::set<int> handles;
    for (int i = 0; i < 500; ++i) {
        const int handle = chain.Register(nullptr);
        EXPECT_NE(handle, 0);
        EXPECT_TRUE(handles.insert(handle).second) << "handle " << handle << " drawn twice";
    }
    EXPECT_EQ(chain.Count(), 500);
}

class HandleRegistryApi : public testing::SimTest {};

TEST_F(HandleRegistryApi, ReleasedAndUnknownHandlesGiveTheEmptyResults) {
    const int handle = Velcor_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Velcor_Width(handle), 1280);
    EXPECT_EQ(Velcor_GetSubSample(handle), 0);
    EXPECT_EQ(Velcor_Release(handle), TRUE);

    EXPECT_EQ(Velcor_Release(handle), FALSE);
    EXPECT_EQ(Velcor_Width(handle), 0);
    EXPECT_EQ(Velcor_GetSubSample(handle), -1);
    EXPECT_EQ(Velcor_GetColorMode(handle), -1);
    EXPECT_EQ(Velcor_GetWaitTime(handle), -1);
    EXPECT_EQ(Velcor_GetExposureTimeEx(handle, nullptr), 0.0);
    EXPECT_EQ(Velcor_GetTemperatureEx(handle, nullptr), 0.0);
    int ok = 7;
    EXPECT_EQ(Velcor_GetBrightness(handle, &ok), 0);
    EXPECT_EQ(ok, 7) << "an unknown handle touches nothing";
    EXPECT_EQ(Velcor_GetLastError(handle), 0);
    EXPECT_EQ(Velcor_GetDllVersion(), 0x021B0521);
}

// Several application threads call exports on their own handles and on a shared one while a
// thread releases the shared handle in the middle: no call may touch a freed camera object.
TEST_F(HandleRegistryApi, ConcurrentExportsSurviveAReleaseInTheMiddle) {
    const int shared = Velcor_Initialize(nullptr);
    ASSERT_NE(shared, 0);
    std::atomic<bool> released{false};
    std::atomic<int> afterRelease{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const int own = Velcor_Initialize(nullptr);
            for (int i = 0; i < 2000; ++i) {
                EXPECT_EQ(Velcor_SetWaitTime(own, t + i), TRUE);
                EXPECT_EQ(Velcor_GetWaitTime(own), t + i);
                const bool wasReleased = released.load();
                const int wait = Velcor_GetWaitTime(shared);
                Velcor_GetLastError(shared);
                Velcor_Fps(shared);
                if (wasReleased) {
                    EXPECT_EQ(wait, -1);
                    ++afterRelease;
                }
            }
            EXPECT_EQ(Velcor_Release(own), TRUE);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Velcor_Release(shared), TRUE);
    released = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(Velcor_GetWaitTime(shared), -1);
}

}  // namespace
}  // namespace velcor
