"""Cameras: opening, features by name, snapshots and streamed frames."""

import ctypes
import time
import weakref
from collections import namedtuple

from . import _errors
from ._errors import Error
from ._features import FEATURES
from ._image import FrameLayout
from ._lib import CameraInfo, Message, SimDevice, has, lib

PRODUCT_ID = 0x32C0  # the ROZE9701 camera that the C API's camera object drives
_NAME_PREFIX = "VelcorTX40_"
_NAME_SLOTS = 10  # Velcor_EnumDevice: ten names of 256 bytes
_NAME_SIZE = 256
_HISTORY_DEPTH = 20  # entries of a camera's error history
_WM_FRAME = 0x8002
_PM_REMOVE = 1
_SERIAL_SIZE = 64
# Longest single wait for a message: a blocked wait cannot be interrupted from Python, so a
# long time-out is waited out in slices (Ctrl-C then stops a stream within a slice).
_WAIT_SLICE_MS = 200

Device = namedtuple("Device", "number name serial present")
Device.__doc__ = """A camera of the configured product: its device number (what open() takes),
its name, its serial number (None when it could not be read) and whether it is attached now."""


def _take_errors(handle):
    """Empties the handle's error history; the codes newest first, success notices left out."""
    codes = []
    for _ in range(_HISTORY_DEPTH):
        code = lib.Velcor_GetLastError(handle)
        if code != 0:
            codes.append(code)
    return codes


def _device_numbers(handle):
    """Device numbers of the attached cameras, from their names ("VelcorTX40_01" is number 0:
    a camera keeps its number while the library runs, so the list position is not it)."""
    names = ctypes.create_string_buffer(_NAME_SLOTS * _NAME_SIZE)
    count = lib.Velcor_EnumDevice(handle, names)
    numbers = []
    for slot in range(min(count, _NAME_SLOTS)):
        raw = names.raw[slot * _NAME_SIZE : (slot + 1) * _NAME_SIZE]
        name = raw.split(b"\0", 1)[0].decode("ascii", "replace")
        if name.startswith(_NAME_PREFIX) and name[len(_NAME_PREFIX) :].isdigit():
            numbers.append(int(name[len(_NAME_PREFIX) :]) - 1)
    return numbers


def _device_name(number):
    return f"{_NAME_PREFIX}{number + 1:02d}"


def _read_serial(handle):
    """The serial number in the open camera's ROM; None when it cannot be read or is blank."""
    text = ctypes.create_string_buffer(_SERIAL_SIZE)
    if not lib.Velcor_ReadSerialNumberA(handle, text, _SERIAL_SIZE):
        return None
    return text.value.decode("ascii", "replace") or None


def _new_handle(operation):
    """A camera handle and the device number of the camera it opened: initialising opens the
    camera when exactly one is attached (None when it opened none)."""
    handle = lib.Velcor_Initialize(None)
    if handle == 0:
        raise Error(operation, None, "the library could not make a camera object")
    codes = _take_errors(handle)
    numbers = _device_numbers(handle)
    opened = None
    if len(numbers) == 1 and not {_errors.NO_CAMERA, _errors.NOT_PRESENT} & set(codes):
        opened = numbers[0]
    return handle, numbers, opened


def _unplugged_numbers():
    """Device numbers of cameras of the product that were listed but are unplugged now (known
    only where the library lists its device table, which builds with simulated cameras do)."""
    if not has(lib, "VelcorSim_ListDevices"):
        return []
    count = lib.VelcorSim_ListDevices(None, 0)
    if count <= 0:
        return []
    table = (SimDevice * count)()
    count = min(count, lib.VelcorSim_ListDevices(table, count))
    return [
        entry.instance
        for entry in table[:count]
        if entry.productId == PRODUCT_ID and not entry.present
    ]


def devices():
    """The cameras of the product, attached ones with their serial numbers, in device order."""
    handle, numbers, opened = _new_handle("devices")
    try:
        found = []
        for number in numbers:
            serial = None
            if number == opened or lib.Velcor_SetDeviceNumber(handle, number):
                serial = _read_serial(handle)
            found.append(Device(number, _device_name(number), serial, True))
        _take_errors(handle)
        present = {device.number for device in found}
        for number in _unplugged_numbers():
            if number not in present:
                found.append(Device(number, _device_name(number), None, False))
        return sorted(found, key=lambda device: device.number)
    finally:
        lib.Velcor_Release(handle)


def open(number=None, serial=None):  # noqa: A001 - the package's verb, as in velcor.open()
    """Opens a camera by device number or serial number (the first attached camera when
    neither is given) and returns it as a Camera."""
    if number is not None and serial is not None:
        raise ValueError("open: give a device number or a serial number, not both")
    handle, numbers, opened = _new_handle("open")
    try:
        known_serial = None
        if serial is not None:
            number = _open_serial(handle, numbers, opened, serial)
            known_serial = serial
        else:
            if number is None:
                if not numbers:
                    raise Error("open", _errors.NOT_PRESENT, "no camera attached")
                number = numbers[0]
            number = int(number)
            if number != opened and not lib.Velcor_SetDeviceNumber(handle, number):
                codes = _take_errors(handle)
                raise Error(f"open camera {number}", codes[0] if codes else _errors.NOT_PRESENT)
        return Camera(handle, number, known_serial)
    except BaseException:
        lib.Velcor_Release(handle)
        raise


