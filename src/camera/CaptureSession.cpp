// The capture session: preview, capture mode, snapshots, callback preview and trigger mode,
// the worker thread's loops, the conversion with automatic exposure and the frame messages.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>

#include "camera/CaptureSession.h"
#include "imaging/FrameConverter.h"
#include "imaging/ImageFileWriter.h"
#include "imaging/PixelRoutines.h"
#include "platform/Clock.h"
#include "platform/MessageWindows.h"

namespace velcor {
namespace {

constexpr UINT kFrameMessage = VELCOR_WM_FRAME;
constexpr uint32_t kPreviewFrameWaitMs = 3000;
constexpr uint32_t kTriggerFrameWaitMs = 60000;
constexpr uint32_t kTriggerFrameTimeoutMs = 6000;

}  // namespace

CaptureSession::CaptureSession(CVelcorR3U2Base& engine, SettingsModel& settings,
                               ErrorReporter& errors, PixelMaskStore& mask)
    : engine_(engine), settings_(settings), errors_(errors), mask_(mask) {}

CaptureSession::~CaptureSession() {
    Stop();
}

FrameImages CaptureSession::ConversionImages() {
    FrameImages images;
    images.raw8 = &images_[kImage8];
    images.raw16 = &images_[kImage16];
    images.image24 = &images_[kImage24];
    images.image32 = &images_[kImage32];
    images.image48 = &images_[kImage48];
    images.image64 = &images_[kImage64];
    images.work = &images_[kImageWork];
    return images;
}

DibImage* CaptureSession::RawImage() {
    return FrameConverter::RawImage(ConversionImages(), kColourModeBits[activeColourIndex_]);
}

DibImage* CaptureSession::OutputImage() {
    return FrameConverter::OutputImage(ConversionImages(), kColourModeBits[activeColourIndex_]);
}

// ---- Preparing capture -----------------------------------------------------------------------

bool CaptureSession::PrepareCapture(const CaptureSetup& setup) {
    CVelcorR3U2Base& e = engine_;
    const CaptureGeometry& geometry = setup.geometry;
    if (!e.IsDevicePresent(e.GetDeviceNumber())) {
        errors_.Record(kErrNotPresent);
        return false;
    }
    if (!geometry.Fits(setup.subSample)) {
        errors_.Record(kErrWindowRange);
        return false;
    }
    const Settings settings = settings_.Copy();
    const int colourIndex = settings.colourModeIndex;
    const int bits = kColourModeBits[colourIndex];
    const int w = geometry.width;
    const int h = geometry.height;
    {
        // GetImage and the mask update read the images under the frame lock.
        platform::CriticalSectionLock lock(frameLock_);
        // The images are made afresh, all zeros: they hold no frame until this capture
        // converts one, and a frame still held belongs to the capture before.
        imageValid_ = false;
        rawHeld_ = false;
        bool ok = true;
        if (bits == 8 || bits == 16 || bits == 24 || bits == 32)
            ok = ok && images_[kImage8].Create(w, h, 8);
        if (RawIsSixteenBits(bits)) ok = ok && images_[kImage16].Create(w, h, 16);
        if (bits != 16) ok = ok && images_[kImage24].Create(w, h, 24);
        if (bits == 32 || bits == 48 || bits == 64) {
            ok = ok && images_[colourIndex].Create(w, h, bits);
        }
        ok = ok && images_[kImageWork].Create(w, h, bits);
        if (!ok) {
            errors_.Record(kErrMemory);
            return false;
        }
        activeColourIndex_ = colourIndex;
        activeGeometry_ = geometry;
        if (previewWindow_) previewWindow_->PrepareDisplayImage(bits);
    }
    e.SetBitDepthMode(RawIsSixteenBits(bits) ? 1 : 0);
    if (!e.ApplyWindow(geometry.xStart, geometry.yStart, w, h, setup.subSample)) {
        errors_.Record(kErrWindowRange);
        return false;
    }

    // The camera may have been re-plugged or reset: give it the object's analog values again.
    platform::CriticalSectionLock lock(settings_.Lock());
    AnalogValues& analog = settings_.Values().analog;
    e.SetMirrorV(analog.mirrorV);
    e.SetMirrorH(analog.mirrorH);
    e.SetTriggerMode(0, 1);
    ApplyGainsAndExposure(e, analog);
    analog.realExposure = analog.exposure * 100;
    if (e.IsAuxSwitchSupported()) e.SetAuxSwitch(nullptr);
    if (e.IsGainModeSupported()) {
        e.SetGainMode(0);
        e.SetGainMode(analog.gainMode);
    }
    if (e.IsBlackLevelSupported()) e.SetBlackLevel(analog.blackLevel);
    e.OnCapture();
    return true;
}

bool CaptureSession::OpenPlacedPreviewWindow(const CaptureSetup& setup) {
    if (!setup.previewPlaced) return true;
    std::unique_ptr<PreviewWindow> opened = PreviewWindow::Open(
        this, setup.placement, setup.geometry.width, setup.geometry.height, setup.subSample);
    if (!opened) {
        errors_.Record(kErrWindow);
        return false;
    }
    // A window of an earlier start goes once the worker can no longer draw into it.
    std::unique_ptr<PreviewWindow> earlier;
    platform::CriticalSectionLock lock(frameLock_);
    earlier = std::exchange(previewWindow_, std::move(opened));
    return true;
}

void CaptureSession::DrawPreview() {
    if (previewWindow_) {
        FillRawFromHeldFrame();
        previewWindow_->Draw(kColourModeBits[activeColourIndex_], ConversionImages());
    }
}

// ---- Starting and stopping -------------------------------------------------------------------

int CaptureSession::StartPreview(const CaptureSetup& setup) {
    if (state_ == kPreviewRunning) return 1;
    if (state_ != kIdle) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    return StartPreviewWorker(setup);
}

int CaptureSession::StartPreviewWorker(const CaptureSetup& setup) {
    if (!PrepareCapture(setup)) return 0;
    if (!engine_.StartTransfer(0)) {
        Stop();
        errors_.Record(kErrDevice);
        return 0;
    }
    {
        // The rate is measured over this preview's frames from its start on: 0 until its first
        // second has passed.
        platform::CriticalSectionLock lock(frameLock_);
        frameRateTenths_ = 0;
        frameCounter_ = 0;
        rateWindowStartMs_ = platform::TimeGetTime();
    }
    state_ = kPreviewRunning;
    if (!StartWorker()) {
        Stop();
        errors_.Record(kErrThread);
        return 0;
    }
    return 1;
}

bool CaptureSession::StartWorker() {
    runFlag_ = 1;
    workerFinished_ = std::make_unique<platform::Event>(platform::Event::Reset::Manual);
    return worker_.Start([this] { WorkerMain(); }, platform::ThreadPriority::Normal,
                         "velcor-worker");
}

void CaptureSession::Stop() {
    runFlag_ = 0;
    // The worker ends before the transfer stops: in trigger mode it restarts the transfer
    // itself, so the two must not work on the engine at once. It may be waiting for a frame
    // that will not come; wake it until it has seen the flag.
    if (workerFinished_) {
        while (!workerFinished_->Wait(20)) {
            engine_.WakeFrameWaiters();
        }
    }
    worker_.Join();
    workerFinished_.reset();
    {
        // The images keep the last frame after the capture; the engine's ring may be
        // reconfigured by the next start.
        platform::CriticalSectionLock lock(frameLock_);
        FillRawFromHeldFrame();
    }
    if (state_ != kIdle) {
        state_ = kIdle;
        engine_.StopTransfer();
    }
    StopRecorder();
}

void CaptureSession::StopRecorder() {
    recording_ = 0;
    // The recorder looks at the flag every 10 ms and then finishes its file.
    if (recorderFinished_) recorderFinished_->Wait();
    recorder_.Join();
    recorderFinished_.reset();
}

void CaptureSession::SetFrameTarget(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst) {
    platform::CriticalSectionLock lock(frameLock_);
    frameWindow_ = frameWindow;
    appBuffer_ = buffer;
    appBufferSize_ = size;
    appTopRowFirst_ = topRowFirst;
}

int CaptureSession::PauseForDialog() {
    const int paused = state_;
    if (paused == kTriggerMode) {
        runFlag_ = 2;
    } else if (paused != kIdle) {
        Stop();
    }
    return paused;
}

void CaptureSession::ResumeAfterDialog(int paused, const CaptureSetup& setup) {
    if (paused == kTriggerMode) {
        // A worker that ended meanwhile (camera gone) stays ended.
        int expected = 2;
        runFlag_.compare_exchange_strong(expected, 1);
    } else if (paused == kPreviewRunning) {
        StartPreview(setup);
    } else if (paused == kCaptureMode) {
        Capture(setup);
    }
}

int CaptureSession::Preview(const CaptureSetup& setup) {
    SetFrameTarget(nullptr, nullptr, 0, 0);
    if (!OpenPlacedPreviewWindow(setup)) return 0;
    if (StartPreview(setup)) return 1;
    Close();
    errors_.Record(kErrAcquisition);
    return 0;
}

int CaptureSession::CallBackPreview(const CaptureSetup& setup, HWND frameWindow, uint8_t* buffer,
                                    int size, int topRowFirst) {
    SetFrameTarget(frameWindow, buffer, size, topRowFirst);
    if (!OpenPlacedPreviewWindow(setup)) return 0;
    if (StartPreview(setup)) return 1;
    Close();
    errors_.Record(kErrAcquisition);
    return 0;
}

int CaptureSession::Close() {
    {
        std::unique_ptr<PreviewWindow> closing;
        platform::CriticalSectionLock lock(frameLock_);
        closing = std::move(previewWindow_);
    }
    Stop();
    {
        platform::CriticalSectionLock lock(frameLock_);
        imageValid_ = false;
    }
    engine_.StopTransfer();
    return 1;
}

int CaptureSession::Capture(const CaptureSetup& setup) {
    if (state_ == kCaptureMode) return 1;
    if (state_ != kIdle) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    if (!PrepareCapture(setup)) return 0;
    state_ = kCaptureMode;
    return 1;
}

int CaptureSession::Trigger(const CaptureSetup& setup, HWND frameWindow, uint8_t* buffer, int size,
                            int topRowFirst) {
    // Trigger mode already runs: one worker is enough.
    if (state_ == kTriggerMode) return 1;
    if (state_ != kIdle) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    SetFrameTarget(frameWindow, buffer, size, topRowFirst);
    if (!OpenPlacedPreviewWindow(setup)) return 0;
    if (!PrepareCapture(setup)) {
        Close();
        return 0;
    }
    state_ = kTriggerMode;
    frameWaitTimeoutMs_ = kTriggerFrameTimeoutMs;
    engine_.SetFrameTimeout(kTriggerFrameTimeoutMs);
    engine_.SetTriggerMode(1, 0);
    if (!StartWorker()) {
        Close();
        errors_.Record(kErrThread);
        return 0;
    }
    return 1;
}

// ---- Single frames ---------------------------------------------------------------------------

int CaptureSession::SnapShot(const CaptureSetup& setup, uint8_t* buffer, int size,
                             int topRowFirst) {
    if (state_ == kPreviewRunning || state_ == kTriggerMode) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    const bool captureMode = state_ == kCaptureMode;
    if (!captureMode && !PrepareCapture(setup)) return 0;
    platform::CriticalSectionLock lock(frameLock_);
    auto stopUnlessCaptureMode = [&] {
        if (!captureMode) engine_.StopTransfer();
    };
    if (!engine_.StartTransfer(1) || WaitSnapshotFrame() != kWaitFrameNew) {
        stopUnlessCaptureMode();
        errors_.Record(kErrAcquisition);
        return 0;
    }
    if (!ReadRawFrame()) {
        PostFrameMessage(0, kErrAcquisition);
        stopUnlessCaptureMode();
        errors_.Record(kErrAcquisition);
        return 0;
    }
    ConvertFrame(settings_.Copy());
    // The frame is in the images even when the application's buffer turns out too small.
    imageValid_ = true;
    if (buffer != nullptr && size != 0 &&
        !CopyToApplication(*OutputImage(), buffer, size, topRowFirst)) {
        stopUnlessCaptureMode();
        return 0;
    }
    stopUnlessCaptureMode();
    return 1;
}

void CaptureSession::InterruptWaits() {
    interruptions_.fetch_add(1);
    engine_.WakeFrameWaiters();
}

int CaptureSession::WaitSnapshotFrame() {
    // The engine's wait also ends when the transfer stops or a waiter is woken; the snapshot
    // waits out its whole time unless InterruptWaits asked it to give up.
    const uint64_t interruptions = interruptions_.load();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(frameWaitTimeoutMs_.load());
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const int wait = engine_.WaitFrame(static_cast<uint32_t>(std::max<int64_t>(left, 0)));
        if (wait != kWaitFrameNothingNew || left <= 0 || interruptions_.load() != interruptions) {
            return wait;
        }
    }
}

