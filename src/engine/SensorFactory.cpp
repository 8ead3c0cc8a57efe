#include "engine/SensorFactory.h"

#include <cstring>
#include <iterator>

#include "sensors/SensorFamilyModels.h"
#include "sensors/SensorROZE9701.h"

namespace velcor {
namespace {

constexpr SensorFactoryRow kRows[] = {
    {0x3020, "CSensorMT9F001", 0x20, -1},  // CSensorMT9F002 when the chip answers 302
    {0x3030, "CSensorMT9P001", 0x90, -1},   {0x3040, "CSensorMT9J001", 0x20, -1},
    {0x3042, "CSensorMT9J001", 0x20, -1},   {0x3050, "CSensorICX274", 0x00, -1},
    {0x3090, "CSensorPid3090", 0x00, -1},   {0x30B0, "CSensorPid30B0", 0x00, -1},
    {0x30C0, "CSensorPid30C0", 0x00, -1},   {0x30F0, "CSensorIMX178", 0x48, -1},
    {0x3100, "CSensorIMX174", 0x48, -1},    {0x3110, "CSensorIMX183", 0x48, -1},
    {0x3120, "CSensorIMX159", 0x48, -1},    {0x3130, "CSensorPid3130", 0x42, -1},
    {0x3140, "CSensorPid3140", 0x6C, -1},   {0x3150, "CSensorPid3150", 0x6C, -1},
    {0x3170, "CSensorPid3170", 0x6C, -1},   {0x3180, "CSensorPid3180", 0x48, -1},
    {0x3190, "CSensorPid3190", 0x20, -1},   {0x31A0, "CSensorPid31A0", 0x20, -1},
    {0x31B0, "CSensorIMX250", 0x48, 59},    {0x31B4, "CSensorIMX264", 0x48, -1},
    {0x31C0, "CSensorIMX252", 0x48, -1},    {0x31C4, "CSensorIMX265", 0x48, -1},
    {0x31D0, "CSensorPid31D0", 0x20, -1},   {0x31E0, "CSensorPid31E0", 0x6C, -1},
    {0x31F0, "CSensorIMX226", 0x48, -1},    {0x3200, "CSensorPid3200", 0x48, -1},
    {0x3210, "CSensorPid3210", 0x20, -1},   {0x3220, "CSensorPid3220", 0x6C, 105},
    {0x3260, "CSensorIMX990", 0x48, 109},   {0x3270, "CSensorIMX990", 0x48, 110},
    {0x3280, "CSensorIMX991", 0x48, 111},   {0x3290, "CSensorIMX991", 0x48, 112},
    {0x32A0, "CSensorIMX250", 0x48, 113},   {0x32B0, "CSensorPid32B0", 0x48, 61},
    {0x32C0, "CSensorROZE9701", 0x48, 114}, {0x32D0, "CSensorPid32D0", 0x6C, -1},
    {0x32E0, "CSensorIMX536", 0x48, -1},    {0x32F0, "CSensorIMX487", 0x48, -1},
    {0x3300, "CSensorIMX273", 0x48, -1},    {0x3310, "CSensorPid3310", 0x40, 116},
    {0x3320, "CSensorPid3320", 0x40, 117},  {0x3340, "CSensorPid3340", 0x40, 119},
    {0x3360, "CSensorIMX675", 0x48, -1},    {0x3370, "CSensorIMX992", 0x48, 129},
    {0x3380, "CSensorIMX992", 0x48, 130},
};
constexpr SensorFactoryRow kOtherProducts = {-1, "CSensorMT9F001", 0x20, -1};

// The MT9F002 answers 302 from its chip version register 0; the MT9F001 does not.
constexpr uint16_t kMt9f002ChipVersion = 302;

std::unique_ptr<CSensorBase> Build(const char* className, CControllerBase* controller,
                                   uint8_t busAddress) {
    if (std::strcmp(className, "CSensorROZE9701") == 0) {
        return std::make_unique<CSensorROZE9701>(controller, busAddress);
    }
    return MakeFamilySensor(className, controller, busAddress);
}

}  // namespace

const SensorFactoryRow& FindSensorFactoryRow(int productId) {
    for (const SensorFactoryRow& row : kRows) {
        if (row.productId == productId) return row;
    }
    return kOtherProducts;
}

std::unique_ptr<CSensorBase> MakeSensorDriver(int productId, CControllerBase* controller) {
    const SensorFactoryRow& row = FindSensorFactoryRow(productId);
    const char* className = row.className;
    if (productId == 0x3020) {
        const uint8_t address[2] = {0x00, 0x00};
        uint8_t version[2] = {};
        if (controller == nullptr || !controller->I2cWrite(0x20, address, 2, 3000) ||
            !controller->I2cRead(0x21, version, 2, 3000)) {
            return nullptr;
        }
        if ((version[0] | version[1] << 8) == kMt9f002ChipVersion) className = "CSensorMT9F002";
    }
    std::unique_ptr<CSensorBase> driver = Build(className, controller, row.busAddress);
    if (driver && row.modelCode >= 0) driver->SetModelCode(row.modelCode);
    return driver;
}

}  // namespace velcor
