/* Records an uncompressed AVI film from the live stream.
 *
 *   record_video [--simulate] [FILE.avi [MILLISECONDS]]
 *
 * Velcor_Record starts the stream and a recorder that adds every new frame, as 24-bit colour,
 * until the duration has passed (default 2 s); it then finishes the file with the frame rate it
 * measured. Films are uncompressed: about 1 MB per frame of the 1280 x 256 window used here.
 * Velcor_StopPreview ends a recording early and returns once the recorder has stopped.
 * --simulate (or VELCOR_SIMULATE=1) attaches a simulated camera when no real one is present. */
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

static unsigned LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (unsigned)bytes[3] << 24;
}

int main(int argc, char** argv) {
    SimulateIfAsked(argc, argv);
    const char* path = "film.avi";
    int durationMs = 2000;
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--simulate") == 0) continue;
        if (given++ == 0)
            path = argv[i];
        else
            durationMs = atoi(argv[i]);
    }

    HWND window = VelcorWin_CreateMessageWindow();
    const int camera = Velcor_Initialize(window);
    char names[10][256];
    if (camera == 0 || Velcor_EnumDevice(camera, &names[0][0]) == 0) {
        fprintf(stderr, "no camera\n");
        return 1;
    }
    Velcor_SetColorMode(camera, 8);
    Velcor_SetCaptureWindowEx(camera, 1280, 0, 1280, 1024, 384, 256); /* a smaller film */
    Velcor_SetPreviewWindow(camera, NULL, 0, 0, 0, 0);                /* record without showing */
    if (!Velcor_Record(camera, path, durationMs, 0)) {
        fprintf(stderr, "cannot record: error %d\n", Velcor_GetLastError(camera));
        return 1;
    }
    /* Wait out the film, reporting any error the camera posts meanwhile. */
    int errors = 0;
    VELCORMSG msg;
    while (VelcorWin_GetMessage(&msg, window, VELCOR_WM_ERROR, VELCOR_WM_ERROR, durationMs + 500)) {
        fprintf(stderr, "error %d: %s\n", (int)msg.lParam, VelcorErrorText((int)msg.lParam));
        ++errors;
    }
    Velcor_StopPreview(camera);
    Velcor_Release(camera);
    VelcorWin_DestroyWindow(window);

    /* A finished film has its sizes filled in: the RIFF size (bytes 4-7) and, in the main AVI
       header, the microseconds per frame (32-35) and the frame count (48-51). */
    unsigned char header[52];
    FILE* film = fopen(path, "rb");
    const int read = film != NULL && fread(header, 1, sizeof header, film) == sizeof header;
    if (film != NULL) fclose(film);
    const unsigned riffSize = read ? LittleEndian32(header + 4) : 0;
    const unsigned usPerFrame = read ? LittleEndian32(header + 32) : 0;
    const unsigned frames = read ? LittleEndian32(header + 48) : 0;
    const int finished = read && memcmp(header, "RIFF", 4) == 0 && riffSize != 0;
    printf("%s: %s, %u frames, %.1f frames per second\n", path,
           finished ? "finished" : "not finished", frames,
           usPerFrame != 0 ? 1e6 / usPerFrame : 0.0);
    return errors == 0 && finished && frames > 0 ? 0 : 1;
}
