#include "sim/SimCameraModel.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "protocol/FpgaRegisterMap.h"
#include "protocol/SensorRegisterLayout.h"
#include "protocol/UsbProtocol.h"
#include "sim/SimFamilySensor.h"
#include "sim/SimRoze9701Chip.h"

namespace velcor::sim {
namespace {

constexpr uint16_t kProductRoze9701 = 0x32C0;
// The largest frame the FPGA holds in a buffer: 64 MiB.
constexpr uint64_t kMaxFrameBytes = 0x4000000;
// A drawn frame is bounded by the header's 32-bit byte count alone.
constexpr uint64_t kMaxDrawnFrameBytes = 0xFFFFFFFF;
// The offsets of the picture in the ROZE9701's output, as the FPGA is configured at power-on.
constexpr uint8_t kRozeVerticalOffset = 10;
constexpr uint8_t kRozeHorizontalOffset = 32;
constexpr uint32_t kRozeFrameLength = 1054;
constexpr uint32_t kRozeLineLength = 1344;
// 512 MiB slots, in 256-byte units: room for 19568 x 12588 samples of 16 bits.
constexpr uint32_t kFamilyMemorySlotUnits = 0x200000;

uint32_t SeedOf(const std::string& text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

std::unique_ptr<SimSensor> MakeSensor(uint16_t productId) {
    if (productId == kProductRoze9701) return std::make_unique<SimRoze9701Chip>();
    if (const SimFamilyProduct* product = FindSimFamilyProduct(productId)) {
        return std::make_unique<SimFamilySensor>(*product);
    }
    return std::make_unique<SimSensor>();
}

uint32_t Pair(const FpgaRegisterFile& fpga, uint8_t low) {
    return fpga.Get(low) | fpga.Get(static_cast<uint8_t>(low + 1)) << 8;
}

std::chrono::steady_clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(std::max(seconds, 0.0)));
}

}  // namespace

SimCameraModel::SimCameraModel(const SimCameraConfig& config, SimBufferPool& buffers,
                               std::function<void()> wake)
    : config_(config),
      buffers_(buffers),
      wake_(std::move(wake)),
      sensor_(MakeSensor(config.productId)),
      scene_(SimRoze9701Sensor::kFullWidth, SimRoze9701Sensor::kFullHeight,
             SeedOf(config.serialNumber)),
      frameNumber_(config.frameNumberStart),
      fastFrames_(config.fastFrames),
      lastFrameBoundary_(Clock::now()) {
    fpga_.SetWriteObserver([this](uint8_t reg, uint8_t value) { OnFpgaWrite(reg, value); });
    fpga_.SetReadObserver([this](uint8_t reg) { OnFpgaRead(reg); });
    family_ = dynamic_cast<SimFamilySensor*>(sensor_.get());
    scene_.SetDefects(config.hotPixels, config.deadPixels, SeedOf(config.serialNumber) ^ 0xDEFEC7u);
    scene_.SetFastRender(config.fastRender);
    busPresent_ = {{usb::kBusFpga, true},
                   {usb::kBusSensor, true},
                   {usb::kBusAux, true},
                   {usb::kBusEeprom, true}};
    if (family_ != nullptr) {
        // A family camera's sensor answers at the address of its wire form.
        busPresent_[sensor_bus::kAddressMt9] = true;
        busPresent_[sensor_bus::kAddressHead] = true;
        busPresent_[sensor_bus::kAddressMt9p] = true;
    }

    fpga_.Set(fpga::kVersionLow, static_cast<uint8_t>(config.fpgaVersion));
    fpga_.Set(fpga::kVersionHigh, static_cast<uint8_t>(config.fpgaVersion >> 8));
    fpga_.Set(fpga::kStartupIndicator, config.startupIndicator);
    fpga_.Set(fpga::kFrameCounter, config.frameCounterStart);
    fpga_.Set(fpga::kHeightLow, static_cast<uint8_t>(config.frameHeight));
    fpga_.Set(fpga::kHeightHigh, static_cast<uint8_t>(config.frameHeight >> 8));
    fpga_.Set(fpga::kWidthLow, static_cast<uint8_t>(config.frameWidth));
    fpga_.Set(fpga::kWidthHigh, static_cast<uint8_t>(config.frameWidth >> 8));
    fpga_.Set(fpga::kPixelDepth, 1);
    fpga_.Set(fpga::kSerialLink, fpga::kSerialLinkReady);
    // The frame-memory family cameras carry slots for their largest frame, 16-bit.
    const uint32_t slotUnits = family_ != nullptr && family_->Product().frameMemory
                                   ? kFamilyMemorySlotUnits
                                   : config.slotSizeUnits;
    fpga_.Set(fpga::kSlotSize0, static_cast<uint8_t>(slotUnits));
    fpga_.Set(fpga::kSlotSize1, static_cast<uint8_t>(slotUnits >> 8));
    fpga_.Set(fpga::kSlotSize2, static_cast<uint8_t>(slotUnits >> 16));
    fpga_.Set(fpga::kSlotSize3, static_cast<uint8_t>(slotUnits >> 24));
    if (config.productId == kProductRoze9701) {
        // The FPGA's configuration for the ROZE9701: the picture's place in the sensor's
        // output, the sensor's power-on frame timing, rows unmirrored.
        fpga_.Set(fpga::kVerticalOffsetLow, kRozeVerticalOffset);
        fpga_.Set(fpga::kHorizontalOffsetLow, kRozeHorizontalOffset);
        fpga_.Set(fpga::kFrameLength0, static_cast<uint8_t>(kRozeFrameLength));
        fpga_.Set(fpga::kFrameLength1, static_cast<uint8_t>(kRozeFrameLength >> 8));
        fpga_.Set(fpga::kLineLengthLow, static_cast<uint8_t>(kRozeLineLength));
        fpga_.Set(fpga::kLineLengthHigh, static_cast<uint8_t>(kRozeLineLength >> 8));
        fpga_.Set(fpga::kMirrorHOff, 1);
    }
    if (family_ != nullptr) family_->PresetFpga(fpga_);
    resetsToReady_ = config.readyAfterResets;
    SetReady(config.readyAfterResets == 0);

    const std::string& serial = config.serialNumber;
    for (size_t i = 0; i < serial.size() && i < rom::kSerialNumberLength; ++i) {
        eeprom_.Set(static_cast<uint16_t>(rom::kSerialNumber + i), static_cast<uint8_t>(serial[i]));
    }
}

