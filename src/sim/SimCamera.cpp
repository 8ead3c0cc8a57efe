#include "sim/SimCamera.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "protocol/FpgaRegisterMap.h"
#include "protocol/UsbProtocol.h"
#include "sim/SimHub.h"
#include "sim/SimRoze9701Chip.h"

namespace velcor::sim {
namespace {

using platform::IoRequest;

using usb::kBusAux;
using usb::kBusEeprom;
using usb::kBusFpga;
using usb::kBusSensor;
using usb::kEndpointFrames;
using usb::kEndpointFrames83;
using usb::kEndpointOut;
constexpr uint16_t kProductFrames83 = 0x3042;
constexpr uint16_t kProductRoze9701 = 0x32C0;
constexpr uint32_t kPage = 4096;
// The largest frame the FPGA sends: what one bulk transfer of the driver can hold.
constexpr size_t kMaxFrameBytes = 0x4000000;
// Unit buffers up to this size are kept apart from frame buffers.
constexpr size_t kSmallUnit = 4096;
constexpr size_t kSpareBuffers = 48;
// The offsets of the picture in the ROZE9701's output, as the FPGA is configured at power-on.
constexpr uint8_t kRozeVerticalOffset = 10;
constexpr uint8_t kRozeHorizontalOffset = 32;
constexpr uint32_t kRozeFrameLength = 1054;
constexpr uint32_t kRozeLineLength = 1344;

uint32_t SeedOf(const std::string& text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : text)
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

std::unique_ptr<SimSensor> MakeSensor(uint16_t productId) {
    if (productId == kProductRoze9701) return std::make_unique<SimRoze9701Chip>();
    return std::make_unique<SimSensor>();
}

std::chrono::steady_clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(std::max(seconds, 0.0)));
}

uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void Put16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, sizeof v);
}
void Put32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}

// Trace lists keep the newest entries of a long run.
template <typename T>
void Record(std::vector<T>& list, T entry) {
    constexpr size_t kLimit = 65536;
    if (list.size() >= kLimit) list.erase(list.begin(), list.begin() + kLimit / 2);
    list.push_back(std::move(entry));
}

bool IsInEndpoint(uint8_t endpoint) {
    return endpoint == kEndpointFrames || endpoint == kEndpointFrames83;
}

}  // namespace

