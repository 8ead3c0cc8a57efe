// Where the capture worker finds the analog dialog that is open on its camera, to show what
// automatic exposure changed. The camera object opens and closes the slot around the dialog.
#pragma once

#include <mutex>

#include "dialogs/AnalogDialog.h"

namespace velcor::dialogs {

class AnalogDialogSlot {
  public:
    void Open(AnalogDialog* dialog) {
        std::lock_guard lock(mutex_);
        dialog_ = dialog;
    }
    bool IsOpen() {
        std::lock_guard lock(mutex_);
        return dialog_ != nullptr;
    }
    // After this the dialog may go: no thread is inside it through the slot.
    void Close() { Open(nullptr); }

    void ShowAutoGain(int gain) {
        std::lock_guard lock(mutex_);
        if (dialog_ != nullptr) dialog_->ShowAutoGain(gain);
    }
    void ShowAutoExposure(int exposure, double seconds) {
        std::lock_guard lock(mutex_);
        if (dialog_ != nullptr) dialog_->ShowAutoExposure(exposure, seconds);
    }

  private:
    std::mutex mutex_;
    AnalogDialog* dialog_ = nullptr;
};

}  // namespace velcor::dialogs
