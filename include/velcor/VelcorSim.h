/**
 * @file VelcorSim.h
 * @brief Simulated cameras, and the frame counters of any camera handle.
 *
 * A simulated camera plugs in where the USB bridge's driver would: once attached, the library
 * finds it, opens it and streams from it exactly as from a real camera, and windows registered
 * for device notifications receive its arrival and removal. Simulated cameras belong to the
 * process that attached them: only that process lists, opens and streams them. They never enter
 * the device table that processes share for the machine's cameras; each process lists its own
 * simulated cameras together with the machine's cameras, so two processes may each attach a
 * camera of the same serial number and use it side by side.
 *
 * Threads: every function may be called from any thread, also while other threads use the
 * camera through the library; a detach completes the camera's pending transfers with a failure.
 *
 * Results: VELCOR_BOOL results are TRUE (1) for success and FALSE (0) for failure; nothing is
 * recorded in a camera object's error history. A library built without the simulator answers
 * every VelcorSim_ function with its failure result (0, FALSE or -1), except
 * VelcorSim_ListDevices() and VelcorSim_GetFrameCounters(), which serve the machine's cameras.
 */
#ifndef VELCOR_SIM_H
#define VELCOR_SIM_H

#include "VelcorTypes.h"

/**
 * @defgroup sim Simulator
 * @brief Simulated cameras that the library finds, opens and streams like real ones, with
 * faults, scenes and registers under the test's control.
 *
 * A test attaches a camera, makes a handle with Velcor_Initialize() (which opens it when it is
 * the only camera of the product) and drives it through the C API of VelcorSdk.h:
 * @code
 * int camera = VelcorSim_AttachCamera(0x32C0, "SIM0001");
 * VelcorSim_SetScene(camera, VELCOR_SIM_SCENE_RAMP);
 * int handle = Velcor_Initialize(NULL);
 * ... Velcor_SnapShot(handle, buffer, size, 1) ...
 * Velcor_Release(handle);
 * VelcorSim_DetachCamera(camera);
 * @endcode
 * @{
 */

