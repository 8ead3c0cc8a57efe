"""Fixtures of the velcor tests: simulated cameras, and stored settings in a folder of the run's
own (the library keeps camera settings under XDG_CONFIG_HOME)."""

import atexit
import itertools
import os
import shutil
import tempfile

_config_root = tempfile.mkdtemp(prefix="velcor-pytest-")
atexit.register(shutil.rmtree, _config_root, ignore_errors=True)
# Before the library is loaded: never the user's ~/.config.
os.environ["XDG_CONFIG_HOME"] = _config_root

import pytest  # noqa: E402

import velcor  # noqa: E402

_serials = itertools.count(1)


def new_serial():
    """A serial number no camera of this run had. Short: the library reads it from the ROM at
    about 10 ms a character."""
    return f"S{next(_serials)}"


def fresh_settings():
    """Cameras opened from now on start from the library's defaults: the library stores a
    camera's settings by device number when it is released and loads them when it is opened."""
    os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp(dir=_config_root)


# Opening a camera takes a few tenths of a second (sensor and FPGA set-up): the tests of one
# file share a camera and set what they depend on; tests that unplug or close theirs get one of
# their own.
@pytest.fixture(scope="module")
def sim():
    with velcor.simulate(serial=new_serial()) as camera:
        yield camera


@pytest.fixture(scope="module")
def cam(sim):
    fresh_settings()
    with velcor.open(serial=sim.serial) as camera:
        yield camera


@pytest.fixture
def lone_sim():
    with velcor.simulate(serial=new_serial()) as camera:
        yield camera


@pytest.fixture
def lone_cam(lone_sim):
    fresh_settings()
    with velcor.open(serial=lone_sim.serial) as camera:
        yield camera
