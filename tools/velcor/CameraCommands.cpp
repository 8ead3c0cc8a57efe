#include "CameraCommands.h"

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Reporting.h"
#include "platform/Registry.h"

namespace velcor::tool {

namespace {

constexpr int kMaxDevices = 32;  // device numbers 0..31

// The serial number in the open camera's ROM; "(blank)" for an empty ROM.
std::string ReadSerial(int camera) {
    char serial[64] = "";
    if (!Velcor_ReadSerialNumberA(camera, serial, sizeof serial)) {
        TakeErrors(camera);
        return "(unreadable)";
    }
    return serial[0] != '\0' ? serial : "(blank)";
}

std::string DeviceName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "VelcorTX40_%02d", number + 1);
    return name;
}

}  // namespace

// ---- Cameras ---------------------------------------------------------------------------------

std::vector<int> PresentCameras(int camera) {
    std::vector<int> numbers;
    char name[64];
    for (int number = 0; number < kMaxDevices; ++number) {
        if (Velcor_GetDeviceName(camera, number, name, sizeof name)) numbers.push_back(number);
    }
    // The numbers without a camera recorded "not present".
    TakeErrors(camera);
    return numbers;
}

int OpenCamera(int camera, const CameraChoice& choice, const std::vector<int>& initialiseErrors) {
    const std::vector<int> present = PresentCameras(camera);
    if (present.empty()) {
        std::fprintf(stderr, "velcor: no camera is open (none attached?)\n");
        return -1;
    }
    bool initialiseOpened = present.size() == 1;
    for (int code : initialiseErrors) {
        if (code == VELCOR_ERR_NO_CAMERA || code == VELCOR_ERR_NOT_PRESENT) {
            initialiseOpened = false;
        }
    }
    // Opens `number` unless it is the one Velcor_Initialize opened.
    auto open = [&](int number) {
        if (initialiseOpened && number == present.front()) return true;
        TakeErrors(camera);
        if (Velcor_SetDeviceNumber(camera, number)) return true;
        ReportErrors(camera, "open");
        return false;
    };
    if (!choice.serial.empty()) {
        std::string seen;
        for (int number : present) {
            if (!open(number)) continue;
            const std::string serial = ReadSerial(camera);
            if (serial == choice.serial) return number;
            seen += (seen.empty() ? "" : ", ") + serial;
        }
        std::fprintf(stderr, "velcor: no camera has serial number %s (attached: %s)\n",
                     choice.serial.c_str(), seen.empty() ? "none could be opened" : seen.c_str());
        return -1;
    }
    bool found = false;
    for (int number : present)
        found = found || number == choice.device;
    if (!found) {
        std::fprintf(stderr, "velcor: no camera is open: there is no camera %d (%zu attached)\n",
                     choice.device, present.size());
        return -1;
    }
    if (present.size() == 1 && !initialiseOpened) {
        std::fprintf(stderr, "velcor: no camera is open: camera %d could not be opened\n",
                     choice.device);
        return -1;
    }
    if (!open(choice.device)) {
        std::fprintf(stderr, "velcor: no camera is open: camera %d could not be opened\n",
                     choice.device);
        return -1;
    }
    return choice.device;
}

int ListCameras(int camera) {
    // The device table as this process sees it, cameras that left during the run included.
    const int entries = VelcorSim_ListDevices(nullptr, 0);
    std::vector<VELCORSIM_DEVICE> table(static_cast<size_t>(entries > 0 ? entries : 0));
    const int listed =
        table.empty() ? 0 : VelcorSim_ListDevices(table.data(), static_cast<int>(table.size()));
    bool any = false;
    for (int i = 0; i < listed && i < static_cast<int>(table.size()); ++i) {
        const VELCORSIM_DEVICE& entry = table[static_cast<size_t>(i)];
        if (entry.productId != kProductRoze9701) continue;
        if (!any) std::printf("%-2s %-14s %-16s %s\n", "#", "name", "serial", "present");
        any = true;
        std::string serial = "-";
        if (entry.present) {
            TakeErrors(camera);
            serial = Velcor_SetDeviceNumber(camera, entry.instance) ? ReadSerial(camera)
                                                                    : "(cannot open)";
            TakeErrors(camera);
        }
        std::printf("%-2d %-14s %-16s %s\n", entry.instance, DeviceName(entry.instance).c_str(),
                    serial.c_str(), entry.present ? "yes" : "no");
    }
    if (!any) std::printf("no cameras attached\n");
    return kExitOk;
}

// ---- Commands --------------------------------------------------------------------------------

