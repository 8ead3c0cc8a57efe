// The cameras of the sensor family as the simulator builds them: what each product's sensor
// looks like on the camera's buses and how its FPGA frames the picture. The ROZE9701 camera
// (0x32C0) has a chip model of its own and no row here.
#pragma once

#include <cstdint>

#include "protocol/SensorRegisterLayout.h"

namespace velcor::sim {

// Where the FPGA takes the frame size from.
enum class FrameSizeSource : uint8_t {
    Fpga,  // registers 0x44/0x45 (width) and 0x40/0x41 (height)
    // As Fpga, with the height taken when its high byte is written: register 0x40 then
    // takes a setting of the CCD readout.
    FpgaLatched,
    FpgaAlt,      // registers 0x9C/0x9D and 0x9A/0x9B
    SensorRelay,  // the sensor's 16-bit window registers, set through the bridge's relay
    Mailbox,      // the window registers of the sensor behind the FPGA mailbox
};

// Where the FPGA takes the pixel depth from.
enum class PixelDepthSource : uint8_t {
    Reg3C,          // 2: 16 bits
    RegA3,          // 2: 16 bits
    Reg3D,          // 1: 16 bits
    Reg6E,          // 2: 16 bits
    Reg38,          // 1: 8 bits, else 16 bits
    FirmwareByte,   // the bridge's firmware byte, 1: 16 bits
    SensorMailbox,  // the sensor's own output width behind the FPGA mailbox, 16: 16 bits
};

// What puts a camera's FPGA into trigger mode, in which only pulses on its trigger input start
// frames.
enum class TriggerInput : uint8_t {
    Sensor,           // the sensor's trigger register at 1
    SensorAndFpga24,  // as Sensor, with bit 0 of FPGA register 0x24 set
    SensorAndFpga30,  // as Sensor, with FPGA register 0x30 at 1
    Fpga24,           // bit 0 of FPGA register 0x24; the sensor runs on as it is told
};

struct SimFamilyProduct {
    uint16_t productId;
    sensor_bus::Wire wire;
    bool colour;          // the sensor carries a Bayer mosaic
    bool bottomRowFirst;  // the readout starts with the picture's bottom row
    bool mirroredRows;    // every row is read out right to left
    FrameSizeSource size = FrameSizeSource::Fpga;
    PixelDepthSource depth = PixelDepthSource::Reg3C;
    int planes = 1;            // the frame holds this many window-sized planes
    bool frameMemory = false;  // frames are read out of the frame memory, not requested
    bool serialHead = false;   // the last row of the readout carries no picture
    bool console = false;      // a text console answers at sensor register 0
    TriggerInput trigger = TriggerInput::Sensor;
};

// The row of a product id; null for the ROZE9701 camera and for ids without a row.
const SimFamilyProduct* FindSimFamilyProduct(uint16_t productId);

// The product ids of the family, for tests.
const SimFamilyProduct* SimFamilyProductsBegin();
const SimFamilyProduct* SimFamilyProductsEnd();

// The picture a family camera sees, as it is to be looked at: top row first, unmirrored. A
// monochrome sensor sees a ramp; a colour sensor a Bayer mosaic of phase 0 (even rows green,
// blue; odd rows red, green) of a scene whose red, green and blue are ramps of their own. The
// picture moves one step per frame. 16-bit samples repeat the 8-bit sample in both bytes.
// Samples wrap at 8 bits, so the picture repeats every kFamilyPictureRowPeriod rows.
inline constexpr uint32_t kFamilyPictureRowPeriod = 256;
uint16_t FamilyPictureSample(bool colour, uint32_t x, uint32_t y, uint32_t frameNumber,
                             bool sixteenBits);

}  // namespace velcor::sim
