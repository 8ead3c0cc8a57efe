/*
 * Error codes of the Velcor C API and what they mean.
 *
 * A failing call pushes one of these codes onto the camera's error history (read it with
 * Velcor_GetLastError) and posts it as VELCOR_WM_ERROR (lParam = code). VelcorErrorText gives
 * the short meaning of a code for messages to people; programs, tools and documentation take
 * their words from here. Code 10 is never produced.
 *
 * This header compiles as C (C99 or later) and as C++; VelcorSdk.h includes it.
 */
#ifndef VELCOR_ERRORS_H
#define VELCOR_ERRORS_H

/* Success notice: recorded on success by Velcor_GetTemperatureEx, by reading the short
   exposure mode (filter id 105) and by reading or setting the black level (filter id 106).
   Velcor_GetLastError also returns 0 when the history is empty. */
#define VELCOR_ERR_NONE 0
/* No camera engine (initialisation failed or not done), or capture, snapshot or trigger asked
   for in a state that forbids it; also Velcor_SaveImage before any frame and an invalid colour
   mode index when reading an image. */
#define VELCOR_ERR_NO_CAMERA 1
/* The camera at the current or requested index is not attached or cannot be opened; a device
   name index out of range. */
#define VELCOR_ERR_NOT_PRESENT 2
/* An event or thread of the frame worker or of the recorder could not be created. */
#define VELCOR_ERR_THREAD 3
/* The preview window could not be made; Velcor_SetCaptureWindow found no matching size preset. */
#define VELCOR_ERR_WINDOW 4
/* An image buffer could not be allocated, the application's buffer is too small, there is no
   image data, or the camera information record is smaller than 36 bytes. */
#define VELCOR_ERR_MEMORY 5
/* An FPGA or sensor register access failed; the short exposure mode or the black level could
   not be set or read. */
#define VELCOR_ERR_DEVICE 6
/* Capture window out of the sensor's bounds, or refused by the camera. */
#define VELCOR_ERR_WINDOW_RANGE 7
/* The transfer could not start, waiting for a frame failed, or reading a frame failed. */
#define VELCOR_ERR_ACQUISITION 8
/* A value out of range, an unknown filter id, an unsupported colour mode, a null record
   pointer, a text buffer too small, an empty file name. */
#define VELCOR_ERR_ARGUMENT 9
/* The camera or this library lacks the function. */
#define VELCOR_ERR_UNSUPPORTED 11
/* A wide-character conversion failed or did not fit, an unknown mask kind, a failed
   temperature read, or a recording that could not start. */
#define VELCOR_ERR_CONVERSION 12
/* The camera stopped delivering frames (removed) during callback preview. */
#define VELCOR_ERR_STOPPED 13
/* The pixel mask file cannot be opened, read or created, or is not a mask file. */
#define VELCOR_ERR_MASK_FILE 14

/* Short meaning of an error code, lower case and without a full stop ("invalid argument");
   "unknown error" for a code the library never produces. */
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

#endif /* VELCOR_ERRORS_H */
