// Frame acquisition of the engine: one acquisition thread per engine moves frames from the
// camera into a ring of four frame buffers; the camera object's threads wait for the frame
// event and copy the newest frame out. Also the frame-buffer geometry, the pixel depth and the
// trigger modes, since all three change how frames are transferred.
//
// The ring is copied into and out of under its lock: the thread copies a finished frame into
// slot writeIndex, numbers it, advances writeIndex and then signals the frame event; readers
// copy from the slot before writeIndex and remember the number of the frame they took.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/ProductIds.h"
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

using product::IsOneOf;

bool IsMemoryPathProduct(int productId) {
    return product::UsesFrameMemory(productId);
}

// Products whose stream pipe is reset before the stream is reopened after a lost frame.
bool ResetsPipeOnRecovery(int productId) {
    return IsOneOf(productId, {0x3100, 0x3130, 0x3150, 0x3170, 0x31B0, 0x31B4, 0x31C0, 0x31C4,
                               0x31E0, 0x32A0, 0x32D0});
}

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
    const int reg = sensor_ && (sensor_->ModelCode() == 103 || sensor_->ModelCode() == 115)
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

void CVelcorR3U2Base::PublishFrame(const uint8_t* frame) {
    {
        // A reader slower than three frames would otherwise copy a slot while it is rewritten.
        std::lock_guard lock(ringLock_);
        const int slot = writeIndex_;
        std::memcpy(frames_[slot].data(), frame, static_cast<size_t>(frameBytes_));
        ++finishedSequence_;
        writeIndex_ = (slot + 1) % 4;
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
    if (productId_ == 0x3042) {
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
    if (productId_ == 0x3042) {
        controller_->ResetDevicePort();
    } else {
        if (FirmwareVersion() >= 0x1100) controller_->ResetStreamPipe(kFrameEndpoint);
        if (productId_ != 0x30C0) PulseSensor();
        WriteFpgaRegister(fpga::kTransferReset, 2);
        if (productId_ == 0x3150) platform::Sleep(100);
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
    if (IsMemoryPathProduct(productId_)) return AcquisitionLoopMemory();
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
                ok = controller_->ReadFrameData(&request, frameTimeout_) != 0;
                if (ok) {
                    attempts = 0;
                    const uint32_t elapsed = std::max<uint32_t>(platform::TimeGetTime() - start, 1);
                    // Megabits per second, counting whole KiB of the frame.
                    const double kibibytes = std::floor(frameBytes_ / 1024.0);
                    transferRate_ = (kibibytes / 128.0) / (elapsed / 1000.0);
                    MeterFrame();
                    PublishFrame(transferBuffer_.data());
                    if (transferMode_ == kModeSingle || transferMode_ == kModeTrigger) break;
                    continue;
                }
            }
            // Recovery: reopen the stream after resynchronising the FPGA, or give up.
            controller_->CloseStream();
            if (!running_) break;
            if (++attempts >= 5 || (productId_ == 0x3190 && transferMode_ == kModeTrigger) ||
                (headerLost && productId_ == 0x3380)) {
                lostFlag_ = 1;
                frameEvent_.Set();
                break;
            }
            if (ResetsPipeOnRecovery(productId_)) controller_->ResetStreamPipe(kFrameEndpoint);
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
        if (controller_->ReadFrameData83(&request)) {
            lastFrame = platform::TimeGetTime();
            lostFlag_ = 0;
            MeterFrame();
            PublishFrame(transferBuffer_.data());
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
        if (controller_->ReadFrameFromMemory(&request, &size, frameTimeout_)) {
            lostFlag_ = 0;
            bytesCounted += size;
            const uint32_t now = platform::TimeGetTime();
            MeterFrame();
            if (now - countStart >= kMeterWindowMs) {
                transferRate_ = (bytesCounted * 8.0 / 1e6) / ((now - countStart) / 1000.0);
                bytesCounted = 0;
                countStart = now;
            }
            PublishFrame(transferBuffer_.data());
            failures = 0;
            if (transferMode_ == kModeSingle || transferMode_ == kModeTrigger) break;
            continue;
        }
        controller_->CloseStream();
        ResetTransfer();
        if (!running_) break;
        if ((productId_ == 0x3190 && transferMode_ == kModeTrigger) || ++failures >= 10) {
            lostFlag_ = 1;
            frameEvent_.Set();
            break;
        }
        if (ResetsPipeOnRecovery(productId_) || productId_ == 0x3340) {
            controller_->ResetStreamPipe(kFrameEndpoint);
        }
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
    if (productId_ == 0x3042) controller_->ResetStreamState();
    const uint32_t start = platform::TimeGetTime();
    bool done = false;
    for (int attempt = 0; attempt < 11 && !done; ++attempt) {
        if (platform::TimeGetTime() - start > 9999) break;
        if (productId_ == 0x3042) {
            done = controller_->ReadFrameData83(&request) != 0;
            if (!done) controller_->ResetDevicePort();
        } else {
            done = controller_->ReadFrameHeader(&request) &&
                   controller_->ReadFrameData(&request, 3000);
        }
    }
    if (done) {
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
    const int copies = productId_ == 0x3130 ? 3 : 1;
    // Room for the frame and the FPGA's padding around it, in whole 8 KiB pages.
    const size_t padded = static_cast<size_t>(height + 128) * static_cast<size_t>(width + 128) *
                          static_cast<size_t>(bytes);
    const size_t bufferSize = ((padded + 8191) / 8192) * 8192 * static_cast<size_t>(copies);
    frameBytes_ = width * height * bytes * copies;
    try {
        transferBuffer_.assign(bufferSize, 0);
        for (auto& frame : frames_)
            frame.assign(bufferSize, 0);
    } catch (const std::bad_alloc&) {
        transferBuffer_.clear();
        for (auto& frame : frames_)
            frame.clear();
        return 0;
    }
    if (productId_ == 0x3042) return 0;

    if (IsOneOf(productId_, {0x31E0, 0x32D0})) {
        WriteFpgaPair(fpga::kWidthLowAlt, width);
        WriteFpgaPair(fpga::kHeightLowAlt, height);
    } else if (!IsMemoryPathProduct(productId_)) {
        WriteFpgaPair(fpga::kWidthLow, width);
        WriteFpgaPair(fpga::kHeightLow, height);
    }

    // Where the picture starts inside the FPGA's frame, per product.
    auto offsets = [this](int vertical, int horizontal) {
        WriteFpgaPair(fpga::kVerticalOffsetLow, vertical);
        WriteFpgaPair(fpga::kHorizontalOffsetLow, horizontal);
    };
    const int mode = info.windowMode;
    switch (productId_) {
        case 0x3020:
            platform::Sleep(200);
            break;
        case 0x30B0:
            WriteFpgaRegister(fpga::kHeightLow, 0xC0);
            platform::Sleep(1);
            break;
        case 0x30C0:
            WriteFpgaRegister(fpga::kHeightLow, 0x22);
            platform::Sleep(1);
            PulseSensor();
            break;
        case 0x30F0: {
            int ok = 0;
            const int version = ReadFpgaRegister(fpga::kVersionHigh, &ok);
            offsets(version >= 19 ? 31 : 0, version >= 19 ? 12 : 0);
            break;
        }
        case 0x3100:
            offsets(11, 0);
            WriteFpgaRegister(fpga::kTransferReset, 0);
            break;
        case 0x3130:
        case 0x31E0:
        case 0x32D0:
            offsets(20, 136);
            break;
        case 0x31B0:
        case 0x31B4:
        case 0x32A0:
            offsets(11, 0);
            break;
        case 0x31C0: {
            const bool m = mode != 1;
            offsets(m ? 12 : 11, m ? info.fullWidth - info.windowX - width : 0);
            break;
        }
        case 0x31C4:
            offsets(mode == 1 ? 11 : 12, 0);
            break;
        case 0x32B0:
            offsets(39, 79);
            PulseSensor();
            break;
        case product::kRoze9701:
            offsets(10, 32);
            break;
        case 0x32E0:
            offsets(mode != 0 ? 36 : 68, 0);
            break;
        case 0x32F0:
            offsets(mode != 0 ? 36 : 68, 4);
            break;
        case 0x3370:
        case 0x3380:
            offsets(29, info.mirrorH ? 16 : 112);
            break;
        case 0x31F0: {
            const int v = info.windowY + (mode != 0 ? 14 : (info.mirrorV == 1 ? 41 : 40));
            const int h = info.windowX + (mode != 0 ? 32 : 64);
            offsets(v, h);
            break;
        }
        case 0x3260:
        case 0x3270:
        case 0x3280:
        case 0x3290: {
            const bool full = info.windowHeight == info.fullHeight;
            const bool sixteen = sensor_->Allows16BitOutput() != 0;
            const bool mirror = info.mirrorH != 0;
            int v = 21;
            int h = mirror ? 104 : 8;
            if (mode == 0) {
                v = full ? 25 : 21;
                h = sixteen ? (mirror ? 104 : 8) : (mirror ? 100 : 4);
            } else if (mode == 1) {
                v = 23;
                h = sixteen ? (mirror ? 52 : 4) : (mirror ? 48 : 0);
            }
            offsets(v, h);
            break;
        }
        case 0x3300: {
            int v = 11;
            int h = 4;
            if (mode != 0) {
                v = info.mirrorV == 1 ? 11 : 15;
            } else {
                const bool fullSensor = width == info.fullWidth && height == info.fullHeight;
                v = fullSensor ? (info.mirrorV == 1 ? 11 : 19) : 11;
                h = width == info.fullWidth ? 8 : 0;
            }
            offsets(v, h);
            break;
        }
        default:
            break;
    }
    geometryChanged_ = 0;
    return 1;
}

int CVelcorR3U2Base::CopyFrame(uint8_t* buffer, int size, int fromSingleFrameSlot,
                               int topRowFirst) {
    std::lock_guard lock(ringLock_);
    if (buffer == nullptr || size < frameBytes_ || !sensor_ || frameBytes_ <= 0) return 0;
    const int slot = fromSingleFrameSlot ? 0 : (writeIndex_ + 3) % 4;
    const std::vector<uint8_t>& source = frames_[slot];
    if (source.size() < static_cast<size_t>(frameBytes_)) return 0;
    const SensorInfo& info = sensor_->Info();
    const int bytes = BytesPerPixel();
    const size_t rowBytes = static_cast<size_t>(info.windowWidth) * static_cast<size_t>(bytes);
    const int rows = info.windowHeight;
    if (rowBytes * static_cast<size_t>(rows) > static_cast<size_t>(frameBytes_)) return 0;
    auto sourceRow = [&](int row) { return source.data() + rowBytes * static_cast<size_t>(row); };
    auto destRow = [&](int row) { return buffer + rowBytes * static_cast<size_t>(row); };

    if (productId_ == 0x31E0) {
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

int CVelcorR3U2Base::SetBitDepthMode(int mode) {
    if (!controller_) return 0;
    const int sixteen = mode != 0 ? 1 : 0;
    switch (productId_) {
        case 0x3130:
            if (mode > 2) return 0;
            WriteFpgaRegister(fpga::kPixelDepthMode, mode);
            bitDepthMode_ = sixteen;
            return ConfigureFrameBuffers();
        case 0x31E0:
        case 0x32D0:
            WriteFpgaRegister(fpga::kPixelDepthAlt, mode == 1 ? 2 : 1);
            bitDepthMode_ = sixteen;
            return ConfigureFrameBuffers();
        case 0x3310:
        case 0x3320:
        case 0x3340:
            if (productId_ == 0x3310) WriteFpgaRegister(fpga::kPixelDepth6E, sixteen ? 2 : 0);
            if (productId_ == 0x3320) WriteFpgaRegister(fpga::kStartupControl38, mode == 0 ? 1 : 0);
            bitDepthMode_ = sixteen;
            if (sensor_) sensor_->SetBitDepth(mode);
            return ConfigureFrameBuffers();
        default:
            break;
    }
    if (IsOneOf(productId_, {0x3100, 0x31B0, 0x31B4, 0x31C0, 0x31C4, 0x3260, 0x3270, 0x3280, 0x3290,
                             0x32A0, 0x32E0, 0x32F0, 0x3300, 0x3360, 0x3370, 0x3380}) &&
        sensor_) {
        sensor_->SetBitDepth(mode);
    }
    // The console camera always delivers 16 bits.
    if (productId_ == 0x3180) mode = 1;
    const bool told = productId_ == 0x3042
                          ? controller_->SetFirmwareByte(mode == 1 ? 1 : 0) != 0
                          : WriteFpgaRegister(fpga::kPixelDepth, mode == 1 ? 2 : 1) != 0;
    if (!told) return 0;
    if (bitDepthMode_ == mode) return 1;
    bitDepthMode_ = mode;
    return ConfigureFrameBuffers();
}

int CVelcorR3U2Base::SetTriggerMode(int mode, int force) {
    if (!sensor_) return 0;
    if (!force && mode == triggerMode_) return 1;
    StopTransfer();
    switch (productId_) {
        case 0x3030:
        case 0x3050:
            WriteFpgaRegister(fpga::kTriggerEnable24, mode != 0 ? 1 : 0);
            sensor_->SetTriggerMode(mode);
            if (mode != 0) {
                lastFrameCounter_ = 0;
                if (StartTransfer(kModeLatch)) {
                    platform::Sleep(10);
                    if (threadEndEvent_ && threadEndEvent_->Wait(5000)) {
                        platform::Sleep(10);
                        StartTransfer(kModeTrigger);
                    }
                }
            }
            break;
        case 0x30F0:
        case 0x3100:
            sensor_->SetTriggerMode(1);
            WriteFpgaRegister(fpga::kTriggerEnable30, 0);
            if (mode != 0) {
                WriteFpgaRegister(fpga::kTriggerEnable30, 1);
            } else {
                sensor_->SetTriggerMode(0);
            }
            break;
        case 0x3150:
        case 0x3170:
            mode &= 0x83;
            WriteFpgaRegister(fpga::kTriggerEnable24, mode);
            break;
        case 0x3260:
        case 0x3270:
        case 0x3280:
        case 0x3290:
            if (sensor_->FpgaVersion() <= 0x110) {
                sensor_->SetTriggerMode(mode);
                if (mode == 1) LatchFrameCounter();
            } else if (mode == 1) {
                const int started = StartTransfer(kModeTrigger);
                sensor_->SetTriggerMode(1);
                if (started && WaitFrame(60000) == kWaitFrameNew) LatchFrameCounter();
            } else if (mode == 0) {
                sensor_->SetTriggerMode(0);
            }
            break;
        default:
            sensor_->SetTriggerMode(mode);
            if (mode == 1) LatchFrameCounter();
            break;
    }
    triggerMode_ = mode;
    return 1;
}

}  // namespace velcor
