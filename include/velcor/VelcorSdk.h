/*
 * VelcorSdk_TX40: C API for Velcor USB 3 cameras (product id 0x32C0, ROZE9701 sensor).
 *
 * Every function except Velcor_Initialize and Velcor_GetDllVersion takes a camera handle made
 * by Velcor_Initialize. An unknown or released handle is never an error: the function returns
 * its empty result (0; -1 for Velcor_GetColorMode, Velcor_GetSubSample and Velcor_GetWaitTime;
 * 0.0 for Velcor_GetExposureTimeEx and Velcor_GetTemperatureEx) and records nothing.
 *
 * Results: VELCOR_BOOL results are 1 for success and 0 for failure. The reason of a failure is
 * pushed onto the camera's 20-entry error history (read it with Velcor_GetLastError) and posted as
 * VELCOR_WM_ERROR (lParam = code) to the notification window given to Velcor_Initialize.
 * A few failures are only posted, not recorded; the notes below name them.
 *
 * Threads: every function may be called from any thread at any time, also several at once on
 * one handle: calls on one handle take turns (a call waits while another one on the same handle
 * runs, at most for a snapshot's frame wait). Velcor_StopPreview, Velcor_Close and
 * Velcor_Release end a snapshot that another thread is waiting in (it fails with error 8)
 * before they take their turn. After Velcor_Release, calls still waiting for their turn on the
 * handle return their empty result; the camera object goes when the last of them returns.
 * Velcor_GetLastError never waits for another call.
 */
#ifndef VELCOR_SDK_H
#define VELCOR_SDK_H

#include "VelcorErrors.h"
#include "VelcorTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Value of Velcor_GetDllVersion. */
#define VELCOR_DLL_VERSION 0x021B0521

/* Messages posted by the library (WM_APP + 2, WM_APP + 3). */
#define VELCOR_WM_FRAME 0x8002 /* wParam: VELCORFRAMEINFO*, or 0 with lParam = error 5, 8, 13 */
#define VELCOR_WM_ERROR 0x8003 /* wParam: 0, lParam: error code */

/* Error codes of the history and of VELCOR_WM_ERROR (VELCOR_ERR_*) and their meanings
   (VelcorErrorText): VelcorErrors.h. */

/* Filter identifiers of Velcor_GetFilterValue / Velcor_SetFilterValue. */
#define VELCOR_FILTER_BRIGHTNESS 1     /* -255..255 */
#define VELCOR_FILTER_CONTRAST 2       /* -127..127 */
#define VELCOR_FILTER_HUE 3            /* -360..360 */
#define VELCOR_FILTER_SATURATION 4     /* -255..255 */
#define VELCOR_FILTER_SHARPNESS 5      /* 0..30 */
#define VELCOR_FILTER_BAYER_GAIN_RGB 6 /* red bits 0-7, green 8-15, blue 16-23 */
#define VELCOR_FILTER_BAYER_GAIN_RED 7 /* 0..400, 100 = unity */
#define VELCOR_FILTER_BAYER_GAIN_GREEN 8
#define VELCOR_FILTER_BAYER_GAIN_BLUE 9
#define VELCOR_FILTER_BAYER_GAIN_AUTO 10 /* 0/1 */
#define VELCOR_FILTER_GAMMA 11           /* 0..200 */
#define VELCOR_FILTER_BAYER_MODE 12      /* 0..3 */
#define VELCOR_FILTER_GLOBAL_GAIN 13     /* camera gain range */
#define VELCOR_FILTER_COLOR_GAIN_RED 14
#define VELCOR_FILTER_COLOR_GAIN_GREEN1 15
#define VELCOR_FILTER_COLOR_GAIN_GREEN2 16
#define VELCOR_FILTER_COLOR_GAIN_BLUE 17
#define VELCOR_FILTER_EXPOSURE 18    /* camera exposure range, units of 100 us */
#define VELCOR_FILTER_GRAY_MODE 19   /* 0..2 */
#define VELCOR_FILTER_GRAY_GAIN_R 20 /* 0..255, 128 = unity */
#define VELCOR_FILTER_GRAY_GAIN_G1 21
#define VELCOR_FILTER_GRAY_GAIN_G2 22
#define VELCOR_FILTER_GRAY_GAIN_B 23
#define VELCOR_FILTER_GRAY_OFFSET_R 24 /* -255..255 */
#define VELCOR_FILTER_GRAY_OFFSET_G1 25
#define VELCOR_FILTER_GRAY_OFFSET_G2 26
#define VELCOR_FILTER_GRAY_OFFSET_B 27
#define VELCOR_FILTER_AUTO_GRAY_BALANCE 28 /* set 1: balance the next converted frame */
#define VELCOR_FILTER_PELTIER 100
#define VELCOR_FILTER_TEMPERATURE 101
#define VELCOR_FILTER_DOT 102  /* 0/1 */
#define VELCOR_FILTER_MASK 103 /* 0/1, defect correction */
#define VELCOR_FILTER_GAIN_MODE 104
#define VELCOR_FILTER_SHORT_EXPOSURE 105
#define VELCOR_FILTER_BLACK_LEVEL 106

