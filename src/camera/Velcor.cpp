#include "camera/Velcor.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "camera/ConfigFile.h"
#include "camera/EngineFactory.h"
#include "camera/MaskFile.h"
#include "camera/StoredSettings.h"
#include "platform/Clock.h"
#include "platform/RegularFile.h"
#include "platform/TextCodec.h"

namespace velcor {
namespace {

constexpr int kNameSlots = 10;
constexpr int kNameSlotBytes = 256;
constexpr uint16_t kSerialNumberAddress = 0x1040;
constexpr int kSerialNumberBytes = 32;
constexpr uint8_t kIoPortRegister = 7;

// "VelcorTX40_01" for number 1.
void FormatDeviceName(char* out, size_t size, int number) {
    std::snprintf(out, size, "%s_%02d", kDeviceNamePrefix, number);
}

}  // namespace

CVelcor::CVelcor() = default;

CVelcor::~CVelcor() {
    CloseCamera();
    DestroyOwnedObjects();
}

void CVelcor::CloseCamera() {
    if (cameraClosed_) return;
    cameraClosed_ = true;
    SaveStoredSettings();
    if (session_) session_->Stop();
    if (engine_) {
        engine_->StopTransfer();
        engine_->Shutdown();
    }
}

void CVelcor::DestroyOwnedObjects() {
    if (deviceNotification_ != nullptr) {
        platform::UnregisterDeviceNotification(deviceNotification_);
        deviceNotification_ = nullptr;
    }
    // The session drives the engine: it goes first.
    session_.reset();
    engine_.reset();
    platform::CriticalSectionLock lock(mask_.Lock());
    mask_.Mask().Release();
    configuration_.clear();
}

// ---- The engine check ----------------------------------------------------------------------

bool CVelcor::HaveEngine() {
    if (engine_) return true;
    RecordError(kErrNoCamera);
    return false;
}

// ---- Lifecycle -------------------------------------------------------------------------------

int CVelcor::Initialize(HWND notifyWindow) {
    SaveStoredSettings();
    storedCamera_.reset();
    DestroyOwnedObjects();
    engine_ = CreateCameraEngine();
    if (engine_) session_ = std::make_unique<CaptureSession>(*engine_, settings_, errors_, mask_);
    errors_.SetNotifyWindow(notifyWindow);

    // The application hears of cameras arriving and leaving through its notification window.
    if (notifyWindow != nullptr) {
        deviceNotification_ = platform::RegisterDeviceNotification(
            notifyWindow, CVelcorR3U2Base::CameraInterfaceClass());
        if (deviceNotification_ == nullptr) return 0;
    }

    if (!engine_) {
        RecordError(kErrMemory);
        return 0;
    }

    {
        // The pixel mask starts cleared, which corrects nothing until a mask is loaded or
        // taken from the camera.
        platform::CriticalSectionLock lock(mask_.Lock());
        if (!mask_.Mask().Create()) return 0;
    }

    engine_->SetProductId(kProductId);
    engine_->InitializeController(notifyWindow, &CVelcorR3U2Base::CameraInterfaceClass());
    // The one camera present need not be number 0: an unplugged camera keeps its number.
    if (engine_->CountDevices(kProductId) == 1) SetDeviceNumber(FirstPresentDevice());
    // The stored window first (on a first run this makes the default entries, after the
    // camera is open so that its sensor chooses the default colour mode), the colour mode and
    // the other output values last. Opening the camera loaded and applied its analog, filter
    // and gray settings; without a camera they load here.
    const int camera = engine_->GetDeviceNumber();
    LoadWindowSettings(camera);
    if (!storedCamera_) LoadStoredSettings(camera);
    LoadOutputSettings(camera);
    return 1;
}

// ---- Device selection and identity -----------------------------------------------------------

int CVelcor::EnumDevice(char* names) {
    if (!HaveEngine()) return 0;
    if (names == nullptr) {
        RecordError(kErrArgument);
        return 0;
    }
    // Device numbers are per-model instance numbers that an unplugged camera keeps, so the
    // present cameras may have gaps between their numbers: every number is looked at, and each
    // name carries the number that opens it (as Velcor_GetDeviceName gives it).
    engine_->CountDevices(kProductId);
    int written = 0;
    const int maxDevices = engine_->GetMaxDevices();
    for (int number = 0; number < maxDevices && written < kNameSlots; ++number) {
        if (!engine_->IsDevicePresent(number)) continue;
        FormatDeviceName(names + written * kNameSlotBytes, kNameSlotBytes, number + 1);
        ++written;
    }
    for (int slot = written; slot < kNameSlots; ++slot)
        names[slot * kNameSlotBytes] = '\0';
    return written;
}

int CVelcor::FirstPresentDevice() {
    const int maxDevices = engine_->GetMaxDevices();
    for (int number = 0; number < maxDevices; ++number) {
        if (engine_->IsDevicePresent(number)) return number;
    }
    return 0;
}

int CVelcor::EnumDeviceW(wchar_t* names) {
    if (names == nullptr) {
        if (HaveEngine()) RecordError(kErrArgument);
        return 0;
    }
    char narrow[kNameSlots * kNameSlotBytes];
    const int written = EnumDevice(narrow);
    for (int slot = 0; slot < kNameSlots; ++slot) {
        wchar_t* out = names + slot * kNameSlotBytes;
        if (slot >= written) {
            out[0] = L'\0';
        } else if (platform::NarrowToWide(narrow + slot * kNameSlotBytes, out, kNameSlotBytes) ==
                   0) {
            RecordError(kErrConversion);
            return 0;
        }
    }
    return written;
}

int CVelcor::GetDeviceName(int index, char* buffer, int size) {
    if (!HaveEngine()) return 0;
    if (buffer == nullptr || size <= 12) {
        RecordError(kErrArgument);
        return 0;
    }
    if (index < 0 || index >= engine_->GetMaxDevices() || !engine_->IsDevicePresent(index)) {
        RecordError(kErrNotPresent);
        return 0;
    }
    // A name cut short would still look like a valid name: ask for room for all of it.
    char name[kNameSlotBytes];
    FormatDeviceName(name, sizeof name, index + 1);
    if (std::strlen(name) >= static_cast<size_t>(size)) {
        RecordError(kErrArgument);
        return 0;
    }
    std::memcpy(buffer, name, std::strlen(name) + 1);
    return 1;
}

int CVelcor::GetDeviceNameW(int index, wchar_t* buffer, int size) {
    char narrow[kNameSlotBytes];
    if (!GetDeviceName(index, narrow, sizeof narrow)) return 0;
    if (buffer == nullptr || size <= 0 ||
        platform::NarrowToWide(narrow, buffer, static_cast<size_t>(size)) == 0) {
        RecordError(kErrConversion);
        return 0;
    }
    return 1;
}

int CVelcor::SetDeviceNumber(int index) {
    if (!HaveEngine()) return 0;
    // Opening replaces the sensor driver that a running capture and the acquisition thread
    // use: the capture stops first, and the object is idle afterwards.
    session_->Stop();
    engine_->StopTransfer();
    // The settings of the camera open until now go back to its key before another's load.
    SaveStoredSettings();
    if (!engine_->IsDevicePresent(index) || !engine_->OpenDevice(index)) {
        RecordError(kErrNotPresent);
        return 0;
    }
    storedCamera_ = engine_->GetDeviceNumber();
    LoadStoredSettings(*storedCamera_);
    ApplyOpenedCameraSettings();
    return 1;
}

settings::SensorOutput CVelcor::SensorOutput() {
    settings::SensorOutput sensor;
    sensor.colour = engine_->IsColourSensor() != 0;
    sensor.allows8Bit = engine_->Allows8BitOutput() != 0;
    sensor.allows16Bit = engine_->Allows16BitOutput() != 0;
    return sensor;
}

void CVelcor::LoadWindowSettings(int camera) {
    settings::WindowEntry window{geometry_.totalWidth, geometry_.totalHeight, geometry_.width,
                                 geometry_.height,     geometry_.xStart,      geometry_.yStart,
                                 bufferValue_};
    if (!store_.LoadWindowSettings(camera, SensorOutput(), window)) return;
    geometry_ = CaptureGeometry{window.totalWidth, window.totalHeight, window.width,
                                window.height,     window.xStart,      window.yStart};
    bufferValue_ = window.buffer;
}

void CVelcor::LoadOutputSettings(int camera) {
    const Settings current = settings_.Copy();
    settings::OutputSettings output{current.colourModeIndex, subSample_, current.waitTimeMs,
                                    clock_};
    if (!store_.LoadOutputSettings(camera, SensorOutput(), output)) return;
    platform::CriticalSectionLock lock(settings_.Lock());
    Settings& values = settings_.Values();
    values.colourModeIndex = output.colour;
    // The sub-sampling and the wait time take what their setters take; anything else stays
    // as it was.
    if (output.subSample == 0) subSample_ = output.subSample;
    if (output.waitTimeMs >= 0) values.waitTimeMs = output.waitTimeMs;
    clock_ = output.clock;
}

void CVelcor::LoadStoredSettings(int camera) {
    CVelcorR3U2Base& e = *engine_;
    // What a camera without stored settings starts from: the sensor's defaults.
    settings::AnalogSettings defaults;
    defaults.globalGain = e.GetGlobalGainDefault();
    defaults.colourGainGreen1 = defaults.colourGainRed = defaults.colourGainBlue =
        defaults.colourGainGreen2 = e.GetColourGainDefault();
    defaults.exposure = e.GetExposureDefault();
    defaults.mirrorV = e.GetMirrorVDefault();
    defaults.mirrorH = e.GetMirrorHDefault();
    defaults.blackLevel = e.GetBlackLevelDefault();
    if (e.IsExposureSecondsSupported()) e.GetExposureSecondsDefault(&defaults.exposureSeconds);

    settings::FilterSettings filters;
    settings::GraySettings gray;
    settings::AnalogSettings analog;
    store_.LoadFilterSettings(camera, filters);
    store_.LoadGraySettings(camera, gray);
    store_.LoadAnalogSettings(camera, defaults, analog);
    // The automatic exposure takes modes 0-2 only, as Velcor_SetAutoIris does, and the mirrors
    // are flags.
    if (analog.autoIris < 0 || analog.autoIris > 2) analog.autoIris = 0;
    analog.mirrorV = analog.mirrorV != 0 ? 1 : 0;
    analog.mirrorH = analog.mirrorH != 0 ? 1 : 0;

    platform::CriticalSectionLock lock(settings_.Lock());
    FilterValues& values = settings_.Values().filters;
    // A value the store holds out of range (a damaged or hand-edited file) would index past
    // the conversion's tables: it loads the default instead.
    FilterValues fallback = values;
    FromStored(settings::FilterSettings{}, fallback);
    FromStored(settings::GraySettings{}, fallback);
    FromStored(filters, values);
    FromStored(gray, values);
    KeepAcceptedFilters(values, fallback);
    FromStored(analog, settings_.Values().analog);
}

void CVelcor::SaveStoredSettings() {
    if (!storedCamera_) return;
    const Settings values = settings_.Copy();
    store_.SaveAnalogSettings(*storedCamera_, ToStored(values.analog));
    store_.SaveFilterSettings(*storedCamera_, ToStoredFilters(values.filters));
    store_.SaveGraySettings(*storedCamera_, ToStoredGray(values.filters));
}

void CVelcor::ApplyOpenedCameraSettings() {
    CVelcorR3U2Base& e = *engine_;
    platform::CriticalSectionLock lock(settings_.Lock());
    AnalogValues& analog = settings_.Values().analog;
    ApplyGainsAndExposure(e, analog);
    e.SetMirrorV(analog.mirrorV);
    e.SetMirrorH(analog.mirrorH);
    if (e.IsBlackLevelSupported()) e.SetBlackLevel(analog.blackLevel);
    if (e.IsCoolerSupported()) {
        e.SetCooler(1);
        analog.cooler = 1;
    }
    if (e.IsFixedExposureSupported()) {
        e.SetFixedExposure(0);
        analog.shortExposureMode = 0;
    }
    if (e.IsGainModeSupported()) e.SetGainMode(analog.gainMode);
}

int CVelcor::GetCameraInfo(VELCORCAMERAINFO* info) {
    if (!HaveEngine()) return 0;
    if (info == nullptr) {
        RecordError(kErrArgument);
        return 0;
    }
    if (info->size < 36) {
        RecordError(kErrMemory);
        return 0;
    }
    CVelcorR3U2Base& e = *engine_;
    info->maxWidth = kMaxWidth;
    info->maxHeight = kMaxHeight;
    info->globalGainMin = e.GetGlobalGainMin();
    info->globalGainMax = e.GetGlobalGainMax();
    info->colorGainMin = e.GetColourGainMin();
    info->colorGainMax = e.GetColourGainMax();
    info->exposureMin = e.GetExposureMin();
    info->exposureMax = e.GetExposureMax();
    if (info->size >= 56) {
        e.GetExposureSecondsMin(&info->exposureMinSeconds);
        e.GetExposureSecondsMax(&info->exposureMaxSeconds);
    }
    return 1;
}

int CVelcor::ReadSerialNumberA(char* buffer, int size) {
    if (buffer == nullptr || size < kSerialNumberBytes) {
        RecordError(kErrArgument);
        return 0;
    }
    if (!HaveEngine()) return 0;
    char serial[kSerialNumberBytes] = {};
    int count = 0;
    for (; count < kSerialNumberBytes; ++count) {
        uint8_t byte = 0;
        if (!engine_->ReadEeprom(static_cast<uint16_t>(kSerialNumberAddress + count), &byte)) {
            if (count == 0) return 0;
            break;
        }
        if (byte == 0xFF) break;
        serial[count] = static_cast<char>(byte);
        platform::Sleep(10);  // the ROM wants a pause between reads
    }
    if (count == 0 || serial[0] == '\0') return 1;  // blank ROM: nothing to report
    const int kept = count < kSerialNumberBytes - 1 ? count : kSerialNumberBytes - 1;
    std::memcpy(buffer, serial, static_cast<size_t>(kept));
    buffer[kept] = '\0';
    return 1;
}

int CVelcor::ReadSerialNumberW(wchar_t* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        RecordError(kErrArgument);
        return 0;
    }
    char narrow[kSerialNumberBytes] = {};
    if (!ReadSerialNumberA(narrow, sizeof narrow)) return 0;
    if (platform::NarrowToWide(narrow, buffer, static_cast<size_t>(size)) == 0) {
        RecordError(kErrConversion);
        return 0;
    }
    return 1;
}

