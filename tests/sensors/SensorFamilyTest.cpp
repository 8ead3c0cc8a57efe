#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "sensors/FamilyBus.h"
#include "sensors/SensorFamilyModels.h"

namespace velcor {
namespace {

using test::FamilyBus;

// --- Each class's description record -----------------------------------------------------------

struct RecordRow {
    const char* className;
    int32_t width, height, clockKHz;
    int32_t exposureMin, exposureMax, exposureDefault;
    int32_t gainMin, gainMax, gainDefault;
    bool colour;
    int32_t orientation;
    int32_t bitDepth;
};

std::ostream& operator<<(std::ostream& out, const RecordRow& row) {
    return out << row.className;
}

// The model table of the sensor family: size, clock, exposure (0.1 ms) and gain ranges with
// their defaults, colour, mounting orientation and the starting bit depth.
const RecordRow kRecords[] = {
    {"CSensorMT9F001", 4608, 3288, 96000, 1, 20000, 1754, 0, 127, 64, true, 0, 12},
    {"CSensorMT9F002", 4608, 3288, 96000, 1, 20000, 1754, 0, 127, 64, true, 0, 12},
    {"CSensorMT9P001", 2592, 1944, 96000, 1, 20000, 666, 0, 63, 16, true, 0, 12},
    {"CSensorMT9J001", 3856, 2764, 80000, 1, 20000, 1300, 0, 127, 64, true, 0, 12},
    {"CSensorICX274", 1600, 1200, 60000, 1, 1252, 1, 0, 1023, 256, true, 0, 0},
    {"CSensorPid3090", 2336, 1752, 60000, 1, 8191, 774, 15, 1023, 350, true, 4, 0},
    {"CSensorPid30B0", 4896, 3264, 40000, 1, 8191, 774, 15, 1023, 15, true, 0, 0},
    {"CSensorPid30C0", 6576, 4384, 40000, 1, 2233, 2233, 0, 1023, 100, true, 0, 0},
    {"CSensorIMX178", 3072, 2048, 364000, 1, 30000, 200, 0, 511, 100, true, 0, 0},
    {"CSensorIMX174", 1920, 1200, 74250, 1, 30000, 200, 0, 480, 90, true, 0, 0},
    {"CSensorIMX183", 5520, 3680, 72000, 1, 666, 333, 0, 8101, 256, true, 0, 0},
    {"CSensorIMX159", 4800, 3520, 36000, 0, 4095, 1, 0, 4095, 1920, true, 0, 0},
    {"CSensorPid3130", 1920, 1080, 74250, 0, 0, 0, 0, 0, 0, true, 0, 0},
    {"CSensorPid3140", 1280, 1024, 37125, 1, 30000, 200, 0, 11, 0, true, 0, 0},
    {"CSensorPid3150", 640, 512, 6250, 1, 10000, 100, 0, 255, 64, false, 0, 0},
    {"CSensorPid3170", 320, 256, 6250, 1, 10000, 100, 0, 255, 64, false, 0, 0},
    {"CSensorPid3180", 1280, 1024, 72000, 1, 10000, 100, 0, 255, 128, false, 2, 0},
    {"CSensorPid3190", 512, 32768, 5000, 89, 5039, 3000, 0, 255, 64, false, 0, 0},
    {"CSensorPid31A0", 256, 32768, 5000, 89, 5039, 3000, 0, 255, 64, false, 0, 0},
    {"CSensorIMX250", 2448, 2048, 54000, 1, 7000, 200, 0, 480, 0, true, 4, 8},
    {"CSensorIMX264", 2448, 2048, 74250, 1, 7000, 200, 0, 480, 0, true, 4, 0},
    {"CSensorIMX252", 2048, 1536, 54545, 1, 10000, 170, 0, 480, 64, true, 4, 0},
    {"CSensorIMX265", 2048, 1536, 54545, 1, 10000, 170, 0, 480, 64, true, 4, 0},
    {"CSensorPid31D0", 1024, 32768, 5000, 136, 5039, 1500, 0, 255, 64, true, 0, 0},
    {"CSensorPid31E0", 2048, 2048, 50000, 1, 10000, 100, 0, 255, 64, false, 0, 0},
    {"CSensorIMX226", 4168, 3062, 72000, 1, 20000, 281, 0, 1957, 0, true, 4, 0},
    {"CSensorPid3200", 640, 512, 9000, 1, 1230273, 37, 0, 0, 0, true, 4, 0},
    {"CSensorPid3210", 2048, 32768, 5000, 89, 5039, 1500, 0, 255, 64, true, 0, 0},
    {"CSensorPid3220", 320, 256, 6250, 500, 1000000, 500, 0, 255, 64, true, 2, 0},
    {"CSensorIMX990", 1280, 1024, 54545, 1, 20000, 138, 0, 420, 0, false, 4, 8},
    {"CSensorIMX991", 640, 512, 54545, 1, 20000, 70, 0, 420, 0, false, 4, 8},
    {"CSensorPid32B0", 1936, 1096, 48000, 1, 10000, 166, 0, 223, 0, true, 4, 0},
    {"CSensorPid32D0", 4096, 4096, 25000, 1, 10000000, 100, 0, 0, 0, true, 0, 0},
    {"CSensorIMX536", 2848, 2848, 54545, 1, 20000, 262, 0, 480, 0, true, 4, 0},
    {"CSensorIMX487", 2848, 2848, 54545, 1, 20000, 260, 0, 480, 0, false, 4, 0},
    {"CSensorIMX273", 1440, 1080, 54545, 1, 20000, 42, 0, 480, 0, true, 4, 0},
    {"CSensorPid3310", 19568, 12588, 50000, 1, 26000, 1000, 0, 3, 1, true, 0, 0},
    {"CSensorPid3320", 2592, 2056, 36000, 1, 26000, 82, 0, 63, 0, true, 0, 0},
    {"CSensorPid3340", 5688, 3336, 60000, 1, 170, 170, 0, 3, 2, true, 0, 0},
    {"CSensorIMX675", 2592, 1944, 75000, 1, 329, 329, 0, 2047, 0, true, 4, 0},
    {"CSensorIMX992", 2560, 2048, 54545, 1, 20000, 137, 0, 420, 0, false, 4, 0},
};

std::unique_ptr<CSensorBase> Build(const char* className, CControllerBase* bus,
                                   uint8_t address = 0x48) {
    return MakeFamilySensor(className, bus, address);
}

class FamilyRecord : public ::testing::TestWithParam<RecordRow> {
  protected:
    FamilyBus bus;
};

TEST_P(FamilyRecord, ConstructorFillsTheModelConstants) {
    const RecordRow& row = GetParam();
    auto driver = Build(row.className, &bus);
    ASSERT_NE(driver, nullptr);
    const SensorInfo& info = driver->Info();
    EXPECT_EQ(info.fullWidth, row.width);
    EXPECT_EQ(info.fullHeight, row.height);
    EXPECT_EQ(info.clockKHz, row.clockKHz);
    EXPECT_EQ(info.exposureMin, row.exposureMin);
    EXPECT_EQ(info.exposureMax, row.exposureMax);
    EXPECT_EQ(info.exposureDefault, row.exposureDefault);
    EXPECT_EQ(info.exposure, row.exposureDefault);
    EXPECT_EQ(info.gainMin, row.gainMin);
    EXPECT_EQ(info.gainMax, row.gainMax);
    EXPECT_EQ(info.gainDefault, row.gainDefault);
    EXPECT_EQ(driver->IsColourSensor(), row.colour ? 1 : 0);
    EXPECT_EQ(info.orientation, row.orientation);
    EXPECT_EQ(info.bitDepth, row.bitDepth);
    // The window in force starts as the default window, inside the sensor.
    EXPECT_EQ(info.windowWidth, info.defaultWidth);
    EXPECT_EQ(info.windowHeight, info.defaultHeight);
    EXPECT_LE(info.defaultHeight, info.fullHeight);
}

TEST_P(FamilyRecord, ExposureInLinesMatchesTheDefaultExposure) {
    auto driver = Build(GetParam().className, &bus);
    const SensorInfo& info = driver->Info();
    if (GetParam().exposureMax == 0) GTEST_SKIP() << "no exposure control";
    const double lineNs = static_cast<double>(info.lineLength) * 1e6 / info.clockKHz;
    EXPECT_GE(info.linesDefault, 1);
    EXPECT_NEAR(info.linesDefault, std::max(1.0, info.exposureDefault * 1e5 / lineNs), 1.0);
    EXPECT_EQ(info.lines, info.linesDefault);
}

INSTANTIATE_TEST_SUITE_P(AllClasses, FamilyRecord, ::testing::ValuesIn(kRecords),
                         [](const auto& info) { return std::string(info.param.className + 7); });

// A group's minimum, maximum and default queries answer 1 with the expected values.
template <typename T>
using BoundQuery = int32_t (CSensorBase::*)(T*);
template <typename T>
void ExpectBounds(CSensorBase& driver, const BoundQuery<T> (&queries)[3], const T (&expected)[3]) {
    for (int i = 0; i < 3; ++i) {
        T value{};
        EXPECT_EQ((driver.*queries[i])(&value), 1) << "query " << i;
        EXPECT_EQ(value, expected[i]) << "query " << i;
    }
}
constexpr BoundQuery<double> kSecondsQueries[3] = {&CSensorBase::GetExposureSecondsMin,
                                                   &CSensorBase::GetExposureSecondsMax,
                                                   &CSensorBase::GetExposureSecondsDefault};
constexpr BoundQuery<int32_t> kBlackLevelQueries[3] = {&CSensorBase::GetBlackLevelMin,
                                                       &CSensorBase::GetBlackLevelMax,
                                                       &CSensorBase::GetBlackLevelDefault};

TEST(FamilyRecordGroups, LineScanCamerasStartWithASquareWindowAndNarrowBothWays) {
    FamilyBus bus;
    for (const char* name :
         {"CSensorPid3190", "CSensorPid31A0", "CSensorPid31D0", "CSensorPid3210"}) {
        SCOPED_TRACE(name);
        auto driver = Build(name, &bus);
        const SensorInfo& info = driver->Info();
        EXPECT_EQ(info.fullHeight, 32768);
        EXPECT_EQ(info.defaultHeight, info.fullWidth);
        EXPECT_EQ(info.hWindowSupported, 1);
        EXPECT_EQ(info.vWindowSupported, 1);
    }
}

template <typename T>
struct GroupRow {
    const char* name;
    T min, max, def;
};

// Each row's class offers the group and answers its bounds.
template <typename T>
void ExpectGroupRows(std::initializer_list<GroupRow<T>> rows, int32_t (CSensorBase::*offered)(),
                     const BoundQuery<T> (&queries)[3]) {
    FamilyBus bus;
    for (const GroupRow<T>& row : rows) {
        SCOPED_TRACE(row.name);
        auto driver = Build(row.name, &bus);
        EXPECT_EQ(((*driver).*offered)(), 1);
        ExpectBounds<T>(*driver, queries, {row.min, row.max, row.def});
    }
}

TEST(FamilyRecordGroups, ExposureInSecondsWhereOffered) {
    ExpectGroupRows<double>({{"CSensorPid3150", 0.000001, 2.684, 0.01},
                             {"CSensorPid31E0", 0.000056, 1.0, 0.0112},
                             {"CSensorPid32D0", 0.00002052, 1000.0, 0.0112},
                             {"CSensorIMX273", 0.00001807, 2.0, 0.00426622},
                             {"CSensorIMX487", 0.00000247, 2.0, 0.026248},
                             {"CSensorIMX536", 0.000011325, 2.0, 0.02624869},
                             {"CSensorIMX675", 0.00003, 0.0003294, 0.0003294},
                             {"CSensorIMX990", 0.000020333, 2.0, 0.0138},
                             {"CSensorIMX991", 0.000020333, 2.0, 0.007},
                             {"CSensorIMX992", 0.00001304, 2.0, 0.01370504},
                             {"CSensorPid32B0", 0.000011729, 1.0, 0.016626}},
                            &CSensorBase::IsExposureSecondsSupported, kSecondsQueries);
    FamilyBus bus;
    EXPECT_EQ(Build("CSensorIMX250", &bus)->IsExposureSecondsSupported(), 0);
    EXPECT_EQ(Build("CSensorPid3310", &bus)->IsExposureSecondsSupported(), 1);
}

TEST(FamilyRecordGroups, BlackLevelRangesWhereTheModelHasOne) {
    ExpectGroupRows<int32_t>({{"CSensorPid30C0", 0, 1023, 492},
                              {"CSensorPid32D0", 0, 16383, 15680},
                              {"CSensorIMX487", 0, 4095, 240},
                              {"CSensorIMX536", 0, 4095, 240},
                              {"CSensorIMX273", 0, 4095, 15}},
                             &CSensorBase::IsBlackLevelSupported, kBlackLevelQueries);
    FamilyBus bus;
    for (const char* name : {"CSensorPid3090", "CSensorPid30B0"}) {
        EXPECT_EQ(Build(name, &bus)->IsBlackLevelSupported(), 1) << name;
    }
    for (const char* name : {"CSensorIMX250", "CSensorMT9F001", "CSensorPid3220"}) {
        EXPECT_EQ(Build(name, &bus)->IsBlackLevelSupported(), 0) << name;
    }
}

TEST(FamilyRecordGroups, OptionalOperationsFollowTheModel) {
    FamilyBus bus;
    int32_t rate = 0;
    // Sampling rate: not offered by the MT9 models and the later Sony-based cameras.
    for (const char* name : {"CSensorMT9F001", "CSensorPid3180", "CSensorIMX226", "CSensorIMX990",
                             "CSensorIMX992", "CSensorPid32B0", "CSensorIMX675"}) {
        EXPECT_EQ(Build(name, &bus)->SetSamplingRate(1, &rate), 0) << name;
    }
    for (const char* name : {"CSensorIMX250", "CSensorPid3130", "CSensorPid3310"}) {
        EXPECT_EQ(Build(name, &bus)->SetSamplingRate(1, &rate), 1) << name;
    }
    // The video converter has no window, exposure or gain of its own.
    auto converter = Build("CSensorPid3130", &bus);
    EXPECT_EQ(converter->SetWindow(0, 1920, 0, 1080, 0), 0);
    EXPECT_EQ(converter->SetExposure(100), 0);
    EXPECT_EQ(converter->SetBitDepth(1), 1);
    // The ICX274 programs itself like the other CCD models; 0x3200 has no global gain setter.
    EXPECT_EQ(Build("CSensorICX274", &bus)->Initialize(), 1);
    EXPECT_EQ(Build("CSensorPid3200", &bus)->SetGlobalGain(0), 0);
    // IMX159 mirrors horizontally only; the mailbox cameras not at all.
    auto imx159 = Build("CSensorIMX159", &bus);
    EXPECT_EQ(imx159->HasMirrorVHardware(), 0);
    EXPECT_EQ(imx159->HasMirrorHHardware(), 1);
    EXPECT_EQ(imx159->SetMirrorV(1), 0);
    EXPECT_EQ(Build("CSensorPid3310", &bus)->SetMirrorH(1), 0);
}

// --- Register transports -----------------------------------------------------------------------

class Transports : public ::testing::Test {
  protected:
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
};

TEST_F(Transports, SixteenBitRegisterByteValueWithAndWithoutThePause) {
    auto paused = Build("CSensorIMX250", &bus);
    const uint64_t before = platform::VirtualMillisecondsSlept();
    ASSERT_EQ(paused->WriteRegister(0x3014, 0x5A), 1);
    EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 1u);
    auto unpaused = Build("CSensorIMX252", &bus);
    ASSERT_EQ(unpaused->WriteRegister(0x3015, 0x01), 1);
    EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 1u);
    auto unlocked = Build("CSensorIMX174", &bus);
    ASSERT_EQ(unlocked->WriteRegister(0x3016, 0x02), 1);
    EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 2u);
    ASSERT_EQ(bus.i2cWrites.size(), 3u);
    EXPECT_EQ(bus.i2cWrites[0], (FamilyBus::I2cTransaction{0x48, {0x30, 0x14, 0x5A}}));
    uint32_t value = 0;
    ASSERT_EQ(paused->ReadRegister(0x3014, &value), 1);
    EXPECT_EQ(value, 0x5Au);
    EXPECT_EQ(paused->WriteRegister(0x3014, 0x100), 0) << "one byte per register";
}