SimCameraModel::~SimCameraModel() = default;

void SimCameraModel::SetReady(bool ready) {
    ready_ = ready;
    fpga_.Set(fpga::kStartupIndicator, ready ? config_.startupIndicator : 0);
    fpga_.Set(fpga::kReadyState, ready ? fpga::kReadyStateUp : 0);
}

// Every register the host writes over the bus, after the write.
void SimCameraModel::OnFpgaWrite(uint8_t reg, uint8_t value) {
    AppendToTrace(trace_.fpgaWrites, std::make_pair(reg, value));
    if (family_ != nullptr && family_->Product().size == FrameSizeSource::FpgaLatched &&
        reg == fpga::kHeightHigh) {
        latchedHeight_ = Pair(fpga_, fpga::kHeightLow);
    }
    if (family_ != nullptr && family_->Product().wire == sensor_bus::Wire::FpgaMailbox &&
        reg >= sensor_bus::kMailboxFirst &&
        reg < sensor_bus::kMailboxFirst + sensor_bus::kMailboxLength) {
        // The mailbox passes its word on whenever a byte of it changes: the host rewrites
        // only the bytes that differ, so the last byte it writes completes the word.
        uint8_t word[sensor_bus::kMailboxLength];
        for (int i = 0; i < sensor_bus::kMailboxLength; ++i)
            word[i] = fpga_.Get(static_cast<uint8_t>(sensor_bus::kMailboxFirst + i));
        const uint32_t address = static_cast<uint32_t>(word[0]) << 24 |
                                 static_cast<uint32_t>(word[1]) << 16 | word[2] << 8 | word[3];
        const uint32_t data = static_cast<uint32_t>(word[4]) << 24 |
                              static_cast<uint32_t>(word[5]) << 16 | word[6] << 8 | word[7];
        family_->WriteMailbox(address, data);
    }
    if (reg == fpga::kFrameRelease && value == 1) framesReleased_ = true;
    if (reg == fpga::kResetRequest && (value & fpga::kResetRequestBit) != 0 &&
        config_.productId == kProductRoze9701) {
        // The FPGA resets the sensor and configures it again; the request bit clears itself.
        ++trace_.sensorResets;
        fpga_.Set(fpga::kResetRequest, value & ~fpga::kResetRequestBit);
        sensor_->PowerOn();
        DropStoredFrames();
        if (resetsToReady_ > 0 && --resetsToReady_ == 0) SetReady(true);
    }
}

