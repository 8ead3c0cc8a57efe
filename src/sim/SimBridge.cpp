#include "sim/SimBridge.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "protocol/UsbProtocol.h"

namespace velcor::sim {
namespace {

using platform::IoRequest;
using usb::kEndpointFrames;
using usb::kEndpointFrames83;
using usb::kEndpointOut;

constexpr uint16_t kProductFrames83 = 0x3042;
// The most one bulk transfer of the driver holds: the largest frame-memory read answered.
constexpr size_t kMaxTransferBytes = 0x4000000;
// Calls into the bridge at once that find a completion list ready: the acquisition thread,
// the worker, the application's thread and the camera's hardware thread, with room to spare.
constexpr size_t kSpareCompletionLists = 8;
// Room of a completion list: every read that can be pending and more.
constexpr size_t kCompletionRoom = 128;
// The most bytes one I2C request carries.
constexpr uint16_t kMaxI2cBytes = 64;

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

bool IsInEndpoint(uint8_t endpoint) {
    return endpoint == kEndpointFrames || endpoint == kEndpointFrames83;
}

}  // namespace

SimBridge::CompletionList::CompletionList(SimBridge& bridge) : bridge_(bridge) {
    {
        std::lock_guard lock(bridge_.spareMutex_);
        if (!bridge_.spareLists_.empty()) {
            list_.swap(bridge_.spareLists_.back());
            bridge_.spareLists_.pop_back();
        }
    }
    list_.reserve(kCompletionRoom);
}

SimBridge::CompletionList::~CompletionList() {
    list_.clear();
    std::lock_guard lock(bridge_.spareMutex_);
    if (bridge_.spareLists_.size() < bridge_.spareLists_.capacity()) {
        bridge_.spareLists_.push_back(std::move(list_));
    }
}

SimBridge::SimBridge(const SimCameraConfig& config, SimCameraModel& model, SimBufferPool& buffers,
                     std::function<void()> wake)
    : config_(config), model_(model), buffers_(buffers), wake_(std::move(wake)) {
    pending_.reserve(kMaxQueuedUnits);
    frameAnswers_.reserve(kMaxQueuedUnits);
    deferred_.reserve(kMaxQueuedUnits);
    finished_.reserve(kMaxQueuedUnits);
    spareLists_.resize(kSpareCompletionLists);
    for (Completions& list : spareLists_)
        list.reserve(kCompletionRoom);
    notReadyPolls_ = std::max(config.notReadyPolls, 0);
    const std::string& serial = config.serialNumber;
    Put16(info1_.data(), config.vendorId);
    Put16(info1_.data() + 2, config.productId);
    Put16(info1_.data() + 24, config.firmwareVersion);
    std::memcpy(info2_.data(), serial.data(), std::min<size_t>(serial.size(), 32));
}

SimBridge::~SimBridge() = default;

bool SimBridge::IsPresent() const {
    std::lock_guard lock(mutex_);
    return present_;
}

void SimBridge::Deliver(Completions& done) {
    for (Completion& c : done)
        c.request->Complete(c.error, c.bytes);
    done.clear();
}

bool SimBridge::TakeFault(SimFault fault) {
    auto found = faults_.find(fault);
    if (found == faults_.end() || found->second <= 0) return false;
    --found->second;
    return true;
}

bool SimBridge::InjectFault(SimFault fault, int count) {
    if (count < 0) return false;
    std::lock_guard lock(mutex_);
    switch (fault) {
        case SimFault::ControlFails:
        case SimFault::BulkStalls:
        case SimFault::BulkStatus:
        case SimFault::I2cNack:
        case SimFault::HeaderLost:
        case SimFault::ShortFrame:
            faults_[fault] = count;
            return true;
        case SimFault::UnplugAfterFrames:
            unplugArmed_ = count > 0;
            framesBeforeUnplug_ = count;
            return true;
        case SimFault::FpgaBusy:
            break;
    }
    return false;
}

void SimBridge::StartIo(const std::shared_ptr<IoRequest>& request) {
    CompletionList list(*this);
    Completions& done = *list;
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
            if (fastFrameOwed_ && RoomForFrame()) wake_();
        }
        done.insert(done.end(), deferred_.begin(), deferred_.end());
        deferred_.clear();
    }
    Deliver(done);
}

