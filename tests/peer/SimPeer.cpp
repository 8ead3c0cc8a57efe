// Another program on the same machine, for tests that need two processes at once: it attaches
// its own simulated cameras, opens the library's camera object, lists the cameras it sees,
// reads the opened camera's serial number and streams frames from it, all through the C API.
//
//   velcor_sim_peer --table NAME [--attach SERIAL]... [--frames N] [--gain N]
//
// --table names the device table that processes share (the test's own). Prints one line per
// finding:
//   entry INDEX INSTANCE PRESENT PATH   the device table as this process sees it
//   camera INDEX NAME                   the camera list of the camera object
//   serial SERIAL                       the opened camera's serial number
//   streamed N                          frames that arrived
//   gain N                              the opened camera's global gain as it was loaded;
//                                       --gain then sets it, and the release stores it
// Exit status 0 when every camera attached, the list holds exactly them, and the stream (if
// asked for) delivered every frame.
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "transport/Fx3Api.h"

namespace {

constexpr unsigned short kProductRoze9701 = 0x32C0;

int Stream(int camera, int frames) {
    HWND window = VelcorWin_CreateMessageWindow();
    Velcor_SetWaitTime(camera, 0);
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    int received = 0;
    if (Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        VELCORMSG m{};
        while (received < frames && VelcorWin_GetMessage(&m, window, 0, 0, 5000)) {
            if (m.message == VELCOR_WM_FRAME && m.wParam != 0) ++received;
            if (m.message == VELCOR_WM_FRAME && m.wParam == 0) break;
        }
        Velcor_StopPreview(camera);
    }
    VelcorWin_DestroyWindow(window);
    return received;
}

}  // namespace

int main(int argc, char** argv) {
    std::string table;
    std::vector<std::string> serials;
    int frames = 0;
    int gain = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--table") {
            table = argv[i + 1];
        } else if (option == "--attach") {
            serials.push_back(argv[i + 1]);
        } else if (option == "--frames") {
            frames = std::atoi(argv[i + 1]);
        } else if (option == "--gain") {
            gain = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "velcor_sim_peer: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (table.empty()) {
        std::fprintf(stderr, "velcor_sim_peer: --table is required\n");
        return 2;
    }
    velcor::CFx3Api::SetTableNameForTesting(table);

    bool ok = true;
    for (const std::string& serial : serials) {
        if (VelcorSim_AttachCamera(kProductRoze9701, serial.c_str()) == 0) {
            std::printf("cannot attach %s\n", serial.c_str());
            ok = false;
        }
    }
    const int camera = Velcor_Initialize(nullptr);
    if (camera == 0) {
        std::printf("no camera object\n");
        return 1;
    }

    VELCORSIM_DEVICE devices[32];
    const int entries = VelcorSim_ListDevices(devices, 32);
    for (int i = 0; i < entries && i < 32; ++i) {
        std::printf("entry %d %d %d %s\n", i, devices[i].instance, devices[i].present,
                    devices[i].path);
    }
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);
    for (int i = 0; i < count; ++i)
        std::printf("camera %d %s\n", i, names[i]);
    if (count != static_cast<int>(serials.size())) ok = false;

    if (count > 0) {
        char serial[64] = "";
        if (Velcor_ReadSerialNumberA(camera, serial, sizeof serial)) {
            std::printf("serial %s\n", serial);
        } else {
            ok = false;
        }
        int read = 0;
        std::printf("gain %d\n", Velcor_GetFilterValue(camera, VELCOR_FILTER_GLOBAL_GAIN, &read));
        if (gain >= 0 && !Velcor_SetFilterValue(camera, VELCOR_FILTER_GLOBAL_GAIN, gain))
            ok = false;
        if (frames > 0) {
            const int received = Stream(camera, frames);
            std::printf("streamed %d\n", received);
            if (received != frames) ok = false;
        }
    }
    std::fflush(stdout);
    Velcor_Release(camera);
    return ok ? 0 : 1;
}
