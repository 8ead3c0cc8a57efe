"""Velcor USB 3 cameras from Python, over the VelcorSdk_TX40 library.

    import velcor
    with velcor.simulate(serial="SIM0001"):           # a camera without hardware
        with velcor.open(serial="SIM0001") as cam:
            cam["exposure"] = 0.01                     # seconds
            image = cam.snap()                         # numpy array, (height, width)
            for frame in cam.frames(10): ...

The library is loaded from the path in the environment variable VELCOR_LIBRARY, else by the
system's loader (libVelcorSdk_TX40.so.2).
"""

from ._camera import PRODUCT_ID, Camera, Device, devices, open  # noqa: A004
from ._errors import ERROR_TEXTS, Error, error_text
from ._image import FrameLayout
from ._lib import lib as _lib
from ._simulate import (
    FAULT_BULK_STALL,
    FAULT_CONTROL_FAIL,
    FAULT_HEADER_LOST,
    FAULT_SHORT_FRAME,
    FAULT_UNPLUG,
    SCENE_DARK,
    SCENE_FLAT,
    SCENE_NATURAL,
    SCENE_RAMP,
    simulate,
)

__all__ = [
    "PRODUCT_ID",
    "Camera",
    "Device",
    "Error",
    "ERROR_TEXTS",
    "FrameLayout",
    "devices",
    "error_text",
    "library_version",
    "open",
    "simulate",
    "SCENE_NATURAL",
    "SCENE_RAMP",
    "SCENE_DARK",
    "SCENE_FLAT",
    "FAULT_CONTROL_FAIL",
    "FAULT_BULK_STALL",
    "FAULT_HEADER_LOST",
    "FAULT_SHORT_FRAME",
    "FAULT_UNPLUG",
]

__version__ = "2.27.5"


def library_version():
    """The library's version number (Velcor_GetDllVersion), e.g. 0x021B0521."""
    return _lib.Velcor_GetDllVersion()
