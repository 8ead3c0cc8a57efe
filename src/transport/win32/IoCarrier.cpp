#include "transport/win32/IoCarrier.h"

#include <chrono>

namespace velcor::transport {
namespace {

// Posted to the completion port without an OVERLAPPED: the completion thread ends.
constexpr ULONG_PTR kQuitKey = 1;

}  // namespace

IoCarrier::IoCarrier() {
    port_ = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (port_ == nullptr) return;
    started_ = thread_.Start([this] { Run(); }, platform::ThreadPriority::Highest, "velcor-driver");
    if (!started_) {
        ::CloseHandle(port_);
        port_ = nullptr;
    }
}

IoCarrier::~IoCarrier() {
    if (!started_) return;
    ::PostQueuedCompletionStatus(port_, 0, kQuitKey, nullptr);
    thread_.Join();
    ::CloseHandle(port_);
}

uint32_t IoCarrier::Attach(::HANDLE handle) {
    if (!started_) return ERROR_GEN_FAILURE;
    if (::CreateIoCompletionPort(handle, port_, 0, 0) == nullptr) return ::GetLastError();
    std::lock_guard lock(mutex_);
    pending_.emplace(handle, 0);
    return ERROR_SUCCESS;
}

IoCarrier::Slot* IoCarrier::TakeSlot(::HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto attached = pending_.find(handle);
    if (attached == pending_.end()) return nullptr;
    if (free_.empty()) {
        slots_.push_back(std::make_unique<Slot>());
        free_.push_back(slots_.back().get());
    }
    Slot* slot = free_.back();
    free_.pop_back();
    ++attached->second;
    ++pendingTotal_;
    return slot;
}

uint32_t IoCarrier::Submit(::HANDLE handle, Operation operation,
                           const std::shared_ptr<platform::IoRequest>& request,
                           Observer* observer) {
    Slot* slot = TakeSlot(handle);
    if (slot == nullptr) {
        if (observer != nullptr) observer->Finished(ERROR_INVALID_HANDLE);
        request->Complete(ERROR_INVALID_HANDLE, 0);
        return ERROR_INVALID_HANDLE;
    }
    ::OVERLAPPED& overlapped = *slot;
    overlapped = ::OVERLAPPED{};
    slot->handle = handle;
    slot->request = request;
    slot->observer = observer;

    platform::IoRequest& r = *request;
    BOOL done = FALSE;
    switch (operation) {
        case Operation::Control:
            done = ::DeviceIoControl(handle, r.Code(), r.Input(), r.InputSize(), r.Output(),
                                     r.OutputSize(), nullptr, &overlapped);
            break;
        case Operation::Read:
            done = ::ReadFile(handle, r.Output(), r.OutputSize(), nullptr, &overlapped);
            break;
        case Operation::Write:
            done = ::WriteFile(handle, r.Input(), r.InputSize(), nullptr, &overlapped);
            break;
    }
    if (done) return ERROR_SUCCESS;  // the completion port still hears of it
    const uint32_t error = ::GetLastError();
    // A request that ends with a warning (more data than the buffer held) was completed by the
    // system like a success: its result comes through the completion port as well.
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) return ERROR_SUCCESS;
    Finish(slot, error, 0);
    return error;
}

void IoCarrier::Finish(Slot* slot, uint32_t error, uint32_t bytes) {
    std::shared_ptr<platform::IoRequest> request = std::move(slot->request);
    if (slot->observer != nullptr) slot->observer->Finished(error);
    request->Complete(error, bytes);
    {
        std::lock_guard lock(mutex_);
        auto attached = pending_.find(slot->handle);
        if (attached != pending_.end()) --attached->second;
        --pendingTotal_;
        slot->handle = nullptr;
        slot->observer = nullptr;
        free_.push_back(slot);
    }
    drained_.notify_all();
    // The request goes last: when it was the final reference, its memory returns to the port's
    // pool outside the carrier's lock.
    request.reset();
}

void IoCarrier::Run() {
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        ::OVERLAPPED* overlapped = nullptr;
        const BOOL ok = ::GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, INFINITE);
        if (overlapped == nullptr) {
            if (key == kQuitKey || !ok) return;
            continue;
        }
        const uint32_t error = ok ? ERROR_SUCCESS : ::GetLastError();
        Finish(static_cast<Slot*>(overlapped), error, bytes);
    }
}

void IoCarrier::Release(::HANDLE handle) {
    std::unique_lock lock(mutex_);
    auto attached = pending_.find(handle);
    if (attached == pending_.end()) return;
    // Cancelled again now and then: a driver may queue a request it had not yet seen when the
    // first cancel came.
    while (pending_.at(handle) > 0) {
        ::CancelIoEx(handle, nullptr);
        drained_.wait_for(lock, std::chrono::milliseconds(100),
                          [&] { return pending_.at(handle) == 0; });
    }
    pending_.erase(handle);
}

size_t IoCarrier::Pending() const {
    std::lock_guard lock(mutex_);
    return pendingTotal_;
}

size_t IoCarrier::SlotCount() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

}  // namespace velcor::transport
