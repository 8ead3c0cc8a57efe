#include "dialogs/CameraDialog.h"

#include <cstdio>

namespace velcor::dialogs {
namespace {

using namespace camera_ids;

// Static texts have no identifier of their own in the dialog; they get these.
constexpr int kFirstStaticId = 5000;

// The widest output depth of a monochrome camera, and its fastest clock.
constexpr int kWideMonochromeBits = 12;
constexpr int kHighClockMHz = 37;
// The clock item the dialog always shows.
constexpr int kShownClock = 2;

std::string Format(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string SizeItem(const settings::WindowEntry& entry) {
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d", entry.width, entry.height);
    return text;
}

}  // namespace

CameraDialog::CameraDialog(const settings::SettingsStore& store, const CameraDialogSetup& setup,
                           const DialogTexts& texts)
    : DialogBase(texts.title, {texts.tabStreamFormat}),
      store_(store),
      texts_(texts),
      camera_(setup.camera) {
    if (!store_.LoadCameraDialogSettings(camera_, settings_)) {
        settings_ = settings::CameraDialogSettings{};
        settings_.output.colour = settings::DefaultColour(setup.sensor);
        settings_.output.waitTimeMs = 1;
    }
    if (settings_.table.empty()) settings_.table.push_back(settings::WindowEntry{});
    std::lock_guard lock(Mutex());
    Build(setup);
}

void CameraDialog::Build(const CameraDialogSetup& setup) {
    int staticId = kFirstStaticId;
    auto label = [&](int row, const char* text) {
        Add(ControlSpec(staticId++, ControlKind::kLabel).Row(row).Label(text));
    };

    Control format = ControlSpec(kFormat, ControlKind::kCombo).Row(0);
    if (setup.sensor.allows8Bit) {
        format.items.push_back(texts_.monochrome8);
        formatCodes_.push_back(0);
    }
    if (setup.sensor.allows16Bit) {
        format.items.push_back(Format(texts_.monochromeWideFormat, kWideMonochromeBits));
        formatCodes_.push_back(1);
    }
    if (setup.sensor.colour) {
        for (const char* item :
             {texts_.colour24, texts_.colour32, texts_.colour48, texts_.colour64})
            format.items.push_back(item);
        for (int code = 2; code <= 5; ++code)
            formatCodes_.push_back(code);
    }
    format.selection = format.items.empty() ? -1 : 0;
    for (size_t i = 0; i < formatCodes_.size(); ++i) {
        if (formatCodes_[i] == settings_.output.colour) format.selection = static_cast<int>(i);
    }
    label(0, texts_.outputFormat);
    Add(std::move(format));

    Control size = ControlSpec(kSize, ControlKind::kCombo).Row(1);
    for (const settings::WindowEntry& entry : settings_.table)
        size.items.push_back(SizeItem(entry));
    size.items.push_back(texts_.custom);
    const int entries = static_cast<int>(settings_.table.size());
    size.selection =
        settings_.selected >= 0 && settings_.selected < entries ? settings_.selected : 0;
    size.enabled = setup.hWindowSupported || setup.vWindowSupported;
    label(1, texts_.size);
    Add(std::move(size));

    label(2, texts_.subSample);
    Add(ControlSpec(kSubSample, ControlKind::kCombo)
            .Row(2)
            .Items({"1/1"})
            .Selection(0)
            .Enabled(false));
    label(3, texts_.clock);
    Add(ControlSpec(kClock, ControlKind::kCombo)
            .Row(3)
            .Items({texts_.clockNormal, texts_.clockHalf,
                    Format(texts_.clockHighFormat, kHighClockMHz)})
            .Selection(kShownClock)
            .Enabled(false));

    struct EditRow {
        int id;
        const char* text;
        int row;
        bool enabled;
    };
    const EditRow edits[] = {
        {kTotalWidth, texts_.hTotal, 4, setup.hWindowSupported},
        {kTotalHeight, texts_.vTotal, 4, setup.vWindowSupported},
        {kWidth, texts_.hEffective, 5, setup.hWindowSupported},
        {kHeight, texts_.vEffective, 5, setup.vWindowSupported},
        {kXStart, texts_.hStart, 6, setup.hWindowSupported},
        {kYStart, texts_.vStart, 6, setup.vWindowSupported},
    };
    for (const EditRow& edit : edits) {
        label(edit.row, edit.text);
        Add(ControlSpec(edit.id, ControlKind::kEdit).Row(edit.row).Enabled(edit.enabled));
    }
    ShowEntry(settings_.table[static_cast<size_t>(Get(kSize)->selection)]);

    label(7, texts_.waitTime);
    Add(ControlSpec(kWaitTime, ControlKind::kEdit)
            .Row(7)
            .Text(std::to_string(settings_.output.waitTimeMs)));
    label(8, texts_.wordTransferNote);
    Add(ControlSpec(kApply, ControlKind::kButton).Row(9).Label(texts_.apply).Enabled(false));
    Add(ControlSpec(kIdOk, ControlKind::kButton).Page(-1).Label(texts_.ok));
    Add(ControlSpec(kIdCancel, ControlKind::kButton).Page(-1).Label(texts_.cancel));
}

void CameraDialog::ShowEntry(const settings::WindowEntry& entry) {
    SetText(kTotalWidth, std::to_string(entry.totalWidth));
    SetText(kTotalHeight, std::to_string(entry.totalHeight));
    SetText(kWidth, std::to_string(entry.width));
    SetText(kHeight, std::to_string(entry.height));
    SetText(kXStart, std::to_string(entry.xStart));
    SetText(kYStart, std::to_string(entry.yStart));
}

void CameraDialog::OnEditText(int, const std::string&) {
    SetEnabled(kApply, true);
}

void CameraDialog::OnSelect(int id, int index) {
    if (id == kSize && index < static_cast<int>(settings_.table.size()))
        ShowEntry(settings_.table[static_cast<size_t>(index)]);
    SetEnabled(kApply, true);
}

void CameraDialog::OnClick(int id) {
    if (id != kApply) return;
    Commit();
    applied_ = true;
    SetEnabled(kApply, false);
}

void CameraDialog::OnEnd(int result) {
    // OK right after Apply has nothing new to take: with "Custom" still chosen it would
    // append the window just applied a second time.
    const bool unchangedSinceApply = applied_ && !Get(kApply)->enabled;
    if (result == kDialogOk && !unchangedSinceApply) Commit();
}

int CameraDialog::EditValue(int id, int fallback) const {
    const std::optional<int> value = ParseInteger(Get(id)->text);
    return value ? *value : fallback;
}

void CameraDialog::Commit() {
    Control& size = *Get(kSize);
    const int entries = static_cast<int>(settings_.table.size());
    const bool custom = size.selection >= entries;
    settings::WindowEntry entry =
        custom ? settings::WindowEntry{} : settings_.table[static_cast<size_t>(size.selection)];
    entry.totalWidth = EditValue(kTotalWidth, entry.totalWidth);
    entry.totalHeight = EditValue(kTotalHeight, entry.totalHeight);
    entry.width = EditValue(kWidth, entry.width);
    entry.height = EditValue(kHeight, entry.height);
    entry.xStart = EditValue(kXStart, entry.xStart);
    entry.yStart = EditValue(kYStart, entry.yStart);
    if (custom) {
        // The table holds at most kMaxWindowEntries; a full table takes the window into its
        // last entry.
        if (entries < settings::kMaxWindowEntries) {
            settings_.table.push_back(entry);
            size.items.insert(size.items.begin() + entries, SizeItem(entry));
            // "Custom" stays chosen, so each Apply adds the window shown as a new entry.
            size.selection = entries + 1;
        } else {
            settings_.table.back() = entry;
            size.items[static_cast<size_t>(entries - 1)] = SizeItem(entry);
        }
        // The stored selection names the entry just made: "Custom" itself is no entry.
        settings_.selected = static_cast<int>(settings_.table.size()) - 1;
    } else {
        settings_.table[static_cast<size_t>(size.selection)] = entry;
        size.items[static_cast<size_t>(size.selection)] = SizeItem(entry);
        settings_.selected = size.selection;
    }
    const int format = Get(kFormat)->selection;
    if (format >= 0 && format < static_cast<int>(formatCodes_.size()))
        settings_.output.colour = formatCodes_[static_cast<size_t>(format)];
    // One readout mode and the clock choice of the combo, as the camera object keeps them.
    settings_.output.subSample = Get(kSubSample)->selection;
    settings_.output.clock = Get(kClock)->selection;
    const int waitTime = EditValue(kWaitTime, settings_.output.waitTimeMs);
    if (waitTime >= 0) settings_.output.waitTimeMs = waitTime;
    SetText(kWaitTime, std::to_string(settings_.output.waitTimeMs));
    Touch();
    store_.SaveCameraDialogSettings(camera_, settings_);
}

settings::CameraDialogSettings CameraDialog::Settings() const {
    std::lock_guard lock(Mutex());
    return settings_;
}

}  // namespace velcor::dialogs