def _serial_hints(serial):
    """Device numbers whose device path carries the serial number (a USB device's instance
    name is its serial number, letters and digits kept, the rest as '_'), where the library
    lists its device table. Only an order to try cameras in: the ROM has the last word."""
    if not has(lib, "VelcorSim_ListDevices"):
        return []
    instance = "".join(c if c.isascii() and c.isalnum() else "_" for c in serial).lower()
    count = lib.VelcorSim_ListDevices(None, 0)
    if count <= 0:
        return []
    table = (SimDevice * count)()
    count = min(count, lib.VelcorSim_ListDevices(table, count))
    hints = []
    for entry in table[:count]:
        parts = entry.path.decode("ascii", "replace").lower().split("#")
        if entry.productId == PRODUCT_ID and len(parts) > 2 and parts[2] == instance:
            hints.append(entry.instance)
    return hints


def _open_serial(handle, numbers, opened, serial):
    """Opens the attached camera whose ROM holds the serial number; its device number."""
    # Reading a serial number takes about 10 ms a character: the likely camera first.
    hinted = [n for n in _serial_hints(serial) if n in numbers]
    for number in hinted + [n for n in numbers if n not in hinted]:
        if number != opened and not lib.Velcor_SetDeviceNumber(handle, number):
            continue
        if _read_serial(handle) == serial:
            return number
    _take_errors(handle)
    raise Error("open", _errors.NOT_PRESENT, f"no attached camera has serial number {serial!r}")


class Camera:
    """An open camera. Features by name (`cam["exposure"] = 0.01`), `snap()`, `frames(n)`.

    Close it with `close()` or by using it as a context manager; closing releases the library's
    handle, stores the camera's settings and is safe to repeat."""

    def __init__(self, handle, number, serial=None):
        self._handle = handle
        self.number = number
        self.name = _device_name(number)
        self.serial = serial if serial is not None else _read_serial(handle)
        self._streams = weakref.WeakSet()
        _take_errors(handle)

    # ---- Lifecycle ----------------------------------------------------------------------------

    def close(self):
        for stream in list(getattr(self, "_streams", ())):
            stream.close()
        handle, self._handle = self._handle, None
        if handle is not None:
            lib.Velcor_Release(handle)

    @property
    def closed(self):
        return self._handle is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # the library may be gone at interpreter exit
            pass

    def __repr__(self):
        state = "closed" if self.closed else "open"
        return f"<velcor.Camera {self.name} serial={self.serial!r} {state}>"

    @property
    def handle(self):
        """The library's camera handle, for calls the package does not wrap."""
        if self._handle is None:
            raise Error("camera", _errors.NO_CAMERA, "the camera is closed")
        return self._handle

    # ---- Calls and their errors ---------------------------------------------------------------

    def _begin(self):
        """Empties the error history, so that what a call records is its own."""
        handle = self.handle
        _take_errors(handle)
        return handle

    def _failed(self, operation, detail=None):
        codes = _take_errors(self.handle)
        if not codes:
            return Error(operation, None, detail or "refused")
        return Error(operation, codes[0], detail)

    def _check(self, operation, result):
        if not result:
            raise self._failed(operation)
        return result

    def _get_with_flag(self, operation, function, *arguments):
        handle = self._begin()
        ok = ctypes.c_int(0)
        value = function(handle, *arguments, ctypes.byref(ok))
        if not ok.value:
            raise self._failed(operation)
        return value

    def _get_without_flag(self, operation, function):
        """Reads whose failure only shows as an error in the history."""
        handle = self._begin()
        value = function(handle)
        codes = _take_errors(handle)
        if codes:
            raise Error(operation, codes[0])
        return value

    def _get_filter(self, name, filter_id):
        return self._get_with_flag(f"get {name}", lib.Velcor_GetFilterValue, filter_id)

    def _set_filter(self, name, filter_id, value):
        handle = self._begin()
        self._check(f"set {name}", lib.Velcor_SetFilterValue(handle, filter_id, value))

    # ---- Features -----------------------------------------------------------------------------

    @staticmethod
    def features():
        """Names of the features, for `cam[name]`."""
        return sorted(FEATURES)

    @staticmethod
    def describe(name):
        """What a feature is: its type, unit, whether it can be set, and a line of text."""
        return FEATURES[name].describe()

    def __getitem__(self, name):
        return FEATURES[name].get(self)

    def __setitem__(self, name, value):
        FEATURES[name].set(self, value)

    def __contains__(self, name):
        return name in FEATURES

    @property
    def info(self):
        """Sensor size and the ranges of gain and exposure, as the camera reports them."""
        handle = self._begin()
        info = CameraInfo()
        info.size = ctypes.sizeof(CameraInfo)
        self._check("camera info", lib.Velcor_GetCameraInfo(handle, ctypes.byref(info)))
        return {name: getattr(info, name) for name, _ in CameraInfo._fields_ if name != "padding"}

    @property
    def width(self):
        return self["width"]

    @property
    def height(self):
        return self["height"]

    # ---- Frames -------------------------------------------------------------------------------

    def _layout(self):
        handle = self.handle
        return FrameLayout(
            lib.Velcor_Width(handle), lib.Velcor_Height(handle), lib.Velcor_GetColorMode(handle)
        )

    def snap(self):
        """Takes one frame: an array (height, width) of uint8 or uint16 by colour mode, or
        (height, width, channels) in the colour modes (blue, green, red[, fourth])."""
        layout = self._layout()
        buffer = layout.buffer()
        handle = self._begin()
        pointer = buffer.ctypes.data_as(ctypes.c_void_p)
        self._check("snap", lib.Velcor_SnapShot(handle, pointer, layout.size, 1))
        return layout.to_array(buffer)

    def frames(self, n, timeout=5.0):
        """An iterator of n frames from a running stream (callback preview), each an array as
        `snap()` gives. The stream stops when the iterator ends, is closed or is dropped.
        A frame that does not come within `timeout` seconds, or a camera that stops (unplugged),
        raises velcor.Error. A consumer slower than the camera gets the newest frame each time:
        frames in between are skipped, never repeated."""
        if n < 0:
            raise ValueError("frames: n must not be negative")
        stream = _FrameStream(self, int(n), float(timeout))
        self._streams.add(stream)
        return stream