/* Image file formats of Velcor_SaveImage: the number decides the format, never the file name's
   extension. Every format but raw writes the picture upright. */
#define VELCOR_FILE_BMP 0    /* Windows bitmap of the image's depth (8-bit: gray colour table) */
#define VELCOR_FILE_RAW 1    /* pixel memory as stored: rows top first, padded to 4 bytes */
#define VELCOR_FILE_JPEG 2   /* progressive JPEG, quality 100; 16-64 bits reduced to 8 per sample */
#define VELCOR_FILE_JPEG70 3 /* the same, quality 70 */
#define VELCOR_FILE_JPEG20 4 /* the same, quality 20 */
#define VELCOR_FILE_PNG 5    /* PNG, 8 or 16 bits per sample; 32 and 64 bits with opaque alpha */
#define VELCOR_FILE_TIFF 6   /* uncompressed TIFF, 8 or 16 bits per sample, one strip */

/* Frame information record; its address is wParam of VELCOR_WM_FRAME. It lives in the camera
   object until the handle is released and is overwritten by the next frame. */
typedef struct VELCORFRAMEINFO {
    int reserved;     /* always 0 */
    int width;        /* pixels */
    int height;       /* pixels */
    int bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
    int frameRate;    /* tenths of a frame per second; 0 in trigger mode */
    int padding;
    unsigned char* image; /* the application buffer given with the frame window, or null */
} VELCORFRAMEINFO;

/* Camera information record of Velcor_GetCameraInfo. The caller sets size: at least 36 bytes,
   at least 56 for the two exposure bounds in seconds. */
typedef struct VELCORCAMERAINFO {
    int size;
    int maxWidth;
    int maxHeight;
    int globalGainMin;
    int globalGainMax;
    int colorGainMin;
    int colorGainMax;
    int exposureMin; /* engine units: 100 us */
    int exposureMax;
    int padding;
    double exposureMinSeconds;
    double exposureMaxSeconds;
} VELCORCAMERAINFO;

/* ---- Lifecycle --------------------------------------------------------------------------- */

/* Makes a camera object and opens the camera when exactly one is attached. notifyWindow (may be
   null) receives VELCOR_WM_ERROR. Returns the handle (never 0), or 0 when no object could be
   made. A failed initialisation still returns a handle; its history says why. */
VELCOR_API int VELCOR_CALL Velcor_Initialize(HWND notifyWindow);
/* Saves the settings, stops every thread, closes the camera, frees the handle. 1, or 0 for an
   unknown handle. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Release(int handle);
/* VELCOR_DLL_VERSION. */
VELCOR_API int VELCOR_CALL Velcor_GetDllVersion(void);
/* Pops the newest error code of the history; 0 when it is empty. */
VELCOR_API int VELCOR_CALL Velcor_GetLastError(int handle);
/* Always 0. */
VELCOR_API int VELCOR_CALL Velcor_GetStatus(int handle, int reserved);

/* ---- Device selection and identity ------------------------------------------------------- */

/* names: 10 slots of 256 bytes. Returns the number of attached cameras named (at most 10).
   Each name is "VelcorTX40_NN" where NN - 1 is the camera's device number, the index that
   Velcor_SetDeviceNumber and Velcor_GetDeviceName take. A camera keeps its device number while
   the library runs, also when it is unplugged, so after an unplug the position of a name in
   the list is not its device number: take the number from the name (atoi(name + 11) - 1). */
