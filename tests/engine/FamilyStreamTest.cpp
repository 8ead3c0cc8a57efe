// Every product of the sensor family streams through the engine from its simulated camera:
// the engine opens the camera, starts it up, takes a small window, and streams frames of the
// family's known picture at each pixel depth the product offers, on the product's own frame
// path. The frames convert into every output mode: monochrome products to 8 and 16 bits, colour
// products through the demosaic of their known Bayer mosaic into 24, 32, 48 and 64 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProductTraits.h"
#include "engine/VelcorR3U2Base.h"
#include "imaging/Demosaic.h"
#include "imaging/FrameConverter.h"
#include "platform/Clock.h"
#include "sim/SimFamilyProducts.h"
#include "sim/SimFamilySensor.h"
#include "sim/SimTestSupport.h"
#include "support/EngineFrameWait.h"

namespace velcor {
namespace {

constexpr int kWindowWidth = 64;
constexpr int kWindowHeight = 40;
constexpr uint32_t kWaitMs = 5000;

std::vector<uint16_t> FamilyProductIds() {
    std::vector<uint16_t> ids;
    for (const auto* p = sim::SimFamilyProductsBegin(); p != sim::SimFamilyProductsEnd(); ++p)
        ids.push_back(p->productId);
    return ids;
}

// The picture as the engine should hand it over, top row first.
void FillPicture(DibImage& image, bool colour, uint32_t frame) {
    const bool sixteen = image.Bits() == 16;
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.Pixels() + static_cast<size_t>(y) * image.Stride();
        for (int x = 0; x < image.Width(); ++x) {
            const uint16_t v = sim::FamilyPictureSample(colour, x, y, frame, sixteen);
            if (sixteen) {
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
            } else {
                row[x] = static_cast<uint8_t>(v);
            }
        }
    }
}

// The first sample where two images of the same format differ, as text; empty when they agree.
std::string FirstDifference(const DibImage& expected, const DibImage& actual) {
    const size_t bytes = static_cast<size_t>(expected.Bits() / 8);
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            const size_t at = static_cast<size_t>(y) * expected.Stride() + x * bytes;
            if (std::equal(expected.Pixels() + at, expected.Pixels() + at + bytes,
                           actual.Pixels() + at)) {
                continue;
            }
            char text[96];
            std::snprintf(text, sizeof text, "(%d, %d): expected %u, got %u", x, y,
                          expected.Pixels()[at], actual.Pixels()[at]);
            return text;
        }
    }
    return {};
}

class FamilyStream : public testing::SimTest, public ::testing::WithParamInterface<uint16_t> {
  protected:
    void TearDown() override {
        if (engine_) engine_->StopTransfer();
        engine_.reset();
        SimTest::TearDown();
    }

    void Open() {
        product_ = sim::FindSimFamilyProduct(GetParam());
        ASSERT_NE(product_, nullptr);
        ASSERT_GT(Attach(GetParam(), "FAMSTRM1"), 0);
        engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
        engine_->SetProductId(GetParam());
        engine_->InitializeController(nullptr, nullptr);
        // Start-up polls and settling pauses pass in virtual time.
        platform::VirtualTimeScope virtualTime;
        ASSERT_EQ(engine_->OpenDevice(0), 1);
    }

    bool WaitForNewFrame() { return test::WaitForNewFrame(*engine_, kWaitMs) == kWaitFrameNew; }

