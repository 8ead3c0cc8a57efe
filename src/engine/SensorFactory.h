// The sensor factory: the one place where a USB product id becomes a sensor driver class.
#pragma once

#include <cstdint>
#include <memory>

#include "sensors/SensorBase.h"
#include "transport/ControllerBase.h"

namespace velcor {

struct SensorFactoryRow {
    int productId;          // -1: the row for every product id without a row of its own
    const char* className;  // the driver class this product is driven with
    uint8_t busAddress;     // the sensor's 8-bit I2C write address
    int modelCode;          // passed to SetModelCode after construction; -1: none
};

// The row of a product id (the catch-all row for unknown ids).
const SensorFactoryRow& FindSensorFactoryRow(int productId);

// Builds the driver of the product's row, with its model code applied. Product 0x3020 asks the
// chip first (register 0 reads 302 on the MT9F002). Null when the chip probe fails.
std::unique_ptr<CSensorBase> MakeSensorDriver(int productId, CControllerBase* controller);

}  // namespace velcor
