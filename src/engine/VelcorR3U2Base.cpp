#include "engine/VelcorR3U2Base.h"

#include <cstring>
#include <vector>

#include "engine/ProductIds.h"
#include "engine/SensorFactory.h"
#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "sensors/SensorBase.h"
#include "transport/DevIz3Cam.h"
#include "transport/SystemDriver.h"
#include "transport/UsbBackendStart.h"

namespace velcor {
namespace {

constexpr int kMaxTableDevices = 32;
constexpr uint16_t kEepromSwitchByte = 0x1080;

// Firmware from this version on brings the sensor up itself and reports when it is ready.
constexpr int kSelfStartingFirmware = 0x1101;
// The serial sensor head: up to 400 ready polls (200 s), the link nudged every 25 s.
constexpr int kHeadLinkTries = 400;
constexpr uint32_t kHeadLinkNudgeMs = 25000;
constexpr int kHeadLinkFpgaVersion = 25;  // FPGA designs above this wait for the head
constexpr int kSensorReadyTries = 40;
constexpr uint32_t kWakeSensorRegister = 0;
constexpr uint32_t kWakeSensorValue = 4;  // free-running readout
// CCD cameras: the sensor's standby, written to both register banks at shutdown.
constexpr uint32_t kCcdStandbyValue = 3;
constexpr uint32_t kCcdSecondBank = 0x8000;
// Fast sensor clock and the USB speed code of a SuperSpeed link that it needs.
constexpr int kFastClockMode = 2;
constexpr uint32_t kSuperSpeed = 4;
// FPGA 0x90: the switch of products with a power switch.
constexpr int kPowerSwitchOn = 15;
constexpr int kPowerSwitchOff = 8;
constexpr uint16_t kFpgaSwitchVersionBit = 0x8000;
constexpr int kHighestSwitchVariant = 8;  // the head's variant bytes that mean "on": 1..8

}  // namespace

CVelcorR3U2Base::CVelcorR3U2Base() = default;

void CVelcorR3U2Base::WakeFrameWaiters() {
    frameEvent_.Set();
}

const platform::GUID& CVelcorR3U2Base::CameraInterfaceClass() {
    return kFx3InterfaceClass;
}

std::vector<DeviceListing> CVelcorR3U2Base::ListDeviceTable() {
    CFx3Api table;
    const int count = table.EnumerateDevices();
    std::vector<DeviceListing> listing;
    for (int i = 0; i < count; ++i) {
        DeviceTableEntry entry{};
        if (!CFx3Api::GetEntry(i, &entry)) break;
        DeviceListing& out = listing.emplace_back();
        out.vendorId = entry.vendorId;
        out.productId = entry.productId;
        out.instance = entry.instance;
        out.present = table.ProbeDevice(i) != 0;
        out.path.assign(entry.path, strnlen(entry.path, sizeof entry.path));
    }
    return listing;
}

CVelcorR3U2Base::~CVelcorR3U2Base() {
    Shutdown();
}

CVelcorUSB3T2SimpleSdk::~CVelcorUSB3T2SimpleSdk() = default;

// ---- Device and controller ------------------------------------------------------------------

int CVelcorR3U2Base::InitializeController(HWND, const platform::GUID* interfaceClass) {
    Shutdown();
    // Cameras behind the system's driver are looked for beside the simulated ones.
    transport::StartSystemDriver();
    // Real cameras of every product the engine knows are looked for over libusb as well.
    static const bool usbStarted = [] {
        std::vector<uint16_t> ids;
        for (const ProductTraits& traits : AllProductTraits())
            ids.push_back(static_cast<uint16_t>(traits.productId));
        return transport::StartUsbBackend(ids);
    }();
    (void)usbStarted;
    controller_ = interfaceClass != nullptr ? std::make_unique<CDevIz3Cam>(*interfaceClass)
                                            : std::make_unique<CDevIz3Cam>();
    return 1;
}

int CVelcorR3U2Base::FirmwareVersion() const {
    return deviceInfo_[24] | deviceInfo_[25] << 8;
}

bool CVelcorR3U2Base::WaitForReadyState(int tries) {
    for (int attempt = 0; attempt < tries; ++attempt) {
        uint8_t ready = 0;
        if (controller_->ReadReadyState(&ready) && ready == 1) return true;
        platform::Sleep(500);
    }
    return false;
}

int CVelcorR3U2Base::CameraStartUp() {
    if (!controller_ || !controller_->Prepare()) return 0;
    ReadDeviceInfo(deviceInfo_.data());
    if (!sensor_) return 0;
    if (traits_->sensorModeWord != 0) sensor_->SetModeWord(traits_->sensorModeWord);
    if (!RunStartupStep()) return 0;
    if (!sensor_->WaitReady()) return 0;
    return sensor_->Initialize();
}

bool CVelcorR3U2Base::RunStartupStep() {
    int ok = 0;
    switch (traits_->startup) {
        case StartupStep::kNone:
            return true;
        case StartupStep::kStartupRegisters:
            WriteFpgaRegister(fpga::kStartupControl38, 0);
            WriteFpgaRegister(fpga::kStartupControl3E, 3);
            WriteFpgaRegister(fpga::kStartupControl38, 1);
            return true;
        case StartupStep::kRecoverIfNotReady:
            if (!sensor_->WaitReady()) sensor_->Recover();
            return true;
        case StartupStep::kAwaitHeadLink: {
            const int indicator = ReadFpgaRegister(fpga::kStartupIndicator, &ok);
            const int version = ReadFpgaRegister(fpga::kVersionLow, &ok);
            if (FirmwareVersion() < kSelfStartingFirmware && indicator == 0 &&
                version <= kHeadLinkFpgaVersion) {
                return true;
            }
            // The link to the sensor head may take minutes; nudge it every 25 s.
            uint32_t nudgeStart = platform::TimeGetTime();
            for (int attempt = 0; attempt < kHeadLinkTries; ++attempt) {
                uint8_t state = 0;
                if (controller_->ReadReadyState(&state) && state == 1) return true;
                platform::Sleep(500);
                if (platform::TimeGetTime() - nudgeStart >= kHeadLinkNudgeMs) {
                    WriteFpgaRegister(fpga::kSerialLink, 1);
                    nudgeStart = platform::TimeGetTime();
                }
            }
            return false;
        }
        case StartupStep::kAwaitSensorReady: {
            const int indicator = ReadFpgaRegister(fpga::kStartupIndicator, &ok);
            if (FirmwareVersion() >= kSelfStartingFirmware ||
                indicator >= fpga::kStartupIndicatorUp) {
                // Newer firmware brings the sensor up itself; wake it once it reports ready,
                // reset it when it never does.
                if (WaitForReadyState(kSensorReadyTries)) {
                    sensor_->WriteRegister(kWakeSensorRegister, kWakeSensorValue);
                } else {
                    sensor_->Reset();
                }
            }
            return true;
        }
    }
    return true;
}

int CVelcorR3U2Base::Shutdown() {
    StopTransfer();
    if (traits_->shutdown == ShutdownStep::kPowerDownCcd && sensor_) {
        sensor_->WriteRegister(0, kCcdStandbyValue);
        sensor_->WriteRegister(kCcdSecondBank, kCcdStandbyValue);
        WriteFpgaRegister(fpga::kConfig25, 0);
        for (int reg : {fpga::kTriggerEnable24, fpga::kConfig1F, fpga::kConfig23, fpga::kConfig22,
                        fpga::kConfig20, fpga::kReadyState, fpga::kShutdownClearE0}) {
            platform::Sleep(1);
            WriteFpgaRegister(reg, 0);
        }
    }
    if (controller_) {
        controller_->CloseStream();
        controller_.reset();
    }
    deviceInfo_.fill(0);
    transferBuffer_.clear();
    transferBuffer_.shrink_to_fit();
    transferMode_ = 0;
    {
        std::lock_guard lock(ringLock_);
        frames_.clear();
        frames_.shrink_to_fit();
        heldFrame_.clear();
        heldFrame_.shrink_to_fit();
        heldSequence_ = 0;
    }
    sensor_.reset();
    frameBytes_ = 0;
    threadEndEvent_.reset();
    lostFlag_ = 0;
    return 1;
}

int CVelcorR3U2Base::ReadDeviceInfo(uint8_t* block64) {
    return controller_ && block64 != nullptr ? controller_->ReadDeviceInfo(block64) : 0;
}

int CVelcorR3U2Base::GetSensorInfo(SensorInfo* info) {
    return sensor_ && info != nullptr ? sensor_->GetSensorInfo(info) : 0;
}

int CVelcorR3U2Base::ReadDeviceInfo2(uint8_t* block64) {
    return controller_ && block64 != nullptr ? controller_->ReadDeviceInfo2(block64) : 0;
}

int CVelcorR3U2Base::Reopen(int deviceNumber) {
    StopTransfer();
    return OpenDevice(deviceNumber) ? 0 : -1;
}

int CVelcorR3U2Base::OpenDevice(int deviceNumber) {
    if (!controller_ || productId_ == -1) return 0;
    if (controller_->EnumerateDevices() == 0 || !IsDevicePresent(deviceNumber)) return 0;
    int index = -1;
    for (int i = 0; i < kMaxTableDevices && index < 0; ++i) {
        DeviceTableEntry entry{};
        if (CFx3Api::GetEntry(i, &entry) && entry.productId == productId_ &&
            entry.instance == deviceNumber) {
            index = i;
        }
    }
    if (index < 0 || !controller_->SelectDevice(index)) return 0;
    sensor_.reset();
    sensor_ = MakeSensorDriver(productId_, controller_.get());
    if (!sensor_) return 0;
    deviceNumber_ = deviceNumber;
    geometryChanged_ = 1;
    return CameraStartUp();
}

int CVelcorR3U2Base::SpareA() {
    return 0;
}

int CVelcorR3U2Base::IsDevicePresent(int deviceNumber) {
    if (!controller_ || productId_ == -1) return 0;
    const int count = CFx3Api::EntryCount();
    for (int i = 0; i < count && i < kMaxTableDevices; ++i) {
        DeviceTableEntry entry{};
        if (CFx3Api::GetEntry(i, &entry) && entry.productId == productId_ &&
            entry.instance == deviceNumber) {
            return controller_->ProbeDevice(i);
        }
    }
    return 0;
}

int CVelcorR3U2Base::CountDevices(int productId) {
    if (!controller_) return 0;
    const int count = controller_->EnumerateDevices();
    if (productId == 0) return count;
    int matching = 0;
    for (int i = 0; i < count && i < kMaxTableDevices; ++i) {
        DeviceTableEntry entry{};
        if (CFx3Api::GetEntry(i, &entry) && entry.productId == productId &&
            controller_->ProbeDevice(i)) {
            ++matching;
        }
    }
    return matching;
}

int CVelcorR3U2Base::GetDeviceName(int tableIndex, char* text) {
    if (!controller_ || text == nullptr || !controller_->ProbeDevice(tableIndex)) return 0;
    return controller_->GetDeviceName(tableIndex, text, 260);
}

int CVelcorR3U2Base::SetProductId(int productId) {
    productId_ = productId;
    traits_ = &FindProductTraits(productId);
    return 1;
}

int CVelcorR3U2Base::GetProductId() {
    return productId_;
}

int CVelcorR3U2Base::GetEntryVendorId(int tableIndex) {
    DeviceTableEntry entry{};
    return controller_ && tableIndex < kMaxTableDevices && CFx3Api::GetEntry(tableIndex, &entry)
               ? entry.vendorId
               : 0;
}

int CVelcorR3U2Base::GetEntryProductId(int tableIndex) {
    DeviceTableEntry entry{};
    return controller_ && tableIndex < kMaxTableDevices && CFx3Api::GetEntry(tableIndex, &entry)
               ? entry.productId
               : 0;
}

int CVelcorR3U2Base::GetEntryInstance(int tableIndex) {
    DeviceTableEntry entry{};
    return controller_ && tableIndex < kMaxTableDevices && CFx3Api::GetEntry(tableIndex, &entry)
               ? entry.instance
               : -1;
}

int CVelcorR3U2Base::IsEndpoint83Model() {
    return traits_->transferPath == TransferPath::kEndpoint83 ? 1 : 0;
}
int CVelcorR3U2Base::GetDeviceNumber() {
    return deviceNumber_;
}
int CVelcorR3U2Base::GetMaxDevices() {
    return kMaxTableDevices;
}

int CVelcorR3U2Base::LatchFrameCounter() {
    int ok = 0;
    const int counter = ReadFpgaRegister(fpga::kFrameCounter, &ok);
    if (!ok) return 0;
    lastFrameCounter_ = static_cast<uint16_t>(counter);
    return 1;
}

int CVelcorR3U2Base::SpareB() {
    return -1;
}

int CVelcorR3U2Base::ReadSnapFrame(uint8_t* buffer, int size, int topRowFirst) {
    if (buffer == nullptr) return -2;
    return CopyFrame(buffer, size, 1, topRowFirst) ? 0 : -1;
}

int CVelcorR3U2Base::SetFrameTimeout(uint32_t milliseconds) {
    frameTimeout_ = milliseconds;
    return 1;
}

int CVelcorR3U2Base::WaitFrame(uint32_t milliseconds) {
    if (lostFlag_) return kWaitFrameLost;
    // A reader catching up takes the frames already waiting without waiting for the next.
    if (HasNewFrame()) return kWaitFrameNew;
    frameEvent_.Wait(milliseconds);
    // The thread may have given up while this reader waited: its last signal says so.
    if (lostFlag_) return kWaitFrameLost;
    return HasNewFrame() ? kWaitFrameNew : kWaitFrameNothingNew;
}

int CVelcorR3U2Base::ReadFrame(uint8_t* buffer, int size, int topRowFirst) {
    // The frame copied and the one marked read are the same: no frame can be published between.
    std::lock_guard lock(ringLock_);
    const bool copied = CopyFrame(buffer, size, 0, topRowFirst) != 0;
    if (finishedSequence_ > lastReadSequence_) {
        const uint64_t skipped = finishedSequence_ - lastReadSequence_ - 1;
        framesDropped_ += copied ? skipped : skipped + 1;
        if (copied) ++framesRead_;
        lastReadSequence_ = finishedSequence_;
    }
    return copied ? 0 : -1;
}

FrameCounters CVelcorR3U2Base::GetFrameCounters() {
    std::lock_guard lock(ringLock_);
    return {finishedSequence_, framesRead_, framesDropped_};
}

int CVelcorR3U2Base::SpareC() {
    return 0;
}

int CVelcorR3U2Base::SetClockMode(int mode) {
    if (!sensor_) return 0;
    if (traits_->clockNeedsSuperSpeed && mode == kFastClockMode) {
        uint32_t speed = 0;
        if (!controller_ || !controller_->GetUsbSpeed(&speed) || speed != kSuperSpeed) mode = 0;
    }
    return sensor_->SetClockMode(mode);
}

int CVelcorR3U2Base::GetClockMode(int* mode) {
    return sensor_ ? sensor_->GetClockMode(mode) : 0;
}

// ---- Window and mirrors ---------------------------------------------------------------------

int CVelcorR3U2Base::ApplyWindow(int x, int y, int width, int height, int mode) {
    if (!sensor_) return 0;
    SensorInfo& info = sensor_->Info();
    if (!traits_->alwaysAppliesWindow && info.windowX == x && info.windowY == y &&
        info.windowWidth == width && info.windowHeight == height && info.windowMode == mode) {
        return 1;
    }
    const int result = sensor_->SetWindow(x, width, y, height, mode);
    int32_t wx = 0, ww = 0, wy = 0, wh = 0, wm = 0;
    if (sensor_->GetWindow(&wx, &ww, &wy, &wh, &wm)) {
        info.windowX = wx;
        info.windowY = wy;
        info.windowWidth = ww;
        info.windowHeight = wh;
        info.windowMode = wm;
    }
    geometryChanged_ = 1;
    return result;
}

int CVelcorR3U2Base::GetWindowInForce(int* x, int* y, int* width, int* height, int* mode) {
    if (!sensor_) return 0;
    const SensorInfo& info = sensor_->Info();
    if (x != nullptr) *x = info.windowX;
    if (y != nullptr) *y = info.windowY;
    if (width != nullptr) *width = info.windowWidth;
    if (height != nullptr) *height = info.windowHeight;
    if (mode != nullptr) *mode = info.windowMode;
    return 1;
}

int CVelcorR3U2Base::SetMirrorH(int on) {
    return sensor_ ? sensor_->SetMirrorH(on) : 0;
}
int CVelcorR3U2Base::SetMirrorV(int on) {
    return sensor_ ? sensor_->SetMirrorV(on) : 0;
}
int CVelcorR3U2Base::GetMirrorH(int* on) {
    return sensor_ ? sensor_->GetMirrorH(on) : 0;
}
int CVelcorR3U2Base::GetMirrorV(int* on) {
    return sensor_ ? sensor_->GetMirrorV(on) : 0;
}
int CVelcorR3U2Base::GetMirrorVDefault() {
    return sensor_ ? sensor_->GetMirrorVDefault() : 0;
}
int CVelcorR3U2Base::GetMirrorHDefault() {
    return sensor_ ? sensor_->GetMirrorHDefault() : 0;
}
int CVelcorR3U2Base::HasMirrorVHardware() {
    return sensor_ ? sensor_->HasMirrorVHardware() : 0;
}
int CVelcorR3U2Base::HasMirrorHHardware() {
    return sensor_ ? sensor_->HasMirrorHHardware() : 0;
}

int CVelcorR3U2Base::GetTriggerMode() {
    int32_t mode = 0;
    return sensor_ && sensor_->GetTriggerMode(&mode) ? mode : 0;
}

int CVelcorR3U2Base::WriteEeprom(uint16_t address, uint8_t value) {
    return controller_ ? controller_->WriteEeprom(address, value) : 0;
}

int CVelcorR3U2Base::ReadEeprom(uint16_t address, uint8_t* value) {
    return controller_ && value != nullptr ? controller_->ReadEeprom(address, value) : 0;
}

int CVelcorR3U2Base::IsHWindowSupported() {
    return sensor_ ? sensor_->Info().hWindowSupported : 0;
}
int CVelcorR3U2Base::IsVWindowSupported() {
    return sensor_ ? sensor_->Info().vWindowSupported : 0;
}
int CVelcorR3U2Base::GetFullWidth() {
    return sensor_ ? sensor_->Info().fullWidth : 0;
}
int CVelcorR3U2Base::GetFullHeight() {
    return sensor_ ? sensor_->Info().fullHeight : 0;
}
int CVelcorR3U2Base::GetDefaultWidth() {
    return sensor_ ? sensor_->Info().defaultWidth : 0;
}
int CVelcorR3U2Base::GetDefaultHeight() {
    return sensor_ ? sensor_->Info().defaultHeight : 0;
}
int CVelcorR3U2Base::GetDefaultX() {
    return sensor_ ? sensor_->Info().defaultX : 0;
}
int CVelcorR3U2Base::GetDefaultY() {
    return sensor_ ? sensor_->Info().defaultY : 0;
}

// ---- Gain and exposure ----------------------------------------------------------------------
//
// The value queries answer the sensor's value, or 0 when there is no sensor or it cannot say.

#define VELCOR_SENSOR_VALUE(EngineName, SensorName)                \
    int CVelcorR3U2Base::EngineName() {                            \
        int32_t value = 0;                                         \
        return sensor_ && sensor_->SensorName(&value) ? value : 0; \
    }

VELCOR_SENSOR_VALUE(GetGlobalGain, GetGlobalGain)
VELCOR_SENSOR_VALUE(GetGlobalGainMin, GetGlobalGainMin)
VELCOR_SENSOR_VALUE(GetGlobalGainMax, GetGlobalGainMax)
VELCOR_SENSOR_VALUE(GetGlobalGainDefault, GetGlobalGainDefault)
VELCOR_SENSOR_VALUE(GetExposure, GetExposure)
VELCOR_SENSOR_VALUE(GetExposureMin, GetExposureMin)
VELCOR_SENSOR_VALUE(GetExposureMax, GetExposureMax)
VELCOR_SENSOR_VALUE(GetExposureDefault, GetExposureDefault)
VELCOR_SENSOR_VALUE(GetExposureLines, GetExposureLines)
VELCOR_SENSOR_VALUE(GetExposureLinesMin, GetExposureLinesMin)
VELCOR_SENSOR_VALUE(GetExposureLinesMax, GetExposureLinesMax)
VELCOR_SENSOR_VALUE(GetExposureLinesDefault, GetExposureLinesDefault)
VELCOR_SENSOR_VALUE(GetChannelGainMin, GetChannelGainMin)
VELCOR_SENSOR_VALUE(GetChannelGainMax, GetChannelGainMax)
VELCOR_SENSOR_VALUE(GetChannelGainDefault, GetChannelGainDefault)
VELCOR_SENSOR_VALUE(GetChannelOffsetMin, GetChannelOffsetMin)
VELCOR_SENSOR_VALUE(GetChannelOffsetMax, GetChannelOffsetMax)
VELCOR_SENSOR_VALUE(GetChannelOffsetDefault, GetChannelOffsetDefault)
VELCOR_SENSOR_VALUE(GetColourGainRed, GetColourGainRed)
VELCOR_SENSOR_VALUE(GetColourGainGreen1, GetColourGainGreen1)
VELCOR_SENSOR_VALUE(GetColourGainGreen2, GetColourGainGreen2)
VELCOR_SENSOR_VALUE(GetColourGainBlue, GetColourGainBlue)
VELCOR_SENSOR_VALUE(GetColourGainMin, GetColourGainMin)
VELCOR_SENSOR_VALUE(GetColourGainMax, GetColourGainMax)
VELCOR_SENSOR_VALUE(GetColourGainDefault, GetColourGainDefault)
VELCOR_SENSOR_VALUE(GetBlackLevelMin, GetBlackLevelMin)
VELCOR_SENSOR_VALUE(GetBlackLevelMax, GetBlackLevelMax)
VELCOR_SENSOR_VALUE(GetBlackLevelDefault, GetBlackLevelDefault)
VELCOR_SENSOR_VALUE(GetGainStepMin, GetGainStepMin)
VELCOR_SENSOR_VALUE(GetGainStepMax, GetGainStepMax)
VELCOR_SENSOR_VALUE(GetGainStepDefault, GetGainStepDefault)
VELCOR_SENSOR_VALUE(GetGainStep, GetGainStep)
#undef VELCOR_SENSOR_VALUE

int CVelcorR3U2Base::SetGlobalGain(int gain) {
    return sensor_ ? sensor_->SetGlobalGain(gain) : 0;
}

int CVelcorR3U2Base::SetExposure(uint32_t tenthsOfMs) {
    // A frame cannot arrive before its exposure ends: long exposures stretch the wait.
    frameTimeout_ = tenthsOfMs <= 50000 ? 5000 : tenthsOfMs / 5;
    if (traits_->exposureThroughThread) {
        pendingExposureValue_ = tenthsOfMs;
        pendingExposure_ = 1;
        return 1;
    }
    return sensor_ ? sensor_->SetExposure(static_cast<int32_t>(tenthsOfMs)) : 0;
}

int CVelcorR3U2Base::SetExposureLines(int lines) {
    return sensor_ ? sensor_->SetExposureLines(lines) : 0;
}

int CVelcorR3U2Base::IsExposureSecondsSupported() {
    return sensor_ ? sensor_->IsExposureSecondsSupported() : 0;
}

int CVelcorR3U2Base::SetExposureSeconds(double seconds) {
    if (seconds > 2.0) frameTimeout_ = static_cast<uint32_t>((seconds + 1.0) * 1000.0);
    return sensor_ ? sensor_->SetExposureSeconds(seconds) : 0;
}

int CVelcorR3U2Base::GetExposureSeconds(double* seconds) {
    return sensor_ ? sensor_->GetExposureSeconds(seconds) : 0;
}
int CVelcorR3U2Base::GetExposureSecondsMin(double* seconds) {
    return sensor_ ? sensor_->GetExposureSecondsMin(seconds) : 0;
}
int CVelcorR3U2Base::GetExposureSecondsMax(double* seconds) {
    return sensor_ ? sensor_->GetExposureSecondsMax(seconds) : 0;
}
int CVelcorR3U2Base::GetExposureSecondsDefault(double* seconds) {
    return sensor_ ? sensor_->GetExposureSecondsDefault(seconds) : 0;
}

int CVelcorR3U2Base::SetChannelGain(int channel, int gain) {
    return sensor_ ? sensor_->SetChannelGain(channel, gain) : 0;
}
int CVelcorR3U2Base::GetChannelGain(int channel) {
    int32_t value = 0;
    return sensor_ && sensor_->GetChannelGain(channel, &value) ? value : 0;
}
int CVelcorR3U2Base::SetChannelOffset(int channel, int offset) {
    return sensor_ ? sensor_->SetChannelOffset(channel, offset) : 0;
}
int CVelcorR3U2Base::GetChannelOffset(int channel) {
    int32_t value = 0;
    return sensor_ && sensor_->GetChannelOffset(channel, &value) ? value : 0;
}

int CVelcorR3U2Base::SetColourGainRed(int gain) {
    return sensor_ ? sensor_->SetColourGainRed(gain) : 0;
}
int CVelcorR3U2Base::SetColourGainGreen1(int gain) {
    return sensor_ ? sensor_->SetColourGainGreen1(gain) : 0;
}
int CVelcorR3U2Base::SetColourGainGreen2(int gain) {
    return sensor_ ? sensor_->SetColourGainGreen2(gain) : 0;
}
int CVelcorR3U2Base::SetColourGainBlue(int gain) {
    return sensor_ ? sensor_->SetColourGainBlue(gain) : 0;
}

int CVelcorR3U2Base::IsBlackLevelSupported() {
    return sensor_ ? sensor_->IsBlackLevelSupported() : 0;
}
int CVelcorR3U2Base::SetBlackLevel(int level) {
    return sensor_ ? sensor_->SetBlackLevel(level) : 0;
}
int CVelcorR3U2Base::GetBlackLevel(int* level) {
    int32_t value = 0;
    if (!sensor_ || level == nullptr || !sensor_->GetBlackLevel(&value)) return 0;
    *level = value;
    return 1;
}

// ---- Register access ------------------------------------------------------------------------

int CVelcorR3U2Base::WriteSensorRegister(int, int reg, int value) {
    return sensor_
               ? sensor_->WriteRegister(static_cast<uint32_t>(reg), static_cast<uint32_t>(value))
               : 0;
}

int CVelcorR3U2Base::ReadSensorRegister(int, int reg, int* success) {
    uint32_t value = 0;
    if (!sensor_ || !sensor_->ReadRegister(static_cast<uint32_t>(reg), &value)) return 0;
    if (success != nullptr) *success = 1;
    return static_cast<int>(value);
}

int CVelcorR3U2Base::WriteFpgaRegister(int reg, int value) {
    if (!controller_ || !traits_->hasFpgaRegisters) return 0;
    return controller_->WriteFpgaRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
}

int CVelcorR3U2Base::ReadFpgaRegister(int reg, int* success) {
    if (success != nullptr) *success = 0;
    uint8_t value = 0;
    if (!controller_ || !traits_->hasFpgaRegisters ||
        !controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &value)) {
        return 0;
    }
    if (success != nullptr) *success = 1;
    return value;
}

