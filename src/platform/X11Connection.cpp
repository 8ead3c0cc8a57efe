#include "platform/X11Connection.h"

#include <X11/Xproto.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/NoDestructor.h"

namespace velcor::platform {

struct X11ConnectionAccess {
    static void NoteError(X11Connection& c, int code) {
        if (c.firstError_ == 0) c.firstError_ = code;
    }
    static void MarkDead(X11Connection& c) { c.dead_ = true; }
};

namespace {

// The library's connections, for the process-wide handlers to tell them from the
// application's. The mutex is a leaf: nothing calls Xlib while holding it.
struct ConnectionList {
    std::mutex mutex;
    std::vector<X11Connection*> connections;
    XErrorHandler previousError = nullptr;
    XIOErrorHandler previousIoError = nullptr;
    bool handlersInstalled = false;
    // Opening and closing, so a display address is off the list before Xlib can reuse it.
    std::mutex openMutex;
};

ConnectionList& List() {
    static NoDestructor<ConnectionList> list;
    return list.get();
}

X11Connection* Find(ConnectionList& list, Display* display) {
    for (X11Connection* c : list.connections) {
        if (c->Get() == display) return c;
    }
    return nullptr;
}

int OnError(Display* display, XErrorEvent* event) {
    ConnectionList& list = List();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(list.mutex);
        if (X11Connection* own = Find(list, display)) {
            X11ConnectionAccess::NoteError(*own, event->error_code);
            return 0;
        }
        previous = list.previousError;
    }
    return previous != nullptr ? previous(display, event) : 0;
}

int OnIoError(Display* display) {
    ConnectionList& list = List();
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(list.mutex);
        if (X11Connection* own = Find(list, display)) {
            X11ConnectionAccess::MarkDead(*own);
            return 0;
        }
        previous = list.previousIoError;
    }
    return previous != nullptr ? previous(display) : 0;
}

#if defined(VELCOR_HAVE_IO_ERROR_EXIT_HANDLER)
// Returning lets Xlib carry on with the connection marked broken instead of exiting.
void OnIoErrorExit(Display* display, void*) {
    OnIoError(display);
}
#endif

}  // namespace

std::unique_ptr<X11Connection> X11Connection::Open() {
    ConnectionList& list = List();
    std::lock_guard openLock(list.openMutex);
    // A server whose last client just left resets itself (Xvfb and kiosk servers without
    // -noreset), and refuses connections for a moment while it does: the screen-size query's
    // connection closing right before the window's own is enough. A few short retries ride
    // that out; no DISPLAY or no server still fails at once.
    Display* display = nullptr;
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || name[0] == '\0') return nullptr;
    for (int attempt = 0; attempt < 5 && display == nullptr; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
        display = XOpenDisplay(nullptr);
    }
    if (display == nullptr) return nullptr;
    auto connection = std::make_unique<X11Connection>(OpenKey{}, display);
#if defined(VELCOR_HAVE_IO_ERROR_EXIT_HANDLER)
    XSetIOErrorExitHandler(display, &OnIoErrorExit, nullptr);
#endif
    std::lock_guard lock(list.mutex);
    if (!list.handlersInstalled) {
        // Installed once; an application that installs its own handlers later takes the
        // library's connections' errors too, as Xlib has no per-connection error handler.
        list.previousError = XSetErrorHandler(&OnError);
        list.previousIoError = XSetIOErrorHandler(&OnIoError);
        list.handlersInstalled = true;
    }
    list.connections.push_back(connection.get());
    return connection;
}

X11Connection::~X11Connection() {
    ConnectionList& list = List();
    std::lock_guard openLock(list.openMutex);
    {
        // Errors of the requests still queued are this connection's until it is off the list.
        std::lock_guard lock(mutex_);
        XCloseDisplay(display_);
    }
    std::lock_guard lock(list.mutex);
    list.connections.erase(std::remove(list.connections.begin(), list.connections.end(), this),
                           list.connections.end());
}

int X11Connection::SyncAndTakeError() {
    if (!dead_) XSync(display_, False);
    if (dead_) return BadImplementation;
    const int error = firstError_;
    firstError_ = 0;
    return error;
}

}  // namespace velcor::platform
