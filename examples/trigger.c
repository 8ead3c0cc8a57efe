/* External trigger: the camera takes a frame for each pulse on its trigger input.
 *
 *   trigger [--simulate] [FRAMES]
 *
 * Velcor_Trigger starts the trigger loop: every pulse gives one frame, copied into the buffer
 * and announced by VELCOR_WM_FRAME (its frame rate field is 0 in this mode). The loop starts
 * counting pulses once the exposure running at the start has ended (at most the exposure time
 * plus 0.1 s). With a real camera the pulses come from the wiring; a simulated camera
 * (--simulate or VELCOR_SIMULATE=1, when no real one is present) is pulsed from here with
 * VelcorSim_FireTrigger. */
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
    const int simulated = SimulateIfAsked(argc, argv);
    int frames = 3;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--simulate") != 0) frames = atoi(argv[i]);

    HWND window = VelcorWin_CreateMessageWindow();
    const int camera = Velcor_Initialize(window);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }
    Velcor_SetColorMode(camera, 8);
    Velcor_SetExposureTimeEx(camera, 0.001);
    const int size = ((Velcor_Width(camera) + 3) & ~3) * Velcor_Height(camera);
    unsigned char* buffer = malloc((size_t)size);
    Velcor_SetPreviewWindow(camera, NULL, 0, 0, 0, 0); /* no preview window */
    if (buffer == NULL || !Velcor_Trigger(camera, window, buffer, size, 1)) {
        fprintf(stderr, "cannot start trigger mode: error %d\n", Velcor_GetLastError(camera));
        return 1;
    }

    int delivered = 0;
    /* A simulated camera is pulsed every 0.2 s, for at most 10 s; a real one waits 10 s for
       each pulse. */
    for (int waits = 0; delivered < frames && waits < 50; ++waits) {
        if (simulated) VelcorSim_FireTrigger(simulated);
        VELCORMSG msg;
        if (!VelcorWin_GetMessage(&msg, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                  simulated ? 200 : 10000)) {
            if (simulated) continue;
            break;
        }
        if (msg.wParam == 0) {
            fprintf(stderr, "frame failed: error %d\n", (int)msg.lParam);
            continue;
        }
        const VELCORFRAMEINFO* info = (const VELCORFRAMEINFO*)msg.wParam;
        ++delivered;
        printf("triggered frame %d: %d x %d\n", delivered, info->width, info->height);
    }
    Velcor_StopPreview(camera); /* leaves trigger mode */
    Velcor_Release(camera);
    VelcorWin_DestroyWindow(window);
    free(buffer);
    return delivered == frames ? 0 : 1;
}