const DibImage* CaptureSession::ImageToRead() {
    FillRawFromHeldFrame();
    if (state_ != kIdle) return OutputImage();
    const int colourIndex = settings_.Copy().colourModeIndex;
    return &images_[colourIndex];
}

int CaptureSession::GetImage(uint8_t* buffer, int size, int topRowFirst) {
    platform::CriticalSectionLock lock(frameLock_);
    // Before a frame is converted the images hold zeros, which are no picture of the camera's.
    const DibImage* output = imageValid_ ? ImageToRead() : nullptr;
    if (output == nullptr) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    if (output->Pixels() == nullptr || buffer == nullptr) {
        errors_.Record(kErrMemory);
        return 0;
    }
    return CopyToApplication(*output, buffer, size, topRowFirst) ? 1 : 0;
}

int CaptureSession::SaveImage(const char* path, int format) {
    platform::CriticalSectionLock lock(frameLock_);
    const DibImage* output = imageValid_ ? ImageToRead() : nullptr;
    if (output == nullptr || output->Empty()) {
        errors_.Record(kErrNoCamera);
        return 0;
    }
    return SaveImageFile(path, *output, format);
}

// ---- Recording -------------------------------------------------------------------------------

int CaptureSession::Record(const CaptureSetup& setup, const char* path, int durationMs,
                           bool showWindow) {
    if (path == nullptr || path[0] == '\0') {
        errors_.Record(kErrArgument);
        return 0;
    }
    if (recording_ != 0) {
        // One file at a time: the running recording keeps its file and goes on.
        errors_.Record(kErrConversion);
        return 0;
    }
    // A recording that ended by itself leaves its thread to join.
    StopRecorder();
    // A preview that runs already is recorded as it runs: a callback preview keeps its frame
    // messages and buffer.
    if (state_ != kPreviewRunning) SetFrameTarget(nullptr, nullptr, 0, 0);
    if (showWindow && !OpenPlacedPreviewWindow(setup)) return 0;
    if (!StartPreview(setup)) {
        Close();
        errors_.Record(kErrConversion);
        return 0;
    }
    const uint32_t duration = static_cast<uint32_t>(std::max(durationMs, 0));
    bool opened = false;
    {
        platform::CriticalSectionLock lock(frameLock_);
        const DibImage* output = OutputImage();
        // The recorder takes at most one frame per 10 ms look, and one more after the end.
        const size_t expectedFrames = static_cast<size_t>(duration) / 10 + 2;
        opened =
            output != nullptr && avi_.Open(path, output->Width(), output->Height(),
                                           kColourModeBits[activeColourIndex_], expectedFrames);
    }
    if (!opened) {
        Close();
        errors_.Record(kErrConversion);
        return 0;
    }
    recordDurationMs_ = duration;
    newFrame_ = false;
    recording_ = 1;
    recorderFinished_ = std::make_unique<platform::Event>(platform::Event::Reset::Manual);
    if (!recorder_.Start([this] { RecorderMain(); }, platform::ThreadPriority::Normal,
                         "velcor-recorder")) {
        recording_ = 0;
        recorderFinished_.reset();
        {
            // The file has its headers but no frames; it is left a valid, empty film.
            platform::CriticalSectionLock lock(frameLock_);
            avi_.Finish(0);
        }
        Close();
        errors_.Record(kErrThread);
        return 0;
    }
    return 1;
}

