/**
 * @file VelcorSdk.h
 * @brief C API for Velcor USB 3 cameras (product id 0x32C0, ROZE9701 sensor).
 *
 * Handles: every function except Velcor_Initialize() and Velcor_GetDllVersion() takes a camera
 * handle made by Velcor_Initialize(). An unknown or released handle is never an error: the
 * function returns its empty result (0; -1 for Velcor_GetColorMode(), Velcor_GetSubSample() and
 * Velcor_GetWaitTime(); 0.0 for Velcor_GetExposureTimeEx() and Velcor_GetTemperatureEx()),
 * records nothing and leaves its output arguments alone.
 *
 * Results: #VELCOR_BOOL results are 1 for success and 0 for failure. The reason of a failure is
 * pushed onto the camera's 20-entry error history (read it with Velcor_GetLastError()) and posted
 * as #VELCOR_WM_ERROR (lParam = code) to the notification window given to Velcor_Initialize().
 * A few failures are only posted, not recorded; their functions say so. The history is newest
 * first: a later entry, also the success notice #VELCOR_ERR_NONE, sits above an earlier error.
 *
 * Threads: every function may be called from any thread at any time, also several at once on
 * one handle: calls on one handle take turns (a call waits while another one on the same handle
 * runs; the functions that run long say how long). Velcor_StopPreview(), Velcor_Close() and
 * Velcor_Release() end a snapshot that another thread is waiting in (it fails with error 8)
 * before they take their turn. After Velcor_Release(), calls still waiting for their turn on the
 * handle return their empty result; the camera object goes when the last of them returns.
 * Velcor_GetLastError() never waits for another call. The library never calls into the
 * application: frames and errors arrive as posted messages, so a message handler may call any
 * function. Calls on different handles do not wait for each other.
 */
#ifndef VELCOR_SDK_H
#define VELCOR_SDK_H

#include "VelcorErrors.h"
#include "VelcorTypes.h"

/**
 * @defgroup handles Cameras and handles
 * @brief Making and releasing camera handles, choosing the camera, identity and the error
 * history.
 *
 * A handle stands for one camera object. Velcor_Initialize() makes it and opens the camera when
 * exactly one camera of the product is attached; otherwise list the cameras with
 * Velcor_EnumDevice() and open one with Velcor_SetDeviceNumber(). Velcor_Release() saves the
 * camera's settings and frees everything.
 *
 * @defgroup settings Settings
 * @brief Capture window, colour mode, mirrors, exposure, gain, temperature and the camera's
 * registers.
 *
 * Settings are kept per camera (by device number) in the settings store under the user's
 * configuration folder: they are loaded when the camera opens and saved when another camera is
 * opened on the handle and at Velcor_Release(). Window and colour mode take effect at the next
 * capture start; gain, exposure and mirrors at once. Gains and exposure are also reached as filter
 * values (#VELCOR_FILTER_GLOBAL_GAIN, #VELCOR_FILTER_EXPOSURE).
 *
 * @defgroup capture Capture and preview
 * @brief Live preview, frames into the application's buffer, snapshots, trigger mode.
 *
 * States: idle; preview running (Velcor_StartPreview(), Velcor_Preview(),
 * Velcor_CallBackPreview(), Velcor_Record(): a worker thread reads, converts and delivers every
 * frame); capture mode (Velcor_Capture(): no thread, frames by Velcor_SnapShot()); trigger mode
 * (Velcor_Trigger(): a worker delivers one frame per trigger pulse). Velcor_StopPreview(),
 * Velcor_Close() and Velcor_Release() return to idle. A capture keeps the colour mode and window it
 * started with.
 *
 * Image buffers: an image of w x h pixels has h rows of `stride` bytes, where
 * `stride = (w * bytesPerPixel + 3) / 4 * 4` (rows padded to 4 bytes). Bytes per pixel by colour
 * mode: 8 bits: 1 (gray); 16: 2 (little-endian word holding the sensor's 12-bit sample
 * 0..4095; with flat-field correction on, the 12 bits sit at the top of the word); 24: 3 (blue,
 * green, red); 32: 4 (blue, green, red, 0); 48: 6 (blue, green, red words); 64: 8 (blue, green,
 * red, 0 words). A buffer needs at least `stride * h` bytes; the rows are copied whole,
 * padding included. This camera reads whole rows (its width is always 1280), so its rows carry no
 * padding: a full frame takes 1310720 bytes at 8 bits and 2621440 bytes at 16 bits.
 *
 * @defgroup messages Callbacks, messages and errors
 * @brief The messages the library posts, the frame information record and the error history.
 *
 * Nothing is called back: the worker posts #VELCOR_WM_FRAME to the frame window for each frame,
 * and every recorded or posted error goes to the notification window as #VELCOR_WM_ERROR. On
 * Linux make the windows with VelcorWin_CreateMessageWindow() and read them with
 * VelcorWin_GetMessage().
 *
 * @defgroup adjust Image adjustments
 * @brief Filter values applied to every converted frame: brightness, contrast, gamma, gray
 * gains and offsets, Bayer gains and the colour adjustments of colour cameras.
 *
 * The values are held by the camera object, saved with its settings and read by the next
 * converted frame (also while a capture runs). Each wrapper calls Velcor_GetFilterValue() or
 * Velcor_SetFilterValue() with its identifier and answers exactly as they do: a value outside
 * the accepted range records error 9 and leaves the stored value unchanged; without a camera
 * engine error 1. Getters set `*ok` (when not null) to 1 or 0.
 *
 * @defgroup defects Defect correction
 * @brief The pixel mask: dark and bright reference frames, flat-field and dot correction.
 *
 * The mask holds a dark and a bright reference of the whole 1280 x 1024 sensor at 8 and at 16
 * bits, taken from the camera with Velcor_UpdateMaskData() or loaded from a mask file. The mask
 * filter (#VELCOR_FILTER_MASK) normalises every pixel between its dark and bright reference; the
 * dot filter (#VELCOR_FILTER_DOT) replaces hot and dead pixels and pixels that stand out from
 * their four neighbours. Both run on the raw frame before any other conversion step; the capture
 * window places the frame on the references.
 *
 * @defgroup files Files and video
 * @brief Image files of the latest frame, AVI recording and the configuration file.
 *
 * @defgroup dialogs Dialogs
 * @brief The library's own settings dialogs.
 *
 * Each dialog is modal: the call returns when the user closes it, and other calls on the same
 * handle wait until then. On Linux the dialogs are shown by the GTK view module; without it (or
 * without a display) the call records error 4.
 */

