// The camera object behind one handle: the operations of the C API on one camera. It owns
// the camera engine and, made with it, the capture session (capture state, worker thread,
// frame images and delivery); it keeps the device selection, the geometry and the settings
// operations, the registers, ROM and IO port, the configuration list and the pixel mask's
// correction planes. Every failure is reported through the error reporter: most are recorded
// in the history and posted as 0x8003, a few are only posted (each says why).
//
// Threads: the exported functions call every public operation under the call lock, so calls
// on one handle from several application threads take turns (InterruptWaits, MarkReleased,
// the error history and the frame counters excepted). The worker thread of the capture session
// never takes the call lock: it shares the settings model (settings lock, copied once per
// frame) and the frame images and record (frame lock) with the application threads. Locks are
// taken in the order call lock, frame lock, mask lock, settings lock, then the engine's own;
// the error reporter's lock comes last of all.
#pragma once

#include <velcor/VelcorSdk.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "camera/CaptureGeometry.h"
#include "camera/CaptureSession.h"
#include "camera/ErrorReporter.h"
#include "camera/PixelMaskStore.h"
#include "camera/SettingsModel.h"
#include "engine/ProductIds.h"
#include "engine/VelcorR3U2Base.h"
#include "imaging/DibImage.h"
#include "platform/CriticalSection.h"
#include "platform/DeviceNotifications.h"
#include "platform/ThreadAnnotations.h"
#include "settings/SettingsStore.h"

namespace velcor {

// The product this library serves: the ROZE9701 camera.
inline constexpr int kProductId = product::kRoze9701;
inline constexpr char kDeviceNamePrefix[] = "VelcorTX40";

// Camera information record as the application sees it.
static_assert(sizeof(VELCORCAMERAINFO) == 56);
static_assert(offsetof(VELCORCAMERAINFO, maxWidth) == 4);
static_assert(offsetof(VELCORCAMERAINFO, exposureMax) == 32);
static_assert(offsetof(VELCORCAMERAINFO, exposureMinSeconds) == 40);
static_assert(offsetof(VELCORCAMERAINFO, exposureMaxSeconds) == 48);

class CVelcor {
  public:
    CVelcor();
    virtual ~CVelcor();
    CVelcor(const CVelcor&) = delete;
    CVelcor& operator=(const CVelcor&) = delete;

    // ---- Lifecycle, turns and errors
    int Initialize(HWND notifyWindow);
    int GetLastError() { return errors_.PopNewest(); }
    // Serialises the operations of one handle; the exported functions hold it around each call
    // (see CallTurn).
    platform::CriticalSection& CallLock() VELCOR_RETURN_CAPABILITY(callLock_) { return callLock_; }
    // The calling thread is inside a call on this object (it holds a CallTurn).
    bool InCallOnThisThread() const { return callThread_.load() == std::this_thread::get_id(); }
    // Ends the frame wait of a snapshot on another thread and wakes the worker, without the
    // call lock (see CaptureSession::InterruptWaits).
    void InterruptWaits() {
        if (session_) session_->InterruptWaits();
    }
    // Velcor_Release took the handle away; calls that were waiting for their turn do nothing.
    void MarkReleased() { released_ = true; }
    bool Released() const { return released_; }
    // What Velcor_Release does before it returns, under the call lock: saves the settings, ends
    // the capture and recording (no frame message and no copy into the application's buffer
    // after it) and closes the camera. The objects stay until the last caller has left; the
    // destructor closes a camera that was not closed this way.
    void CloseCamera();
    // Lends the library's preview window (null when there is none) to use(const
    // PreviewWindow*) under the frame lock; the pointer is not kept.
    template <typename Use>
    void LendPreviewWindow(Use&& use) {
        if (session_) session_->LendPreviewWindow(std::forward<Use>(use));
    }
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
    std::vector<std::pair<int32_t, int32_t>> ConfigurationList() VELCOR_EXCLUDES(mask_.Lock());

    // ---- Dialogs and pixel mask
    // Each answers 1 when the dialog ran (OK or Cancel). A dialog that cannot be shown (no
    // view, no display) changes nothing, records error 4 and answers 0.
    int ShowCameraDialog(HWND parent);
    int ShowAnalogDialog(HWND parent);
    int ShowImageDialog(HWND parent);
    // The capture worker's run flag (0 stop, 1 run, 2 paused for the camera dialog); for
    // diagnostics and tests.
    int CaptureRunFlag() const { return session_ ? session_->RunFlag() : 0; }
    int LoadMaskFile(const char* path);
    int LoadMaskFileW(const wchar_t* path);
    int SaveMaskFile(const char* path);
    int SaveMaskFileW(const wchar_t* path);
    // Takes the current raw frame as the dark (kind 0) or bright (kind 1) reference of the
    // pixel mask. Only a whole sensor frame is taken: any other size (or kind) records error 12,
    // answers 0 and changes no plane.
    int UpdateMaskData(int kind);
    // Correction plane 0-4 (8 bits) or 5-9 (16 bits) in the order of MaskPlane: dark and
    // bright reference, hot, dead and dot map. For diagnostics and tests.
    const DibImage* CorrectionPlane(int index) const VELCOR_EXCLUDES(mask_.Lock());

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

