#include <grp.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/Clock.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/MessageWindows.h"
#include "platform/TextCodec.h"
#include "platform/Thread.h"

namespace velcor::platform {
namespace {

TEST(Event, AutoResetWakesOneWaiterAndConsumesTheSignal) {
    Event event(Event::Reset::Auto);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0)) << "an auto-reset event is consumed by its waiter";

    std::atomic<int> woken{0};
    Thread a, b;
    ASSERT_TRUE(a.Start([&] { woken += event.Wait(400) ? 1 : 0; }));
    ASSERT_TRUE(b.Start([&] { woken += event.Wait(400) ? 1 : 0; }));
    event.Set();
    a.Join();
    b.Join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event event(Event::Reset::Manual, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(kInfinite));
    event.ResetSignal();
    EXPECT_FALSE(event.Wait(10));
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    CriticalSection section;
    section.Enter();
    section.Enter();
    std::atomic<bool> otherGotIt{true};
    Thread other;
    ASSERT_TRUE(other.Start([&] { otherGotIt = section.TryEnter(); }));
    other.Join();
    EXPECT_FALSE(otherGotIt.load());
    section.Leave();
    section.Leave();
    ASSERT_TRUE(other.Start([&] {
        otherGotIt = section.TryEnter();
        if (otherGotIt) section.Leave();
    }));
    other.Join();
    EXPECT_TRUE(otherGotIt.load());
}

TEST(Thread, HasAnIdWhileRunningAndCanBeRestartedAfterJoin) {
    Thread thread;
    Event release(Event::Reset::Manual);
    ASSERT_TRUE(thread.Start([&] { release.Wait(); }, ThreadPriority::TimeCritical));
    EXPECT_NE(thread.Id(), 0u);
    EXPECT_FALSE(thread.Start([] {})) << "a running thread cannot be started twice";
    release.Set();
    thread.Join();
    EXPECT_EQ(thread.Id(), 0u);
    EXPECT_TRUE(thread.Start([] {}));
}

TEST(Thread, NormalThreadOfARealTimeThreadRunsAtNormalPriority) {
    std::atomic<bool> raised{false};
    std::atomic<int> childPolicy{-1};
    std::atomic<int> timeCriticalPolicy{-1};
    std::thread creator([&] {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) != 0) return;
        raised = true;
        Thread normal;
        ASSERT_TRUE(normal.Start([&] { childPolicy = sched_getscheduler(0); }));
        normal.Join();
        Thread timeCritical;
        ASSERT_TRUE(timeCritical.Start([&] { timeCriticalPolicy = sched_getscheduler(0); },
                                       ThreadPriority::TimeCritical));
        timeCritical.Join();
    });
    creator.join();
    if (!raised) GTEST_SKIP() << "this process may not use real-time scheduling";
    EXPECT_EQ(childPolicy.load(), SCHED_OTHER) << "nothing is inherited from the creator";
    EXPECT_EQ(timeCriticalPolicy.load(), SCHED_RR);
}

TEST(Thread, TimeCriticalRunsUnchangedWhereThePriorityCannotBeRaised) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Give up the right to real-time scheduling, as an ordinary user's process has none.
        rlimit none{0, 0};
        if (setrlimit(RLIMIT_RTPRIO, &none) != 0) _exit(10);
        if (geteuid() == 0) {
            const gid_t nobodyGroup = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(65534) != 0) {
                _exit(11);
            }
        }
        std::atomic<int> policy{-1};
        Thread thread;
        if (!thread.Start([&] { policy = sched_getscheduler(0); }, ThreadPriority::TimeCritical,
                          "critical")) {
            _exit(12);
        }
        thread.Join();
        _exit(policy.load() == SCHED_OTHER ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10-11: could not drop the right, 12: no thread, "
                                         "13: the thread did not run at normal priority";
}

