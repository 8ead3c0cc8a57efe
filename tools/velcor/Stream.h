// Streaming frames through the C API's callback preview, with a line of figures per second.
#pragma once

#include <string>

#include "CameraCommands.h"

namespace velcor::tool {

struct StreamOptions {
    int frames = 0;      // stop after this many frames (0: no limit)
    double seconds = 0;  // stop after this long (0: no limit)
    int bits = 8;
    std::string saveDir;  // where each frame goes (empty: frames are not saved)
    const FileFormat* format = nullptr;
    bool stats = false;      // the frame ring's counters and CPU time per frame as well
    bool fastScene = false;  // simulated cameras draw their scene the fast way
};

// Streams until the frames or seconds are done or SIGINT comes; exit status 0 when they were
// done or the stream was interrupted, 1 when the camera failed or fell silent.
int Stream(int camera, int simulatedCamera, const StreamOptions& options);

}  // namespace velcor::tool