int CVelcorR3U2Base::SpareD() {
    return 0;
}
int CVelcorR3U2Base::SpareE() {
    return 0;
}

int CVelcorR3U2Base::OnCapture() {
    if (!sensor_) return 0;
    sensor_->OnCapture();
    return 1;
}

int CVelcorR3U2Base::OnCaptureDone() {
    if (!sensor_) return 0;
    sensor_->OnCaptureDone();
    return 1;
}

int CVelcorR3U2Base::SetSamplingRate(int sensorIndex, int value, int* rate) {
    // The engine drives one sensor, index 0.
    if (!sensor_ || sensorIndex != 0) return 0;
    return sensor_->SetSamplingRate(value, rate);
}

int CVelcorR3U2Base::IsGainModeSupported() {
    return sensor_ ? sensor_->IsGainModeSupported() : 0;
}
int CVelcorR3U2Base::SetGainMode(int mode) {
    return sensor_ ? sensor_->SetGainMode(mode) : 0;
}
int CVelcorR3U2Base::GetGainMode() {
    return sensor_ ? sensor_->GetGainMode() : -1;
}

int CVelcorR3U2Base::WriteEepromByte1080(uint8_t value) {
    return WriteEeprom(kEepromSwitchByte, value);
}
int CVelcorR3U2Base::ReadEepromByte1080(uint8_t* value) {
    return ReadEeprom(kEepromSwitchByte, value);
}

