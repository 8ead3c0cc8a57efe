// velcor: lists, configures and captures from Velcor cameras through the C API.
//
//   velcor [--simulate N] [--device I] [COMMAND [ARGS]]
//
// --simulate N attaches N simulated ROZE9701 cameras (product id 0x32C0, serial numbers
// SIM0001, SIM0002, ...) before the command runs; they live as long as this process.
// --device I selects the camera by its index in the camera list (default 0).
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned short kProductRoze9701 = 0x32C0;
constexpr int kMaxSimulated = 32;

int Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: velcor [--simulate N] [--device I] [COMMAND [ARGS]]\n"
                 "  --simulate N       attach N simulated ROZE9701 cameras first (0..%d)\n"
                 "  --device I         camera to use, by its index in the list (default 0)\n"
                 "commands:\n"
                 "  (none)             library version, cameras and the first camera's info\n"
                 "  list               the attached cameras\n"
                 "  info               name, serial number, versions, window, exposure, gain...\n"
                 "  get NAME           print a setting\n"
                 "  set NAME VALUE     change a setting\n"
                 "  snap FILE          take one frame and write its raw pixels to FILE\n"
                 "  stream [--frames N] [--bits 8|16]\n"
                 "                     stream N frames (default 100); frames per second, errors\n"
                 "settings: exposure (seconds), gain, blacklevel, gainmode, shortexposure,\n"
                 "          mirrorh, mirrorv, ioport\n",
                 kMaxSimulated);
    return out == stderr ? 2 : 0;
}

void PrintVersion() {
    const int version = Velcor_GetDllVersion();
    std::printf("VelcorSdk_TX40 %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
                (version >> 8) & 0xFF, version & 0xFF);
}

// Prints and drains the camera's error history; true when it held any error.
bool ReportErrors(int camera, const char* what) {
    bool any = false;
    for (int code = Velcor_GetLastError(camera); code != 0; code = Velcor_GetLastError(camera)) {
        std::fprintf(stderr, "velcor: %s: error %d\n", what, code);
        any = true;
    }
    return any;
}

int PrintCameras(int camera) {
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);
    if (count <= 0) {
        std::printf("no cameras attached\n");
        return 0;
    }
    for (int i = 0; i < count; ++i)
        std::printf("%d  %s\n", i, names[i]);
    return 0;
}

struct Setting {
    const char* name;
    int filterId;  // 0: not a filter value
};
constexpr Setting kSettings[] = {
    {"exposure", 0},
    {"gain", VELCOR_FILTER_GLOBAL_GAIN},
    {"blacklevel", VELCOR_FILTER_BLACK_LEVEL},
    {"gainmode", VELCOR_FILTER_GAIN_MODE},
    {"shortexposure", VELCOR_FILTER_SHORT_EXPOSURE},
    {"mirrorh", 0},
    {"mirrorv", 0},
    {"ioport", 0},
};