int PrintInfo(int camera, int device) {
    TakeErrors(camera);
    char name[64] = "";
    if (!Velcor_GetDeviceName(camera, device, name, sizeof name)) {
        return Failed(camera, "camera", "has no name");
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
    // What the overview could not read shows as "unavailable" or a blank value.
    TakeErrors(camera);
    return kExitOk;
}

// ---- Image files -----------------------------------------------------------------------------

namespace {
constexpr FileFormat kFileFormats[] = {
    {"bmp", VELCOR_FILE_BMP, ".bmp"},       {"raw", VELCOR_FILE_RAW, ".raw"},
    {"jpeg", VELCOR_FILE_JPEG, ".jpg"},     {"jpeg70", VELCOR_FILE_JPEG70, ".jpg"},
    {"jpeg20", VELCOR_FILE_JPEG20, ".jpg"}, {"png", VELCOR_FILE_PNG, ".png"},
    {"tiff", VELCOR_FILE_TIFF, ".tif"},
};
}  // namespace

const FileFormat& DefaultFormat(int number) {
    return kFileFormats[number];
}

const FileFormat* FindFormat(const std::string& name) {
    for (const FileFormat& f : kFileFormats) {
        if (name == f.name) return &f;
    }
    std::fprintf(stderr, "velcor: no file format \"%s\"\n", name.c_str());
    return nullptr;
}

// The format a file name's extension asks for; raw for any other name.
const FileFormat* FormatForPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".jpeg") extension = ".jpg";
    if (extension == ".tiff") extension = ".tif";
    for (const FileFormat& f : kFileFormats) {
        if (extension == f.extension && f.number != VELCOR_FILE_JPEG70 &&
            f.number != VELCOR_FILE_JPEG20) {
            return &f;
        }
    }
    return &kFileFormats[VELCOR_FILE_RAW];
}

// Saves the camera's last frame. A failed save records no error code: the system's reason, when
// it gave one, is in errno.
bool SaveFrame(int camera, const std::string& path, const FileFormat& format) {
    TakeErrors(camera);
    errno = 0;
    if (Velcor_SaveImage(camera, path.c_str(), format.number)) return true;
    const int error = errno;
    const std::vector<int> codes = TakeErrors(camera);
    if (!codes.empty()) {
        PrintErrors(codes, "save");
    } else if (error != 0) {
        std::fprintf(stderr, "velcor: cannot write %s: %s\n", path.c_str(), std::strerror(error));
    } else {
        std::fprintf(stderr, "velcor: cannot write %s\n", path.c_str());
    }
    return false;
}

namespace {

// Copies a file to standard output; false with the reason printed.
bool CopyToStandardOutput(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        const size_t got = static_cast<size_t>(in.gcount());
        if (got > 0 && std::fwrite(buffer, 1, got, stdout) != got) break;
    }
    if (!in.eof() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "velcor: cannot write the image to standard output: %s\n",
                     std::strerror(errno));
        return false;
    }
    return true;
}

// The frame goes through a file of its own: the library writes images to files only.
bool SaveToStandardOutput(int camera, const FileFormat& format) {
    const char* folder = std::getenv("TMPDIR");
    std::string path =
        std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/velcor-snap-XXXXXX";
    const int descriptor = mkstemp(path.data());
    if (descriptor < 0) {
        std::fprintf(stderr, "velcor: cannot make a file in %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    close(descriptor);
    const bool copied = SaveFrame(camera, path, format) && CopyToStandardOutput(path);
    std::remove(path.c_str());
    return copied;
}

}  // namespace

int Snap(int camera, const std::string& path, const FileFormat& format) {
    TakeErrors(camera);
    if (!Velcor_SnapShot(camera, nullptr, 0, 1)) return Failed(camera, "snap", "no frame");
    const bool toOutput = path == "-";
    if (!(toOutput ? SaveToStandardOutput(camera, format) : SaveFrame(camera, path, format))) {
        return kExitFailure;
    }
    // Standard output carries the image itself: what it is goes to standard error then.
    std::fprintf(toOutput ? stderr : stdout, "%s: %d x %d, %d bits per pixel, %s\n",
                 toOutput ? "standard output" : path.c_str(), Velcor_Width(camera),
                 Velcor_Height(camera), Velcor_GetColorMode(camera), format.name);
    return kExitOk;
}

// ---- Pixel mask ------------------------------------------------------------------------------

// The mask lives in the camera object, so one command carries all the steps that belong
// together: `mask dark bright save FILE`. False for a step that is not one of these.
bool ParseMaskSteps(const std::vector<std::string>& args, std::vector<MaskStep>* steps) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& action = args[i];
        if (action == "dark" || action == "bright") {
            steps->push_back({action, {}});
        } else if ((action == "save" || action == "load") && i + 1 < args.size()) {
            steps->push_back({action, args[i + 1]});
            ++i;
        } else {
            return false;
        }
    }
    return !steps->empty();
}