class _FrameStream:
    """Callback preview into a message window. Each frame message is answered by copying the
    newest converted frame out under the library's frame lock (Velcor_GetImage), so a copy is
    never torn by the next frame. The library posts a frame's message before it lets go of
    that lock, so once a copy is taken every message already queued announces a frame no newer
    than the copy: they are dropped, and no frame is handed out twice."""

    def __init__(self, camera, count, timeout):
        self._camera = camera
        self._count = count
        self._timeout_ms = max(0, int(timeout * 1000))
        self._layout = camera._layout()
        self._window = None
        self._delivered = 0
        self._pending_error = None
        self._running = False
        if count == 0:
            return
        handle = camera._begin()
        window = lib.VelcorWin_CreateMessageWindow()
        if not window:
            raise Error("frames", None, "no message window for the frames")
        self._window = window
        # Frames come as messages only: no preview window of the library's (and no display).
        lib.Velcor_SetPreviewWindow(handle, None, 0, 0, 0, 0)
        if not lib.Velcor_CallBackPreview(handle, window, None, 0, 1):
            error = camera._failed("frames", "the stream did not start")
            self.close()
            raise error
        self._running = True

    def __iter__(self):
        return self

    def __next__(self):
        if self._camera.closed:
            self.close()
            raise Error("frames", _errors.NO_CAMERA, "the camera was closed")
        if self._delivered >= self._count or not self._running:
            self.close()
            raise StopIteration
        try:
            frame = self._next_frame()
        except BaseException:
            self.close()
            raise
        self._delivered += 1
        if self._delivered >= self._count:
            self.close()
        return frame

    def _next_frame(self):
        message = Message()
        deadline = time.monotonic() + self._timeout_ms / 1000
        while True:
            self._camera.handle  # a camera closed meanwhile raises here
            if self._pending_error is not None:
                raise Error("frames", self._pending_error)
            left_ms = int((deadline - time.monotonic()) * 1000)
            if left_ms <= 0:
                raise Error(
                    "frames", None, f"no frame within {self._timeout_ms / 1000:g} s (time-out)"
                )
            wait_ms = min(left_ms, _WAIT_SLICE_MS)
            if not lib.VelcorWin_GetMessage(
                ctypes.byref(message), self._window, _WM_FRAME, _WM_FRAME, wait_ms
            ):
                continue
            if message.wParam == 0:
                self._note_failure(int(message.lParam))
                continue
            frame = self._copy_newest()
            self._drop_announced()
            return frame

    def _note_failure(self, code):
        # A camera that stopped ends the stream; a frame that failed to read is skipped, and a
        # stream of nothing but failures runs into the time-out.
        if code == _errors.STOPPED:
            self._pending_error = code

    def _copy_newest(self):
        handle = self._camera.handle
        buffer = self._layout.buffer()
        pointer = buffer.ctypes.data_as(ctypes.c_void_p)
        if not lib.Velcor_GetImage(handle, pointer, self._layout.size, 1):
            raise self._camera._failed("frames")
        return self._layout.to_array(buffer)

    def _drop_announced(self):
        message = Message()
        while lib.VelcorWin_PeekMessage(
            ctypes.byref(message), self._window, _WM_FRAME, _WM_FRAME, _PM_REMOVE
        ):
            if message.wParam == 0:
                self._note_failure(int(message.lParam))

    def close(self):
        """Stops the stream; safe to call more than once."""
        if self._running:
            self._running = False
            if not self._camera.closed:
                lib.Velcor_StopPreview(self._camera.handle)
                _take_errors(self._camera.handle)
        if self._window is not None:
            lib.VelcorWin_DestroyWindow(self._window)
            self._window = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

