// The FPGA register file behind I2C bus address 0x40: 8-bit register numbers, 8-bit values.
// This table is the one description of the registers the library uses; the simulated camera
// builds its register file from it, so the two cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velcor::fpga {

enum Access : uint8_t { kRead = 1, kWrite = 2, kReadWrite = 3 };

struct RegisterInfo {
    uint8_t number;
    Access access;
    const char* name;
};

inline constexpr uint8_t kSensorBusStatus = 0x02;  // 0 while the sensor bus is idle
inline constexpr uint8_t kIoPort = 0x07;           // general-purpose IO port byte
inline constexpr uint8_t kFrameCounter = 0x08;     // counts finished frames, wraps at 256
inline constexpr uint8_t kVersionLow = 0x10;
inline constexpr uint8_t kVersionHigh = 0x11;
// Start-up state of the camera (19): the FPGA counts it up while it brings the sensor up; 9
// or more once the camera is running.
inline constexpr uint8_t kStartupIndicator = 0x13;
// Configuration registers 0x1F..0x25 that the shutdown of products 0x3090, 0x30B0 and 0x30C0
// clears (0x21 doubles as the ready state, 0x24 as a trigger enable).
inline constexpr uint8_t kConfig1F = 0x1F;
inline constexpr uint8_t kConfig20 = 0x20;
inline constexpr uint8_t kConfig22 = 0x22;
inline constexpr uint8_t kConfig23 = 0x23;
inline constexpr uint8_t kConfig25 = 0x25;
inline constexpr uint8_t kReadyState = 0x21;  // 33 on the ROZE9701 camera: 3 once it is ready
inline constexpr uint8_t kTriggerEnable24 = 0x24;
inline constexpr uint8_t kTriggerEnable30 = 0x30;
inline constexpr uint8_t kStartupControl38 = 0x38;
inline constexpr uint8_t kPixelDepth = 0x3C;  // 1 = 8 bits, 2 = 16 bits
inline constexpr uint8_t kPixelDepthMode = 0x3D;
inline constexpr uint8_t kStartupControl3E = 0x3E;
inline constexpr uint8_t kMemoryReadPrepare = 0x3F;  // 2 before a frame-memory read
inline constexpr uint8_t kHeightLow = 0x40;
inline constexpr uint8_t kHeightHigh = 0x41;
inline constexpr uint8_t kWidthLow = 0x44;
inline constexpr uint8_t kWidthHigh = 0x45;
inline constexpr uint8_t kVerticalOffsetLow = 0x48;
inline constexpr uint8_t kVerticalOffsetHigh = 0x49;
inline constexpr uint8_t kHorizontalOffsetLow = 0x4C;
inline constexpr uint8_t kHorizontalOffsetHigh = 0x4D;
// ROZE9701 camera: the FPGA's copy of the sensor's frame length in lines (80..83, lowest byte
// first, 28 bits) and line length in pixel clocks (84 low, 85 high); in trigger mode the FPGA
// times frames with them.
inline constexpr uint8_t kFrameLength0 = 0x50;
inline constexpr uint8_t kFrameLength1 = 0x51;
inline constexpr uint8_t kFrameLength2 = 0x52;
inline constexpr uint8_t kFrameLength3 = 0x53;
inline constexpr uint8_t kLineLengthLow = 0x54;
inline constexpr uint8_t kLineLengthHigh = 0x55;
inline constexpr uint8_t kTriggerModeEnable = 0x58;  // 88: 1 lets trigger pulses start frames
inline constexpr uint8_t kMirrorHOff = 0x5A;         // 90: 1 while the sensor reads rows unmirrored
inline constexpr uint8_t kTransferReset = 0x68;
inline constexpr uint8_t kFrameRelease = 0x6C;  // pulse 1, 0: releases a slot, resynchronises
inline constexpr uint8_t kPixelDepth6E = 0x6E;
inline constexpr uint8_t kNewestSlotLow = 0x72;
inline constexpr uint8_t kNewestSlotHigh = 0x73;
inline constexpr uint8_t kSlotSize0 = 0x78;  // slot size in 256-byte units, lowest byte first
inline constexpr uint8_t kSlotSize1 = 0x79;
inline constexpr uint8_t kSlotSize2 = 0x7A;
inline constexpr uint8_t kSlotSize3 = 0x7B;
inline constexpr uint8_t kSerialLink = 0x81;  // write 1, 0 resets; bit 1 read: ready
// ROZE9701 camera: the exposure of a triggered frame in lines, lowest byte first (133, 134,
// 155, 156; the last holds bits 24-27). 155 and 156 are the frame size registers 0x9B/0x9C
// of other FPGA designs.
inline constexpr uint8_t kTriggerLines0 = 0x85;
inline constexpr uint8_t kTriggerLines1 = 0x86;
inline constexpr uint8_t kPowerSwitch = 0x90;
inline constexpr uint8_t kFrameReleaseAlt = 0x96;
inline constexpr uint8_t kHeightLowAlt = 0x9A;
inline constexpr uint8_t kHeightHighAlt = 0x9B;
inline constexpr uint8_t kWidthLowAlt = 0x9C;
inline constexpr uint8_t kWidthHighAlt = 0x9D;
inline constexpr uint8_t kTriggerLines2 = 0x9B;
inline constexpr uint8_t kTriggerLines3 = 0x9C;
inline constexpr uint8_t kPixelDepthAlt = 0xA3;
inline constexpr uint8_t kResetRequest =
    0xA4;  // 164 on the ROZE9701 camera: bit 1 resets the sensor