TEST_F(Transports, SettledFormKeepsACopyByLowAddressByte) {
    auto driver = Build("CSensorIMX183", &bus);
    ASSERT_EQ(driver->WriteRegister(0x3105, 0x77), 1);
    const auto& transport = static_cast<CSensorFamily&>(*driver).Transport();
    EXPECT_EQ(transport.SettledCopy(0x05), 0x77);
    EXPECT_EQ(bus.i2cWrites.back(), (FamilyBus::I2cTransaction{0x48, {0x31, 0x05, 0x77}}));
}

TEST_F(Transports, SixteenBitValuesAndTheRelayedRegistersOfProduct3042) {
    auto mt9f = Build("CSensorMT9F001", &bus, 0x20);
    ASSERT_EQ(mt9f->WriteRegister(0x3012, 0x1234), 1);
    EXPECT_EQ(bus.i2cWrites.back(), (FamilyBus::I2cTransaction{0x20, {0x30, 0x12, 0x12, 0x34}}));
    uint32_t value = 0;
    ASSERT_EQ(mt9f->ReadRegister(0x3012, &value), 1);
    EXPECT_EQ(value, 0x1234u);

    auto mt9j = Build("CSensorMT9J001", &bus, 0x20);
    mt9j->SetModeWord(0x10000);
    const size_t i2cBefore = bus.i2cWrites.size();
    ASSERT_EQ(mt9j->WriteRegister(0x301A, 0x10CC), 1);
    EXPECT_EQ(bus.i2cWrites.size(), i2cBefore);
    ASSERT_EQ(bus.relayed.size(), 1u);
    EXPECT_EQ(bus.relayed[0], (std::pair<uint16_t, uint16_t>{0x301A, 0x10CC}));
}