const Setting* FindSetting(const std::string& name) {
    for (const Setting& s : kSettings) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

int GetSetting(int camera, const Setting& s) {
    const std::string name = s.name;
    int ok = 0;
    if (name == "exposure") {
        const double seconds = Velcor_GetExposureTimeEx(camera, &ok);
        if (ok) std::printf("%.6f\n", seconds);
    } else if (name == "mirrorh") {
        std::printf("%d\n", Velcor_GetMirrorH(camera));
        ok = !ReportErrors(camera, name.c_str());
    } else if (name == "mirrorv") {
        std::printf("%d\n", Velcor_GetMirrorV(camera));
        ok = !ReportErrors(camera, name.c_str());
    } else if (name == "ioport") {
        BYTE port = 0;
        ok = Velcor_GetIOPort(camera, &port);
        if (ok) std::printf("0x%02X\n", port);
    } else {
        const int value = Velcor_GetFilterValue(camera, s.filterId, &ok);
        if (ok) std::printf("%d\n", value);
    }
    if (!ok) ReportErrors(camera, s.name);
    return ok ? 0 : 1;
}

int SetSetting(int camera, const Setting& s, const char* text) {
    char* end = nullptr;
    const std::string name = s.name;
    BOOL ok = FALSE;
    if (name == "exposure") {
        const double seconds = std::strtod(text, &end);
        if (end == text || *end != '\0') return Usage();
        ok = Velcor_SetExposureTimeEx(camera, seconds);
    } else {
        const long value = std::strtol(text, &end, 0);
        if (end == text || *end != '\0') return Usage();
        const int v = static_cast<int>(value);
        if (name == "mirrorh") {
            ok = Velcor_SetMirrorH(camera, v);
        } else if (name == "mirrorv") {
            ok = Velcor_SetMirrorV(camera, v);
        } else if (name == "ioport") {
            ok = Velcor_SetIOPort(camera, static_cast<BYTE>(v));
        } else {
            ok = Velcor_SetFilterValue(camera, s.filterId, v);
        }
    }
    if (!ok) {
        if (!ReportErrors(camera, s.name)) std::fprintf(stderr, "velcor: %s refused\n", s.name);
        return 1;
    }
    return GetSetting(camera, s);
}

int PrintInfo(int camera, int device) {
    char name[64] = "";
    if (!Velcor_GetDeviceName(camera, device, name, sizeof name)) {
        ReportErrors(camera, "camera");
        return 1;
    }
    char serial[64] = "(blank)";
    Velcor_ReadSerialNumberA(camera, serial, sizeof serial);
    int ok = 0;
    const int fpgaLow = Velcor_Fpga_ReadRegister(camera, 0x10, &ok);
    const int fpgaHigh = Velcor_Fpga_ReadRegister(camera, 0x11, &ok);
    VELCORCAMERAINFO info{};
    info.size = sizeof info;
    Velcor_GetCameraInfo(camera, &info);
    int window[6] = {};
    Velcor_GetCaptureWindowEx(camera, &window[0], &window[1], &window[2], &window[3], &window[4],
                              &window[5]);
    std::printf("camera          %s\n", name);
    std::printf("serial number   %s\n", serial);
    std::printf("product id      0x%04X (ROZE9701, monochrome)\n", kProductRoze9701);
    std::printf("FPGA version    0x%02X%02X\n", fpgaHigh & 0xFF, fpgaLow & 0xFF);
    std::printf("sensor          %d x %d\n", info.maxWidth, info.maxHeight);
    std::printf("window          %d x %d at %d, %d\n", window[2], window[5], window[1], window[4]);
    const double seconds = Velcor_GetExposureTimeEx(camera, &ok);
    std::printf("exposure        %.6f s (%.6f .. %.3f s; %d .. %d x 100 us)\n", seconds,
                info.exposureMinSeconds, info.exposureMaxSeconds, info.exposureMin,
                info.exposureMax);
    std::printf("gain            %d (%d .. %d)\n", Velcor_GetGlobalGain(camera, &ok),
                info.globalGainMin, info.globalGainMax);
    std::printf("black level     %d\n",
                Velcor_GetFilterValue(camera, VELCOR_FILTER_BLACK_LEVEL, &ok));
    std::printf("gain mode       %d\n",
                Velcor_GetFilterValue(camera, VELCOR_FILTER_GAIN_MODE, &ok));
    std::printf("short exposure  %d\n",
                Velcor_GetFilterValue(camera, VELCOR_FILTER_SHORT_EXPOSURE, &ok));
    const double celsius = Velcor_GetTemperatureEx(camera, &ok);
    if (ok) {
        std::printf("temperature     %.2f C\n", celsius);
    } else {
        std::printf("temperature     (unavailable)\n");
    }
    std::printf("output          %d bits per pixel\n", Velcor_GetColorMode(camera));
    // The success notices of the reads above are not errors.
    while (Velcor_GetLastError(camera) != 0) {
    }
    return 0;
}

int Snap(int camera, const char* path) {
    const int size =
        Velcor_Width(camera) * Velcor_Height(camera) * (Velcor_GetColorMode(camera) / 8) +
        4 * Velcor_Height(camera);
    std::vector<BYTE> buffer(static_cast<size_t>(size));
    if (!Velcor_SnapShot(camera, buffer.data(), size, 1)) {
        ReportErrors(camera, "snap");
        return 1;
    }
    const int stride = (Velcor_Width(camera) * (Velcor_GetColorMode(camera) / 8) + 3) & ~3;
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "velcor: cannot write %s\n", path);
        return 1;
    }
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(Velcor_Height(camera));
    const bool written = std::fwrite(buffer.data(), 1, bytes, file) == bytes;
    std::fclose(file);
    std::printf("%s: %d x %d, %d bits per pixel, stride %d, top row first\n", path,
                Velcor_Width(camera), Velcor_Height(camera), Velcor_GetColorMode(camera), stride);
    return written ? 0 : 1;
}

