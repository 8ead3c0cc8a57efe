// The camera engine: the model of one camera that the camera object drives. It owns the
// controller and exactly one sensor driver chosen by product id, runs the acquisition thread
// and keeps the ring of finished frames. The camera object reaches the camera only through
// these virtual operations.
//
// Results: 1 success, 0 failure or not supported, unless an operation says otherwise.
// Operations that need the controller or the sensor driver fail without them.
// Threads: the camera object calls the operations on application threads, one call at a time
// under its call lock. The worker thread of its capture session calls some too, without that
// lock: StartTransfer (trigger mode), WaitFrame, ReadFrame, ReadNextFrame, HoldNextFrame,
// CanHoldFrames, LatchFrameCounter and GetExposure,
// the mirror-hardware queries, and, under the settings lock that application threads also hold
// when they change those values, automatic exposure's gain and exposure operations.
// WakeFrameWaiters and GetFrameCounters take any thread. The acquisition thread runs the loop
// operations.
#pragma once

#include <velcor/VelcorTypes.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ProductTraits.h"
#include "platform/DriverPort.h"
#include "platform/Event.h"
#include "platform/Thread.h"

namespace velcor {

// Frames through the ring since the engine was made: finished by the acquisition thread, taken
// out by ReadFrame, and overwritten by newer ones before anyone read them.
struct FrameCounters {
    uint64_t finished = 0;
    uint64_t read = 0;
    uint64_t dropped = 0;
};

// A finished frame lent to its reader where it lies instead of copied out: the picture's top
// row first, rowStep bytes from one picture row to the next (negative for a camera that
// delivers its rows bottom-up).
struct HeldFrame {
    const uint8_t* topRow = nullptr;
    ptrdiff_t rowStep = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
};

// What WaitFrame answers.
enum WaitFrameResult : int {
    kWaitFrameLost = 1,        // the acquisition thread gave the camera up
    kWaitFrameNothingNew = 2,  // no frame newer than the last one read within the time
    kWaitFrameNew = 3,         // a frame newer than the last one read is in the ring
};

// One entry of the device table as this process sees it.
struct DeviceListing {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int instance = -1;     // per-model instance number: the device number of its camera
    bool present = false;  // the device can be opened now
    std::string path;
};

struct FrameRequest;
struct SensorInfo;
class CDevIz3Cam;
class CSensorBase;

class CVelcorR3U2Base {
  public:
    CVelcorR3U2Base();
    virtual ~CVelcorR3U2Base();
    CVelcorR3U2Base(const CVelcorR3U2Base&) = delete;
    CVelcorR3U2Base& operator=(const CVelcorR3U2Base&) = delete;

    // Device and controller.
    virtual int InitializeController(HWND window, const platform::GUID* interfaceClass);
    virtual int CameraStartUp();
    virtual int Shutdown();
    virtual int ReadDeviceInfo(uint8_t* block64);
    virtual int GetSensorInfo(SensorInfo* info);
    virtual int ReadDeviceInfo2(uint8_t* block64);
    virtual int Reopen(int deviceNumber);  // 0 on success, -1 on failure
    virtual int OpenDevice(int deviceNumber);
    virtual int SpareA();  // 0
    virtual int IsDevicePresent(int deviceNumber);
    virtual int CountDevices(int productId);
    virtual int GetDeviceName(int tableIndex, char* text);
    virtual int SetProductId(int productId);
    virtual int GetProductId();
    virtual int GetEntryVendorId(int tableIndex);
    virtual int GetEntryProductId(int tableIndex);
    virtual int GetEntryInstance(int tableIndex);
    virtual int IsEndpoint83Model();
    virtual int GetDeviceNumber();