// ---- Capture, preview and images -------------------------------------------------------------

CaptureSetup CVelcor::Setup() const {
    CaptureSetup setup;
    setup.geometry = geometry_;
    setup.subSample = subSample_;
    // The default placement (1280 x 1024) counts as placed: Preview, CallBackPreview and
    // Trigger run without the library's window only after SetPreviewWindow(null, 0, 0, 0, 0),
    // as they always have.
    setup.previewPlaced = previewParent_ != nullptr || previewX_ != 0 || previewY_ != 0 ||
                          previewWidth_ != 0 || previewHeight_ != 0;
    setup.placement = {previewParent_, previewX_, previewY_, previewWidth_, previewHeight_};
    return setup;
}

int CVelcor::Preview() {
    return HaveEngine() ? session_->Preview(Setup()) : 0;
}

int CVelcor::StartPreview() {
    return HaveEngine() ? session_->StartPreview(Setup()) : 0;
}

int CVelcor::StopPreview() {
    if (!HaveEngine()) return 0;
    session_->Stop();
    return 1;
}

int CVelcor::Close() {
    return HaveEngine() ? session_->Close() : 0;
}

int CVelcor::Capture() {
    return HaveEngine() ? session_->Capture(Setup()) : 0;
}

int CVelcor::SnapShot(uint8_t* buffer, int size, int topRowFirst) {
    return HaveEngine() ? session_->SnapShot(Setup(), buffer, size, topRowFirst) : 0;
}

