// The stream format dialog: the output format, the camera's table of readout windows, the
// wait time and the clock, as the settings store keeps them for one camera. OK and Apply save
// what the controls hold; the camera object then reloads its window and output settings.
#pragma once

#include <vector>

#include "dialogs/DialogBase.h"
#include "dialogs/DialogTexts.h"
#include "settings/SettingsStore.h"

namespace velcor::dialogs {

namespace camera_ids {
inline constexpr int kApply = 1002;
inline constexpr int kFormat = 1009;
inline constexpr int kSize = 1010;
inline constexpr int kSubSample = 1012;
inline constexpr int kClock = 1014;
inline constexpr int kTotalWidth = 1039;
inline constexpr int kTotalHeight = 1040;
inline constexpr int kWidth = 1041;
inline constexpr int kHeight = 1042;
inline constexpr int kXStart = 1043;
inline constexpr int kYStart = 1044;
inline constexpr int kWaitTime = 1045;
}  // namespace camera_ids

// What the dialog needs to know of the camera.
struct CameraDialogSetup {
    int camera = 0;  // the engine's camera number: whose stored settings
    settings::SensorOutput sensor;
    bool hWindowSupported = false;
    bool vWindowSupported = false;
};

class CameraDialog final : public DialogBase {
  public:
    // Loads the camera's table and values from the store (an unreadable store shows the
    // defaults, with the default entry in the table).
    CameraDialog(const settings::SettingsStore& store, const CameraDialogSetup& setup,
                 const DialogTexts& texts);

    // What the dialog holds now, as it would be saved.
    settings::CameraDialogSettings Settings() const;

  protected:
    void OnTrio(int, int) override {}
    void OnEditText(int id, const std::string& text) override;
    void OnSelect(int id, int index) override;
    void OnClick(int id) override;
    void OnEnd(int result) override;

  private:
    void Build(const CameraDialogSetup& setup);
    void ShowEntry(const settings::WindowEntry& entry);
    // Takes the controls into the settings (a "Custom" window appends an entry) and saves them.
    void Commit();
    int EditValue(int id, int fallback) const;

    const settings::SettingsStore& store_;
    const DialogTexts& texts_;
    int camera_;
    settings::CameraDialogSettings settings_;
    // Apply saved the controls at least once.
    bool applied_ = false;
    // The colour-mode code of each item of the format combo.
    std::vector<int> formatCodes_;
};

}  // namespace velcor::dialogs
