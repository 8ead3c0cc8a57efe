#include "ProductView.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "ProductCamera.h"
#include "engine/ProductTraits.h"
#include "engine/SensorFactory.h"
#include "imaging/FrameConverter.h"
#include "imaging/ImageFileWriter.h"
#include "sensors/SensorInfo.h"

namespace velcor::tool {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

// Attaches the simulated cameras asked for and opens the one to work on.
bool OpenProduct(const ProductRun& run, ProductCamera& camera) {
    return camera.AttachSimulated(run.simulate) && camera.Open(run.device);
}

// The frames of one depth and the images the conversion needs for them: the raw frame, and
// for a colour sensor the demosaiced output of 24 (8-bit frames) or 48 bits (16-bit frames).
// The adjustments stay neutral, so the conversion needs no scratch image.
class FrameConversion {
  public:
    FrameConversion(bool colour, int bits) {
        params_.colourMode = colour ? (bits == 16 ? 48 : 24) : bits;
        (bits == 16 ? images_.raw16 : images_.raw8) = &raw_;
        if (colour) (bits == 16 ? images_.image48 : images_.image24) = &output_;
    }

    DibImage& Raw() { return raw_; }

    // Converts the raw frame; the output image, or null when it could not be made.
    const DibImage* Convert() {
        // Made for the window's size; later frames of the same size reuse it.
        if (params_.colourMode > 16 &&
            (output_.Width() != raw_.Width() || output_.Height() != raw_.Height()) &&
            !output_.Create(raw_.Width(), raw_.Height(), params_.colourMode)) {
            return nullptr;
        }
        if (!FrameConverter::Convert(images_, params_)) return nullptr;
        return FrameConverter::OutputImage(images_, params_.colourMode);
    }

  private:
    DibImage raw_;
    DibImage output_;
    FrameImages images_;
    ConversionParams params_;  // neutral adjustments
};

// Waits for a frame newer than the last one read, up to the engine's frame wait.
ProductCamera::Wait WaitForFrame(ProductCamera& camera) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(camera.FrameWaitMs());
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return ProductCamera::Wait::kNothingNew;
        // The wait also ends early when the frame event stood for a frame already read.
        const ProductCamera::Wait wait = camera.WaitNewFrame(static_cast<uint32_t>(left));
        if (wait != ProductCamera::Wait::kNothingNew) return wait;
    }
}

// Seconds as the sensor tables give them: "0.000056", "2.684", "1000".
std::string Seconds(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.9f", value);
    std::string result = text;
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.') result.pop_back();
    return result;
}

void PrintFrameFailure(ProductCamera::Wait wait, uint32_t waitMs) {
    if (wait == ProductCamera::Wait::kLost) {
        std::fprintf(stderr, "velcor: frame failed: the camera was given up\n");
    } else if (wait == ProductCamera::Wait::kNothingNew) {
        std::fprintf(stderr, "velcor: frame failed: no frame within %u ms\n", waitMs);
    } else {
        std::fprintf(stderr, "velcor: frame failed: the engine had no frame to give\n");
    }
}

}  // namespace

bool IsFamilyProduct(int productId) {
    return FindSensorFactoryRow(productId).productId == productId;
}

std::string FamilyProductList() {
    std::string list;
    for (const ProductTraits& traits : AllProductTraits()) {
        if (!IsFamilyProduct(traits.productId)) continue;
        char id[16];
        std::snprintf(id, sizeof id, "%s0x%04X", list.empty() ? "" : ", ", traits.productId);
        list += id;
    }
    return list;
}