int CVelcor::GetImage(uint8_t* buffer, int size, int topRowFirst) {
    return HaveEngine() ? session_->GetImage(buffer, size, topRowFirst) : 0;
}

int CVelcor::CallBackPreview(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst) {
    if (!HaveEngine()) return 0;
    return session_->CallBackPreview(Setup(), frameWindow, buffer, size, topRowFirst);
}

int CVelcor::Trigger(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst) {
    if (!HaveEngine()) return 0;
    return session_->Trigger(Setup(), frameWindow, buffer, size, topRowFirst);
}

int CVelcor::SetPreviewWindow(HWND parent, int x, int y, int width, int height) {
    if (!HaveEngine()) return 0;
    previewParent_ = parent;
    previewX_ = x;
    previewY_ = y;
    previewWidth_ = width;
    previewHeight_ = height;
    return 1;
}

int CVelcor::Record(const char* path, int durationMs, int showWindow) {
    if (!HaveEngine()) return 0;
    return session_->Record(Setup(), path, durationMs, showWindow != 0);
}
int CVelcor::RecordW(const wchar_t* path, int durationMs, int showWindow) {
    if (path == nullptr || path[0] == L'\0') return Record(nullptr, durationMs, showWindow);
    std::string narrow;
    if (!platform::WideToNarrowPath(path, narrow)) {
        RecordError(kErrConversion);
        return 0;
    }
    return Record(narrow.c_str(), durationMs, showWindow);
}
int CVelcor::SaveImage(const char* path, int format) {
    return HaveEngine() ? session_->SaveImage(path, format) : 0;
}
int CVelcor::SaveImageW(const wchar_t* path, int format) {
    std::string narrow;
    if (!platform::WideToNarrowPath(path, narrow)) {
        RecordError(kErrConversion);
        return 0;
    }
    return SaveImage(narrow.c_str(), format);
}