void SimCameraModel::OnFpgaRead(uint8_t reg) {
    // A frame-memory camera keeps filling its slots; the host looks at the newest one.
    if (reg != fpga::kNewestSlotLow || family_ == nullptr || !family_->Product().frameMemory ||
        !powered_) {
        return;
    }
    MakeMemoryFrame();
}

void SimCameraModel::MakeMemoryFrame() {
    MemoryFrame frame;
    FrameFormat(&frame.width, &frame.height, &frame.bytesPerPixel);
    frame.number = frameNumber_++;
    family_->PrepareRows(frame.width, frame.bytesPerPixel);
    slot_ = (slot_ + 1) % std::max<uint32_t>(config_.slotCount, 1);
    memoryFrames_[slot_] = frame;
    fpga_.Set(fpga::kFrameCounter, static_cast<uint8_t>(fpga_.Get(fpga::kFrameCounter) + 1));
    fpga_.Set(fpga::kNewestSlotLow, static_cast<uint8_t>(slot_));
    fpga_.Set(fpga::kNewestSlotHigh, static_cast<uint8_t>(slot_ >> 8));
}

uint64_t SimCameraModel::SlotBytes() const {
    const uint32_t units = fpga_.Get(fpga::kSlotSize0) | fpga_.Get(fpga::kSlotSize1) << 8 |
                           fpga_.Get(fpga::kSlotSize2) << 16 |
                           static_cast<uint32_t>(fpga_.Get(fpga::kSlotSize3)) << 24;
    return uint64_t{units} * 256;
}

void SimCameraModel::SetFirmwareByte(uint8_t value) {
    std::lock_guard lock(mutex_);
    firmwareByte_ = value;
}

void SimCameraModel::FrameFormat(uint32_t* width, uint32_t* height, uint32_t* bytesPerPixel) const {
    *width = Pair(fpga_, fpga::kWidthLow);
    *height = Pair(fpga_, fpga::kHeightLow);
    *bytesPerPixel = fpga_.Get(fpga::kPixelDepth) == 2 ? 2 : 1;
    if (family_ == nullptr) return;
    const SimFamilyProduct& product = family_->Product();
    const sensor_bus::RegisterLayout& layout = sensor_bus::LayoutOf(product.wire);
    switch (product.size) {
        case FrameSizeSource::Fpga:
            break;
        case FrameSizeSource::FpgaLatched:
            *height = latchedHeight_;
            break;
        case FrameSizeSource::FpgaAlt:
            *width = Pair(fpga_, fpga::kWidthLowAlt);
            *height = Pair(fpga_, fpga::kHeightLowAlt);
            break;
        case FrameSizeSource::SensorRelay: {
            uint16_t value = 0;
            family_->ReadRegister16(static_cast<uint16_t>(layout.windowWidth), &value);
            *width = value;
            family_->ReadRegister16(static_cast<uint16_t>(layout.windowHeight), &value);
            *height = value;
            break;
        }
        case FrameSizeSource::Mailbox:
            *width = family_->Mailbox(layout.windowWidth) & 0xFFFF;
            *height = family_->Mailbox(layout.windowHeight) & 0xFFFF;
            break;
    }
    bool sixteen = false;
    switch (product.depth) {
        case PixelDepthSource::Reg3C:
            sixteen = fpga_.Get(fpga::kPixelDepth) == 2;
            break;
        case PixelDepthSource::RegA3:
            sixteen = fpga_.Get(fpga::kPixelDepthAlt) == 2;
            break;
        case PixelDepthSource::Reg3D:
            sixteen = fpga_.Get(fpga::kPixelDepthMode) == 1;
            break;
        case PixelDepthSource::Reg6E:
            sixteen = fpga_.Get(fpga::kPixelDepth6E) == 2;
            break;
        case PixelDepthSource::Reg38:
            sixteen = fpga_.Get(fpga::kStartupControl38) != 1;
            break;
        case PixelDepthSource::FirmwareByte:
            sixteen = firmwareByte_ == 1;
            break;
        case PixelDepthSource::SensorMailbox:
            sixteen = family_->Mailbox(layout.pixelDepth) == 16;
            break;
    }
    *bytesPerPixel = sixteen ? 2 : 1;
    *height *= static_cast<uint32_t>(product.planes);
}

