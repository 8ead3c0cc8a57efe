#include "ProductCamera.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/ProductTraits.h"
#include "engine/SensorFactory.h"
#include "sensors/SensorFamily.h"

#if VELCOR_TOOL_WITH_SIMULATOR
#include "sim/SimCameraConfig.h"
#include "sim/SimFamilyProducts.h"
#include "sim/SimHub.h"
#endif

namespace velcor::tool {

ProductCamera::ProductCamera(int productId)
    : productId_(productId), engine_(std::make_unique<CVelcorUSB3T2SimpleSdk>()) {}

ProductCamera::~ProductCamera() {
    // The engine lets go of the camera before the camera is unplugged.
    engine_.reset();
#if VELCOR_TOOL_WITH_SIMULATOR
    for (int id : simulated_)
        sim::SimHub::Instance().Detach(id);
#endif
}

bool ProductCamera::AttachSimulated(int count) {
    if (count == 0) return true;
#if VELCOR_TOOL_WITH_SIMULATOR
    // The ROZE9701 camera has a chip model of its own; the others are the family's cameras.
    if (productId_ != 0x32C0 &&
        sim::FindSimFamilyProduct(static_cast<uint16_t>(productId_)) == nullptr) {
        std::fprintf(stderr, "velcor: there is no simulated camera of product 0x%04X\n",
                     productId_);
        return false;
    }
    for (int i = 1; i <= count; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "SIM%04d", i);
        sim::SimCameraConfig config;
        config.productId = static_cast<uint16_t>(productId_);
        config.serialNumber = serial;
        const int id = sim::SimHub::Instance().Attach(config);
        if (id == 0) {
            std::fprintf(stderr, "velcor: cannot attach simulated camera %s\n", serial);
            return false;
        }
        simulated_.push_back(id);
    }
    return true;
#else
    std::fprintf(stderr, "velcor: this build carries no simulated cameras\n");
    return false;
#endif
}

bool ProductCamera::Open(int device) {
    engine_->SetProductId(productId_);
    engine_->InitializeController(nullptr, nullptr);
    const int count = engine_->CountDevices(productId_);
    if (count <= 0) {
        std::fprintf(stderr, "velcor: no camera of product 0x%04X is attached\n", productId_);
        return false;
    }
    if (device >= count) {
        std::fprintf(stderr, "velcor: there is no camera %d of product 0x%04X (%d attached)\n",
                     device, productId_, count);
        return false;
    }
    if (engine_->OpenDevice(device) != 1) {
        std::fprintf(stderr,
                     "velcor: camera %d of product 0x%04X could not be opened and started up\n",
                     device, productId_);
        return false;
    }
    return true;
}

const char* ProductCamera::SensorClassName() const {
    // Product 0x3020 carries one of two chips; the driver made for the chip found names it.
    if (const auto* family = dynamic_cast<const CSensorFamily*>(engine_->Sensor()))
        return family->ClassName();
    return FindSensorFactoryRow(productId_).className;
}

int ProductCamera::DefaultDepth() {
    return engine_->Allows8BitOutput() ? 8 : 16;
}

bool ProductCamera::SelectDepth(int bits) {
    const bool offered = bits == 8 ? engine_->Allows8BitOutput() : engine_->Allows16BitOutput();
    if (!offered) {
        std::fprintf(stderr, "velcor: product 0x%04X (%s) does not deliver %d-bit frames\n",
                     productId_, SensorClassName(), bits);
        return false;
    }
    // A camera without FPGA registers keeps its geometry where it is, and rebuilding the
    // buffers for the new depth answers 0 although the depth is in force.
    if (!engine_->SetBitDepthMode(bits == 16 ? 1 : 0) &&
        FindProductTraits(productId_).hasFpgaRegisters) {
        std::fprintf(stderr, "velcor: the camera did not take %d-bit frames\n", bits);
        return false;
    }
    bits_ = bits;
    return true;
}

bool ProductCamera::StartStreaming() {
    if (engine_->StartTransfer(0) != 1) {
        std::fprintf(stderr, "velcor: the camera's transfer could not be started\n");
        return false;
    }
    // The frame buffers are built when the transfer starts.
    frame_.assign(static_cast<size_t>(std::max(engine_->FrameBytes(), 0)), 0);
    return true;
}

void ProductCamera::StopStreaming() {
    engine_->StopTransfer();
}

ProductCamera::Wait ProductCamera::WaitNewFrame(uint32_t milliseconds) {
    switch (engine_->WaitFrame(milliseconds)) {
        case kWaitFrameNew:
            return Wait::kNewFrame;
        case kWaitFrameLost:
            return Wait::kLost;
        default:
            return Wait::kNothingNew;
    }
}

bool ProductCamera::ReadFrame(DibImage& raw) {
    int x = 0, y = 0, width = 0, height = 0, mode = 0;
    if (!engine_->GetWindowInForce(&x, &y, &width, &height, &mode)) return false;
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bits_ / 8);
    if (width <= 0 || height <= 0 || frame_.size() < rowBytes * static_cast<size_t>(height))
        return false;
    if (raw.Width() != width || raw.Height() != height || raw.Bits() != bits_) {
        if (!raw.Create(width, height, bits_)) return false;
    }
    if (engine_->ReadFrame(frame_.data(), static_cast<int>(frame_.size()), 1) != 0) return false;
    // The engine's rows are packed; the image's are padded to 4 bytes.
    const size_t stride = static_cast<size_t>(raw.Stride());
    for (int row = 0; row < height; ++row) {
        std::memcpy(raw.Pixels() + stride * static_cast<size_t>(row),
                    frame_.data() + rowBytes * static_cast<size_t>(row), rowBytes);
    }
    return true;
}

}  // namespace velcor::tool
