/* Lists the attached cameras and opens one.
 *
 *   list_cameras [--simulate] [INDEX]
 *
 * Velcor_Initialize opens the camera by itself when exactly one is attached; with several,
 * Velcor_SetDeviceNumber opens the one wanted. The number a camera is opened by is the one in
 * its name ("VelcorTX40_01" is number 0), which need not be its position in the list once a
 * camera has been unplugged. --simulate (or VELCOR_SIMULATE=1) attaches a simulated camera when
 * no real one is present. */
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int SimulateIfAsked(int argc, char** argv) {
    const char* env = getenv("VELCOR_SIMULATE");
    int asked = env != NULL && strcmp(env, "0") != 0;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--simulate") == 0) asked = 1;
    if (!asked) return 0;
    VELCORSIM_DEVICE devices[16];
    const int count = VelcorSim_ListDevices(devices, 16);
    for (int i = 0; i < count && i < 16; ++i)
        if (devices[i].productId == 0x32C0 && devices[i].present) return 0; /* a real camera */
    return VelcorSim_AttachCamera(0x32C0, "SIM0001");
}

int main(int argc, char** argv) {
    SimulateIfAsked(argc, argv);
    int wanted = 0;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--simulate") != 0) wanted = atoi(argv[i]);

    const int camera = Velcor_Initialize(NULL); /* no notification window */
    if (camera == 0) return 1;
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);
    printf("%d camera(s)\n", count);
    for (int i = 0; i < count; ++i)
        printf("  %s (device number %d)\n", names[i], atoi(names[i] + 11) - 1);
    if (count == 0) {
        Velcor_Release(camera);
        return 1;
    }

    /* With one camera attached Velcor_Initialize has opened it already. */
    if (count > 1 && !Velcor_SetDeviceNumber(camera, wanted)) {
        const int code = Velcor_GetLastError(camera);
        fprintf(stderr, "cannot open camera %d: error %d: %s\n", wanted, code,
                VelcorErrorText(code));
        Velcor_Release(camera);
        return 1;
    }
    char serial[64] = "";
    Velcor_ReadSerialNumberA(camera, serial, sizeof serial);
    VELCORCAMERAINFO info;
    memset(&info, 0, sizeof info);
    info.size = sizeof info;
    const int ok = Velcor_GetCameraInfo(camera, &info);
    printf("opened: serial %s, %d x %d, window %d x %d, gain %d..%d, exposure %g..%g s\n", serial,
           info.maxWidth, info.maxHeight, Velcor_Width(camera), Velcor_Height(camera),
           info.globalGainMin, info.globalGainMax, info.exposureMinSeconds,
           info.exposureMaxSeconds);
    Velcor_Release(camera); /* also stores the camera's settings for the next run */
    return ok ? 0 : 1;
}