    // Acquisition.
    virtual int StartTransfer(int mode);
    virtual int StopTransfer();
    // Copies the newest finished frame (or the single-frame slot) into buffer, rows in the
    // picture's order when topRowFirst is set.
    virtual int CopyFrame(uint8_t* buffer, int size, int fromSingleFrameSlot, int topRowFirst);
    virtual int SetTransferMode(int mode);
    virtual int ResetTransfer();
    virtual int AcquisitionLoop();
    virtual int AcquisitionLoop83();
    virtual int AcquisitionLoopMemory();
    virtual int ConfigureFrameBuffers();
    virtual int GetMaxDevices();  // 32
    virtual int LatchFrameCounter();
    virtual int SnapFrame();
    virtual int SpareB();  // -1
    // 0 when the frame was copied, -1 when it could not be, -2 for a null buffer.
    virtual int ReadSnapFrame(uint8_t* buffer, int size, int topRowFirst);
    virtual int SetFrameTimeout(uint32_t milliseconds);
    // A WaitFrameResult. The give-up is looked at again after the wait, so a thread that gives
    // up while a reader waits is reported as lost.
    virtual int WaitFrame(uint32_t milliseconds);
    // Copies the newest frame and marks it read: 0 when copied, -1 when it could not be. Frames
    // finished after the previous read but never copied are counted as dropped.
    virtual int ReadFrame(uint8_t* buffer, int size, int topRowFirst);
    // As ReadFrame, but copies the oldest frame not read yet and marks only that one read, so a
    // reader that fell behind takes every frame the ring still holds, in order.
    int ReadNextFrame(uint8_t* buffer, int size, int topRowFirst);
    // As ReadNextFrame, but lends the frame instead of copying it: the frame's buffer leaves
    // the ring, which takes the buffer of the previously held frame in its place, so the
    // acquisition thread never writes into a frame being read and the ring keeps its depth.
    // The frame stays valid until the next HoldNextFrame or a change of the frame geometry or
    // depth. 0 when held; -1 without a new frame. Only for readers that want the picture's
    // top row first, and only while CanHoldFrames answers true.
    int HoldNextFrame(HeldFrame& frame);
    // Frames come out of the camera in a row order a HeldFrame can describe: whole rows,
    // pixels in the picture's order, top row first or last.
    bool CanHoldFrames() const;
    virtual int SpareC();  // 0
    virtual int SetBitDepthMode(int mode);
    virtual int SetClockMode(int mode);
    virtual int GetClockMode(int* mode);

    // Window and mirrors.
    virtual int ApplyWindow(int x, int y, int width, int height, int mode);
    virtual int GetWindowInForce(int* x, int* y, int* width, int* height, int* mode);
    virtual int SetMirrorH(int on);
    virtual int SetMirrorV(int on);
    virtual int GetMirrorH(int* on);
    virtual int GetMirrorV(int* on);
    virtual int GetMirrorVDefault();
    virtual int GetMirrorHDefault();
    virtual int HasMirrorVHardware();
    virtual int HasMirrorHHardware();
    virtual int SetTriggerMode(int mode, int force);
    virtual int GetTriggerMode();
    virtual int WriteEeprom(uint16_t address, uint8_t value);
    virtual int ReadEeprom(uint16_t address, uint8_t* value);
    virtual int IsHWindowSupported();
    virtual int IsVWindowSupported();
    virtual int GetFullWidth();
    virtual int GetFullHeight();
    virtual int GetDefaultWidth();
    virtual int GetDefaultHeight();
    virtual int GetDefaultX();
    virtual int GetDefaultY();