// --- The I2C bus -------------------------------------------------------------------------

I2cSlave* SimCameraModel::BusDevice(uint8_t busAddress) {
    const uint8_t address = busAddress & 0xFE;
    auto present = busPresent_.find(address);
    if (present == busPresent_.end() || !present->second) return nullptr;
    switch (address) {
        case usb::kBusFpga:
            return &fpga_;
        case usb::kBusSensor:
            return sensor_.get();
        case usb::kBusAux:
            return &aux_;
        case usb::kBusEeprom:
            return &eeprom_;
        case sensor_bus::kAddressMt9:
        case sensor_bus::kAddressHead:
            return family_ != nullptr ? sensor_.get() : nullptr;
        case sensor_bus::kAddressMt9p:
            return family_ != nullptr ? &family_->WordChip() : nullptr;
        default:
            return nullptr;
    }
}

bool SimCameraModel::HasBusDevice(uint8_t busAddress) {
    std::lock_guard lock(mutex_);
    return BusDevice(busAddress) != nullptr;
}

bool SimCameraModel::BusWrite(uint8_t busAddress, const uint8_t* data, int length,
                              bool* framesReleased) {
    std::lock_guard lock(mutex_);
    I2cSlave* device = BusDevice(busAddress);
    if (device == nullptr) return false;
    framesReleased_ = false;
    const bool acknowledged = device->Write(data, length);
    if (framesReleased != nullptr) *framesReleased = framesReleased_;
    framesReleased_ = false;
    return acknowledged;
}

bool SimCameraModel::BusRead(uint8_t busAddress, uint8_t* data, int length) {
    std::lock_guard lock(mutex_);
    I2cSlave* device = BusDevice(busAddress);
    return device != nullptr && device->Read(data, length);
}

bool SimCameraModel::WriteSensor16(uint16_t address, uint16_t value) {
    std::lock_guard lock(mutex_);
    return sensor_->WriteRegister16(address, value);
}

bool SimCameraModel::ReadSensor16(uint16_t address, uint16_t* value) {
    std::lock_guard lock(mutex_);
    return sensor_->ReadRegister16(address, value);
}

bool SimCameraModel::Ready() const {
    std::lock_guard lock(mutex_);
    return ready_;
}

// --- Frames ------------------------------------------------------------------------------

bool SimCameraModel::RequestFrame(Clock::time_point now, std::vector<SimFrame>& out) {
    std::lock_guard lock(mutex_);
    const SensorFrameState state = FrameStateLocked();
    switch (state.readout) {
        case SensorReadout::Stopped:
            // Nothing is read out: the request goes unanswered.
            DropStoredFrames();
            return false;
        case SensorReadout::Triggered:
            if (!stored_.empty()) {
                out.push_back(std::move(stored_.front()));
                stored_.pop_front();
            } else {
                frameRequested_ = true;
            }
            return false;
        case SensorReadout::FreeRunning:
            break;
    }
    DropStoredFrames();
    if (fastFrames_) return true;
    // The sensor runs on its own: the request is answered by the next frame it finishes.
    frameRequested_ = true;
    ScheduleSensorFrame(now);
    return false;
}

void SimCameraModel::FinishFrame(std::vector<SimFrame>& out) {
    std::lock_guard lock(mutex_);
    const SensorFrameState state = FrameStateLocked();
    if (!powered_ || state.readout != SensorReadout::FreeRunning) return;
    SimFrame frame;
    if (MakeFrame(state, false, frame)) out.push_back(std::move(frame));
}

void SimCameraModel::RequestSensorFrame(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    frameRequested_ = true;
    ScheduleSensorFrame(now);
}

