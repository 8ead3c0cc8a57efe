import os
import re
import subprocess
import sys

import numpy as np
import pytest

import velcor


def test_library_answers_its_version():
    assert velcor.library_version() == 0x021B0521


def test_a_library_path_that_leads_nowhere_says_so_on_import(tmp_path):
    missing = tmp_path / "no-such-dir" / "libVelcorSdk_TX40.so.2"
    env = dict(os.environ, VELCOR_LIBRARY=str(missing))
    run = subprocess.run(
        [sys.executable, "-c", "import velcor"], env=env, capture_output=True, text=True
    )
    assert run.returncode != 0
    assert "ImportError" in run.stderr
    assert f"VELCOR_LIBRARY={missing}" in run.stderr
    assert "cannot load the Velcor camera library" in run.stderr


def test_a_file_that_is_no_library_is_refused_with_the_loaders_reason(tmp_path):
    bogus = tmp_path / "libVelcorSdk_TX40.so.2"
    bogus.write_text("not a shared object")
    env = dict(os.environ, VELCOR_LIBRARY=str(bogus))
    run = subprocess.run(
        [sys.executable, "-c", "import velcor"], env=env, capture_output=True, text=True
    )
    assert run.returncode != 0
    assert "ImportError" in run.stderr and str(bogus) in run.stderr


@pytest.mark.parametrize(
    "width, bits, dtype, shape_tail, stride",
    [
        (1280, 8, np.uint8, (), 1280),
        (1001, 8, np.uint8, (), 1004),  # rows padded to 4 bytes
        (1001, 16, np.uint16, (), 2004),
        (1001, 24, np.uint8, (3,), 3004),
        (1001, 32, np.uint8, (4,), 4004),
        (1001, 48, np.uint16, (3,), 6008),
        (1001, 64, np.uint16, (4,), 8008),
        (3, 24, np.uint8, (3,), 12),
    ],
)
def test_frame_layout_matches_the_librarys_rows_and_drops_their_padding(
    width, bits, dtype, shape_tail, stride
):
    height = 3
    layout = velcor.FrameLayout(width, height, bits)
    assert layout.stride == stride and layout.size == stride * height
    buffer = layout.buffer()
    buffer[:] = 0xEE  # what the padding holds must not show
    row_bytes = width * bits // 8
    for row in range(height):
        start = row * stride
        buffer[start : start + row_bytes] = (np.arange(row_bytes) + row) % 251
    image = layout.to_array(buffer)
    assert image.dtype == dtype
    assert image.shape == (height, width) + shape_tail
    assert image.flags["C_CONTIGUOUS"]
    raw = image.reshape(height, -1).view(np.uint8)
    for row in range(height):
        assert np.array_equal(raw[row], (np.arange(row_bytes) + row) % 251)


def test_frame_layout_refuses_depths_the_library_has_not():
    with pytest.raises(ValueError):
        velcor.FrameLayout(10, 10, 12)


def test_error_carries_code_and_text():
    error = velcor.Error("set gain", 9)
    assert error.code == 9 and error.text == "invalid argument"
    assert str(error) == "set gain: error 9: invalid argument"


def test_error_texts_are_the_headers():
    """The package's texts of the error codes are those of the C header (VelcorErrorText)."""
    include = os.environ.get("VELCOR_INCLUDE_DIR")
    if not include:
        pytest.skip("VELCOR_INCLUDE_DIR names no header folder")
    header = open(os.path.join(include, "VelcorErrors.h")).read()
    defines = re.findall(r"#define (VELCOR_ERR_\w+) (\d+)", header)
    codes = {name: int(code) for name, code in defines}
    texts = dict(re.findall(r"case (VELCOR_ERR_\w+):\s*return \"([^\"]*)\";", header))
    assert texts and set(texts) == set(codes)
    assert {codes[name]: text for name, text in texts.items()} == velcor.ERROR_TEXTS
    assert velcor.error_text(10) == "unknown error"
