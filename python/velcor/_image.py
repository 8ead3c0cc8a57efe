"""Frame layout: how many bytes the library writes for a frame and how they become an array."""

import numpy as np

# Output depth in bits -> (sample type, samples per pixel). 24 and 32 bits are 8-bit blue,
# green, red (and a fourth byte); 48 and 64 bits the same with 16-bit samples.
_DEPTHS = {
    8: (np.uint8, 1),
    16: (np.uint16, 1),
    24: (np.uint8, 3),
    32: (np.uint8, 4),
    48: (np.uint16, 3),
    64: (np.uint16, 4),
}


class FrameLayout:
    """The library's image of width x height at `bits` per pixel: rows of `stride` bytes, the
    pixel bytes of a row padded to a multiple of 4."""

    def __init__(self, width, height, bits):
        if bits not in _DEPTHS:
            raise ValueError(f"no image depth of {bits} bits")
        if width <= 0 or height <= 0:
            raise ValueError(f"no image of {width} x {height} pixels")
        self.width = width
        self.height = height
        self.bits = bits
        self.dtype, self.channels = _DEPTHS[bits]
        self.row_bytes = width * (bits // 8)
        self.stride = (self.row_bytes + 3) & ~3
        self.size = self.stride * height

    def buffer(self):
        """A buffer of the size the library checks before it copies an image."""
        return np.empty(self.size, dtype=np.uint8)

    def to_array(self, buffer):
        """The picture in `buffer` (top row first) as a (height, width) or (height, width,
        channels) array without the row padding; a view of the buffer when no row is padded."""
        rows = buffer.reshape(self.height, self.stride)
        if self.stride != self.row_bytes:
            rows = rows[:, : self.row_bytes]
        pixels = np.ascontiguousarray(rows).view(self.dtype)
        if self.channels == 1:
            return pixels.reshape(self.height, self.width)
        return pixels.reshape(self.height, self.width, self.channels)

    def __repr__(self):
        return f"FrameLayout({self.width}, {self.height}, {self.bits})"