void SimCameraModel::CancelFrameRequest() {
    std::lock_guard lock(mutex_);
    frameRequested_ = false;
}

void SimCameraModel::ScheduleSensorFrame(Clock::time_point now) {
    if (nextFrameDue_) return;
    const auto period =
        std::max(Seconds(sensor_->FrameState().framePeriodSeconds), Clock::duration(1));
    const auto since = now - lastFrameBoundary_;
    const auto frames = since.count() >= 0 ? since / period + 1 : 1;
    nextFrameDue_ = lastFrameBoundary_ + frames * period;
    if (wake_) wake_();
}

uint32_t SimCameraModel::LineLength() const {
    return fpga_.Get(fpga::kLineLengthLow) | fpga_.Get(fpga::kLineLengthHigh) << 8;
}

double SimCameraModel::TriggerExposureSeconds(const SensorFrameState& state) const {
    // In trigger mode the FPGA times the exposure: its lines at its own line length.
    const uint32_t lines = fpga_.Get(fpga::kTriggerLines0) | fpga_.Get(fpga::kTriggerLines1) << 8 |
                           fpga_.Get(fpga::kTriggerLines2) << 16 |
                           (fpga_.Get(fpga::kTriggerLines3) & 0x0Fu) << 24;
    if (state.pixelClockHz <= 0.0) return state.exposureSeconds;
    return static_cast<double>(std::max<uint32_t>(lines, 1)) * LineLength() / state.pixelClockHz;
}

bool SimCameraModel::FireTrigger(Clock::time_point now, std::vector<SimFrame>& out) {
    std::lock_guard lock(mutex_);
    if (!powered_) return false;
    ++trace_.triggers;
    const SensorFrameState state = FrameStateLocked();
    if (!TriggerArmed(state)) return true;
    if (fastFrames_) {
        FinishTriggeredFrame(out);
        return true;
    }
    // Exposure, then readout of the window.
    const double readout = state.pixelClockHz > 0.0 ? static_cast<double>(state.windowHeight) *
                                                          LineLength() / state.pixelClockHz
                                                    : 0.0;
    triggerDue_.push_back(now + Seconds(TriggerExposureSeconds(state) + readout));
    if (wake_) wake_();
    return true;
}

void SimCameraModel::FinishTriggeredFrame(std::vector<SimFrame>& out) {
    SimFrame frame;
    if (!MakeFrame(FrameStateLocked(), true, frame)) return;
    if (frameRequested_) {
        frameRequested_ = false;
        out.push_back(std::move(frame));
        return;
    }
    // Kept in frame memory until requested; the oldest slot is overwritten.
    if (stored_.size() >= std::max<uint32_t>(config_.slotCount, 1)) {
        buffers_.GiveBack(stored_.front().pixels);
        stored_.pop_front();
    }
    stored_.push_back(std::move(frame));
}

void SimCameraModel::DropStoredFrames() {
    for (SimFrame& frame : stored_)
        buffers_.GiveBack(frame.pixels);
    stored_.clear();
}

std::optional<SimCameraModel::Clock::time_point> SimCameraModel::Advance(
    Clock::time_point now, std::vector<SimFrame>& out) {
    std::lock_guard lock(mutex_);
    // Frames the sensor finishes by now.
    if (nextFrameDue_ && *nextFrameDue_ <= now) {
        lastFrameBoundary_ = *nextFrameDue_;
        nextFrameDue_.reset();
        const SensorFrameState state = FrameStateLocked();
        if (powered_ && frameRequested_ && state.readout == SensorReadout::FreeRunning) {
            frameRequested_ = false;
            SimFrame frame;
            if (MakeFrame(state, false, frame)) out.push_back(std::move(frame));
        }
    }
    while (!triggerDue_.empty() && triggerDue_.front() <= now) {
        triggerDue_.pop_front();
        if (powered_) FinishTriggeredFrame(out);
    }
    return NextFrameEvent();
}

std::optional<SimCameraModel::Clock::time_point> SimCameraModel::NextFrameEvent() const {
    std::optional<Clock::time_point> next = nextFrameDue_;
    if (!triggerDue_.empty() && (!next || triggerDue_.front() < *next)) next = triggerDue_.front();
    return next;
}

