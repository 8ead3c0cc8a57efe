// A simulated camera: a device behind the driver port, as a real camera is behind the bridge
// driver. It answers the driver's I/O controls with the FX3 firmware's behaviour: the vendor
// requests on endpoint 0, the I2C bus with the FPGA register file (0x40), the sensor (0x48),
// the auxiliary chip (0x5A) and the configuration EEPROM (0xA2), the bulk endpoints 0x81 and
// 0x83 (IN) and 0x01 (OUT), frame requests, the frame memory behind the FPGA and its "AU3R" /
// "AU3W" commands.
//
// A bulk read that finds no data pends until data arrives, its record's time-out expires, the
// pipe is aborted, its handle is closed or the camera is detached.
//
// Cameras of product 0x32C0 carry the ROZE9701 model at 0x48 and render the scene in front of
// the lens through its window, mirrors, exposure, gain and black level; the FPGA cuts the frame
// out with its frame size and offset registers and sends it at the pixel depth of register
// 0x3C. Other products carry a plain register file that draws a moving test frame.
//
// Frame timing: a frame request (vendor request 0xC2) is answered with the next frame the
// sensor finishes: free-running, after frame length x line length / pixel clock; in trigger
// mode (sensor register 0 = 16 and FPGA register 88 = 1) only trigger pulses start frames, each
// one advancing the frame counter (register 8) and waiting in the FPGA's frame memory until it
// is requested. With fast frames on, every frame is finished the moment it is requested (or
// the trigger pulse arrives).
//
// The frames the host asks for are made by the hub's frame thread, the camera's own hardware,
// never by the host's thread. In fast mode the host's request is answered once its frame is in
// the bridge's buffers. A frame is made only when the host asks for one and the bridge's
// buffers have room for it; a request that finds them full is answered at once and its frame
// follows when the host has read enough to make room.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/DriverPort.h"
#include "sim/SimI2cDevices.h"
#include "sim/SimScene.h"

namespace velcor::sim {

// The camera's power-on state.
struct SimCameraConfig {
    uint16_t vendorId = 0x04B4;  // the bridge's USB vendor id
    uint16_t productId = 0x32C0;
    std::string serialNumber = "SIM0001";
    uint16_t fpgaVersion = 0x0125;
    uint16_t firmwareVersion = 0x0110;  // offset 24 of the first information block
    uint8_t startupIndicator = 9;       // FPGA register 0x13
    uint16_t frameWidth = 1280;         // FPGA registers 0x44/0x45
    uint16_t frameHeight = 1024;        // FPGA registers 0x40/0x41
    uint32_t slotSizeUnits = 0x2800;    // one frame slot in 256-byte units (2.5 MiB)
    uint32_t slotCount = 4;
    // Frame counters start a few frames before they wrap.
    uint8_t frameCounterStart = 0xFC;
    uint32_t frameNumberStart = 0xFFFFFFFC;
    // A device whose driver refuses opens (another program holds it exclusively).
    bool refuseOpen = false;
    // A simulated camera belongs to the process that attached it: it is listed in that
    // process's device table only. Set, it presents itself as a device of the whole machine
    // instead, so its entry goes to the table that processes share (where other processes see
    // the entry but cannot open the camera); for exercising that table's rules.
    bool machineWide = false;
    // Frames are finished as soon as they are requested instead of at the sensor's frame rate.
    bool fastFrames = true;
    // Start-up. The camera is up when the FPGA has configured the sensor: register 0x13 then
    // holds startupIndicator, register 0x21 holds 3 and the bridge reports ready (request
    // 0xC3). 0: up from power-on; n > 0: up after the n-th reset request (FPGA register 164
    // bit 1); < 0: never up.
    int readyAfterResets = 0;
    // The bridge answers this many ready-state requests with "not ready" before it tells the
    // truth.
    int notReadyPolls = 0;
    // Defective pixels of the sensor.
    int hotPixels = 12;
    int deadPixels = 6;
};

// Faults the camera can be told to produce; each applies to the next `count` occurrences.
enum class SimFault {
    ControlFails = 1,  // control requests fail as a stalled endpoint 0
    BulkStalls = 2,    // bulk transfers never complete until aborted
    BulkStatus = 3,    // bulk transfers complete with their data and a non-zero USB status
    I2cNack = 4,       // I2C transactions are not acknowledged
    FpgaBusy = 5,      // FPGA register 2 reads busy
    // Frames: the header transfer of each of the next `count` frames fails with a USB
    // transaction error and the frame is dropped. The controller retries a lost header 30
    // times before the engine counts one failure.
    HeaderLost = 6,
    ShortFrame = 7,         // the next `count` frames carry half the bytes their header announces
    UnplugAfterFrames = 8,  // the camera unplugs itself at the first request after `count` frames
};

// Register spaces of the control API.
enum class RegisterSpace { Fpga = 1, Sensor = 2, Eeprom = 3 };

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

// What the host asked of the camera, for tests.
struct SimTrace {
    std::vector<ControlSetup> control;
    std::map<uint8_t, uint32_t> bulkTransfers;  // submitted bulk transfers per endpoint
    std::map<uint8_t, uint64_t> bulkBytes;      // bytes moved per endpoint
    std::vector<MemoryCommandRecord> memoryCommands;
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;  // host writes: register, value
    uint32_t framesRequested = 0;
    uint32_t framesSent = 0;
    uint32_t triggers = 0;      // trigger pulses that reached the camera
    uint32_t sensorResets = 0;  // reset requests through FPGA register 164
    uint32_t aborts = 0;
};

class SimCamera : public platform::DriverDevice, public std::enable_shared_from_this<SimCamera> {
  public:
    SimCamera(int id, const SimCameraConfig& config, const platform::GUID& interfaceClass);
    ~SimCamera() override;