#ifdef __cplusplus
extern "C" {
#endif

/** @addtogroup handles
    @{ */

/** Value of Velcor_GetDllVersion(). */
#define VELCOR_DLL_VERSION 0x021B0521

/** @} */

/** @addtogroup messages
    @{ */

/** Posted to the frame window (WM_APP + 2). For a delivered frame wParam is the address of the
    camera's #VELCORFRAMEINFO and lParam is 0. When a frame could not be delivered wParam is 0
    and lParam the code: 5 (application buffer too small), 8 (reading the frame failed) or 13
    (the camera stopped; the capture ends). */
#define VELCOR_WM_FRAME 0x8002
/** Posted to the notification window (WM_APP + 3) for every error recorded or posted, and for
    the success notice: wParam 0, lParam the code (VELCOR_ERR_*). */
#define VELCOR_WM_ERROR 0x8003

/** @} */

/* Error codes of the history and of VELCOR_WM_ERROR (VELCOR_ERR_*) and their meanings
   (VelcorErrorText): VelcorErrors.h. */

/** @addtogroup adjust
    @{ */

/** @name Filter identifiers
    Identifiers of Velcor_GetFilterValue() and Velcor_SetFilterValue(), with the values each
    accepts. Values 1-12, 19-28, 102 and 103 are held by the camera object; 13-18 and 100-106
    live in the camera.
    @{ */
/** -255..255, 0 neutral: scales every sample (x 11 at 255, x 0 at -255). */
#define VELCOR_FILTER_BRIGHTNESS 1
#define VELCOR_FILTER_CONTRAST 2   /**< -127..127, 0 neutral: positive stretches about mid-gray. */
#define VELCOR_FILTER_HUE 3        /**< -360..360 degrees, 0 neutral (colour modes 24-64). */
#define VELCOR_FILTER_SATURATION 4 /**< -255..255, 0 neutral (colour modes 24-64). */
#define VELCOR_FILTER_SHARPNESS 5  /**< 0..30, 0 off: unsharp mask against a 4 x 4 mean. */
/** The three Bayer gains in one value: red bits 0-7, green 8-15, blue 16-23. Set stores the
    three bytes without a range check; get packs the low 8 bits of each gain. */
#define VELCOR_FILTER_BAYER_GAIN_RGB 6
#define VELCOR_FILTER_BAYER_GAIN_RED 7   /**< 0..400, 100 = unity; demosaic of colour modes. */
#define VELCOR_FILTER_BAYER_GAIN_GREEN 8 /**< 0..400, 100 = unity. */
#define VELCOR_FILTER_BAYER_GAIN_BLUE 9  /**< 0..400, 100 = unity. */
/** Any value, stored as 0/1: 1 balances the Bayer gains before every demosaic. */
#define VELCOR_FILTER_BAYER_GAIN_AUTO 10
#define VELCOR_FILTER_GAMMA 11 /**< 0..200, 100 neutral: exponent 100 / gamma. */
/** 0..3: Bayer phase of the frame's first pixel (colour sensors). */
#define VELCOR_FILTER_BAYER_MODE 12
/** Camera gain, raw sensor units: the range of Velcor_GetCameraInfo() (2..62 on this camera).
    Setting it also sets the four colour gains the object keeps. */
#define VELCOR_FILTER_GLOBAL_GAIN 13
/** Colour gains of colour sensors, in the range of Velcor_GetCameraInfo(). This monochrome
    camera has none: its range is 0..0, and setting records error 9 (or 6 for 0). */
#define VELCOR_FILTER_COLOR_GAIN_RED 14
#define VELCOR_FILTER_COLOR_GAIN_GREEN1 15 /**< As #VELCOR_FILTER_COLOR_GAIN_RED. */
#define VELCOR_FILTER_COLOR_GAIN_GREEN2 16 /**< As #VELCOR_FILTER_COLOR_GAIN_RED. */
#define VELCOR_FILTER_COLOR_GAIN_BLUE 17   /**< As #VELCOR_FILTER_COLOR_GAIN_RED. */
/** Exposure in units of 100 us, in the camera's range (1..20000, 0.1 ms to 2 s). */
#define VELCOR_FILTER_EXPOSURE 18
/** 0..2: 0 off; 1 gray gains and offsets (and the balance request) on the raw frame; 2
    luminance of the demosaiced frame (colour sensors, colour mode 8). Colour modes 8 and 16. */
#define VELCOR_FILTER_GRAY_MODE 19
#define VELCOR_FILTER_GRAY_GAIN_R 20    /**< 0..255, 128 = unity; gray mode 1, red phase. */
#define VELCOR_FILTER_GRAY_GAIN_G1 21   /**< 0..255, 128 = unity; first green phase. */
#define VELCOR_FILTER_GRAY_GAIN_G2 22   /**< 0..255, 128 = unity; second green phase. */
#define VELCOR_FILTER_GRAY_GAIN_B 23    /**< 0..255, 128 = unity; blue phase. */
#define VELCOR_FILTER_GRAY_OFFSET_R 24  /**< -255..255, added after the gray gain. */
#define VELCOR_FILTER_GRAY_OFFSET_G1 25 /**< -255..255, added after the gray gain. */
#define VELCOR_FILTER_GRAY_OFFSET_G2 26 /**< -255..255, added after the gray gain. */
#define VELCOR_FILTER_GRAY_OFFSET_B 27  /**< -255..255, added after the gray gain. */
/** Set 1 (0..1): gray mode 1 balances the gray gains on the next converted 8-bit frame. A
    request, not a value: reading it records error 9. */
#define VELCOR_FILTER_AUTO_GRAY_BALANCE 28
/** Peltier cooler, as the camera takes it. This camera has none: error 11 (get returns -1). */
#define VELCOR_FILTER_PELTIER 100
/** No filter reading: get records error 11 and returns -1, set records error 9. Read the
    temperature with Velcor_GetTemperatureEx(). */
#define VELCOR_FILTER_TEMPERATURE 101
#define VELCOR_FILTER_DOT 102  /**< 0..1: dot correction of defective pixels. */
#define VELCOR_FILTER_MASK 103 /**< 0..1: flat-field correction with the pixel mask. */
/** Sensor gain mode (this camera: 1 low gain, 0 high gain); get returns -1 when the camera
    cannot tell. Nothing is recorded for either direction. */
#define VELCOR_FILTER_GAIN_MODE 104
/** Short exposure mode, 0/1 (set: any value above 0 switches it on). Reading records the
    success notice 0; a failed access records error 6; error 11 where the camera lacks it. */
#define VELCOR_FILTER_SHORT_EXPOSURE 105
/** Black level in sensor units (this camera: 0..16383). Reading and setting record the success
    notice 0; a failed or refused access records error 6; error 11 where the camera lacks it. */
#define VELCOR_FILTER_BLACK_LEVEL 106
/** @} */

/** @} */

/** @addtogroup files
    @{ */

/** @name Image file formats
    Formats of Velcor_SaveImage(): the number decides the format, never the file name's
    extension. Every format but raw writes the picture upright.
    @{ */
#define VELCOR_FILE_BMP 0 /**< Windows bitmap of the image's depth (8-bit: gray colour table) */
#define VELCOR_FILE_RAW 1 /**< pixel memory as stored: rows top first, padded to 4 bytes */
/** Progressive JPEG, quality 100; 16-64 bits reduced to the high byte of each sample. */
#define VELCOR_FILE_JPEG 2
#define VELCOR_FILE_JPEG70 3 /**< the same, quality 70 */
#define VELCOR_FILE_JPEG20 4 /**< the same, quality 20 */
#define VELCOR_FILE_PNG 5    /**< PNG, 8 or 16 bits per sample; 32 and 64 bits with opaque alpha */
#define VELCOR_FILE_TIFF 6   /**< uncompressed TIFF, 8 or 16 bits per sample, one strip */
/** @} */

/** @} */

/** @addtogroup messages
    @{ */

/** Frame information record; its address is wParam of #VELCOR_WM_FRAME. It lives in the camera
    object until the handle is released and is overwritten by the next frame, without waiting for
    the application: read it when the message arrives. A message still queued after
    Velcor_Release() points to freed memory. */
typedef struct VELCORFRAMEINFO {
    int reserved;     /**< always 0 */
    int width;        /**< pixels, of the frame delivered (the window the capture started with) */
    int height;       /**< pixels */
    int bitsPerPixel; /**< 8, 16, 24, 32, 48 or 64: the colour mode the capture started with */
    int frameRate;    /**< tenths of a frame per second over the last second; 0 in a preview's
                           first second and in trigger mode */
    int padding;      /**< unused */
    /** The application buffer given with the frame window, or null. The frame has been copied
        into it before the message was posted; the next frame overwrites it. */
    unsigned char* image;
} VELCORFRAMEINFO;

/** @} */

/** @addtogroup handles
    @{ */

/** Camera information record of Velcor_GetCameraInfo(). The caller sets size: at least 36 bytes,
    at least 56 (sizeof) for the two exposure bounds in seconds. */
typedef struct VELCORCAMERAINFO {
    int size;                  /**< bytes of the record, set by the caller */
    int maxWidth;              /**< sensor width in pixels (1280) */
    int maxHeight;             /**< sensor height in pixels (1024) */
    int globalGainMin;         /**< smallest global gain, raw sensor units (2) */
    int globalGainMax;         /**< largest global gain (62) */
    int colorGainMin;          /**< smallest colour gain (0: this camera has none) */
    int colorGainMax;          /**< largest colour gain (0) */
    int exposureMin;           /**< shortest exposure, engine units: 100 us (1) */
    int exposureMax;           /**< longest exposure, engine units (20000) */
    int padding;               /**< unused */
    double exposureMinSeconds; /**< shortest exposure in seconds (3.7125e-5); size 56 or more */
    double exposureMaxSeconds; /**< longest exposure in seconds (2.0); size 56 or more */
} VELCORCAMERAINFO;

/* ---- Lifecycle --------------------------------------------------------------------------- */

/** Makes a camera object and its handle, finds the attached cameras and opens the camera when
    exactly one of the product is attached, then loads its stored settings (window, colour mode,
    wait time, gains, exposure, filters).
    @p notifyWindow (may be null) receives #VELCOR_WM_ERROR and the device notifications of
    VelcorWin.h when cameras arrive or leave; if it cannot be registered for them, the start-up
    stops there with nothing recorded and later calls fail. Blocks while a camera is opened.
    @return The handle (never 0), also when the start-up failed (the history says why); 0 only
    when no camera object could be made. */
VELCOR_API int VELCOR_CALL Velcor_Initialize(HWND notifyWindow);
/** Saves the camera's settings, stops preview, trigger mode and recording (the film is
    finished), closes the preview window and the camera, and frees the handle. A snapshot waiting
    on another thread ends first (error 8), and calls waiting for their turn return their empty
    result. A call inside the handle on another thread (a settings dialog that is open, too) is
    waited for; then the camera closes before this returns, so no frame message is posted and no
    buffer written afterwards. Called from inside a call on the same handle and thread (a dialog
    handler), the camera closes as that call returns. Frame messages still queued point to freed
    memory.
    @return 1, or 0 for an unknown handle. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Release(int handle);
/** @return #VELCOR_DLL_VERSION. Needs no handle. */
VELCOR_API int VELCOR_CALL Velcor_GetDllVersion(void);
/** Pops the newest entry of the error history: successive calls return the recorded codes newest
    first, then 0. A 0 before that is the success notice, not the end: the history keeps the
    last 20 entries. Never waits for another call on the handle.
    @return The code (VELCOR_ERR_*), 0 when the history is empty. */
VELCOR_API int VELCOR_CALL Velcor_GetLastError(int handle);
/** Reserved; @p reserved is ignored.
    @return Always 0. */
VELCOR_API int VELCOR_CALL Velcor_GetStatus(int handle, int reserved);

/* ---- Device selection and identity ------------------------------------------------------- */

/** Lists the attached cameras of the product into @p names: 10 slots of 256 bytes, unused slots
    set to empty strings.
    Each name is "VelcorTX40_NN" where NN - 1 is the camera's device number, the index that
    Velcor_SetDeviceNumber() and Velcor_GetDeviceName() take. A camera keeps its device number
    while the library runs, also when it is unplugged, so after an unplug the position of a name in
    the list is not its device number: take the number from the name (atoi(name + 11) - 1).
    Errors: 1 (no engine), 9 (@p names null).
    @return The number of names written (0..10). */
VELCOR_API int VELCOR_CALL Velcor_EnumDevice(int handle, char* names);
/** As Velcor_EnumDevice(), with 10 slots of 256 wide characters. Error 12 when a name cannot be
    converted. */
VELCOR_API int VELCOR_CALL Velcor_EnumDeviceW(int handle, WCHAR* names);
/** Writes the name ("VelcorTX40_NN") of the attached camera with device number @p index
    (0..31) into @p buffer of @p size bytes, which must hold the name and its terminator (14
    bytes). Errors: 1 (no engine), 9 (@p buffer null, @p size 12 or less, or too small), 2
    (@p index out of range or no camera attached at it). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceName(int handle, int index, char* buffer,
                                                        int size);
/** As Velcor_GetDeviceName(); @p size counts wide characters. Error 12 when the name does not
    fit or @p buffer is null. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceNameW(int handle, int index, WCHAR* buffer,
                                                         int size);
/** Opens the camera with device number @p index and applies its stored settings (gains,
    exposure, mirrors, black level, gain mode; the short exposure mode is switched off). The
    settings of the camera open until now are saved first. A capture that runs on the handle
    (preview, capture mode, trigger mode) is stopped first: the handle is idle afterwards, whether
    the camera opened or not. Blocks while the camera is opened.
    Errors: 1 (no engine), 2 (no camera at @p index, or it cannot be opened). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetDeviceNumber(int handle, int index);
/** Fills @p info with the sensor size and the ranges of gain and exposure; the caller sets
    `info->size` (the exposure bounds in seconds need 56). The values come from the open camera.
    Errors: 1 (no engine), 9 (@p info null), 5 (`size` below 36). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCameraInfo(int handle, VELCORCAMERAINFO* info);
/** Reads the serial number from the camera's configuration ROM into @p buffer (at most 31
    characters and a terminator; @p size at least 32). Blocks about 10 ms per character read.
    A blank ROM leaves the buffer unchanged and returns 1. A first ROM read that fails returns 0
    with nothing recorded.
    Errors: 9 (@p buffer null or @p size below 32), 1 (no engine). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberA(int handle, char* buffer, int size);
/** As Velcor_ReadSerialNumberA(); @p size counts wide characters, and a blank ROM gives an empty
    string. Errors: 9 (@p buffer null or @p size not positive), 12 (the number does not fit). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberW(int handle, WCHAR* buffer, int size);

/** @} */

/* ---- Capture, preview, callback, recording and images ------------------------------------ */

/** @addtogroup capture
    @{ */

/** Starts the preview without frame messages or application buffer: in the library's own
    window when one is placed (Velcor_SetPreviewWindow()), frames readable with Velcor_GetImage().
    The default placement counts as placed and the window needs a display (error 4 without one):
    call Velcor_SetPreviewWindow(h, NULL, 0, 0, 0, 0) first for a preview without window.
    Returns 1 while a preview runs already.
    Errors: 1 (no engine), 4 (the window cannot be made). A start that fails records the code of
    Velcor_StartPreview() (1 in capture or trigger mode), then 8, and closes as Velcor_Close()
    does, ending a capture or trigger mode that ran. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Preview(int handle);
/** Starts the preview worker: continuous transfer, every frame converted (and drawn into the
    library's window when one is open). Uses the colour mode and capture window set now. Returns
    1 while a preview runs already.
    Errors: 1 (no engine, or capture or trigger mode), 2 (camera not present), 7 (window out of
    bounds or refused), 5 (no memory for the images), 6 (transfer would not start), 3 (thread). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StartPreview(int handle);
/** Stops preview, capture mode, trigger mode and recording (the film is finished with the frames
    it holds) and returns to idle; the library's window stays. Ends a snapshot's frame wait on
    another thread first. Blocks until the worker and the recorder have ended (at most a frame
    conversion, and the finishing of the film).
    @return 1; 0 with error 1 without engine. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StopPreview(int handle);
/** As Velcor_StopPreview(), and destroys the library's preview window and stops the transfer;
    the images no longer count as holding a frame (Velcor_SaveImage() needs a new one).
    @return 1; 0 with error 1 without engine. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Close(int handle);
/** Enters capture mode: the camera is prepared once and each Velcor_SnapShot() takes one frame
    without stopping the transfer in between. Returns 1 in capture mode already.
    Errors: 1 (no engine, preview or trigger mode), and those of preparing the camera: 2, 7, 5. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Capture(int handle);
/** Takes one frame, converts it and copies it into @p buffer (when @p buffer is not null and
    @p size not 0). @p size is the buffer's length in bytes: at least stride x height of the
    output image (see @ref capture; 1310720 for a full 8-bit frame, 2621440 at 16 bits).
    @p topRowFirst: non-zero gives the buffer top row first, 0 bottom row first (bitmap order).
    When idle the camera is prepared for this frame (colour mode and window as set now) and
    stopped again; in capture mode it stays running. Blocks until the frame arrives: at most the
    frame wait, 3000 ms (6000 ms once trigger mode ran on the handle). The frame is afterwards
    readable with Velcor_GetImage() and Velcor_SaveImage().
    Errors: 1 (no engine, preview or trigger mode), 2, 7, 5 (preparing), 8 (no frame within the
    wait, interrupted by a stop, or read failure), 5 (buffer too small; also posted as
    #VELCOR_WM_FRAME (0, 5) to the frame window of an earlier callback start). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SnapShot(int handle, BYTE* buffer, int size,
                                                   int topRowFirst);
/** Copies the latest converted frame into @p buffer, as Velcor_SnapShot() copies (same sizes and
    row order). While a capture runs it is the frame of the mode the capture started with; when
    idle, the image of the current colour mode. Takes the frame lock: waits at most for the frame
    being converted.
    Errors: 1 (no frame converted since the capture started or since the last close, or no
    image for the mode), 5 (no image made yet, @p buffer null or too small). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetImage(int handle, BYTE* buffer, int size,
                                                   int topRowFirst);
/** Starts the preview as Velcor_Preview() (with the library's window unless placed away: error 4
    without a display) and has the worker copy every frame into @p buffer
    (when not null and @p size not 0; sizes and @p topRowFirst as for Velcor_SnapShot()) and then
    post #VELCOR_WM_FRAME with the #VELCORFRAMEINFO to @p frameWindow (when not null). The worker
    delivers every frame the camera sent, in order, and does not wait for the application: the
    next frame overwrites the buffer and the record. A frame that does not fit posts (0, 5) and
    records error 5 instead, a failed read (0, 8) and error 8; a camera that stops posts (0, 13),
    records error 13 and ends the preview (call Velcor_StopPreview() to return to idle).
    Errors as Velcor_Preview(). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_CallBackPreview(int handle, HWND frameWindow,
                                                          BYTE* buffer, int size, int topRowFirst);
/** Enters trigger mode: each pulse on the camera's trigger input makes one frame, which the
    worker converts, copies into @p buffer and announces with #VELCOR_WM_FRAME to @p frameWindow
    (arguments as Velcor_CallBackPreview(); frame rate 0 in the record), and draws into the
    library's window when one is placed (as for Velcor_Preview()). The first frame is awaited after
   the running exposure has ended (exposure + 100 ms). Returns 1 in trigger mode already. A camera
   that is lost ends trigger mode with (0, 13) and error 13. Errors: 1 (no engine, preview or
   capture mode), 4 (window), 2, 7, 5 (preparing), 3 (thread); a failed start closes the capture. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Trigger(int handle, HWND frameWindow, BYTE* buffer,
                                                  int size, int topRowFirst);
/** Places the library's preview window for the next start that opens one: a child of @p parent
    (an application window, on Linux from VelcorWin_FromX11Window()) at @p x, @p y of @p width x
    @p height pixels; with a null parent a top-level window centred on the screen whose client
    area is the capture size. A null parent and four zeros mean no window. The picture is scaled
    to the window (nearest neighbour) and drawn from the worker. Default: null, 0, 0, 1280, 1024.
    Errors: 1 (no engine). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetPreviewWindow(int handle, HWND parent, int x, int y,
                                                           int width, int height);

/** @} */

/** @addtogroup files
    @{ */

/** Starts the preview (no frame messages) and records its frames into an uncompressed AVI file
    at @p path, 24 bits per pixel, for @p durationMs milliseconds from the first frame on (0
    records two frames); the recorder looks for a new frame every 10 ms. The file is finished with
    the frame rate measured. @p showWindow non-zero opens the placed preview window. The recording
    ends early, with its file finished, when the preview stops or the camera is lost, and with
    error 12 on a full disk or at the largest size AVI carries. A preview that runs already is
    recorded as it runs; a callback preview keeps its frame messages and buffer. Returns at once.
    Errors: 1 (no engine), 9 (@p path null or empty), 12 (a recording runs already, or the preview
    or the file cannot start), 4 (window), 3 (thread). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Record(int handle, const char* path, int durationMs,
                                                 int showWindow);
/** As Velcor_Record() with a wide path; error 12 when it cannot be converted. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_RecordW(int handle, const WCHAR* path, int durationMs,
                                                  int showWindow);
/** Writes the latest converted frame (of the current capture's colour mode, or when idle of the
    current colour mode) to @p path in @p format (VELCOR_FILE_*). Waits at most for the frame
    being converted. A failed write removes the file and returns 0 with nothing recorded; so does
    an unknown format.
    Errors: 1 (no engine, no frame since the capture started or since the last close, or no image
    for the mode). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImage(int handle, const char* path, int format);
/** As Velcor_SaveImage() with a wide path; error 12 when it cannot be converted. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImageW(int handle, const WCHAR* path, int format);

/** @} */

/* ---- Image geometry and format ----------------------------------------------------------- */

/** @addtogroup settings
    @{ */

/** @return Capture width in pixels as set (applies at the next capture start; the frames of a
    running capture keep their size, see VELCORFRAMEINFO::width). */
VELCOR_API int VELCOR_CALL Velcor_Width(int handle);
/** @return Capture height in pixels as set. */
VELCOR_API int VELCOR_CALL Velcor_Height(int handle);
/** @return The colour mode as set, in bits per pixel: 8, 16, 24, 32, 48 or 64; -1 for an
    unknown handle. */
VELCOR_API int VELCOR_CALL Velcor_GetColorMode(int handle);
/** Sets the output depth in bits per pixel. This monochrome camera delivers 8 (gray bytes) and
    16 (12-bit samples in 16-bit words); 24, 32, 48 and 64 serve colour cameras. Before a camera
    has been opened only 16 is taken. Takes effect at the next capture start: a running capture
    keeps the mode it started with. Stored with the camera's settings.
    Errors: 9 (another value, or one the camera cannot deliver). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorMode(int handle, int bits);
/** @return Sub-sampling mode: always 0 (this camera does not sub-sample); -1 for an unknown
    handle. */
VELCOR_API int VELCOR_CALL Velcor_GetSubSample(int handle);
/** Only 0 is accepted; other values return 0 and record nothing. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSubSample(int handle, int mode);
/** Applies the stored size preset of @p width x @p height pixels (its start, size and totals).
    A preset outside the sensor fails with error 7; the whole sensor is applied in its place.
    Takes effect at once when idle, else at the next capture start.
    Errors: 1 (no engine), 4 (no such preset). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindow(int handle, int width, int height);
/** Sets the part of the sensor a capture reads, in pixels: @p xStart, @p width across and
    @p yStart, @p height down, inside 1280 x 1024; the totals are stored, not used. This camera
    reads whole rows: @p width must be 1280. Takes effect at once when idle, else at the next
    capture start: a running capture keeps the window it started with. Values out of bounds are
    kept as given (Velcor_GetCaptureWindowEx() returns them) and the next capture start fails with
    error 7. Errors: 1 (no engine), 9 (a width the sensor cannot window), 7 (outside the sensor). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindowEx(int handle, int totalWidth, int xStart,
                                                             int width, int totalHeight, int yStart,
                                                             int height);
/** Writes the capture window as set through each pointer that is not null.
    @return 1. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCaptureWindowEx(int handle, int* totalWidth,
                                                             int* xStart, int* width,
                                                             int* totalHeight, int* yStart,
                                                             int* height);
/** @return The preview loop's pause before each frame wait, in milliseconds (default 10); -1
    for an unknown handle. */
VELCOR_API int VELCOR_CALL Velcor_GetWaitTime(int handle);
/** Pause of the preview loop before each frame wait, in milliseconds, taken at once; stored with
    the camera's settings. Negative values return 0 and record nothing. Stopping the preview ends
    a pause in progress. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetWaitTime(int handle, int milliseconds);
/** Mirrors the picture left to right (@p on non-zero) at once, in the sensor; stored with the
    camera's settings. Errors: 1 (no engine). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorH(int handle, int on);
/** Mirrors the picture top to bottom (@p on non-zero) at once, in the sensor; stored with the
    camera's settings. Without engine it posts error 1 without recording it. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorV(int handle, int on);
/** @return The horizontal mirror flag, 0 or 1; 0 with error 1 without engine. */
VELCOR_API int VELCOR_CALL Velcor_GetMirrorH(int handle);
/** @return The vertical mirror flag, 0 or 1; 0 without engine, with error 1 posted, not
    recorded. */
VELCOR_API int VELCOR_CALL Velcor_GetMirrorV(int handle);

/* ---- Exposure, temperature and sensor extras --------------------------------------------- */

/** Reads the exposure from the camera. @p ok (may be null) receives 1 or 0.
    @return Seconds; -1.0 on failure: errors 1 (no engine), 11 (the camera takes no seconds), or
    a failed read with nothing recorded. */
VELCOR_API double VELCOR_CALL Velcor_GetExposureTimeEx(int handle, int* ok);
/** Sets the exposure in seconds, at once; the camera rounds it to whole sensor lines (about
    36 us) and takes at least its shortest exposure (exposureMinSeconds of
    Velcor_GetCameraInfo(), 37.125 us). The value in units of 100 us becomes seconds x 10000,
    truncated. Stored with the camera's settings. A refusal of the camera returns 0 with nothing
    recorded.
    Errors: 1 (no engine), 11 (the camera takes no seconds), 9 (a time that is negative, not
    finite or longer than the camera's longest exposure, exposureMaxSeconds: 2 s). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetExposureTimeEx(int handle, double seconds);
/** @return The exposure in microseconds: the exposure in units of 100 us as set, x 100. @p ok
    (may be null) receives 1, or 0 with error 1 without engine. */
VELCOR_API int VELCOR_CALL Velcor_GetRealExposureTime(int handle, int* ok);
/** Sets the exposure in @p microseconds, truncated to units of 100 us, which must lie in the
    camera's range (100 us to 2 s on this camera); applied as #VELCOR_FILTER_EXPOSURE.
    Errors: 1 (no engine), 9 (out of range), 6 (refused by the camera). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetRealExposureTime(int handle, int microseconds);
/** Reads the sensor temperature. On success records and posts the success notice 0, which sits
    in the history above earlier errors. @p ok (may be null) receives 1 or 0.
    @return Degrees Celsius; 0.0 on failure: errors 1 (no engine), 11 (no temperature sensor),
    12 (the read failed). */
VELCOR_API double VELCOR_CALL Velcor_GetTemperatureEx(int handle, int* ok);
/** Passes a sampling rate to cameras that take one. Nothing is recorded, also without engine.
    @return The camera's answer: 0 on this camera, which has no sampling rate. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSamplingRate(int handle, int rate);
/** Sets `*ok` to 1 when @p ok is not null. Needs no engine.
    @return The automatic exposure mode: 0 off, 1 exposure, 2 gain. */
VELCOR_API int VELCOR_CALL Velcor_GetAutoIris(int handle, int* ok);
/** Automatic exposure, run on every converted frame before anything else: 0 off, 1 adjusts the
    exposure, 2 the global gain, to bring five sample areas of the picture (centre and four
    corners) to mid-level (means 100..160 of 255); small corrections are left alone. Stored with
    the camera's settings; needs no engine. Another mode posts error 9 without recording it and
    returns 0. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAutoIris(int handle, int mode);

/** @} */

/* ---- Registers, ROM, IO port and configuration ------------------------------------------- */

/** @addtogroup settings
    @{ */

/** Reads FPGA register @p address (low 8 bits used). @p ok (may be null) receives 1 or 0.
    @return The register value; 0 on failure: errors 1 (no engine), 6 (access failed). */
VELCOR_API int VELCOR_CALL Velcor_Fpga_ReadRegister(int handle, int address, int* ok);
/** Writes the low 8 bits of @p value to FPGA register @p address (low 8 bits used).
    Errors: 1 (no engine), 6 (access failed). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Fpga_WriteRegister(int handle, int address, int value);
/** Reads sensor register @p address (low 8 bits used; Velcor_ReadRegisterEx() reaches the
    ROZE9701's registers above 255). @p ok (may be null) receives 1 or 0.
    @return The register byte; 0 on failure: errors 1 (no engine), 6 (access failed). */
VELCOR_API int VELCOR_CALL Velcor_ReadRegister(int handle, int address, int* ok);
/** As Velcor_ReadRegister() with the whole address (ROZE9701: 0..0x1FF). */
VELCOR_API int VELCOR_CALL Velcor_ReadRegisterEx(int handle, int address, int* ok);
/** Writes sensor register @p address (low 8 bits) with @p value (low 16 bits; the sensor's
    registers take a byte). Changing registers the library also drives (gain, exposure, window,
    mirrors) leaves its stored values behind. Errors: 1 (no engine), 6 (access failed). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegister(int handle, int address, int value);
/** As Velcor_WriteRegister() with the whole address and value. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegisterEx(int handle, int address, int value);
/** Reads one byte of the configuration ROM at @p address (low 12 bits used). @p ok (may be null)
    receives 1 or 0. A failed read, or no engine, posts error 1 without recording it.
    @return The byte, or 0. */
VELCOR_API int VELCOR_CALL Velcor_ReadSromID(int handle, int address, int* ok);
/** Writes the byte @p value (low 8 bits) to the configuration ROM at @p address (low 12 bits),
    then reads it back, writing again up to 10 times until it reads back as written. Blocks for
    the ROM's writes. A write that never reads back, a failed first write or no engine returns 0
    and posts error 1 without recording it. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteSromID(int handle, int address, int value);
/** Reads the camera's digital I/O port (FPGA register 7) into @p value. @p value null or a
    failed read posts error 9, no engine posts error 1; neither is recorded. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetIOPort(int handle, BYTE* value);
/** Writes the camera's digital I/O port (FPGA register 7).
    @return The camera's answer; a failure records nothing. No engine posts error 1 without
    recording it. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetIOPort(int handle, BYTE value);

/** @} */

/** @addtogroup files
    @{ */

/** Loads a configuration file: little-endian 32-bit integer pairs; trailing bytes are ignored.
    It replaces the handle's configuration list and answers 1. 0, with no error recorded and the
    list kept as it was, when the file cannot be opened, is not a regular file (a directory,
    FIFO, socket or device) or is larger than 1 MiB (1048576 bytes, 131072 pairs). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileA(int handle, const char* path);
/** As Velcor_LoadConfigFileA() with a wide path; error 12 for a path it cannot convert. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileW(int handle, const WCHAR* path);

/** @} */

/* ---- Settings dialogs -------------------------------------------------------------------- */

/** @addtogroup dialogs
    @{ */

/** Shows the camera dialog over @p parent (may be null): stream format (colour mode) and capture
    window. A running preview or capture mode stops for the dialog and starts again afterwards
    with the new settings; trigger mode pauses. OK stores the settings.
    @return 1 when the dialog ran (OK or cancel); 0 with error 1 (no engine) or 4 (cannot be
    shown). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCameraDlg(int handle, HWND parent);
/** Shows the analog dialog over @p parent: gain, exposure, mirrors, black level, gain mode and
    short exposure mode, applied while the user changes them; automatic exposure updates it while
    it is open. Any end but OK restores the values read when it opened.
    @return As Velcor_SetCameraDlg(). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAnalogDlg(int handle, HWND parent);
/** Shows the image dialog over @p parent: the image adjustments that apply to the current colour
    mode. Any end but OK restores the values read when it opened.
    @return As Velcor_SetCameraDlg(). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetImageDlg(int handle, HWND parent);

/** @} */

/* ---- Pixel mask -------------------------------------------------------------------------- */

/** @addtogroup defects
    @{ */

/** Loads the four reference planes from a mask file (7864360 bytes: the text "MONIVA MASK1000",
    the plane size 1280 x 1024, then the 8-bit dark and bright and the 16-bit dark and bright
    planes, rows top first). The whole file is checked before the mask changes: a short, long or
    damaged file leaves it as it was. Errors: 1 (no engine), 14 (cannot be read, or not a mask
    file). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFile(int handle, const char* path);
/** As Velcor_LoadMaskFile() with a wide path; error 12 when it cannot be converted. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFileW(int handle, const WCHAR* path);
/** Writes the four reference planes to a mask file that Velcor_LoadMaskFile() reads.
    Errors: 1 (no engine), 14 (cannot be created or written). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFile(int handle, const char* path);
/** As Velcor_SaveMaskFile() with a wide path; error 12 when it cannot be converted. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFileW(int handle, const WCHAR* path);
/** Takes the latest raw frame as a reference of its depth: @p kind 0 the dark reference (lens
    capped; pixels above 3/4 of full scale count as hot), 1 the bright one (evenly lit; pixels
    below 1/4 count as dead). The frame must cover the whole sensor (1280 x 1024) and be taken
    first (snapshot or preview) in colour mode 8 or 16, which chooses the depth; take each kind in
    both modes to correct both. Waits at most for the frame being converted.
    Errors: 1 (no engine), 12 (an unknown kind, no frame yet, or a windowed frame). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_UpdateMaskData(int handle, int kind);

/** @} */

/* ---- Filter values ----------------------------------------------------------------------- */

/** @addtogroup adjust
    @{ */

/** Reads the filter value @p id (VELCOR_FILTER_*); @p ok (may be null) receives 1, or 0 when
    the read fails.
    @return The value; 0 on failure (-1 for the Peltier cooler and the temperature). Errors: 1
    (no engine), 9 (unknown id, or #VELCOR_FILTER_AUTO_GRAY_BALANCE), 11 and 6 as the
    identifiers say. Reading #VELCOR_FILTER_SHORT_EXPOSURE or #VELCOR_FILTER_BLACK_LEVEL records
    the success notice 0. */
VELCOR_API int VELCOR_CALL Velcor_GetFilterValue(int handle, int id, int* ok);
/** Sets the filter value @p id (VELCOR_FILTER_*) to @p value, within the range its identifier
    gives; values held by the camera object apply from the next converted frame, camera values at
    once. Stored with the camera's settings.
    Errors: 1 (no engine), 9 (unknown id or value out of range; the stored value stays), 6 (the
    camera refused it; the stored value stays), 11 (the camera lacks it). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetFilterValue(int handle, int id, int value);

/** #VELCOR_FILTER_BRIGHTNESS. */
VELCOR_API int VELCOR_CALL Velcor_GetBrightness(int handle, int* ok);
/** #VELCOR_FILTER_BRIGHTNESS: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBrightness(int handle, int value);
/** #VELCOR_FILTER_CONTRAST. */
VELCOR_API int VELCOR_CALL Velcor_GetContrast(int handle, int* ok);
/** #VELCOR_FILTER_CONTRAST: -127..127. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetContrast(int handle, int value);
/** #VELCOR_FILTER_HUE. */
VELCOR_API int VELCOR_CALL Velcor_GetHue(int handle, int* ok);
/** #VELCOR_FILTER_HUE: -360..360 degrees. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetHue(int handle, int value);
/** #VELCOR_FILTER_SATURATION. */
VELCOR_API int VELCOR_CALL Velcor_GetSaturation(int handle, int* ok);
/** #VELCOR_FILTER_SATURATION: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSaturation(int handle, int value);
/** #VELCOR_FILTER_SHARPNESS. */
VELCOR_API int VELCOR_CALL Velcor_GetSharpness(int handle, int* ok);
/** #VELCOR_FILTER_SHARPNESS: 0..30. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSharpness(int handle, int value);
/** #VELCOR_FILTER_BAYER_GAIN_RGB: the three Bayer gains packed, each cut to 8 bits. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainRGB(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_GAIN_RGB: red + 256 x green + 65536 x blue, each 0..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainRGB(int handle, int value);
/** #VELCOR_FILTER_BAYER_GAIN_RED. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainRed(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_GAIN_RED: 0..400, 100 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainRed(int handle, int value);
/** #VELCOR_FILTER_BAYER_GAIN_GREEN. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainGreen(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_GAIN_GREEN: 0..400, 100 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainGreen(int handle, int value);
/** #VELCOR_FILTER_BAYER_GAIN_BLUE. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainBlue(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_GAIN_BLUE: 0..400, 100 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainBlue(int handle, int value);
/** #VELCOR_FILTER_BAYER_GAIN_AUTO: 0 or 1. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainAuto(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_GAIN_AUTO: any value, stored as 0/1. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainAuto(int handle, int value);
/** #VELCOR_FILTER_GAMMA. */
VELCOR_API int VELCOR_CALL Velcor_GetGamma(int handle, int* ok);
/** #VELCOR_FILTER_GAMMA: 0..200, 100 neutral. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGamma(int handle, int value);
/** #VELCOR_FILTER_BAYER_MODE. */
VELCOR_API int VELCOR_CALL Velcor_GetBayerMode(int handle, int* ok);
/** #VELCOR_FILTER_BAYER_MODE: 0..3. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerMode(int handle, int value);

/** @} */

/** @addtogroup settings
    @{ */

/** #VELCOR_FILTER_GLOBAL_GAIN: the camera's current gain, raw sensor units. */
VELCOR_API int VELCOR_CALL Velcor_GetGlobalGain(int handle, int* ok);
/** #VELCOR_FILTER_GLOBAL_GAIN: raw sensor units within the camera's range (2..62), at once. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGlobalGain(int handle, int value);
/** #VELCOR_FILTER_COLOR_GAIN_RED. */
VELCOR_API int VELCOR_CALL Velcor_GetColorGainRed(int handle, int* ok);
/** #VELCOR_FILTER_COLOR_GAIN_RED (colour sensors only). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainRed(int handle, int value);
/** #VELCOR_FILTER_COLOR_GAIN_GREEN1. */
VELCOR_API int VELCOR_CALL Velcor_GetColorGainGreen1(int handle, int* ok);
/** #VELCOR_FILTER_COLOR_GAIN_GREEN1 (colour sensors only). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainGreen1(int handle, int value);
/** #VELCOR_FILTER_COLOR_GAIN_GREEN2. */
VELCOR_API int VELCOR_CALL Velcor_GetColorGainGreen2(int handle, int* ok);
/** #VELCOR_FILTER_COLOR_GAIN_GREEN2 (colour sensors only). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainGreen2(int handle, int value);
/** #VELCOR_FILTER_COLOR_GAIN_BLUE. */
VELCOR_API int VELCOR_CALL Velcor_GetColorGainBlue(int handle, int* ok);
/** #VELCOR_FILTER_COLOR_GAIN_BLUE (colour sensors only). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainBlue(int handle, int value);
/** #VELCOR_FILTER_EXPOSURE: the camera's current exposure in units of 100 us. */
VELCOR_API int VELCOR_CALL Velcor_GetExposureTime(int handle, int* ok);
/** #VELCOR_FILTER_EXPOSURE: units of 100 us within the camera's range (1..20000), at once. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetExposureTime(int handle, int value);

/** @} */

/** @addtogroup adjust
    @{ */

/** #VELCOR_FILTER_GRAY_MODE. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayMode(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_MODE: 0..2. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayMode(int handle, int value);
/** #VELCOR_FILTER_GRAY_GAIN_R. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainR(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_GAIN_R: 0..255, 128 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainR(int handle, int value);
/** #VELCOR_FILTER_GRAY_GAIN_G1. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainG1(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_GAIN_G1: 0..255, 128 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainG1(int handle, int value);
/** #VELCOR_FILTER_GRAY_GAIN_G2. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainG2(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_GAIN_G2: 0..255, 128 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainG2(int handle, int value);
/** #VELCOR_FILTER_GRAY_GAIN_B. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainB(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_GAIN_B: 0..255, 128 = unity. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainB(int handle, int value);
/** #VELCOR_FILTER_GRAY_OFFSET_R. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetR(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_OFFSET_R: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetR(int handle, int value);
/** #VELCOR_FILTER_GRAY_OFFSET_G1. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetG1(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_OFFSET_G1: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetG1(int handle, int value);
/** #VELCOR_FILTER_GRAY_OFFSET_G2. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetG2(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_OFFSET_G2: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetG2(int handle, int value);
/** #VELCOR_FILTER_GRAY_OFFSET_B. */
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetB(int handle, int* ok);
/** #VELCOR_FILTER_GRAY_OFFSET_B: -255..255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetB(int handle, int value);

/** @} */

/** @addtogroup settings
    @{ */

/** #VELCOR_FILTER_PELTIER: this camera has no cooler (error 11, returns -1). */
VELCOR_API int VELCOR_CALL Velcor_GetPeltier(int handle, int* ok);
/** #VELCOR_FILTER_PELTIER: this camera has no cooler (error 11). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetPeltier(int handle, int value);
/** Not supported: records error 11, clears `*ok` and returns -1. Use Velcor_GetTemperatureEx(). */
VELCOR_API int VELCOR_CALL Velcor_GetTemperature(int handle, int* ok);

/** @} */

/** @addtogroup defects
    @{ */

/** #VELCOR_FILTER_DOT: 0 or 1. */
VELCOR_API int VELCOR_CALL Velcor_GetDotFilter(int handle, int* ok);
/** #VELCOR_FILTER_DOT: 1 replaces hot and dead pixels of the mask and pixels that differ from
    the mean of their four neighbours by 30 or more (8 bits; 480 at 16 bits) with the mean of the
    nearest good pixels. 0..1. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetDotFilter(int handle, int value);
/** #VELCOR_FILTER_MASK: 0 or 1. */
VELCOR_API int VELCOR_CALL Velcor_GetMaskFilter(int handle, int* ok);
/** #VELCOR_FILTER_MASK: 1 scales every pixel between its dark (0) and bright (full scale)
    reference. At 16 bits the corrected samples come out with 12 significant bits in the top of
    the word (x 16). An empty mask changes nothing. 0..1. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMaskFilter(int handle, int value);

/** @} */

/** @addtogroup adjust
    @{ */

/** Channel gains (@p type 1..4) are not supported: records error 9, clears `*ok` and returns 0.
    Another type returns 0 at once, recording nothing. */
VELCOR_API int VELCOR_CALL Velcor_GetChannelGain(int handle, int type, int* ok);
/** Not supported: @p type 1..4 records error 9; another type returns 0 at once. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelGain(int handle, int type, int value);
/** Channel offsets: not supported, as Velcor_GetChannelGain(). */
VELCOR_API int VELCOR_CALL Velcor_GetChannelOffset(int handle, int type, int* ok);
/** Not supported, as Velcor_SetChannelGain(). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelOffset(int handle, int type, int value);

/** @} */

/* ---- Not supported by this camera -------------------------------------------------------- */

/** @addtogroup capture
    @{ */

/** Not supported: posts error 11 (without recording it) and returns 0. The frame rate comes
    with each frame in VELCORFRAMEINFO::frameRate. */
VELCOR_API int VELCOR_CALL Velcor_Fps(int handle);

/** @} */

/** @addtogroup settings
    @{ */

/** Not supported: posts error 11 (without recording it) and returns 0. */
VELCOR_API int VELCOR_CALL Velcor_GetHalfClock(int handle, int* ok);
/** Not supported: posts error 11 (without recording it) and returns 0. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetHalfClock(int handle, int value);
/** Not supported: posts error 11 (without recording it) and returns 0. */
VELCOR_API int VELCOR_CALL Velcor_GetInternalCorrection(int handle, int* ok);
/** Not supported: posts error 11 (without recording it) and returns 0. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetInternalCorrection(int handle, int value);
/** Not supported: posts error 11 (without recording it) and returns 0. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCrossbar(int handle, int input, int output);
/** Not supported: writes 0 through @p rate (when not null) and returns 0, recording nothing. */
VELCOR_API int VELCOR_CALL Velcor_GetSamplingRate(int handle, int* rate);
/** Not supported: writes 0 through @p format (when not null) and returns 0, recording nothing. */
VELCOR_API int VELCOR_CALL Velcor_GetVideoFormat(int handle, int* format);
/** Not supported (no text channel on this camera): records error 11 and returns 0. */
VELCOR_API int VELCOR_CALL Velcor_SendText(int handle, const char* text, int length);
/** Not supported: records error 11 and returns 0. */
VELCOR_API int VELCOR_CALL Velcor_ReceiveText(int handle, char* buffer, int length);
/** Not supported: records error 11 and returns -1. */
VELCOR_API int VELCOR_CALL Velcor_GetConfigFilter(int handle);
/** Not supported: records error 11 and returns -1. */
VELCOR_API int VELCOR_CALL Velcor_SetConfigFilter(int handle, int value);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_SDK_H */