bool SimCameraModel::MakeFrame(const SensorFrameState& state, bool triggered, SimFrame& frame) {
    uint32_t width = 0, height = 0, bytesPerPixel = 1;
    FrameFormat(&width, &height, &bytesPerPixel);
    const uint64_t bytes = uint64_t{width} * height * bytesPerPixel;
    // A family camera's frame is drawn as it is read; others are made whole, into a slot.
    const bool drawn = family_ != nullptr && !state.picture;
    if (bytes > (drawn ? kMaxDrawnFrameBytes : kMaxFrameBytes)) return false;

    frame.number = frameNumber_++;
    slot_ = (slot_ + 1) % std::max<uint32_t>(config_.slotCount, 1);
    frame.slot = slot_;
    frame.width = width;
    frame.height = height;
    frame.bytesPerPixel = bytesPerPixel;
    frame.drawn = drawn;
    const uint64_t slotBytes = static_cast<uint64_t>(config_.slotSizeUnits) * 256;
    if (drawn) {
        family_->PrepareRows(width, bytesPerPixel);
        // The slot holds the frame, drawn there too when the host reads it.
        if (bytes <= slotBytes) {
            memoryFrames_[slot_] = MemoryFrame{frame.number, width, height, bytesPerPixel};
        } else {
            memoryFrames_.erase(slot_);
        }
    } else {
        frame.pixels = buffers_.Take(static_cast<size_t>(bytes));
        if (state.picture) {
            FrameLayout layout;
            layout.width = width;
            layout.height = height;
            layout.bytesPerPixel = bytesPerPixel;
            layout.verticalOffset =
                fpga_.Get(fpga::kVerticalOffsetLow) | fpga_.Get(fpga::kVerticalOffsetHigh) << 8;
            layout.horizontalOffset =
                fpga_.Get(fpga::kHorizontalOffsetLow) | fpga_.Get(fpga::kHorizontalOffsetHigh) << 8;
            layout.frameNumber = frame.number;
            layout.exposureSeconds =
                triggered ? TriggerExposureSeconds(state) : state.exposureSeconds;
            scene_.Render(state, layout, frame.pixels.data());
        } else {
            sensor_->RenderFrame(width, height, bytesPerPixel, frame.number, frame.pixels.data(),
                                 frame.pixels.size());
        }
        if (bytes <= slotBytes) {
            WriteFrameMemoryLocked(slot_ * slotBytes, frame.pixels.data(), frame.pixels.size());
        }
    }
    fpga_.Set(fpga::kFrameCounter, static_cast<uint8_t>(fpga_.Get(fpga::kFrameCounter) + 1));
    fpga_.Set(fpga::kNewestSlotLow, static_cast<uint8_t>(slot_));
    fpga_.Set(fpga::kNewestSlotHigh, static_cast<uint8_t>(slot_ >> 8));
    return true;
}

void SimCameraModel::DrawFrame(const SimFrame& frame, uint64_t offset, uint8_t* out,
                               size_t length) const {
    std::lock_guard lock(mutex_);
    if (family_ == nullptr) {
        std::memset(out, 0, length);
        return;
    }
    family_->RenderBytes(frame.width, frame.height, frame.bytesPerPixel, frame.number, offset, out,
                         length);
}

// --- Trigger mode ------------------------------------------------------------------------

SensorFrameState SimCameraModel::FrameStateLocked() const {
    SensorFrameState state = sensor_->FrameState();
    if (family_ != nullptr && state.readout == SensorReadout::FreeRunning && FamilyTriggerOn()) {
        state.readout = SensorReadout::Triggered;
    }
    return state;
}

bool SimCameraModel::TriggerArmed(const SensorFrameState& state) const {
    if (state.readout != SensorReadout::Triggered) return false;
    // The ROZE9701's FPGA takes pulses once register 88 lets them through; a family camera's
    // trigger input is armed with its trigger mode.
    return family_ != nullptr || fpga_.Get(fpga::kTriggerModeEnable) == 1;
}