#ifdef __cplusplus
extern "C" {
#endif

/** @name Fault codes
    Faults of VelcorSim_InjectFault(). Each applies to the next `count` occurrences; a count of
    0 withdraws the fault.
    @{ */
#define VELCORSIM_FAULT_CONTROL_FAIL 1 /**< control requests on endpoint 0 fail (stall) */
#define VELCORSIM_FAULT_BULK_STALL 2   /**< bulk transfers stall: they pend until aborted */
/** Bulk transfers complete with their data and a non-zero USB status. */
#define VELCORSIM_FAULT_BULK_STATUS 3
#define VELCORSIM_FAULT_I2C_NACK 4  /**< I2C transactions are not acknowledged */
#define VELCORSIM_FAULT_FPGA_BUSY 5 /**< FPGA register 2 reads busy (1) instead of idle (0) */
/** The header transfer of each of the next `count` frames fails with a USB transaction error and
   the frame is dropped. The controller retries a lost header up to 30 times before the engine
   counts one lost frame, so 30 lost headers make one failure and 150 make the engine give up. */
#define VELCORSIM_FAULT_HEADER_LOST 6
/** The next `count` frames carry half the bytes their header announces. */
#define VELCORSIM_FAULT_SHORT_FRAME 7
/** The camera delivers `count` more frames, then unplugs itself at the next frame request: it
   leaves the device list and its transfers fail as those of a detached camera. */
#define VELCORSIM_FAULT_UNPLUG 8
/** @} */

/** @name Register spaces
    Spaces of VelcorSim_GetRegister() and VelcorSim_SetRegister(). Registers are bytes.
    @{ */
#define VELCORSIM_SPACE_FPGA 1 /**< FPGA register file (I2C 0x40), registers 0-255 */
/** Image sensor (I2C 0x48); ROZE9701: registers 0-0x1FF, other products: 0-0xFFFF. */
#define VELCORSIM_SPACE_SENSOR 2
#define VELCORSIM_SPACE_EEPROM 3 /**< configuration EEPROM (I2C 0xA2), addresses 0-0xFFFF */
/** @} */

/** @name Scenes
    Scenes of VelcorSim_SetScene() (cameras of product 0x32C0; cameras of the other products
    always draw their own moving test picture: a ramp on monochrome sensors, a Bayer mosaic of
    phase 0 on colour sensors).
    @{ */
/** A smooth, slowly moving scene whose brightness follows exposure, gain and black level and
   saturates, with noise and the camera's defect pixels. The default. */
#define VELCOR_SIM_SCENE_NATURAL 0
/** An exact test pattern, whatever the exposure and gain, without defects: the picture's pixel in
   column x (0 = left) and row y (0 = top) is (x + 2y) & 0xFF at 8 bits and (x + 2y) & 0xFFF at
   16 bits. The sensor's window and mirrors act on it as on any picture. */
#define VELCOR_SIM_SCENE_RAMP 1
/** Lens capped: the black level, noise and the defect pixels. */
#define VELCOR_SIM_SCENE_DARK 2
/** Uniformly lit at half the natural scene's full brightness, with noise and defect pixels. */
#define VELCOR_SIM_SCENE_FLAT 3
/** @} */

/** One entry of the device table as this process sees it (its own simulated cameras and the
   machine's cameras), as VelcorSim_ListDevices reports it. */
typedef struct VELCORSIM_DEVICE {
    unsigned short vendorId;  /**< USB vendor id */
    unsigned short productId; /**< USB product id (0x32C0 for the ROZE9701 camera) */
    /** Cameras of the same vendor and product id listed before this one in this process's
        table: the device number that Velcor_SetDeviceNumber() takes for it. */
    int instance;
    int present;    /**< 1 when the device can be opened now */
    char path[260]; /**< device path, NUL-terminated */
} VELCORSIM_DEVICE;

/** Attaches a simulated camera with the USB product id (0x32C0 for the ROZE9701 camera) and
   the serial number (1 to 32 printable ASCII characters), which is also stored in its
   configuration ROM. Returns the camera id (> 0), or 0 when the serial number is not valid or
   a camera with the same product id and serial number is attached already. */
VELCOR_API int VELCOR_CALL VelcorSim_AttachCamera(unsigned short productId,
                                                  const char* serialNumber);
/** Unplugs the camera: it leaves the device list, opening it fails and its pending transfers
   fail. FALSE for an unknown camera id. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_DetachCamera(int camera);
/** Makes the camera produce a fault (VELCORSIM_FAULT_*) for the next `count` occurrences.
   FALSE for an unknown camera id or fault code, or a negative count. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_InjectFault(int camera, int fault, int count);
/** Reads a register of the camera (space VELCORSIM_SPACE_*) as the chip itself holds it, without
   the access rules the bus applies. Returns the byte, or -1 for an unknown camera, space or
   address. */
VELCOR_API int VELCOR_CALL VelcorSim_GetRegister(int camera, int space, int address);
/** Sets a register of the camera as the chip itself would, without the access rules of the bus:
   read-only FPGA registers, the sensor's temperature reading and its locked black-level
   registers can be forced. The ROZE9701 camera is ready when FPGA register 0x13 is 9 or more or
   register 0x21 is 3; clearing both makes a camera that never becomes ready. FALSE for an
   unknown camera, space or address or a value outside 0-255. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetRegister(int camera, int space, int address,
                                                         int value);
/** Chooses what the camera looks at (VELCOR_SIM_SCENE_*) from its next frame on. FALSE for an
   unknown camera or scene. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetScene(int camera, int scene);
/** One pulse on the camera's trigger input. In trigger mode (sensor in triggered readout, FPGA
   register 88 = 1) it starts one frame, which advances the frame counter (FPGA register 8) once
   it is finished; otherwise the camera ignores it. FALSE for an unknown or unplugged camera. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_FireTrigger(int camera);
/** Gives the sensor `hot` pixels stuck at full scale and `dead` pixels stuck at 0, at positions
   drawn from `seed` (the same seed gives the same pixels). They show in every scene but the
   ramp. FALSE for an unknown camera, a negative count or more than 81920 defects together. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetDefects(int camera, int hot, int dead,
                                                        unsigned seed);
/** TRUE (the default): every frame is finished the moment it is requested or triggered, so
   frames come as fast as the host takes them; a requested frame is made once the camera's
   transfer buffers have room for it. FALSE: frames come at the sensor's frame rate (frame
   length x line length / pixel clock), triggered frames after their exposure and readout.
   Requested frames are made on a thread of the simulator at normal priority, not on the thread
   that asks for them. FALSE for an unknown camera. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastFrames(int camera, VELCOR_BOOL fast);
/** FALSE (the default): every frame of a product 0x32C0 camera is computed afresh from its scene,
   with new noise in every frame. TRUE: the scene is drawn once into a picture of the whole
   sensor (again whenever the scene, pixel depth, horizontal mirror, exposure, gain or black level
   change) and every frame is copied out of that picture, so that it costs the simulator about a
   copy of the frame's bytes and a stream measures the library rather than the simulator. The
   ramp stays exact; the natural scene moves by one sensor row per frame (wrapping round), its
   noise is the same in every frame; the defect pixels stay where the sensor has them. Window,
   mirrors and offsets act as in the default mode. Cameras of other products ignore it. FALSE for
   an unknown camera, or when there is no memory for the picture (about 2.5 MiB). */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_SetFastRender(int camera, VELCOR_BOOL fast);
/** Enumerates the attached cameras into the device table and copies up to `capacity` entries of
   the table as this process sees it: its own simulated cameras and the machine's cameras, in
   the order they were found (devices may be null when capacity is 0). While the process keeps
   a camera handle (Velcor_Initialize), entries keep their index and a detached camera stays
   listed, no longer present. Returns the number of entries, which may exceed capacity. */
VELCOR_API int VELCOR_CALL VelcorSim_ListDevices(VELCORSIM_DEVICE* devices, int capacity);

/** Frame counters of a camera handle's frame ring, for diagnostics of any camera, simulated or
    real, counted since the handle was made. */
typedef struct VELCORSIM_FRAMECOUNTERS {
    unsigned long long finished; /**< frames the camera delivered complete into the ring */
    unsigned long long read;     /**< frames the library took out of the ring */
    unsigned long long dropped;  /**< frames overwritten by newer ones before anyone read them */
} VELCORSIM_FRAMECOUNTERS;

/** Copies the frame counters of the camera handle (a handle of Velcor_Initialize). FALSE for an
   unknown handle or a null pointer. */
VELCOR_API VELCOR_BOOL VELCOR_CALL VelcorSim_GetFrameCounters(int handle,
                                                              VELCORSIM_FRAMECOUNTERS* counters);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_SIM_H */