    // \\?\usb#vid_04b4&pid_32c0#<serial>#{interface class}: the same serial number gives the
    // same path in every process.
    static std::string MakePath(uint16_t vendorId, uint16_t productId, const std::string& serial,
                                const platform::GUID& interfaceClass);

    int Id() const { return id_; }
    const SimCameraConfig& Config() const { return config_; }
    const platform::GUID& InterfaceClass() const { return interfaceClass_; }

    // DriverDevice
    std::string Path() const override { return path_; }
    bool IsPresent() const override;
    bool AcceptsOpen() const override { return !config_.refuseOpen; }
    bool ProcessLocal() const override { return !config_.machineWide; }
    void StartIo(const std::shared_ptr<platform::IoRequest>& request) override;
    void CancelIo(uint64_t owner) override;

    // Unplugs the camera: opens fail and every pending transfer fails.
    void Unplug();
    bool InjectFault(SimFault fault, int count);

    // Control API. Registers in the chips' own view, without access rules; nullopt / false for
    // an address the space does not have or a value that is not a byte.
    std::optional<int> GetRegister(RegisterSpace space, int address) const;
    bool SetRegister(RegisterSpace space, int address, int value);
    void SetScene(SceneKind kind);
    SceneKind Scene() const;
    bool SetDefects(int hot, int dead, uint32_t seed);
    std::vector<SimScene::Defect> Defects() const;
    // One pulse on the trigger input; the camera ignores it unless it is in trigger mode.
    // False when the camera is unplugged.
    bool FireTrigger();
    void SetFastFrames(bool fast);
    bool FastFrames() const;
    // The camera's hardware at work, on the hub's frame thread: makes the frames that are due
    // or were asked for, and completes pending reads whose record time-out has passed. Returns
    // the earliest time at which there is more to do, if any.
    std::optional<std::chrono::steady_clock::time_point> RunHardware(
        std::chrono::steady_clock::time_point now);

    // Test and model access to the chips, under the camera's lock.
    uint8_t FpgaRegister(uint8_t reg) const;
    void SetFpgaRegister(uint8_t reg, uint8_t value);
    uint8_t EepromByte(uint16_t address) const;
    uint8_t AuxRegister(uint8_t reg) const;
    uint8_t SensorRegister(uint16_t reg) const;
    void SetSensor(std::unique_ptr<SimSensor> sensor);
    void SetBusDevicePresent(uint8_t busAddress, bool present);
    uint32_t Register32(uint32_t address) const;
    void SetDeviceInfo(int block, const uint8_t info[64]);
    // Frame memory, page-granular and sparse; unwritten memory reads 0.
    void ReadFrameMemory(uint64_t address, uint8_t* out, size_t length) const;
    void WriteFrameMemory(uint64_t address, const uint8_t* data, size_t length);
    // Queues raw bytes as one transfer unit on an IN endpoint.
    void QueueIn(uint8_t endpoint, std::vector<uint8_t> unit);
    size_t QueuedUnits(uint8_t endpoint) const;
    size_t PendingTransfers() const;
    SimTrace Trace() const;
    void ClearTrace();

  private:
    struct Pending {
        std::shared_ptr<platform::IoRequest> request;
        uint8_t endpoint;
        bool buffered;
        bool stalled;
        bool badStatus;
        std::optional<std::chrono::steady_clock::time_point> deadline;
    };
    struct Completion {
        std::shared_ptr<platform::IoRequest> request;
        uint32_t error;
        uint32_t bytes;
    };
    using Completions = std::vector<Completion>;
    // A frame request of fast mode whose frame the frame thread is to make before it is
    // answered with `bytes`.
    struct FrameAnswer {
        std::shared_ptr<platform::IoRequest> request;
        uint32_t bytes;
    };

    void HandleControl(const std::shared_ptr<platform::IoRequest>& request, Completions& done);
    bool HandleVendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                             uint8_t* data, uint32_t dataLength);
    void HandleBulk(const std::shared_ptr<platform::IoRequest>& request, bool buffered,
                    Completions& done);
    void HandleOut(const uint8_t* data, uint32_t length);
    I2cSlave* BusDevice(uint8_t busAddress);
    void SetReady(bool ready);
    void OnFpgaWrite(uint8_t reg, uint8_t value);

