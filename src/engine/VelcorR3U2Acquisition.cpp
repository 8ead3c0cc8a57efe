// Frame acquisition of the engine: one acquisition thread per engine moves frames from the
// camera into a ring of four frame buffers; the camera object's threads wait for the frame
// event and copy the newest frame out. Also the frame-buffer geometry, the pixel depth and the
// trigger modes, since all three change how frames are transferred.
//
// The thread claims the ring buffer at writeIndex under the ring's lock, reads the frame
// straight into it, then numbers it, advances writeIndex and signals the frame event; readers
// copy the newest frame (the buffer before writeIndex) or the oldest unread one out under the
// lock and remember the number of the frame they took, or hold the oldest unread one where it
// lies: its buffer is traded out of the ring for the buffer of the frame held before.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/ProductTraits.h"
#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/FpgaRegisterMap.h"
#include "sensors/SensorBase.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

constexpr int kModeContinuous = 0;
constexpr int kModeSingle = 1;
constexpr int kModeTrigger = 2;
constexpr int kModeLatch = 3;

constexpr uint8_t kFrameEndpoint = 0x81;
constexpr int kFrameCounterRegister = fpga::kFrameCounter;
constexpr uint32_t kMeterWindowMs = 1000;

// Ring depth: never below the four buffers the camera object counts on. Up to 64 MiB it takes
// more, so that at the sensor's rate a full frame ring covers a worker that other programs
// keep off the processor for most of a second (32 frames at 8 bits, 20 at 16 bits, 1.2 s and
// 0.8 s at 25.5 frames/s) instead of overwriting frames it has not read. Giving the worker a
// raised priority would need privileges an application rarely has, and a hand-off that never
// blocks the acquisition thread is what the ring already is; the depth is what protects the
// frames on every platform.
constexpr size_t kMinRingDepth = 4;
constexpr size_t kMaxRingDepth = 32;
constexpr size_t kRingBudgetBytes = size_t{64} << 20;

// Firmware from this version on has a stream pipe of its own to reset.
constexpr int kPipeResetFirmware = 0x1100;
// Sensor drivers of these model codes release frames through FPGA 0x96 instead of 0x6C.
constexpr int kModelCodeSerialHead = 103;
constexpr int kModelCodeLargeFormat = 115;
constexpr int kTransferResetValue = 2;  // FPGA 0x68 while the transfer is reset
// The video converter takes pixel depth modes 0 to 2.
constexpr int kHighestDepthMode3D = 2;
// The trigger mode bits that the FPGA takes in 0x24 when the mode goes there directly.
constexpr int kTriggerEnable24Mask = 0x83;
// IMX990/991 FPGA designs up to this version latch the frame counter at once.
constexpr uint16_t kLatchedTriggerFpgaVersion = 0x110;

void FillRequest(FrameRequest& request, std::vector<uint8_t>& buffer, int frameBytes) {
    std::memset(request.header, 0, sizeof request.header);
    request.slot = 0;
    request.buffer = buffer.data();
    request.capacity = static_cast<uint32_t>(buffer.size());
    request.expectedBytes = static_cast<uint32_t>(frameBytes);
}

}  // namespace

// ---- Helpers ---------------------------------------------------------------------------------

void CVelcorR3U2Base::PulseSensor() {
    const int reg = sensor_ && (sensor_->ModelCode() == kModelCodeSerialHead ||
                                sensor_->ModelCode() == kModelCodeLargeFormat)
                        ? fpga::kFrameReleaseAlt
                        : fpga::kFrameRelease;
    WriteFpgaRegister(reg, 1);
    platform::Sleep(1);
    WriteFpgaRegister(reg, 0);
    platform::Sleep(1);
}

void CVelcorR3U2Base::WriteFpgaPair(int lowRegister, int value) {
    WriteFpgaRegister(lowRegister, value & 0xFF);
    WriteFpgaRegister(lowRegister + 1, (value >> 8) & 0xFF);
}