TEST_F(Transports, EightBitRegisterSixteenBitValue) {
    bus.registerBytes = 1;
    auto driver = Build("CSensorMT9P001", &bus, 0x90);
    ASSERT_EQ(driver->WriteRegister(0x09, 0x0456), 1);
    EXPECT_EQ(bus.i2cWrites.back(), (FamilyBus::I2cTransaction{0x90, {0x09, 0x04, 0x56}}));
    EXPECT_EQ(driver->WriteRegister(0x109, 1), 0) << "register numbers are one byte";
}

TEST_F(Transports, RegisterWordsAndTheCopyTablesOfTheCcdModels) {
    auto icx = Build("CSensorICX274", &bus, 0);
    ASSERT_EQ(icx->WriteRegister(0x0014, 0xDEADBEEF), 1);
    ASSERT_EQ(bus.words.size(), 1u);
    EXPECT_EQ(bus.words[0], (std::pair<uint16_t, uint32_t>{0x0014, 0xDEADBEEF}));

    auto ccd = Build("CSensorPid3090", &bus, 0);
    ASSERT_EQ(ccd->WriteRegister(0x0123, 11), 1);
    ASSERT_EQ(ccd->WriteRegister(0x8123, 22), 1);
    uint32_t value = 0;
    ASSERT_EQ(ccd->ReadRegister(0x0123, &value), 1);
    EXPECT_EQ(value, 11u) << "bit 15 selects the second table";
    ASSERT_EQ(ccd->ReadRegister(0x8123, &value), 1);
    EXPECT_EQ(value, 22u);
    ASSERT_EQ(ccd->WriteRegister(0x1123, 33), 1);
    ASSERT_EQ(ccd->ReadRegister(0x0123, &value), 1);
    EXPECT_EQ(value, 33u) << "the low 12 bits index a table";
    EXPECT_EQ(bus.words.size(), 4u) << "every write still reaches the camera";
}