VELCOR_API int VELCOR_CALL Velcor_EnumDevice(int handle, char* names);
/* names: 10 slots of 256 wide characters. */
VELCOR_API int VELCOR_CALL Velcor_EnumDeviceW(int handle, WCHAR* names);
/* size must exceed 12 (error 9); index 0..31 of an attached camera (else error 2). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceName(int handle, int index, char* buffer,
                                                        int size);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetDeviceNameW(int handle, int index, WCHAR* buffer,
                                                         int size);
/* Opens the camera at index and applies the stored settings (errors 1, 2). A capture that runs
   on the handle (preview, capture mode, trigger mode) is stopped first: the handle is idle
   afterwards, whether the camera opened or not. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetDeviceNumber(int handle, int index);
/* Errors 1, 9 (null), 5 (size below 36). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCameraInfo(int handle, VELCORCAMERAINFO* info);
/* size at least 32 (error 9). A blank ROM leaves the buffer unchanged and returns 1. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberA(int handle, char* buffer, int size);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_ReadSerialNumberW(int handle, WCHAR* buffer, int size);

/* ---- Capture, preview, callback, recording and images ------------------------------------ */

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Preview(int handle);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StartPreview(int handle);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_StopPreview(int handle);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Close(int handle);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Capture(int handle);
/* topRowFirst: non-zero gives the buffer top row first, 0 bottom row first (bitmap order). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SnapShot(int handle, BYTE* buffer, int size,
                                                   int topRowFirst);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetImage(int handle, BYTE* buffer, int size,
                                                   int topRowFirst);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_CallBackPreview(int handle, HWND frameWindow,
                                                          BYTE* buffer, int size, int topRowFirst);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Trigger(int handle, HWND frameWindow, BYTE* buffer,
                                                  int size, int topRowFirst);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetPreviewWindow(int handle, HWND parent, int x, int y,
                                                           int width, int height);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Record(int handle, const char* path, int durationMs,
                                                 int showWindow);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_RecordW(int handle, const WCHAR* path, int durationMs,
                                                  int showWindow);
/* format: VELCOR_FILE_*. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImage(int handle, const char* path, int format);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveImageW(int handle, const WCHAR* path, int format);

/* ---- Image geometry and format ----------------------------------------------------------- */

VELCOR_API int VELCOR_CALL Velcor_Width(int handle);
VELCOR_API int VELCOR_CALL Velcor_Height(int handle);
/* 8, 16, 24, 32, 48 or 64; -1 for an unknown handle. */
VELCOR_API int VELCOR_CALL Velcor_GetColorMode(int handle);
/* Error 9 for another value or one the camera cannot deliver (this camera: 8 and 16). Takes
   effect at the next capture start: a running capture keeps the mode it started with. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorMode(int handle, int bits);
VELCOR_API int VELCOR_CALL Velcor_GetSubSample(int handle);
/* Only 0 is accepted; other values return 0 and record nothing. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSubSample(int handle, int mode);
/* Applies the stored size preset width x height (error 4 when there is none). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindow(int handle, int width, int height);
/* Error 9 for a size the sensor cannot window, error 7 for a window outside 1280 x 1024. Takes
   effect at once when idle, else at the next capture start: a running capture keeps the window
   it started with. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCaptureWindowEx(int handle, int totalWidth, int xStart,
                                                             int width, int totalHeight, int yStart,
                                                             int height);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetCaptureWindowEx(int handle, int* totalWidth,
                                                             int* xStart, int* width,
                                                             int* totalHeight, int* yStart,
                                                             int* height);
VELCOR_API int VELCOR_CALL Velcor_GetWaitTime(int handle);
/* Pause of the preview loop; negative values return 0 and record nothing. Stopping the preview
   ends a pause in progress. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetWaitTime(int handle, int milliseconds);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorH(int handle, int on);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMirrorV(int handle, int on);
VELCOR_API int VELCOR_CALL Velcor_GetMirrorH(int handle);
VELCOR_API int VELCOR_CALL Velcor_GetMirrorV(int handle);

/* ---- Exposure, temperature and sensor extras --------------------------------------------- */

/* Seconds; -1.0 on failure (errors 1, 11). ok may be null. */
VELCOR_API double VELCOR_CALL Velcor_GetExposureTimeEx(int handle, int* ok);
/* Error 9 for a time that is negative, not finite or longer than the camera's longest exposure
   (exposureMaxSeconds of Velcor_GetCameraInfo). */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetExposureTimeEx(int handle, double seconds);
