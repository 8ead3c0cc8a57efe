// The camera object behind one handle. It owns the camera engine, the image buffers frames
// pass through, the settings the engine does not hold itself (filter values, geometry, colour
// mode), and the error history. Only this object records error codes: every failure is pushed
// onto the history and posted as 0x8003 to the notification window.
//
// Threads: the exported functions call every public operation under the call lock, so calls on
// one handle from several application threads take turns (InterruptWaits, the error history
// and the frame counters excepted). The worker thread never takes the call lock: it shares the
// settings model (settings lock, copied once per frame) and the frame record (frame lock) with
// the application threads. Locks are taken in the order call lock, frame lock, mask lock,
// settings lock, then the engine's own; the error history has its own lock.
#pragma once

#include <velcor/VelcorSdk.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "camera/ErrorReporter.h"
#include "camera/SettingsModel.h"
#include "engine/VelcorR3U2Base.h"
#include "imaging/DibImage.h"
#include "imaging/FilterValues.h"
#include "imaging/FrameConverter.h"
#include "platform/CriticalSection.h"
#include "platform/DeviceNotifications.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/ThreadAnnotations.h"

namespace velcor {

inline constexpr int kProductId = 0x32C0;
inline constexpr int kMaxWidth = 1280;
inline constexpr int kMaxHeight = 1024;
inline constexpr char kDeviceNamePrefix[] = "VelcorTX40";

// Camera information record as the application sees it.
static_assert(sizeof(VELCORCAMERAINFO) == 56);
static_assert(offsetof(VELCORCAMERAINFO, maxWidth) == 4);
static_assert(offsetof(VELCORCAMERAINFO, exposureMax) == 32);
static_assert(offsetof(VELCORCAMERAINFO, exposureMinSeconds) == 40);
static_assert(offsetof(VELCORCAMERAINFO, exposureMaxSeconds) == 48);
// Frame information record posted with 0x8002.
static_assert(sizeof(VELCORFRAMEINFO) == 32);
static_assert(offsetof(VELCORFRAMEINFO, bitsPerPixel) == 12);
static_assert(offsetof(VELCORFRAMEINFO, frameRate) == 16);
static_assert(offsetof(VELCORFRAMEINFO, image) == 24);

class CVelcor {
  public:
    // Output images by colour-mode index, then the work image and the ten correction planes
    // of the pixel mask (five of 8 bits, five of 16 bits).
    enum ImageIndex : int {
        kImage8 = 0,
        kImage16,
        kImage24,
        kImage32,
        kImage48,
        kImage64,
        kImageWork,
        kPlane8First,
        kPlane16First = kPlane8First + 5,
        kImageCount = kPlane16First + 5,
    };

    CVelcor();
    virtual ~CVelcor();
    CVelcor(const CVelcor&) = delete;
    CVelcor& operator=(const CVelcor&) = delete;

    // ---- Lifecycle and errors
    int Initialize(HWND notifyWindow);
    int GetLastError() { return errors_.PopNewest(); }
    // Serialises the operations of one handle; the exported functions hold it around each call.
    platform::CriticalSection& CallLock() VELCOR_RETURN_CAPABILITY(callLock_) { return callLock_; }
    // Ends the frame wait of a snapshot on another thread (it fails with error 8) and wakes the
    // worker, without the call lock: the stop and release paths call it before they queue for
    // the call lock, so a wait in progress does not hold them up.
    void InterruptWaits();
    // Velcor_Release took the handle away; calls that were waiting for their turn do nothing.
    void MarkReleased() { released_ = true; }
    bool Released() const { return released_; }
    // Frames through the engine's ring since the handle was made (any thread).
    FrameCounters GetFrameCounters() {
        return engine_ ? engine_->GetFrameCounters() : FrameCounters{};
    }
    // Pushes code onto the history and posts it.
    void RecordError(int code) { errors_.Record(code); }
    // Posts code without recording it (failures the history does not keep).
    void PostError(int code) { errors_.Post(code); }

    // ---- Device selection and identity
    int EnumDevice(char* names);
    int EnumDeviceW(wchar_t* names);
    int GetDeviceName(int index, char* buffer, int size);
    int GetDeviceNameW(int index, wchar_t* buffer, int size);
    int SetDeviceNumber(int index);
    int GetCameraInfo(VELCORCAMERAINFO* info);
    int ReadSerialNumberA(char* buffer, int size);
    int ReadSerialNumberW(wchar_t* buffer, int size);

    // ---- Capture, preview and images
    int Preview();
    int StartPreview();
    int StopPreview();
    int Close();
    int Capture();
    int SnapShot(uint8_t* buffer, int size, int topRowFirst);
    int GetImage(uint8_t* buffer, int size, int topRowFirst);
    int CallBackPreview(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst);
    int Trigger(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst);
    int SetPreviewWindow(HWND parent, int x, int y, int width, int height);
    int Record(const char* path, int durationMs, int showWindow);
    int RecordW(const wchar_t* path, int durationMs, int showWindow);
    int SaveImage(const char* path, int format);
    int SaveImageW(const wchar_t* path, int format);

