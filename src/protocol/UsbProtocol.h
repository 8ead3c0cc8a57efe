// The wire protocol between the host and the camera's USB bridge: what the library's transport
// and the simulated camera both speak. The bridge's driver is reached through its device
// interface class and seven I/O controls, each carrying the 38-byte transfer record; the FX3
// firmware answers vendor requests on endpoint 0 and streams frames on bulk endpoints; behind it
// sit I2C devices at fixed bus addresses (the FPGA's registers are in FpgaRegisterMap.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/DriverPort.h"

namespace velcor {

// Interface class of the FX3 bridge driver: {328184C5-93E6-49B7-94B8-2ADA13AABB39}.
inline constexpr platform::GUID kFx3InterfaceClass = {
    0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// The bridge driver's I/O controls.
inline constexpr uint32_t kIoctlControlTransfer = 0x220020;
inline constexpr uint32_t kIoctlBufferedBulk = 0x220024;
inline constexpr uint32_t kIoctlResetPipe = 0x22002C;
inline constexpr uint32_t kIoctlResetPort = 0x220030;
inline constexpr uint32_t kIoctlAbortPipe = 0x220044;
inline constexpr uint32_t kIoctlDirectTransfer = 0x22004B;
inline constexpr uint32_t kIoctlDeviceSpeed = 0x22004C;
// What the device speed control answers for a camera on a SuperSpeed port.
inline constexpr uint32_t kDeviceSpeedSuperSpeed = 4;

// The transfer record that every control and bulk request carries: 38 bytes, little-endian.
namespace record {
inline constexpr size_t kSize = 38;
inline constexpr size_t kRequestType = 0;
inline constexpr size_t kRequest = 1;
inline constexpr size_t kValue = 2;
inline constexpr size_t kIndex = 4;
inline constexpr size_t kLength = 6;
inline constexpr size_t kTimeout = 8;  // seconds
inline constexpr size_t kEndpoint = 13;
inline constexpr size_t kDriverStatus = 14;
inline constexpr size_t kUsbStatus = 18;
inline constexpr size_t kBufferOffset = 30;
inline constexpr size_t kBufferLength = 34;
}  // namespace record

// USB status words the driver reports at record::kUsbStatus for a failed transfer.
inline constexpr uint32_t kUsbStatusStall = 0xC0000004u;      // USBD_STATUS_STALL_PID
inline constexpr uint32_t kUsbStatusXactError = 0xC0000011u;  // USBD_STATUS_XACT_ERROR

namespace usb {

// Vendor requests of the FX3 firmware: request types and request numbers.
inline constexpr uint8_t kTypeOut = 0x40;          // vendor, host to device, to the device
inline constexpr uint8_t kTypeIn = 0xC0;           // vendor, device to host
inline constexpr uint8_t kTypeOutEndpoint = 0x42;  // vendor, host to device, to an endpoint
inline constexpr uint8_t kRequestI2cWrite = 0x30;
inline constexpr uint8_t kRequestI2cRead = 0x31;
inline constexpr uint8_t kRequestWriteRegister32 = 0xD0;
inline constexpr uint8_t kRequestReadRegister16 = 0xD1;
inline constexpr uint8_t kRequestWriteSensor16 = 0x3E;
inline constexpr uint8_t kRequestReadSensor16 = 0x3F;
inline constexpr uint8_t kRequestSetFirmwareByte = 0x3C;
inline constexpr uint8_t kRequestGetFirmwareByte = 0x3D;
inline constexpr uint8_t kRequestDeviceInfo = 0xB0;
inline constexpr uint8_t kRequestDeviceInfo2 = 0xB1;
inline constexpr uint8_t kRequestReadyState = 0xC3;
inline constexpr uint8_t kRequestResetStreamState = 0xC0;
inline constexpr uint8_t kRequestFrame = 0xC2;
inline constexpr uint8_t kRequestResetEndpoints = 0xCC;

// I2C bus addresses behind the bridge (write address; reads set bit 0).
inline constexpr uint8_t kBusFpga = 0x40;
inline constexpr uint8_t kBusSensor = 0x48;
inline constexpr uint8_t kBusEeprom = 0xA2;
inline constexpr uint8_t kBusAux = 0x5A;
// Bulk endpoints: frames (header and data) in on 0x81, frame data alone in on 0x83 for product
// 0x3042, memory commands out on 0x01.
inline constexpr uint8_t kEndpointFrames = 0x81;
inline constexpr uint8_t kEndpointFrames83 = 0x83;
inline constexpr uint8_t kEndpointOut = 0x01;

// Frame header sent before each frame on endpoint 0x81: the frame number (32 bits) at offset 0,
// the frame's width and height (16 bits each) at offsets 4 and 6, its byte count (32 bits) at
// offset 16, its frame slot number (16 bits) at offset 32; the other bytes are 0.
inline constexpr size_t kFrameHeaderSize = 64;
inline constexpr size_t kFrameHeaderNumber = 0;
inline constexpr size_t kFrameHeaderWidth = 4;
inline constexpr size_t kFrameHeaderHeight = 6;
inline constexpr size_t kFrameHeaderByteCount = 16;
inline constexpr size_t kFrameHeaderSlot = 32;

// Commands to the camera's frame memory, 32 bytes sent to endpoint 0x01: a four-character tag,
// the command version (32 bits, always 2), the address (low and high 32 bits) and the byte
// count (32 bits), then zeros. "AU3R" is answered with the bytes on endpoint 0x81; "AU3W" takes
// the bytes that follow it on endpoint 0x01.
namespace memory {
inline constexpr size_t kCommandSize = 32;
inline constexpr char kReadTag[4] = {'A', 'U', '3', 'R'};
inline constexpr char kWriteTag[4] = {'A', 'U', '3', 'W'};
inline constexpr size_t kTag = 0;
inline constexpr size_t kVersion = 4;
inline constexpr uint32_t kVersionValue = 2;
inline constexpr size_t kAddressLow = 8;
inline constexpr size_t kAddressHigh = 12;
inline constexpr size_t kLength = 16;
}  // namespace memory

}  // namespace usb
}  // namespace velcor
