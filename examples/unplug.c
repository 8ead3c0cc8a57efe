/* Notices a camera being unplugged during the stream, and its return.
 *
 *   unplug [--simulate]
 *
 * The window given to Velcor_Initialize hears cameras arrive and leave
 * (VELCOR_WM_DEVICECHANGE with VELCOR_DBT_DEVICEARRIVAL or VELCOR_DBT_DEVICEREMOVECOMPLETE in
 * wParam). A stream whose camera goes ends with VELCOR_WM_FRAME (wParam 0, lParam
 * VELCOR_ERR_STOPPED) and the same error in the history; the application then stops the
 * preview itself, and opens the camera again once it is back. With a real camera, pull its
 * cable and plug it in again; a simulated one (--simulate or VELCOR_SIMULATE=1, when no real
 * one is present) is unplugged and plugged in from here. */
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
    int simulated = SimulateIfAsked(argc, argv);
    HWND window = VelcorWin_CreateMessageWindow(); /* notifications and frames */
    const int camera = Velcor_Initialize(window);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }
    Velcor_SetPreviewWindow(camera, NULL, 0, 0, 0, 0);
    if (!Velcor_CallBackPreview(camera, window, NULL, 0, 1)) {
        fprintf(stderr, "cannot start: error %d\n", Velcor_GetLastError(camera));
        return 1;
    }
    if (!simulated) printf("streaming: unplug the camera\n");

    int frames = 0;
    int lost = 0;
    int left = 0;
    VELCORMSG msg;
    while (!(lost && left) && VelcorWin_GetMessage(&msg, window, 0, 0, 60000)) {
        if (msg.message == VELCOR_WM_FRAME && msg.wParam != 0 && ++frames == 10 && simulated)
            VelcorSim_DetachCamera(simulated); /* as if its cable were pulled */
        if (msg.message == VELCOR_WM_FRAME && msg.wParam == 0 && msg.lParam == VELCOR_ERR_STOPPED)
            lost = 1;
        if (msg.message == VELCOR_WM_DEVICECHANGE && msg.wParam == VELCOR_DBT_DEVICEREMOVECOMPLETE)
            left = 1;
    }
    printf("%d frames, then the camera left (stream ended: %s)\n", frames, lost ? "yes" : "no");
    Velcor_StopPreview(camera);

    if (simulated)
        simulated = VelcorSim_AttachCamera(0x32C0, "SIM0001"); /* plugged in again */
    else
        printf("plug the camera in again\n");
    int back = 0;
    while (!back && VelcorWin_GetMessage(&msg, window, VELCOR_WM_DEVICECHANGE,
                                         VELCOR_WM_DEVICECHANGE, 60000))
        back = msg.wParam == VELCOR_DBT_DEVICEARRIVAL;
    /* Open it by the number its name carries ("VelcorTX40_01" is number 0). */
    int reopened = back && Velcor_EnumDevice(camera, &names[0][0]) > 0 &&
                   Velcor_SetDeviceNumber(camera, atoi(names[0] + 11) - 1) &&
                   Velcor_SnapShot(camera, NULL, 0, 1);
    printf("camera back: %s, opened and took a frame: %s\n", back ? "yes" : "no",
           reopened ? "yes" : "no");
    Velcor_Release(camera);
    VelcorWin_DestroyWindow(window);
    return lost && left && reopened ? 0 : 1;
}