const uint8_t* CaptureSession::PrepareVideoFrame(DibImage& first24, DibImage& second24,
                                                 DibImage& gray8) {
    FillRawFromHeldFrame();
    DibImage* output = OutputImage();
    if (output == nullptr || output->Width() != first24.Width() ||
        output->Height() != first24.Height()) {
        return nullptr;
    }
    // The routines turn the picture's top-row-first memory into the film's bottom-up rows.
    switch (output->Bits()) {
        case 8:
            // The blit replicates the gray value into blue, green and red.
            if (!DibImage::Blit(first24, *output, 0, 0) ||
                !RectangleOperation(&second24, routines::ColourCopyFlipped, &first24, nullptr, 0,
                                    0)) {
                return nullptr;
            }
            return second24.Pixels();
        case 16:
            if (!RectangleOperation(&gray8, routines::Gray10BitFlipped, output, nullptr, 0, 0) ||
                !DibImage::Blit(first24, gray8, 0, 0)) {
                return nullptr;
            }
            return first24.Pixels();
        case 24:
        case 32:
            return RectangleOperation(&first24, routines::ColourCopyFlipped, output, nullptr, 0, 0)
                       ? first24.Pixels()
                       : nullptr;
        case 48:
        case 64:
            return RectangleOperation(&first24, routines::ColourHighByteFlipped, output, nullptr, 0,
                                      0)
                       ? first24.Pixels()
                       : nullptr;
        default:
            return nullptr;
    }
}

