// The cooled camera 0x3200: while it streams, its driver's worker keeps the latest thermometer
// reading, and the worker never outlives a stop or the driver.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorFamilyModels.h"
#include "sensors/SensorPid3200.h"
#include "sim/SimFamilySensor.h"
#include "sim/SimTestSupport.h"
#include "transport/DevIz3Cam.h"

namespace velcor {
namespace {

constexpr auto kPatience = std::chrono::seconds(5);
// Long enough that a worker takes exactly its first reading within a test.
constexpr uint32_t kOneReadingOnly = 600000;

class CooledWorker : public testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        id_ = Attach(0x3200, "COOLED01");
        ASSERT_GT(id_, 0);
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(0x3200);
        engine_->InitializeController(nullptr, nullptr);
        {
            platform::VirtualTimeScope virtualTime;
            ASSERT_EQ(engine_->OpenDevice(0), 1);
        }
        driver_ = dynamic_cast<CSensorPid3200*>(engine_->Sensor());
        ASSERT_NE(driver_, nullptr);
    }
    void TearDown() override {
        if (engine_) engine_->StopTransfer();
        engine_.reset();
        SimTest::TearDown();
    }

    static bool Eventually(const std::function<bool()>& condition) {
        const auto start = std::chrono::steady_clock::now();
        while (!condition()) {
            if (std::chrono::steady_clock::now() - start > kPatience) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    static bool ReadingsReach(const CSensorPid3200& driver, uint64_t count) {
        return Eventually([&] { return driver.WorkerReadings() >= count; });
    }
    void SetThermometer(double celsius) const {
        const uint32_t code = sensor_bus::kSonyThermometer.CodeOf(celsius);
        ASSERT_TRUE(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR,
                                          static_cast<int>(sensor_bus::kSonyThermometer.low),
                                          static_cast<int>(code & 0xFF)));
        ASSERT_TRUE(VelcorSim_SetRegister(id_, VELCORSIM_SPACE_SENSOR,
                                          static_cast<int>(sensor_bus::kSonyThermometer.high),
                                          static_cast<int>(code >> 8)));
    }

    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    CSensorPid3200* driver_ = nullptr;
    int id_ = 0;
};

TEST_F(CooledWorker, WhileStreamingTheTemperatureIsTheWorkersLatestReading) {
    driver_->SetReadingPeriod(kOneReadingOnly);
    ASSERT_EQ(engine_->StartTransfer(0), 1);
    EXPECT_TRUE(driver_->WorkerRunning());
    ASSERT_TRUE(ReadingsReach(*driver_, 1));
    // The thermometer moves on; until the worker's next reading the answer is its last one,
    // taken without asking the camera.
    SetThermometer(-25.0);
    double celsius = 0.0;
    ASSERT_EQ(engine_->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, sim::SimFamilySensor::kSonyCelsius);

    ASSERT_EQ(engine_->StopTransfer(), 1);
    EXPECT_FALSE(driver_->WorkerRunning());
    ASSERT_EQ(engine_->GetTemperature(&celsius), 1);
    EXPECT_DOUBLE_EQ(celsius, -25.0) << "without the worker the camera is asked";
}

TEST_F(CooledWorker, StartsAndStopsTwiceAndAStopWithoutStartDoesNothing) {
    driver_->OnStreamStop();
    EXPECT_FALSE(driver_->WorkerRunning());
    EXPECT_EQ(driver_->WorkerReadings(), 0u);
    driver_->SetReadingPeriod(kOneReadingOnly);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        driver_->OnStreamStart();
        EXPECT_TRUE(driver_->WorkerRunning());
        ASSERT_TRUE(ReadingsReach(*driver_, 2 * round - 1));
        // A start while the worker runs replaces it with a new one.
        driver_->OnStreamStart();
        EXPECT_TRUE(driver_->WorkerRunning());
        ASSERT_TRUE(ReadingsReach(*driver_, 2 * round));
        driver_->OnStreamStop();
        EXPECT_FALSE(driver_->WorkerRunning());
        EXPECT_EQ(driver_->WorkerReadings(), static_cast<uint64_t>(2 * round));
    }
    driver_->OnStreamStop();
    EXPECT_FALSE(driver_->WorkerRunning());
}

TEST_F(CooledWorker, AFailedReadingIsNotAnsweredFromAnOlderOne) {
    // The retried reads wait out the silent bus in virtual time.
    platform::VirtualTimeScope virtualTime;
    driver_->SetReadingPeriod(1);
    driver_->OnStreamStart();
    ASSERT_TRUE(ReadingsReach(*driver_, 1));
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 1000000));
    // A reading that started before the fault may still succeed; the one after it cannot.
    const uint64_t before = driver_->WorkerReadings();
    ASSERT_TRUE(ReadingsReach(*driver_, before + 2));
    double celsius = 99.0;
    EXPECT_EQ(driver_->GetTemperature(&celsius), 0);
    EXPECT_EQ(celsius, 99.0);
    driver_->OnStreamStop();
    ASSERT_TRUE(VelcorSim_InjectFault(id_, VELCORSIM_FAULT_I2C_NACK, 0));
}

TEST_F(CooledWorker, ADriverDestroyedWhileItsWorkerRunsJoinsIt) {
    auto second = MakeFamilySensor("CSensorPid3200", engine_->Controller(), 0x48);
    auto* cooled = dynamic_cast<CSensorPid3200*>(second.get());
    ASSERT_NE(cooled, nullptr);
    cooled->SetReadingPeriod(1);
    cooled->OnStreamStart();
    ASSERT_TRUE(ReadingsReach(*cooled, 3));
    second.reset();  // joins the worker; a worker left behind would read through a freed driver
    double celsius = 0.0;
    EXPECT_EQ(engine_->GetTemperature(&celsius), 1) << "the camera is still there for others";
}

}  // namespace
}  // namespace velcor
