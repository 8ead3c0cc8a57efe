/* Saves the latest image in each of the library's file formats.
 *
 *   save_images [--simulate] [DIRECTORY]
 *
 * Velcor_SaveImage writes the image of the last snapshot or preview frame; the format is the
 * number given (VELCOR_FILE_*), never the file name's extension. PNG and TIFF keep 16 bits
 * per sample, JPEG reduces them to 8, BMP has the image's depth, and raw is the pixel memory as
 * stored (rows top first, each padded to 4 bytes). --simulate (or VELCOR_SIMULATE=1) attaches a
 * simulated camera when no real one is present. */
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
    const char* directory = ".";
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--simulate") != 0) directory = argv[i];

    const int camera = Velcor_Initialize(NULL);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }
    /* A snapshot without a buffer only makes the image that the saves write. */
    Velcor_SetColorMode(camera, 16);
    if (!Velcor_SnapShot(camera, NULL, 0, 1)) {
        fprintf(stderr, "snapshot: error %d\n", Velcor_GetLastError(camera));
        return 1;
    }
    static const struct {
        int format;
        const char* name;
    } files[] = {{VELCOR_FILE_BMP, "image.bmp"},        {VELCOR_FILE_RAW, "image.raw"},
                 {VELCOR_FILE_JPEG, "image.jpg"},       {VELCOR_FILE_JPEG70, "image-q70.jpg"},
                 {VELCOR_FILE_JPEG20, "image-q20.jpg"}, {VELCOR_FILE_PNG, "image.png"},
                 {VELCOR_FILE_TIFF, "image.tif"}};
    int failures = 0;
    for (size_t i = 0; i < sizeof files / sizeof files[0]; ++i) {
        char path[4096];
        snprintf(path, sizeof path, "%s/%s", directory, files[i].name);
        if (Velcor_SaveImage(camera, path, files[i].format)) {
            printf("wrote %s\n", path);
        } else {
            const int code = Velcor_GetLastError(camera);
            fprintf(stderr, "%s: error %d: %s\n", path, code, VelcorErrorText(code));
            ++failures;
        }
    }
    Velcor_Release(camera);
    return failures == 0 ? 0 : 1;
}
