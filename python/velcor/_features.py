"""The camera's features by name: which call reads and sets each, with its type and unit."""

import ctypes
import numbers

from ._lib import lib

# Filter identifiers of Velcor_GetFilterValue / Velcor_SetFilterValue.
_FILTERS = {
    # name: (identifier, unit, meaning)
    "brightness": (1, None, "brightness offset of the converted image, -255..255"),
    "contrast": (2, None, "contrast, -127..127"),
    "hue": (3, "degrees", "hue rotation of colour images, -360..360"),
    "saturation": (4, None, "saturation of colour images, -255..255"),
    "sharpness": (5, None, "sharpening, 0..30"),
    "bayer_gain_red": (7, "1/100", "demosaic gain of red, 0..400, 100 is unity"),
    "bayer_gain_green": (8, "1/100", "demosaic gain of green, 0..400, 100 is unity"),
    "bayer_gain_blue": (9, "1/100", "demosaic gain of blue, 0..400, 100 is unity"),
    "bayer_gain_auto": (10, None, "automatic white balance of the demosaic, 0 or 1"),
    "gamma": (11, "1/100", "gamma, 0..200, 100 is linear"),
    "bayer_mode": (12, None, "Bayer phase of the mosaic, 0..3"),
    "gain": (13, None, "global analog gain, in the camera's range (info['globalGainMin'..])"),
    "color_gain_red": (14, None, "analog gain of the red pixels"),
    "color_gain_green1": (15, None, "analog gain of the green pixels on red rows"),
    "color_gain_green2": (16, None, "analog gain of the green pixels on blue rows"),
    "color_gain_blue": (17, None, "analog gain of the blue pixels"),
    "exposure_units": (18, "100 us", "exposure in the camera's units of 100 microseconds"),
    "gray_mode": (19, None, "gray conversion of the demosaiced image, 0..2"),
    "gray_gain_r": (20, "1/128", "gray conversion gain of red, 0..255, 128 is unity"),
    "gray_gain_g1": (21, "1/128", "gray conversion gain of green 1, 0..255"),
    "gray_gain_g2": (22, "1/128", "gray conversion gain of green 2, 0..255"),
    "gray_gain_b": (23, "1/128", "gray conversion gain of blue, 0..255"),
    "gray_offset_r": (24, None, "gray conversion offset of red, -255..255"),
    "gray_offset_g1": (25, None, "gray conversion offset of green 1, -255..255"),
    "gray_offset_g2": (26, None, "gray conversion offset of green 2, -255..255"),
    "gray_offset_b": (27, None, "gray conversion offset of blue, -255..255"),
    "auto_gray_balance": (28, None, "set 1: balance the gray gains on the next frame"),
    "peltier": (100, None, "Peltier cooler, where the camera has one"),
    "dot_filter": (102, None, "dot filter, 0 or 1"),
    "mask_filter": (103, None, "defect pixel correction from the pixel mask, 0 or 1"),
    "gain_mode": (104, None, "sensor gain mode"),
    "short_exposure": (105, None, "short exposure mode, 0 or 1"),
    "black_level": (106, None, "sensor black level"),
}


class Feature:
    def __init__(self, name, kind, unit, meaning, getter, setter=None):
        self.name = name
        self.kind = kind  # the Python type of the value
        self.unit = unit
        self.meaning = meaning
        self._getter = getter
        self._setter = setter

    @property
    def settable(self):
        return self._setter is not None

    def describe(self):
        return {
            "name": self.name,
            "type": self.kind.__name__,
            "unit": self.unit,
            "settable": self.settable,
            "meaning": self.meaning,
        }

    def get(self, camera):
        return self._getter(camera)

    def set(self, camera, value):
        if self._setter is None:
            raise TypeError(f"feature {self.name!r} is read-only")
        self._setter(camera, self._convert(value))

    def _convert(self, value):
        if self.kind is float:
            if isinstance(value, numbers.Real) and not isinstance(value, bool):
                return float(value)
        elif self.kind is tuple:
            if isinstance(value, (tuple, list)) and len(value) == 4:
                return tuple(_whole(self.name, v) for v in value)
            raise TypeError(f"feature {self.name!r} takes (x, y, width, height)")
        else:
            return self.kind(_whole(self.name, value))
        raise TypeError(f"feature {self.name!r} takes a number, not {value!r}")


def _whole(name, value):
    if isinstance(value, numbers.Integral):
        return int(value)
    if isinstance(value, numbers.Real) and float(value).is_integer():
        return int(value)
    raise TypeError(f"feature {name!r} takes a whole number, not {value!r}")