TEST_F(Transports, FpgaRegistersAreTheSensorInterface) {
    auto driver = Build("CSensorPid3150", &bus, 0x6C);
    ASSERT_EQ(driver->WriteRegister(0x62, 0x80), 1);
    EXPECT_TRUE(bus.i2cWrites.empty());
    EXPECT_EQ(bus.FpgaWritesTo(0x62), std::vector<uint8_t>{0x80});
    uint32_t value = 0;
    ASSERT_EQ(driver->ReadRegister(0x62, &value), 1);
    EXPECT_EQ(value, 0x80u);
    EXPECT_EQ(driver->WriteRegister(0x100, 1), 0);
}

TEST_F(Transports, MailboxTalksToDevices11And13AndSkipsUnchangedBytes) {
    auto driver = Build("CSensorPid3310", &bus, 0x40);
    ASSERT_EQ(driver->WriteRegister(11u << 24 | 0x000201, 0x01020304), 1);
    const std::vector<std::pair<uint8_t, uint8_t>> first = {{32, 11},   {33, 0x00}, {34, 0x02},
                                                            {35, 0x01}, {36, 0x01}, {37, 0x02},
                                                            {38, 0x03}, {39, 0x04}};
    // Register 33 already held 0: it is not rewritten.
    std::vector<std::pair<uint8_t, uint8_t>> expected = first;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(bus.fpgaWrites, expected);

    bus.fpgaWrites.clear();
    ASSERT_EQ(driver->WriteRegister(11u << 24 | 0x000201, 0x01020399), 1);
    EXPECT_EQ(bus.fpgaWrites, (std::vector<std::pair<uint8_t, uint8_t>>{{39, 0x99}}));

    bus.fpgaWrites.clear();
    EXPECT_EQ(driver->WriteRegister(12u << 24 | 0x000201, 7), 1);
    EXPECT_TRUE(bus.fpgaWrites.empty()) << "other devices take no traffic";
    ASSERT_EQ(driver->WriteRegister(13u << 24 | 0x000201, 0x01020399), 1);
    EXPECT_EQ(bus.fpgaWrites, (std::vector<std::pair<uint8_t, uint8_t>>{{32, 13}}));
}