    // ---- Geometry and format
    int Width() const { return geometry_.width; }
    int Height() const { return geometry_.height; }
    int GetColorMode() const;
    int SetColorMode(int bits);
    int GetSubSample() const { return subSample_; }
    int SetSubSample(int mode);
    int SetCaptureWindow(int width, int height);
    int SetCaptureWindowEx(int totalWidth, int xStart, int width, int totalHeight, int yStart,
                           int height);
    int GetCaptureWindowEx(int* totalWidth, int* xStart, int* width, int* totalHeight, int* yStart,
                           int* height) const;
    int GetWaitTime() const;
    int SetWaitTime(int milliseconds);
    int SetMirrorH(int on);
    int SetMirrorV(int on);
    int GetMirrorH();
    int GetMirrorV();

    // ---- Exposure, temperature and extras
    double GetExposureTimeEx(int* ok);
    int SetExposureTimeEx(double seconds);
    int GetRealExposureTime(int* ok);
    int SetRealExposureTime(int microseconds);
    double GetTemperatureEx(int* ok);
    int SetSamplingRate(int rate);
    int GetAutoIris(int* ok) const;
    int SetAutoIris(int mode);

    // ---- Registers, ROM, IO port, configuration
    int FpgaReadRegister(int address, int* ok);
    int FpgaWriteRegister(int address, int value);
    int ReadRegister(int address, int* ok);
    int WriteRegister(int address, int value);
    int ReadSromID(int address, int* ok);
    int WriteSromID(int address, int value);
    int GetIOPort(uint8_t* value);
    int SetIOPort(uint8_t value);
    int LoadConfigFileA(const char* path);
    int LoadConfigFileW(const wchar_t* path);
    std::vector<std::pair<int32_t, int32_t>> ConfigurationList();

    // ---- Dialogs and pixel mask
    int ShowCameraDialog(HWND parent);
    int ShowAnalogDialog(HWND parent);
    int ShowImageDialog(HWND parent);
    int LoadMaskFile(const char* path);
    int LoadMaskFileW(const wchar_t* path);
    int SaveMaskFile(const char* path);
    int SaveMaskFileW(const wchar_t* path);
    // Takes the current raw frame as the dark (kind 0) or bright (kind 1) reference of the
    // pixel mask, when it is a whole sensor frame.
    int UpdateMaskData(int kind);
    // Correction plane 0-4 (8 bits) or 5-9 (16 bits); plane 0 of each depth is the dark
    // reference and plane 1 the bright one. For diagnostics and tests.
    const DibImage* CorrectionPlane(int index) const;

    // ---- Filter values
    int GetFilterValue(int id, int* ok);
    int SetFilterValue(int id, int value);
    // Channel gains (kind 0) and offsets (kind 1), types 1..4.
    int GetChannelValue(int kind, int type, int* ok);
    int SetChannelValue(int kind, int type, int value);

    // ---- Shared bodies of the functions this camera does not offer
    int UnsupportedFeature();
    int ZeroResultQuery(int* out);
    int TextChannelStub();
    int ConfigFilterStub();

    // ---- The settings model (types)
    struct Geometry {
        int totalWidth = kMaxWidth;
        int totalHeight = kMaxHeight;
        int width = kMaxWidth;
        int height = kMaxHeight;
        int xStart = 0;
        int yStart = 0;
    };

  private:
    // Records error 1 and answers false when there is no engine.
    bool HaveEngine();
    // The lowest device number of a present camera (0 when none is present).
    int FirstPresentDevice();
    bool GeometryAcceptable(const Geometry& g) const;
    int SetEngineFilter(int id, int value) VELCOR_REQUIRES(settings_.Lock());
    int SetExposureUnits(int exposure) VELCOR_REQUIRES(settings_.Lock());
    // Loads the stored settings of the open camera into the object.
    void LoadStoredSettings() VELCOR_EXCLUDES(settings_.Lock());
    // Applies the analog settings to the camera just opened.
    void ApplyOpenedCameraSettings() VELCOR_EXCLUDES(settings_.Lock());
    void DestroyOwnedObjects();
    // Ends the worker thread and leaves the capture state idle.
    void StopCaptureAndThreads();

