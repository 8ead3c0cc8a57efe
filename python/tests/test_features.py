"""Features by name."""

import pytest

import velcor


def test_numbers_round_trip(cam):
    info = cam.info
    gain = (info["globalGainMin"] + info["globalGainMax"]) // 2
    cam["gain"] = gain
    assert cam["gain"] == gain
    cam["exposure"] = 0.25
    assert cam["exposure"] == pytest.approx(0.25)
    assert cam["exposure_us"] == 250000
    assert cam["exposure_units"] == 2500
    cam["exposure_us"] = 10000
    assert cam["exposure"] == pytest.approx(0.01)
    cam["contrast"] = -100
    assert cam["contrast"] == -100
    cam["gamma"] = 150
    assert cam["gamma"] == 150
    cam["mirror_h"] = 1
    assert cam["mirror_h"] == 1
    cam["mirror_h"] = False
    assert cam["mirror_h"] == 0
    cam["wait_time"] = 3
    assert cam["wait_time"] == 3


def test_color_mode_and_window_set_the_frame_geometry(cam):
    cam["color_mode"] = 8
    assert cam["color_mode"] == 8
    cam["window"] = (0, 8, 1280, 480)  # the ROZE9701 windows rows only
    assert cam["window"] == (0, 8, 1280, 480)
    assert (cam.width, cam.height) == (1280, 480)
    with pytest.raises(velcor.Error) as caught:
        cam["window"] = (0, 0, 640, 480)
    assert caught.value.code == 9


def test_unknown_names_raise_key_error(cam):
    with pytest.raises(KeyError):
        cam["exposure_time"]
    with pytest.raises(KeyError):
        cam["no_such_feature"] = 1
    assert "gain" in cam and "no_such_feature" not in cam
    assert "exposure" in velcor.Camera.features()


def test_refused_set_raises_error_with_the_librarys_code(cam):
    with pytest.raises(velcor.Error) as caught:
        cam["contrast"] = 128  # -127..127
    assert caught.value.code == 9 and caught.value.text == "invalid argument"
    assert cam["contrast"] != 128
    with pytest.raises(velcor.Error) as caught:
        cam["color_mode"] = 24  # the ROZE9701 is monochrome
    assert caught.value.code == 9
    with pytest.raises(velcor.Error) as caught:
        cam["window"] = (0, 100, 1280, 1000)  # beyond the sensor's bottom edge
    assert caught.value.code == 7
    cam["window"] = (0, 0, 1280, 1024)
    gain_max = cam.info["globalGainMax"]
    with pytest.raises(velcor.Error) as caught:
        cam["gain"] = gain_max + 1
    assert caught.value.code == 9


def test_values_of_the_wrong_kind_and_read_only_features_raise_type_error(cam):
    with pytest.raises(TypeError):
        cam["gain"] = 2.5
    with pytest.raises(TypeError):
        cam["exposure"] = "fast"
    with pytest.raises(TypeError):
        cam["width"] = 640
    assert cam.describe("exposure")["unit"] == "s"
    assert not cam.describe("temperature")["settable"]


def test_temperature_reads_as_degrees(cam):
    assert -40.0 < cam["temperature"] < 125.0
