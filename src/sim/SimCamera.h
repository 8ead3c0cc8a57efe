// A simulated camera: a device behind the driver port, as a real camera is behind the bridge
// driver. It answers the driver's I/O controls with the FX3 firmware's behaviour: the vendor
// requests on endpoint 0, the I2C bus with the FPGA register file (0x40), the sensor (0x48),
// the auxiliary chip (0x5A) and the configuration EEPROM (0xA2), the bulk endpoints 0x81 and
// 0x83 (IN) and 0x01 (OUT), frame requests, the frame memory behind the FPGA and its "AU3R" /
// "AU3W" commands.
//
// A bulk read that finds no data pends until data arrives, its record's time-out expires, the
// pipe is aborted, its handle is closed or the camera is detached.
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
};

// Faults the camera can be told to produce; each applies to the next `count` occurrences.
enum class SimFault {
    ControlFails = 1,  // control requests fail as a stalled endpoint 0
    BulkStalls = 2,    // bulk transfers never complete until aborted
    BulkStatus = 3,    // bulk transfers complete with their data and a non-zero USB status
    I2cNack = 4,       // I2C transactions are not acknowledged
    FpgaBusy = 5,      // FPGA register 2 reads busy
};

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
    uint32_t aborts = 0;
};

inline constexpr uint32_t kUsbStatusStall = 0xC0000004u;  // USBD_STATUS_STALL_PID
inline constexpr uint32_t kDeviceSpeedSuperSpeed = 4;

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
    void StartIo(const std::shared_ptr<platform::IoRequest>& request) override;
    void CancelIo(uint64_t owner) override;

    // Unplugs the camera: opens fail and every pending transfer fails.
    void Unplug();
    bool InjectFault(SimFault fault, int count);
    // Completes pending reads whose record time-out has passed; the earliest remaining
    // deadline, if any.
    std::optional<std::chrono::steady_clock::time_point> ExpireDeadlines(
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

    void HandleControl(const std::shared_ptr<platform::IoRequest>& request, Completions& done);
    bool HandleVendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                             uint8_t* data, uint32_t dataLength);
    void HandleBulk(const std::shared_ptr<platform::IoRequest>& request, bool buffered,
                    Completions& done);
    void HandleOut(const uint8_t* data, uint32_t length);
    I2cSlave* BusDevice(uint8_t busAddress);
    void ProduceFrame();
    // Queues a transfer unit; reads it satisfies are completed when the lock is left.
    void QueueInLocked(uint8_t endpoint, std::vector<uint8_t> unit);
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
    std::map<uint8_t, bool> busPresent_;
    std::map<uint32_t, uint32_t> registers32_;
    uint8_t firmwareByte_ = 0;
    std::array<uint8_t, 64> info1_{};
    std::array<uint8_t, 64> info2_{};
    std::map<int, int> faults_;

    struct InQueue {
        std::deque<std::vector<uint8_t>> units;
        size_t offset = 0;  // bytes of the front unit already read
    };
    std::map<uint8_t, InQueue> in_;
    std::deque<Pending> pending_;
    Completions deferred_;  // completions found while the lock is held

    std::unordered_map<uint64_t, std::unique_ptr<std::array<uint8_t, 4096>>> memory_;
    // An "AU3W" command waiting for its data on 0x01.
    uint64_t writeAddress_ = 0;
    uint32_t writeRemaining_ = 0;

    uint32_t frameNumber_;
    uint32_t slot_ = 0;
    SimTrace trace_;
};

}  // namespace velcor::sim