TEST(Clock, VirtualSleepAdvancesTheTickAcrossItsWrap) {
    VirtualTimeScope virtualTime;
    const auto start = std::chrono::steady_clock::now();
    // Sleep until just before the wrap, then across it.
    const uint32_t before = TimeGetTime();
    Sleep(0xFFFFFFFFu - before - 50u);
    const uint32_t nearWrap = TimeGetTime();
    for (int i = 0; i < 40; ++i)
        Sleep(500);  // twenty seconds of polling
    const uint32_t after = TimeGetTime();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_GE(nearWrap, 0xFFFFFFFFu - 1000u);
    EXPECT_LT(after, nearWrap) << "the tick wrapped";
    EXPECT_GE(static_cast<uint32_t>(after - nearWrap), 20000u) << "differences survive the wrap";
}

TEST(TextCodec, RoundTripsNonAsciiText) {
    const wchar_t* wide = L"Kamera \u30AB\u30E1\u30E9 \U0001F4F7";
    char narrow[64];
    const size_t bytes = WideToNarrow(wide, narrow, sizeof narrow);
    ASSERT_NE(bytes, 0u);
    EXPECT_EQ(bytes, std::strlen(narrow) + 1);
    EXPECT_EQ(std::strlen(narrow), 7u + 9u + 1u + 4u);
    wchar_t back[32];
    ASSERT_NE(NarrowToWide(narrow, back, 32), 0u);
    EXPECT_EQ(std::wcscmp(back, wide), 0);
}

TEST(TextCodec, RejectsOverflowAndMalformedText) {
    char small[4];
    EXPECT_EQ(WideToNarrow(L"\u00E9\u00E9", small, sizeof small), 0u) << "needs 5 bytes";
    EXPECT_EQ(small[sizeof small - 1] == '\0' || std::strlen(small) < sizeof small, true);
    EXPECT_EQ(WideToNarrow(L"ab\xD800", small, sizeof small), 0u) << "lone surrogate";
    wchar_t wide[3];
    EXPECT_EQ(NarrowToWide("abc", wide, 3), 0u) << "terminator does not fit";
    EXPECT_EQ(NarrowToWide("a\xC3", wide, 3), 0u) << "truncated sequence";
    EXPECT_EQ(NarrowToWide("\xC0\xAF", wide, 3), 0u) << "overlong encoding";
    std::string path;
    EXPECT_FALSE(WideToNarrowPath(std::wstring(1024, L'x').c_str(), path));
    EXPECT_TRUE(WideToNarrowPath(std::wstring(1023, L'x').c_str(), path));
    EXPECT_EQ(path.size(), 1023u);
}

TEST(MessageWindows, PostedMessagesArriveInOrderAndFilterByRange) {
    HWND window = CreateMessageWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PostMessage(window, 0x8003, 0, 7));
    EXPECT_TRUE(PostMessage(window, 0x8002, 1, 0));
    EXPECT_TRUE(PostMessage(window, 0x8003, 0, 9));
    MSG m{};
    ASSERT_TRUE(PeekMessage(&m, window, 0x8002, 0x8002, false));
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_TRUE(GetMessage(&m, window, 0x8003, 0x8003, 0));
    EXPECT_EQ(m.lParam, 7);
    ASSERT_TRUE(GetMessage(&m, window, 0, 0, 0));
    EXPECT_EQ(m.message, 0x8002u);
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0, 0));
    EXPECT_EQ(m.lParam, 9);
    EXPECT_FALSE(GetMessage(&m, window, 0, 0, 20)) << "empty queue times out";
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(MessageWindows, DestroyedWindowRefusesPostsAndWakesItsReader) {
    HWND window = CreateMessageWindow();
    std::atomic<bool> got{true};
    Thread reader;
    ASSERT_TRUE(reader.Start([&] {
        MSG m{};
        got = GetMessage(&m, window, 0, 0, -1);
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(DestroyWindow(window));
    reader.Join();
    EXPECT_FALSE(got.load());
    EXPECT_FALSE(PostMessage(window, 0x8003, 0, 1));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(PostMessage(reinterpret_cast<HWND>(uintptr_t{0xDEAD0}), 0x8003, 0, 1));
    EXPECT_FALSE(PostMessage(nullptr, 0x8003, 0, 1));
}

}  // namespace
}  // namespace velcor::platform