bool SimBridge::TakeUnplugRequest() {
    std::lock_guard lock(mutex_);
    const bool unplug = unplugNow_;
    unplugNow_ = false;
    return unplug;
}

void SimBridge::CancelIo(uint64_t owner) {
    CompletionList list(*this);
    Completions& done = *list;
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

void SimBridge::Unplug() {
    CompletionList list(*this);
    Completions& done = *list;
    {
        std::lock_guard lock(mutex_);
        present_ = false;
        model_.PowerOff();
        FailPending(0, true, platform::kErrorDeviceNotConnected, done);
        FailFrameAnswers(true, 0, platform::kErrorDeviceNotConnected, done);
        fastFrameOwed_ = false;
    }
    Deliver(done);
}

void SimBridge::FailPending(uint8_t endpoint, bool all, uint32_t error, Completions& done) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (all || it->endpoint == endpoint) {
            done.push_back({it->request, error, 0});
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

void SimBridge::PopUnit(InQueue& queue) {
    queue.bytes -= queue.Front().bytes.size();
    buffers_.GiveBack(queue.Front().bytes);
    queue.Front().failed = false;
    queue.Front().drawn = false;
    queue.head = (queue.head + 1) % kMaxQueuedUnits;
    --queue.count;
    queue.offset = 0;
}

void SimBridge::FlushIn(uint8_t endpoint) {
    InQueue& queue = in_[endpoint];
    while (queue.count > 0)
        PopUnit(queue);
}

// --- Endpoint 0 --------------------------------------------------------------------------

void SimBridge::HandleControl(const std::shared_ptr<IoRequest>& request, Completions& done) {
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
    AppendToTrace(trace_.control, setup);
    const uint32_t offset = Get32(record + record::kBufferOffset);
    uint32_t length = Get32(record + record::kBufferLength);
    if (offset < record::kSize || offset > size) {
        done.push_back({request, platform::kErrorInvalidParameter, 0});
        return;
    }
    length = std::min(length, size - offset);
    if (TakeFault(SimFault::ControlFails) ||
        !HandleVendorRequest(setup.request, setup.value, setup.index, record + offset, length)) {
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
        wake_();
        return;
    }
    done.push_back({request, platform::kErrorSuccess, offset + length});
}

bool SimBridge::HandleI2c(bool write, uint16_t index, uint16_t count, uint8_t* data,
                          uint32_t dataLength) {
    if (count > dataLength || count > kMaxI2cBytes) return false;
    const auto busAddress = static_cast<uint8_t>(index);
    if (!model_.HasBusDevice(busAddress) || index > 0xFF || TakeFault(SimFault::I2cNack)) {
        return false;
    }
    if (write) {
        bool framesReleased = false;
        const bool acknowledged = model_.BusWrite(busAddress, data, count, &framesReleased);
        // The FPGA starts its output again: what the frame endpoint still holds is dropped, so
        // the next frame starts with its header.
        if (framesReleased) FlushIn(kEndpointFrames);
        return acknowledged;
    }
    std::memset(data, 0, dataLength);
    return model_.BusRead(busAddress, data, count);
}

bool SimBridge::HandleVendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                    uint32_t dataLength) {
    switch (request) {
        case usb::kRequestI2cWrite:  // wValue bytes to bus address wIndex
        case usb::kRequestI2cRead:   // wValue bytes from bus address wIndex (bit 0 set)
            return HandleI2c(request == usb::kRequestI2cWrite, index, value, data, dataLength);
        case usb::kRequestWriteRegister32: {  // address bit 15 in wValue, bits 0-14 in wIndex
            if (dataLength < 4) return false;
            const uint32_t address = static_cast<uint32_t>(value) << 15 | (index & 0x7FFF);
            registers32_[address] = Get32(data);
            model_.WriteRegisterWord(address, Get32(data));
            return true;
        }
        case usb::kRequestReadRegister16: {
            if (dataLength < 2) return false;
            std::memset(data, 0, dataLength);
            auto found = registers32_.find(index);
            Put16(data, static_cast<uint16_t>(found != registers32_.end() ? found->second : 0));
            return true;
        }
        case usb::kRequestWriteSensor16:  // sensor register: address high, low, value high, low
            if (dataLength < 4) return false;
            return model_.WriteSensor16(static_cast<uint16_t>(data[0] << 8 | data[1]),
                                        static_cast<uint16_t>(data[2] << 8 | data[3]));
        case usb::kRequestReadSensor16: {
            if (dataLength < 2) return false;
            uint16_t result = 0;
            if (!model_.ReadSensor16(value, &result)) return false;
            std::memset(data, 0, dataLength);
            Put16(data, result);
            return true;
        }
        case usb::kRequestSetFirmwareByte:
            if (dataLength < 1) return false;
            firmwareByte_ = data[0];
            model_.SetFirmwareByte(firmwareByte_);
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
        case usb::kRequestReadyState:  // 1 once the FPGA has brought the sensor up
            if (dataLength < 1) return false;
            std::memset(data, 0, dataLength);
            if (notReadyPolls_ > 0) {
                --notReadyPolls_;
            } else {
                data[0] = model_.Ready() ? 1 : 0;
            }
            return true;
        case usb::kRequestResetStreamState:  // the frame endpoints start empty
            ResetStreams();
            return true;
        case usb::kRequestFrame:
            ++trace_.framesRequested;
            if (unplugArmed_ && framesBeforeUnplug_ <= 0) {
                // The cable is pulled while the request is on its way.
                unplugArmed_ = false;
                unplugNow_ = true;
                return false;
            }
            if (model_.RequestFrame(Clock::now(), finished_)) {
                // The frame thread makes the frame and then answers; with the bridge's buffers
                // full the frame waits until the host has read enough to make room.
                if (RoomForFrame()) {
                    answerLater_ = true;
                } else {
                    fastFrameOwed_ = true;
                }
            }
            SendFrames();
            return true;
        case usb::kRequestResetEndpoints:
            ResetStreams();
            writeRemaining_ = 0;
            return true;
        default:
            return false;
    }
}

void SimBridge::ResetStreams() {
    FlushIn(kEndpointFrames);
    FlushIn(kEndpointFrames83);
    model_.CancelFrameRequest();
    fastFrameOwed_ = false;
}

// --- Frames ------------------------------------------------------------------------------

bool SimBridge::RoomForFrame() {
    const bool frames83 = config_.productId == kProductFrames83;
    const InQueue& queue = in_[frames83 ? kEndpointFrames83 : kEndpointFrames];
    const size_t units = frames83 ? 1 : 2;  // the data, after its header on 0x81
    return queue.count + units <= kMaxQueuedUnits;
}

void SimBridge::MakeFrameNow() {
    model_.FinishFrame(finished_);
    SendFrames();
}

void SimBridge::MakeRequestedFrames(Completions& done) {
    while (!frameAnswers_.empty()) {
        FrameAnswer answer = std::move(frameAnswers_.front());
        frameAnswers_.erase(frameAnswers_.begin());
        MakeFrameNow();
        done.push_back({std::move(answer.request), platform::kErrorSuccess, answer.bytes});
    }
    if (fastFrameOwed_ && RoomForFrame()) {
        fastFrameOwed_ = false;
        MakeFrameNow();
    }
}

void SimBridge::FailFrameAnswers(bool all, uint64_t owner, uint32_t error, Completions& done) {
    for (auto it = frameAnswers_.begin(); it != frameAnswers_.end();) {
        if (all || it->request->Owner() == owner) {
            done.push_back({std::move(it->request), error, 0});
            it = frameAnswers_.erase(it);
        } else {
            ++it;
        }
    }
}

void SimBridge::SendFrames() {
    for (SimFrame& frame : finished_)
        SendFrame(frame);
    finished_.clear();
}

void SimBridge::SendFrame(SimFrame& frame) {
    ++trace_.framesSent;
    if (unplugArmed_ && framesBeforeUnplug_ > 0) --framesBeforeUnplug_;
    const bool headerLost = TakeFault(SimFault::HeaderLost);
    const uint64_t bytes = frame.Bytes();
    uint64_t sent = bytes;
    // A short frame: the transfer ends half-way, the header still announces the whole.
    if (TakeFault(SimFault::ShortFrame)) {
        sent = bytes / 2;
        if (!frame.drawn) frame.pixels.resize(static_cast<size_t>(sent));
    }
    const auto queueData = [&](uint8_t endpoint, bool failed) {
        if (frame.drawn) {
            QueueDrawnLocked(endpoint, frame, sent, failed);
        } else {
            QueueInLocked(endpoint, frame.pixels, failed);
        }
    };
    if (config_.productId == kProductFrames83) {
        queueData(kEndpointFrames83, headerLost);
        return;
    }
    std::vector<uint8_t> header = buffers_.Take(usb::kFrameHeaderSize);
    std::memset(header.data(), 0, usb::kFrameHeaderSize);
    Put32(header.data() + usb::kFrameHeaderNumber, frame.number);
    Put16(header.data() + usb::kFrameHeaderWidth, static_cast<uint16_t>(frame.width));
    Put16(header.data() + usb::kFrameHeaderHeight, static_cast<uint16_t>(frame.height));
    Put32(header.data() + usb::kFrameHeaderByteCount, static_cast<uint32_t>(bytes));
    Put16(header.data() + usb::kFrameHeaderSlot, static_cast<uint16_t>(frame.slot));
    if (headerLost) {
        // The header transfer fails and the bridge drops the frame.
        QueueInLocked(kEndpointFrames, header, true);
        buffers_.GiveBack(frame.pixels);
        return;
    }
    QueueInLocked(kEndpointFrames, header);
    queueData(kEndpointFrames, false);
}

bool SimBridge::FireTrigger() {
    CompletionList list(*this);
    Completions& done = *list;
    bool fired = false;
    {
        std::lock_guard lock(mutex_);
        if (!present_) return false;
        fired = model_.FireTrigger(Clock::now(), finished_);
        SendFrames();
        done.swap(deferred_);
    }
    Deliver(done);
    return fired;
}

void SimBridge::SetFastFrames(bool fast) {
    std::lock_guard lock(mutex_);
    model_.SetFastFrames(fast);
    if (!fast && fastFrameOwed_) {
        // The frame still owed comes from the sensor now.
        fastFrameOwed_ = false;
        model_.RequestSensorFrame(Clock::now());
    }
}

std::optional<SimBridge::Clock::time_point> SimBridge::RunHardware(Clock::time_point now) {
    CompletionList list(*this);
    Completions& done = *list;
    std::optional<Clock::time_point> next;
    {
        std::lock_guard lock(mutex_);
        MakeRequestedFrames(done);
        next = model_.Advance(now, finished_);
        SendFrames();
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

// --- Bulk endpoints ----------------------------------------------------------------------

SimBridge::Unit& SimBridge::PushUnit(uint8_t endpoint, size_t held) {
    InQueue& queue = in_[endpoint];
    while (queue.count == kMaxQueuedUnits ||
           (queue.count > 0 && queue.bytes + held > kMaxQueuedBytes)) {
        PopUnit(queue);
    }
    Unit& slot = queue.ring[(queue.head + queue.count) % kMaxQueuedUnits];
    queue.bytes += held;
    ++queue.count;
    return slot;
}

void SimBridge::QueueInLocked(uint8_t endpoint, std::vector<uint8_t>& unit, bool failed) {
    Unit& slot = PushUnit(endpoint, unit.size());
    slot.bytes = std::move(unit);
    slot.failed = failed;
    unit = std::vector<uint8_t>();
    ServePending(endpoint, deferred_);
}

void SimBridge::QueueDrawnLocked(uint8_t endpoint, const SimFrame& frame, uint64_t bytes,
                                 bool failed) {
    Unit& slot = PushUnit(endpoint, 0);
    slot.drawn = true;
    slot.frame.number = frame.number;
    slot.frame.width = frame.width;
    slot.frame.height = frame.height;
    slot.frame.bytesPerPixel = frame.bytesPerPixel;
    slot.frame.slot = frame.slot;
    slot.frame.drawn = true;
    slot.drawnBytes = bytes;
    slot.failed = failed;
    ServePending(endpoint, deferred_);
}

void SimBridge::QueueIn(uint8_t endpoint, std::vector<uint8_t> unit) {
    CompletionList list(*this);
    Completions& done = *list;
    {
        std::lock_guard lock(mutex_);
        QueueInLocked(endpoint, unit);
        done.swap(deferred_);
    }
    Deliver(done);
}

size_t SimBridge::QueuedUnits(uint8_t endpoint) const {
    std::lock_guard lock(mutex_);
    auto found = in_.find(endpoint);
    return found == in_.end() ? 0 : found->second.count;
}

size_t SimBridge::PendingTransfers() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

void SimBridge::HandleBulk(const std::shared_ptr<IoRequest>& request, bool buffered,
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
        pending.deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    }
    const bool hasDeadline = pending.deadline.has_value();
    pending_.push_back(std::move(pending));
    ServePending(endpoint, done);
    if (hasDeadline) wake_();
}

// Hands queued data to the pending reads of the endpoint, oldest first.
void SimBridge::ServePending(uint8_t endpoint, Completions& done) {
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

void SimBridge::FinishRead(Pending& pending, Completions& done) {
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
    const auto n = static_cast<size_t>(std::min<uint64_t>(length, unit.Size() - queue.offset));
    if (n > 0 && unit.drawn) {
        model_.DrawFrame(unit.frame, queue.offset, data, n);
    } else if (n > 0) {
        std::memcpy(data, unit.bytes.data() + queue.offset, n);
    }
    queue.offset += n;
    if (queue.offset >= unit.Size()) PopUnit(queue);
    trace_.bulkBytes[pending.endpoint] += n;
    if (pending.badStatus) Put32(record + record::kUsbStatus, kUsbStatusStall);
    const uint32_t bytes = static_cast<uint32_t>(n) + (pending.buffered ? record::kSize : 0);
    done.push_back({pending.request, platform::kErrorSuccess, bytes});
}

void SimBridge::HandleOut(const uint8_t* data, uint32_t length) {
    if (writeRemaining_ > 0) {
        const uint32_t n = std::min(length, writeRemaining_);
        model_.WriteFrameMemory(writeAddress_, data, n);
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
    AppendToTrace(trace_.memoryCommands, MemoryCommandRecord{write, address, bytes});
    if (write) {
        writeAddress_ = address;
        writeRemaining_ = bytes;
        return;
    }
    if (bytes > kMaxTransferBytes) return;
    std::vector<uint8_t> unit = buffers_.Take(bytes);
    model_.ReadFrameMemory(address, unit.data(), bytes);
    QueueInLocked(kEndpointFrames, unit);
}

// --- Test access -------------------------------------------------------------------------

uint32_t SimBridge::Register32(uint32_t address) const {
    std::lock_guard lock(mutex_);
    auto found = registers32_.find(address);
    return found != registers32_.end() ? found->second : 0;
}

void SimBridge::SetDeviceInfo(int block, const uint8_t info[64]) {
    std::lock_guard lock(mutex_);
    std::memcpy((block == 1 ? info1_ : info2_).data(), info, 64);
}

SimBridgeTrace SimBridge::Trace() const {
    std::lock_guard lock(mutex_);
    return trace_;
}

void SimBridge::ClearTrace() {
    std::lock_guard lock(mutex_);
    trace_ = SimBridgeTrace{};
}

}  // namespace velcor::sim
