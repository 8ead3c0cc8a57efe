/**
 * @file VelcorTypes.h
 * @brief Basic types of the Velcor C API.
 *
 * On Windows these are the `windows.h` types and the exports use `__stdcall`. Elsewhere the
 * library defines the few Windows-shaped types its API needs: a window handle is an opaque
 * pointer that only the library interprets (see VelcorWin.h for how an application on Linux
 * creates one and receives the messages posted to it).
 *
 * Results: the functions answer int 1 or 0, typed #VELCOR_BOOL (the `windows.h` BOOL on Windows,
 * int elsewhere). Keep them in an int or a #VELCOR_BOOL.
 *
 * The Windows-style names stay available to applications and coexist with the X11 headers,
 * which may come before or after this one: BYTE and BOOL are declared exactly as `X11/Xmd.h`
 * declares them (unsigned char; repeating an identical typedef is valid C11 and C++), so BOOL
 * is NOT the type of the results here and must not receive them. No other name clashes with
 * Xlib.h, X.h, Xutil.h or Xmd.h (None, Status, Bool, Window, ... are not used).
 *
 * This header compiles as C (C99 or later) and as C++.
 */
#ifndef VELCOR_TYPES_H
#define VELCOR_TYPES_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#include <windows.h>
typedef BOOL VELCOR_BOOL;
#define VELCOR_CALL __stdcall
#if defined(VELCOR_BUILDING_LIBRARY)
#define VELCOR_API __declspec(dllexport)
#else
#define VELCOR_API __declspec(dllimport)
#endif
#else
/** Calling convention of the exports: `__stdcall` on Windows, the platform's own elsewhere. */
#define VELCOR_CALL
/** Marks a function the shared library exports. */
#define VELCOR_API __attribute__((visibility("default")))

/** Result of the functions that succeed or fail: 1 (TRUE) for success, 0 (FALSE) for failure. */
typedef int VELCOR_BOOL;

#ifndef VELCOR_HAVE_WIN_TYPES
/** Defined once the Windows-shaped types below are declared; another header that declares
    the same types may define it first to keep them out. */
#define VELCOR_HAVE_WIN_TYPES
/** A window: a message window of VelcorWin.h, an application X11 window wrapped by
    VelcorWin_FromX11Window(), or null for none. Only the library interprets it. */
typedef struct VelcorWindowTag* HWND;
typedef unsigned char BOOL;  /**< As `X11/Xmd.h` has it; not the type of the results. */
typedef unsigned char BYTE;  /**< One byte of pixel data or of a register. */
typedef unsigned short WORD; /**< 16-bit unsigned value. */
typedef unsigned int UINT;   /**< Message number of a window message. */
typedef uint32_t DWORD;      /**< 32-bit unsigned value. */
typedef uintptr_t WPARAM;    /**< First parameter of a window message; holds a pointer. */
typedef intptr_t LPARAM;     /**< Second parameter of a window message. */
typedef wchar_t WCHAR;       /**< Character of the wide-text functions (...W). */
#endif
#ifndef TRUE
#define TRUE 1 /**< Success result. */
#endif
#ifndef FALSE
#define FALSE 0 /**< Failure result. */
#endif
#endif

#endif /* VELCOR_TYPES_H */