void CaptureSession::RecorderMain() {
    // Scratch images of the recording's frame size.
    DibImage first24, second24, gray8;
    int error = 0;
    {
        platform::CriticalSectionLock lock(frameLock_);
        const DibImage* output = OutputImage();
        const int w = output != nullptr ? output->Width() : 0;
        const int h = output != nullptr ? output->Height() : 0;
        if (!first24.Create(w, h, 24) || !second24.Create(w, h, 24) || !gray8.Create(w, h, 8))
            error = kErrMemory;
    }
    const uint32_t duration = recordDurationMs_;
    uint32_t start = 0;
    uint32_t last = 0;
    int64_t frames = 0;
    while (error == 0 && recording_ != 0) {
        platform::Sleep(10);
        if (!newFrame_.exchange(false)) {
            // The worker has ended: the camera stopped delivering (the worker reported it) or
            // the preview is stopping. No frame will come.
            if (runFlag_ == 0) break;
            continue;
        }
        const uint32_t now = platform::TimeGetTime();
        if (frames == 0) start = now;
        AviWriter::AddResult added = AviWriter::AddResult::kWriteFailed;
        {
            platform::CriticalSectionLock lock(frameLock_);
            const uint8_t* pixels = PrepareVideoFrame(first24, second24, gray8);
            if (pixels != nullptr) added = avi_.AddFrame(pixels);
        }
        if (added != AviWriter::AddResult::kAdded) {
            // A full disk, a film as long as AVI sizes carry, or images that do not fit.
            error = kErrConversion;
            break;
        }
        ++frames;
        last = now;
        // Passed, not reached: a duration of 0 ends with the first frame of a later
        // millisecond, so the film has a frame time.
        if (now - start > duration) break;
    }
    // Whatever ended the recording, the file is finished with the frames it holds.
    const uint32_t elapsed = last - start;
    const int rate =
        elapsed > 0 ? static_cast<int>(std::min<int64_t>(frames * 100000 / elapsed, INT32_MAX)) : 0;
    {
        platform::CriticalSectionLock lock(frameLock_);
        if (!avi_.Finish(rate) && error == 0) error = kErrConversion;
    }
    recording_ = 0;
    if (error != 0) errors_.Record(error);
    recorderFinished_->Set();
}