int Stream(int camera, int frames, int bits) {
    if (!Velcor_SetColorMode(camera, bits)) {
        ReportErrors(camera, "stream");
        return 1;
    }
    HWND window = VelcorWin_CreateMessageWindow();
    Velcor_SetWaitTime(camera, 0);
    // No preview window: frames reach this process as messages only.
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    if (!Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        ReportErrors(camera, "stream");
        VelcorWin_DestroyWindow(window);
        return 1;
    }
    int received = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    VELCORMSG m{};
    while (received < frames && VelcorWin_GetMessage(&m, window, 0, 0, 5000)) {
        if (m.message != VELCOR_WM_FRAME) continue;
        if (m.wParam != 0) {
            ++received;
        } else {
            ++failed;
            std::fprintf(stderr, "velcor: frame failed with error %d\n",
                         static_cast<int>(m.lParam));
            if (m.lParam == VELCOR_ERR_STOPPED) break;
        }
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Velcor_StopPreview(camera);
    VelcorWin_DestroyWindow(window);
    std::printf("%d frames in %.3f s: %.1f frames per second, %d failed\n", received, elapsed,
                elapsed > 0 ? received / elapsed : 0.0, failed);
    return received == frames ? 0 : 1;
}

bool ParseInt(const char* text, int minimum, int maximum, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < minimum || value > maximum) return false;
    *out = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int simulate = 0;
    int device = 0;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulate" && args.empty()) {
            if (i + 1 >= argc || !ParseInt(argv[++i], 0, kMaxSimulated, &simulate)) return Usage();
        } else if (arg == "--device" && args.empty()) {
            if (i + 1 >= argc || !ParseInt(argv[++i], 0, 31, &device)) return Usage();
        } else if (arg == "-h" || arg == "--help") {
            return Usage(stdout);
        } else {
            args.push_back(arg);
        }
    }
    const std::string command = args.empty() ? "" : args[0];

    for (int i = 1; i <= simulate; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "SIM%04d", i);
        if (VelcorSim_AttachCamera(kProductRoze9701, serial) == 0) {
            std::fprintf(stderr, "velcor: cannot attach simulated camera %s\n", serial);
            return 1;
        }
    }

    const int camera = Velcor_Initialize(nullptr);
    if (camera == 0) {
        std::fprintf(stderr, "velcor: the library could not make a camera object\n");
        return 1;
    }
    ReportErrors(camera, "initialise");
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);
    const bool needsCamera = command != "" && command != "list";
    if (needsCamera && count > 1 && !Velcor_SetDeviceNumber(camera, device)) {
        ReportErrors(camera, "open");
        Velcor_Release(camera);
        return 1;
    }

    int result = 0;
    if (command.empty()) {
        PrintVersion();
        PrintCameras(camera);
        if (count > 0) {
            std::printf("\n");
            result = PrintInfo(camera, device);
        }
    } else if (command == "list" && args.size() == 1) {
        result = PrintCameras(camera);
    } else if (command == "info" && args.size() == 1) {
        result = PrintInfo(camera, device);
    } else if (command == "get" && args.size() == 2 && FindSetting(args[1])) {
        result = GetSetting(camera, *FindSetting(args[1]));
    } else if (command == "set" && args.size() == 3 && FindSetting(args[1])) {
        result = SetSetting(camera, *FindSetting(args[1]), args[2].c_str());
    } else if (command == "snap" && args.size() == 2) {
        result = Snap(camera, args[1].c_str());
    } else if (command == "stream") {
        int frames = 100;
        int bits = 8;
        for (size_t i = 1; i < args.size(); ++i) {
            const bool hasValue = i + 1 < args.size();
            const bool parsed =
                hasValue &&
                ((args[i] == "--frames" && ParseInt(args[i + 1].c_str(), 1, 1000000, &frames)) ||
                 (args[i] == "--bits" && ParseInt(args[i + 1].c_str(), 8, 16, &bits) &&
                  (bits == 8 || bits == 16)));
            if (parsed) {
                ++i;
            } else {
                Velcor_Release(camera);
                return Usage();
            }
        }
        result = Stream(camera, frames, bits);
    } else {
        Velcor_Release(camera);
        return Usage();
    }
    Velcor_Release(camera);
    return result;
}