bool SimCameraModel::FamilyTriggerOn() const {
    const uint32_t sensorTrigger =
        FamilySensorValue(sensor_bus::LayoutOf(family_->Product().wire).trigger);
    switch (family_->Product().trigger) {
        case TriggerInput::Sensor:
            return sensorTrigger == 1;
        case TriggerInput::SensorAndFpga24:
            return sensorTrigger == 1 && (fpga_.Get(fpga::kTriggerEnable24) & 1) != 0;
        case TriggerInput::SensorAndFpga30:
            return sensorTrigger == 1 && fpga_.Get(fpga::kTriggerEnable30) == 1;
        case TriggerInput::Fpga24:
            return (fpga_.Get(fpga::kTriggerEnable24) & 1) != 0;
    }
    return false;
}

// A value of the family camera's sensor where its wire form keeps it.
uint32_t SimCameraModel::FamilySensorValue(uint32_t reg) const {
    switch (family_->Product().wire) {
        case sensor_bus::Wire::I2c16x8:
            return family_->Peek(static_cast<uint16_t>(reg)).value_or(0);
        case sensor_bus::Wire::I2c16x16: {
            uint16_t value = 0;
            family_->ReadRegister16(static_cast<uint16_t>(reg), &value);
            return value;
        }
        case sensor_bus::Wire::I2c8x16:
            return family_->WordRegister(static_cast<uint8_t>(reg));
        case sensor_bus::Wire::Word32: {
            auto found = registerWords_.find(reg);
            return found != registerWords_.end() ? found->second : 0;
        }
        case sensor_bus::Wire::FpgaMailbox:
            return family_->Mailbox(reg);
        case sensor_bus::Wire::Fpga:
        case sensor_bus::Wire::None:
            return fpga_.Get(static_cast<uint8_t>(reg));
    }
    return 0;
}

void SimCameraModel::WriteRegisterWord(uint32_t address, uint32_t value) {
    std::lock_guard lock(mutex_);
    registerWords_[address] = value;
}

void SimCameraModel::SetFastFrames(bool fast) {
    std::lock_guard lock(mutex_);
    fastFrames_ = fast;
}

bool SimCameraModel::FastFrames() const {
    std::lock_guard lock(mutex_);
    return fastFrames_;
}

void SimCameraModel::PowerOff() {
    std::lock_guard lock(mutex_);
    powered_ = false;
}

// --- Frame memory ------------------------------------------------------------------------

void SimCameraModel::ReadFrameMemoryLocked(uint64_t address, uint8_t* out, size_t length) const {
    const uint64_t slotBytes = memoryFrames_.empty() || family_ == nullptr ? 0 : SlotBytes();
    while (length > 0 && slotBytes != 0) {
        // A family camera's frame is drawn where it is read.
        const uint64_t within = address % slotBytes;
        auto found = memoryFrames_.find(static_cast<uint32_t>(address / slotBytes));
        if (found == memoryFrames_.end()) break;
        const MemoryFrame& frame = found->second;
        const uint64_t frameBytes = uint64_t{frame.width} * frame.height * frame.bytesPerPixel;
        if (within >= frameBytes) break;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, frameBytes - within));
        family_->RenderBytes(frame.width, frame.height, frame.bytesPerPixel, frame.number, within,
                             out, n);
        out += n;
        address += n;
        length -= n;
    }
    while (length > 0) {
        const uint64_t page = address / kPage;
        const size_t within = static_cast<size_t>(address % kPage);
        const size_t n = std::min<size_t>(length, kPage - within);
        auto found = memory_.find(page);
        if (found == memory_.end()) {
            std::memset(out, 0, n);
        } else {
            std::memcpy(out, found->second->data() + within, n);
        }
        out += n;
        address += n;
        length -= n;
    }
}

void SimCameraModel::WriteFrameMemoryLocked(uint64_t address, const uint8_t* data, size_t length) {
    while (length > 0) {
        const uint64_t page = address / kPage;
        const size_t within = static_cast<size_t>(address % kPage);
        const size_t n = std::min<size_t>(length, kPage - within);
        auto& slot = memory_[page];
        if (slot == nullptr) slot = std::make_unique<std::array<uint8_t, kPage>>();
        std::memcpy(slot->data() + within, data, n);
        data += n;
        address += n;
        length -= n;
    }
}

void SimCameraModel::ReadFrameMemory(uint64_t address, uint8_t* out, size_t length) const {
    std::lock_guard lock(mutex_);
    ReadFrameMemoryLocked(address, out, length);
}

