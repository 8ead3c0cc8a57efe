/**
 * @file VelcorErrors.h
 * @brief Error codes of the Velcor C API and what they mean.
 *
 * A failing call pushes one of these codes onto the camera's error history (read it with
 * Velcor_GetLastError()) and posts it as #VELCOR_WM_ERROR (lParam = code) to the notification
 * window given to Velcor_Initialize(). A few failures are only posted, not recorded; the
 * functions that do so say it. VelcorErrorText() gives the short meaning of a code for messages
 * to people; programs, tools and documentation take their words from here. Code 10 is never
 * produced.
 *
 * This header compiles as C (C99 or later) and as C++; VelcorSdk.h includes it.
 */
#ifndef VELCOR_ERRORS_H
#define VELCOR_ERRORS_H

/** @addtogroup messages
    @{ */

/** Success notice, recorded and posted although nothing failed: by Velcor_GetTemperatureEx()
    on a successful read, by reading the short exposure mode (#VELCOR_FILTER_SHORT_EXPOSURE) and
    by reading or setting the black level (#VELCOR_FILTER_BLACK_LEVEL). It sits in the history
    above the errors recorded before it. Velcor_GetLastError() also returns 0 when the history
    is empty. */
#define VELCOR_ERR_NONE 0
/** No camera engine (initialisation failed or not done), or capture, snapshot or trigger asked
    for in a state that forbids it; also Velcor_GetImage() and Velcor_SaveImage() before a
    capture's first frame, no image of the colour mode to read, and the ROM and I/O-port
    functions when the camera does not answer (posted only). */
#define VELCOR_ERR_NO_CAMERA 1
/** The camera at the current or requested device number is not attached or cannot be opened;
    a device number out of range. */
#define VELCOR_ERR_NOT_PRESENT 2
/** An event or thread of the frame worker or of the recorder could not be created. */
#define VELCOR_ERR_THREAD 3
/** The preview window could not be made; a settings dialog could not be shown;
    Velcor_SetCaptureWindow() found no matching size preset. */
#define VELCOR_ERR_WINDOW 4
/** An image buffer could not be allocated, the application's buffer is too small, there is no
    image to copy, the camera information record is smaller than 36 bytes, or the library ran
    out of memory inside a call. */
#define VELCOR_ERR_MEMORY 5
/** An FPGA or sensor register access failed; the camera refused a gain, exposure, black level,
    short exposure mode or cooler setting; the continuous transfer could not start. */
#define VELCOR_ERR_DEVICE 6
/** Capture window out of the sensor's bounds, or refused by the camera. */
#define VELCOR_ERR_WINDOW_RANGE 7
/** The transfer could not start, waiting for a frame failed or timed out, or reading a frame
    failed; also recorded after the start's own code when Velcor_Preview() or
    Velcor_CallBackPreview() fails. */
#define VELCOR_ERR_ACQUISITION 8
/** A value out of range, an unknown filter id, an unsupported colour mode, a null pointer
    where one is needed, a text buffer too small, an empty file name. */
#define VELCOR_ERR_ARGUMENT 9
/** The camera or this library lacks the function. */
#define VELCOR_ERR_UNSUPPORTED 11
/** A wide-character conversion failed or did not fit; no full-sensor frame for a mask
    reference, or an unknown mask kind; a failed temperature read; a recording that could not
    start, or that ended on a full disk or at the largest AVI size. */
#define VELCOR_ERR_CONVERSION 12
/** The camera stopped delivering frames (removed) during callback preview or trigger mode. */
#define VELCOR_ERR_STOPPED 13
/** The pixel mask file cannot be opened, read or created, or is not a mask file. */
#define VELCOR_ERR_MASK_FILE 14

/** Short meaning of an error code, lower case and without a full stop ("invalid argument");
    "unknown error" for a code the library never produces. The text is static; any thread may
    call this. */
static inline const char* VelcorErrorText(int code) {
    switch (code) {
        case VELCOR_ERR_NONE:
            return "success";
        case VELCOR_ERR_NO_CAMERA:
            return "no camera or wrong state";
        case VELCOR_ERR_NOT_PRESENT:
            return "camera not present";
        case VELCOR_ERR_THREAD:
            return "thread creation failed";
        case VELCOR_ERR_WINDOW:
            return "window failure";
        case VELCOR_ERR_MEMORY:
            return "out of memory or buffer too small";
        case VELCOR_ERR_DEVICE:
            return "device access failed";
        case VELCOR_ERR_WINDOW_RANGE:
            return "capture window rejected";
        case VELCOR_ERR_ACQUISITION:
            return "acquisition failed";
        case VELCOR_ERR_ARGUMENT:
            return "invalid argument";
        case VELCOR_ERR_UNSUPPORTED:
            return "not supported";
        case VELCOR_ERR_CONVERSION:
            return "conversion failed or wrong state";
        case VELCOR_ERR_STOPPED:
            return "camera stopped";
        case VELCOR_ERR_MASK_FILE:
            return "mask file failed";
        default:
            return "unknown error";
    }
}

/** @} */

#endif /* VELCOR_ERRORS_H */
