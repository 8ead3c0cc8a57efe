// The simulated camera's USB bridge: the FX3 firmware as the driver port reaches it. It answers
// the driver's I/O controls with the firmware's behaviour: the vendor requests on endpoint 0,
// which it carries out on the camera model (the I2C bus, the sensor's 16-bit registers, the
// ready state, frame requests) or on its own state (its 32-bit registers, the firmware byte,
// the device information blocks); the bulk endpoints 0x81 and 0x83 (IN) and 0x01 (OUT), their
// buffers of transfer units and the transfers pending on them; the frame-memory commands
// "AU3R" / "AU3W"; pipe and port resets and aborts. It frames the model's frames for their
// endpoint: a header and the data on 0x81, the data alone on 0x83 for product 0x3042. A family
// camera's frame is queued without its bytes and drawn piece by piece into the host's reads,
// so a frame of any size costs the bytes read and no buffer of its own.
//
// A bulk read that finds no data pends until data arrives, its record's time-out expires, the
// pipe is aborted, its handle is closed or the camera is unplugged.
//
// The frames the host asks for are made on the camera's hardware thread (RunHardware), never
// on the host's thread. In fast mode the host's frame request is answered once its frame is in
// the bridge's buffers. A frame is made only when the host asks for one and the bridge's
// buffers have room for it; a request that finds them full is answered at once and its frame
// follows when the host has read enough to make room.
//
// Faults of the bus and of transfers act here: failing control requests, stalled bulk
// transfers, bad USB status, unacknowledged I2C transactions, lost frame headers and short
// frames, each taken when the transfer it spoils is handled. So does the unplug after a
// number of frames: the bridge counts the frames that leave through its endpoints and pulls
// the cable at the next frame request; its owner then takes the camera off the hub.
//
// Locks: the bridge holds its own lock while it drives the model, so the model's lock is
// always taken after the bridge's, never the other way round; the model hands back what it
// finishes and calls nothing of the bridge. Requests are completed after the bridge's lock is
// left.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/DriverPort.h"
#include "sim/SimBufferPool.h"
#include "sim/SimCameraConfig.h"
#include "sim/SimCameraModel.h"

namespace velcor::sim {

struct ControlSetup {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;
};

struct MemoryCommandRecord {
    bool write;
    uint64_t address;
    uint32_t length;
};

// What the host asked of the bridge, for tests.
struct SimBridgeTrace {
    std::vector<ControlSetup> control;
    std::map<uint8_t, uint32_t> bulkTransfers;  // submitted bulk transfers per endpoint
    std::map<uint8_t, uint64_t> bulkBytes;      // bytes moved per endpoint
    std::vector<MemoryCommandRecord> memoryCommands;
    uint32_t framesRequested = 0;
    uint32_t framesSent = 0;
    uint32_t aborts = 0;
};

class SimBridge {
  public:
    using Clock = std::chrono::steady_clock;

    // `model` and `buffers` outlive the bridge. `wake` tells the camera's hardware thread that
    // the bridge has work for RunHardware: a frame to make or a read with a time-out.
    SimBridge(const SimCameraConfig& config, SimCameraModel& model, SimBufferPool& buffers,
              std::function<void()> wake);
    ~SimBridge();
    SimBridge(const SimBridge&) = delete;
    SimBridge& operator=(const SimBridge&) = delete;

    // The driver device's side.
    bool IsPresent() const;
    void StartIo(const std::shared_ptr<platform::IoRequest>& request);
    void CancelIo(uint64_t owner);
    // The cable is pulled: every pending transfer fails, new requests fail and the camera
    // loses its power.
    void Unplug();
    // True once after a frame request found the cable pulled by the unplug fault.
    bool TakeUnplugRequest();

    // Transfer faults (all but SimFault::FpgaBusy, which is the model's); false for others.
    bool InjectFault(SimFault fault, int count);
    // A pulse on the camera's trigger input; the frame it finishes at once leaves in order
    // with the others. False when the camera is unplugged.
    bool FireTrigger();
    void SetFastFrames(bool fast);
    // The camera's hardware at work, on the hub's frame thread: makes the frames that are due
    // or were asked for, and completes pending reads whose record time-out has passed. Returns
    // the earliest time at which there is more to do, if any.
    std::optional<Clock::time_point> RunHardware(Clock::time_point now);

    // Test access.
    uint32_t Register32(uint32_t address) const;
    void SetDeviceInfo(int block, const uint8_t info[64]);
    // Queues raw bytes as one transfer unit on an IN endpoint.
    void QueueIn(uint8_t endpoint, std::vector<uint8_t> unit);
    // The most bytes the buffers of one IN endpoint hold: a unit that would pass it drops the
    // oldest units, as a full count of units does. Room for the largest memory read answered
    // and more, yet a host that asks for such reads over and over cannot pile them up.
    static constexpr size_t kMaxQueuedBytes = size_t{128} << 20;
    size_t QueuedUnits(uint8_t endpoint) const;
    size_t PendingTransfers() const;
    SimBridgeTrace Trace() const;
    void ClearTrace();

