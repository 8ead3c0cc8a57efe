// Carries the driver port's requests to the system on Windows: each request goes to
// DeviceIoControl (or ReadFile / WriteFile) on an overlapped handle with an OVERLAPPED of its
// own, and one completion thread per carrier takes the results off an I/O completion port and
// completes the requests. The OVERLAPPED records live in slots that are reused: once the most
// requests ever under way at once have been seen, carrying a request allocates nothing.
//
// A handle is attached before its first request and released before it is closed; releasing
// cancels the handle's requests and returns only when every one of them has completed, so no
// request outlives its handle and the system no longer touches any of their buffers.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/DriverPort.h"
#include "platform/Thread.h"

namespace velcor::transport {

class IoCarrier {
  public:
    enum class Operation {
        Control,  // DeviceIoControl with the request's code, input and output
        Read,     // ReadFile into the request's output
        Write,    // WriteFile from the request's input
    };

    // Told of a request's error (0 for success) just before the request completes.
    class Observer {
      public:
        virtual void Finished(uint32_t error) = 0;

      protected:
        ~Observer() = default;
    };

    IoCarrier();
    // Every attached handle must have been released.
    ~IoCarrier();
    IoCarrier(const IoCarrier&) = delete;
    IoCarrier& operator=(const IoCarrier&) = delete;

    // False when the completion port or its thread could not be made; nothing can be carried.
    bool Started() const { return started_; }

    // Binds an overlapped handle to the completion port. Returns 0 or the system's error.
    uint32_t Attach(::HANDLE handle);
    // Issues the request on the handle. A request the system refuses at once is completed here
    // and its error returned; otherwise 0 is returned and the request completes on the
    // completion thread (also when the system finished it at once). The observer, if any, must
    // outlive the request.
    uint32_t Submit(::HANDLE handle, Operation operation,
                    const std::shared_ptr<platform::IoRequest>& request, Observer* observer);
    // Cancels the handle's requests and waits until each has completed; the handle may then be
    // closed. No Submit on the handle may run meanwhile. A handle never attached is ignored.
    void Release(::HANDLE handle);

    // Requests under way.
    size_t Pending() const;
    // OVERLAPPED slots made so far: the most requests that were ever under way at once.
    size_t SlotCount() const;

  private:
    // The system is handed the slot's OVERLAPPED part and gives the same address back.
    struct Slot : ::OVERLAPPED {
        ::HANDLE handle = nullptr;
        std::shared_ptr<platform::IoRequest> request;
        Observer* observer = nullptr;
    };

    Slot* TakeSlot(::HANDLE handle);
    void Finish(Slot* slot, uint32_t error, uint32_t bytes);
    void Run();

    ::HANDLE port_ = nullptr;
    bool started_ = false;
    mutable std::mutex mutex_;
    std::condition_variable drained_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<Slot*> free_;
    // Requests under way per attached handle.
    std::unordered_map<::HANDLE, uint32_t> pending_;
    size_t pendingTotal_ = 0;
    platform::Thread thread_;
};

}  // namespace velcor::transport