    // Gain and exposure.
    virtual int SetGlobalGain(int gain);
    virtual int GetGlobalGain();
    virtual int GetGlobalGainMin();
    virtual int GetGlobalGainMax();
    virtual int GetGlobalGainDefault();
    virtual int SetExposure(uint32_t tenthsOfMs);
    virtual int GetExposure();
    virtual int GetExposureMin();
    virtual int GetExposureMax();
    virtual int GetExposureDefault();
    virtual int SetExposureLines(int lines);
    virtual int GetExposureLines();
    virtual int GetExposureLinesMin();
    virtual int GetExposureLinesMax();
    virtual int GetExposureLinesDefault();
    virtual int IsExposureSecondsSupported();
    virtual int SetExposureSeconds(double seconds);
    virtual int GetExposureSeconds(double* seconds);
    virtual int GetExposureSecondsMin(double* seconds);
    virtual int GetExposureSecondsMax(double* seconds);
    virtual int GetExposureSecondsDefault(double* seconds);
    virtual int SetChannelGain(int channel, int gain);
    virtual int GetChannelGain(int channel);
    virtual int GetChannelGainMin();
    virtual int GetChannelGainMax();
    virtual int GetChannelGainDefault();
    virtual int SetChannelOffset(int channel, int offset);
    virtual int GetChannelOffset(int channel);
    virtual int GetChannelOffsetMin();
    virtual int GetChannelOffsetMax();
    virtual int GetChannelOffsetDefault();
    virtual int SetColourGainRed(int gain);
    virtual int GetColourGainRed();
    virtual int SetColourGainGreen1(int gain);
    virtual int GetColourGainGreen1();
    virtual int SetColourGainGreen2(int gain);
    virtual int GetColourGainGreen2();
    virtual int SetColourGainBlue(int gain);
    virtual int GetColourGainBlue();
    virtual int GetColourGainMin();
    virtual int GetColourGainMax();
    virtual int GetColourGainDefault();
    virtual int IsBlackLevelSupported();
    virtual int SetBlackLevel(int level);
    virtual int GetBlackLevel(int* level);
    virtual int GetBlackLevelMin();
    virtual int GetBlackLevelMax();
    virtual int GetBlackLevelDefault();

    // Register access.
    virtual int WriteSensorRegister(int bank, int reg, int value);
    virtual int ReadSensorRegister(int bank, int reg, int* success);
    virtual int WriteFpgaRegister(int reg, int value);
    virtual int ReadFpgaRegister(int reg, int* success);
    virtual int SpareD();  // 0
    virtual int SpareE();  // 0
    virtual int OnCapture();
    virtual int OnCaptureDone();
    virtual int SetSamplingRate(int sensorIndex, int value, int* rate);
    virtual int IsGainModeSupported();
    virtual int SetGainMode(int mode);
    virtual int GetGainMode();  // -1 without a sensor driver
    virtual int WriteEepromByte1080(uint8_t value);
    virtual int ReadEepromByte1080(uint8_t* value);
    virtual int IsFpgaSwitchSupported();
    virtual int GetFpgaSwitch();
    virtual int SetFpgaSwitch(int on);
    virtual int IsFpgaValueSupported();
    virtual int SetFpgaValue(uint16_t value);
    virtual int GetFpgaValue(uint16_t* value);
    virtual int QueryReserved();  // 0
    virtual int GetFpgaValueMax();
    virtual int ReceiveText(char* buffer, int length);
    virtual int SendText(const char* text, int length);

    // Sensor extras.
    virtual int IsCoolerSupported();
    virtual int GetCooler();
    virtual int SetCooler(int on);
    virtual int IsTemperatureSupported();
    virtual int GetTemperature(double* celsius);
    virtual int IsSwitchASupported();
    virtual int GetSwitchA();
    virtual int SetSwitchA(int on);
    virtual int IsAuxSwitchSupported();
    virtual int GetAuxSwitch();
    virtual int SetAuxSwitch(void* argument);
    virtual int IsSetPointSupported();
    virtual int SpareOpA();
    virtual int SpareOpB();
    virtual int GetSensorTemperature(double* celsius);
    virtual int SetTemperatureSetPoint(int setPoint);
    virtual int VariantInfoA();
    virtual int VariantInfoB();
    virtual int VariantOpA();
    virtual int VariantOpB();
    virtual int VariantOpC();
    virtual int IsFixedExposureSupported();
    virtual int GetFixedExposure(int* on);
    virtual int SetFixedExposure(int on);
    virtual int IsGainStepSupported();
    virtual int GetGainStepMin();
    virtual int GetGainStepMax();
    virtual int GetGainStepDefault();
    virtual int GetGainStep();
    virtual int SetGainStep(int step);
    virtual int GetGainStepLabel(int step, char* text);
    virtual int IsSwitchBSupported();
    virtual int SetSwitchB(int on);
    virtual int GetSwitchB();
    virtual int Allows8BitOutput();
    virtual int Allows16BitOutput();
    virtual int IsColourSensor();