// ---- Frames ----------------------------------------------------------------------------------

bool CaptureSession::ReadRawFrame(bool inOrder) {
    rawHeld_ = false;
    DibImage* raw = RawImage();
    if (raw == nullptr || raw->Pixels() == nullptr) return false;
    const int size = static_cast<int>(raw->ByteSize());
    const int read = inOrder ? engine_.ReadNextFrame(raw->Pixels(), size, 1)
                             : engine_.ReadFrame(raw->Pixels(), size, 1);
    if (read != 0) return false;
    // The engine copies rows packed; they belong at the image's stride.
    SpreadPackedRows(*raw);
    return true;
}

bool CaptureSession::TakeNextFrame() {
    rawHeld_ = false;
    DibImage* raw = RawImage();
    if (raw == nullptr || raw->Pixels() == nullptr || !engine_.CanHoldFrames() ||
        raw->ByteSize() < static_cast<size_t>(engine_.FrameBytes())) {
        return ReadRawFrame(true);
    }
    if (engine_.HoldNextFrame(heldRaw_) != 0) return false;
    rawHeld_ = true;
    return true;
}

void CaptureSession::FillRawFromHeldFrame() {
    if (!rawHeld_) return;
    rawHeld_ = false;
    DibImage* raw = RawImage();
    if (raw == nullptr || raw->Pixels() == nullptr) return;
    // As the engine's copy: rows packed in the picture's order, then out to the stride.
    const HeldFrame& held = heldRaw_;
    const size_t rowBytes =
        static_cast<size_t>(held.width) * static_cast<size_t>(held.bytesPerPixel);
    if (rowBytes * static_cast<size_t>(held.height) > raw->ByteSize()) return;
    if (held.rowStep == static_cast<ptrdiff_t>(rowBytes)) {
        std::memcpy(raw->Pixels(), held.topRow, rowBytes * static_cast<size_t>(held.height));
    } else {
        for (int row = 0; row < held.height; ++row) {
            std::memcpy(raw->Pixels() + rowBytes * static_cast<size_t>(row),
                        held.topRow + held.rowStep * row, rowBytes);
        }
    }
    SpreadPackedRows(*raw);
}

bool CaptureSession::HeldFrameIsOutput(const Settings& settings) {
    const int mode = kColourModeBits[activeColourIndex_];
    const DibImage* raw = RawImage();
    const FilterValues& f = settings.filters;
    if (!rawHeld_ || (mode != 8 && mode != 16) || raw == nullptr) return false;
    if (heldRaw_.width != raw->Width() || heldRaw_.height != raw->Height() ||
        heldRaw_.bytesPerPixel != raw->BytesPerPixel() ||
        static_cast<size_t>(raw->Stride()) !=
            static_cast<size_t>(heldRaw_.width) * static_cast<size_t>(heldRaw_.bytesPerPixel)) {
        return false;
    }
    // Every step of the conversion that writes pixels of modes 8 and 16, with its condition.
    if (f.maskFilter || f.dotFilter || f.grayMode == 1 || (f.grayMode == 2 && mode == 8)) {
        return false;
    }
    if ((settings.analog.mirrorH != 0 && engine_.HasMirrorHHardware() == 0) ||
        (settings.analog.mirrorV != 0 && engine_.HasMirrorVHardware() == 0)) {
        return false;
    }
    return f.gamma == 100 && f.contrast == 0 && f.sharpness == 0 && f.brightness == 0;
}