std::string SimCamera::MakePath(uint16_t vendorId, uint16_t productId, const std::string& serial,
                                const platform::GUID& interfaceClass) {
    std::string instance;
    for (char c : serial) {
        instance += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_%04x&pid_%04x#", vendorId, productId);
    return prefix + instance + "#" + platform::GuidToString(interfaceClass);
}

SimCamera::SimCamera(int id, const SimCameraConfig& config, const platform::GUID& interfaceClass)
    : id_(id),
      config_(config),
      interfaceClass_(interfaceClass),
      path_(MakePath(config.vendorId, config.productId, config.serialNumber, interfaceClass)),
      sensor_(MakeSensor(config.productId)),
      scene_(SimRoze9701Sensor::kFullWidth, SimRoze9701Sensor::kFullHeight,
             SeedOf(config.serialNumber)),
      frameNumber_(config.frameNumberStart),
      fastFrames_(config.fastFrames),
      lastFrameBoundary_(std::chrono::steady_clock::now()) {
    fpga_.SetWriteObserver([this](uint8_t reg, uint8_t value) { OnFpgaWrite(reg, value); });
    scene_.SetDefects(config.hotPixels, config.deadPixels, SeedOf(config.serialNumber) ^ 0xDEFEC7u);
    spareSmall_.reserve(kSpareBuffers);
    spareLarge_.reserve(kSpareBuffers);
    busPresent_ = {{kBusFpga, true}, {kBusSensor, true}, {kBusAux, true}, {kBusEeprom, true}};

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
    fpga_.Set(fpga::kSlotSize0, static_cast<uint8_t>(config.slotSizeUnits));
    fpga_.Set(fpga::kSlotSize1, static_cast<uint8_t>(config.slotSizeUnits >> 8));
    fpga_.Set(fpga::kSlotSize2, static_cast<uint8_t>(config.slotSizeUnits >> 16));
    fpga_.Set(fpga::kSlotSize3, static_cast<uint8_t>(config.slotSizeUnits >> 24));
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
    resetsToReady_ = config.readyAfterResets;
    notReadyPolls_ = std::max(config.notReadyPolls, 0);
    SetReady(config.readyAfterResets == 0);

    const std::string& serial = config.serialNumber;
    for (size_t i = 0; i < serial.size() && i < rom::kSerialNumberLength; ++i) {
        eeprom_.Set(static_cast<uint16_t>(rom::kSerialNumber + i), static_cast<uint8_t>(serial[i]));
    }

    Put16(info1_.data(), config.vendorId);
    Put16(info1_.data() + 2, config.productId);
    Put16(info1_.data() + 24, config.firmwareVersion);
    std::memcpy(info2_.data(), serial.data(), std::min<size_t>(serial.size(), 32));
}

SimCamera::~SimCamera() = default;

void SimCamera::SetReady(bool ready) {
    ready_ = ready;
    fpga_.Set(fpga::kStartupIndicator, ready ? config_.startupIndicator : 0);
    fpga_.Set(fpga::kReadyState, ready ? fpga::kReadyStateUp : 0);
}

void SimCamera::OnFpgaWrite(uint8_t reg, uint8_t value) {
    Record(trace_.fpgaWrites, std::make_pair(reg, value));
    // Setting the frame release bit drops what the frame endpoint still holds, so the next
    // frame starts with its header.
    if (reg == fpga::kFrameRelease && value == 1) FlushIn(kEndpointFrames);
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
bool SimCamera::IsPresent() const {
    std::lock_guard lock(mutex_);
    return present_;
}

void SimCamera::Deliver(Completions& done) {
    for (Completion& c : done)
        c.request->Complete(c.error, c.bytes);
    done.clear();
}

bool SimCamera::TakeFault(SimFault fault) {
    auto found = faults_.find(static_cast<int>(fault));
    if (found == faults_.end() || found->second <= 0) return false;
    --found->second;
    return true;
}

bool SimCamera::InjectFault(SimFault fault, int count) {
    if (count < 0) return false;
    std::lock_guard lock(mutex_);
    switch (fault) {
        case SimFault::FpgaBusy:
            fpga_.SetBusyReads(count);
            return true;
        case SimFault::ControlFails:
        case SimFault::BulkStalls:
        case SimFault::BulkStatus:
        case SimFault::I2cNack:
        case SimFault::HeaderLost:
        case SimFault::ShortFrame:
            faults_[static_cast<int>(fault)] = count;
            return true;
        case SimFault::UnplugAfterFrames:
            unplugArmed_ = count > 0;
            framesBeforeUnplug_ = count;
            return true;
    }
    return false;
}

void SimCamera::StartIo(const std::shared_ptr<IoRequest>& request) {
    Completions done;
    {
        std::lock_guard lock(mutex_);
        if (!present_) {
            done.push_back({request, platform::kErrorDeviceNotConnected, 0});
        } else {
            switch (request->Code()) {
                case kIoctlControlTransfer:
                    HandleControl(request, done);
                    break;
                case kIoctlBufferedBulk:
                    HandleBulk(request, true, done);
                    break;
                case kIoctlDirectTransfer:
                    HandleBulk(request, false, done);
                    break;
                case kIoctlResetPipe:
                    // Clears a halted pipe; the bridge keeps no halt state the host could see.
                    done.push_back({request,
                                    request->InputSize() >= 1 ? platform::kErrorSuccess
                                                              : platform::kErrorInvalidParameter,
                                    0});
                    break;
                case kIoctlResetPort:
                    // A port reset ends every transfer and empties the bridge's buffers.
                    FailPending(0, true, platform::kErrorOperationAborted, done);
                    FailFrameAnswers(true, 0, platform::kErrorOperationAborted, done);
                    for (auto& [endpoint, queue] : in_)
                        FlushIn(endpoint);
                    writeRemaining_ = 0;
                    done.push_back({request, platform::kErrorSuccess, 0});
                    break;
                case kIoctlAbortPipe:
                    if (request->InputSize() < 1) {
                        done.push_back({request, platform::kErrorInvalidParameter, 0});
                        break;
                    }
                    ++trace_.aborts;
                    FailPending(request->Input()[0], false, platform::kErrorOperationAborted, done);
                    done.push_back({request, platform::kErrorSuccess, 0});
                    break;
                case kIoctlDeviceSpeed:
                    if (request->OutputSize() < 4) {
                        done.push_back({request, platform::kErrorInsufficientBuffer, 0});
                        break;
                    }
                    Put32(request->Output(), kDeviceSpeedSuperSpeed);
                    done.push_back({request, platform::kErrorSuccess, 4});
                    break;
                default:
                    done.push_back({request, platform::kErrorInvalidFunction, 0});
                    break;
            }
            // A frame asked for while the buffers were full: the host may have made room.
            if (fastFrameOwed_ && RoomForFrame()) SimHub::Instance().Wake();
        }
        done.insert(done.end(), deferred_.begin(), deferred_.end());
        deferred_.clear();
    }
    Deliver(done);
    DetachIfUnplugged();
}

void SimCamera::DetachIfUnplugged() {
    {
        std::lock_guard lock(mutex_);
        if (!unplugNow_) return;
        unplugNow_ = false;
    }
    // Leaves the device list as a pulled cable does; a camera the hub does not know only
    // goes dark.
    if (!SimHub::Instance().Detach(id_)) Unplug();
}

void SimCamera::CancelIo(uint64_t owner) {
    Completions done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->request->Owner() == owner) {
                done.push_back({it->request, platform::kErrorOperationAborted, 0});
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        FailFrameAnswers(false, owner, platform::kErrorOperationAborted, done);
    }
    Deliver(done);
}

void SimCamera::Unplug() {
    Completions done;
    {
        std::lock_guard lock(mutex_);
        present_ = false;
        FailPending(0, true, platform::kErrorDeviceNotConnected, done);
        FailFrameAnswers(true, 0, platform::kErrorDeviceNotConnected, done);
        fastFrameOwed_ = false;
    }
    Deliver(done);
}

void SimCamera::FailPending(uint8_t endpoint, bool all, uint32_t error, Completions& done) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (all || it->endpoint == endpoint) {
            done.push_back({it->request, error, 0});
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

void SimCamera::PopUnit(InQueue& queue) {
    GiveBack(queue.Front().bytes);
    queue.Front().failed = false;
    queue.head = (queue.head + 1) % kMaxQueuedUnits;
    --queue.count;
    queue.offset = 0;
}

void SimCamera::FlushIn(uint8_t endpoint) {
    InQueue& queue = in_[endpoint];
    while (queue.count > 0)
        PopUnit(queue);
}

std::vector<uint8_t> SimCamera::TakeBuffer(size_t size) {
    auto& spare = size <= kSmallUnit ? spareSmall_ : spareLarge_;
    std::vector<uint8_t> buffer;
    if (!spare.empty()) {
        buffer = std::move(spare.back());
        spare.pop_back();
    }
    buffer.resize(size);
    return buffer;
}

void SimCamera::GiveBack(std::vector<uint8_t>& buffer) {
    auto& spare = buffer.capacity() <= kSmallUnit ? spareSmall_ : spareLarge_;
    if (buffer.capacity() > 0 && spare.size() < kSpareBuffers) spare.push_back(std::move(buffer));
    buffer = std::vector<uint8_t>();
}

// --- Endpoint 0 --------------------------------------------------------------------------

void SimCamera::HandleControl(const std::shared_ptr<IoRequest>& request, Completions& done) {
    answerLater_ = false;
    uint8_t* record = request->Input();
    const uint32_t size = request->InputSize();
    if (record == nullptr || size < record::kSize) {
        done.push_back({request, platform::kErrorInvalidParameter, 0});
        return;
    }
    const ControlSetup setup{record[record::kRequestType], record[record::kRequest],
                             Get16(record + record::kValue), Get16(record + record::kIndex),
                             Get16(record + record::kLength)};
    Record(trace_.control, setup);
    const uint32_t offset = Get32(record + record::kBufferOffset);
    uint32_t length = Get32(record + record::kBufferLength);
    if (offset < record::kSize || offset > size) {
        done.push_back({request, platform::kErrorInvalidParameter, 0});
        return;
    }
    length = std::min(length, size - offset);
    if (TakeFault(SimFault::ControlFails) ||
        !HandleVendorRequest(setup.requestType, setup.request, setup.value, setup.index,
                             record + offset, length)) {
        // Endpoint 0 stalls the request.
        Put32(record + record::kUsbStatus, kUsbStatusStall);
        done.push_back({request, platform::kErrorGenFailure, 0});
        return;
    }
    Put32(record + record::kDriverStatus, 0);
    Put32(record + record::kUsbStatus, 0);
    if (answerLater_) {
        answerLater_ = false;
        frameAnswers_.push_back({request, offset + length});
        SimHub::Instance().Wake();
        return;
    }
    done.push_back({request, platform::kErrorSuccess, offset + length});
}

I2cSlave* SimCamera::BusDevice(uint8_t busAddress) {
    const uint8_t address = busAddress & 0xFE;
    auto present = busPresent_.find(address);
    if (present == busPresent_.end() || !present->second) return nullptr;
    switch (address) {
        case kBusFpga:
            return &fpga_;
        case kBusSensor:
            return sensor_.get();
        case kBusAux:
            return &aux_;
        case kBusEeprom:
            return &eeprom_;
        default:
            return nullptr;
    }
}

bool SimCamera::HandleVendorRequest(uint8_t /*requestType*/, uint8_t request, uint16_t value,
                                    uint16_t index, uint8_t* data, uint32_t dataLength) {
    switch (request) {
        case usb::kRequestI2cWrite:   // wValue bytes to bus address wIndex
        case usb::kRequestI2cRead: {  // wValue bytes from bus address wIndex (bit 0 set)
            if (value > dataLength || value > 64) return false;
            I2cSlave* device = BusDevice(static_cast<uint8_t>(index));
            if (device == nullptr || index > 0xFF || TakeFault(SimFault::I2cNack)) return false;
            if (request == usb::kRequestI2cWrite) return device->Write(data, value);
            std::memset(data, 0, dataLength);
            return device->Read(data, value);
        }
        case usb::kRequestWriteRegister32:  // address bit 15 in wValue, bits 0-14 in wIndex
            if (dataLength < 4) return false;
            registers32_[static_cast<uint32_t>(value) << 15 | (index & 0x7FFF)] = Get32(data);
            return true;
        case usb::kRequestReadRegister16: {
            if (dataLength < 2) return false;
            std::memset(data, 0, dataLength);
            auto found = registers32_.find(index);
            Put16(data, static_cast<uint16_t>(found != registers32_.end() ? found->second : 0));
            return true;
        }
        case usb::kRequestWriteSensor16:  // sensor register: address high, low, value high, low
            if (dataLength < 4) return false;
            return sensor_->WriteRegister16(static_cast<uint16_t>(data[0] << 8 | data[1]),
                                            static_cast<uint16_t>(data[2] << 8 | data[3]));
        case usb::kRequestReadSensor16: {
            if (dataLength < 2) return false;
            uint16_t result = 0;
            if (!sensor_->ReadRegister16(value, &result)) return false;
            std::memset(data, 0, dataLength);
            Put16(data, result);
            return true;
        }
        case usb::kRequestSetFirmwareByte:
            if (dataLength < 1) return false;
            firmwareByte_ = data[0];
            return true;
        case usb::kRequestGetFirmwareByte:
            if (dataLength < 1) return false;
            std::memset(data, 0, dataLength);
            data[0] = firmwareByte_;
            return true;
        case usb::kRequestDeviceInfo:
        case usb::kRequestDeviceInfo2:
            std::memset(data, 0, dataLength);
            std::memcpy(data, (request == usb::kRequestDeviceInfo ? info1_ : info2_).data(),
                        std::min<size_t>(dataLength, 64));
            return true;
        case usb::kRequestReadyState:  // ready state: 1 once the FPGA has brought the sensor up
            if (dataLength < 1) return false;
            std::memset(data, 0, dataLength);
            if (notReadyPolls_ > 0) {
                --notReadyPolls_;
            } else {
                data[0] = ready_ ? 1 : 0;
            }
            return true;
        case usb::kRequestResetStreamState:  // stream state reset: the frame endpoints start empty
            FlushIn(kEndpointFrames);
            FlushIn(kEndpointFrames83);
            frameRequested_ = false;
            fastFrameOwed_ = false;
            return true;
        case usb::kRequestFrame:
            ++trace_.framesRequested;
            if (unplugArmed_ && framesBeforeUnplug_ <= 0) {
                // The cable is pulled while the request is on its way.
                unplugArmed_ = false;
                unplugNow_ = true;
                return false;
            }
            answerLater_ = !RequestFrame(std::chrono::steady_clock::now());
            return true;
        case usb::kRequestResetEndpoints:
            FlushIn(kEndpointFrames);
            FlushIn(kEndpointFrames83);
            writeRemaining_ = 0;
            frameRequested_ = false;
            fastFrameOwed_ = false;
            return true;
        default:
            return false;
    }
}

// --- Frames and frame memory -------------------------------------------------------------

bool SimCamera::RequestFrame(std::chrono::steady_clock::time_point now) {
    const SensorFrameState state = sensor_->FrameState();
    switch (state.readout) {
        case SensorReadout::Stopped:
            // Nothing is read out: the request goes unanswered.
            DropStoredFrames();
            return true;
        case SensorReadout::Triggered:
            if (!stored_.empty()) {
                SendFrame(stored_.front());
                stored_.pop_front();
            } else {
                frameRequested_ = true;
            }
            return true;
        case SensorReadout::FreeRunning:
            break;
    }
    DropStoredFrames();
    if (fastFrames_) {
        // The frame thread makes the frame and then answers; with the bridge's buffers full
        // the frame waits until the host has read enough to make room.
        if (RoomForFrame()) return false;
        fastFrameOwed_ = true;
        return true;
    }
    // The sensor runs on its own: the request is answered by the next frame it finishes.
    frameRequested_ = true;
    ScheduleSensorFrame(now);
    return true;
}

void SimCamera::ScheduleSensorFrame(std::chrono::steady_clock::time_point now) {
    if (nextFrameDue_) return;
    const auto period = std::max(Seconds(sensor_->FrameState().framePeriodSeconds),
                                 std::chrono::steady_clock::duration(1));
    const auto since = now - lastFrameBoundary_;
    const auto frames = since.count() >= 0 ? since / period + 1 : 1;
    nextFrameDue_ = lastFrameBoundary_ + frames * period;
    SimHub::Instance().Wake();
}

bool SimCamera::RoomForFrame() {
    const bool frames83 = config_.productId == kProductFrames83;
    const InQueue& queue = in_[frames83 ? kEndpointFrames83 : kEndpointFrames];
    const size_t units = frames83 ? 1 : 2;  // the data, after its header on 0x81
    return queue.count + units <= kMaxQueuedUnits;
}

void SimCamera::MakeRequestedFrames(Completions& done) {
    auto makeFrame = [this] {
        const SensorFrameState state = sensor_->FrameState();
        if (!present_ || state.readout != SensorReadout::FreeRunning) return;
        Frame frame;
        if (MakeFrame(state, false, frame)) SendFrame(frame);
    };
    while (!frameAnswers_.empty()) {
        FrameAnswer answer = std::move(frameAnswers_.front());
        frameAnswers_.pop_front();
        makeFrame();
        done.push_back({std::move(answer.request), platform::kErrorSuccess, answer.bytes});
    }
    if (fastFrameOwed_ && RoomForFrame()) {
        fastFrameOwed_ = false;
        makeFrame();
    }
}

void SimCamera::FailFrameAnswers(bool all, uint64_t owner, uint32_t error, Completions& done) {
    for (auto it = frameAnswers_.begin(); it != frameAnswers_.end();) {
        if (all || it->request->Owner() == owner) {
            done.push_back({std::move(it->request), error, 0});
            it = frameAnswers_.erase(it);
        } else {
            ++it;
        }
    }
}

double SimCamera::TriggerExposureSeconds(const SensorFrameState& state) const {
    // In trigger mode the FPGA times the exposure: its lines at its own line length.
    const uint32_t lines = fpga_.Get(fpga::kTriggerLines0) | fpga_.Get(fpga::kTriggerLines1) << 8 |
                           fpga_.Get(fpga::kTriggerLines2) << 16 |
                           (fpga_.Get(fpga::kTriggerLines3) & 0x0Fu) << 24;
    const uint32_t lineLength = fpga_.Get(fpga::kLineLengthLow) | fpga_.Get(fpga::kLineLengthHigh)
                                                                      << 8;
    if (state.pixelClockHz <= 0.0) return state.exposureSeconds;
    return static_cast<double>(std::max<uint32_t>(lines, 1)) * lineLength / state.pixelClockHz;
}

bool SimCamera::FireTrigger() {
    Completions done;
    {
        std::lock_guard lock(mutex_);
        if (!present_) return false;
        ++trace_.triggers;
        const SensorFrameState state = sensor_->FrameState();
        if (state.readout == SensorReadout::Triggered && fpga_.Get(fpga::kTriggerModeEnable) == 1) {
            if (fastFrames_) {
                FinishTriggeredFrame();
            } else {
                // Exposure, then readout of the window.
                const double readout = state.pixelClockHz > 0.0
                                           ? static_cast<double>(state.windowHeight) *
                                                 (fpga_.Get(fpga::kLineLengthLow) |
                                                  fpga_.Get(fpga::kLineLengthHigh) << 8) /
                                                 state.pixelClockHz
                                           : 0.0;
                triggerDue_.push_back(std::chrono::steady_clock::now() +
                                      Seconds(TriggerExposureSeconds(state) + readout));
                SimHub::Instance().Wake();
            }
        }
        done.swap(deferred_);
    }
    Deliver(done);
    return true;
}

void SimCamera::FinishTriggeredFrame() {
    Frame frame;
    if (!MakeFrame(sensor_->FrameState(), true, frame)) return;
    if (frameRequested_) {
        frameRequested_ = false;
        SendFrame(frame);
        return;
    }
    // Kept in frame memory until requested; the oldest slot is overwritten.
    if (stored_.size() >= std::max<uint32_t>(config_.slotCount, 1)) {
        GiveBack(stored_.front().header);
        GiveBack(stored_.front().data);
        stored_.pop_front();
    }
    stored_.push_back(std::move(frame));
}

void SimCamera::DropStoredFrames() {
    for (Frame& frame : stored_) {
        GiveBack(frame.header);
        GiveBack(frame.data);
    }
    stored_.clear();
}

bool SimCamera::MakeFrame(const SensorFrameState& state, bool triggered, Frame& frame) {
    const uint32_t width = fpga_.Get(fpga::kWidthLow) | fpga_.Get(fpga::kWidthHigh) << 8;
    const uint32_t height = fpga_.Get(fpga::kHeightLow) | fpga_.Get(fpga::kHeightHigh) << 8;
    const uint32_t bytesPerPixel = fpga_.Get(fpga::kPixelDepth) == 2 ? 2 : 1;
    const size_t bytes = size_t{width} * height * bytesPerPixel;
    if (bytes > kMaxFrameBytes) return false;  // no slot holds it

    const uint32_t frameNumber = frameNumber_++;
    slot_ = (slot_ + 1) % std::max<uint32_t>(config_.slotCount, 1);
    frame.data = TakeBuffer(bytes);
    if (state.picture) {
        FrameLayout layout;
        layout.width = width;
        layout.height = height;
        layout.bytesPerPixel = bytesPerPixel;
        layout.verticalOffset =
            fpga_.Get(fpga::kVerticalOffsetLow) | fpga_.Get(fpga::kVerticalOffsetHigh) << 8;
        layout.horizontalOffset =
            fpga_.Get(fpga::kHorizontalOffsetLow) | fpga_.Get(fpga::kHorizontalOffsetHigh) << 8;
        layout.frameNumber = frameNumber;
        layout.exposureSeconds = triggered ? TriggerExposureSeconds(state) : state.exposureSeconds;
        scene_.Render(state, layout, frame.data.data());
    } else {
        sensor_->RenderFrame(width, height, bytesPerPixel, frameNumber, frame.data.data(), bytes);
    }

    const uint64_t slotBytes = static_cast<uint64_t>(config_.slotSizeUnits) * 256;
    if (bytes <= slotBytes) WriteFrameMemoryLocked(slot_ * slotBytes, frame.data.data(), bytes);
    fpga_.Set(fpga::kFrameCounter, static_cast<uint8_t>(fpga_.Get(fpga::kFrameCounter) + 1));
    fpga_.Set(fpga::kNewestSlotLow, static_cast<uint8_t>(slot_));
    fpga_.Set(fpga::kNewestSlotHigh, static_cast<uint8_t>(slot_ >> 8));

    frame.header = TakeBuffer(usb::kFrameHeaderSize);
    uint8_t* header = frame.header.data();
    std::memset(header, 0, usb::kFrameHeaderSize);
    Put32(header + usb::kFrameHeaderNumber, frameNumber);
    Put16(header + usb::kFrameHeaderWidth, static_cast<uint16_t>(width));
    Put16(header + usb::kFrameHeaderHeight, static_cast<uint16_t>(height));
    Put32(header + usb::kFrameHeaderByteCount, static_cast<uint32_t>(bytes));
    Put16(header + usb::kFrameHeaderSlot, static_cast<uint16_t>(slot_));
    frame.headerLost = TakeFault(SimFault::HeaderLost);
    // A short frame: the transfer ends half-way, the header still announces the whole.
    if (TakeFault(SimFault::ShortFrame)) frame.data.resize(bytes / 2);
    return true;
}

void SimCamera::SendFrame(Frame& frame) {
    ++trace_.framesSent;
    if (unplugArmed_ && framesBeforeUnplug_ > 0) --framesBeforeUnplug_;
    if (config_.productId == kProductFrames83) {
        GiveBack(frame.header);
        QueueInLocked(kEndpointFrames83, frame.data, frame.headerLost);
        return;
    }
    if (frame.headerLost) {
        // The header transfer fails and the bridge drops the frame.
        QueueInLocked(kEndpointFrames, frame.header, true);
        GiveBack(frame.data);
        return;
    }
    QueueInLocked(kEndpointFrames, frame.header);
    QueueInLocked(kEndpointFrames, frame.data);
}

std::optional<std::chrono::steady_clock::time_point> SimCamera::NextFrameEvent() const {
    std::optional<std::chrono::steady_clock::time_point> next = nextFrameDue_;
    if (!triggerDue_.empty() && (!next || triggerDue_.front() < *next)) next = triggerDue_.front();
    return next;
}

void SimCamera::QueueInLocked(uint8_t endpoint, std::vector<uint8_t>& unit, bool failed) {
    InQueue& queue = in_[endpoint];
    if (queue.count == kMaxQueuedUnits) PopUnit(queue);
    Unit& slot = queue.ring[(queue.head + queue.count) % kMaxQueuedUnits];
    slot.bytes = std::move(unit);
    slot.failed = failed;
    unit = std::vector<uint8_t>();
    ++queue.count;
    ServePending(endpoint, deferred_);
}

void SimCamera::QueueIn(uint8_t endpoint, std::vector<uint8_t> unit) {
    Completions done;
    {
        std::lock_guard lock(mutex_);
        QueueInLocked(endpoint, unit);
        done.swap(deferred_);
    }
    Deliver(done);
}

size_t SimCamera::QueuedUnits(uint8_t endpoint) const {
    std::lock_guard lock(mutex_);
    auto found = in_.find(endpoint);
    return found == in_.end() ? 0 : found->second.count;
}

size_t SimCamera::PendingTransfers() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

void SimCamera::ReadFrameMemoryLocked(uint64_t address, uint8_t* out, size_t length) const {
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

void SimCamera::WriteFrameMemoryLocked(uint64_t address, const uint8_t* data, size_t length) {
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

void SimCamera::ReadFrameMemory(uint64_t address, uint8_t* out, size_t length) const {
    std::lock_guard lock(mutex_);
    ReadFrameMemoryLocked(address, out, length);
}

void SimCamera::WriteFrameMemory(uint64_t address, const uint8_t* data, size_t length) {
    std::lock_guard lock(mutex_);
    WriteFrameMemoryLocked(address, data, length);
}

// --- Bulk endpoints ----------------------------------------------------------------------

void SimCamera::HandleBulk(const std::shared_ptr<IoRequest>& request, bool buffered,
                           Completions& done) {
    uint8_t* record = request->Input();
    if (record == nullptr || request->InputSize() < record::kSize) {
        done.push_back({request, platform::kErrorInvalidParameter, 0});
        return;
    }
    const uint8_t endpoint = record[record::kEndpoint];
    uint8_t* data = request->Output();
    uint32_t length = request->OutputSize();
    if (buffered) {
        const uint32_t offset = Get32(record + record::kBufferOffset);
        const uint32_t size = request->InputSize();
        if (offset < record::kSize || offset > size) {
            done.push_back({request, platform::kErrorInvalidParameter, 0});
            return;
        }
        data = record + offset;
        length = std::min(Get32(record + record::kBufferLength), size - offset);
    }
    if (endpoint != kEndpointOut && !IsInEndpoint(endpoint)) {
        done.push_back({request, platform::kErrorInvalidParameter, 0});
        return;
    }
    ++trace_.bulkTransfers[endpoint];
    Put32(record + record::kDriverStatus, 0);
    Put32(record + record::kUsbStatus, 0);

    Pending pending{request,
                    endpoint,
                    buffered,
                    TakeFault(SimFault::BulkStalls),
                    TakeFault(SimFault::BulkStatus),
                    std::nullopt};
    if (pending.stalled) {
        pending_.push_back(std::move(pending));
        return;
    }
    if (endpoint == kEndpointOut) {
        HandleOut(data, length);
        trace_.bulkBytes[endpoint] += length;
        if (pending.badStatus) Put32(record + record::kUsbStatus, kUsbStatusStall);
        done.push_back({request, platform::kErrorSuccess,
                        buffered ? static_cast<uint32_t>(record::kSize) + length : length});
        return;
    }
    const uint32_t timeoutSeconds = Get32(record + record::kTimeout);
    if (timeoutSeconds != 0) {
        pending.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    }
    const bool hasDeadline = pending.deadline.has_value();
    pending_.push_back(std::move(pending));
    ServePending(endpoint, done);
    if (hasDeadline) SimHub::Instance().Wake();
}

// Hands queued data to the pending reads of the endpoint, oldest first.
void SimCamera::ServePending(uint8_t endpoint, Completions& done) {
    InQueue& queue = in_[endpoint];
    for (auto it = pending_.begin(); it != pending_.end() && queue.count > 0;) {
        if (it->endpoint != endpoint || it->stalled) {
            ++it;
            continue;
        }
        FinishRead(*it, done);
        it = pending_.erase(it);
    }
}

void SimCamera::FinishRead(Pending& pending, Completions& done) {
    IoRequest& request = *pending.request;
    uint8_t* record = request.Input();
    uint8_t* data = request.Output();
    uint32_t length = request.OutputSize();
    if (pending.buffered) {
        const uint32_t offset = Get32(record + record::kBufferOffset);
        data = record + offset;
        length = std::min(Get32(record + record::kBufferLength), request.InputSize() - offset);
    }
    InQueue& queue = in_[pending.endpoint];
    Unit& unit = queue.Front();
    if (unit.failed) {
        // The transfer fails on the bus: no data, a USB error status.
        PopUnit(queue);
        Put32(record + record::kUsbStatus, kUsbStatusXactError);
        done.push_back({pending.request, platform::kErrorSuccess,
                        pending.buffered ? static_cast<uint32_t>(record::kSize) : 0u});
        return;
    }
    // A read ends at the end of a transfer unit (a short packet) or when it is full.
    const size_t n = std::min<size_t>(length, unit.bytes.size() - queue.offset);
    if (n > 0) std::memcpy(data, unit.bytes.data() + queue.offset, n);
    queue.offset += n;
    if (queue.offset >= unit.bytes.size()) PopUnit(queue);
    trace_.bulkBytes[pending.endpoint] += n;
    if (pending.badStatus) Put32(record + record::kUsbStatus, kUsbStatusStall);
    const uint32_t bytes = static_cast<uint32_t>(n) + (pending.buffered ? record::kSize : 0);
    done.push_back({pending.request, platform::kErrorSuccess, bytes});
}

void SimCamera::HandleOut(const uint8_t* data, uint32_t length) {
    if (writeRemaining_ > 0) {
        const uint32_t n = std::min(length, writeRemaining_);
        WriteFrameMemoryLocked(writeAddress_, data, n);
        writeAddress_ += n;
        writeRemaining_ -= n;
        return;
    }
    // A frame-memory command.
    if (length < usb::memory::kCommandSize ||
        Get32(data + usb::memory::kVersion) != usb::memory::kVersionValue) {
        return;
    }
    const uint8_t* tag = data + usb::memory::kTag;
    const bool read = std::memcmp(tag, usb::memory::kReadTag, sizeof usb::memory::kReadTag) == 0;
    const bool write = std::memcmp(tag, usb::memory::kWriteTag, sizeof usb::memory::kWriteTag) == 0;
    if (!read && !write) return;
    const uint64_t address = Get32(data + usb::memory::kAddressLow) |
                             static_cast<uint64_t>(Get32(data + usb::memory::kAddressHigh)) << 32;
    const uint32_t bytes = Get32(data + usb::memory::kLength);
    Record(trace_.memoryCommands, MemoryCommandRecord{write, address, bytes});
    if (write) {
        writeAddress_ = address;
        writeRemaining_ = bytes;
        return;
    }
    if (bytes > kMaxFrameBytes) return;
    std::vector<uint8_t> unit = TakeBuffer(bytes);
    ReadFrameMemoryLocked(address, unit.data(), bytes);
    QueueInLocked(kEndpointFrames, unit);
}

std::optional<std::chrono::steady_clock::time_point> SimCamera::RunHardware(
    std::chrono::steady_clock::time_point now) {
    Completions done;
    std::optional<std::chrono::steady_clock::time_point> next;
    {
        std::lock_guard lock(mutex_);
        MakeRequestedFrames(done);
        // Frames the sensor finishes by now.
        if (nextFrameDue_ && *nextFrameDue_ <= now) {
            lastFrameBoundary_ = *nextFrameDue_;
            nextFrameDue_.reset();
            const SensorFrameState state = sensor_->FrameState();
            if (present_ && frameRequested_ && state.readout == SensorReadout::FreeRunning) {
                frameRequested_ = false;
                Frame frame;
                if (MakeFrame(state, false, frame)) SendFrame(frame);
            }
        }
        while (!triggerDue_.empty() && triggerDue_.front() <= now) {
            triggerDue_.pop_front();
            if (present_) FinishTriggeredFrame();
        }
        next = NextFrameEvent();
        done.insert(done.end(), std::make_move_iterator(deferred_.begin()),
                    std::make_move_iterator(deferred_.end()));
        deferred_.clear();
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->deadline && *it->deadline <= now) {
                done.push_back({it->request, platform::kErrorSemTimeout, 0});
                it = pending_.erase(it);
                continue;
            }
            if (it->deadline && (!next || *it->deadline < *next)) next = it->deadline;
            ++it;
        }
    }
    Deliver(done);
    return next;
}

// --- Access for tests and models ---------------------------------------------------------

uint8_t SimCamera::FpgaRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return fpga_.Get(reg);
}

void SimCamera::SetFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(mutex_);
    fpga_.Set(reg, value);
}

