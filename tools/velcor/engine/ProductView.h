// The engine's view of a product: velcor --product P drives a camera of any product of the
// family through the camera engine, without the C API (whose camera object drives product
// 0x32C0 only). These entry points are all the rest of the tool sees of it; the engine, the
// sensor drivers, the frame conversion and the view's own simulator stay behind them, in a
// static copy of those layers that carries none of the C API's symbols.
#pragma once

#include <string>

namespace velcor::tool {

// True for a product id the camera engine has a sensor driver for.
bool IsFamilyProduct(int productId);
// The product ids the engine knows, as "0x3020, 0x3030, ...".
std::string FamilyProductList();

struct ProductRun {
    int productId = 0;
    int simulate = 0;  // simulated cameras of the product to attach first
    int device = 0;    // device number among the attached cameras of the product
};

// The commands, each with the tool's exit status: 0 success, 1 failure (printed).
int ProductInfo(const ProductRun& run);
// One frame converted to 8-bit mono or 24-bit colour (16-bit mono or 48-bit colour with bits
// 16) and written to path; bits 0 takes the product's own depth, 8 where it offers 8 bits.
int ProductSnap(const ProductRun& run, const std::string& path, int fileFormat,
                const char* formatName, int bits);
int ProductStream(const ProductRun& run, int frames, int bits);

}  // namespace velcor::tool
