// Product ids the engine treats specially. Model-specific behaviour is always chosen by the
// USB product id of the camera, never by the class of its sensor driver.
#pragma once

#include <algorithm>
#include <initializer_list>

namespace velcor::product {

inline constexpr int k3042 = 0x3042;  // no FPGA register path; frames from endpoint 0x83
inline constexpr int k3140 = 0x3140;
inline constexpr int k3180 = 0x3180;  // serial console behind the sensor interface
inline constexpr int k31E0 = 0x31E0;
inline constexpr int k3200 = 0x3200;  // exposure changes go through the acquisition thread
inline constexpr int kRoze9701 = 0x32C0;

inline bool IsOneOf(int productId, std::initializer_list<int> ids) {
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

// Products whose frames are read from the camera's frame memory.
inline bool UsesFrameMemory(int productId) {
    return IsOneOf(productId, {0x3310, 0x3320, 0x3340});
}

// Products with the 16-bit FPGA value and its switch (0xD0-0xD2).
inline bool HasFpgaValue(int productId) {
    return IsOneOf(productId, {0x3260, 0x3270, 0x3280, 0x3290});
}

}  // namespace velcor::product