uint8_t SimCamera::EepromByte(uint16_t address) const {
    std::lock_guard lock(mutex_);
    return eeprom_.Get(address);
}

uint8_t SimCamera::AuxRegister(uint8_t reg) const {
    std::lock_guard lock(mutex_);
    return aux_.Get(reg);
}

uint8_t SimCamera::SensorRegister(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return sensor_->Peek(reg).value_or(0);
}

std::optional<int> SimCamera::GetRegister(RegisterSpace space, int address) const {
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

bool SimCamera::SetRegister(RegisterSpace space, int address, int value) {
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

void SimCamera::SetScene(SceneKind kind) {
    std::lock_guard lock(mutex_);
    scene_.SetKind(kind);
}

SceneKind SimCamera::Scene() const {
    std::lock_guard lock(mutex_);
    return scene_.Kind();
}

bool SimCamera::SetDefects(int hot, int dead, uint32_t seed) {
    std::lock_guard lock(mutex_);
    return scene_.SetDefects(hot, dead, seed);
}

std::vector<SimScene::Defect> SimCamera::Defects() const {
    std::lock_guard lock(mutex_);
    return scene_.Defects();
}

void SimCamera::SetFastFrames(bool fast) {
    std::lock_guard lock(mutex_);
    fastFrames_ = fast;
    if (!fast && fastFrameOwed_) {
        // The frame still owed comes from the sensor now.
        fastFrameOwed_ = false;
        frameRequested_ = true;
        ScheduleSensorFrame(std::chrono::steady_clock::now());
    }
}

bool SimCamera::FastFrames() const {
    std::lock_guard lock(mutex_);
    return fastFrames_;
}

void SimCamera::SetSensor(std::unique_ptr<SimSensor> sensor) {
    if (sensor == nullptr) return;
    std::lock_guard lock(mutex_);
    sensor_ = std::move(sensor);
}

void SimCamera::SetBusDevicePresent(uint8_t busAddress, bool present) {
    std::lock_guard lock(mutex_);
    busPresent_[busAddress & 0xFE] = present;
}

uint32_t SimCamera::Register32(uint32_t address) const {
    std::lock_guard lock(mutex_);
    auto found = registers32_.find(address);
    return found != registers32_.end() ? found->second : 0;
}

void SimCamera::SetDeviceInfo(int block, const uint8_t info[64]) {
    std::lock_guard lock(mutex_);
    std::memcpy((block == 1 ? info1_ : info2_).data(), info, 64);
}

SimTrace SimCamera::Trace() const {
    std::lock_guard lock(mutex_);
    return trace_;
}

void SimCamera::ClearTrace() {
    std::lock_guard lock(mutex_);
    trace_ = SimTrace{};
}

}  // namespace velcor::sim
