#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "engine/SensorFactory.h"
#include "sensors/FamilyBus.h"
#include "sensors/SensorFamilyModels.h"
#include "sensors/SensorROZE9701.h"

namespace velcor {
namespace {

struct ProductRow {
    int productId;
    const char* className;
    uint8_t busAddress;
    int32_t modelCode;  // after the factory: its own code or the constructor's, 0 for none
};

std::ostream& operator<<(std::ostream& out, const ProductRow& row) {
    return out << std::hex << row.productId;
}

// The product table: product id, driver class, the sensor's bus address and its model code.
const ProductRow kProducts[] = {
    {0x3020, "CSensorMT9F001", 0x20, 0},   {0x3030, "CSensorMT9P001", 0x90, 0},
    {0x3040, "CSensorMT9J001", 0x20, 0},   {0x3042, "CSensorMT9J001", 0x20, 0},
    {0x3050, "CSensorICX274", 0x00, 0},    {0x3090, "CSensorPid3090", 0x00, 0},
    {0x30B0, "CSensorPid30B0", 0x00, 0},   {0x30C0, "CSensorPid30C0", 0x00, 0},
    {0x30F0, "CSensorIMX178", 0x48, 0},    {0x3100, "CSensorIMX174", 0x48, 0},
    {0x3110, "CSensorIMX183", 0x48, 0},    {0x3120, "CSensorIMX159", 0x48, 0},
    {0x3130, "CSensorPid3130", 0x42, 0},   {0x3140, "CSensorPid3140", 0x6C, 0},
    {0x3150, "CSensorPid3150", 0x6C, 0},   {0x3170, "CSensorPid3170", 0x6C, 0},
    {0x3180, "CSensorPid3180", 0x48, 100}, {0x3190, "CSensorPid3190", 0x20, 0},
    {0x31A0, "CSensorPid31A0", 0x20, 0},   {0x31B0, "CSensorIMX250", 0x48, 59},
    {0x31B4, "CSensorIMX264", 0x48, 57},   {0x31C0, "CSensorIMX252", 0x48, 56},
    {0x31C4, "CSensorIMX265", 0x48, 58},   {0x31D0, "CSensorPid31D0", 0x20, 0},
    {0x31E0, "CSensorPid31E0", 0x6C, 103}, {0x31F0, "CSensorIMX226", 0x48, 60},
    {0x3200, "CSensorPid3200", 0x48, 99},  {0x3210, "CSensorPid3210", 0x20, 0},
    {0x3220, "CSensorPid3220", 0x6C, 105}, {0x3260, "CSensorIMX990", 0x48, 109},
    {0x3270, "CSensorIMX990", 0x48, 110},  {0x3280, "CSensorIMX991", 0x48, 111},
    {0x3290, "CSensorIMX991", 0x48, 112},  {0x32A0, "CSensorIMX250", 0x48, 113},
    {0x32B0, "CSensorPid32B0", 0x48, 61},  {0x32C0, "CSensorROZE9701", 0x48, 114},
    {0x32D0, "CSensorPid32D0", 0x6C, 115}, {0x32E0, "CSensorIMX536", 0x48, 62},
    {0x32F0, "CSensorIMX487", 0x48, 63},   {0x3300, "CSensorIMX273", 0x48, 128},
    {0x3310, "CSensorPid3310", 0x40, 116}, {0x3320, "CSensorPid3320", 0x40, 117},
    {0x3340, "CSensorPid3340", 0x40, 119}, {0x3360, "CSensorIMX675", 0x48, 121},
    {0x3370, "CSensorIMX992", 0x48, 129},  {0x3380, "CSensorIMX992", 0x48, 130},
    {0x3330, "CSensorMT9F001", 0x20, 0},  // not in the table: the catch-all row
};

std::string ClassOf(CSensorBase& driver) {
    if (dynamic_cast<CSensorROZE9701*>(&driver) != nullptr) return "CSensorROZE9701";
    auto* family = dynamic_cast<CSensorFamily*>(&driver);
    return family != nullptr ? family->ClassName() : "?";
}

class SensorFactory : public ::testing::TestWithParam<ProductRow> {
  protected:
    test::FamilyBus bus;
};

TEST_P(SensorFactory, BuildsTheProductsClassAtItsAddressWithItsModelCode) {
    const ProductRow& row = GetParam();
    auto driver = MakeSensorDriver(row.productId, &bus);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(ClassOf(*driver), row.className);
    EXPECT_EQ(driver->BusAddress(), row.busAddress);
    EXPECT_EQ(driver->ModelCode(), row.modelCode);
}

INSTANTIATE_TEST_SUITE_P(EveryProduct, SensorFactory, ::testing::ValuesIn(kProducts),
                         [](const auto& info) {
                             return "Pid" + std::to_string(info.param.productId);
                         });

TEST(SensorFactoryProbe, Product3020AsksTheChipWhichMt9fItIs) {
    test::FamilyBus bus;
    // Register 0 reads 302, delivered low byte first.
    bus.sensor[0] = 0x2E01;
    auto driver = MakeSensorDriver(0x3020, &bus);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(ClassOf(*driver), "CSensorMT9F002");
    ASSERT_GE(bus.i2cWrites.size(), 1u);
    EXPECT_EQ(bus.i2cWrites[0], (test::FamilyBus::I2cTransaction{0x20, {0x00, 0x00}}));

    bus.sensorDead = true;
    EXPECT_EQ(MakeSensorDriver(0x3020, &bus), nullptr) << "a failed probe opens nothing";
}

TEST(SensorFactoryProbe, CooledSonyProductsSetTheirMounting) {
    test::FamilyBus bus;
    EXPECT_EQ(MakeSensorDriver(0x3260, &bus)->Info().orientation, 4);
    EXPECT_EQ(MakeSensorDriver(0x3270, &bus)->Info().orientation, 1);
    EXPECT_EQ(MakeSensorDriver(0x3380, &bus)->Info().orientation, 1);
}

}  // namespace
}  // namespace velcor
