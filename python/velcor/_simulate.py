"""Simulated cameras (VelcorSim_*): cameras that live in this process, for tests and demos."""

from ._camera import PRODUCT_ID, _serial_hints
from ._errors import Error
from ._lib import has, lib

# Scenes of set_scene().
SCENE_NATURAL = 0  # moving scene with noise and defect pixels (the default)
SCENE_RAMP = 1  # exact test pattern: pixel (x, y) is (x + 2y) & 0xFF (8 bits), & 0xFFF (16 bits)
SCENE_DARK = 2
SCENE_FLAT = 3

# Faults of inject_fault().
FAULT_CONTROL_FAIL = 1
FAULT_BULK_STALL = 2
FAULT_BULK_STATUS = 3
FAULT_I2C_NACK = 4
FAULT_FPGA_BUSY = 5
FAULT_HEADER_LOST = 6
FAULT_SHORT_FRAME = 7
FAULT_UNPLUG = 8


class simulate:  # noqa: N801 - used as velcor.simulate(...), like a function
    """Attaches a simulated camera for the `with` block and detaches it afterwards:

        with velcor.simulate(serial="SIM0001") as sim:
            with velcor.open(serial=sim.serial) as cam: ...

    The object says which camera it is (product_id, serial, number: its device number) and
    drives the simulator (set_scene, inject_fault, detach)."""

    def __init__(self, product_id=PRODUCT_ID, serial="SIM0001"):
        self.product_id = int(product_id)
        self.serial = str(serial)
        self.id = 0

    def attach(self):
        if not has(lib, "VelcorSim_AttachCamera"):
            raise Error("simulate", None, "this build of the library has no simulated cameras")
        if self.id:
            return self
        camera = lib.VelcorSim_AttachCamera(self.product_id, self.serial.encode("ascii"))
        if camera == 0:
            raise Error(
                "simulate",
                None,
                f"camera {self.product_id:#06x} {self.serial!r} not attached: the serial number "
                "must be 1 to 32 printable ASCII characters and not attached already",
            )
        self.id = camera
        return self

    def detach(self):
        """Unplugs the camera (also what leaving the `with` block does); safe to repeat."""
        camera, self.id = self.id, 0
        if camera:
            lib.VelcorSim_DetachCamera(camera)

    def __enter__(self):
        return self.attach()

    def __exit__(self, *exc):
        self.detach()

    @property
    def number(self):
        """The camera's device number (what velcor.open(number=...) takes), or None."""
        if not self.id:
            return None
        numbers = _serial_hints(self.serial)
        return numbers[0] if numbers else None

    def _check(self, operation, result):
        if not result:
            raise Error(operation, None, "the simulator refused")

    def set_scene(self, scene):
        self._check("set_scene", lib.VelcorSim_SetScene(self.id, int(scene)))

    def set_fast_frames(self, fast):
        self._check("set_fast_frames", lib.VelcorSim_SetFastFrames(self.id, 1 if fast else 0))

    def inject_fault(self, fault, count=1):
        self._check("inject_fault", lib.VelcorSim_InjectFault(self.id, int(fault), int(count)))

    def __repr__(self):
        state = f"id {self.id}" if self.id else "detached"
        return f"<velcor.simulate {self.product_id:#06x} {self.serial!r} {state}>"