// Takes the dark (kind 0) or bright (kind 1) reference from a whole sensor frame. A simulated
// camera is shown the matching scene (lens capped or uniformly lit) for the frame.
static int TakeMaskReference(int camera, int simulatedCamera, int kind) {
    const char* what = kind == 0 ? "mask dark" : "mask bright";
    if (simulatedCamera != 0) {
        VelcorSim_SetScene(simulatedCamera,
                           kind == 0 ? VELCOR_SIM_SCENE_DARK : VELCOR_SIM_SCENE_FLAT);
    }
    // The frame stays in the library, where the reference is taken from.
    const bool taken = Velcor_SnapShot(camera, nullptr, 0, 1) != FALSE;
    if (simulatedCamera != 0) VelcorSim_SetScene(simulatedCamera, VELCOR_SIM_SCENE_NATURAL);
    if (!taken) return Failed(camera, what, "no frame");
    if (!Velcor_UpdateMaskData(camera, kind)) {
        return Failed(camera, what, "the frame was not taken as a reference");
    }
    std::printf("%s reference taken from a %d x %d frame of %d bits\n",
                kind == 0 ? "dark" : "bright", Velcor_Width(camera), Velcor_Height(camera),
                Velcor_GetColorMode(camera));
    return kExitOk;
}

int Mask(int camera, int simulatedCamera, const std::vector<MaskStep>& steps) {
    TakeErrors(camera);
    for (const MaskStep& step : steps) {
        int result = kExitOk;
        if (step.action == "dark" || step.action == "bright") {
            result = TakeMaskReference(camera, simulatedCamera, step.action == "dark" ? 0 : 1);
        } else if (step.action == "save") {
            if (Velcor_SaveMaskFile(camera, step.path.c_str())) {
                std::printf("mask saved to %s\n", step.path.c_str());
            } else {
                result = Failed(camera, "mask save", "not written");
            }
        } else {
            if (Velcor_LoadMaskFile(camera, step.path.c_str())) {
                std::printf("mask loaded from %s\n", step.path.c_str());
            } else {
                result = Failed(camera, "mask load", "not loaded");
            }
        }
        if (result != kExitOk) return result;
    }
    return kExitOk;
}

// ---- Dialogs ---------------------------------------------------------------------------------

// Opens one of the library's settings dialogs over no window and waits until it is closed.
int ShowDialog(int camera, const std::string& which) {
    const int shown = which == "camera"   ? Velcor_SetCameraDlg(camera, nullptr)
                      : which == "analog" ? Velcor_SetAnalogDlg(camera, nullptr)
                                          : Velcor_SetImageDlg(camera, nullptr);
    if (!shown) return Failed(camera, "dialog", "the dialog could not be shown");
    ReportErrors(camera, "dialog");
    return kExitOk;
}

// ---- Stored settings -------------------------------------------------------------------------

// The stored tree of camera `number`: its "Camera_NN" key and the keys below it, one line per
// key and one indented line per value.
int PrintStoredSettings(int number) {
    const velcor::platform::Registry registry;
    velcor::platform::RegistryTree tree;
    if (!registry.Read(tree)) {
        std::fprintf(stderr, "velcor: cannot read the stored settings in %s\n",
                     registry.FilePath().c_str());
        return kExitFailure;
    }
    char cameraKey[32];
    std::snprintf(cameraKey, sizeof cameraKey, "Camera_%02d", number);
    const std::string product = "Software\\Moniva\\VelcorTX403T2Sdk\\";
    const std::string root = product + cameraKey;
    std::printf("%s\n", registry.FilePath().c_str());
    if (tree.OpenKey(root) == nullptr) {
        std::printf("no settings stored for %s\n", cameraKey);
        return kExitOk;
    }
    tree.ForEachKey([&](const velcor::platform::RegistryKey& key) {
        const std::string& path = key.Path();
        // The key and the keys below it; the folding of case is the registry's.
        if (path.size() < root.size() ||
            strncasecmp(path.c_str(), root.c_str(), root.size()) != 0 ||
            (path.size() > root.size() && path[root.size()] != '\\')) {
            return;
        }
        std::printf("%s\n", path.c_str() + product.size());
        for (const velcor::platform::RegistryValue& value : key.Values()) {
            if (value.type == velcor::platform::RegistryValue::Type::Dword) {
                std::printf("  %-12s %d\n", value.name.c_str(), static_cast<int>(value.dword));
                continue;
            }
            std::printf("  %-12s", value.name.c_str());
            for (uint8_t byte : value.bytes)
                std::printf(" %02x", byte);
            if (value.bytes.size() == sizeof(double)) {
                uint64_t bits = 0;
                for (size_t i = 0; i < sizeof bits; ++i)
                    bits |= static_cast<uint64_t>(value.bytes[i]) << (8 * i);
                double number = 0;
                std::memcpy(&number, &bits, sizeof number);
                std::printf("  (%g)", number);
            }
            std::printf("\n");
        }
    });
    return kExitOk;
}

}  // namespace velcor::tool