    // Streams two frames at the depth mode and checks them against the known picture; the
    // newest frame stays in `raw`.
    void StreamTwoFrames(int depthMode, DibImage& raw) {
        ASSERT_EQ(engine_->SetBitDepthMode(depthMode), 1);
        int x = 0, y = 0, width = 0, height = 0, mode = 0;
        ASSERT_EQ(engine_->GetWindowInForce(&x, &y, &width, &height, &mode), 1);
        const int bits = depthMode == 1 ? 16 : 8;
        ASSERT_TRUE(raw.Create(width, height, bits));
        const size_t rowBytes = static_cast<size_t>(width) * (bits / 8);
        ASSERT_EQ(raw.Stride(), static_cast<int>(rowBytes)) << "window widths are 4-aligned";
        std::vector<uint8_t> frame(
            rowBytes * static_cast<size_t>(height) *
            static_cast<size_t>(FindProductTraits(GetParam()).bufferMultiple));
        ASSERT_EQ(engine_->StartTransfer(0), 1);
        std::optional<uint32_t> previous;
        for (int n = 0; n < 2; ++n) {
            ASSERT_TRUE(WaitForNewFrame()) << "frame " << n;
            ASSERT_EQ(engine_->ReadFrame(frame.data(), static_cast<int>(frame.size()), 1), 0);
            std::copy_n(frame.begin(), rowBytes * static_cast<size_t>(height), raw.Pixels());
            // The picture moves one step per frame: find the step from a sample of row 1
            // (row 0 of the serial head repeats row 1), then every sample must match it.
            const uint32_t step = (raw.Pixels()[raw.Stride()] -
                                   sim::FamilyPictureSample(product_->colour, 0, 1, 0, false)) &
                                  0xFF;
            DibImage expected;
            ASSERT_TRUE(expected.Create(width, height, bits));
            FillPicture(expected, product_->colour, step);
            if (product_->serialHead) {
                std::copy_n(expected.Pixels() + expected.Stride(), rowBytes, expected.Pixels());
            }
            ASSERT_EQ(FirstDifference(expected, raw), "")
                << "frame " << n << " is not the known picture";
            if (previous) {
                EXPECT_NE(*previous, step) << "the second frame is a new frame";
            }
            previous = step;
        }
        ASSERT_EQ(engine_->StopTransfer(), 1);
    }

    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
    const sim::SimFamilyProduct* product_ = nullptr;
};

