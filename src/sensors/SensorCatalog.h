// The constants of every sensor model of the driver family, one row per driver class. The
// classes' constructors fill their SensorInfo record from their row; nothing else repeats these
// numbers.
#pragma once

#include <cstdint>

namespace velcor {

// How a driver reaches its sensor's registers.
enum class RegisterForm : uint8_t {
    None,                 // no sensor registers (video converter)
    I2c16x8LockedPaused,  // 16-bit register, byte value, driver lock, 1 ms pause before a write
    I2c16x8Locked,        // the same without the pause
    I2c16x8Paused,        // the same with the pause and without a lock
    I2c16x8Settled,       // 16-bit register, byte value, settling wait and a 256-byte register copy
    I2c16x16,             // 16-bit register, 16-bit value
    I2c8x16,              // 8-bit register, 16-bit value
    Word32,               // bridge register word
    Word32Copied,         // bridge register word, every written value kept in the copy tables
    Fpga,                 // the camera's FPGA is the sensor interface
    FpgaMailbox,          // FPGA registers 32..39 carry a device number and an address-value word
};

// How the read-back write and the retried read loop.
enum class RetryForm : uint8_t {
    Standard,         // 100 attempts 3 ms apart, while the FPGA's sensor bus is idle
    WriteNoReadBack,  // writes: 1000 attempts 2 ms apart, without reading back
    QuickRead,        // reads: 30 attempts without waiting
    FineTimer,        // every pause under a 1 ms timer-resolution request
    FpgaGated,        // FPGA register 159 is 1 for the length of each loop
};

// Optional operations a class offers beyond the common set.
enum SensorFeature : uint32_t {
    kFeatureTrigger = 1u << 0,
    kFeatureBitDepth = 1u << 1,
    kFeatureMirrorV = 1u << 2,
    kFeatureMirrorH = 1u << 3,
    kFeatureRegisters = 1u << 4,  // WriteRegister and ReadRegister for the engine
    kFeatureColourGains = 1u << 5,
    kFeatureChannels = 1u << 6,  // channel gain and offset of the CCD front end
    kFeatureBlackLevel = 1u << 7,
    kFeatureExposureSeconds = 1u << 8,
    kFeatureCooler = 1u << 9,
    kFeatureTemperature = 1u << 10,
    kFeatureSamplingRate = 1u << 11,
    kFeatureClockModeGet = 1u << 12,
    kFeatureClockModeSet = 1u << 13,
    kFeatureSetPoint = 1u << 14,
    kFeatureGainSteps = 1u << 15,
    kFeatureSwitchA = 1u << 16,
    kFeatureCaptureRestart = 1u << 17,  // OnCapture restarts the sensor's frame
    kFeatureReadoutVariant = 1u << 18,  // a selectable readout variant (IMX990, IMX991)
    kFeatureNoGainSet = 1u << 19,
    kFeatureOnly16Bit = 1u << 20,  // refuses 8-bit output
    kFeatureOnly8Bit = 1u << 21,   // refuses 16-bit output
    kFeatureCommonSet = 1u << 22,  // window, exposure and gain (all but the video converter)
};

struct SensorModel {
    const char* className;
    int32_t fullWidth;
    int32_t fullHeight;  // line-scan models: the longest frame in lines
    bool lineScan;       // default window width x width, both directions may be narrowed
    int32_t clockKHz;
    int32_t exposureMin, exposureMax, exposureDefault;  // 0.1 ms
    int32_t gainMin, gainMax, gainDefault;
    bool gainSupported;
    bool colour;
    int32_t orientation;  // 0: as delivered
    int32_t bitDepth;     // starting bit depth; 0 where the class leaves it
    int32_t modelCode;    // set by the constructor; 0 where the factory supplies it or none
    double exposureSecondsMin, exposureSecondsMax, exposureSecondsDefault;  // 0: not offered
    int32_t blackLevelMin, blackLevelMax, blackLevelDefault;
    RegisterForm form;
    RetryForm retry;
    uint32_t features;

    bool Has(uint32_t feature) const { return (features & feature) == feature; }
};

// The row of a driver class, or null for a class the family does not have.
const SensorModel* FindSensorModel(const char* className);

// Every row, for the factory and the tests.
const SensorModel* SensorModelsBegin();
const SensorModel* SensorModelsEnd();

}  // namespace velcor