// ---- Geometry and format ---------------------------------------------------------------------

int CVelcor::SetColorMode(int bits) {
    if (engine_) {
        const bool refusedDepth = !engine_->Allows8BitOutput() && (bits == 8 || bits == 32);
        const bool refusedColour =
            !engine_->IsColourSensor() && (bits == 24 || bits == 32 || bits == 48 || bits == 64);
        if (refusedDepth || refusedColour) {
            RecordError(kErrArgument);
            return 0;
        }
    }
    for (int index = 0; index < 6; ++index) {
        if (kColourModeBits[index] == bits) {
            // A running capture keeps its mode; this one applies at the next start.
            platform::CriticalSectionLock lock(settings_.Lock());
            settings_.Values().colourModeIndex = index;
            return 1;
        }
    }
    RecordError(kErrArgument);
    return 0;
}

int CVelcor::GetColorMode() const {
    platform::CriticalSectionLock lock(settings_.Lock());
    return kColourModeBits[settings_.Values().colourModeIndex];
}

int CVelcor::GetWaitTime() const {
    platform::CriticalSectionLock lock(settings_.Lock());
    return settings_.Values().waitTimeMs;
}

// Any mode but 0 answers 0 and records nothing, as this call always has.
int CVelcor::SetSubSample(int mode) {
    if (mode != 0) return 0;
    subSample_ = mode;
    return 1;
}

