// A connection of the library's own to the X server named by DISPLAY. The application may use
// Xlib itself, with or without XInitThreads, so the library never shares its connections and
// never calls XInitThreads: every use of a connection happens under the connection's mutex.
//
// Errors: the library's error handler takes the protocol errors of its own connections (a bad
// parent window id, a window destroyed by the application) and keeps the code for the next
// TakeError; errors of other connections go to the handler that was installed before. A server
// that goes away marks the connection dead instead of ending the process (libX11 1.8 and later;
// older ones exit as they always did), and later calls on it do nothing.
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace velcor::platform {

class X11Connection {
  public:
    // Null without a DISPLAY or when the server does not answer.
    static std::unique_ptr<X11Connection> Open();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Held around every Xlib call on Get().
    std::mutex& Mutex() { return mutex_; }
    Display* Get() const { return display_; }
    // The server went away; nothing more may be asked of it.
    bool Dead() const { return dead_.load(); }
    // Waits until the server has handled every request so far, then answers the first error
    // code of the requests since the last call (0: none) and forgets it. A dead connection
    // answers BadImplementation. The caller holds the mutex.
    int SyncAndTakeError();

  private:
    struct OpenKey {
        explicit OpenKey() = default;
    };
    friend struct X11ConnectionAccess;

  public:
    X11Connection(OpenKey, Display* display) : display_(display) {}

  private:
    std::mutex mutex_;
    Display* display_;
    std::atomic<bool> dead_{false};
    // Written by the error handler on the thread that holds the mutex.
    int firstError_ = 0;
};

}  // namespace velcor::platform
