// The simulated camera behind its USB bridge: the FPGA with its register file (I2C 0x40) and
// frame memory, the image sensor (0x48), the auxiliary chip (0x5A), the configuration EEPROM
// (0xA2), the sensor's frame timing and trigger input, the scene in front of the lens and the
// sensor's defective pixels. It finishes frames and hands them to whoever drives it (the bridge,
// in a camera); it knows nothing of I/O requests, endpoints or the driver port.
//
// Cameras of product 0x32C0 carry the ROZE9701 model at 0x48 and render the scene in front of
// the lens through its window, mirrors, exposure, gain and black level; the FPGA cuts the frame
// out with its frame size and offset registers and sends it at the pixel depth of register
// 0x3C. Cameras of the other products of the sensor family carry a register-file sensor on the
// bus address of their wire form (SimFamilySensor.h) that reads out the family's known picture;
// their FPGA takes the frame size and pixel depth from their product's registers, and a
// frame-memory camera finishes a frame whenever the host looks for the newest slot. Their
// frames are drawn only where the host reads them, on every path. Any other product id gets a
// plain register file that draws a moving test frame.
//
// Frame timing: a frame request is answered with the next frame the sensor finishes:
// free-running, after frame length x line length / pixel clock; in trigger mode (the
// ROZE9701's register 0 = 16 with FPGA register 88 = 1; a family camera's trigger input as
// its product row names it) only trigger pulses start frames, each one
// advancing the frame counter (register 8) and waiting in the FPGA's frame memory until it is
// requested. With fast frames on, a free-running frame is finished the moment its requester
// asks for it (FinishFrame) and a triggered frame the moment its pulse arrives.
//
// Threads: every function takes the model's own lock. Functions that finish frames add them
// to `out` and return; the model calls nothing of its driver. Under its lock it calls only
// into its own chips (the ROZE9701 model has a lock of its own), the buffer pool and the wake
// function, which must take no lock but its own.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sim/SimBufferPool.h"
#include "sim/SimCameraConfig.h"
#include "sim/SimI2cDevices.h"
#include "sim/SimScene.h"

namespace velcor::sim {

class SimFamilySensor;

// Register spaces of the control API.
enum class RegisterSpace { Fpga = 1, Sensor = 2, Eeprom = 3 };

// One frame as the FPGA finishes it.
struct SimFrame {
    uint32_t number = 0;  // the FPGA's running frame number
    uint32_t width = 0;   // the FPGA's frame size
    uint32_t height = 0;
    uint32_t bytesPerPixel = 1;
    uint32_t slot = 0;  // the frame-memory slot that holds a copy of it
    // A family camera's frame carries no pixels: its bytes are drawn where they are read
    // (SimCameraModel::DrawFrame), so its size is not bounded by a buffer.
    bool drawn = false;
    std::vector<uint8_t> pixels;  // width x height samples of one or two bytes, unless drawn

    uint64_t Bytes() const {
        return drawn ? uint64_t{width} * height * bytesPerPixel : pixels.size();
    }
};

// What the host did to the camera itself, for tests.
struct SimModelTrace {
    std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;  // host writes: register, value
    uint32_t triggers = 0;                                // trigger pulses that reached the camera
    uint32_t sensorResets = 0;  // reset requests through FPGA register 164
};

class SimCameraModel {
  public:
    using Clock = std::chrono::steady_clock;

    // `buffers` holds the frame buffers and outlives the model. `wake` tells the camera's
    // hardware thread that a frame falls due at a time the last Advance did not report.
    SimCameraModel(const SimCameraConfig& config, SimBufferPool& buffers,
                   std::function<void()> wake);
    ~SimCameraModel();
    SimCameraModel(const SimCameraModel&) = delete;
    SimCameraModel& operator=(const SimCameraModel&) = delete;

    // --- The I2C bus, as the bridge's I2C master reaches it -----------------------------------
    // Bus addresses are write addresses: bit 0 is ignored.
    bool HasBusDevice(uint8_t busAddress);
    // One write transaction; false when the chip does not acknowledge it. `framesReleased` is
    // set when the write pulsed the FPGA's frame release: the FPGA then starts its output
    // again with the next frame's header, and what the receiver holds of the frame it was
    // sending is void.
    bool BusWrite(uint8_t busAddress, const uint8_t* data, int length, bool* framesReleased);
    bool BusRead(uint8_t busAddress, uint8_t* data, int length);
    // The sensor's file of 16-bit registers, as relayed sensor requests reach it.
    bool WriteSensor16(uint16_t address, uint16_t value);
    bool ReadSensor16(uint16_t address, uint16_t* value);
    // True once the FPGA has configured the sensor.
    bool Ready() const;

    // --- Frames -------------------------------------------------------------------------------
    // A frame request. A frame the FPGA can give at once (a triggered frame waiting in frame
    // memory) is added to `out`; otherwise the request waits for the sensor's next frame, or
    // for nothing while the sensor is stopped. True instead when the frame is finished on
    // demand (fast frames, free-running sensor): the requester calls FinishFrame when it has
    // room for it.
    bool RequestFrame(Clock::time_point now, std::vector<SimFrame>& out);
    // The frame of a request answered on demand; none unless the sensor runs free.
    void FinishFrame(std::vector<SimFrame>& out);
    // A frame owed on demand is to come from the sensor at its frame rate instead.
    void RequestSensorFrame(Clock::time_point now);
    // Forgets a waiting frame request.
    void CancelFrameRequest();
    // One pulse on the trigger input; ignored unless the camera is in trigger mode. With fast
    // frames the triggered frame is finished at once and, when a request waits for it, added
    // to `out`. False when the camera has no power.
    bool FireTrigger(Clock::time_point now, std::vector<SimFrame>& out);
    // The camera's time passes up to `now`: frames the sensor finished for a waiting request
    // are added to `out`. Returns when the next frame falls due, if one does.
    std::optional<Clock::time_point> Advance(Clock::time_point now, std::vector<SimFrame>& out);
    void SetFastFrames(bool fast);
    bool FastFrames() const;
    // The camera loses its power: it makes no frames from now on and ignores its trigger.
    // Its registers and frame memory stay readable.
    void PowerOff();
    // `length` bytes of a drawn frame from byte `offset` on.
    void DrawFrame(const SimFrame& frame, uint64_t offset, uint8_t* out, size_t length) const;