    // The device interface class of the cameras this engine drives.
    static const platform::GUID& CameraInterfaceClass();
    // Enumerates the attached cameras into the device table and lists the table's entries.
    static std::vector<DeviceListing> ListDeviceTable();

    // Wakes a thread waiting in WaitFrame without touching the transfer; callable from any
    // thread (the camera object uses it to end its worker before it stops the transfer).
    void WakeFrameWaiters();

    // For diagnostics and tests: the controller and the sensor driver of the open camera.
    CDevIz3Cam* Controller() const { return controller_.get(); }
    CSensorBase* Sensor() const { return sensor_.get(); }
    uint32_t FrameTimeout() const { return frameTimeout_; }
    int FrameBytes() const { return frameBytes_; }
    float FramesPerSecond() const { return framesPerSecond_; }
    double TransferRate() const { return transferRate_; }
    bool FrameLost() const { return lostFlag_ != 0; }
    FrameCounters GetFrameCounters();
    // Frame buffers in the ring (at least four; more while frames are small).
    int RingDepth() const { return static_cast<int>(frames_.size()); }
    bool GeometryChanged() const { return geometryChanged_ != 0; }
    const uint8_t* DeviceInfoBlock() const { return deviceInfo_.data(); }

  protected:
    // The firmware version, 16 bits at offset 24 of the device information block.
    int FirmwareVersion() const;
    // Polls the bridge's ready state up to `tries` times, 500 ms apart.
    bool WaitForReadyState(int tries);
    // Pulses the FPGA's frame-release register: frees the frame slot and resynchronises the
    // stream (0x6C; 0x96 for the sensors with model codes 103 and 115).
    void PulseSensor();
    // Writes a 16-bit value to a low/high pair of FPGA registers.
    void WriteFpgaPair(int lowRegister, int value);
    // The product's start-up step before the sensor's WaitReady; false when the camera never
    // became ready and the start fails.
    bool RunStartupStep();
    // Tells the camera the pixel depth through the product's depth register.
    bool WriteDepthRegister(int mode);
    // The product's trigger handling between stopping the transfer and storing the mode; the
    // mode to store.
    int ApplyTriggerRule(int mode);
    // Writes the window size and the picture's offsets, and what else the product needs
    // after its geometry changed.
    void WriteFrameGeometry(int width, int height);
    int BytesPerPixel() const { return bitDepthMode_ == 1 || bitDepthMode_ == 2 ? 2 : 1; }
    // The ring buffer the next frame is read into, straight from the camera. A frame still
    // unread in it is lost now and counted as dropped; readers never touch the buffer until
    // PublishFrame hands it over. Null without frame buffers.
    uint8_t* ClaimRingSlot();
    // Points the frame request at the claimed ring buffer; false without one.
    bool AimRequestAtRing(FrameRequest& request);
    // Hands the claimed buffer over as the newest finished frame, numbers it and wakes the
    // reader.
    void PublishFrame();
    // Copies a ring buffer into `buffer` in the picture's order (CopyFrame's rules).
    int CopyFrameFrom(const std::vector<uint8_t>& source, uint8_t* buffer, int size,
                      int topRowFirst);
    // Rows of the ring buffers are delivered bottom-up (the sensor's orientation).
    bool RowsDeliveredBottomUp() const;
    // Everything in the ring counts as read: a new transfer reports only its own frames.
    void MarkRingRead();
    bool HasNewFrame();
    // After a failed read of the frame counter in trigger mode: true when the camera is gone
    // (it cannot be opened) or the counter has been unreadable for a whole frame time-out.
    // failingSinceMs is 0 while reads succeed.
    bool FrameCounterLost(uint32_t& failingSinceMs);
    // Counts a finished frame; refreshes framesPerSecond once a second.
    void MeterFrame();
    // Runs the loop body for this product on the acquisition thread.
    void RunAcquisitionThread();
    // Ends a loop body: signals the end of the thread and wakes a waiting reader if the
    // camera was given up.
    int FinishLoop(int result);