// ---- FPGA switch and value of the products that have them -----------------------------------

int CVelcorR3U2Base::IsFpgaSwitchSupported() {
    switch (traits_->fpgaSwitch) {
        case FpgaSwitch::kNone:
            return 0;
        case FpgaSwitch::kRegister90:
        case FpgaSwitch::kHeadVariant:
            return 1;
        case FpgaSwitch::kRegisterD1:
            return sensor_ && (sensor_->FpgaVersion() & kFpgaSwitchVersionBit) != 0 ? 1 : 0;
    }
    return 0;
}

int CVelcorR3U2Base::GetFpgaSwitch() {
    if (!IsFpgaSwitchSupported()) return 0;
    int ok = 0;
    switch (traits_->fpgaSwitch) {
        case FpgaSwitch::kRegister90:
            return ReadFpgaRegister(fpga::kPowerSwitch, &ok) == kPowerSwitchOn ? 1 : 0;
        case FpgaSwitch::kHeadVariant: {
            int32_t variant = 0;
            if (!sensor_ || !sensor_->VariantOpE(&variant)) return 0;
            const bool on = variant >= 1 && variant <= kHighestSwitchVariant;
            uint8_t stored = 0;
            // The ROM keeps the variant to restore when the switch is turned on again.
            if (on && ReadEepromByte1080(&stored) &&
                (stored == 0 || stored > kHighestSwitchVariant)) {
                WriteEepromByte1080(static_cast<uint8_t>(variant));
            }
            return on ? 1 : 0;
        }
        case FpgaSwitch::kRegisterD1:
            return ReadFpgaRegister(fpga::kSwitchD1, &ok) & 1;
        case FpgaSwitch::kNone:
            break;
    }
    return 0;
}