/* Microseconds (engine units x 100). */
VELCOR_API int VELCOR_CALL Velcor_GetRealExposureTime(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetRealExposureTime(int handle, int microseconds);
/* Degrees Celsius; records code 0 on success, 11 without sensor, 12 when the read fails. */
VELCOR_API double VELCOR_CALL Velcor_GetTemperatureEx(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSamplingRate(int handle, int rate);
/* Automatic exposure: 0 off, 1 exposure, 2 gain. */
VELCOR_API int VELCOR_CALL Velcor_GetAutoIris(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAutoIris(int handle, int mode);

/* ---- Registers, ROM, IO port and configuration ------------------------------------------- */

VELCOR_API int VELCOR_CALL Velcor_Fpga_ReadRegister(int handle, int address, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_Fpga_WriteRegister(int handle, int address, int value);
VELCOR_API int VELCOR_CALL Velcor_ReadRegister(int handle, int address, int* ok);
VELCOR_API int VELCOR_CALL Velcor_ReadRegisterEx(int handle, int address, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegister(int handle, int address, int value);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteRegisterEx(int handle, int address, int value);
VELCOR_API int VELCOR_CALL Velcor_ReadSromID(int handle, int address, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_WriteSromID(int handle, int address, int value);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_GetIOPort(int handle, BYTE* value);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetIOPort(int handle, BYTE value);
/* A file of little-endian 32-bit integer pairs; trailing bytes are ignored. It replaces the
 * configuration list and answers TRUE. FALSE, with no error recorded and the list kept as it
 * was, when the file cannot be opened, is not a regular file (a directory, FIFO, socket or
 * device) or is larger than 1 MiB (1048576 bytes, 131072 pairs). The wide form records error 12
 * for a path it cannot convert. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileA(int handle, const char* path);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadConfigFileW(int handle, const WCHAR* path);

/* ---- Settings dialogs -------------------------------------------------------------------- */

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCameraDlg(int handle, HWND parent);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetAnalogDlg(int handle, HWND parent);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetImageDlg(int handle, HWND parent);

/* ---- Pixel mask -------------------------------------------------------------------------- */

VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFile(int handle, const char* path);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_LoadMaskFileW(int handle, const WCHAR* path);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFile(int handle, const char* path);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SaveMaskFileW(int handle, const WCHAR* path);
/* kind: 0 dark frame, 1 bright frame. */
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_UpdateMaskData(int handle, int kind);

/* ---- Filter values ----------------------------------------------------------------------- */

/* id: VELCOR_FILTER_*. Unknown ids and out-of-range values record error 9. */
VELCOR_API int VELCOR_CALL Velcor_GetFilterValue(int handle, int id, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetFilterValue(int handle, int id, int value);

VELCOR_API int VELCOR_CALL Velcor_GetBrightness(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBrightness(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetContrast(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetContrast(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetHue(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetHue(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetSaturation(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSaturation(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetSharpness(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetSharpness(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainRGB(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainRGB(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainRed(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainRed(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainGreen(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainGreen(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainBlue(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainBlue(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerGainAuto(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerGainAuto(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGamma(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGamma(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetBayerMode(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetBayerMode(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGlobalGain(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGlobalGain(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetColorGainRed(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainRed(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetColorGainGreen1(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainGreen1(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetColorGainGreen2(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainGreen2(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetColorGainBlue(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetColorGainBlue(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetExposureTime(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetExposureTime(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayMode(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayMode(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainR(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainR(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainG1(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainG1(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainG2(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainG2(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayGainB(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayGainB(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetR(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetR(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetG1(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetG1(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetG2(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetG2(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetGrayOffsetB(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetGrayOffsetB(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetPeltier(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetPeltier(int handle, int value);
/* Not supported: records error 11 and returns -1. */
VELCOR_API int VELCOR_CALL Velcor_GetTemperature(int handle, int* ok);
VELCOR_API int VELCOR_CALL Velcor_GetDotFilter(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetDotFilter(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetMaskFilter(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetMaskFilter(int handle, int value);
/* type 1..4; channel gains and offsets are not supported (error 9); other types return 0. */
VELCOR_API int VELCOR_CALL Velcor_GetChannelGain(int handle, int type, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelGain(int handle, int type, int value);
VELCOR_API int VELCOR_CALL Velcor_GetChannelOffset(int handle, int type, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetChannelOffset(int handle, int type, int value);

/* ---- Not supported by this camera -------------------------------------------------------- */

/* These post error 11 (without recording it) and return 0. */
VELCOR_API int VELCOR_CALL Velcor_Fps(int handle);
VELCOR_API int VELCOR_CALL Velcor_GetHalfClock(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetHalfClock(int handle, int value);
VELCOR_API int VELCOR_CALL Velcor_GetInternalCorrection(int handle, int* ok);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetInternalCorrection(int handle, int value);
VELCOR_API VELCOR_BOOL VELCOR_CALL Velcor_SetCrossbar(int handle, int input, int output);
/* These write 0 through the pointer and return 0. */
VELCOR_API int VELCOR_CALL Velcor_GetSamplingRate(int handle, int* rate);
VELCOR_API int VELCOR_CALL Velcor_GetVideoFormat(int handle, int* format);
/* These record error 11 and return 0. */
VELCOR_API int VELCOR_CALL Velcor_SendText(int handle, const char* text, int length);
VELCOR_API int VELCOR_CALL Velcor_ReceiveText(int handle, char* buffer, int length);
/* These record error 11 and return -1. */
VELCOR_API int VELCOR_CALL Velcor_GetConfigFilter(int handle);
VELCOR_API int VELCOR_CALL Velcor_SetConfigFilter(int handle, int value);

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_SDK_H */
