#include "sim/SimScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_set>

namespace velcor::sim {
namespace {

constexpr int kMaxSample = 4095;  // 12-bit samples
constexpr size_t kNoiseTable = 65536;
// Exposure and signal of the natural scene: a surface of reflectance 1 gives this many counts
// at the reference exposure and unity gain.
constexpr double kReferenceExposure = 0.04;
constexpr double kFullScaleCounts = 2800.0;
constexpr double kFlatReflectance = 0.5;
// Noise in 12-bit counts: read noise, and the shot noise of the signal (variance = counts x
// conversion x gain).
constexpr double kReadNoise = 2.0;
constexpr double kShotConversion = 0.5;
// The natural scene moves by this phase per frame.
constexpr double kPhasePerFrame = 0.02;

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

SimScene::SimScene(int fullWidth, int fullHeight, uint32_t seed)
    : fullWidth_(std::max(fullWidth, 1)),
      fullHeight_(std::max(fullHeight, 1)),
      defectsByRow_(static_cast<size_t>(fullHeight_) + 1, 0),
      noise_(kNoiseTable + static_cast<size_t>(fullWidth_)),
      noiseSeed_(seed),
      columnA_(static_cast<size_t>(fullWidth_)),
      columnB_(static_cast<size_t>(fullWidth_)),
      row_(static_cast<size_t>(fullWidth_)) {
    // Unit normal samples by the Box-Muller transform.
    uint64_t state = seed ^ 0x5EEDull;
    for (size_t i = 0; i + 1 < noise_.size(); i += 2) {
        const double u1 = (static_cast<double>(SplitMix(state) >> 11) + 1.0) * 0x1.0p-53;
        const double u2 = static_cast<double>(SplitMix(state) >> 11) * 0x1.0p-53;
        const double r = std::sqrt(-2.0 * std::log(u1));
        noise_[i] = static_cast<float>(r * std::cos(2.0 * std::numbers::pi * u2));
        noise_[i + 1] = static_cast<float>(r * std::sin(2.0 * std::numbers::pi * u2));
    }
}

bool SimScene::SetDefects(int hot, int dead, uint32_t seed) {
    const int64_t pixels = int64_t{fullWidth_} * fullHeight_;
    if (hot < 0 || dead < 0 || int64_t{hot} + dead > pixels / 16) return false;
    const size_t total = static_cast<size_t>(hot) + static_cast<size_t>(dead);
    std::vector<uint64_t> positions;
    positions.reserve(total);
    std::unordered_set<uint64_t> taken;
    taken.reserve(total * 2);
    uint64_t state = seed;
    while (positions.size() < total) {
        // Every defect gets a pixel of its own.
        const uint64_t p = SplitMix(state) % static_cast<uint64_t>(pixels);
        if (taken.insert(p).second) positions.push_back(p);
    }
    defects_.clear();
    for (size_t i = 0; i < positions.size(); ++i) {
        const int x = static_cast<int>(positions[i] % static_cast<uint64_t>(fullWidth_));
        const int y = static_cast<int>(positions[i] / static_cast<uint64_t>(fullWidth_));
        defects_.push_back({x, y, i < static_cast<size_t>(hot)});
    }
    std::sort(defects_.begin(), defects_.end(),
              [](const Defect& a, const Defect& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    size_t next = 0;
    for (int y = 0; y <= fullHeight_; ++y) {
        while (next < defects_.size() && defects_[next].y < y)
            ++next;
        defectsByRow_[static_cast<size_t>(y)] = static_cast<uint32_t>(next);
    }
    return true;
}

void SimScene::SetFastRender(bool fast) {
    fast_ = fast;
    pictureKey_ = PictureKey{};
    if (fast) {
        picture_.resize(static_cast<size_t>(fullWidth_) * static_cast<size_t>(fullHeight_) * 2);
    } else {
        picture_ = std::vector<uint8_t>();
    }
}

void SimScene::PrepareFrame(const SensorFrameState& sensor, const FrameLayout& layout) {
    // The light of this frame: exposure and gain scale the signal, the black level lifts it;
    // brighter pixels carry more shot noise.
    const double gain = std::max(sensor.gain, 0.0);
    const double signal =
        kind_ == SceneKind::Dark
            ? 0.0
            : kFullScaleCounts * std::max(layout.exposureSeconds, 0.0) / kReferenceExposure * gain;
    scale_ = static_cast<float>(signal);
    pedestal_ = static_cast<float>(sensor.blackLevel);
    for (int k = 0; k <= 256; ++k) {
        const double counts = std::max(k * 16.0 - sensor.blackLevel, 0.0);
        sigma_[k] = static_cast<float>(
            std::sqrt(kReadNoise * kReadNoise + counts * kShotConversion * std::max(gain, 1.0)));
    }
    phase_ = kPhasePerFrame * static_cast<double>(layout.frameNumber % 314159u);
    const double w = fullWidth_;
    for (int x = 0; x < fullWidth_; ++x) {
        const double u = 2.0 * std::numbers::pi * x / w;
        columnA_[static_cast<size_t>(x)] = static_cast<float>(std::sin(1.5 * u + phase_));
        columnB_[static_cast<size_t>(x)] = static_cast<float>(std::cos(3.7 * u - 0.7 * phase_));
    }
}

void SimScene::PreparePicture(const SensorFrameState& sensor, const FrameLayout& layout) {
    const bool lit = kind_ != SceneKind::Ramp;
    const PictureKey key{kind_,
                         layout.bytesPerPixel == 2 ? 2u : 1u,
                         sensor.mirrorH,
                         lit ? layout.exposureSeconds : 0.0,
                         lit ? sensor.gain : 0.0,
                         lit ? sensor.blackLevel : 0.0};
    if (key == pictureKey_) return;
    // The picture is the scene as the frame numbered 0 shows it.
    FrameLayout still = layout;
    still.frameNumber = 0;
    if (lit) PrepareFrame(sensor, still);
    const size_t width = static_cast<size_t>(fullWidth_);
    const size_t rowBytes = width * key.bytesPerPixel;
    for (int y = 0; y < fullHeight_; ++y) {
        RenderPictureRow(y, still, false);
        uint8_t* line = picture_.data() + rowBytes * static_cast<size_t>(y);
        for (size_t x = 0; x < width; ++x) {
            const uint16_t v = row_[key.mirrorH ? width - 1 - x : x];
            if (key.bytesPerPixel == 1) {
                line[x] = static_cast<uint8_t>(v);
            } else {
                line[2 * x] = static_cast<uint8_t>(v);
                line[2 * x + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
    }
    pictureKey_ = key;
}

void SimScene::PutDefects(int y, bool sixteen, bool mirrorH, int64_t firstColumn, int64_t endColumn,
                          int columnShift, uint8_t* line) const {
    const uint16_t stuckHigh = sixteen ? kMaxSample : 0xFF;
    for (uint32_t k = defectsByRow_[static_cast<size_t>(y)];
         k < defectsByRow_[static_cast<size_t>(y) + 1]; ++k) {
        const Defect& d = defects_[k];
        const int64_t j = int64_t{mirrorH ? fullWidth_ - 1 - d.x : d.x} - columnShift;
        if (j < firstColumn || j >= endColumn) continue;
        const uint16_t v = d.hot ? stuckHigh : 0;
        if (sixteen) {
            line[2 * j] = static_cast<uint8_t>(v);
            line[2 * j + 1] = static_cast<uint8_t>(v >> 8);
        } else {
            line[j] = static_cast<uint8_t>(v);
        }
    }
}

void SimScene::Render(const SensorFrameState& sensor, const FrameLayout& layout, uint8_t* out) {
    const size_t bytes = layout.bytesPerPixel == 2 ? 2 : 1;
    const size_t rowBytes = static_cast<size_t>(layout.width) * bytes;

    if (fast_) {
        PreparePicture(sensor, layout);
    } else if (kind_ != SceneKind::Ramp) {
        PrepareFrame(sensor, layout);
    }

    const int rowShift = layout.verticalOffset - sensor.leadingLines;
    const int columnShift = layout.horizontalOffset - sensor.leadingColumns;
    const int windowHeight = sensor.windowHeight;
    const bool fromBottom = sensor.bottomRowFirst != sensor.mirrorV;
    // Output columns that see a sensor column.
    const int64_t firstColumn = std::clamp<int64_t>(-int64_t{columnShift}, 0, layout.width);
    const int64_t endColumn =
        std::clamp<int64_t>(int64_t{fullWidth_} - columnShift, firstColumn, layout.width);
    // Fast rendering: the natural scene moves by a row per frame through the picture.
    const size_t pictureRowBytes = static_cast<size_t>(fullWidth_) * bytes;
    const uint32_t scroll =
        kind_ == SceneKind::Natural ? layout.frameNumber % static_cast<uint32_t>(fullHeight_) : 0;

    for (uint32_t i = 0; i < layout.height; ++i) {
        uint8_t* line = out + rowBytes * i;
        const int64_t s = int64_t{i} + rowShift;  // row of the window in readout order
        const int64_t y =
            fromBottom ? sensor.windowTop + windowHeight - 1 - s : sensor.windowTop + s;
        if (s < 0 || s >= windowHeight || y < 0 || y >= fullHeight_) {
            std::memset(line, 0, rowBytes);
            continue;
        }
        std::memset(line, 0, static_cast<size_t>(firstColumn) * bytes);
        std::memset(line + endColumn * static_cast<int64_t>(bytes), 0,
                    static_cast<size_t>(layout.width - endColumn) * bytes);
        if (fast_) {
            if (endColumn > firstColumn) {
                const size_t pictureRow = (static_cast<size_t>(y) + scroll) % fullHeight_;
                std::memcpy(line + firstColumn * static_cast<int64_t>(bytes),
                            picture_.data() + pictureRow * pictureRowBytes +
                                (firstColumn + columnShift) * static_cast<int64_t>(bytes),
                            static_cast<size_t>(endColumn - firstColumn) * bytes);
            }
            if (kind_ != SceneKind::Ramp) {
                PutDefects(static_cast<int>(y), bytes == 2, sensor.mirrorH, firstColumn, endColumn,
                           columnShift, line);
            }
            continue;
        }
        RenderPictureRow(static_cast<int>(y), layout, true);
        const uint16_t* row = row_.data();
        if (bytes == 1) {
            uint8_t* o = line;
            if (!sensor.mirrorH) {
                for (int64_t j = firstColumn; j < endColumn; ++j)
                    o[j] = static_cast<uint8_t>(row[j + columnShift]);
            } else {
                const int64_t last = fullWidth_ - 1 - columnShift;
                for (int64_t j = firstColumn; j < endColumn; ++j)
                    o[j] = static_cast<uint8_t>(row[last - j]);
            }
        } else {
            uint8_t* o = line;
            if (!sensor.mirrorH) {
                for (int64_t j = firstColumn; j < endColumn; ++j) {
                    const uint16_t v = row[j + columnShift];
                    o[2 * j] = static_cast<uint8_t>(v);
                    o[2 * j + 1] = static_cast<uint8_t>(v >> 8);
                }
            } else {
                const int64_t last = fullWidth_ - 1 - columnShift;
                for (int64_t j = firstColumn; j < endColumn; ++j) {
                    const uint16_t v = row[last - j];
                    o[2 * j] = static_cast<uint8_t>(v);
                    o[2 * j + 1] = static_cast<uint8_t>(v >> 8);
                }
            }
        }
    }
}

void SimScene::RenderPictureRow(int y, const FrameLayout& layout, bool withDefects) {
    const bool sixteen = layout.bytesPerPixel == 2;
    uint16_t* row = row_.data();
    const int width = fullWidth_;
    if (kind_ == SceneKind::Ramp) {
        const unsigned mask = sixteen ? 0xFFFu : 0xFFu;
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<uint16_t>(
                (static_cast<unsigned>(x) + 2u * static_cast<unsigned>(y)) & mask);
        return;
    }

    float base = pedestal_;
    float a = 0.0f;
    float b = 0.0f;
    if (kind_ == SceneKind::Natural) {
        const double v = 2.0 * std::numbers::pi * y / fullHeight_;
        const double rowA = std::cos(1.2 * v + 0.5 * phase_);
        const double rowB = std::sin(2.9 * v + 0.3 * phase_);
        const double gradient = 0.1 * (static_cast<double>(y) / fullHeight_ - 0.5);
        base += static_cast<float>(scale_ * (0.5 + gradient));
        a = static_cast<float>(scale_ * 0.25 * rowA);
        b = static_cast<float>(scale_ * 0.15 * rowB);
    } else if (kind_ == SceneKind::Flat) {
        base += static_cast<float>(scale_ * kFlatReflectance);
    }

    uint64_t state = (uint64_t{noiseSeed_} << 32) ^ (uint64_t{layout.frameNumber} << 12) ^
                     static_cast<uint64_t>(y);
    const float* noise = noise_.data() + SplitMix(state) % kNoiseTable;
    const float* columnA = columnA_.data();
    const float* columnB = columnB_.data();
    const int shift = sixteen ? 0 : 4;
    for (int x = 0; x < width; ++x) {
        float v = base + a * columnA[x] + b * columnB[x];
        const float clamped = std::clamp(v, 0.0f, static_cast<float>(kMaxSample));
        v += noise[x] * sigma_[static_cast<int>(clamped) >> 4];
        v = std::clamp(v + 0.5f, 0.0f, static_cast<float>(kMaxSample));
        row[x] = static_cast<uint16_t>(static_cast<int>(v) >> shift);
    }
    if (!withDefects) return;
    const uint16_t stuckHigh = sixteen ? kMaxSample : 0xFF;
    for (uint32_t k = defectsByRow_[static_cast<size_t>(y)];
         k < defectsByRow_[static_cast<size_t>(y) + 1]; ++k) {
        const Defect& d = defects_[k];
        row[d.x] = d.hot ? stuckHigh : 0;
    }
}

}  // namespace velcor::sim