    // ---- Capture control
    enum CaptureState : int { kIdle = 0, kPreviewRunning = 1, kCaptureMode = 2, kTriggerMode = 3 };
    // Checks the camera and the window, sizes the images, sets depth and window and reapplies
    // the analog settings. The capture keeps this colour mode and geometry until it stops.
    // Records its error and answers false on failure.
    bool PrepareCapture();
    // Shows the library's preview window when the application placed one. False (error 4
    // recorded) when it cannot be made.
    bool OpenPlacedPreviewWindow();
    // The frame window and the application buffer the frames go to.
    void SetFrameTarget(HWND frameWindow, uint8_t* buffer, int size, int topRowFirst)
        VELCOR_EXCLUDES(frameLock_);
    // Starts the continuous transfer and the worker in preview state.
    int StartPreviewWorker();
    bool StartWorker();
    void WorkerMain();
    void PreviewLoop();
    void TriggerLoop();
    // Reports a camera that stopped delivering: run flag 0, 0x8002 (0, 13) and error 13.
    void ReportCameraStopped();
    // Waits up to the frame wait timeout for a frame newer than the last one read; ends early
    // (answering 2) when InterruptWaits is called.
    int WaitSnapshotFrame();
    // Reads the newest frame into the raw image (rows spread out to the stride).
    bool ReadRawFrame() VELCOR_REQUIRES(frameLock_);
    // Runs automatic exposure and turns the raw image into the output image.
    class ConversionHooks;
    void ConvertFrame(const Settings& settings) VELCOR_REQUIRES(frameLock_);
    void AutoExposure(const DibImage& raw, int mode) VELCOR_EXCLUDES(settings_.Lock());
    // Copies the image into the application's buffer; error 5 (and a frame message carrying it)
    // when the buffer is too small.
    bool CopyToApplication(const DibImage& image, uint8_t* buffer, int size, int topRowFirst)
        VELCOR_REQUIRES(frameLock_);
    // Copies the output image into the application buffer given with the frame window.
    bool CopyToFrameTarget() VELCOR_REQUIRES(frameLock_);
    void FillFrameInfo(const DibImage& raw, int frameRate) VELCOR_REQUIRES(frameLock_);
    void PostFrameMessage(WPARAM wParam, LPARAM lParam) VELCOR_REQUIRES(frameLock_);
    // The images the frame conversion works on.
    FrameImages ConversionImages();
    // The raw and output images of the capture's colour mode.
    DibImage* RawImage() VELCOR_REQUIRES(frameLock_);
    DibImage* OutputImage() VELCOR_REQUIRES(frameLock_);
    // Answer of the capture, mask, file and dialog paths while the library has none of them.
    int CapturePathUnavailable();

    // The engine, the only way to the camera; made by Initialize, gone with the object.
    std::unique_ptr<CVelcorR3U2Base> engine_;
    // Serialises the exported calls on this handle (see CallLock).
    platform::CriticalSection callLock_;
    // Counts InterruptWaits calls; a snapshot ends its wait when the count moves.
    std::atomic<uint64_t> interruptions_{0};
    std::atomic<bool> released_{false};
    // Image buffers: the output images by colour-mode index, the work image, and the
    // correction planes. Their pixels are guarded by the frame lock.
    std::array<std::unique_ptr<DibImage>, kImageCount> images_;
    // Geometry (changed under the call lock).
    Geometry geometry_;
    // The settings model.
    SettingsModel settings_;
    // Guards the images, the frame record below and the copy into the application's buffer.
    platform::CriticalSection frameLock_;
    // Configuration list of integer pairs (guarded by the mask lock).
    std::vector<std::pair<int32_t, int32_t>> configuration_;
    // Worker state: 0 stop, 1 run, 2 paused.
    std::atomic<int> runFlag_{0};
    platform::Thread workerThread_;
    std::unique_ptr<platform::Event> workerFinished_;
    // Preview placement.
    HWND previewParent_ = nullptr;
    int previewX_ = 0, previewY_ = 0, previewWidth_ = kMaxWidth, previewHeight_ = kMaxHeight;
    // The notification window's device-interface registration.
    platform::HDEVNOTIFY deviceNotification_ = nullptr;
    // The frame record: where frames go, what the frame message carries, and the frame rate.
    HWND frameWindow_ VELCOR_GUARDED_BY(frameLock_) = nullptr;
    uint8_t* appBuffer_ VELCOR_GUARDED_BY(frameLock_) = nullptr;
    int appBufferSize_ VELCOR_GUARDED_BY(frameLock_) = 0;
    int appTopRowFirst_ VELCOR_GUARDED_BY(frameLock_) = 0;
    VELCORFRAMEINFO frameInfo_ VELCOR_GUARDED_BY(frameLock_){};
    int frameRateTenths_ VELCOR_GUARDED_BY(frameLock_) = 0;
    int frameCounter_ VELCOR_GUARDED_BY(frameLock_) = 0;
    uint32_t rateWindowStartMs_ VELCOR_GUARDED_BY(frameLock_) = 0;
    // The colour mode of the running (or last) capture; a new mode applies at the next start.
    int activeColourIndex_ VELCOR_GUARDED_BY(frameLock_) = 0;
    // Capture state: 0 idle, 1 preview running, 2 capture mode, 3 trigger mode.
    std::atomic<int> captureState_{0};
    int subSample_ = 0;
    // The error history and the notification window errors are posted to.
    ErrorReporter errors_;
    // Frame wait.
    std::atomic<uint32_t> frameWaitTimeoutMs_{3000};
    // Mask lock.
    platform::CriticalSection maskLock_;
};

}  // namespace velcor