uint8_t* CVelcorR3U2Base::ClaimRingSlot() {
    std::lock_guard lock(ringLock_);
    const auto depth = static_cast<uint64_t>(frames_.size());
    if (depth == 0) return nullptr;
    const uint64_t next = finishedSequence_ + 1;
    // The buffer still holds frame next - depth; a reader that has not taken it by now has
    // lost it.
    if (next > depth && lastReadSequence_ < next - depth) {
        framesDropped_ += next - depth - lastReadSequence_;
        lastReadSequence_ = next - depth;
    }
    const int slot = static_cast<int>(finishedSequence_ % depth);
    writeIndex_ = slot;
    return frames_[static_cast<size_t>(slot)].data();
}

bool CVelcorR3U2Base::AimRequestAtRing(FrameRequest& request) {
    uint8_t* slot = ClaimRingSlot();
    if (slot == nullptr) return false;
    request.buffer = slot;
    request.capacity = static_cast<uint32_t>(frames_[static_cast<size_t>(writeIndex_)].size());
    return true;
}

void CVelcorR3U2Base::PublishFrame() {
    {
        std::lock_guard lock(ringLock_);
        ++finishedSequence_;
        writeIndex_ = static_cast<int>(finishedSequence_ % frames_.size());
    }
    frameEvent_.Set();
}

void CVelcorR3U2Base::MarkRingRead() {
    std::lock_guard lock(ringLock_);
    lastReadSequence_ = finishedSequence_;
}

bool CVelcorR3U2Base::HasNewFrame() {
    std::lock_guard lock(ringLock_);
    return finishedSequence_ > lastReadSequence_;
}

bool CVelcorR3U2Base::FrameCounterLost(uint32_t& failingSinceMs) {
    const uint32_t now = platform::TimeGetTime();
    if (failingSinceMs == 0) failingSinceMs = now | 1;
    // An unplugged camera cannot be opened any more; any other failure is given as long as a
    // frame may take before the camera counts as lost.
    if (!controller_->ProbeDevice(controller_->DeviceIndex())) return true;
    return now - failingSinceMs >= frameTimeout_;
}

void CVelcorR3U2Base::MeterFrame() {
    const uint32_t now = platform::TimeGetTime();
    if (meterCount_ == 0 && meterStartMs_ == 0) meterStartMs_ = now;
    ++meterCount_;
    const uint32_t elapsed = now - meterStartMs_;  // wraps correctly
    if (elapsed >= kMeterWindowMs) {
        framesPerSecond_ = static_cast<float>(meterCount_) * 1000.0f / static_cast<float>(elapsed);
        meterCount_ = 0;
        meterStartMs_ = now;
    }
}

// ---- Starting and stopping -------------------------------------------------------------------

int CVelcorR3U2Base::StartTransfer(int mode) {
    if (running_) StopTransfer();
    if (!SetTransferMode(mode)) return 0;
    // Stopping the previous transfer signalled the event to wake its reader; the new transfer
    // starts with nothing to report: no give-up of an earlier thread, no frame of an earlier
    // transfer counted as new.
    frameEvent_.ResetSignal();
    lostFlag_ = 0;
    MarkRingRead();
    if (geometryChanged_) ConfigureFrameBuffers();
    thread_.Join();
    // Each engine has its own end-of-thread event, so one camera's stop never waits on or
    // wakes another camera's thread.
    threadEndEvent_ = std::make_unique<platform::Event>(platform::Event::Reset::Auto);
    running_ = 1;
    if (!thread_.Start([this] { RunAcquisitionThread(); }, platform::ThreadPriority::TimeCritical,
                       "velcor-acquire")) {
        running_ = 0;
        return 0;
    }
    if (sensor_) sensor_->OnStreamStart();
    return 1;
}

void CVelcorR3U2Base::RunAcquisitionThread() {
    if (traits_->transferPath == TransferPath::kEndpoint83) {
        AcquisitionLoop83();
    } else {
        AcquisitionLoop();
    }
}

int CVelcorR3U2Base::StopTransfer() {
    if (sensor_) sensor_->OnStreamStop();
    if (running_) {
        running_ = 0;
        // A read waiting for a frame that will not come (long exposure, lost camera) is
        // cancelled rather than waited out.
        if (controller_) controller_->AbortStream();
        if (threadEndEvent_) threadEndEvent_->Wait();
    }
    thread_.Join();
    platform::Sleep(1);
    threadEndEvent_.reset();
    // The frame event stays alive so that a reader waiting on it wakes safely.
    frameEvent_.Set();
    ResetTransfer();
    platform::Sleep(5);
    transferMode_ = kModeContinuous;
    return 1;
}