bool CaptureSession::DeliverHeldFrame(const Settings& settings) {
    const int autoExposureMode = settings.analog.autoExposureMode;
    if (autoExposureMode != 0) {
        AutoExposure(heldRaw_, autoExposureMode);
        ShowAutoExposure(autoExposureMode);
    }
    if (appBuffer_ == nullptr || appBufferSize_ == 0) return true;
    const DibImage& raw = *RawImage();
    return CopyRowsToApplication(heldRaw_.topRow, heldRaw_.rowStep,
                                 static_cast<size_t>(raw.Stride()), raw.Height(), appBuffer_,
                                 appBufferSize_, appTopRowFirst_);
}

void CaptureSession::FillFrameInfo(const DibImage& raw, int frameRate) {
    frameInfo_.reserved = 0;
    frameInfo_.width = raw.Width();
    frameInfo_.height = raw.Height();
    frameInfo_.bitsPerPixel = kColourModeBits[activeColourIndex_];
    frameInfo_.frameRate = frameRate;
    frameInfo_.image = appBuffer_;
}

void CaptureSession::PostFrameMessage(WPARAM wParam, LPARAM lParam) {
    if (frameWindow_ != nullptr) platform::PostMessage(frameWindow_, kFrameMessage, wParam, lParam);
}

bool CaptureSession::CopyToApplication(const DibImage& image, uint8_t* buffer, int size,
                                       int topRowFirst) {
    const size_t stride = static_cast<size_t>(image.Stride());
    return CopyRowsToApplication(image.Pixels(), static_cast<ptrdiff_t>(stride), stride,
                                 image.Height(), buffer, size, topRowFirst);
}

bool CaptureSession::CopyRowsToApplication(const uint8_t* topRow, ptrdiff_t rowStep, size_t stride,
                                           int rows, uint8_t* buffer, int size, int topRowFirst) {
    if (size < 0 || static_cast<size_t>(size) < stride * static_cast<size_t>(rows)) {
        PostFrameMessage(0, kErrMemory);
        errors_.Record(kErrMemory);
        return false;
    }
    if (topRowFirst != 0 && rowStep == static_cast<ptrdiff_t>(stride)) {
        std::memcpy(buffer, topRow, stride * static_cast<size_t>(rows));
        return true;
    }
    for (int row = 0; row < rows; ++row) {
        const int to = topRowFirst != 0 ? row : rows - 1 - row;
        std::memcpy(buffer + stride * static_cast<size_t>(to), topRow + rowStep * row, stride);
    }
    return true;
}

// ---- Worker thread ---------------------------------------------------------------------------

void CaptureSession::WorkerMain() {
    if (state_ == kTriggerMode) {
        TriggerLoop();
    } else {
        PreviewLoop();
    }
    workerFinished_->Set();
}

void CaptureSession::ReportCameraStopped() {
    runFlag_ = 0;
    {
        platform::CriticalSectionLock lock(frameLock_);
        PostFrameMessage(0, kErrStopped);
    }
    errors_.Record(kErrStopped);
}

bool CaptureSession::CopyToFrameTarget() {
    return appBuffer_ == nullptr || appBufferSize_ == 0 ||
           CopyToApplication(*OutputImage(), appBuffer_, appBufferSize_, appTopRowFirst_);
}

// A pause of the worker that ends early when the session stops, so stopping, closing and
// releasing never wait it out: the application's pause between preview frames may be anything,
// and trigger mode starts with a wait as long as the exposure.
void CaptureSession::PauseWhileRunning(uint32_t milliseconds) {
    constexpr uint32_t kSliceMs = 10;
    if (milliseconds <= kSliceMs) {
        platform::Sleep(milliseconds);
        return;
    }
    const uint32_t start = platform::TimeGetTime();
    for (uint32_t elapsed = 0; elapsed < milliseconds && runFlag_ != 0;
         elapsed = platform::TimeGetTime() - start) {
        platform::Sleep(std::min(kSliceMs, milliseconds - elapsed));
    }
}

