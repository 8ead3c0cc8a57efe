// What the simulated camera's sensor looks at, and how its pixels turn light into numbers:
// the scene in front of the lens, the sensor's defective pixels and its noise. Renders the
// frame the FPGA sends, row by row in the sensor's readout order.
//
// Two ways to render. Exact (the default) computes the scene for every frame: the natural
// scene moves and its noise is new in every frame. Fast renders the scene once into a picture
// of the whole sensor at the output depth, again only when the scene, depth, horizontal
// mirror, exposure, gain or black level change, and each frame copies its rows out of it: the
// natural scene moves by one sensor row per frame, the noise is fixed to the picture, and the
// defect pixels stay where the sensor has them. A frame then costs about a copy of its bytes,
// so a stream measures the host and not the simulator.
//
// Not thread-safe: the camera renders under its own lock. Rendering allocates nothing; the
// buffers it needs are sized when the scene is made or when fast rendering is switched on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimI2cDevices.h"

namespace velcor::sim {

enum class SceneKind {
    Natural = 0,  // smooth, slowly moving, following exposure, gain and black level; noisy
    Ramp = 1,     // exact test pattern (x + 2y), whatever the exposure and gain
    Dark = 2,     // lens capped
    Flat = 3,     // uniformly lit
};

// One frame as the FPGA cuts it out of the sensor's output.
struct FrameLayout {
    uint32_t width = 0;  // FPGA frame size
    uint32_t height = 0;
    uint32_t bytesPerPixel = 1;  // 1: 8-bit samples; 2: 12-bit samples in 16 bits, low bits
    int verticalOffset = 0;      // lines and columns of the sensor's output the FPGA skips
    int horizontalOffset = 0;
    uint32_t frameNumber = 0;
    double exposureSeconds = 0.0;  // the exposure this frame had
};

class SimScene {
  public:
    SimScene(int fullWidth, int fullHeight, uint32_t seed);

    SceneKind Kind() const { return kind_; }
    void SetKind(SceneKind kind) { kind_ = kind; }
    bool FastRender() const { return fast_; }
    void SetFastRender(bool fast);

    // Places `hot` pixels stuck at full scale and `dead` pixels stuck at zero, at positions
    // drawn from `seed`; false (nothing changes) for negative counts or more than a sixteenth
    // of the sensor's pixels.
    bool SetDefects(int hot, int dead, uint32_t seed);
    struct Defect {
        int x;
        int y;
        bool hot;
    };
    const std::vector<Defect>& Defects() const { return defects_; }

    // Renders a frame of layout.width x layout.height samples into `out`, which holds at least
    // width x height x bytesPerPixel bytes. Samples outside the sensor's picture are 0.
    void Render(const SensorFrameState& sensor, const FrameLayout& layout, uint8_t* out);

  private:
    // One picture row in samples of the output depth, left to right.
    void RenderPictureRow(int y, const FrameLayout& layout, bool withDefects);
    // The frame-wide state of the exact scene: scale, pedestal, noise table and the columns of
    // the natural scene at this frame's phase.
    void PrepareFrame(const SensorFrameState& sensor, const FrameLayout& layout);
    // Fast rendering: the picture the frame's rows are copied from, rebuilt when it does not
    // show what the frame is to show.
    void PreparePicture(const SensorFrameState& sensor, const FrameLayout& layout);
    // Sets the defect pixels of sensor row y in an output line of the frame.
    void PutDefects(int y, bool sixteen, bool mirrorH, int64_t firstColumn, int64_t endColumn,
                    int columnShift, uint8_t* line) const;

    const int fullWidth_;
    const int fullHeight_;
    SceneKind kind_ = SceneKind::Natural;
    std::vector<Defect> defects_;         // sorted by row, then column
    std::vector<uint32_t> defectsByRow_;  // index of each row's first defect; fullHeight + 1
    std::vector<float> noise_;            // unit normal samples
    uint32_t noiseSeed_;

    // Per-frame state of the natural scene.
    std::vector<float> columnA_;
    std::vector<float> columnB_;
    std::vector<uint16_t> row_;
    float sigma_[257] = {};  // noise by signal / 16
    double phase_ = 0.0;
    float scale_ = 0.0f;
    float pedestal_ = 0.0f;

    // Fast rendering.
    struct PictureKey {
        SceneKind kind = SceneKind::Natural;
        uint32_t bytesPerPixel = 0;  // 0: no picture yet
        bool mirrorH = false;
        double exposureSeconds = 0.0;
        double gain = 0.0;
        double blackLevel = 0.0;
        bool operator==(const PictureKey&) const = default;
    };
    bool fast_ = false;
    // fullHeight rows of fullWidth samples at the keyed depth, mirrored as keyed, no defects.
    std::vector<uint8_t> picture_;
    PictureKey pictureKey_;
};

}  // namespace velcor::sim
