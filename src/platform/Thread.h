// Joinable thread with a best-effort scheduling priority. The owner joins it before it goes;
// the destructor joins as a last resort so a thread never outlives its owner.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

namespace velcor::platform {

enum class ThreadPriority { Normal, Highest, TimeCritical };

// Set once the process is ending with other threads already gone: on Windows, when the library
// is unloaded because the process exits, the system has ended every other thread before the
// library's static objects are torn down. From then on no owner waits for a thread, nor takes a
// lock a thread may have held: the wait would never end, under the loader's lock at that.
void MarkProcessEnding();
bool ProcessEnding();

class Thread {
  public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. False when a thread is already running or none could be
    // created. The thread runs at the priority asked for, whatever its creator runs at: normal
    // is normal scheduling; a higher priority is taken when the process may raise it and is
    // otherwise normal too. The name (at most 15 characters) shows in debuggers and process
    // listings.
    bool Start(std::function<void()> body, ThreadPriority priority = ThreadPriority::Normal,
               const char* name = nullptr);
    // Waits for the thread to end; once the process is ending, lets it go instead.
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    // Non-zero identifier of the running thread (the Win32 thread id's role); 0 when none.
    uint32_t Id() const { return id_; }
    // True when called on this thread.
    bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

  private:
    std::thread thread_;
    uint32_t id_ = 0;
};

}  // namespace velcor::platform
