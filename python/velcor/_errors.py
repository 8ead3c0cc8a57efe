"""The library's error codes as a Python exception."""

# Short meanings of the codes of the camera's error history (the C header's VelcorErrorText).
ERROR_TEXTS = {
    0: "success",
    1: "no camera or wrong state",
    2: "camera not present",
    3: "thread creation failed",
    4: "window failure",
    5: "out of memory or buffer too small",
    6: "device access failed",
    7: "capture window rejected",
    8: "acquisition failed",
    9: "invalid argument",
    11: "not supported",
    12: "conversion failed or wrong state",
    13: "camera stopped",
    14: "mask file failed",
}

NO_CAMERA = 1
NOT_PRESENT = 2
ACQUISITION = 8
ARGUMENT = 9
STOPPED = 13


def error_text(code):
    return ERROR_TEXTS.get(code, "unknown error")


class Error(Exception):
    """A call the library refused or that failed.

    `code` is the library's error code (None when the library recorded none, e.g. a frame wait
    that timed out in this package), `text` its meaning and `operation` what was asked.
    """

    def __init__(self, operation, code=None, detail=None):
        self.operation = operation
        self.code = code
        self.text = error_text(code) if code is not None else (detail or "failed")
        message = f"{operation}: "
        message += f"error {code}: {self.text}" if code is not None else self.text
        if detail and code is not None:
            message += f" ({detail})"
        super().__init__(message)
