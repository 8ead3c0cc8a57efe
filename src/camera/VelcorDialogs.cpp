// The settings dialogs of the camera object: the camera (stream format), analog and image
// dialogs, shown by the view module over the application's window. The dialogs live on the
// heap: their locks are plain mutexes, which a thread checker would otherwise take for those of
// whatever is made later at the same stack address.
#include <memory>

#include "camera/DialogPorts.h"
#include "camera/Velcor.h"
#include "dialogs/AnalogDialog.h"
#include "dialogs/CameraDialog.h"
#include "dialogs/DialogHost.h"
#include "dialogs/ImageDialog.h"
#include "platform/SystemLanguage.h"

namespace velcor {
namespace {

const dialogs::DialogTexts& Texts() {
    return dialogs::TextsFor(platform::SystemDefaultLangId());
}

}  // namespace

int CVelcor::ShowCameraDialog(HWND parent) {
    if (!HaveEngine()) return 0;
    CVelcorR3U2Base& e = *engine_;
    dialogs::CameraDialogSetup setup;
    setup.camera = e.GetDeviceNumber();
    setup.sensor = SensorOutput();
    setup.hWindowSupported = e.IsHWindowSupported() != 0;
    setup.vWindowSupported = e.IsVWindowSupported() != 0;

    // The dialog changes the window and the output format a capture reads: what runs stops
    // (trigger mode pauses) and comes back afterwards with the new settings.
    const int paused = session_->PauseForDialog();
    auto dialog = std::make_unique<dialogs::CameraDialog>(store_, setup, Texts());
    const int result = dialogs::RunDialog(*dialog, parent);
    if (result != 0 && !dialog->Ended()) dialog->Close();
    if (dialog->Result() == dialogs::kDialogOk) {
        LoadWindowSettings(setup.camera);
        LoadOutputSettings(setup.camera);
    }
    session_->ResumeAfterDialog(paused, Setup());
    if (result == 0) {
        RecordError(kErrWindow);
        return 0;
    }
    return 1;
}

void CVelcor::RefreshAnalogFromEngine() {
    CVelcorR3U2Base& e = *engine_;
    platform::CriticalSectionLock lock(settings_.Lock());
    AnalogValues& a = settings_.Values().analog;
    a.globalGain = e.GetGlobalGain();
    a.colourGainGreen1 = e.GetColourGainGreen1();
    a.colourGainRed = e.GetColourGainRed();
    a.colourGainBlue = e.GetColourGainBlue();
    a.colourGainGreen2 = e.GetColourGainGreen2();
    a.exposure = e.GetExposure();
    double seconds = 0.0;
    if (e.IsExposureSecondsSupported() && e.GetExposureSeconds(&seconds))
        a.exposureSeconds = seconds;
    int on = 0;
    if (e.GetMirrorV(&on)) a.mirrorV = on != 0 ? 1 : 0;
    if (e.GetMirrorH(&on)) a.mirrorH = on != 0 ? 1 : 0;
}

int CVelcor::ShowAnalogDialog(HWND parent) {
    if (!HaveEngine()) return 0;
    RefreshAnalogFromEngine();
    CameraAnalogPort port(*this);
    int result = 0;
    {
        // The record as it is now is what any end but OK restores.
        auto dialog = std::make_unique<dialogs::AnalogDialog>(port, Texts());
        // Automatic exposure shows its changes in the dialog while it is open.
        dialogs::AnalogDialogSlot& slot = session_->AnalogDialog();
        slot.Open(dialog.get());
        result = dialogs::RunDialog(*dialog, parent);
        slot.Close();
        // A dialog that could not be shown ran no events, so it changed nothing; one that ran
        // and was left without an end counts as cancelled.
        if (result != 0 && !dialog->Ended()) dialog->Close();
    }
    if (result == 0) {
        RecordError(kErrWindow);
        return 0;
    }
    return 1;
}

int CVelcor::ShowImageDialog(HWND parent) {
    if (!HaveEngine()) return 0;
    CameraImagePort port(*this);
    auto dialog = std::make_unique<dialogs::ImageDialog>(
        port, dialogs::ImageDialogEnables::ForColourMode(GetColorMode()), Texts());
    const int result = dialogs::RunDialog(*dialog, parent);
    if (result != 0 && !dialog->Ended()) dialog->Close();
    if (result == 0) {
        RecordError(kErrWindow);
        return 0;
    }
    return 1;
}

}  // namespace velcor