  private:
    struct Pending {
        std::shared_ptr<platform::IoRequest> request;
        uint8_t endpoint;
        bool buffered;
        bool stalled;
        bool badStatus;
        std::optional<Clock::time_point> deadline;
    };
    struct Completion {
        std::shared_ptr<platform::IoRequest> request;
        uint32_t error;
        uint32_t bytes;
    };
    using Completions = std::vector<Completion>;
    // The completions of one call into the bridge, in a list lent from the bridge's spares:
    // the driver's threads call in for every transfer and control request, and a list of
    // their own per call would cost an allocation each time. The spares are sized when the
    // bridge is made; a call made while all are lent out gets a fresh list.
    class CompletionList {
      public:
        explicit CompletionList(SimBridge& bridge);
        ~CompletionList();
        CompletionList(const CompletionList&) = delete;
        CompletionList& operator=(const CompletionList&) = delete;
        Completions& operator*() { return list_; }

      private:
        SimBridge& bridge_;
        Completions list_;
    };
    // A frame request of fast mode whose frame the frame thread is to make before it is
    // answered with `bytes`.
    struct FrameAnswer {
        std::shared_ptr<platform::IoRequest> request;
        uint32_t bytes;
    };

    // Everything below runs under mutex_.
    void HandleControl(const std::shared_ptr<platform::IoRequest>& request, Completions& done);
    bool HandleVendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                             uint32_t dataLength);
    bool HandleI2c(bool write, uint16_t index, uint16_t count, uint8_t* data, uint32_t dataLength);
    void HandleBulk(const std::shared_ptr<platform::IoRequest>& request, bool buffered,
                    Completions& done);
    void HandleOut(const uint8_t* data, uint32_t length);

    // Frames: the model's frames go out through the endpoints.
    void MakeFrameNow();
    void SendFrames();
    void SendFrame(SimFrame& frame);
    void MakeRequestedFrames(Completions& done);
    bool RoomForFrame();
    void FailFrameAnswers(bool all, uint64_t owner, uint32_t error, Completions& done);
    void ResetStreams();

    // Queues a transfer unit; reads it satisfies are completed when the lock is left.
    void QueueInLocked(uint8_t endpoint, std::vector<uint8_t>& unit, bool failed = false);
    // Queues the first `bytes` bytes of a drawn frame as one transfer unit.
    void QueueDrawnLocked(uint8_t endpoint, const SimFrame& frame, uint64_t bytes, bool failed);
    void ServePending(uint8_t endpoint, Completions& done);
    void FinishRead(Pending& pending, Completions& done);
    void FailPending(uint8_t endpoint, bool all, uint32_t error, Completions& done);
    void FlushIn(uint8_t endpoint);
    static void Deliver(Completions& done);
    bool TakeFault(SimFault fault);

    const SimCameraConfig config_;
    SimCameraModel& model_;
    SimBufferPool& buffers_;
    const std::function<void()> wake_;

    mutable std::mutex mutex_;
    // Innermost lock: guards only the spare completion lists.
    std::mutex spareMutex_;
    std::vector<Completions> spareLists_;
    bool present_ = true;
    std::map<SimFault, int> faults_;
    std::map<uint32_t, uint32_t> registers32_;
    uint8_t firmwareByte_ = 0;
    std::array<uint8_t, 64> info1_{};
    std::array<uint8_t, 64> info2_{};
    int notReadyPolls_ = 0;
    SimBridgeTrace trace_;

    // The bridge's buffers of an IN endpoint: whole transfer units, oldest first; when they
    // are full the oldest is dropped. A failed unit completes its read with a USB error.
    static constexpr size_t kMaxQueuedUnits = 32;
    struct Unit {
        std::vector<uint8_t> bytes;  // the unit's bytes, unless it is drawn
        bool failed = false;
        // A drawn frame: the model draws its first `drawnBytes` bytes as they are read.
        bool drawn = false;
        SimFrame frame;
        uint64_t drawnBytes = 0;
        uint64_t Size() const { return drawn ? drawnBytes : bytes.size(); }
    };
    struct InQueue {
        std::array<Unit, kMaxQueuedUnits> ring;
        size_t head = 0;
        size_t count = 0;
        uint64_t offset = 0;  // bytes of the front unit already read
        size_t bytes = 0;     // bytes held by all units (drawn frames hold none)
        Unit& Front() { return ring[head]; }
    };
    void PopUnit(InQueue& queue);
    // A unit at the back of the endpoint's buffers that holds `held` bytes, making room.
    Unit& PushUnit(uint8_t endpoint, size_t held);
    std::map<uint8_t, InQueue> in_;
    // Few at a time, kept in vectors that reach their size with the first transfers: a deque
    // would take and free a block every few dozen.
    std::vector<Pending> pending_;
    Completions deferred_;            // completions found while the lock is held
    std::vector<SimFrame> finished_;  // frames the model handed over, on their way out

    // An "AU3W" command waiting for its data on 0x01.
    uint64_t writeAddress_ = 0;
    uint32_t writeRemaining_ = 0;

    // Frame requests.
    bool answerLater_ = false;  // the request being handled waits for the frame thread
    std::vector<FrameAnswer> frameAnswers_;
    bool fastFrameOwed_ = false;  // asked for while the bridge's buffers were full

    // The unplug fault.
    bool unplugArmed_ = false;
    int framesBeforeUnplug_ = 0;
    bool unplugNow_ = false;
};

}  // namespace velcor::sim
