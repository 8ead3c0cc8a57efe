// velcor: lists, configures and captures from Velcor cameras through the C API.
//
//   velcor [--simulate N] [COMMAND]
//
// --simulate N attaches N simulated ROZE9701 cameras (product id 0x32C0, serial numbers
// SIM0001, SIM0002, ...) before the command runs; they live as long as this process.
// Commands:
//   (none), info   the library version and the attached cameras
//   list           the attached cameras
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned short kProductRoze9701 = 0x32C0;
constexpr int kMaxSimulated = 64;

int Usage() {
    std::fprintf(stderr,
                 "usage: velcor [--simulate N] [COMMAND]\n"
                 "  --simulate N  attach N simulated ROZE9701 cameras first (0..%d)\n"
                 "commands:\n"
                 "  info          library version and attached cameras (the default)\n"
                 "  list          attached cameras\n",
                 kMaxSimulated);
    return 2;
}

void PrintVersion() {
    const int version = Velcor_GetDllVersion();
    std::printf("VelcorSdk_TX40 %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
                (version >> 8) & 0xFF, version & 0xFF);
}

// The cameras of the device table that the library shares between processes.
int PrintCameras() {
    const int count = VelcorSim_ListDevices(nullptr, 0);
    if (count <= 0) {
        std::printf("no cameras attached\n");
        return 0;
    }
    std::vector<VELCORSIM_DEVICE> devices(static_cast<size_t>(count));
    const int listed = VelcorSim_ListDevices(devices.data(), count);
    std::printf("%-3s %-6s %-7s %-8s %-7s %s\n", "#", "vendor", "product", "instance", "present",
                "path");
    for (int i = 0; i < listed && i < count; ++i) {
        const VELCORSIM_DEVICE& d = devices[static_cast<size_t>(i)];
        std::printf("%-3d %04x   %04x    %-8d %-7s %s\n", i, d.vendorId, d.productId, d.instance,
                    d.present ? "yes" : "no", d.path);
    }
    return 0;
}

bool ParseCount(const char* text, int* count) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > kMaxSimulated) return false;
    *count = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int simulate = 0;
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulate") {
            if (i + 1 >= argc || !ParseCount(argv[++i], &simulate)) return Usage();
        } else if (arg.rfind("--simulate=", 0) == 0) {
            if (!ParseCount(arg.c_str() + 11, &simulate)) return Usage();
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else if (command.empty() && !arg.empty() && arg[0] != '-') {
            command = arg;
        } else {
            return Usage();
        }
    }
    if (!command.empty() && command != "info" && command != "list") {
        std::fprintf(stderr, "velcor: unknown command '%s'\n", command.c_str());
        return Usage();
    }

    for (int i = 1; i <= simulate; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "SIM%04d", i);
        if (VelcorSim_AttachCamera(kProductRoze9701, serial) == 0) {
            std::fprintf(stderr, "velcor: cannot attach simulated camera %s\n", serial);
            return 1;
        }
    }

    if (command != "list") PrintVersion();
    return PrintCameras();
}