// --- Retry loops ---------------------------------------------------------------------------------

TEST_F(Transports, StandardReadBackConfirmsTheWrite) {
    auto driver = Build("CSensorIMX250", &bus);
    ASSERT_EQ(driver->WriteRegisterReadBack(0x3014, 0x21), 1);
    EXPECT_EQ(bus.sensor[0x3014], 0x21);
    bus.fpga[2] = 1;  // the FPGA's sensor bus stays busy
    bus.i2cWrites.clear();
    EXPECT_EQ(driver->WriteRegisterReadBack(0x3014, 0x22), 0);
    EXPECT_TRUE(bus.i2cWrites.empty());
}

TEST_F(Transports, Imx252And265WriteUpTo1000Times2msApartWithoutReadBack) {
    for (const char* name : {"CSensorIMX252", "CSensorIMX265"}) {
        SCOPED_TRACE(name);
        auto driver = Build(name, &bus);
        bus.i2cWrites.clear();
        bus.i2cReads = 0;
        ASSERT_EQ(driver->WriteRegisterReadBack(0x3014, 0x21), 1);
        EXPECT_EQ(bus.i2cWrites.size(), 1u);
        EXPECT_EQ(bus.i2cReads, 0);

        bus.sensorDead = true;
        bus.i2cWrites.clear();
        const uint64_t before = platform::VirtualMillisecondsSlept();
        EXPECT_EQ(driver->WriteRegisterReadBack(0x3014, 0x21), 0);
        EXPECT_EQ(bus.i2cWrites.size(), 1000u);
        EXPECT_EQ(platform::VirtualMillisecondsSlept() - before, 2000u);
        bus.sensorDead = false;
    }
}

TEST_F(Transports, Imx226RetriesAReadThirtyTimesWithoutWaiting) {
    auto driver = Build("CSensorIMX226", &bus);
    bus.sensorDead = true;
    const uint64_t before = platform::VirtualMillisecondsSlept();
    uint32_t value = 0;
    EXPECT_EQ(driver->ReadRegisterRetried(0x3014, &value), 0);
    EXPECT_EQ(bus.i2cWrites.size(), 30u);
    EXPECT_EQ(platform::VirtualMillisecondsSlept(), before);
}

TEST_F(Transports, Imx990And991HoldFpgaRegister159AroundTheirLoops) {
    for (const char* name : {"CSensorIMX990", "CSensorIMX991"}) {
        SCOPED_TRACE(name);
        auto driver = Build(name, &bus);
        bus.fpgaWrites.clear();
        ASSERT_EQ(driver->WriteRegisterReadBack(0x3014, 0x21), 1);
        EXPECT_EQ(bus.fpgaWrites.front(), (std::pair<uint8_t, uint8_t>{159, 1}));
        EXPECT_EQ(bus.fpgaWrites.back(), (std::pair<uint8_t, uint8_t>{159, 0}));
        EXPECT_EQ(bus.fpga[159], 0);
    }
    auto other = Build("CSensorIMX992", &bus);
    bus.fpgaWrites.clear();
    ASSERT_EQ(other->WriteRegisterReadBack(0x3014, 0x21), 1);
    EXPECT_TRUE(bus.FpgaWritesTo(159).empty());
}

// --- MT9 gains and clocks ------------------------------------------------------------------------

