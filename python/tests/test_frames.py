"""Snapshots and streamed frames."""

import time

import numpy as np
import pytest

import velcor


def ramp(width, height, x0, y0, mask):
    """The simulator's exact test pattern: (x + 2y) & mask in sensor coordinates."""
    x = np.arange(x0, x0 + width)
    y = np.arange(y0, y0 + height)[:, None]
    return (x + 2 * y) & mask


@pytest.mark.parametrize("bits, dtype, mask", [(8, np.uint8, 0xFF), (16, np.uint16, 0xFFF)])
def test_snap_gives_the_picture_top_row_first(sim, cam, bits, dtype, mask):
    sim.set_scene(velcor.SCENE_RAMP)
    cam["color_mode"] = bits
    cam["window"] = (0, 0, 1280, 1024)
    image = cam.snap()
    assert image.dtype == dtype
    assert image.shape == (1024, 1280)
    assert np.array_equal(image, ramp(1280, 1024, 0, 0, mask))


def test_snap_of_a_window(sim, cam):
    # The ROZE9701 windows rows only: its rows are always 1280 pixels, never padded (the
    # padding of other widths is checked against the library's layout in test_library).
    sim.set_scene(velcor.SCENE_RAMP)
    cam["color_mode"] = 8
    cam["window"] = (0, 6, 1280, 33)
    image = cam.snap()
    assert image.shape == (33, 1280) and image.dtype == np.uint8
    assert np.array_equal(image, ramp(1280, 33, 0, 6, 0xFF))
    cam["color_mode"] = 16
    image = cam.snap()
    assert image.shape == (33, 1280) and image.dtype == np.uint16
    assert np.array_equal(image, ramp(1280, 33, 0, 6, 0xFFF))


def test_colour_modes_need_a_colour_camera(cam):
    # The C API drives the monochrome ROZE9701 camera: no colour mode to snap in. The arrays of
    # the colour depths are checked against the library's layout in test_library.
    with pytest.raises(velcor.Error):
        cam["color_mode"] = 24
    pytest.skip("product 0x32C0 offers no colour mode")


def test_frames_yields_n_distinct_frames_and_stops_the_stream(sim, cam):
    sim.set_scene(velcor.SCENE_NATURAL)
    cam["color_mode"] = 8
    cam["window"] = (0, 0, 1280, 480)
    cam["wait_time"] = 0
    frames = list(cam.frames(5))
    assert len(frames) == 5
    for frame in frames:
        assert frame.shape == (480, 1280) and frame.dtype == np.uint8
    # The natural scene has new noise in every frame: a repeated frame would be identical.
    for before, after in zip(frames, frames[1:]):
        assert not np.array_equal(before, after)
    # Snapshots are refused while a stream runs: this one shows the stream is over.
    assert cam.snap().shape == (480, 1280)


def test_frames_in_sixteen_bits(sim, cam):
    sim.set_scene(velcor.SCENE_RAMP)
    cam["color_mode"] = 16
    cam["window"] = (0, 1, 1280, 20)
    for frame in cam.frames(3):
        assert frame.dtype == np.uint16
        assert np.array_equal(frame, ramp(1280, 20, 0, 1, 0xFFF))


def test_no_frames_start_no_stream(cam):
    assert list(cam.frames(0)) == []
    with pytest.raises(ValueError):
        cam.frames(-1)


def test_frames_closed_early_stops_the_stream(cam):
    cam["window"] = (0, 0, 1280, 240)
    stream = cam.frames(1000)
    next(stream)
    with pytest.raises(velcor.Error) as caught:
        cam.snap()  # no snapshot while a stream runs
    assert caught.value.code == 1
    stream.close()
    assert cam.snap().shape == (240, 1280)
    for _ in cam.frames(1000):
        break
    del _
    assert cam.snap().shape == (240, 1280)


def test_a_camera_that_stops_delivering_times_out_as_an_error(lone_sim, lone_cam):
    sim, cam = lone_sim, lone_cam
    cam["window"] = (0, 0, 1280, 240)
    sim.inject_fault(velcor.FAULT_BULK_STALL, 1000)
    start = time.monotonic()
    with pytest.raises(velcor.Error) as caught:
        list(cam.frames(3, timeout=0.3))
    assert "time-out" in str(caught.value)
    assert time.monotonic() - start < 5
    sim.inject_fault(velcor.FAULT_BULK_STALL, 0)


def test_an_unplugged_camera_raises_promptly(lone_sim, lone_cam):
    sim, cam = lone_sim, lone_cam
    cam["window"] = (0, 0, 1280, 240)
    stream = cam.frames(100000, timeout=10)
    next(stream)
    sim.detach()
    start = time.monotonic()
    with pytest.raises(velcor.Error) as caught:
        for _ in stream:
            pass
    assert caught.value.code == 13  # camera stopped
    assert time.monotonic() - start < 5
    start = time.monotonic()
    with pytest.raises(velcor.Error) as caught:
        cam.snap()
    assert caught.value.code == 2  # camera not present
    assert time.monotonic() - start < 1


def test_closing_the_camera_ends_its_stream(lone_cam):
    cam = lone_cam
    cam["window"] = (0, 0, 1280, 240)
    stream = cam.frames(100)
    next(stream)
    cam.close()
    with pytest.raises(velcor.Error):
        next(stream)