int CVelcorR3U2Base::SetTransferMode(int mode) {
    if (!controller_) return 0;
    if (mode != transferMode_) {
        StopTransfer();
        if (mode == kModeTrigger) {
            MarkRingRead();
            LatchFrameCounter();
        }
    }
    transferMode_ = mode;
    return 1;
}

int CVelcorR3U2Base::ResetTransfer() {
    if (!controller_) return 0;
    if (traits_->transferPath == TransferPath::kEndpoint83) {
        controller_->ResetDevicePort();
    } else {
        if (FirmwareVersion() >= kPipeResetFirmware) controller_->ResetStreamPipe(kFrameEndpoint);
        if (traits_->pulsesOnReset) PulseSensor();
        WriteFpgaRegister(fpga::kTransferReset, kTransferResetValue);
        if (traits_->resetSettleMs > 0) platform::Sleep(traits_->resetSettleMs);
    }
    controller_->ResetStreamState();
    return 1;
}

// ---- The loop bodies -------------------------------------------------------------------------

int CVelcorR3U2Base::FinishLoop(int result) {
    // Tell StopTransfer the loop is over, and wake a reader when the camera was given up.
    threadEndEvent_->Set();
    if (lostFlag_) frameEvent_.Set();
    running_ = 0;
    return result;
}

int CVelcorR3U2Base::AcquisitionLoop() {
    if (traits_->transferPath == TransferPath::kFrameMemory) return AcquisitionLoopMemory();
    if (!controller_ || transferBuffer_.empty()) return FinishLoop(0);
    FrameRequest request{};
    FillRequest(request, transferBuffer_, frameBytes_);
    lostFlag_ = 0;
    int attempts = 0;
    uint32_t counterFailingSince = 0;
    if (controller_->OpenStream()) {
        while (running_) {
            if (pendingExposure_.exchange(0) != 0 && sensor_) {
                sensor_->SetExposure(static_cast<int32_t>(pendingExposureValue_.load()));
            }
            if (transferMode_ == kModeTrigger) {
                int ok = 0;
                const int counter = ReadFpgaRegister(kFrameCounterRegister, &ok);
                if (!ok && FrameCounterLost(counterFailingSince)) {
                    lostFlag_ = 1;
                    frameEvent_.Set();
                    break;
                }
                if (ok) counterFailingSince = 0;
                if (!ok || counter == lastFrameCounter_) {
                    platform::Sleep(1);
                    continue;
                }
                lastFrameCounter_ = static_cast<uint16_t>(counter);
            }
            bool headerLost = false;
            bool ok = controller_->ReadFrameHeader(&request) != 0;
            if (!ok) {
                headerLost = true;
            } else {
                if (transferMode_ == kModeLatch) {
                    lastFrameCounter_ = request.slot;
                    break;
                }
                if (transferMode_ != kModeTrigger) lastFrameCounter_ = request.slot;
                const uint32_t start = platform::TimeGetTime();
                ok = AimRequestAtRing(request) &&
                     controller_->ReadFrameData(&request, frameTimeout_) != 0;
                if (ok) {
                    attempts = 0;
                    const uint32_t elapsed = std::max<uint32_t>(platform::TimeGetTime() - start, 1);
                    // Megabits per second, counting whole KiB of the frame.
                    const double kibibytes = std::floor(frameBytes_ / 1024.0);
                    transferRate_ = (kibibytes / 128.0) / (elapsed / 1000.0);
                    MeterFrame();
                    PublishFrame();
                    if (transferMode_ == kModeSingle || transferMode_ == kModeTrigger) break;
                    continue;
                }
            }
            // Recovery: reopen the stream after resynchronising the FPGA, or give up.
            controller_->CloseStream();
            if (!running_) break;
            if (++attempts >= 5 ||
                (traits_->givesUpOnTriggerLoss && transferMode_ == kModeTrigger) ||
                (headerLost && traits_->givesUpOnLostHeader)) {
                lostFlag_ = 1;
                frameEvent_.Set();
                break;
            }
            if (traits_->resetsPipeOnRecovery) controller_->ResetStreamPipe(kFrameEndpoint);
            PulseSensor();
            controller_->OpenStream();
        }
    } else {
        // The stream cannot even be opened (the camera is gone): no frame can come, and a
        // reader waiting for one must hear so instead of waiting for ever.
        lostFlag_ = 1;
    }
    controller_->CloseStream();
    return FinishLoop(1);
}