void CaptureSession::PreviewLoop() {
    while (runFlag_ != 0) {
        int waitTimeMs = 0;
        {
            platform::CriticalSectionLock lock(settings_.Lock());
            waitTimeMs = settings_.Values().waitTimeMs;
        }
        PauseWhileRunning(static_cast<uint32_t>(waitTimeMs));
        if (runFlag_ != 1) continue;
        const int wait = engine_.WaitFrame(kPreviewFrameWaitMs);
        if (wait == kWaitFrameLost) {
            ReportCameraStopped();
            break;
        }
        if (wait != kWaitFrameNew) continue;

        // One consistent copy of the settings for the whole frame.
        const Settings settings = settings_.Copy();
        platform::CriticalSectionLock lock(frameLock_);
        if (!TakeNextFrame()) {
            PostFrameMessage(0, kErrAcquisition);
            errors_.Record(kErrAcquisition);
            continue;
        }
        ++frameCounter_;
        const uint32_t now = platform::TimeGetTime();
        const uint32_t elapsed = now - rateWindowStartMs_;
        if (elapsed > 1000) {
            frameRateTenths_ =
                static_cast<int>(static_cast<uint64_t>(frameCounter_) * 10000 / elapsed);
            frameCounter_ = 0;
            rateWindowStartMs_ = now;
        }
        FillFrameInfo(*RawImage(), frameRateTenths_);
        // Gray frames that no step of the conversion changes go from the ring straight to the
        // application; the raw image is filled from the ring only when something asks for it.
        const bool asIs = HeldFrameIsOutput(settings);
        if (!asIs) {
            FillRawFromHeldFrame();
            ConvertFrame(settings);
        }
        newFrame_ = true;
        imageValid_ = true;
        DrawPreview();
        if (!(asIs ? DeliverHeldFrame(settings) : CopyToFrameTarget())) continue;
        if (runFlag_ == 1) PostFrameMessage(reinterpret_cast<WPARAM>(&frameInfo_), 0);
    }
}

void CaptureSession::TriggerLoop() {
    // Let the exposure running at the switch end before the counter is taken as the baseline.
    PauseWhileRunning(static_cast<uint32_t>(engine_.GetExposure()) / 10 + 100);
    engine_.LatchFrameCounter();
    while (runFlag_ != 0) {
        if (runFlag_ != 1) {
            platform::Sleep(10);
            continue;
        }
        if (!engine_.StartTransfer(2)) {
            ReportCameraStopped();
            break;
        }
        const int wait = engine_.WaitFrame(kTriggerFrameWaitMs);
        if (runFlag_ == 0) break;
        // A camera that is gone (or whose transfers keep failing) ends trigger mode as it
        // ends callback preview, instead of leaving the application waiting for frames.
        if (wait == kWaitFrameLost) {
            ReportCameraStopped();
            break;
        }
        if (wait != kWaitFrameNew) continue;

        const Settings settings = settings_.Copy();
        platform::CriticalSectionLock lock(frameLock_);
        if (!ReadRawFrame()) continue;
        FillFrameInfo(*RawImage(), 0);
        ConvertFrame(settings);
        imageValid_ = true;
        if (!CopyToFrameTarget()) continue;
        PostFrameMessage(reinterpret_cast<WPARAM>(&frameInfo_), 0);
        DrawPreview();
    }
}

// ---- Conversion and automatic exposure -------------------------------------------------------

// The steps of the conversion that need the session: automatic exposure works on the engine
// and the settings model.
class CaptureSession::ConversionHooks : public FrameConversionHooks {
  public:
    explicit ConversionHooks(CaptureSession& session) : session_(session) {}
    void AutoExposure(const DibImage& raw, const ConversionParams& params) override {
        const HeldFrame frame{raw.Pixels(), raw.Stride(), raw.Width(), raw.Height(),
                              raw.BytesPerPixel()};
        session_.AutoExposure(frame, params.autoExposureMode);
        session_.ShowAutoExposure(params.autoExposureMode);
    }
    // Called by the conversion under the frame lock, which the session holds around it.
    VELCOR_NO_THREAD_SAFETY_ANALYSIS void CorrectDefects(DibImage& raw, bool mask,
                                                         bool dot) override {
        session_.CorrectDefects(raw, mask, dot);
    }

  private:
    CaptureSession& session_;
};

void CaptureSession::ConvertFrame(const Settings& settings) {
    ConversionParams p;
    const FilterValues& f = settings.filters;
    p.colourMode = kColourModeBits[activeColourIndex_];
    p.filters = f;
    p.mirrorH = settings.analog.mirrorH != 0;
    p.mirrorV = settings.analog.mirrorV != 0;
    p.mirrorHInHardware = engine_.HasMirrorHHardware() != 0;
    p.mirrorVInHardware = engine_.HasMirrorVHardware() != 0;
    p.autoExposureMode = settings.analog.autoExposureMode;

    ConversionHooks hooks(*this);
    FrameConverter::Convert(ConversionImages(), p, &hooks);

    // The automatic balances leave their gains for the next frames and for the settings.
    settings_.KeepBalances(f, p.filters);
}