def _filter_feature(name, identifier, unit, meaning):
    return Feature(
        name,
        int,
        unit,
        meaning,
        lambda cam: cam._get_filter(name, identifier),
        lambda cam, value: cam._set_filter(name, identifier, value),
    )


def _get_window(cam):
    handle = cam._begin()
    values = [ctypes.c_int() for _ in range(6)]
    lib.Velcor_GetCaptureWindowEx(handle, *[ctypes.byref(v) for v in values])
    _total_width, x, width, _total_height, y, height = (v.value for v in values)
    return (x, y, width, height)


def _set_window(cam, window):
    x, y, width, height = window
    info = cam.info
    handle = cam._begin()
    result = lib.Velcor_SetCaptureWindowEx(
        handle, info["maxWidth"], x, width, info["maxHeight"], y, height
    )
    cam._check("set window", result)


def _set_plain(function, operation):
    """A setter whose call answers 1 or 0."""

    def setter(cam, value):
        handle = cam._begin()
        cam._check(operation, function(handle, value))

    return setter


def _get_io_port(cam):
    value = ctypes.c_ubyte()
    handle = cam._begin()
    cam._check("get io_port", lib.Velcor_GetIOPort(handle, ctypes.byref(value)))
    return value.value


def _set_io_port(cam, value):
    if not 0 <= value <= 255:
        raise ValueError("io_port takes a byte, 0..255")
    handle = cam._begin()
    cam._check("set io_port", lib.Velcor_SetIOPort(handle, value))


def _plain(function):
    """A read that cannot fail on an open camera."""
    return lambda cam: function(cam.handle)


def _build():
    features = {}
    for name, (identifier, unit, meaning) in _FILTERS.items():
        features[name] = _filter_feature(name, identifier, unit, meaning)
    extra = [
        Feature(
            "exposure",
            float,
            "s",
            "exposure time in seconds, in the camera's range (info['exposureMinSeconds'..])",
            lambda cam: cam._get_with_flag("get exposure", lib.Velcor_GetExposureTimeEx),
            _set_plain(lib.Velcor_SetExposureTimeEx, "set exposure"),
        ),
        Feature(
            "exposure_us",
            int,
            "us",
            "exposure time in microseconds (a multiple of 100)",
            lambda cam: cam._get_with_flag("get exposure_us", lib.Velcor_GetRealExposureTime),
            _set_plain(lib.Velcor_SetRealExposureTime, "set exposure_us"),
        ),
        Feature(
            "temperature",
            float,
            "degC",
            "sensor temperature",
            lambda cam: cam._get_with_flag("get temperature", lib.Velcor_GetTemperatureEx),
        ),
        Feature(
            "auto_exposure",
            int,
            None,
            "automatic exposure: 0 off, 1 adjusts the exposure, 2 adjusts the gain",
            lambda cam: cam._get_with_flag("get auto_exposure", lib.Velcor_GetAutoIris),
            _set_plain(lib.Velcor_SetAutoIris, "set auto_exposure"),
        ),
        Feature(
            "mirror_h",
            int,
            None,
            "horizontal mirror, 0 or 1",
            lambda cam: cam._get_without_flag("get mirror_h", lib.Velcor_GetMirrorH),
            _set_plain(lib.Velcor_SetMirrorH, "set mirror_h"),
        ),
        Feature(
            "mirror_v",
            int,
            None,
            "vertical mirror, 0 or 1",
            lambda cam: cam._get_without_flag("get mirror_v", lib.Velcor_GetMirrorV),
            _set_plain(lib.Velcor_SetMirrorV, "set mirror_v"),
        ),
        Feature(
            "color_mode",
            int,
            "bits",
            "output depth: 8 or 16 (monochrome), 24, 32, 48 or 64 (colour cameras); "
            "takes effect at the next capture start",
            _plain(lib.Velcor_GetColorMode),
            _set_plain(lib.Velcor_SetColorMode, "set color_mode"),
        ),
        Feature(
            "window",
            tuple,
            "pixels",
            "capture window (x, y, width, height) on the sensor",
            _get_window,
            _set_window,
        ),
        Feature("width", int, "pixels", "capture width", _plain(lib.Velcor_Width)),
        Feature("height", int, "pixels", "capture height", _plain(lib.Velcor_Height)),
        Feature(
            "wait_time",
            int,
            "ms",
            "pause of the stream between frames",
            _plain(lib.Velcor_GetWaitTime),
            _set_plain(lib.Velcor_SetWaitTime, "set wait_time"),
        ),
        Feature("io_port", int, None, "the camera's I/O port byte", _get_io_port, _set_io_port),
    ]
    for feature in extra:
        features[feature.name] = feature
    return features


FEATURES = _build()