int CVelcorR3U2Base::AcquisitionLoop83() {
    if (!controller_ || transferBuffer_.empty()) return FinishLoop(0);
    FrameRequest request{};
    FillRequest(request, transferBuffer_, frameBytes_);
    controller_->ResetStreamState();
    lostFlag_ = 0;
    uint32_t lastFrame = platform::TimeGetTime();
    controller_->OpenStream();
    int failures = 0;
    while (running_) {
        if (AimRequestAtRing(request) && controller_->ReadFrameData83(&request)) {
            lastFrame = platform::TimeGetTime();
            lostFlag_ = 0;
            MeterFrame();
            PublishFrame();
            failures = 0;
            if (transferMode_ == kModeSingle) break;
            continue;
        }
        if (!running_) break;
        if (platform::TimeGetTime() - lastFrame > 9999 || ++failures >= 11) {
            lostFlag_ = 1;
            break;
        }
        controller_->ResetDevicePort();
        controller_->ResetStreamState();
        controller_->ResetStreamPipe(kFrameEndpoint);
    }
    controller_->CloseStream();
    return FinishLoop(1);
}

int CVelcorR3U2Base::AcquisitionLoopMemory() {
    if (!controller_ || transferBuffer_.empty()) return FinishLoop(0);
    FrameRequest request{};
    FillRequest(request, transferBuffer_, frameBytes_);
    lostFlag_ = 0;
    uint64_t bytesCounted = 0;
    uint32_t countStart = platform::TimeGetTime();
    uint32_t counterFailingSince = 0;
    int failures = 0;
    controller_->OpenStream();
    while (running_) {
        if (pendingExposure_.exchange(0) != 0 && sensor_) {
            sensor_->SetExposure(static_cast<int32_t>(pendingExposureValue_.load()));
        }
        int ok = 0;
        if (transferMode_ == kModeTrigger) {
            const int counter = ReadFpgaRegister(kFrameCounterRegister, &ok);
            if (!ok && FrameCounterLost(counterFailingSince)) {
                lostFlag_ = 1;
                frameEvent_.Set();
                break;
            }
            if (ok) counterFailingSince = 0;
            if (!ok || counter == lastFrameCounter_) {
                platform::Sleep(1);
                continue;
            }
            lastFrameCounter_ = static_cast<uint16_t>(counter);
        } else if (transferMode_ == kModeContinuous) {
            int okHigh = 0;
            const int slot = ReadFpgaRegister(fpga::kNewestSlotLow, &ok) |
                             ReadFpgaRegister(fpga::kNewestSlotHigh, &okHigh) << 8;
            if (!ok || !okHigh || slot == lastFrameCounter_) {
                platform::Sleep(1);
                continue;
            }
            request.slot = static_cast<uint16_t>(slot);
            lastFrameCounter_ = static_cast<uint16_t>(slot);
        } else if (transferMode_ == kModeLatch) {
            lastFrameCounter_ = request.slot;
            break;
        }
        uint32_t size = static_cast<uint32_t>(frameBytes_);
        if (AimRequestAtRing(request) &&
            controller_->ReadFrameFromMemory(&request, &size, frameTimeout_)) {
            lostFlag_ = 0;
            bytesCounted += size;
            const uint32_t now = platform::TimeGetTime();
            MeterFrame();
            if (now - countStart >= kMeterWindowMs) {
                transferRate_ = (bytesCounted * 8.0 / 1e6) / ((now - countStart) / 1000.0);
                bytesCounted = 0;
                countStart = now;
            }
            PublishFrame();
            failures = 0;
            if (transferMode_ == kModeSingle || transferMode_ == kModeTrigger) break;
            continue;
        }
        controller_->CloseStream();
        ResetTransfer();
        if (!running_) break;
        if ((traits_->givesUpOnTriggerLoss && transferMode_ == kModeTrigger) || ++failures >= 10) {
            lostFlag_ = 1;
            frameEvent_.Set();
            break;
        }
        if (traits_->resetsPipeOnRecovery) controller_->ResetStreamPipe(kFrameEndpoint);
        PulseSensor();
        controller_->ResetStreamState();
        controller_->OpenStream();
    }
    controller_->CloseStream();
    return FinishLoop(1);
}