inline constexpr uint8_t kValue16Low = 0xD0;
inline constexpr uint8_t kSwitchD1 = 0xD1;
inline constexpr uint8_t kValue16High = 0xD2;
inline constexpr uint8_t kShutdownClearE0 = 0xE0;

inline constexpr uint8_t kSerialLinkReady = 0x02;  // bit of kSerialLink
inline constexpr uint8_t kReadyStateUp = 3;        // value of kReadyState
inline constexpr uint8_t kStartupIndicatorUp = 9;  // kStartupIndicator from this value on
inline constexpr uint8_t kResetRequestBit = 0x02;  // bit of kResetRequest

inline constexpr RegisterInfo kRegisterMap[] = {
    {kSensorBusStatus, kRead, "sensor bus status"},
    {kIoPort, kReadWrite, "IO port"},
    {kFrameCounter, kRead, "frame counter"},
    {kVersionLow, kRead, "version low"},
    {kVersionHigh, kRead, "version high"},
    {kStartupIndicator, kRead, "start-up indicator"},
    {kConfig1F, kWrite, "configuration 0x1F"},
    {kConfig20, kWrite, "configuration 0x20"},
    {kReadyState, kReadWrite, "configuration 0x21 / ready state"},
    {kConfig22, kWrite, "configuration 0x22"},
    {kConfig23, kWrite, "configuration 0x23"},
    {kTriggerEnable24, kWrite, "trigger enable 0x24"},
    {kConfig25, kWrite, "configuration 0x25"},
    {kTriggerEnable30, kWrite, "trigger enable 0x30"},
    {kStartupControl38, kWrite, "start-up control 0x38"},
    {kPixelDepth, kWrite, "pixel depth"},
    {kPixelDepthMode, kWrite, "pixel depth mode"},
    {kStartupControl3E, kWrite, "start-up control 0x3E"},
    {kMemoryReadPrepare, kWrite, "memory read prepare"},
    {kHeightLow, kWrite, "frame height low"},
    {kHeightHigh, kWrite, "frame height high"},
    {kWidthLow, kWrite, "frame width low"},
    {kWidthHigh, kWrite, "frame width high"},
    {kVerticalOffsetLow, kWrite, "vertical offset low"},
    {kVerticalOffsetHigh, kWrite, "vertical offset high"},
    {kHorizontalOffsetLow, kWrite, "horizontal offset low"},
    {kHorizontalOffsetHigh, kWrite, "horizontal offset high"},
    {kFrameLength0, kReadWrite, "frame length byte 0"},
    {kFrameLength1, kReadWrite, "frame length byte 1"},
    {kFrameLength2, kReadWrite, "frame length byte 2"},
    {kFrameLength3, kReadWrite, "frame length bits 24-27"},
    {kLineLengthLow, kReadWrite, "line length low"},
    {kLineLengthHigh, kReadWrite, "line length high"},
    {kTriggerModeEnable, kReadWrite, "trigger mode enable"},
    {kMirrorHOff, kReadWrite, "horizontal mirror off"},
    {kTransferReset, kWrite, "transfer reset"},
    {kFrameRelease, kWrite, "frame release"},
    {kPixelDepth6E, kWrite, "pixel depth 0x6E"},
    {kNewestSlotLow, kRead, "newest slot low"},
    {kNewestSlotHigh, kRead, "newest slot high"},
    {kSlotSize0, kRead, "slot size byte 0"},
    {kSlotSize1, kRead, "slot size byte 1"},
    {kSlotSize2, kRead, "slot size byte 2"},
    {kSlotSize3, kRead, "slot size byte 3"},
    {kSerialLink, kReadWrite, "serial link control"},
    {kTriggerLines0, kReadWrite, "trigger exposure lines byte 0"},
    {kTriggerLines1, kReadWrite, "trigger exposure lines byte 1"},
    {kPowerSwitch, kReadWrite, "power switch"},
    {kFrameReleaseAlt, kWrite, "frame release 0x96"},
    {kHeightLowAlt, kWrite, "frame height low 0x9A"},
    {kHeightHighAlt, kReadWrite, "frame height high 0x9B / trigger exposure lines byte 2"},
    {kWidthLowAlt, kReadWrite, "frame width low 0x9C / trigger exposure lines bits 24-27"},
    {kWidthHighAlt, kWrite, "frame width high 0x9D"},
    {kPixelDepthAlt, kWrite, "pixel depth 0xA3"},
    {kResetRequest, kReadWrite, "reset request"},
    {kValue16Low, kReadWrite, "16-bit value low"},
    {kSwitchD1, kReadWrite, "switch 0xD1"},
    {kValue16High, kReadWrite, "16-bit value high"},
    {kShutdownClearE0, kWrite, "configuration 0xE0"},
};

// The entry of a register, or null for a register the library does not use.
constexpr const RegisterInfo* FindRegister(uint8_t number) {
    for (const RegisterInfo& info : kRegisterMap) {
        if (info.number == number) return &info;
    }
    return nullptr;
}

}  // namespace velcor::fpga

namespace velcor::rom {

// Configuration EEPROM at bus address 0xA2, 16-bit byte addresses, 64 KiB, blank bytes 0xFF.
inline constexpr uint32_t kSize = 0x10000;
inline constexpr uint16_t kIdentificationFirst = 0x0000;
inline constexpr uint16_t kIdentificationLast = 0x0FFF;
inline constexpr uint16_t kSerialNumber = 0x1040;  // ASCII, ended by the first 0xFF
inline constexpr uint16_t kSerialNumberLength = 32;
inline constexpr uint16_t kSwitchRestoreValue = 0x1080;

}  // namespace velcor::rom