    // Frames. A frame is its header unit and its data unit.
    struct Frame {
        std::vector<uint8_t> header;
        std::vector<uint8_t> data;
        bool headerLost = false;
    };
    // False when the request is answered by the frame thread once its frame is made.
    bool RequestFrame(std::chrono::steady_clock::time_point now);
    void MakeRequestedFrames(Completions& done);
    bool RoomForFrame();
    void ScheduleSensorFrame(std::chrono::steady_clock::time_point now);
    void FailFrameAnswers(bool all, uint64_t owner, uint32_t error, Completions& done);
    bool MakeFrame(const SensorFrameState& state, bool triggered, Frame& frame);
    void SendFrame(Frame& frame);
    void FinishTriggeredFrame();
    void DropStoredFrames();
    double TriggerExposureSeconds(const SensorFrameState& state) const;
    std::optional<std::chrono::steady_clock::time_point> NextFrameEvent() const;
    std::vector<uint8_t> TakeBuffer(size_t size);
    void GiveBack(std::vector<uint8_t>& buffer);
    // Leaves the hub when the camera unplugged itself; call without the lock.
    void DetachIfUnplugged();

    // Queues a transfer unit; reads it satisfies are completed when the lock is left.
    void QueueInLocked(uint8_t endpoint, std::vector<uint8_t>& unit, bool failed = false);
    void ReadFrameMemoryLocked(uint64_t address, uint8_t* out, size_t length) const;
    void WriteFrameMemoryLocked(uint64_t address, const uint8_t* data, size_t length);
    void ServePending(uint8_t endpoint, Completions& done);
    void FinishRead(Pending& pending, Completions& done);
    void FailPending(uint8_t endpoint, bool all, uint32_t error, Completions& done);
    void FlushIn(uint8_t endpoint);
    static void Deliver(Completions& done);
    bool TakeFault(SimFault fault);

    const int id_;
    const SimCameraConfig config_;
    const platform::GUID interfaceClass_;
    const std::string path_;

    mutable std::mutex mutex_;
    bool present_ = true;
    FpgaRegisterFile fpga_;
    Eeprom eeprom_;
    ByteRegisterChip aux_;
    std::unique_ptr<SimSensor> sensor_;
    SimScene scene_;
    std::map<uint8_t, bool> busPresent_;
    std::map<uint32_t, uint32_t> registers32_;
    uint8_t firmwareByte_ = 0;
    std::array<uint8_t, 64> info1_{};
    std::array<uint8_t, 64> info2_{};
    std::map<int, int> faults_;

    // The bridge's buffers of an IN endpoint: whole transfer units, oldest first; when they
    // are full the oldest is dropped. A failed unit completes its read with a USB error.
    static constexpr size_t kMaxQueuedUnits = 32;
    struct Unit {
        std::vector<uint8_t> bytes;
        bool failed = false;
    };
    struct InQueue {
        std::array<Unit, kMaxQueuedUnits> ring;
        size_t head = 0;
        size_t count = 0;
        size_t offset = 0;  // bytes of the front unit already read
        Unit& Front() { return ring[head]; }
    };
    void PopUnit(InQueue& queue);
    std::map<uint8_t, InQueue> in_;
    // Spent unit buffers, kept for the next frames: headers and frames apart.
    std::vector<std::vector<uint8_t>> spareSmall_;
    std::vector<std::vector<uint8_t>> spareLarge_;
    std::deque<Pending> pending_;
    Completions deferred_;  // completions found while the lock is held

    std::unordered_map<uint64_t, std::unique_ptr<std::array<uint8_t, 4096>>> memory_;
    // An "AU3W" command waiting for its data on 0x01.
    uint64_t writeAddress_ = 0;
    uint32_t writeRemaining_ = 0;

    uint32_t frameNumber_;
    uint32_t slot_ = 0;
    SimTrace trace_;

    // Start-up.
    bool ready_ = true;
    int resetsToReady_ = 0;
    int notReadyPolls_ = 0;

    // Frame timing.
    bool fastFrames_;
    bool frameRequested_ = false;  // a request waits for the next finished frame
    bool answerLater_ = false;     // the request being handled waits for the frame thread
    std::deque<FrameAnswer> frameAnswers_;
    bool fastFrameOwed_ = false;  // asked for while the bridge's buffers were full
    std::chrono::steady_clock::time_point lastFrameBoundary_;
    std::optional<std::chrono::steady_clock::time_point> nextFrameDue_;
    std::deque<std::chrono::steady_clock::time_point> triggerDue_;
    // Triggered frames waiting in the FPGA's frame memory, oldest first.
    std::deque<Frame> stored_;

    // The unplug fault.
    bool unplugArmed_ = false;
    int framesBeforeUnplug_ = 0;
    bool unplugNow_ = false;
};

}  // namespace velcor::sim