    std::unique_ptr<CDevIz3Cam> controller_;
    std::array<uint8_t, 64> deviceInfo_{};
    int transferMode_ = 0;
    int productId_ = -1;
    // What this engine does differently for its product; follows productId_.
    const ProductTraits* traits_ = &FindProductTraits(-1);
    std::vector<uint8_t> transferBuffer_;
    int bitDepthMode_ = 0;
    int triggerMode_ = -1;
    // The ring. Frame number n (counted from 1) lives in frames_[(n - 1) % depth]. The camera
    // reads each frame straight into the buffer after the newest one, so a finished frame is
    // handed over, not copied. Its depth follows the frame size (ConfigureFrameBuffers): at
    // the sensor's rate it holds the frames of a worker held up for most of a second, which
    // is what a busy machine costs it; only frames older than that are dropped.
    std::vector<std::vector<uint8_t>> frames_;
    // The buffer of the frame lent by HoldNextFrame (frame heldSequence_, 0 for none), out of
    // the ring; the next hold trades it back in. Sized like the ring's buffers.
    std::vector<uint8_t> heldFrame_;
    uint64_t heldSequence_ = 0;
    // Held while a ring buffer is claimed, handed over or copied out (recursive: ReadFrame
    // copies through CopyFrame).
    std::recursive_mutex ringLock_;
    // The buffer the next frame goes to: finishedSequence_ % depth.
    std::atomic<int> writeIndex_{0};
    int frameBytes_ = 0;
    std::atomic<int> lostFlag_{0};
    // Signalled for every finished frame, when the thread gives up and when the transfer stops;
    // it lives as long as the engine, so readers on any thread may wait on it safely.
    platform::Event frameEvent_{platform::Event::Reset::Auto};
    std::atomic<float> framesPerSecond_{0.0f};
    std::atomic<double> transferRate_{0.0};
    int geometryChanged_ = 1;
    std::unique_ptr<CSensorBase> sensor_;
    uint16_t lastFrameCounter_ = 0;
    int deviceNumber_ = 0;
    std::atomic<uint32_t> frameTimeout_{5000};
    std::atomic<int> pendingExposure_{0};
    std::atomic<uint32_t> pendingExposureValue_{0};
    platform::Thread thread_;
    std::unique_ptr<platform::Event> threadEndEvent_;
    std::atomic<int> running_{0};
    // Frames are numbered as they are finished (under ringLock_); a frame is new while its
    // number is above the last one read. Slot indices alone cannot tell a reader that fell
    // behind by a multiple of four frames from one that is up to date.
    uint64_t finishedSequence_ = 0;
    uint64_t lastReadSequence_ = 0;
    uint64_t framesRead_ = 0;
    uint64_t framesDropped_ = 0;
    // Frame-rate meter of this engine: frames counted since the window started.
    uint32_t meterCount_ = 0;
    uint32_t meterStartMs_ = 0;
};

// The engine of this product: the engine base with its own destructor.
class CVelcorUSB3T2SimpleSdk : public CVelcorR3U2Base {
  public:
    ~CVelcorUSB3T2SimpleSdk() override;
};

}  // namespace velcor
