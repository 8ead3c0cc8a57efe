// The console camera (0x3180) whose processor did not start its sensor: the engine's start-up
// brings it up over the console, and gives up soon when the console says nothing.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <chrono>
#include <memory>
#include <utility>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "protocol/SensorRegisterLayout.h"
#include "sensors/SensorPid3180.h"
#include "sim/SimCamera.h"
#include "sim/SimFamilySensor.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

using Fault = sim::SimFamilySensor::ConsoleFault;
namespace console = sensor_bus::console;

class ConsoleStartUp : public testing::SimTest {
  protected:
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }
    // Opens a console camera that powers on with the fault; the engine's open result.
    int OpenWith(Fault fault) {
        id_ = Attach(0x3180, "CONSOLE3");
        if (id_ <= 0) return -1;
        auto sensor = std::make_unique<sim::SimFamilySensor>(*sim::FindSimFamilyProduct(0x3180));
        sensor->SetConsoleFault(fault);
        Camera(id_)->SetSensor(std::move(sensor));
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(0x3180);
        engine_->InitializeController(nullptr, nullptr);
        return engine_->OpenDevice(0);
    }
    int Status() const {
        return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR,
                                     static_cast<int>(console::kStatus));
    }

    platform::VirtualTimeScope virtualTime_;  // the console's 10 ms per byte
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    int id_ = 0;
};

TEST_F(ConsoleStartUp, ACameraThatIsNotReadyIsResetOverTheConsole) {
    ASSERT_EQ(OpenWith(Fault::NotReady), 1);
    EXPECT_EQ(Status(), console::kStatusRunning);
    EXPECT_EQ(engine_->Sensor()->WaitReady(), 1);
    // The greetings and the acceptance went to the recovery; the console has nothing more.
    char line[64] = {};
    EXPECT_EQ(engine_->ReceiveText(line, sizeof line), 0);
}

TEST_F(ConsoleStartUp, AReadyCameraIsLeftAlone) {
    ASSERT_EQ(OpenWith(Fault::None), 1);
    // No reset was sent: the power-on greeting still waits to be read.
    const std::string greeting = console::kGreeting;
    char line[64] = {};
    ASSERT_EQ(engine_->ReceiveText(line, sizeof line), static_cast<int>(greeting.size()));
    EXPECT_EQ(std::string(line, greeting.size()), greeting);
}

TEST_F(ConsoleStartUp, ASilentConsoleFailsTheStartUpWithinTheGreetingTime) {
    const uint64_t sleptBefore = platform::VirtualMillisecondsSlept();
    const uint32_t clockBefore = platform::TimeGetTime();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenWith(Fault::Silent), 0);
    const uint64_t slept = platform::VirtualMillisecondsSlept() - sleptBefore;
    // The clock runs in real time too while the simulated bus answers, so on a busy machine
    // fewer of the greeting time's milliseconds are slept; the clock itself saw them all.
    EXPECT_GE(platform::TimeGetTime() - clockBefore, CSensorPid3180::kGreetingMs);
    EXPECT_LT(slept, 2 * CSensorPid3180::kGreetingMs) << "no wait for a command's answer";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(Status(), 0);
}

TEST_F(ConsoleStartUp, CommandsWaitForTheirAnswerAndNoLonger) {
    ASSERT_EQ(OpenWith(Fault::None), 1);
    auto* driver = dynamic_cast<CSensorPid3180*>(engine_->Sensor());
    ASSERT_NE(driver, nullptr);
    // A recovery of a running camera goes through the whole exchange.
    EXPECT_EQ(driver->Recover(), 1);
    // Any other line is answered with the greeting, never with an acceptance.
    EXPECT_TRUE(driver->Command("STATUS\r", console::kGreeting, 0, 1000));
    const uint64_t sleptBefore = platform::VirtualMillisecondsSlept();
    EXPECT_FALSE(driver->Command("STATUS\r", console::kAccepted, 0, 1000));
    const uint64_t slept = platform::VirtualMillisecondsSlept() - sleptBefore;
    EXPECT_GE(slept, 500u);
    EXPECT_LT(slept, 2000u);
}

}  // namespace
}  // namespace velcor