TEST(Mt9, GainsAreSingleRegistersInEachModelsForm) {
    struct Case {
        const char* name;
        int registerBytes;
        uint16_t globalReg, redReg, green1Reg, green2Reg, blueReg;
        uint16_t (*form)(int32_t);
    };
    const Case cases[] = {
        {"CSensorMT9F001", 2, 0x305E, 0x305A, 0x3056, 0x305C, 0x3058,
         [](int32_t v) { return static_cast<uint16_t>((v & 0x7F) | 0x1100); }},
        {"CSensorMT9F002", 2, 0x305E, 0x305A, 0x3056, 0x305C, 0x3058,
         [](int32_t v) { return static_cast<uint16_t>((v & 0x7F) | 0x1100); }},
        {"CSensorMT9J001", 2, 0x305E, 0x305A, 0x3056, 0x305C, 0x3058,
         [](int32_t v) { return static_cast<uint16_t>((v & 0x7F) | 0x1080); }},
        {"CSensorMT9P001", 1, 0x35, 0x2D, 0x2B, 0x2E, 0x2C,
         [](int32_t v) { return static_cast<uint16_t>(v); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FamilyBus bus;
        bus.registerBytes = c.registerBytes;
        auto driver = Build(c.name, &bus, 0x20);
        // No range check: 200 is above every MT9 maximum and still goes out.
        ASSERT_EQ(driver->SetGlobalGain(200), 1);
        ASSERT_EQ(driver->SetColourGainRed(1), 1);
        ASSERT_EQ(driver->SetColourGainGreen1(2), 1);
        ASSERT_EQ(driver->SetColourGainGreen2(3), 1);
        ASSERT_EQ(driver->SetColourGainBlue(40), 1);
        EXPECT_EQ(bus.sensor[c.globalReg], c.form(200));
        EXPECT_EQ(bus.sensor[c.redReg], c.form(1));
        EXPECT_EQ(bus.sensor[c.green1Reg], c.form(2));
        EXPECT_EQ(bus.sensor[c.green2Reg], c.form(3));
        EXPECT_EQ(bus.sensor[c.blueReg], c.form(40));
        int32_t value = 0;
        ASSERT_EQ(driver->GetGlobalGain(&value), 1);
        EXPECT_EQ(value, 200);
        ASSERT_EQ(driver->GetColourGainBlue(&value), 1);
        EXPECT_EQ(value, 40);
        ASSERT_EQ(driver->GetColourGainMax(&value), 1);
        EXPECT_EQ(value, driver->Info().gainMax) << "colour gains share the global range";
        // The record takes the value even when the sensor does not answer.
        bus.sensorDead = true;
        EXPECT_EQ(driver->SetColourGainRed(9), 0);
        ASSERT_EQ(driver->GetColourGainRed(&value), 1);
        EXPECT_EQ(value, 9);
    }
}

TEST(Mt9, ClockModes) {
    FamilyBus bus;
    auto mt9j = Build("CSensorMT9J001", &bus, 0x20);
    int32_t mode = -1;
    ASSERT_EQ(mt9j->GetClockMode(&mode), 1);
    EXPECT_EQ(mode, 2);
    ASSERT_EQ(mt9j->SetClockMode(1), 1);
    EXPECT_EQ(mt9j->Info().clockKHz, 16000);
    ASSERT_EQ(mt9j->GetClockMode(&mode), 1);
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(mt9j->SetClockMode(2), 1);
    EXPECT_EQ(mt9j->Info().clockKHz, 80000);
    EXPECT_EQ(mt9j->SetClockMode(3), 0);

    auto mt9p = Build("CSensorMT9P001", &bus, 0x90);
    ASSERT_EQ(mt9p->GetClockMode(&mode), 1);
    EXPECT_EQ(mode, 0) << "96 MHz is neither mode";
    EXPECT_EQ(mt9p->SetClockMode(1), 0);
    EXPECT_EQ(Build("CSensorMT9F001", &bus, 0x20)->GetClockMode(&mode), 0);
}

TEST(Mt9, F002RestartsTheFrameForACapture) {
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
    auto driver = Build("CSensorMT9F002", &bus, 0x20);
    driver->OnCapture();
    EXPECT_EQ(bus.auxWrites, (std::vector<std::pair<uint8_t, uint8_t>>{{40, 3}}));
    EXPECT_FALSE(bus.i2cWrites.empty());
}

// --- Cooled models
// ---------------------------------------------------------------------------------

TEST(Cooler, OfferedAboveFpgaVersion255OnBit0OfRegister151) {
    for (const char* name :
         {"CSensorPid3200", "CSensorPid3220", "CSensorIMX990", "CSensorIMX991", "CSensorIMX992"}) {
        SCOPED_TRACE(name);
        FamilyBus bus;
        bus.SetFpgaVersion(255);
        EXPECT_EQ(Build(name, &bus)->IsCoolerSupported(), 0);
        bus.SetFpgaVersion(256);
        auto driver = Build(name, &bus);
        ASSERT_EQ(driver->IsCoolerSupported(), 1);
        bus.fpga[151] = 0xA4;
        EXPECT_EQ(driver->GetCooler(), 0);
        ASSERT_EQ(driver->SetCooler(1), 1);
        EXPECT_EQ(bus.fpga[151], 0xA5);
        EXPECT_EQ(driver->GetCooler(), 1);
        ASSERT_EQ(driver->SetCooler(0), 1);
        EXPECT_EQ(bus.fpga[151], 0xA4);
    }
    FamilyBus bus;
    bus.SetFpgaVersion(0x300);
    EXPECT_EQ(Build("CSensorIMX250", &bus)->IsCoolerSupported(), 0);
}

TEST(SetPoint, ThermistorCodesAtBothEndsAndAt25Degrees) {
    // At 25 degrees C the thermistor is 10 kOhm: 9994.24 / 19.76.
    EXPECT_EQ(CSensorPid3220::SetPointCode(25.0), 505);
    // Cold: the resistance grows and the code falls towards 0; hot: it rises towards 1024.
    EXPECT_EQ(CSensorPid3220::SetPointCode(-50.0), 11);
    EXPECT_EQ(CSensorPid3220::SetPointCode(100.0), 955);
    double celsius = 0;
    for (uint32_t code : {11u, 505u, 955u}) {
        ASSERT_TRUE(CSensorPid3220::CodeToCelsius(code, &celsius));
        EXPECT_EQ(CSensorPid3220::SetPointCode(celsius + 0.01), code) << celsius;
    }
    ASSERT_TRUE(CSensorPid3220::CodeToCelsius(505, &celsius));
    EXPECT_NEAR(celsius, 25.0, 0.15);  // one code step near 25 degrees
    // Codes that no temperature gives fail instead of dividing by zero or taking a logarithm
    // of a negative number.
    EXPECT_FALSE(CSensorPid3220::CodeToCelsius(0, &celsius));
    EXPECT_FALSE(CSensorPid3220::CodeToCelsius(1024, &celsius));
    EXPECT_FALSE(CSensorPid3220::CodeToCelsius(0xFFFF, &celsius));
}

TEST(SetPoint, ProgramsTheControllerOnlyWhileTheCoolerRuns) {
    FamilyBus bus;
    bus.SetFpgaVersion(0x100);
    CSensorPid3220 driver(&bus, 0x6C);
    EXPECT_EQ(driver.SetTemperatureSetPoint(25), 0) << "cooler off";
    EXPECT_TRUE(bus.fpgaWrites.empty());
    bus.fpga[151] = 1;
    ASSERT_EQ(driver.SetTemperatureSetPoint(25), 1);
    EXPECT_EQ(bus.fpgaWrites, (std::vector<std::pair<uint8_t, uint8_t>>{
                                  {80, 505 & 0xFF}, {83, 505 >> 8}, {84, 0}, {82, 0}, {82, 1}}));
    EXPECT_EQ(driver.SetPoint(), 25);

    bus.fpgaWrites.clear();
    bus.fpga[80] = 955 & 0xFF;
    bus.fpga[83] = 955 >> 8;
    int32_t celsius = 0;
    ASSERT_EQ(driver.GetSensorTemperature(&celsius), 1);
    EXPECT_EQ(celsius, 99);  // 99.6.. truncated
    EXPECT_EQ(bus.fpgaWrites,
              (std::vector<std::pair<uint8_t, uint8_t>>{{84, 2}, {82, 0}, {82, 2}}));
}

TEST(CooledSony, ModelCodesChooseTheMountingAndOthersAreIgnored) {
    FamilyBus bus;
    struct Case {
        const char* name;
        int32_t first, second;
    };
    for (const Case& c : {Case{"CSensorIMX990", 109, 110}, Case{"CSensorIMX991", 111, 112},
                          Case{"CSensorIMX992", 129, 130}}) {
        SCOPED_TRACE(c.name);
        auto driver = Build(c.name, &bus);
        driver->SetModelCode(c.second);
        EXPECT_EQ(driver->ModelCode(), c.second);
        EXPECT_EQ(driver->Info().orientation, 1);
        driver->SetModelCode(c.first);
        EXPECT_EQ(driver->ModelCode(), c.first);
        EXPECT_EQ(driver->Info().orientation, 4);
        driver->SetModelCode(114);
        EXPECT_EQ(driver->ModelCode(), c.first);
    }
}

// --- Output depth refusals ---------------------------------------------------------------------

TEST(OutputDepth, RefusedDepthsAreNeitherOfferedNorSet) {
    FamilyBus bus;
    bus.SetFpgaVersion(0x8001);
    auto imx991 = Build("CSensorIMX991", &bus);
    EXPECT_EQ(imx991->Allows16BitOutput(), 0);
    EXPECT_EQ(imx991->SetBitDepth(1), 0);
    EXPECT_EQ(imx991->Info().bitDepth, 8);
    FamilyBus plain;
    plain.SetFpgaVersion(0x0101);
    auto imx991Plain = Build("CSensorIMX991", &plain);
    EXPECT_EQ(imx991Plain->Allows16BitOutput(), 1);
    EXPECT_EQ(imx991Plain->SetBitDepth(1), 1);
    EXPECT_EQ(imx991Plain->Info().bitDepth, 16);

    auto imx273 = Build("CSensorIMX273", &bus);
    EXPECT_EQ(imx273->Allows16BitOutput(), 0);
    EXPECT_EQ(imx273->SetBitDepth(1), 0);
    EXPECT_EQ(imx273->Allows8BitOutput(), 1);

    auto pid3180 = Build("CSensorPid3180", &bus);
    EXPECT_EQ(pid3180->Allows8BitOutput(), 0);
    EXPECT_EQ(pid3180->SetBitDepth(0), 0);
    EXPECT_EQ(pid3180->Allows16BitOutput(), 1);
}

TEST(OutputDepth, MailboxSensorsAreToldTheirSampleWidth) {
    FamilyBus bus;
    auto driver = Build("CSensorPid3340", &bus, 0x40);
    // The words the mailbox passed on (it passes one on whenever a byte of it changes).
    std::array<uint8_t, 8> word{};
    auto mailboxWords = [&bus, &word] {
        std::vector<std::pair<uint32_t, uint32_t>> words;
        for (const auto& [reg, value] : bus.fpgaWrites) {
            if (reg < 32 || reg >= 40) continue;
            word[reg - 32] = value;
            uint32_t address = 0, data = 0;
            for (int i = 0; i < 4; ++i) {
                address = address << 8 | word[i];
                data = data << 8 | word[4 + i];
            }
            words.emplace_back(address, data);
        }
        bus.fpgaWrites.clear();
        return words;
    };
    const std::pair<uint32_t, uint32_t> sixteen{11u << 24 | 0x000203, 16};
    const std::pair<uint32_t, uint32_t> eight{11u << 24 | 0x000203, 8};
    ASSERT_EQ(driver->SetBitDepth(1), 1);
    EXPECT_EQ(driver->Info().bitDepth, 16);
    auto words = mailboxWords();
    EXPECT_EQ(std::count(words.begin(), words.end(), sixteen), 1);
    ASSERT_EQ(driver->SetBitDepth(0), 1);
    EXPECT_EQ(driver->Info().bitDepth, 8);
    words = mailboxWords();
    EXPECT_EQ(std::count(words.begin(), words.end(), eight), 1);
}

// --- Gain steps
// ------------------------------------------------------------------------------------

TEST(GainSteps, LabelsOfTheEightSteps) {
    FamilyBus bus;
    auto driver = Build("CSensorPid32D0", &bus, 0x6C);
    const char* labels[] = {"0.66x", "1.85x", "2.49x", "3.68x", "1.29x", "3.70x", "4.95x", "7.25x"};
    char text[16];
    for (int32_t step = 0; step < 8; ++step) {
        ASSERT_EQ(driver->GetGainStepLabel(step, text, sizeof text), 1);
        EXPECT_STREQ(text, labels[step]);
    }
    EXPECT_EQ(driver->GetGainStepLabel(8, text, sizeof text), 0);
    EXPECT_EQ(driver->GetGainStepLabel(-1, text, sizeof text), 0);
    EXPECT_EQ(driver->GetGainStepLabel(0, text, 5), 0) << "no room for the terminator";
    EXPECT_EQ(Build("CSensorIMX250", &bus)->GetGainStepLabel(0, text, sizeof text), 0);
}

TEST(GainSteps, StepMergesIntoTheConfiguredBits) {
    FamilyBus bus;
    auto driver = Build("CSensorPid32D0", &bus, 0x6C);
    EXPECT_EQ(driver->IsGainStepSupported(), 1);
    bus.fpga[89] = 0xA8;
    bus.fpga[90] = 0x51;
    ASSERT_EQ(driver->SetGainStep(5), 1);
    EXPECT_EQ(bus.fpga[217], 0xAD);
    EXPECT_EQ(bus.fpga[218], 0x55);
    int32_t step = -1;
    ASSERT_EQ(driver->GetGainStep(&step), 1);
    EXPECT_EQ(step, 5);
    EXPECT_EQ(driver->SetGainStep(8), 0);
}

// --- The shared register programming
// -----------------------------------------------------------------

TEST(FamilyProgramming, WindowsOutsideTheSensorAreRefused) {
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
    auto driver = Build("CSensorIMX250", &bus);
    EXPECT_EQ(driver->SetWindow(2000, 800, 0, 2048, 0), 0);
    EXPECT_EQ(driver->SetWindow(-8, 800, 0, 2048, 0), 0);
    EXPECT_EQ(driver->SetWindow(0, 2448, 100, 2000, 0), 0);
    EXPECT_EQ(driver->SetWindow(0, 4, 0, 4, 0), 0);
    ASSERT_EQ(driver->SetWindow(16, 1024, 32, 768, 1), 1);
    int32_t x, w, y, h, mode;
    ASSERT_EQ(driver->GetWindow(&x, &w, &y, &h, &mode), 1);
    EXPECT_EQ(x, 16);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(y, 32);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(mode, 1);
}

TEST(FamilyProgramming, ExposureClampsAndKeepsTheThreeViewsInStep) {
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
    auto driver = Build("CSensorIMX536", &bus);
    ASSERT_EQ(driver->SetExposure(30000), 1);
    EXPECT_EQ(driver->Info().exposure, 20000);
    EXPECT_DOUBLE_EQ(driver->Info().exposureSeconds, 2.0);
    EXPECT_EQ(driver->Info().lines, driver->Info().linesMax);
    ASSERT_EQ(driver->SetExposureSeconds(0.01), 1);
    EXPECT_EQ(driver->Info().exposure, 100);
    ASSERT_EQ(driver->SetExposureSeconds(1e-9), 1);
    EXPECT_DOUBLE_EQ(driver->Info().exposureSeconds, 0.000011325);
    EXPECT_EQ(driver->Info().lines, 1);
    bus.sensorDead = true;
    EXPECT_EQ(driver->SetExposure(500), 0);
    EXPECT_EQ(driver->Info().exposure, 0) << "unchanged after a failed write";
}

TEST(FamilyProgramming, InitializeProgramsTheDefaultsAndReportsADeadSensor) {
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
    auto driver = Build("CSensorIMX174", &bus);
    ASSERT_EQ(driver->WaitReady(), 1);
    ASSERT_EQ(driver->Initialize(), 1);
    EXPECT_EQ(driver->Info().gain, 90);
    bus.sensorDead = true;
    EXPECT_EQ(driver->Initialize(), 0);
    EXPECT_EQ(Build("CSensorIMX174", nullptr)->Initialize(), 0);
}

TEST(FamilyProgramming, Icx274InitializesLikeTheOtherCcdModels) {
    platform::VirtualTimeScope virtualTime;
    FamilyBus bus;
    auto driver = Build("CSensorICX274", &bus, 0);
    ASSERT_EQ(driver->Initialize(), 1);
    // Readout stopped, the full window programmed, readout started.
    const std::pair<uint16_t, uint32_t> expected[] = {
        {0x0001, 0}, {0x0012, 1600}, {0x0013, 1200}, {0x0001, 1}};
    for (const auto& write : expected) {
        EXPECT_NE(std::find(bus.words.begin(), bus.words.end(), write), bus.words.end())
            << "register 0x" << std::hex << write.first;
    }
    EXPECT_EQ(bus.words.back(), (std::pair<uint16_t, uint32_t>{0x0001, 1}));
}

TEST(FamilyProgramming, CcdChannelsHaveTheirOwnBounds) {
    FamilyBus bus;
    auto driver = Build("CSensorPid30C0", &bus, 0);
    int32_t value = -1;
    ASSERT_EQ(driver->GetChannelGainDefault(&value), 1);
    EXPECT_EQ(value, 4096);
    ASSERT_EQ(driver->GetChannelOffsetMax(&value), 1);
    EXPECT_EQ(value, 65535);
    EXPECT_EQ(driver->SetChannelGain(0, 100), 0);
    EXPECT_EQ(driver->SetChannelGain(5, 100), 0);
    EXPECT_EQ(driver->SetChannelGain(2, 65536), 0);
    ASSERT_EQ(driver->SetChannelOffset(4, 77), 1);
    ASSERT_EQ(driver->GetChannelOffset(4, &value), 1);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(Build("CSensorIMX250", &bus)->GetChannelGainMax(&value), 0);
}

}  // namespace
}  // namespace velcor