void SimCameraModel::WriteFrameMemory(uint64_t address, const uint8_t* data, size_t length) {
    std::lock_guard lock(mutex_);
    WriteFrameMemoryLocked(address, data, length);
}

// --- The chips' own view -----------------------------------------------------------------

std::optional<int> SimCameraModel::GetRegister(RegisterSpace space, int address) const {
    std::lock_guard lock(mutex_);
    switch (space) {
        case RegisterSpace::Fpga:
            if (address < 0 || address > 0xFF) return std::nullopt;
            return fpga_.Get(static_cast<uint8_t>(address));
        case RegisterSpace::Sensor: {
            if (address < 0 || address > 0xFFFF) return std::nullopt;
            const auto value = sensor_->Peek(static_cast<uint16_t>(address));
            if (!value) return std::nullopt;
            return *value;
        }
        case RegisterSpace::Eeprom:
            if (address < 0 || address >= static_cast<int>(rom::kSize)) return std::nullopt;
            return eeprom_.Get(static_cast<uint16_t>(address));
    }
    return std::nullopt;
}

bool SimCameraModel::SetRegister(RegisterSpace space, int address, int value) {
    if (value < 0 || value > 0xFF) return false;
    std::lock_guard lock(mutex_);
    const auto byte = static_cast<uint8_t>(value);
    switch (space) {
        case RegisterSpace::Fpga:
            if (address < 0 || address > 0xFF) return false;
            fpga_.Set(static_cast<uint8_t>(address), byte);
            return true;
        case RegisterSpace::Sensor:
            return address >= 0 && address <= 0xFFFF &&
                   sensor_->Poke(static_cast<uint16_t>(address), byte);
        case RegisterSpace::Eeprom:
            if (address < 0 || address >= static_cast<int>(rom::kSize)) return false;
            eeprom_.Set(static_cast<uint16_t>(address), byte);
            return true;
    }
    return false;
}

uint8_t SimCameraModel::FpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return fpga_.Get(reg);
}

void SimCameraModel::SetFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    fpga_.Set(reg, value);
}

uint8_t SimCameraModel::EepromByte(uint16_t address) const {
    std::lock_guard lock(mutex_);
    return eeprom_.Get(address);
}

uint8_t SimCameraModel::AuxRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return aux_.Get(reg);
}

uint8_t SimCameraModel::SensorRegister(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return sensor_->Peek(reg).value_or(0);
}

void SimCameraModel::SetSensor(std::unique_ptr<SimSensor> sensor) {
    if (sensor == nullptr) return;
    std::lock_guard lock(mutex_);
    sensor_ = std::move(sensor);
    family_ = dynamic_cast<SimFamilySensor*>(sensor_.get());
    memoryFrames_.clear();
}

void SimCameraModel::SetBusDevicePresent(uint8_t busAddress, bool present) {
    std::lock_guard lock(mutex_);
    busPresent_[busAddress & 0xFE] = present;
}

void SimCameraModel::SetFpgaBusyReads(int count) {
    std::lock_guard lock(mutex_);
    fpga_.SetBusyReads(count);
}

void SimCameraModel::SetScene(SceneKind kind) {
    std::lock_guard lock(mutex_);
    scene_.SetKind(kind);
}

SceneKind SimCameraModel::Scene() const {
    std::lock_guard lock(mutex_);
    return scene_.Kind();
}

void SimCameraModel::SetFastRender(bool fast) {
    std::lock_guard lock(mutex_);
    scene_.SetFastRender(fast);
}

bool SimCameraModel::FastRender() const {
    std::lock_guard lock(mutex_);
    return scene_.FastRender();
}

bool SimCameraModel::SetDefects(int hot, int dead, uint32_t seed) {
    std::lock_guard lock(mutex_);
    return scene_.SetDefects(hot, dead, seed);
}

std::vector<SimScene::Defect> SimCameraModel::Defects() const {
    std::lock_guard lock(mutex_);
    return scene_.Defects();
}

SimModelTrace SimCameraModel::Trace() const {
    std::lock_guard lock(mutex_);
    return trace_;
}

void SimCameraModel::ClearTrace() {
    std::lock_guard lock(mutex_);
    trace_ = SimModelTrace{};
}

}  // namespace velcor::sim
