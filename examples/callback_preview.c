/* Callback preview: the library streams frames into the application's buffer and announces
 * each one with a message to a message window of the application.
 *
 *   callback_preview [--simulate] [FRAMES]
 *
 * On Linux a message window is made with VelcorWin_CreateMessageWindow and read with
 * VelcorWin_GetMessage. VELCOR_WM_FRAME carries the frame information record (wParam), or 0
 * and an error code (lParam) when a frame could not be delivered; VELCOR_WM_ERROR carries
 * the errors the camera records. The buffer is written by the library's worker thread: read it
 * when its message arrives. --simulate (or VELCOR_SIMULATE=1) attaches a simulated camera when
 * no real one is present. */
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

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
    int frames = 20;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--simulate") != 0) frames = atoi(argv[i]);

    HWND window = VelcorWin_CreateMessageWindow(); /* errors and frames both come here */
    const int camera = Velcor_Initialize(window);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }
    Velcor_SetColorMode(camera, 8);
    const int stride = (Velcor_Width(camera) + 3) & ~3; /* 8 bits per pixel */
    const int size = stride * Velcor_Height(camera);
    unsigned char* buffer = malloc((size_t)size);
    /* Frames to the application only; a window placement would show them as well. */
    Velcor_SetPreviewWindow(camera, NULL, 0, 0, 0, 0);
    if (buffer == NULL || !Velcor_CallBackPreview(camera, window, buffer, size, 1)) {
        fprintf(stderr, "cannot start: error %d\n", Velcor_GetLastError(camera));
        return 1;
    }

    int delivered = 0;
    int failed = 0;
    VELCORMSG msg;
    while (delivered < frames && VelcorWin_GetMessage(&msg, window, 0, 0, 5000)) {
        if (msg.message == VELCOR_WM_ERROR) {
            fprintf(stderr, "error %d: %s\n", (int)msg.lParam, VelcorErrorText((int)msg.lParam));
        } else if (msg.message == VELCOR_WM_FRAME && msg.wParam != 0) {
            const VELCORFRAMEINFO* info = (const VELCORFRAMEINFO*)msg.wParam;
            ++delivered;
            if (delivered % 5 == 0)
                printf("frame %d: %d x %d, %d bits, %.1f frames per second, first pixel %d\n",
                       delivered, info->width, info->height, info->bitsPerPixel,
                       info->frameRate / 10.0, info->image[0]);
        } else if (msg.message == VELCOR_WM_FRAME) {
            ++failed; /* lParam: 5 buffer too small, 8 read failed, 13 camera stopped */
            if (msg.lParam == VELCOR_ERR_STOPPED) break;
        }
    }
    Velcor_StopPreview(camera); /* returns once the worker has ended: the buffer is free */
    Velcor_Release(camera);
    VelcorWin_DestroyWindow(window);
    free(buffer);
    printf("%d frames, %d failed\n", delivered, failed);
    return delivered == frames ? 0 : 1;
}
