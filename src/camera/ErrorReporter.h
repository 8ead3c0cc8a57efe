// How the camera object reports a failure: Record pushes the code onto the error history that
// Velcor_GetLastError reads and posts it as 0x8003 (wParam 0, lParam the code) to the
// notification window; Post only posts, for the failures the history does not keep. Nothing
// is posted while there is no notification window.
//
// Threads: application threads and the worker thread both report, holding any of the other
// locks: the history has its own lock, taken last, and the notification window, set once by
// Initialize, is read atomically.
#pragma once

#include <velcor/VelcorSdk.h>

#include <atomic>

#include "camera/ErrorHistory.h"

namespace velcor {

// Error codes recorded in the history and posted with 0x8003: the public codes under the
// names the library uses.
enum ErrorCode : int {
    kErrSuccessNotice = VELCOR_ERR_NONE,
    kErrNoCamera = VELCOR_ERR_NO_CAMERA,
    kErrNotPresent = VELCOR_ERR_NOT_PRESENT,
    kErrThread = VELCOR_ERR_THREAD,
    kErrWindow = VELCOR_ERR_WINDOW,
    kErrMemory = VELCOR_ERR_MEMORY,
    kErrDevice = VELCOR_ERR_DEVICE,
    kErrWindowRange = VELCOR_ERR_WINDOW_RANGE,
    kErrAcquisition = VELCOR_ERR_ACQUISITION,
    kErrArgument = VELCOR_ERR_ARGUMENT,
    kErrUnsupported = VELCOR_ERR_UNSUPPORTED,
    kErrConversion = VELCOR_ERR_CONVERSION,
    kErrStopped = VELCOR_ERR_STOPPED,
    kErrMaskFile = VELCOR_ERR_MASK_FILE,
};

class ErrorReporter {
  public:
    void SetNotifyWindow(HWND window) { notifyWindow_ = window; }
    // Pushes code onto the history and posts it.
    void Record(int code);
    // Posts code without recording it.
    void Post(int code) const;
    // The newest recorded code (0 when none), taken off the history.
    int PopNewest() { return history_.Pop(); }

  private:
    ErrorHistory history_;
    std::atomic<HWND> notifyWindow_{nullptr};
};

}  // namespace velcor