TEST_P(FamilyStream, StreamsAndConvertsTheKnownPictureAtEveryDepth) {
    Open();
    if (HasFatalFailure()) return;
    const int fullWidth = engine_->GetFullWidth();
    const int fullHeight = engine_->GetFullHeight();
    // A small window in the middle of the sensor keeps the big sensors fast; the video
    // converter has its fixed frame.
    const bool windowed = engine_->IsHWindowSupported() && engine_->IsVWindowSupported();
    if (windowed) {
        const int x = (fullWidth - kWindowWidth) / 2 & ~3;
        const int y = std::min(fullHeight - kWindowHeight, 64) & ~1;
        ASSERT_EQ(engine_->ApplyWindow(x, y, kWindowWidth, kWindowHeight, 0), 1);
    }
    const bool colour = engine_->IsColourSensor() != 0;
    EXPECT_EQ(colour, product_->colour);

    for (int depthMode : {0, 1}) {
        if (depthMode == 0 && !engine_->Allows8BitOutput()) continue;
        if (depthMode == 1 && !engine_->Allows16BitOutput()) continue;
        SCOPED_TRACE(depthMode == 1 ? "16-bit frames" : "8-bit frames");
        DibImage raw;
        StreamTwoFrames(depthMode, raw);
        if (HasFatalFailure()) return;

        const std::vector<int> modes =
            colour ? (depthMode == 1 ? std::vector<int>{48, 64} : std::vector<int>{24, 32})
                   : std::vector<int>{depthMode == 1 ? 16 : 8};
        for (int colourMode : modes) {
            SCOPED_TRACE(colourMode);
            DibImage source, output, work;
            ASSERT_TRUE(source.Create(raw.Width(), raw.Height(), raw.Bits()));
            std::copy_n(raw.Pixels(), raw.ByteSize(), source.Pixels());
            ASSERT_TRUE(output.Create(raw.Width(), raw.Height(), colourMode));
            FrameImages images;
            (depthMode == 1 ? images.raw16 : images.raw8) = &source;
            if (colourMode > 16) {
                DibImage** slot = colourMode == 24   ? &images.image24
                                  : colourMode == 32 ? &images.image32
                                  : colourMode == 48 ? &images.image48
                                                     : &images.image64;
                *slot = &output;
            }
            ASSERT_TRUE(work.Create(raw.Width(), raw.Height(), colourMode));
            images.work = &work;
            ConversionParams params;
            params.colourMode = colourMode;
            ASSERT_EQ(FrameConverter::Convert(images, params), 1);
            if (colourMode <= 16) {
                // Neutral gray processing leaves the picture as it came.
                EXPECT_TRUE(
                    std::equal(raw.Pixels(), raw.Pixels() + raw.ByteSize(), source.Pixels()));
                continue;
            }
            DibImage reference;
            ASSERT_TRUE(reference.Create(raw.Width(), raw.Height(), colourMode));
            ASSERT_TRUE(Demosaic(raw, reference, BayerGains{}));
            EXPECT_EQ(FirstDifference(reference, output), "")
                << "the demosaic of the known mosaic (phase 0)";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProduct, FamilyStream, ::testing::ValuesIn(FamilyProductIds()),
                         [](const ::testing::TestParamInfo<uint16_t>& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Pid%04X", info.param);
                             return std::string(name);
                         });

// The console camera (0x3180) answers on its text channel: its greeting at power-on, and again
// for every line it is sent.
class FamilyConsole : public testing::SimTest {
  protected:
    void TearDown() override {
        engine_.reset();
        SimTest::TearDown();
    }
    platform::VirtualTimeScope virtualTime_;  // the console's 10 ms per byte
    std::unique_ptr<CVelcorUSB3T2SimpleSdk> engine_;
};

TEST_F(FamilyConsole, GreetsAndAnswersEveryLine) {
    ASSERT_GT(Attach(0x3180, "CONSOLE1"), 0);
    engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
    engine_->SetProductId(0x3180);
    engine_->InitializeController(nullptr, nullptr);
    ASSERT_EQ(engine_->OpenDevice(0), 1);
    const std::string greeting = sim::SimFamilySensor::kConsoleGreeting;

    char line[300] = {};
    ASSERT_EQ(engine_->ReceiveText(line, sizeof line), static_cast<int>(greeting.size()));
    EXPECT_EQ(std::string(line, greeting.size()), greeting);
    // Nothing more to say: an empty line.
    EXPECT_EQ(engine_->ReceiveText(line, sizeof line), 0);

    const char command[] = "STATUS\r";
    ASSERT_EQ(engine_->SendText(command, sizeof command - 1), 1);
    std::fill(std::begin(line), std::end(line), '\0');
    ASSERT_EQ(engine_->ReceiveText(line, sizeof line), static_cast<int>(greeting.size()));
    EXPECT_EQ(std::string(line, greeting.size()), greeting);
    // A caller's short buffer takes what fits.
    ASSERT_EQ(engine_->SendText(command, sizeof command - 1), 1);
    char shortBuffer[6] = {};
    EXPECT_EQ(engine_->ReceiveText(shortBuffer, sizeof shortBuffer),
              static_cast<int>(greeting.size()));
    EXPECT_EQ(std::string(shortBuffer, sizeof shortBuffer), greeting.substr(0, 6));
}

TEST_F(FamilyConsole, OtherProductsHaveNoTextChannel) {
    ASSERT_GT(Attach(0x3170, "CONSOLE2"), 0);
    engine_ = std::make_unique<CVelcorUSB3T2SimpleSdk>();
    engine_->SetProductId(0x3170);
    engine_->InitializeController(nullptr, nullptr);
    ASSERT_EQ(engine_->OpenDevice(0), 1);
    char line[64] = {};
    EXPECT_EQ(engine_->ReceiveText(line, sizeof line), 0);
    EXPECT_EQ(engine_->SendText("STATUS\r", 7), 0);
}

}  // namespace
}  // namespace velcor