// A negative time answers 0 and records nothing, as this call always has.
int CVelcor::SetWaitTime(int milliseconds) {
    if (milliseconds < 0) return 0;
    platform::CriticalSectionLock lock(settings_.Lock());
    settings_.Values().waitTimeMs = milliseconds;
    return 1;
}

int CVelcor::SetCaptureWindowEx(int totalWidth, int xStart, int width, int totalHeight, int yStart,
                                int height) {
    if (!HaveEngine()) return 0;
    if ((!engine_->IsHWindowSupported() && width != kMaxWidth) ||
        (!engine_->IsVWindowSupported() && height != kMaxHeight)) {
        RecordError(kErrArgument);
        return 0;
    }
    geometry_ = CaptureGeometry{totalWidth, totalHeight, width, height, xStart, yStart};
    if (!geometry_.Fits(subSample_)) {
        // Kept as given: the next capture start refuses it the same way.
        RecordError(kErrWindowRange);
        return 0;
    }
    // A running capture keeps the window it started with: its frame buffers are sized for it.
    // The next start applies the new one. The engine's answer is not looked at: a window it
    // refuses is refused again, with error 7, at the next capture start.
    if (session_->Idle()) engine_->ApplyWindow(xStart, yStart, width, height, subSample_);
    return 1;
}

int CVelcor::SetCaptureWindow(int width, int height) {
    if (!HaveEngine()) return 0;
    settings::WindowEntry preset;
    if (!store_.FindWindowEntry(width, height, preset)) {
        RecordError(kErrWindow);
        return 0;
    }
    geometry_ = CaptureGeometry{preset.totalWidth, preset.totalHeight, preset.width,
                                preset.height,     preset.xStart,      preset.yStart};
    bufferValue_ = preset.buffer;
    // A preset outside the sensor gives way to the whole sensor, which is applied; the call
    // still fails, since the window asked for is not the one set.
    const bool fits = geometry_.Fits(subSample_);
    if (!fits) {
        RecordError(kErrWindowRange);
        geometry_ = CaptureGeometry{};
    }
    // As with Velcor_SetCaptureWindowEx, the engine's answer shows at the next capture start.
    if (session_->Idle()) {
        engine_->ApplyWindow(geometry_.xStart, geometry_.yStart, geometry_.width, geometry_.height,
                             subSample_);
    }
    return fits ? 1 : 0;
}

