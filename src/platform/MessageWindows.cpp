#include "platform/MessageWindows.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Clock.h"
#include "platform/NoDestructor.h"

namespace velcor::platform {
namespace {

constexpr size_t kQueueLimit = 10000;
// Room for the messages of a few seconds of frames before a queue has to grow.
constexpr size_t kQueueReserve = 256;

struct WindowRegistry {
    std::mutex mutex;
    std::condition_variable posted;
    // Window token -> its queue. Tokens are never reused, so a destroyed window stays unknown.
    // Each queue keeps its capacity once grown, so steady posting allocates nothing.
    std::map<uintptr_t, std::vector<MSG>> windows;
    // The tokens that stand for X11 windows, both ways.
    std::map<unsigned long, uintptr_t> tokenOfX11;
    std::map<uintptr_t, unsigned long> x11OfToken;
    uintptr_t nextToken = 0x10000;
};

WindowRegistry& Registry() {
    static NoDestructor<WindowRegistry> registry;
    return registry.get();
}

uintptr_t Token(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

bool Matches(const MSG& m, UINT first, UINT last) {
    return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

// Finds the oldest matching message; the registry lock is held by the caller.
bool TakeLocked(WindowRegistry& r, MSG* out, HWND window, UINT first, UINT last, bool remove) {
    auto scan = [&](std::vector<MSG>& queue) {
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (!Matches(*it, first, last)) continue;
            if (out != nullptr) *out = *it;
            if (remove) queue.erase(it);
            return true;
        }
        return false;
    };
    if (window != nullptr) {
        auto found = r.windows.find(Token(window));
        return found != r.windows.end() && scan(found->second);
    }
    for (auto& [token, queue] : r.windows) {
        if (scan(queue)) return true;
    }
    return false;
}

HWND NewWindowLocked(WindowRegistry& r) {
    const uintptr_t token = r.nextToken;
    r.nextToken += 0x10;
    std::vector<MSG> queue;
    queue.reserve(kQueueReserve);
    r.windows.emplace(token, std::move(queue));
    // The handle is a token, never dereferenced.
    return reinterpret_cast<HWND>(token);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

HWND CreateMessageWindow() {
    WindowRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return NewWindowLocked(r);
}

HWND WindowForX11(unsigned long x11Window) {
    if (x11Window == 0) return nullptr;
    WindowRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto found = r.tokenOfX11.find(x11Window);
    if (found != r.tokenOfX11.end()) {
        return reinterpret_cast<HWND>(found->second);  // NOLINT(performance-no-int-to-ptr)
    }
    HWND window = NewWindowLocked(r);
    r.tokenOfX11.emplace(x11Window, Token(window));
    r.x11OfToken.emplace(Token(window), x11Window);
    return window;
}

unsigned long X11WindowOf(HWND window) {
    WindowRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto found = r.x11OfToken.find(Token(window));
    return found != r.x11OfToken.end() ? found->second : 0;
}

bool DestroyWindow(HWND window) {
    WindowRegistry& r = Registry();
    {
        std::lock_guard lock(r.mutex);
        if (r.windows.erase(Token(window)) == 0) return false;
        auto x11 = r.x11OfToken.find(Token(window));
        if (x11 != r.x11OfToken.end()) {
            r.tokenOfX11.erase(x11->second);
            r.x11OfToken.erase(x11);
        }
    }
    r.posted.notify_all();
    return true;
}

bool IsWindow(HWND window) {
    WindowRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return window != nullptr && r.windows.count(Token(window)) != 0;
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRegistry& r = Registry();
    {
        std::lock_guard lock(r.mutex);
        auto found = r.windows.find(Token(window));
        // A window nobody reads must not grow without bound: like the window system, refuse
        // posts once 10000 messages wait.
        if (window == nullptr || found == r.windows.end() || found->second.size() >= kQueueLimit) {
            return false;
        }
        found->second.push_back(MSG{window, message, wParam, lParam, TimeGetTime()});
    }
    r.posted.notify_all();
    return true;
}

bool PeekMessage(MSG* message, HWND window, UINT first, UINT last, bool remove) {
    WindowRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return TakeLocked(r, message, window, first, last, remove);
}

bool GetMessage(MSG* message, HWND window, UINT first, UINT last, int timeoutMs) {
    WindowRegistry& r = Registry();
    std::unique_lock lock(r.mutex);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (TakeLocked(r, message, window, first, last, true)) return true;
        if (window != nullptr && r.windows.count(Token(window)) == 0) return false;
        if (timeoutMs < 0) {
            r.posted.wait(lock);
        } else if (r.posted.wait_until(lock, deadline) == std::cv_status::timeout) {
            return TakeLocked(r, message, window, first, last, true);
        }
    }
}

}  // namespace velcor::platform