int CVelcorR3U2Base::SetFpgaSwitch(int on) {
    if (!IsFpgaSwitchSupported()) return 0;
    const int wanted = on != 0 ? 1 : 0;
    if (GetFpgaSwitch() == wanted) return 1;
    switch (traits_->fpgaSwitch) {
        case FpgaSwitch::kRegister90:
            return WriteFpgaRegister(fpga::kPowerSwitch, wanted ? kPowerSwitchOn : kPowerSwitchOff);
        case FpgaSwitch::kHeadVariant: {
            uint8_t stored = 0;
            if (wanted && !ReadEepromByte1080(&stored)) return 0;
            return sensor_ ? sensor_->VariantOpD(wanted ? stored : 0) : 0;
        }
        case FpgaSwitch::kRegisterD1: {
            int ok = 0;
            const int reg = ReadFpgaRegister(fpga::kSwitchD1, &ok);
            if (!ok) return 0;
            return WriteFpgaRegister(fpga::kSwitchD1, wanted ? (reg | 1) : (reg & ~1));
        }
        case FpgaSwitch::kNone:
            break;
    }
    return 0;
}

int CVelcorR3U2Base::IsFpgaValueSupported() {
    return traits_->hasFpgaValue && IsFpgaSwitchSupported() ? 1 : 0;
}

