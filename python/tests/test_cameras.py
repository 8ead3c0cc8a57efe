"""Opening, listing and closing cameras."""

import pytest

import velcor
from conftest import new_serial


def test_simulated_camera_says_which_device_it_is(sim):
    assert sim.product_id == velcor.PRODUCT_ID
    assert sim.number is not None
    names = {device.serial: device for device in velcor.devices()}
    assert names[sim.serial].number == sim.number
    assert names[sim.serial].name == f"VelcorTX40_{sim.number + 1:02d}"
    assert names[sim.serial].present


def test_open_by_number_and_by_serial_finds_the_same_camera():
    with velcor.simulate(serial=new_serial()) as first, velcor.simulate(
        serial=new_serial()
    ) as second:
        assert first.number != second.number
        with velcor.open(number=second.number) as cam:
            assert cam.serial == second.serial
            assert cam.number == second.number
        with velcor.open(serial=first.serial) as cam:
            assert cam.serial == first.serial
            assert cam.number == first.number
        first_present = min(d.number for d in velcor.devices() if d.present)
        with velcor.open() as cam:
            assert cam.number == first_present


def test_open_of_an_unknown_serial_or_number_raises_not_present(sim):
    with pytest.raises(velcor.Error) as caught:
        velcor.open(serial="NO-SUCH-CAMERA")
    assert caught.value.code == 2
    with pytest.raises(velcor.Error) as caught:
        velcor.open(number=31)
    assert caught.value.code == 2


def test_devices_shows_an_unplugged_camera_as_not_present():
    keep = velcor.simulate(serial=new_serial()).attach()
    gone = velcor.simulate(serial=new_serial()).attach()
    try:
        number = gone.number
        gone.detach()
        listed = {device.number: device for device in velcor.devices()}
        assert listed[keep.number].present and listed[keep.number].serial == keep.serial
        assert number not in listed or not listed[number].present
    finally:
        keep.detach()
        gone.detach()


def test_context_manager_releases_the_camera_so_it_opens_again(lone_sim):
    sim = lone_sim
    with velcor.open(serial=sim.serial) as cam:
        cam["gain"] = cam.info["globalGainMin"]
    assert cam.closed
    with pytest.raises(velcor.Error):
        cam["gain"]
    cam.close()  # a second close does nothing
    with velcor.open(serial=sim.serial) as again:
        assert again.serial == sim.serial
        assert again.snap().shape == (again.height, again.width)


def test_close_releases_without_a_with_block(lone_sim):
    sim = lone_sim
    cam = velcor.open(serial=sim.serial)
    cam.close()
    cam.close()
    with velcor.open(number=sim.number) as again:
        assert not again.closed


def test_simulate_refuses_a_serial_already_attached(sim):
    with pytest.raises(velcor.Error):
        velcor.simulate(serial=sim.serial).attach()
