// The capture session of a camera object: the capture state, the worker thread that delivers
// frames, snapshots, the images frames pass through, the frame record that the frame messages
// carry, and the conversion of each frame with automatic exposure. The camera object keeps the
// operations as its public face and forwards its capture operations here, handing over the
// window to read at each start.
//
// States: idle -> preview running (worker), capture mode (no thread, frames by snapshot) or
// trigger mode (worker); every stop returns to idle with the worker joined. A recording runs
// a recorder thread beside the preview's worker; every stop ends it with its file finished. A
// capture keeps the colour mode and window it started with; changes apply at the next start.
//
// Threads: the camera object calls the operations on application threads under its call lock,
// one at a time; InterruptWaits and Idle need no lock. The worker thread never takes the call
// lock: it shares the settings model (copied once per frame) and, under the frame lock, the
// frame images and the frame record. Locks are taken in the order call lock, frame lock, mask
// lock, settings lock, then the engine's own; the error reporter's lock comes last of all.
#pragma once

#include <velcor/VelcorSdk.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "camera/CaptureGeometry.h"
#include "camera/ErrorReporter.h"
#include "camera/PixelMaskStore.h"
#include "camera/PreviewWindow.h"
#include "camera/SettingsModel.h"
#include "dialogs/AnalogDialogSlot.h"
#include "engine/VelcorR3U2Base.h"
#include "imaging/AviWriter.h"
#include "imaging/DibImage.h"
#include "imaging/FrameConverter.h"
#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/ThreadAnnotations.h"