// ---- Single frames ---------------------------------------------------------------------------

int CVelcorR3U2Base::SnapFrame() {
    if (!controller_ || (transferBuffer_.empty() && !geometryChanged_)) return 2;
    if (geometryChanged_) ConfigureFrameBuffers();
    if (transferBuffer_.empty()) return 2;
    FrameRequest request{};
    FillRequest(request, transferBuffer_, frameBytes_);
    const bool endpoint83 = traits_->transferPath == TransferPath::kEndpoint83;
    if (endpoint83) controller_->ResetStreamState();
    const uint32_t start = platform::TimeGetTime();
    bool done = false;
    for (int attempt = 0; attempt < 11 && !done; ++attempt) {
        if (platform::TimeGetTime() - start > 9999) break;
        if (endpoint83) {
            done = controller_->ReadFrameData83(&request) != 0;
            if (!done) controller_->ResetDevicePort();
        } else {
            done = controller_->ReadFrameHeader(&request) &&
                   controller_->ReadFrameData(&request, 3000);
        }
    }
    if (done && !frames_.empty()) {
        std::memcpy(frames_[0].data(), transferBuffer_.data(), static_cast<size_t>(frameBytes_));
    } else {
        lostFlag_ = 1;
    }
    controller_->CloseStream();
    if (threadEndEvent_) threadEndEvent_->Set();
    running_ = 0;
    return 0;
}

// ---- Geometry, depth and copy ----------------------------------------------------------------

int CVelcorR3U2Base::ConfigureFrameBuffers() {
    transferBuffer_.clear();
    transferBuffer_.shrink_to_fit();
    if (!sensor_) return 0;
    const SensorInfo& info = sensor_->Info();
    const int width = info.windowWidth;
    const int height = info.windowHeight;
    const int bytes = BytesPerPixel();
    const int planes = traits_->bufferMultiple;
    // Room for the frame and the FPGA's padding around it, in whole 8 KiB pages.
    const size_t padded = static_cast<size_t>(height + 128) * static_cast<size_t>(width + 128) *
                          static_cast<size_t>(bytes);
    const size_t bufferSize = ((padded + 8191) / 8192) * 8192 * static_cast<size_t>(planes);
    frameBytes_ = width * height * bytes * planes;
    const size_t depth =
        std::clamp<size_t>(kRingBudgetBytes / bufferSize, kMinRingDepth, kMaxRingDepth);
    try {
        transferBuffer_.assign(bufferSize, 0);
        std::lock_guard lock(ringLock_);
        // Buffers of the same size are kept: a depth or geometry change that leaves them alone
        // costs nothing.
        frames_.resize(depth);
        for (auto& frame : frames_) {
            if (frame.size() != bufferSize) frame.assign(bufferSize, 0);
        }
        // A held frame does not outlive a change of geometry or depth.
        if (heldFrame_.size() != bufferSize) heldFrame_.assign(bufferSize, 0);
        heldSequence_ = 0;
        writeIndex_ = static_cast<int>(finishedSequence_ % depth);
    } catch (const std::bad_alloc&) {
        transferBuffer_.clear();
        std::lock_guard lock(ringLock_);
        frames_.clear();
        heldFrame_.clear();
        heldSequence_ = 0;
        return 0;
    }
    // Without an FPGA nothing takes the geometry; the buffers are rebuilt before every start.
    if (!traits_->hasFpgaRegisters) return 0;
    WriteFrameGeometry(width, height);
    geometryChanged_ = 0;
    return 1;
}

