/* Sets exposure and gain and takes one frame into a buffer of the application.
 *
 *   snapshot [--simulate]
 *
 * The buffer must hold the image as the library stores it: height rows of `stride` bytes, the
 * stride being a row of width x bits-per-pixel / 8 bytes rounded up to a multiple of 4. Width
 * and height are those of the capture window, the bits per pixel those of the colour mode
 * (8 or 16 on this monochrome camera; 24 to 64 on colour ones). --simulate (or
 * VELCOR_SIMULATE=1) attaches a simulated camera when no real one is present. */
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

static int Fail(int camera, const char* what) {
    const int code = Velcor_GetLastError(camera);
    fprintf(stderr, "%s: error %d: %s\n", what, code, VelcorErrorText(code));
    Velcor_Release(camera);
    return 1;
}

int main(int argc, char** argv) {
    SimulateIfAsked(argc, argv);
    const int camera = Velcor_Initialize(NULL);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }

    if (!Velcor_SetExposureTimeEx(camera, 0.005)) return Fail(camera, "exposure"); /* 5 ms */
    if (!Velcor_SetGlobalGain(camera, 8)) return Fail(camera, "gain");
    if (!Velcor_SetColorMode(camera, 16)) return Fail(camera, "colour mode");
    /* 480 rows from the middle of the sensor; this sensor reads whole rows of 1280 pixels. */
    if (!Velcor_SetCaptureWindowEx(camera, 1280, 0, 1280, 1024, 272, 480))
        return Fail(camera, "window");

    const int width = Velcor_Width(camera);
    const int height = Velcor_Height(camera);
    const int bits = Velcor_GetColorMode(camera);
    const int stride = (width * bits / 8 + 3) & ~3;
    const int size = stride * height;
    unsigned char* image = malloc((size_t)size);
    if (image == NULL) return Fail(camera, "memory");

    /* 1: top row first in the buffer; 0 would give bottom-up bitmap order. */
    if (!Velcor_SnapShot(camera, image, size, 1)) {
        free(image);
        return Fail(camera, "snapshot");
    }
    /* 16-bit pixels are stored little-endian. */
    const unsigned char* centre = image + (size_t)(height / 2) * stride + (size_t)(width / 2) * 2;
    printf("%d x %d, %d bits, stride %d, %d bytes; centre pixel %d\n", width, height, bits, stride,
           size, centre[0] | centre[1] << 8);
    free(image);
    Velcor_Release(camera);
    return 0;
}
