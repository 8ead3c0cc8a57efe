// Family drivers against the simulated camera: a Sony-bus model opened through the engine puts
// its settings into the camera's sensor register file over the camera's own I2C path.
#include <gtest/gtest.h>
#include <velcor/VelcorSim.h>

#include <memory>

#include "engine/VelcorR3U2Base.h"
#include "platform/Clock.h"
#include "sensors/SensorFamilyModels.h"
#include "sim/SimTestSupport.h"

namespace velcor {
namespace {

class FamilyCamera : public testing::SimTest {
  protected:
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }
    int Open(uint16_t productId) {
        id_ = Attach(productId, "FAMILY01");
        if (id_ <= 0) return -1;
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(productId);
        engine_->InitializeController(nullptr, nullptr);
        return engine_->OpenDevice(0);
    }
    int Sensor(int reg) const { return VelcorSim_GetRegister(id_, VELCORSIM_SPACE_SENSOR, reg); }

    platform::VirtualTimeScope virtualTime_;
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    int id_ = 0;
};

TEST_F(FamilyCamera, Imx174InitialisesItsSensorOverTheCameraBus) {
    ASSERT_EQ(Open(0x3100), 1);
    auto* driver = dynamic_cast<CSensorFamily*>(engine_->Sensor());
    ASSERT_NE(driver, nullptr);
    EXPECT_STREQ(driver->ClassName(), "CSensorIMX174");
    // The default gain (90), written as two byte registers, low byte first.
    EXPECT_EQ(Sensor(0x3014), 90);
    EXPECT_EQ(Sensor(0x3015), 0);
    ASSERT_EQ(driver->SetGlobalGain(300), 1);
    EXPECT_EQ(Sensor(0x3014), 300 & 0xFF);
    EXPECT_EQ(Sensor(0x3015), 300 >> 8);
    ASSERT_EQ(driver->SetMirrorH(1), 1);
    EXPECT_EQ(Sensor(0x3007) & 0x02, 0x02);
    uint32_t value = 0;
    ASSERT_EQ(driver->ReadRegisterRetried(0x3014, &value), 1);
    EXPECT_EQ(value, 300u & 0xFF);
}

}  // namespace
}  // namespace velcor