void CVelcorR3U2Base::WriteFrameGeometry(int width, int height) {
    switch (traits_->windowRegisters) {
        case WindowRegisters::kStandard:
            WriteFpgaPair(fpga::kWidthLow, width);
            WriteFpgaPair(fpga::kHeightLow, height);
            break;
        case WindowRegisters::kAlternate:
            WriteFpgaPair(fpga::kWidthLowAlt, width);
            WriteFpgaPair(fpga::kHeightLowAlt, height);
            break;
        case WindowRegisters::kNone:
            break;
    }

    // Where the picture starts inside the FPGA's frame.
    const SensorInfo& info = sensor_->Info();
    FrameGeometry geometry{.x = info.windowX,
                           .y = info.windowY,
                           .width = width,
                           .height = height,
                           .windowMode = info.windowMode,
                           .fullWidth = info.fullWidth,
                           .fullHeight = info.fullHeight,
                           .mirrorH = info.mirrorH,
                           .mirrorV = info.mirrorV};
    if (traits_->offsets == OffsetRule::kByFpgaVersion) {
        int ok = 0;
        geometry.fpgaVersionHigh = ReadFpgaRegister(fpga::kVersionHigh, &ok);
    }
    if (traits_->offsets == OffsetRule::kImx990) {
        geometry.allows16BitOutput = sensor_->Allows16BitOutput() != 0;
    }
    if (const std::optional<FrameOffsets> offsets = FindFrameOffsets(*traits_, geometry)) {
        WriteFpgaPair(fpga::kVerticalOffsetLow, offsets->vertical);
        WriteFpgaPair(fpga::kHorizontalOffsetLow, offsets->horizontal);
    }

    if (traits_->heightLowOverride >= 0) {
        WriteFpgaRegister(fpga::kHeightLow, traits_->heightLowOverride);
        platform::Sleep(1);
    }
    if (traits_->clearsTransferReset) WriteFpgaRegister(fpga::kTransferReset, 0);
    if (traits_->pulsesAfterGeometry) PulseSensor();
    if (traits_->settleAfterGeometryMs > 0) platform::Sleep(traits_->settleAfterGeometryMs);
}

int CVelcorR3U2Base::CopyFrame(uint8_t* buffer, int size, int fromSingleFrameSlot,
                               int topRowFirst) {
    std::lock_guard lock(ringLock_);
    if (frames_.empty()) return 0;
    // The newest finished frame lies in the buffer before the one the next frame goes to.
    const size_t depth = frames_.size();
    const size_t slot =
        fromSingleFrameSlot ? 0 : (static_cast<size_t>(writeIndex_) + depth - 1) % depth;
    // A held newest frame left the ring; its slot has the buffer traded in for it.
    if (!fromSingleFrameSlot && heldSequence_ != 0 && heldSequence_ == finishedSequence_) {
        return CopyFrameFrom(heldFrame_, buffer, size, topRowFirst);
    }
    return CopyFrameFrom(frames_[slot], buffer, size, topRowFirst);
}

bool CVelcorR3U2Base::RowsDeliveredBottomUp() const {
    const int o = sensor_->Info().orientation;
    return o == 3 || o == 4;
}

bool CVelcorR3U2Base::CanHoldFrames() const {
    if (!sensor_ || traits_->frameCopy == FrameCopy::kSerialHead) return false;
    const int o = sensor_->Info().orientation;
    return o != 2 && o != 4;
}

int CVelcorR3U2Base::HoldNextFrame(HeldFrame& frame) {
    std::lock_guard lock(ringLock_);
    if (frames_.empty() || finishedSequence_ <= lastReadSequence_) return -1;
    const size_t slot = static_cast<size_t>(lastReadSequence_ % frames_.size());
    ++lastReadSequence_;
    // What a copy of the frame would refuse, the hold refuses too, and the frame is lost.
    const size_t rowBytes =
        sensor_ ? static_cast<size_t>(sensor_->Info().windowWidth) * BytesPerPixel() : 0;
    const int rows = sensor_ ? sensor_->Info().windowHeight : 0;
    if (!CanHoldFrames() || frameBytes_ <= 0 || rows <= 0 ||
        frames_[slot].size() < static_cast<size_t>(frameBytes_) ||
        rowBytes * static_cast<size_t>(rows) > static_cast<size_t>(frameBytes_) ||
        heldFrame_.size() != frames_[slot].size()) {
        ++framesDropped_;
        return -1;
    }
    // The frame's buffer leaves the ring; the previously held one, read and done with, takes
    // its place and is written by the acquisition thread in its turn.
    frames_[slot].swap(heldFrame_);
    heldSequence_ = lastReadSequence_;
    ++framesRead_;
    const bool bottomUp = RowsDeliveredBottomUp();
    frame.topRow = heldFrame_.data() + (bottomUp ? rowBytes * static_cast<size_t>(rows - 1) : 0);
    frame.rowStep = bottomUp ? -static_cast<ptrdiff_t>(rowBytes) : static_cast<ptrdiff_t>(rowBytes);
    frame.width = sensor_->Info().windowWidth;
    frame.height = rows;
    frame.bytesPerPixel = BytesPerPixel();
    return 0;
}