namespace velcor {

// Frame information record posted with 0x8002: 32 bytes with its 8-byte image pointer; a 32-bit
// build has the same offsets and ends after the 4-byte pointer.
static_assert(sizeof(VELCORFRAMEINFO) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(offsetof(VELCORFRAMEINFO, bitsPerPixel) == 12);
static_assert(offsetof(VELCORFRAMEINFO, frameRate) == 16);
static_assert(offsetof(VELCORFRAMEINFO, image) == 24);

// What the camera object hands the session at each start.
struct CaptureSetup {
    CaptureGeometry geometry;
    int subSample = 0;
    // The application placed the library's preview window (Velcor_SetPreviewWindow).
    bool previewPlaced = false;
    PreviewPlacement placement;
};

class CaptureSession {
  public:
    // The engine, the settings model, the error reporter and the pixel mask outlive the
    // session.
    CaptureSession(CVelcorR3U2Base& engine, SettingsModel& settings, ErrorReporter& errors,
                   PixelMaskStore& mask);
    // Stops, so the worker is joined before the session goes.
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // The capture operations of the camera object, with its answers and error codes.
    int Preview(const CaptureSetup& setup);
    int CallBackPreview(const CaptureSetup& setup, HWND frameWindow, uint8_t* buffer, int size,
                        int topRowFirst);
    int StartPreview(const CaptureSetup& setup);
    int Capture(const CaptureSetup& setup);
    int Trigger(const CaptureSetup& setup, HWND frameWindow, uint8_t* buffer, int size,
                int topRowFirst);
    int SnapShot(const CaptureSetup& setup, uint8_t* buffer, int size, int topRowFirst)
        VELCOR_EXCLUDES(frameLock_);
    int GetImage(uint8_t* buffer, int size, int topRowFirst) VELCOR_EXCLUDES(frameLock_);
    // Writes the output image of the current colour mode to a file (ImageFileWriter formats).
    // Error 1 before any frame was converted, or when the mode has no image; a failed write
    // answers 0 and records nothing.
    int SaveImage(const char* path, int format) VELCOR_EXCLUDES(frameLock_);
    // Starts the preview and records its frames into an AVI file at path for durationMs from
    // the first frame on (a duration of 0 records two frames). The recording ends early with
    // the file finished when the preview stops, the camera is lost, the disk is full or the
    // file reaches the size AVI sizes carry (error 12 for the last two). Error 9 for a missing
    // path, 4 for a window asked for, 12 when the preview or the file cannot start, 3 when the
    // recorder thread cannot; a recording in progress answers error 12 and goes on.
    int Record(const CaptureSetup& setup, const char* path, int durationMs, bool showWindow)
        VELCOR_EXCLUDES(frameLock_);
    // Ends the worker, then stops the transfer of a running capture; the state is idle after.
    void Stop();
    // Destroys the library's preview window, stops, and stops the transfer even when no
    // capture ran; the images no longer count as holding a frame. Answers 1.
    int Close() VELCOR_EXCLUDES(frameLock_);
    // No capture runs (any thread).
    bool Idle() const { return state_ == kIdle; }
    // Lends the library's preview window (null when there is none) under the frame lock to
    // use(const PreviewWindow*); the pointer is not kept.
    template <typename Use>
    void LendPreviewWindow(Use&& use) VELCOR_EXCLUDES(frameLock_) {
        platform::CriticalSectionLock lock(frameLock_);
        use(static_cast<const PreviewWindow*>(previewWindow_.get()));
    }
    // Ends the frame wait of a snapshot on another thread (it fails with error 8) and wakes the
    // worker (any thread, no lock): the stop and release paths call it before they queue for
    // the call lock, so a wait in progress does not hold them up.
    void InterruptWaits();
    // The camera dialog changes what a capture reads: a preview or capture stops for it and
    // starts again in the same state afterwards, trigger mode pauses its worker (run flag 2).
    // Pause answers what Resume needs.
    int PauseForDialog();
    void ResumeAfterDialog(int paused, const CaptureSetup& setup);
    // The worker's run flag: 0 stop, 1 run, 2 paused (any thread).
    int RunFlag() const { return runFlag_; }
    // The analog dialog open on this camera, which automatic exposure keeps up to date.
    dialogs::AnalogDialogSlot& AnalogDialog() { return analogDialog_; }
    // Lends the raw image of the running (or last) capture, under the frame lock, to
    // use(const DibImage*): the pixel-mask update takes its references from it. The pointer
    // may be null and is not kept.
    template <typename Use>
    void LendRawFrame(Use&& use) VELCOR_EXCLUDES(frameLock_) {
        platform::CriticalSectionLock lock(frameLock_);
        FillRawFromHeldFrame();
        use(static_cast<const DibImage*>(RawImage()));
    }

  private:
    enum State : int { kIdle = 0, kPreviewRunning = 1, kCaptureMode = 2, kTriggerMode = 3 };
    // The frame images: the output images by colour-mode index (the 8-bit and 16-bit ones also
    // take the raw frame), then the conversion's work image.
    enum FrameImage : int {
        kImage8 = 0,
        kImage16,
        kImage24,
        kImage32,
        kImage48,
        kImage64,
        kImageWork,
        kFrameImageCount,
    };
    class ConversionHooks;

    // Checks the camera and the window, sizes the images, sets depth and window and reapplies
    // the analog settings. The capture keeps this colour mode and window until it stops.
    // Records its error and answers false on failure.
    bool PrepareCapture(const CaptureSetup& setup) VELCOR_EXCLUDES(frameLock_);
    // Opens the library's preview window when the application placed one, in place of any
    // earlier one; records error 4 and answers false when it cannot be had. With none placed
    // the capture runs without a window.
    bool OpenPlacedPreviewWindow(const CaptureSetup& setup) VELCOR_EXCLUDES(frameLock_);
    // Draws the converted frame into the preview window, if there is one.
    void DrawPreview() VELCOR_REQUIRES(frameLock_);
    // The frame window and the application buffer the frames go to.
    void SetFrameTarget(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst)
        VELCOR_EXCLUDES(frameLock_);
    // Starts the continuous transfer and the worker in preview state.
    int StartPreviewWorker(const CaptureSetup& setup);
    bool StartWorker();
    void WorkerMain();
    // Ends the recorder (its file finished) and joins it.
    void StopRecorder();
    void RecorderMain();
    // Turns the output image into the AVI frame (24 bits, bottom row first) in the scratch
    // images; null when the images do not fit each other.
    const uint8_t* PrepareVideoFrame(DibImage& first24, DibImage& second24, DibImage& gray8)
        VELCOR_REQUIRES(frameLock_);
    void PauseWhileRunning(uint32_t milliseconds);
    void PreviewLoop() VELCOR_EXCLUDES(frameLock_);
    void TriggerLoop() VELCOR_EXCLUDES(frameLock_);
    // Reports a camera that stopped delivering: run flag 0, 0x8002 (0, 13) and error 13.
    void ReportCameraStopped() VELCOR_EXCLUDES(frameLock_);
    // Waits up to the frame wait timeout for a frame newer than the last one read; ends early
    // (answering 2) when InterruptWaits is called.
    int WaitSnapshotFrame();
    // Reads a frame into the raw image (rows spread out to the stride): the newest one, or with
    // `inOrder` the oldest one not read yet, so the preview delivers every frame the camera
    // sent even after the worker was held up.
    bool ReadRawFrame(bool inOrder = false) VELCOR_REQUIRES(frameLock_);
    // The preview's read: the oldest frame not read yet, held in the engine's ring where the
    // camera's row order allows (the raw image is filled only when something needs it), else
    // copied into the raw image as ReadRawFrame does.
    bool TakeNextFrame() VELCOR_REQUIRES(frameLock_);
    // Copies a held frame into the raw image, rows spread out to the stride, and lets the
    // frame go; nothing when no frame is held. Everything that reads the raw image, or the
    // output image of modes 8 and 16 (the raw image itself), calls it first.
    void FillRawFromHeldFrame() VELCOR_REQUIRES(frameLock_);
    // The held frame is the output image as it stands: colour mode 8 or 16 with no step of the
    // conversion that changes pixels, in the raw image's own size and packed rows.
    bool HeldFrameIsOutput(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    // Delivers the held frame without a conversion: automatic exposure on it, then straight
    // into the application's buffer. False when the copy failed (no frame message then).
    bool DeliverHeldFrame(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    // Runs automatic exposure and turns the raw image into the output image.
    void ConvertFrame(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    // Converts the held frame where it lies when its conversion only reads it (colour modes
    // without defect correction, software mirror or automatic Bayer gain); the frame stays
    // held, and the raw image is filled from it only when something asks. False, with nothing
    // done, otherwise.
    bool ConvertHeldFrame(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    ConversionParams MakeConversionParams(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    void AutoExposure(const HeldFrame& raw, int mode) VELCOR_EXCLUDES(settings_.Lock());
    // Shows what automatic exposure in `mode` left in the settings in the open analog dialog.
    void ShowAutoExposure(int mode) VELCOR_EXCLUDES(settings_.Lock());
    // Flat field when mask is set, then the dot correction when dot is set, with the pixel
    // mask under its lock; the capture window places the frame on the sensor.
    void CorrectDefects(DibImage& raw, bool mask, bool dot) VELCOR_REQUIRES(frameLock_)
        VELCOR_EXCLUDES(mask_.Lock());
    // Copies the image into the application's buffer; error 5 (and a frame message carrying it)
    // when the buffer is too small.
    bool CopyToApplication(const DibImage& image, uint8_t* buffer, int size, int topRowFirst)
        VELCOR_REQUIRES(frameLock_);
    // The same for rows of `stride` bytes that lie rowStep bytes apart, top row first.
    bool CopyRowsToApplication(const uint8_t* topRow, ptrdiff_t rowStep, size_t stride, int rows,
                               uint8_t* buffer, int size, int topRowFirst)
        VELCOR_REQUIRES(frameLock_);
    // Copies the output image into the application buffer given with the frame window.
    bool CopyToFrameTarget() VELCOR_REQUIRES(frameLock_);
    void FillFrameInfo(const DibImage& raw, int frameRate) VELCOR_REQUIRES(frameLock_);
    void PostFrameMessage(WPARAM wParam, LPARAM lParam) VELCOR_REQUIRES(frameLock_);
    // The images the frame conversion works on.
    FrameImages ConversionImages() VELCOR_REQUIRES(frameLock_);
    // The raw and output images of the capture's colour mode.
    DibImage* RawImage() VELCOR_REQUIRES(frameLock_);
    DibImage* OutputImage() VELCOR_REQUIRES(frameLock_);
    // The output image that GetImage and SaveImage read: while a capture runs, that of the
    // mode it started with; when idle, that of the current colour mode.
    const DibImage* ImageToRead() VELCOR_REQUIRES(frameLock_);

    // ---- What the session works with
    CVelcorR3U2Base& engine_;
    SettingsModel& settings_;
    ErrorReporter& errors_;
    PixelMaskStore& mask_;
    dialogs::AnalogDialogSlot analogDialog_;

    // ---- Capture state and the worker thread
    std::atomic<int> state_{kIdle};
    // Read by the worker on every pass: 0 stop, 1 run, 2 paused.
    std::atomic<int> runFlag_{0};
    platform::Thread worker_;
    // Set by the worker as it ends; the stop path waits for it before joining.
    std::unique_ptr<platform::Event> workerFinished_;

    // ---- Recording
    // Read by the recorder on every pass; cleared to end the recording.
    std::atomic<int> recording_{0};
    // Set by the worker with each converted frame, taken by the recorder.
    std::atomic<bool> newFrame_{false};
    platform::Thread recorder_;
    // Set by the recorder as it ends, its file finished.
    std::unique_ptr<platform::Event> recorderFinished_;
    // Set before the recorder starts.
    uint32_t recordDurationMs_ = 0;

    // ---- Snapshot frame wait
    // How long a snapshot waits for its frame: 3000 ms until trigger mode sets 6000, which
    // then stays for later snapshots too.
    std::atomic<uint32_t> frameWaitTimeoutMs_{3000};
    // Counts InterruptWaits calls; a snapshot ends its wait when the count moves.
    std::atomic<uint64_t> interruptions_{0};

    // ---- Frame images and the frame record, under the frame lock
    platform::CriticalSection frameLock_;
    std::array<DibImage, kFrameImageCount> images_ VELCOR_GUARDED_BY(frameLock_);
    // The colour mode of the running (or last) capture; a new mode applies at the next start.
    int activeColourIndex_ VELCOR_GUARDED_BY(frameLock_) = 0;
    // The frame of the raw image is still in the engine's ring (rawHeld_), lent by
    // HoldNextFrame; the raw image's pixels are those of an earlier frame until it is filled.
    HeldFrame heldRaw_ VELCOR_GUARDED_BY(frameLock_);
    bool rawHeld_ VELCOR_GUARDED_BY(frameLock_) = false;
    // A frame has been converted into the images since the last close.
    bool imageValid_ VELCOR_GUARDED_BY(frameLock_) = false;
    // The sensor window of the running (or last) capture.
    CaptureGeometry activeGeometry_ VELCOR_GUARDED_BY(frameLock_);
    // Where frames go: the frame window and the application's buffer.
    HWND frameWindow_ VELCOR_GUARDED_BY(frameLock_) = nullptr;
    uint8_t* appBuffer_ VELCOR_GUARDED_BY(frameLock_) = nullptr;
    int appBufferSize_ VELCOR_GUARDED_BY(frameLock_) = 0;
    int appTopRowFirst_ VELCOR_GUARDED_BY(frameLock_) = 0;
    // What the frame message carries: its address goes with each frame.
    VELCORFRAMEINFO frameInfo_ VELCOR_GUARDED_BY(frameLock_){};
    // The preview loop's frame rate in tenths of a frame per second, over one-second windows.
    int frameRateTenths_ VELCOR_GUARDED_BY(frameLock_) = 0;
    int frameCounter_ VELCOR_GUARDED_BY(frameLock_) = 0;
    uint32_t rateWindowStartMs_ VELCOR_GUARDED_BY(frameLock_) = 0;
    // The file of the recording; opened by Record, filled and finished by the recorder.
    AviWriter avi_ VELCOR_GUARDED_BY(frameLock_);
    // The library's own preview window, from a start that placed one until Close.
    std::unique_ptr<PreviewWindow> previewWindow_ VELCOR_GUARDED_BY(frameLock_);
};

}  // namespace velcor