int CVelcorR3U2Base::SetFpgaValue(uint16_t value) {
    return WriteFpgaRegister(fpga::kValue16Low, value & 0xFF) &&
                   WriteFpgaRegister(fpga::kValue16High, value >> 8)
               ? 1
               : 0;
}

int CVelcorR3U2Base::GetFpgaValue(uint16_t* value) {
    int okLow = 0, okHigh = 0;
    const int low = ReadFpgaRegister(fpga::kValue16Low, &okLow);
    const int high = ReadFpgaRegister(fpga::kValue16High, &okHigh);
    if (!okLow || !okHigh || value == nullptr) return 0;
    *value = static_cast<uint16_t>(low | high << 8);
    return 1;
}

int CVelcorR3U2Base::QueryReserved() {
    return 0;
}
int CVelcorR3U2Base::GetFpgaValueMax() {
    return traits_->hasFpgaValue ? 0xFFFF : 0;
}

// ---- Serial text channel --------------------------------------------------------------------

int CVelcorR3U2Base::ReceiveText(char* buffer, int length) {
    if (!sensor_ || !traits_->hasTextConsole || buffer == nullptr || length < 0) return 0;
    char line[256] = {};
    const int count = sensor_->ReceiveText(line, sizeof line);
    const int copied = count < length ? count : length;
    if (copied > 0) std::memcpy(buffer, line, static_cast<size_t>(copied));
    return count;
}

