/*
 * Simulated cameras.
 *
 * A simulated camera plugs in where the USB bridge's driver would: once attached, the library
 * finds it, opens it and streams from it exactly as from a real camera, and windows registered
 * for device notifications receive its arrival and removal. Simulated cameras live in the
 * process that attached them; the same serial number gives the same device path in every
 * process, so the device table that processes share recognises it.
 *
 * Threads: every function may be called from any thread, also while other threads use the
 * camera through the library; a detach completes the camera's pending transfers with a failure.
 *
 * Results: BOOL results are TRUE (1) for success and FALSE (0) for failure; nothing is recorded
 * in a camera object's error history.
 */
#ifndef VELCOR_SIM_H
#define VELCOR_SIM_H

#include "VelcorTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fault codes of VelcorSim_InjectFault. Each applies to the next `count` occurrences; a count
   of 0 withdraws the fault. */
#define VELCORSIM_FAULT_CONTROL_FAIL 1 /* control requests on endpoint 0 fail (stall) */
#define VELCORSIM_FAULT_BULK_STALL 2   /* bulk transfers stall: they pend until aborted */
#define VELCORSIM_FAULT_BULK_STATUS                                                  \
    3                               /* bulk transfers complete with their data and a \
                                       non-zero USB status */
#define VELCORSIM_FAULT_I2C_NACK 4  /* I2C transactions are not acknowledged */
#define VELCORSIM_FAULT_FPGA_BUSY 5 /* FPGA register 2 reads busy (1) instead of idle (0) */

/* One entry of the device table that processes share, as VelcorSim_ListDevices reports it. */
typedef struct VELCORSIM_DEVICE {
    unsigned short vendorId;
    unsigned short productId;
    int instance; /* cameras of the same vendor and product id listed before this one */
    int present;  /* 1 when the device can be opened now */
    char path[260];
} VELCORSIM_DEVICE;

/* Attaches a simulated camera with the USB product id (0x32C0 for the ROZE9701 camera) and
   the serial number (1 to 32 printable ASCII characters), which is also stored in its
   configuration ROM. Returns the camera id (> 0), or 0 when the serial number is not valid or
   a camera with the same product id and serial number is attached already. */
VELCOR_API int VELCOR_CALL VelcorSim_AttachCamera(unsigned short productId,
                                                  const char* serialNumber);
/* Unplugs the camera: it leaves the device list, opening it fails and its pending transfers
   fail. FALSE for an unknown camera id. */
VELCOR_API BOOL VELCOR_CALL VelcorSim_DetachCamera(int camera);
/* Makes the camera produce a fault (VELCORSIM_FAULT_*) for the next `count` occurrences.
   FALSE for an unknown camera id or fault code, or a negative count. */
VELCOR_API BOOL VELCOR_CALL VelcorSim_InjectFault(int camera, int fault, int count);
/* Enumerates the attached cameras into the shared device table and copies up to `capacity`
   entries (devices may be null when capacity is 0). Returns the number of entries in the
   table, which may exceed capacity. */
VELCOR_API int VELCOR_CALL VelcorSim_ListDevices(VELCORSIM_DEVICE* devices, int capacity);

#ifdef __cplusplus
}
#endif

#endif /* VELCOR_SIM_H */
