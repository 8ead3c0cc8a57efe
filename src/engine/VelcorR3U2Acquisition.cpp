// Frame acquisition of the engine: the transfer thread, the ring of finished frames and the
// frame copy. Streaming joins with the acquisition thread; until then a transfer cannot start.
#include "engine/VelcorR3U2Base.h"

namespace velcor {

int CVelcorR3U2Base::StartTransfer(int) {
    return 0;
}

int CVelcorR3U2Base::StopTransfer() {
    running_ = 0;
    thread_.Join();
    return 1;
}

int CVelcorR3U2Base::CopyFrame(uint8_t*, int, int, int) {
    return 0;
}
int CVelcorR3U2Base::SetTransferMode(int mode) {
    transferMode_ = mode;
    return 1;
}
int CVelcorR3U2Base::ResetTransfer() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoop() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoop83() {
    return 0;
}
int CVelcorR3U2Base::AcquisitionLoopMemory() {
    return 0;
}
int CVelcorR3U2Base::ConfigureFrameBuffers() {
    return 0;
}
int CVelcorR3U2Base::SnapFrame() {
    return 0;
}
int CVelcorR3U2Base::SetBitDepthMode(int mode) {
    bitDepthMode_ = mode;
    return 0;
}
int CVelcorR3U2Base::SetTriggerMode(int, int) {
    return 0;
}

}  // namespace velcor