int CVelcor::GetCaptureWindowEx(int* totalWidth, int* xStart, int* width, int* totalHeight,
                                int* yStart, int* height) const {
    if (totalWidth != nullptr) *totalWidth = geometry_.totalWidth;
    if (xStart != nullptr) *xStart = geometry_.xStart;
    if (width != nullptr) *width = geometry_.width;
    if (totalHeight != nullptr) *totalHeight = geometry_.totalHeight;
    if (yStart != nullptr) *yStart = geometry_.yStart;
    if (height != nullptr) *height = geometry_.height;
    return 1;
}

int CVelcor::SetMirrorH(int on) {
    if (!HaveEngine()) return 0;
    platform::CriticalSectionLock lock(settings_.Lock());
    settings_.Values().analog.mirrorH = on != 0 ? 1 : 0;
    engine_->SetMirrorH(settings_.Values().analog.mirrorH);
    return 1;
}

// The vertical mirror only posts its "no camera" error, where the horizontal one records it:
// applications rely on the two answering as they always have.
int CVelcor::SetMirrorV(int on) {
    if (!engine_) {
        PostError(kErrNoCamera);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    settings_.Values().analog.mirrorV = on != 0 ? 1 : 0;
    engine_->SetMirrorV(settings_.Values().analog.mirrorV);
    return 1;
}

int CVelcor::GetMirrorH() {
    if (!HaveEngine()) return 0;
    platform::CriticalSectionLock lock(settings_.Lock());
    return settings_.Values().analog.mirrorH;
}

int CVelcor::GetMirrorV() {
    if (!engine_) {
        PostError(kErrNoCamera);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    return settings_.Values().analog.mirrorV;
}

// ---- Exposure and temperature ----------------------------------------------------------------

double CVelcor::GetExposureTimeEx(int* ok) {
    if (ok != nullptr) *ok = 0;
    if (!HaveEngine()) return -1.0;
    if (!engine_->IsExposureSecondsSupported()) {
        RecordError(kErrUnsupported);
        return -1.0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    double seconds = 0.0;
    // The engine's own failure records nothing, as it always has.
    if (!engine_->GetExposureSeconds(&seconds)) return -1.0;
    settings_.Values().analog.exposureSeconds = seconds;
    if (ok != nullptr) *ok = 1;
    return seconds;
}

int CVelcor::SetExposureTimeEx(double seconds) {
    if (!HaveEngine()) return 0;
    if (!engine_->IsExposureSecondsSupported()) {
        RecordError(kErrUnsupported);
        return 0;
    }
    // A non-finite or negative time would turn into an undefined engine-unit value, and a time
    // beyond the camera's longest exposure is not what the camera takes: the sensor would clamp
    // it while the object kept the request, whose microseconds overflow an int past 2147 s.
    double longest = 0.0;
    if (!std::isfinite(seconds) || seconds < 0.0 || !engine_->GetExposureSecondsMax(&longest) ||
        seconds > longest) {
        RecordError(kErrArgument);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    // The engine's own failure records nothing, as it always has.
    if (!engine_->SetExposureSeconds(seconds)) return 0;
    settings_.Values().analog.exposureSeconds = seconds;
    settings_.Values().analog.exposure = static_cast<int>(seconds * 10000.0);
    return 1;
}

int CVelcor::GetRealExposureTime(int* ok) {
    if (!HaveEngine()) {
        if (ok != nullptr) *ok = 0;
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    platform::CriticalSectionLock lock(settings_.Lock());
    settings_.Values().analog.realExposure = settings_.Values().analog.exposure * 100;
    return settings_.Values().analog.realExposure;
}

int CVelcor::SetRealExposureTime(int microseconds) {
    if (!HaveEngine()) return 0;
    const int exposure = static_cast<int>(microseconds / 100.0);
    if (exposure < engine_->GetExposureMin() || exposure > engine_->GetExposureMax()) {
        RecordError(kErrArgument);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    return SetExposureUnits(exposure);
}

double CVelcor::GetTemperatureEx(int* ok) {
    if (ok != nullptr) *ok = 0;
    if (!HaveEngine()) return 0.0;
    if (!engine_->IsTemperatureSupported()) {
        RecordError(kErrUnsupported);
        return 0.0;
    }
    double celsius = 0.0;
    if (!engine_->GetTemperature(&celsius)) {
        RecordError(kErrConversion);
        return 0.0;
    }
    // Success is recorded and posted as code 0, as applications watching the history expect.
    RecordError(kErrSuccessNotice);
    if (ok != nullptr) *ok = 1;
    return celsius;
}

// Without an engine it answers 0 with nothing recorded or posted, as it always has.
int CVelcor::SetSamplingRate(int rate) {
    if (!engine_) return 0;
    return engine_->SetSamplingRate(0, 0, &rate);
}

// Automatic exposure's mode is a setting of the object: reading and setting it need no engine.
int CVelcor::GetAutoIris(int* ok) const {
    if (ok != nullptr) *ok = 1;
    platform::CriticalSectionLock lock(settings_.Lock());
    return settings_.Values().analog.autoExposureMode;
}

int CVelcor::SetAutoIris(int mode) {
    if (mode < 0 || mode > 2) {
        // Posted, not recorded: applications rely on this call leaving the history alone.
        PostError(kErrArgument);
        return 0;
    }
    platform::CriticalSectionLock lock(settings_.Lock());
    settings_.Values().analog.autoExposureMode = mode;
    return 1;
}

// ---- Registers, ROM, IO port -----------------------------------------------------------------

int CVelcor::FpgaReadRegister(int address, int* ok) {
    if (ok != nullptr) *ok = 0;
    if (!HaveEngine()) return 0;
    int success = 0;
    const int value = engine_->ReadFpgaRegister(address & 0xFF, &success);
    if (!success) {
        RecordError(kErrDevice);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return value & 0xFFFF;
}

int CVelcor::FpgaWriteRegister(int address, int value) {
    if (!HaveEngine()) return 0;
    if (!engine_->WriteFpgaRegister(address & 0xFF, value & 0xFFFF)) {
        RecordError(kErrDevice);
        return 0;
    }
    return 1;
}

int CVelcor::ReadRegister(int address, int* ok) {
    if (ok != nullptr) *ok = 0;
    if (!HaveEngine()) return 0;
    int success = 0;
    const int value = engine_->ReadSensorRegister(0, address, &success);
    if (!success) {
        RecordError(kErrDevice);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return value;
}

int CVelcor::WriteRegister(int address, int value) {
    if (!HaveEngine()) return 0;
    if (!engine_->WriteSensorRegister(0, address, value)) {
        RecordError(kErrDevice);
        return 0;
    }
    return 1;
}

// The ROM and IO-port calls only post their errors, never record them: applications rely on
// them leaving the history alone.
int CVelcor::ReadSromID(int address, int* ok) {
    if (ok != nullptr) *ok = 0;
    uint8_t byte = 0;
    if (!engine_ || !engine_->ReadEeprom(static_cast<uint16_t>(address & 0xFFF), &byte)) {
        PostError(kErrNoCamera);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return byte;
}

int CVelcor::WriteSromID(int address, int value) {
    const auto romAddress = static_cast<uint16_t>(address & 0xFFF);
    const auto byte = static_cast<uint8_t>(value);
    if (!engine_ || !engine_->WriteEeprom(romAddress, byte)) {
        PostError(kErrNoCamera);
        return 0;
    }
    // The ROM may need a second write before the byte sticks; a byte that never reads back
    // as written is a failed write.
    for (int attempt = 0; attempt < 10; ++attempt) {
        uint8_t readBack = 0;
        if (!engine_->ReadEeprom(romAddress, &readBack)) {
            PostError(kErrNoCamera);
        } else if (readBack == byte) {
            return 1;
        }
        if (attempt < 9) engine_->WriteEeprom(romAddress, byte);
    }
    PostError(kErrNoCamera);
    return 0;
}

int CVelcor::GetIOPort(uint8_t* value) {
    if (!engine_) {
        PostError(kErrNoCamera);
        return 0;
    }
    int success = 0;
    const int port = value != nullptr ? engine_->ReadFpgaRegister(kIoPortRegister, &success) : 0;
    if (!success) {
        PostError(kErrArgument);
        return 0;
    }
    *value = static_cast<uint8_t>(port);
    return 1;
}

int CVelcor::SetIOPort(uint8_t value) {
    if (!engine_) {
        PostError(kErrNoCamera);
        return 0;
    }
    return engine_->WriteFpgaRegister(kIoPortRegister, value);
}

// ---- Configuration file ----------------------------------------------------------------------

int CVelcor::LoadConfigFileA(const char* path) {
    // A file that cannot be read, is no regular file or is larger than kMaxConfigFileBytes
    // answers 0 with nothing recorded and leaves the list as it was.
    if (path == nullptr) return 0;
    std::vector<uint8_t> bytes;
    if (platform::ReadRegularFile(path, kMaxConfigFileBytes, bytes) !=
        platform::ReadFileResult::Ok) {
        return 0;
    }
    ConfigurationPairs pairs = ParseConfigurationPairs(bytes.data(), bytes.size());
    platform::CriticalSectionLock lock(mask_.Lock());
    configuration_ = std::move(pairs);
    return 1;
}

int CVelcor::LoadConfigFileW(const wchar_t* path) {
    std::string narrow;
    if (!platform::WideToNarrowPath(path, narrow)) {
        RecordError(kErrConversion);
        return 0;
    }
    return LoadConfigFileA(narrow.c_str());
}

std::vector<std::pair<int32_t, int32_t>> CVelcor::ConfigurationList() {
    platform::CriticalSectionLock lock(mask_.Lock());
    return configuration_;
}

// ---- Dialogs and pixel mask ------------------------------------------------------------------

int CVelcor::UpdateMaskData(int kind) {
    if (!HaveEngine()) return 0;
    bool taken = false;
    // Frame lock, then mask lock, as the frame conversion takes them.
    session_->LendRawFrame([&](const DibImage* raw) {
        if (raw == nullptr) return;
        platform::CriticalSectionLock lock(mask_.Lock());
        taken = mask_.Mask().UpdateReference(*raw, kind);
    });
    if (!taken) {
        // A windowed frame, no frame yet or an unknown kind: the references are whole sensor
        // frames, and none was taken.
        RecordError(kErrConversion);
        return 0;
    }
    return 1;
}

const DibImage* CVelcor::CorrectionPlane(int index) const {
    if (index < 0 || index >= kMaskPlaneCount) return nullptr;
    platform::CriticalSectionLock lock(mask_.Lock());
    return &mask_.Mask().Plane(static_cast<MaskPlane>(index));
}

int CVelcor::LoadMaskFile(const char* path) {
    if (!HaveEngine()) return 0;
    // The whole file is read and checked before the planes change: a short, long or damaged
    // file leaves the mask as it was.
    std::vector<uint8_t> file;
    bool loaded = false;
    if (path != nullptr && ReadMaskFileBytes(path, file)) {
        platform::CriticalSectionLock lock(mask_.Lock());
        loaded = mask_.Mask().LoadFile(file.data(), file.size());
    }
    if (!loaded) {
        RecordError(kErrMaskFile);
        return 0;
    }
    return 1;
}

int CVelcor::SaveMaskFile(const char* path) {
    if (!HaveEngine()) return 0;
    std::vector<uint8_t> file;
    {
        platform::CriticalSectionLock lock(mask_.Lock());
        file = mask_.Mask().SaveFile();
    }
    if (file.empty() || !WriteMaskFileBytes(path, file)) {
        RecordError(kErrMaskFile);
        return 0;
    }
    return 1;
}

int CVelcor::LoadMaskFileW(const wchar_t* path) {
    std::string narrow;
    if (!platform::WideToNarrowPath(path, narrow)) {
        RecordError(kErrConversion);
        return 0;
    }
    return LoadMaskFile(narrow.c_str());
}

int CVelcor::SaveMaskFileW(const wchar_t* path) {
    std::string narrow;
    if (!platform::WideToNarrowPath(path, narrow)) {
        RecordError(kErrConversion);
        return 0;
    }
    return SaveMaskFile(narrow.c_str());
}

// ---- Shared bodies ---------------------------------------------------------------------------

int CVelcor::UnsupportedFeature() {
    // Posted, not recorded: applications rely on these calls leaving the history alone.
    PostError(kErrUnsupported);
    return 0;
}

int CVelcor::ZeroResultQuery(int* out) {
    if (out != nullptr) *out = 0;
    return 0;
}

int CVelcor::TextChannelStub() {
    RecordError(kErrUnsupported);
    return 0;
}

int CVelcor::ConfigFilterStub() {
    RecordError(kErrUnsupported);
    return -1;
}

}  // namespace velcor