    // --- Frame memory: page-granular and sparse; unwritten memory reads 0 --------------------
    void ReadFrameMemory(uint64_t address, uint8_t* out, size_t length) const;
    void WriteFrameMemory(uint64_t address, const uint8_t* data, size_t length);

    // --- The chips' own view, without access rules --------------------------------------------
    // nullopt / false for an address the space does not have or a value that is not a byte.
    std::optional<int> GetRegister(RegisterSpace space, int address) const;
    bool SetRegister(RegisterSpace space, int address, int value);
    uint8_t FpgaRegister(uint8_t reg) const;
    void SetFpgaRegister(uint8_t reg, uint8_t value);
    uint8_t EepromByte(uint16_t address) const;
    uint8_t AuxRegister(uint8_t reg) const;
    uint8_t SensorRegister(uint16_t reg) const;
    // The bridge's firmware byte, which sets the pixel depth of the cameras that read it.
    void SetFirmwareByte(uint8_t value);
    void SetSensor(std::unique_ptr<SimSensor> sensor);
    void SetBusDevicePresent(uint8_t busAddress, bool present);
    // A 32-bit register word the host wrote through the bridge: the CCD cameras' timing
    // generator takes its settings from these.
    void WriteRegisterWord(uint32_t address, uint32_t value);
    // FPGA register 2 reads busy for the next `count` reads over the bus.
    void SetFpgaBusyReads(int count);
    void SetScene(SceneKind kind);
    SceneKind Scene() const;
    // The scene is drawn from a picture made once per setting (SimScene::SetFastRender).
    void SetFastRender(bool fast);
    bool FastRender() const;
    bool SetDefects(int hot, int dead, uint32_t seed);
    std::vector<SimScene::Defect> Defects() const;
    SimModelTrace Trace() const;
    void ClearTrace();

  private:
    // Everything below runs under mutex_.
    I2cSlave* BusDevice(uint8_t busAddress);
    void SetReady(bool ready);
    void OnFpgaWrite(uint8_t reg, uint8_t value);
    void OnFpgaRead(uint8_t reg);
    void MakeMemoryFrame();
    uint64_t SlotBytes() const;
    // The frame size and depth the FPGA gives its next frame.
    void FrameFormat(uint32_t* width, uint32_t* height, uint32_t* bytesPerPixel) const;
    // The sensor's frame state, read out in trigger mode whenever the camera's trigger input
    // is armed.
    SensorFrameState FrameStateLocked() const;
    bool TriggerArmed(const SensorFrameState& state) const;
    bool FamilyTriggerOn() const;
    uint32_t FamilySensorValue(uint32_t reg) const;
    void ScheduleSensorFrame(Clock::time_point now);
    bool MakeFrame(const SensorFrameState& state, bool triggered, SimFrame& frame);
    void FinishTriggeredFrame(std::vector<SimFrame>& out);
    void DropStoredFrames();
    double TriggerExposureSeconds(const SensorFrameState& state) const;
    uint32_t LineLength() const;
    std::optional<Clock::time_point> NextFrameEvent() const;
    void ReadFrameMemoryLocked(uint64_t address, uint8_t* out, size_t length) const;
    void WriteFrameMemoryLocked(uint64_t address, const uint8_t* data, size_t length);

    const SimCameraConfig config_;
    SimBufferPool& buffers_;
    const std::function<void()> wake_;

    mutable std::mutex mutex_;
    bool powered_ = true;
    FpgaRegisterFile fpga_;
    Eeprom eeprom_;
    ByteRegisterChip aux_;
    std::unique_ptr<SimSensor> sensor_;
    SimFamilySensor* family_ = nullptr;  // the sensor, when it is a family camera's
    uint8_t firmwareByte_ = 0;
    uint32_t latchedHeight_ = 0;  // FrameSizeSource::FpgaLatched
    // The frames in the slots of a family camera's frame memory, drawn when they are read.
    struct MemoryFrame {
        uint32_t number = 0;
        uint32_t width = 0, height = 0, bytesPerPixel = 1;
    };
    std::map<uint32_t, MemoryFrame> memoryFrames_;
    std::map<uint32_t, uint32_t> registerWords_;
    SimScene scene_;
    std::map<uint8_t, bool> busPresent_;
    bool framesReleased_ = false;  // the bus write under way pulsed the frame release
    SimModelTrace trace_;

    static constexpr uint32_t kPage = 4096;
    std::unordered_map<uint64_t, std::unique_ptr<std::array<uint8_t, kPage>>> memory_;
    uint32_t frameNumber_;
    uint32_t slot_ = 0;

    // Start-up.
    bool ready_ = true;
    int resetsToReady_ = 0;

    // Frame timing.
    bool fastFrames_;
    bool frameRequested_ = false;  // a request waits for the next finished frame
    Clock::time_point lastFrameBoundary_;
    std::optional<Clock::time_point> nextFrameDue_;
    std::deque<Clock::time_point> triggerDue_;
    // Triggered frames waiting in the FPGA's frame memory, oldest first.
    std::deque<SimFrame> stored_;
};

}  // namespace velcor::sim