int ProductInfo(const ProductRun& run) {
    ProductCamera camera(run.productId);
    if (!OpenProduct(run, camera)) return kExitFailure;
    CVelcorR3U2Base& engine = camera.Engine();
    SensorInfo info{};
    engine.GetSensorInfo(&info);
    int x = 0, y = 0, width = 0, height = 0, mode = 0;
    engine.GetWindowInForce(&x, &y, &width, &height, &mode);

    std::printf("product id      0x%04X (the engine's view; the C API drives 0x32C0)\n",
                run.productId);
    std::printf("sensor class    %s\n", camera.SensorClassName());
    const int modelCode = engine.Sensor()->ModelCode();
    if (modelCode != 0) {
        std::printf("model code      %d\n", modelCode);
    } else {
        std::printf("model code      (none)\n");
    }
    std::printf("full size       %d x %d%s\n", engine.GetFullWidth(), engine.GetFullHeight(),
                FindProductTraits(run.productId).lineScan ? " (line scan: lines at most)" : "");
    std::printf("window          %d x %d at %d, %d (mode %d)\n", width, height, x, y, mode);
    const bool eight = engine.Allows8BitOutput() != 0;
    const bool sixteen = engine.Allows16BitOutput() != 0;
    // The frames' depth is the engine's choice (8 bits until told otherwise); the sensor's own
    // readout depth is shown where its driver states one.
    std::printf("bit depth       frames of %s", eight && sixteen ? "8 or 16 bits"
                                                : eight          ? "8 bits"
                                                : sixteen        ? "16 bits"
                                                                 : "no depth");
    if (info.bitDepth > 0) std::printf(" (sensor reads out %d bits)", info.bitDepth);
    std::printf("\n");
    std::printf("colour          %s\n",
                engine.IsColourSensor() ? "colour (Bayer mosaic)" : "monochrome");
    std::printf("exposure        %d x 100 us (%d .. %d)\n", engine.GetExposure(),
                engine.GetExposureMin(), engine.GetExposureMax());
    double seconds = 0, minimum = 0, maximum = 0;
    if (engine.IsExposureSecondsSupported() && engine.GetExposureSeconds(&seconds) &&
        engine.GetExposureSecondsMin(&minimum) && engine.GetExposureSecondsMax(&maximum)) {
        std::printf("exposure time   %.6f s (%s .. %s s)\n", seconds, Seconds(minimum).c_str(),
                    Seconds(maximum).c_str());
    } else {
        std::printf("exposure time   (not offered in seconds)\n");
    }
    std::printf("gain            %d (%d .. %d)\n", engine.GetGlobalGain(),
                engine.GetGlobalGainMin(), engine.GetGlobalGainMax());
    double celsius = 0;
    if (engine.IsTemperatureSupported() && engine.GetTemperature(&celsius)) {
        std::printf("temperature     %.2f C\n", celsius);
    } else {
        std::printf("temperature     (not offered)\n");
    }
    return kExitOk;
}

int ProductSnap(const ProductRun& run, const std::string& path, int fileFormat,
                const char* formatName, int bits) {
    ProductCamera camera(run.productId);
    if (!OpenProduct(run, camera)) return kExitFailure;
    if (bits == 0) bits = camera.DefaultDepth();
    if (!camera.SelectDepth(bits) || !camera.StartStreaming()) return kExitFailure;
    FrameConversion conversion(camera.Engine().IsColourSensor() != 0, bits);
    const ProductCamera::Wait wait = WaitForFrame(camera);
    const bool read = wait == ProductCamera::Wait::kNewFrame && camera.ReadFrame(conversion.Raw());
    camera.StopStreaming();
    if (!read) {
        PrintFrameFailure(wait, camera.FrameWaitMs());
        return kExitFailure;
    }
    const DibImage* image = conversion.Convert();
    if (image == nullptr) {
        std::fprintf(stderr, "velcor: snap: the frame could not be converted\n");
        return kExitFailure;
    }
    errno = 0;
    if (!SaveImageFile(path.c_str(), *image, fileFormat)) {
        const int error = errno;
        std::fprintf(stderr, "velcor: cannot write %s%s%s\n", path.c_str(), error ? ": " : "",
                     error ? std::strerror(error) : "");
        return kExitFailure;
    }
    std::printf("%s: %d x %d, %d bits per pixel, %s\n", path.c_str(), image->Width(),
                image->Height(), image->Bits(), formatName);
    return kExitOk;
}

int ProductStream(const ProductRun& run, int frames, int bits) {
    ProductCamera camera(run.productId);
    if (!OpenProduct(run, camera)) return kExitFailure;
    if (bits == 0) bits = camera.DefaultDepth();
    if (!camera.SelectDepth(bits) || !camera.StartStreaming()) return kExitFailure;
    const FrameCounters before = camera.Engine().GetFrameCounters();
    DibImage raw;
    int received = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    // Every frame asked for is either received or failed.
    while (received + failed < frames) {
        const ProductCamera::Wait wait = WaitForFrame(camera);
        if (wait == ProductCamera::Wait::kNewFrame && camera.ReadFrame(raw)) {
            ++received;
            continue;
        }
        ++failed;
        PrintFrameFailure(wait, camera.FrameWaitMs());
        // A camera given up or silent for a whole frame wait sends no more.
        if (wait != ProductCamera::Wait::kNewFrame) break;
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    camera.StopStreaming();
    // Dropped: frames the acquisition thread finished into the ring that newer ones overwrote
    // before they were read.
    const FrameCounters after = camera.Engine().GetFrameCounters();
    std::printf("%d frames in %.3f s: %.1f frames per second, %d failed, %llu dropped\n", received,
                elapsed, elapsed > 0 ? received / elapsed : 0.0, failed,
                static_cast<unsigned long long>(after.dropped - before.dropped));
    return received == frames ? kExitOk : kExitFailure;
}

}  // namespace velcor::tool
