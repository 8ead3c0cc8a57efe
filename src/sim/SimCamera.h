// A simulated camera: a device behind the driver port, as a real camera is behind the bridge
// driver. It is made of two parts, each with its own lock:
// - the bridge (SimBridge.h), the FX3 firmware: the driver's I/O controls, the transfer
//   record, vendor requests, the bulk endpoints with their buffers and pending transfers, and
//   the completion of requests;
// - the camera model (SimCameraModel.h), the camera behind it: the FPGA's registers and frame
//   memory, the I2C chips, the sensor's frame timing and trigger, scenes and defects. It knows
//   nothing of the transport.
// The camera owns both and the buffer pool they share, presents the bridge to the driver port
// and sends each control function to the part that holds its state.
//
// Faults: those of the bus and of transfers act in the bridge (failing control requests,
// stalled bulk transfers, bad USB status, unacknowledged I2C transactions, lost headers, short
// frames). So does the unplug after a number of frames, as the bridge counts the frames that
// leave through its endpoints and strikes at a frame request; the camera then leaves the hub.
// A busy sensor bus is the FPGA's, so the model's; so is a camera that never becomes ready
// (readyAfterResets < 0), while the "not ready" answers of notReadyPolls are the bridge's.
//
// Locks: bridge, then model, never the other way round; the model calls nothing of the bridge.
// Innermost come the ROZE9701 chip's own lock, the buffer pool's and the hub's frame-thread
// lock (taken to wake the frame thread): no camera lock is taken while one of them is held.
// The camera takes no lock of its own, and requests are completed with no camera lock held.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DriverPort.h"
#include "sim/SimBridge.h"
#include "sim/SimBufferPool.h"
#include "sim/SimCameraConfig.h"
#include "sim/SimCameraModel.h"

namespace velcor::sim {

// What the host asked of the camera, for tests: the bridge's part and the model's.
struct SimTrace : SimBridgeTrace, SimModelTrace {};

class SimCamera : public platform::DriverDevice {
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
    const std::string& Path() const override { return path_; }
    bool IsPresent() const override { return bridge_.IsPresent(); }
    bool AcceptsOpen() const override { return !config_.refuseOpen; }
    bool ProcessLocal() const override { return !config_.machineWide; }
    void StartIo(const std::shared_ptr<platform::IoRequest>& request) override;
    void CancelIo(uint64_t owner) override { bridge_.CancelIo(owner); }

    // Unplugs the camera: opens fail and every pending transfer fails.
    void Unplug() { bridge_.Unplug(); }
    bool InjectFault(SimFault fault, int count);

    // Control API. Registers in the chips' own view, without access rules; nullopt / false for
    // an address the space does not have or a value that is not a byte.
    std::optional<int> GetRegister(RegisterSpace space, int address) const {
        return model_.GetRegister(space, address);
    }
    bool SetRegister(RegisterSpace space, int address, int value) {
        return model_.SetRegister(space, address, value);
    }
    void SetScene(SceneKind kind) { model_.SetScene(kind); }
    SceneKind Scene() const { return model_.Scene(); }
    void SetFastRender(bool fast) { model_.SetFastRender(fast); }
    bool FastRender() const { return model_.FastRender(); }
    bool SetDefects(int hot, int dead, uint32_t seed) { return model_.SetDefects(hot, dead, seed); }
    std::vector<SimScene::Defect> Defects() const { return model_.Defects(); }
    // One pulse on the trigger input; the camera ignores it unless it is in trigger mode.
    // False when the camera is unplugged.
    bool FireTrigger() { return bridge_.FireTrigger(); }
    void SetFastFrames(bool fast) { bridge_.SetFastFrames(fast); }
    bool FastFrames() const { return model_.FastFrames(); }
    // The camera's hardware at work, on the hub's frame thread: makes the frames that are due
    // or were asked for, and completes pending reads whose record time-out has passed. Returns
    // the earliest time at which there is more to do, if any.
    std::optional<std::chrono::steady_clock::time_point> RunHardware(
        std::chrono::steady_clock::time_point now) {
        return bridge_.RunHardware(now);
    }

    // Test and model access to the chips.
    uint8_t FpgaRegister(uint8_t reg) const { return model_.FpgaRegister(reg); }
    void SetFpgaRegister(uint8_t reg, uint8_t value) { model_.SetFpgaRegister(reg, value); }
    uint8_t EepromByte(uint16_t address) const { return model_.EepromByte(address); }
    uint8_t AuxRegister(uint8_t reg) const { return model_.AuxRegister(reg); }
    uint8_t SensorRegister(uint16_t reg) const { return model_.SensorRegister(reg); }
    void SetSensor(std::unique_ptr<SimSensor> sensor) { model_.SetSensor(std::move(sensor)); }
    void SetBusDevicePresent(uint8_t busAddress, bool present) {
        model_.SetBusDevicePresent(busAddress, present);
    }
    uint32_t Register32(uint32_t address) const { return bridge_.Register32(address); }
    void SetDeviceInfo(int block, const uint8_t info[64]) { bridge_.SetDeviceInfo(block, info); }
    // Frame memory, page-granular and sparse; unwritten memory reads 0.
    void ReadFrameMemory(uint64_t address, uint8_t* out, size_t length) const {
        model_.ReadFrameMemory(address, out, length);
    }
    void WriteFrameMemory(uint64_t address, const uint8_t* data, size_t length) {
        model_.WriteFrameMemory(address, data, length);
    }
    // Queues raw bytes as one transfer unit on an IN endpoint.
    void QueueIn(uint8_t endpoint, std::vector<uint8_t> unit) {
        bridge_.QueueIn(endpoint, std::move(unit));
    }
    size_t QueuedUnits(uint8_t endpoint) const { return bridge_.QueuedUnits(endpoint); }
    size_t PendingTransfers() const { return bridge_.PendingTransfers(); }
    SimTrace Trace() const;
    void ClearTrace();

  private:
    const int id_;
    const SimCameraConfig config_;
    const platform::GUID interfaceClass_;
    const std::string path_;

    // Declared in the order they depend on each other: the bridge drives the model, both
    // use the buffers.
    SimBufferPool buffers_;
    SimCameraModel model_;
    SimBridge bridge_;
};

}  // namespace velcor::sim
