#include "sensors/SensorCatalog.h"

#include <cstring>
#include <iterator>

namespace velcor {
namespace {

constexpr uint32_t kCommon = kFeatureCommonSet;
constexpr uint32_t kMirrors = kFeatureMirrorV | kFeatureMirrorH;
constexpr uint32_t kRegs = kFeatureRegisters;
constexpr uint32_t kTrig = kFeatureTrigger;
constexpr uint32_t kBits = kFeatureBitDepth;
constexpr uint32_t kSecs = kFeatureExposureSeconds;
constexpr uint32_t kRate = kFeatureSamplingRate;
constexpr uint32_t kCool = kFeatureCooler | kFeatureTemperature;
constexpr uint32_t kMt9 = kCommon | kFeatureColourGains | kMirrors | kRegs;
constexpr uint32_t kCcd =
    kCommon | kTrig | kFeatureChannels | kFeatureBlackLevel | kMirrors | kRegs | kRate;
constexpr uint32_t kSony = kCommon | kTrig | kBits | kMirrors | kRegs;
constexpr uint32_t kFpgaCamera = kCommon | kBits | kMirrors | kRegs | kRate;
constexpr uint32_t kSonyBlack = kCommon | kBits | kFeatureBlackLevel | kMirrors | kRegs | kSecs;
constexpr uint32_t kMailbox = kCommon | kBits | kRegs | kSecs | kRate;

using F = RegisterForm;
using R = RetryForm;

// Exposure in 0.1 ms, gain in sensor units; seconds and black level only where offered.
// clang-format off
constexpr SensorModel kModels[] = {
    // name, width, height, line-scan, clock, exposure, gain, gain?, colour, orientation,
    // bits, model code, seconds, black level, form, retry, features
    {"CSensorMT9F001", 4608, 3288, false, 96000, 1, 20000, 1754, 0, 127, 64, true, true, 0, 12, 0, 0, 0, 0, 0, 0, 0, F::I2c16x16, R::Standard, kMt9},
    {"CSensorMT9F002", 4608, 3288, false, 96000, 1, 20000, 1754, 0, 127, 64, true, true, 0, 12, 0, 0, 0, 0, 0, 0, 0, F::I2c16x16, R::Standard, kMt9 | kFeatureCaptureRestart},
    {"CSensorMT9P001", 2592, 1944, false, 96000, 1, 20000, 666, 0, 63, 16, true, true, 0, 12, 0, 0, 0, 0, 0, 0, 0, F::I2c8x16, R::Standard, kMt9 | kTrig | kFeatureClockModeGet},
    {"CSensorMT9J001", 3856, 2764, false, 80000, 1, 20000, 1300, 0, 127, 64, true, true, 0, 12, 0, 0, 0, 0, 0, 0, 0, F::I2c16x16, R::Standard, kMt9 | kFeatureClockModeGet | kFeatureClockModeSet},
    {"CSensorICX274", 1600, 1200, false, 60000, 1, 1252, 1, 0, 1023, 256, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Word32, R::Standard, kCommon | kTrig | kMirrors | kRegs | kRate},
    {"CSensorPid3090", 2336, 1752, false, 60000, 1, 8191, 774, 15, 1023, 350, true, true, 4, 0, 0, 0, 0, 0, 0, 1023, 0, F::Word32Copied, R::Standard, kCcd},
    {"CSensorPid30B0", 4896, 3264, false, 40000, 1, 8191, 774, 15, 1023, 15, true, true, 0, 0, 0, 0, 0, 0, 0, 1023, 0, F::Word32Copied, R::Standard, kCcd},
    {"CSensorPid30C0", 6576, 4384, false, 40000, 1, 2233, 2233, 0, 1023, 100, true, true, 0, 0, 0, 0, 0, 0, 0, 1023, 492, F::Word32Copied, R::Standard, kCcd},
    {"CSensorIMX178", 3072, 2048, false, 364000, 1, 30000, 200, 0, 511, 100, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::I2c16x8Paused, R::Standard, kCommon | kTrig | kMirrors | kRegs | kRate},
    {"CSensorIMX174", 1920, 1200, false, 74250, 1, 30000, 200, 0, 480, 90, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::I2c16x8Paused, R::Standard, kSony | kRate},
    {"CSensorIMX183", 5520, 3680, false, 72000, 1, 666, 333, 0, 8101, 256, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::I2c16x8Settled, R::Standard, kCommon | kTrig | kMirrors | kRegs | kRate},
    {"CSensorIMX159", 4800, 3520, false, 36000, 0, 4095, 1, 0, 4095, 1920, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::I2c16x8Settled, R::Standard, kCommon | kTrig | kFeatureMirrorH | kRegs | kRate},
    {"CSensorPid3130", 1920, 1080, false, 74250, 0, 0, 0, 0, 0, 0, false, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::None, R::Standard, kBits | kRate},
    {"CSensorPid3140", 1280, 1024, false, 37125, 1, 30000, 200, 0, 11, 0, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::I2c16x16, R::Standard, kSony | kRate},
    {"CSensorPid3150", 640, 512, false, 6250, 1, 10000, 100, 0, 255, 64, true, false, 0, 0, 0, 0.000001, 2.684, 0.01, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera | kSecs},
    {"CSensorPid3170", 320, 256, false, 6250, 1, 10000, 100, 0, 255, 64, true, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera},
    {"CSensorPid3180", 1280, 1024, false, 72000, 1, 10000, 100, 0, 255, 128, true, false, 2, 0, 100, 0, 0, 0, 0, 0, 0, F::I2c16x8Locked, R::Standard, kCommon | kTrig | kBits | kRegs | kFeatureOnly16Bit},
    {"CSensorPid3190", 512, 32768, true, 5000, 89, 5039, 3000, 0, 255, 64, true, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera | kTrig},
    {"CSensorPid31A0", 256, 32768, true, 5000, 89, 5039, 3000, 0, 255, 64, true, false, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera},
    {"CSensorIMX250", 2448, 2048, false, 54000, 1, 7000, 200, 0, 480, 0, true, true, 4, 8, 0, 0, 0, 0, 0, 0, 0, F::I2c16x8LockedPaused, R::Standard, kSony | kRate},
    {"CSensorIMX264", 2448, 2048, false, 74250, 1, 7000, 200, 0, 480, 0, true, true, 4, 0, 57, 0, 0, 0, 0, 0, 0, F::I2c16x8LockedPaused, R::Standard, kSony | kRate},
    {"CSensorIMX252", 2048, 1536, false, 54545, 1, 10000, 170, 0, 480, 64, true, true, 4, 0, 56, 0, 0, 0, 0, 0, 0, F::I2c16x8Locked, R::WriteNoReadBack, kSony | kRate},
    {"CSensorIMX265", 2048, 1536, false, 54545, 1, 10000, 170, 0, 480, 64, true, true, 4, 0, 58, 0, 0, 0, 0, 0, 0, F::I2c16x8Locked, R::WriteNoReadBack, kSony | kRate},
    {"CSensorPid31D0", 1024, 32768, true, 5000, 136, 5039, 1500, 0, 255, 64, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera},
    {"CSensorPid31E0", 2048, 2048, false, 50000, 1, 10000, 100, 0, 255, 64, true, false, 0, 0, 103, 0.000056, 1.0, 0.0112, 0, 0, 0, F::Fpga, R::Standard, kCommon | kTrig | kMirrors | kSecs | kFeatureTemperature | kRate},
    {"CSensorIMX226", 4168, 3062, false, 72000, 1, 20000, 281, 0, 1957, 0, true, true, 4, 0, 60, 0, 0, 0, 0, 0, 0, F::I2c16x8Locked, R::QuickRead, kCommon | kBits | kMirrors | kRegs},
    {"CSensorPid3200", 640, 512, false, 9000, 1, 1230273, 37, 0, 0, 0, false, true, 4, 0, 99, 0, 0, 0, 0, 0, 0, F::I2c16x8Locked, R::FineTimer, kCommon | kTrig | kBits | kMirrors | kRegs | kCool | kFeatureSwitchA | kRate | kFeatureNoGainSet},
    {"CSensorPid3210", 2048, 32768, true, 5000, 89, 5039, 1500, 0, 255, 64, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera},
    {"CSensorPid3220", 320, 256, false, 6250, 500, 1000000, 500, 0, 255, 64, true, true, 2, 0, 0, 0, 0, 0, 0, 0, 0, F::Fpga, R::Standard, kFpgaCamera | kCool | kFeatureSetPoint},
    {"CSensorIMX990", 1280, 1024, false, 54545, 1, 20000, 138, 0, 420, 0, true, false, 4, 8, 0, 0.000020333, 2.0, 0.0138, 0, 0, 0, F::I2c16x8LockedPaused, R::FpgaGated, kSony | kSecs | kCool | kFeatureReadoutVariant},
    {"CSensorIMX991", 640, 512, false, 54545, 1, 20000, 70, 0, 420, 0, true, false, 4, 8, 0, 0.000020333, 2.0, 0.007, 0, 0, 0, F::I2c16x8LockedPaused, R::FpgaGated, kSony | kSecs | kCool | kFeatureReadoutVariant},
    {"CSensorPid32B0", 1936, 1096, false, 48000, 1, 10000, 166, 0, 223, 0, true, true, 4, 0, 0, 0.000011729, 1.0, 0.016626, 0, 0, 0, F::I2c16x8Locked, R::Standard, kSony | kSecs},
    {"CSensorPid32D0", 4096, 4096, false, 25000, 1, 10000000, 100, 0, 0, 0, false, true, 0, 0, 115, 0.00002052, 1000.0, 0.0112, 0, 16383, 15680, F::Fpga, R::Standard, kCommon | kTrig | kFeatureBlackLevel | kFeatureGainSteps | kMirrors | kSecs | kFeatureTemperature | kRate},
    {"CSensorIMX536", 2848, 2848, false, 54545, 1, 20000, 262, 0, 480, 0, true, true, 4, 0, 62, 0.000011325, 2.0, 0.02624869, 0, 4095, 240, F::I2c16x8Locked, R::Standard, kSonyBlack | kRate},
    {"CSensorIMX487", 2848, 2848, false, 54545, 1, 20000, 260, 0, 480, 0, true, false, 4, 0, 63, 0.00000247, 2.0, 0.026248, 0, 4095, 240, F::I2c16x8Locked, R::Standard, kSonyBlack | kRate},
    {"CSensorIMX273", 1440, 1080, false, 54545, 1, 20000, 42, 0, 480, 0, true, true, 4, 0, 128, 0.00001807, 2.0, 0.00426622, 0, 4095, 15, F::I2c16x8Locked, R::Standard, kSonyBlack | kRate | kFeatureOnly8Bit},
    {"CSensorPid3310", 19568, 12588, false, 50000, 1, 26000, 1000, 0, 3, 1, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::FpgaMailbox, R::Standard, kMailbox},
    {"CSensorPid3320", 2592, 2056, false, 36000, 1, 26000, 82, 0, 63, 0, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::FpgaMailbox, R::Standard, kMailbox},
    {"CSensorPid3340", 5688, 3336, false, 60000, 1, 170, 170, 0, 3, 2, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, F::FpgaMailbox, R::Standard, kMailbox},
    {"CSensorIMX675", 2592, 1944, false, 75000, 1, 329, 329, 0, 2047, 0, true, true, 4, 0, 121, 0.00003, 0.0003294, 0.0003294, 0, 0, 0, F::I2c16x8Locked, R::Standard, kSony | kSecs},
    {"CSensorIMX992", 2560, 2048, false, 54545, 1, 20000, 137, 0, 420, 0, true, false, 4, 0, 0, 0.00001304, 2.0, 0.01370504, 0, 0, 0, F::I2c16x8Locked, R::Standard, kSony | kSecs | kCool},
};
// clang-format on

}  // namespace

const SensorModel* FindSensorModel(const char* className) {
    for (const SensorModel& model : kModels) {
        if (std::strcmp(model.className, className) == 0) return &model;
    }
    return nullptr;
}

const SensorModel* SensorModelsBegin() {
    return std::begin(kModels);
}
const SensorModel* SensorModelsEnd() {
    return std::end(kModels);
}

}  // namespace velcor
