"""Loading of the shared library and the prototypes of the C functions the package calls."""

import ctypes
import ctypes.util
import os

# The library's file name on Linux: the soname of its major version.
SONAME = "libVelcorSdk_TX40.so.2"
LIBRARY_VARIABLE = "VELCOR_LIBRARY"


def _candidates():
    """Where to look for the library, in order: the path in VELCOR_LIBRARY, else the loader."""
    path = os.environ.get(LIBRARY_VARIABLE)
    if path:
        return [path], True
    found = ctypes.util.find_library("VelcorSdk_TX40")
    names = [found] if found else []
    if SONAME not in names:
        names.append(SONAME)
    return names, False


def load():
    """Loads the library; ImportError that says where it looked and why that failed."""
    names, from_variable = _candidates()
    failures = []
    for name in names:
        try:
            return ctypes.CDLL(name)
        except OSError as error:
            failures.append(f"{name}: {error}")
    if from_variable:
        where = f"{LIBRARY_VARIABLE}={names[0]}"
        hint = f"point {LIBRARY_VARIABLE} at the library file (…/{SONAME})"
    else:
        where = "the system's library path"
        hint = f"install the library or set {LIBRARY_VARIABLE} to the path of {SONAME}"
    raise ImportError(
        f"velcor: cannot load the Velcor camera library from {where}: "
        + "; ".join(failures) + f" ({hint})"
    )


c_int_p = ctypes.POINTER(ctypes.c_int)
c_byte_p = ctypes.POINTER(ctypes.c_ubyte)


class CameraInfo(ctypes.Structure):
    """VELCORCAMERAINFO."""

    _fields_ = [
        ("size", ctypes.c_int),
        ("maxWidth", ctypes.c_int),
        ("maxHeight", ctypes.c_int),
        ("globalGainMin", ctypes.c_int),
        ("globalGainMax", ctypes.c_int),
        ("colorGainMin", ctypes.c_int),
        ("colorGainMax", ctypes.c_int),
        ("exposureMin", ctypes.c_int),
        ("exposureMax", ctypes.c_int),
        ("padding", ctypes.c_int),
        ("exposureMinSeconds", ctypes.c_double),
        ("exposureMaxSeconds", ctypes.c_double),
    ]


class Message(ctypes.Structure):
    """VELCORMSG: a message posted to a message window."""

    _fields_ = [
        ("hwnd", ctypes.c_void_p),
        ("message", ctypes.c_uint),
        ("wParam", ctypes.c_size_t),
        ("lParam", ctypes.c_ssize_t),
        ("time", ctypes.c_uint),
    ]


class SimDevice(ctypes.Structure):
    """VELCORSIM_DEVICE: one entry of the device table as this process sees it."""

    _fields_ = [
        ("vendorId", ctypes.c_ushort),
        ("productId", ctypes.c_ushort),
        ("instance", ctypes.c_int),
        ("present", ctypes.c_int),
        ("path", ctypes.c_char * 260),
    ]


_I = ctypes.c_int
_D = ctypes.c_double
_P = ctypes.c_void_p

# name: (result, argument types). Functions the library lacks (a build without the simulated
# cameras has no VelcorSim_*) are left out; the package asks `has()` before it uses them.
_PROTOTYPES = {
    "Velcor_Initialize": (_I, [_P]),
    "Velcor_Release": (_I, [_I]),
    "Velcor_GetDllVersion": (_I, []),
    "Velcor_GetLastError": (_I, [_I]),
    "Velcor_EnumDevice": (_I, [_I, ctypes.c_char_p]),
    "Velcor_GetDeviceName": (_I, [_I, _I, ctypes.c_char_p, _I]),
    "Velcor_SetDeviceNumber": (_I, [_I, _I]),
    "Velcor_GetCameraInfo": (_I, [_I, ctypes.POINTER(CameraInfo)]),
    "Velcor_ReadSerialNumberA": (_I, [_I, ctypes.c_char_p, _I]),
    "Velcor_StartPreview": (_I, [_I]),
    "Velcor_StopPreview": (_I, [_I]),
    "Velcor_Close": (_I, [_I]),
    "Velcor_SnapShot": (_I, [_I, _P, _I, _I]),
    "Velcor_GetImage": (_I, [_I, _P, _I, _I]),
    "Velcor_CallBackPreview": (_I, [_I, _P, _P, _I, _I]),
    "Velcor_SetPreviewWindow": (_I, [_I, _P, _I, _I, _I, _I]),
    "Velcor_Width": (_I, [_I]),
    "Velcor_Height": (_I, [_I]),
    "Velcor_GetColorMode": (_I, [_I]),
    "Velcor_SetColorMode": (_I, [_I, _I]),
    "Velcor_SetCaptureWindowEx": (_I, [_I, _I, _I, _I, _I, _I, _I]),
    "Velcor_GetCaptureWindowEx": (_I, [_I, c_int_p, c_int_p, c_int_p, c_int_p, c_int_p, c_int_p]),
    "Velcor_GetWaitTime": (_I, [_I]),
    "Velcor_SetWaitTime": (_I, [_I, _I]),
    "Velcor_SetMirrorH": (_I, [_I, _I]),
    "Velcor_SetMirrorV": (_I, [_I, _I]),
    "Velcor_GetMirrorH": (_I, [_I]),
    "Velcor_GetMirrorV": (_I, [_I]),
    "Velcor_GetExposureTimeEx": (_D, [_I, c_int_p]),
    "Velcor_SetExposureTimeEx": (_I, [_I, _D]),
    "Velcor_GetRealExposureTime": (_I, [_I, c_int_p]),
    "Velcor_SetRealExposureTime": (_I, [_I, _I]),
    "Velcor_GetTemperatureEx": (_D, [_I, c_int_p]),
    "Velcor_GetAutoIris": (_I, [_I, c_int_p]),
    "Velcor_SetAutoIris": (_I, [_I, _I]),
    "Velcor_GetIOPort": (_I, [_I, c_byte_p]),
    "Velcor_SetIOPort": (_I, [_I, ctypes.c_ubyte]),
    "Velcor_GetFilterValue": (_I, [_I, _I, c_int_p]),
    "Velcor_SetFilterValue": (_I, [_I, _I, _I]),
    "VelcorWin_CreateMessageWindow": (_P, []),
    "VelcorWin_DestroyWindow": (_I, [_P]),
    "VelcorWin_PeekMessage": (_I, [ctypes.POINTER(Message), _P, ctypes.c_uint, ctypes.c_uint,
                                   ctypes.c_uint]),
    "VelcorWin_GetMessage": (_I, [ctypes.POINTER(Message), _P, ctypes.c_uint, ctypes.c_uint, _I]),
    "VelcorSim_AttachCamera": (_I, [ctypes.c_ushort, ctypes.c_char_p]),
    "VelcorSim_DetachCamera": (_I, [_I]),
    "VelcorSim_InjectFault": (_I, [_I, _I, _I]),
    "VelcorSim_SetScene": (_I, [_I, _I]),
    "VelcorSim_SetFastFrames": (_I, [_I, _I]),
    "VelcorSim_ListDevices": (_I, [ctypes.POINTER(SimDevice), _I]),
}


def declare(library):
    """Gives every function of the library that the package uses its C prototype."""
    for name, (result, arguments) in _PROTOTYPES.items():
        function = getattr(library, name, None)
        if function is None:
            continue
        function.restype = result
        function.argtypes = arguments


def has(library, name):
    return getattr(library, name, None) is not None


lib = load()
declare(lib)