int CVelcorR3U2Base::SendText(const char* text, int length) {
    if (!sensor_ || !traits_->hasTextConsole || text == nullptr || length < 0) return 0;
    // The console reads up to a terminating zero, which travels with the text.
    std::vector<char> terminated(static_cast<size_t>(length) + 1, '\0');
    std::memcpy(terminated.data(), text, static_cast<size_t>(length));
    return sensor_->SendText(terminated.data(), length + 1);
}

// ---- Sensor extras --------------------------------------------------------------------------

int CVelcorR3U2Base::IsCoolerSupported() {
    return sensor_ ? sensor_->IsCoolerSupported() : 0;
}
int CVelcorR3U2Base::GetCooler() {
    return sensor_ ? sensor_->GetCooler() : 0;
}
int CVelcorR3U2Base::SetCooler(int on) {
    return sensor_ ? sensor_->SetCooler(on) : 0;
}
int CVelcorR3U2Base::IsTemperatureSupported() {
    return sensor_ ? sensor_->IsTemperatureSupported() : 0;
}
int CVelcorR3U2Base::GetTemperature(double* celsius) {
    return sensor_ && celsius != nullptr ? sensor_->GetTemperature(celsius) : 0;
}
int CVelcorR3U2Base::IsSwitchASupported() {
    return sensor_ ? sensor_->IsSwitchASupported() : 0;
}
int CVelcorR3U2Base::GetSwitchA() {
    int32_t on = 0;
    return sensor_ && sensor_->GetSwitchA(&on) ? on : 0;
}
int CVelcorR3U2Base::SetSwitchA(int on) {
    return sensor_ ? sensor_->SetSwitchA(on) : 0;
}
int CVelcorR3U2Base::IsAuxSwitchSupported() {
    return sensor_ ? sensor_->IsAuxSwitchSupported() : 0;
}
int CVelcorR3U2Base::GetAuxSwitch() {
    int32_t on = 0;
    return sensor_ && sensor_->GetAuxSwitch(&on) ? on : 0;
}
int CVelcorR3U2Base::SetAuxSwitch(void* argument) {
    return sensor_ ? sensor_->SetAuxSwitch(argument != nullptr ? 1 : 0) : 0;
}
int CVelcorR3U2Base::IsSetPointSupported() {
    return sensor_ ? sensor_->IsSetPointSupported() : 0;
}
int CVelcorR3U2Base::SpareOpA() {
    return sensor_ ? sensor_->SpareOpA() : 0;
}
int CVelcorR3U2Base::SpareOpB() {
    return sensor_ ? sensor_->SpareOpB() : 0;
}
int CVelcorR3U2Base::GetSensorTemperature(double* celsius) {
    int32_t value = 0;
    if (!sensor_ || celsius == nullptr || !sensor_->GetSensorTemperature(&value)) return 0;
    *celsius = value;
    return 1;
}
int CVelcorR3U2Base::SetTemperatureSetPoint(int setPoint) {
    return sensor_ ? sensor_->SetTemperatureSetPoint(setPoint) : 0;
}
int CVelcorR3U2Base::VariantInfoA() {
    int32_t first = 0, second = 0;
    return sensor_ ? sensor_->VariantInfoA(&first, &second) : 0;
}
int CVelcorR3U2Base::VariantInfoB() {
    int32_t first = 0, second = 0;
    return sensor_ ? sensor_->VariantInfoB(&first, &second) : 0;
}
int CVelcorR3U2Base::VariantOpA() {
    return sensor_ ? sensor_->VariantOpA(0) : 0;
}
int CVelcorR3U2Base::VariantOpB() {
    int32_t value = 0;
    return sensor_ ? sensor_->VariantOpB(&value) : 0;
}
int CVelcorR3U2Base::VariantOpC() {
    return sensor_ ? sensor_->VariantOpC() : 0;
}
int CVelcorR3U2Base::IsFixedExposureSupported() {
    return sensor_ ? sensor_->IsFixedExposureSupported() : 0;
}
int CVelcorR3U2Base::GetFixedExposure(int* on) {
    int32_t value = 0;
    if (!sensor_ || on == nullptr || !sensor_->GetFixedExposure(&value)) return 0;
    *on = value;
    return 1;
}
int CVelcorR3U2Base::SetFixedExposure(int on) {
    return sensor_ ? sensor_->SetFixedExposure(on) : 0;
}
int CVelcorR3U2Base::IsGainStepSupported() {
    return sensor_ ? sensor_->IsGainStepSupported() : 0;
}
int CVelcorR3U2Base::SetGainStep(int step) {
    return sensor_ ? sensor_->SetGainStep(step) : 0;
}
int CVelcorR3U2Base::GetGainStepLabel(int step, char* text) {
    return sensor_ && text != nullptr ? sensor_->GetGainStepLabel(step, text, 64) : 0;
}
int CVelcorR3U2Base::IsSwitchBSupported() {
    return sensor_ ? sensor_->IsSwitchBSupported() : 0;
}
int CVelcorR3U2Base::SetSwitchB(int on) {
    return sensor_ ? sensor_->SetSwitchB(on) : 0;
}
int CVelcorR3U2Base::GetSwitchB() {
    return sensor_ ? sensor_->GetSwitchB() : -1;
}
int CVelcorR3U2Base::Allows8BitOutput() {
    return sensor_ ? sensor_->Allows8BitOutput() : 0;
}
int CVelcorR3U2Base::Allows16BitOutput() {
    return sensor_ ? sensor_->Allows16BitOutput() : 0;
}
int CVelcorR3U2Base::IsColourSensor() {
    return sensor_ ? sensor_->IsColourSensor() : 0;
}

}  // namespace velcor
