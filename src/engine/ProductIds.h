// USB product ids of the camera family. Model-specific behaviour is always chosen by the USB
// product id of the camera, never by the class of its sensor driver; what the engine does
// differently per product is collected in one table (engine/ProductTraits.h).
#pragma once

#include <algorithm>
#include <initializer_list>

namespace velcor::product {

inline constexpr int k3020 = 0x3020;  // MT9F001, or MT9F002 when the chip answers 302
inline constexpr int k3030 = 0x3030;  // MT9P001
inline constexpr int k3040 = 0x3040;  // MT9J001
inline constexpr int k3042 = 0x3042;  // MT9J001; no FPGA register path, frames from endpoint 0x83
inline constexpr int k3050 = 0x3050;  // ICX274
inline constexpr int k3090 = 0x3090;  // CCD camera
inline constexpr int k30B0 = 0x30B0;  // CCD camera
inline constexpr int k30C0 = 0x30C0;  // CCD camera
inline constexpr int k30F0 = 0x30F0;  // IMX178
inline constexpr int k3100 = 0x3100;  // IMX174
inline constexpr int k3110 = 0x3110;  // IMX183
inline constexpr int k3120 = 0x3120;  // IMX159
inline constexpr int k3130 = 0x3130;  // video converter, 1920 x 1080
inline constexpr int k3140 = 0x3140;
inline constexpr int k3150 = 0x3150;
inline constexpr int k3170 = 0x3170;
inline constexpr int k3180 = 0x3180;  // serial console behind the sensor interface
inline constexpr int k3190 = 0x3190;  // line scan, 512 pixels
inline constexpr int k31A0 = 0x31A0;  // line scan, 256 pixels
inline constexpr int k31B0 = 0x31B0;  // IMX250
inline constexpr int k31B4 = 0x31B4;  // IMX264
inline constexpr int k31C0 = 0x31C0;  // IMX252
inline constexpr int k31C4 = 0x31C4;  // IMX265
inline constexpr int k31D0 = 0x31D0;  // line scan, 1024 pixels
inline constexpr int k31E0 = 0x31E0;  // sensor head behind a serial link
inline constexpr int k31F0 = 0x31F0;  // IMX226
inline constexpr int k3200 = 0x3200;  // exposure changes go through the acquisition thread
inline constexpr int k3210 = 0x3210;  // line scan, 2048 pixels
inline constexpr int k3220 = 0x3220;
inline constexpr int k3260 = 0x3260;  // IMX990
inline constexpr int k3270 = 0x3270;  // IMX990
inline constexpr int k3280 = 0x3280;  // IMX991
inline constexpr int k3290 = 0x3290;  // IMX991
inline constexpr int k32A0 = 0x32A0;  // IMX250
inline constexpr int k32B0 = 0x32B0;
inline constexpr int kRoze9701 = 0x32C0;
inline constexpr int k32D0 = 0x32D0;
inline constexpr int k32E0 = 0x32E0;  // IMX536
inline constexpr int k32F0 = 0x32F0;  // IMX487
inline constexpr int k3300 = 0x3300;  // IMX273
inline constexpr int k3310 = 0x3310;  // frame memory
inline constexpr int k3320 = 0x3320;  // frame memory
inline constexpr int k3340 = 0x3340;  // frame memory
inline constexpr int k3360 = 0x3360;  // IMX675
inline constexpr int k3370 = 0x3370;  // IMX992
inline constexpr int k3380 = 0x3380;  // IMX992

inline bool IsOneOf(int productId, std::initializer_list<int> ids) {
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

}  // namespace velcor::product