  private:
    // The dialogs reach the camera through these.
    friend class CameraAnalogPort;
    friend class CameraImagePort;
    friend class CallTurn;

    // Records error 1 and answers false when there is no engine.
    bool HaveEngine();
    // The lowest device number of a present camera (0 when none is present).
    int FirstPresentDevice();
    int SetEngineFilter(int id, int value) VELCOR_REQUIRES(settings_.Lock());
    // Each filter value held here that Velcor_SetFilterValue would refuse takes the one of
    // `fallback`: values read from the store reach the frame conversion only in range.
    static void KeepAcceptedFilters(FilterValues& values, const FilterValues& fallback);
    int SetExposureUnits(int exposure) VELCOR_REQUIRES(settings_.Lock());
    // What the stored colour mode must fit: the open camera's sensor.
    settings::SensorOutput SensorOutput();
    // The readout window of the camera's selected size entry (on a first run: the default
    // entries are made and the window stays).
    void LoadWindowSettings(int camera);
    // Colour mode, sub-sampling, wait time and clock of the camera, as far as this camera
    // takes them.
    void LoadOutputSettings(int camera) VELCOR_EXCLUDES(settings_.Lock());
    // Loads the camera's filter, gray and analog settings into the object; what the store does
    // not hold loads the sensor's defaults and neutral filters.
    void LoadStoredSettings(int camera) VELCOR_EXCLUDES(settings_.Lock());
    // Stores the analog, filter and gray settings of the camera they were loaded for (none
    // before a camera was opened).
    void SaveStoredSettings() VELCOR_EXCLUDES(settings_.Lock());
    // Applies the analog settings to the camera just opened.
    void ApplyOpenedCameraSettings() VELCOR_EXCLUDES(settings_.Lock());
    void DestroyOwnedObjects();
    // What a capture start needs from the object: the window to read and the preview placement.
    CaptureSetup Setup() const;
    // The analog record takes the gains, the exposure and the mirrors the camera has now.
    void RefreshAnalogFromEngine() VELCOR_EXCLUDES(settings_.Lock());

    // ---- Taking turns
    // Serialises the exported calls on this handle (see CallLock).
    platform::CriticalSection callLock_;
    // The thread holding the call lock for an exported call, and how deep it is nested in
    // calls (a dialog's handlers call the exports again on its thread).
    std::atomic<std::thread::id> callThread_{};
    int callDepth_ = 0;
    std::atomic<bool> released_{false};
    // CloseCamera ran.
    bool cameraClosed_ = false;

    // ---- Errors
    // The error history and the notification window errors are posted to.
    ErrorReporter errors_;

    // ---- What the application set (changed under the call lock)
    // The window of the sensor the next capture reads.
    CaptureGeometry geometry_;
    // The "Buf" value of the size entry the window came from; kept and stored, used by
    // nothing else.
    int bufferValue_ = 4;
    // Sub-sampling mode; this camera reads every pixel, so only 0 is accepted.
    int subSample_ = 0;
    // The camera dialog's clock choice, loaded and stored but not given to the camera.
    int clock_ = 0;
    // Where the library's preview window goes; a capture start only asks whether one is
    // placed.
    HWND previewParent_ = nullptr;
    int previewX_ = 0, previewY_ = 0, previewWidth_ = kMaxWidth, previewHeight_ = kMaxHeight;
    // Filter, analog and colour-mode values and the wait time, shared with the worker.
    SettingsModel settings_;
    // Where the settings live between runs.
    settings::SettingsStore store_;
    // The camera number whose stored settings the object holds: loaded when the camera was
    // opened, saved back when another is opened or the object goes.
    std::optional<int> storedCamera_;

    // The pixel mask and its lock; the capture session corrects frames with it, so it is
    // declared before the session.
    PixelMaskStore mask_;

    // ---- The camera and its capture
    // The engine, the only way to the camera; made by Initialize, gone with the object.
    std::unique_ptr<CVelcorR3U2Base> engine_;
    // Made with the engine and gone before it; it uses the error reporter and the settings
    // model above. Every capture operation goes through it.
    std::unique_ptr<CaptureSession> session_;
    // The notification window's device-interface registration.
    platform::HDEVNOTIFY deviceNotification_ = nullptr;

    // ---- Configuration, under the mask lock
    // Integer pairs of the configuration file.
    std::vector<std::pair<int32_t, int32_t>> configuration_ VELCOR_GUARDED_BY(mask_.Lock());
};

// One exported call's turn on a camera object: holds the call lock and notes the thread inside,
// so that a release on that same thread knows not to wait for the call it is part of.
class VELCOR_SCOPED_CAPABILITY CallTurn {
  public:
    explicit CallTurn(CVelcor& camera) VELCOR_ACQUIRE(camera.callLock_) : camera_(camera) {
        camera_.callLock_.Enter();
        if (camera_.callDepth_++ == 0) camera_.callThread_ = std::this_thread::get_id();
    }
    ~CallTurn() VELCOR_RELEASE() {
        if (--camera_.callDepth_ == 0) camera_.callThread_ = std::thread::id{};
        camera_.callLock_.Leave();
    }
    CallTurn(const CallTurn&) = delete;
    CallTurn& operator=(const CallTurn&) = delete;

  private:
    CVelcor& camera_;
};

}  // namespace velcor