int CVelcorR3U2Base::ReadNextFrame(uint8_t* buffer, int size, int topRowFirst) {
    std::lock_guard lock(ringLock_);
    if (frames_.empty() || finishedSequence_ <= lastReadSequence_) return -1;
    // Frame lastReadSequence_ + 1 is still in the ring: claiming its buffer for a newer frame
    // would have marked it read.
    const size_t slot = static_cast<size_t>(lastReadSequence_ % frames_.size());
    const bool copied = CopyFrameFrom(frames_[slot], buffer, size, topRowFirst) != 0;
    ++lastReadSequence_;
    if (copied) {
        ++framesRead_;
    } else {
        ++framesDropped_;
    }
    return copied ? 0 : -1;
}

int CVelcorR3U2Base::CopyFrameFrom(const std::vector<uint8_t>& source, uint8_t* buffer, int size,
                                   int topRowFirst) {
    if (buffer == nullptr || size < frameBytes_ || !sensor_ || frameBytes_ <= 0) return 0;
    if (source.size() < static_cast<size_t>(frameBytes_)) return 0;
    const SensorInfo& info = sensor_->Info();
    const int bytes = BytesPerPixel();
    const size_t rowBytes = static_cast<size_t>(info.windowWidth) * static_cast<size_t>(bytes);
    const int rows = info.windowHeight;
    if (rowBytes * static_cast<size_t>(rows) > static_cast<size_t>(frameBytes_)) return 0;
    auto sourceRow = [&](int row) { return source.data() + rowBytes * static_cast<size_t>(row); };
    auto destRow = [&](int row) { return buffer + rowBytes * static_cast<size_t>(row); };

    if (traits_->frameCopy == FrameCopy::kSerialHead) {
        int32_t first = 0, second = 0;
        if (sensor_->VariantInfoA(&first, &second) != 0) {
            for (int r = 0; r < rows; ++r)
                std::memcpy(destRow(r), sourceRow(rows - 1 - r), rowBytes);
        } else if (rows >= 2) {
            // The last delivered row is not image data; the row before it stands in for it.
            std::memcpy(destRow(0), sourceRow(rows - 2), rowBytes);
            for (int r = 1; r < rows; ++r)
                std::memcpy(destRow(r), sourceRow(rows - 1 - r), rowBytes);
        }
        return 1;
    }

    const int o = info.orientation;
    const bool reverseRows = (topRowFirst != 0) != (o != 3 && o != 4);
    const bool reversePixels = o == 2 || o == 4;
    if (!reverseRows && !reversePixels) {
        std::memcpy(buffer, source.data(), rowBytes * static_cast<size_t>(rows));
        return 1;
    }
    for (int r = 0; r < rows; ++r) {
        const uint8_t* in = sourceRow(reverseRows ? rows - 1 - r : r);
        uint8_t* out = destRow(r);
        if (!reversePixels) {
            std::memcpy(out, in, rowBytes);
        } else if (bytes == 2) {
            const int width = info.windowWidth;
            for (int x = 0; x < width; ++x)
                std::memcpy(out + 2 * x, in + 2 * (width - 1 - x), 2);
        } else {
            std::reverse_copy(in, in + rowBytes, out);
        }
    }
    return 1;
}

bool CVelcorR3U2Base::WriteDepthRegister(int mode) {
    switch (traits_->depthRegister) {
        case DepthRegister::kPixelDepth:
            return WriteFpgaRegister(fpga::kPixelDepth, mode == 1 ? 2 : 1) != 0;
        case DepthRegister::kFirmwareByte:
            return controller_->SetFirmwareByte(mode == 1 ? 1 : 0) != 0;
        case DepthRegister::kDepthMode3D:
            return WriteFpgaRegister(fpga::kPixelDepthMode, mode) != 0;
        case DepthRegister::kPixelDepthA3:
            return WriteFpgaRegister(fpga::kPixelDepthAlt, mode == 1 ? 2 : 1) != 0;
        case DepthRegister::kPixelDepth6E:
            return WriteFpgaRegister(fpga::kPixelDepth6E, mode != 0 ? 2 : 0) != 0;
        case DepthRegister::kEightBit38:
            return WriteFpgaRegister(fpga::kStartupControl38, mode == 0 ? 1 : 0) != 0;
        case DepthRegister::kNone:
            return true;
    }
    return false;
}