void CaptureSession::CorrectDefects(DibImage& raw, bool mask, bool dot) {
    const int xStart = activeGeometry_.xStart;
    const int yStart = activeGeometry_.yStart;
    platform::CriticalSectionLock lock(mask_.Lock());
    PixelMask& pixelMask = mask_.Mask();
    if (mask) pixelMask.CorrectFlatField(raw, xStart, yStart);
    if (dot) pixelMask.CorrectDots(raw, xStart, yStart);
}

void CaptureSession::ShowAutoExposure(int mode) {
    if (mode == 0 || !analogDialog_.IsOpen()) return;
    AnalogValues analog;
    {
        platform::CriticalSectionLock lock(settings_.Lock());
        analog = settings_.Values().analog;
    }
    // Outside the settings lock: the dialog takes its own lock, and holds it while it sets.
    if (mode == 2) analogDialog_.ShowAutoGain(analog.globalGain);
    if (mode == 1) analogDialog_.ShowAutoExposure(analog.exposure, analog.exposureSeconds);
}

void CaptureSession::AutoExposure(const HeldFrame& raw, int mode) {
    if (mode == 0 || raw.topRow == nullptr) return;
    const int w = raw.width;
    const int h = raw.height;
    struct Box {
        double left, top, right, bottom;
    };
    static constexpr Box kBoxes[5] = {{0.1, 0.1, 0.2, 0.2},
                                      {0.1, 0.8, 0.2, 0.9},
                                      {0.45, 0.45, 0.55, 0.55},
                                      {0.8, 0.1, 0.9, 0.2},
                                      {0.8, 0.8, 0.9, 0.9}};
    // The factor in hundredths: summing 0.85 and four -0.15 in binary fractions falls short of
    // 0.25 and would truncate a gain of 40 to 9 instead of 10.
    int factor = 0;
    for (int i = 0; i < 5; ++i) {
        const Box& b = kBoxes[i];
        const int x0 = static_cast<int>(b.left * w), x1 = static_cast<int>(b.right * w);
        const int y0 = static_cast<int>(b.top * h), y1 = static_cast<int>(b.bottom * h);
        uint64_t sum = 0;
        uint64_t count = 0;
        for (int y = y0; y < y1; ++y) {
            const uint8_t* row = raw.topRow + raw.rowStep * y;
            for (int x = x0; x < x1; ++x) {
                if (raw.bytesPerPixel == 2) {
                    uint16_t sample;
                    std::memcpy(&sample, row + 2 * x, 2);
                    sum += (sample >> 2) & 0xFF;
                } else {
                    sum += row[x];
                }
                ++count;
            }
        }
        const uint64_t mean = count != 0 ? sum / count : 0;
        if (i == 0) {
            factor = mean >= 201 ? 85 : mean >= 161 ? 90 : mean >= 100 ? 100 : 105;
        } else {
            factor += mean >= 201 ? -15 : mean >= 161 ? -10 : mean >= 100 ? 0 : 5;
        }
    }
    if (factor > 60 && factor < 120) return;

    // The engine and the settings change together, so a setter on another thread sees either
    // the value before or the one after, in both.
    CVelcorR3U2Base& e = engine_;
    platform::CriticalSectionLock lock(settings_.Lock());
    AnalogValues& analog = settings_.Values().analog;
    if (mode == 2) {
        int gain =
            static_cast<int>(static_cast<int64_t>(std::max(e.GetGlobalGain(), 4)) * factor / 100);
        if (factor > 100) gain = std::max(gain, 4);
        gain = std::clamp(gain, e.GetGlobalGainMin(),
                          std::max(e.GetGlobalGainMin(), e.GetGlobalGainMax()));
        e.SetGlobalGain(gain);
        analog.globalGain = analog.colourGainGreen1 = analog.colourGainRed = analog.colourGainBlue =
            analog.colourGainGreen2 = gain;
    } else if (mode == 1) {
        // The exposure is clamped to the camera's range; keeping only its low 16 bits would
        // turn a long exposure into a short one.
        const int64_t wanted = static_cast<int64_t>(e.GetExposure()) * factor / 100;
        const int minimum = e.GetExposureMin();
        const int maximum = std::max(minimum, e.GetExposureMax());
        int exposure = wanted >= maximum ? maximum : static_cast<int>(wanted);
        if (exposure == 0) exposure = 1;
        exposure = std::clamp(exposure, minimum, maximum);
        if (e.SetExposure(static_cast<uint32_t>(exposure))) {
            analog.exposure = exposure;
            double seconds = 0.0;
            if (e.IsExposureSecondsSupported() && e.GetExposureSeconds(&seconds)) {
                analog.exposureSeconds = seconds;
            }
        }
    }
}

}  // namespace velcor
