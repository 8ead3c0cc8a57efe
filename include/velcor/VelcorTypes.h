/*
 * Basic types of the Velcor C API.
 *
 * On Windows these are the <windows.h> types and the exports use __stdcall. Elsewhere the
 * library defines the few Windows-shaped types its API needs: a window handle is an opaque
 * pointer that only the library interprets (see VelcorWin.h for how an application on Linux
 * creates one and receives the messages posted to it).
 *
 * Results: the functions answer int 1 or 0, typed VELCOR_BOOL (the windows.h BOOL on Windows,
 * int elsewhere). Keep them in an int or a VELCOR_BOOL.
 *
 * The Windows-style names stay available to applications and coexist with the X11 headers,
 * which may come before or after this one: BYTE and BOOL are declared exactly as <X11/Xmd.h>
 * declares them (unsigned char; repeating an identical typedef is valid C11 and C++), so BOOL
 * is NOT the type of the results here and must not receive them. No other name clashes with
 * Xlib.h, X.h, Xutil.h or Xmd.h (None, Status, Bool, Window, ... are not used).
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
#define VELCOR_CALL
#define VELCOR_API __attribute__((visibility("default")))

typedef int VELCOR_BOOL;

#ifndef VELCOR_HAVE_WIN_TYPES
#define VELCOR_HAVE_WIN_TYPES
typedef struct VelcorWindowTag* HWND;
typedef unsigned char BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef wchar_t WCHAR;
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

#endif /* VELCOR_TYPES_H */