int CVelcorR3U2Base::SetBitDepthMode(int mode) {
    if (!controller_) return 0;
    const int sixteen = mode != 0 ? 1 : 0;
    switch (traits_->depthRule) {
        case DepthRule::kDirect:
            // A mode the register does not know would be written as a byte the FPGA cannot
            // take while the buffers were built for 16 bits.
            if (traits_->depthRegister == DepthRegister::kDepthMode3D &&
                (mode < 0 || mode > kHighestDepthMode3D)) {
                return 0;
            }
            WriteDepthRegister(mode);
            bitDepthMode_ = sixteen;
            return ConfigureFrameBuffers();
        case DepthRule::kDirectWithSensor:
            WriteDepthRegister(mode);
            bitDepthMode_ = sixteen;
            if (sensor_) sensor_->SetBitDepth(mode);
            return ConfigureFrameBuffers();
        case DepthRule::kSensorThenGeneral:
            if (sensor_) sensor_->SetBitDepth(mode);
            break;
        case DepthRule::kSixteenOnly:
            // The console camera always delivers 16 bits.
            mode = 1;
            break;
        case DepthRule::kGeneral:
            break;
    }
    if (!WriteDepthRegister(mode)) return 0;
    if (bitDepthMode_ == mode) return 1;
    bitDepthMode_ = mode;
    const int configured = ConfigureFrameBuffers();
    // Without an FPGA the geometry is taken again at every start: buffers of the new depth
    // are all the change needs, and the camera already took the depth.
    if (!traits_->hasFpgaRegisters) return transferBuffer_.empty() ? 0 : 1;
    return configured;
}

int CVelcorR3U2Base::SetTriggerMode(int mode, int force) {
    if (!sensor_) return 0;
    if (!force && mode == triggerMode_) return 1;
    StopTransfer();
    triggerMode_ = ApplyTriggerRule(mode);
    return 1;
}

int CVelcorR3U2Base::ApplyTriggerRule(int mode) {
    switch (traits_->trigger) {
        case TriggerRule::kSensor:
            sensor_->SetTriggerMode(mode);
            if (mode == 1) LatchFrameCounter();
            return mode;
        case TriggerRule::kLatchThenTrigger:
            WriteFpgaRegister(fpga::kTriggerEnable24, mode != 0 ? 1 : 0);
            sensor_->SetTriggerMode(mode);
            if (mode != 0) {
                // The latch transfer records the frame slot the camera is at; triggered frames
                // are the ones after it.
                lastFrameCounter_ = 0;
                if (StartTransfer(kModeLatch)) {
                    platform::Sleep(10);
                    if (threadEndEvent_ && threadEndEvent_->Wait(5000)) {
                        platform::Sleep(10);
                        StartTransfer(kModeTrigger);
                    }
                }
            }
            return mode;
        case TriggerRule::kFpgaEnable30:
            sensor_->SetTriggerMode(1);
            WriteFpgaRegister(fpga::kTriggerEnable30, 0);
            if (mode != 0) {
                WriteFpgaRegister(fpga::kTriggerEnable30, 1);
            } else {
                sensor_->SetTriggerMode(0);
            }
            return mode;
        case TriggerRule::kFpgaEnable24: {
            const int masked = mode & kTriggerEnable24Mask;
            WriteFpgaRegister(fpga::kTriggerEnable24, masked);
            return masked;
        }
        case TriggerRule::kByFpgaVersion:
            if (sensor_->FpgaVersion() <= kLatchedTriggerFpgaVersion) {
                sensor_->SetTriggerMode(mode);
                if (mode == 1) LatchFrameCounter();
            } else if (mode == 1) {
                // Newer FPGAs count triggered frames from the first one after the switch.
                const int started = StartTransfer(kModeTrigger);
                sensor_->SetTriggerMode(1);
                if (started && WaitFrame(60000) == kWaitFrameNew) LatchFrameCounter();
            } else if (mode == 0) {
                sensor_->SetTriggerMode(0);
            }
            return mode;
    }
    return mode;
}

}  // namespace velcor
