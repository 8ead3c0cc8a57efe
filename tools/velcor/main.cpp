// velcor: lists, configures and captures from Velcor cameras through the C API.
//
//   velcor [--simulate N] [--device I] [--product P] [COMMAND [ARGS]]
//
// --simulate N attaches N simulated ROZE9701 cameras (product id 0x32C0, serial numbers
// SIM0001, SIM0002, ...) before the command runs; they live as long as this process.
// --device I selects the camera by its index in the camera list (default 0).
// --product P works on a camera of product id P through the camera engine instead (info, snap
// and stream only): the engine's view of any product of the family, where the C API's camera
// object drives product 0x32C0 alone. --simulate N then attaches N simulated cameras of that
// product to the engine view's own simulator.
//
// Exit status: 0 success; 1 the command failed (no camera open, a value outside the setting's
// range, an error of the library, a file not written); 2 the command line is wrong.
#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/ProductView.h"
#include "platform/Registry.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr unsigned short kProductRoze9701 = 0x32C0;
constexpr int kMaxSimulated = 32;
constexpr int kHistoryDepth = 20;  // entries of a camera's error history

int Usage(FILE* out = stderr) {
    std::fprintf(out,
                 "usage: velcor [--simulate N] [--device I] [--product P] [COMMAND [ARGS]]\n"
                 "  --simulate N       attach N simulated ROZE9701 cameras first (0..%d)\n"
                 "  --device I         camera to use, by its index in the list (default 0)\n"
                 "  --product P        the engine's view of a camera of product id P (hex\n"
                 "                     0x31B0 or decimal), for info, snap and stream only:\n"
                 "                     the camera engine drives it directly, without the C\n"
                 "                     API, whose camera object drives product 0x32C0 alone\n"
                 "                     (no stored settings, adjustments or pixel mask);\n"
                 "                     --simulate N attaches N simulated cameras of product P\n"
                 "commands:\n"
                 "  (none)             library version, cameras and the first camera's info\n"
                 "  list               the attached cameras\n"
                 "  info               name, serial number, versions, window, exposure, gain...\n"
                 "  settings           the camera's settings as the library stores them\n"
                 "                     between runs (they load when a camera opens, and\n"
                 "                     what set changes is stored when the tool ends)\n"
                 "  get NAME           print a setting\n"
                 "  set NAME VALUE     change a setting; values outside its range are refused\n"
                 "  snap FILE [--format F] [--bits 8|16]\n"
                 "                     take one frame and save it to FILE; the format comes\n"
                 "                     from the extension (.bmp .raw .jpg .jpeg .png .tif\n"
                 "                     .tiff; others raw) unless --format names it; with\n"
                 "                     --product: 8-bit mono or 24-bit colour (demosaiced),\n"
                 "                     and --bits (--product only) 16 for 16-bit mono or\n"
                 "                     48-bit colour where the product delivers 16 bits\n"
                 "  mask STEP...       pixel mask steps, in order: dark (take the dark\n"
                 "                     reference), bright (the bright one), save FILE,\n"
                 "                     load FILE; e.g. mask dark bright save camera.mask\n"
                 "  stream [--frames N] [--bits 8|16] [--save DIR [--format F]] [--stats]\n"
                 "         [--fast-scene]\n"
                 "                     stream N frames (default 100); frames per second,\n"
                 "                     failed and dropped frames; --save writes each frame to\n"
                 "                     DIR/frame_000001.bmp, ... (default format bmp);\n"
                 "                     --stats: a line per second and a total line with the\n"
                 "                     frames made by the camera, delivered, lost (overwritten\n"
                 "                     in the library's ring) and failed, and the process's CPU\n"
                 "                     time per delivered frame, split into the library's\n"
                 "                     threads and the simulator's where /proc tells them\n"
                 "                     apart; --fast-scene: a simulated camera copies its\n"
                 "                     frames from a picture made once (VelcorSim_SetFastRender)\n"
                 "                     so the figures are the library's, not the simulator's\n"
                 "  preview [--seconds S] [--bits 8|16]\n"
                 "                     show the live picture in the library's own window,\n"
                 "                     centred on the X11 display, for S seconds (default 10)\n"
                 "  record FILE.avi --seconds S [--bits 8|16]\n"
                 "                     record the preview for S seconds into an uncompressed\n"
                 "                     AVI film; frames, time and rate as it goes\n"
                 "  dialog camera|analog|image\n"
                 "                     open the camera's stream format, analog or image\n"
                 "                     settings dialog (needs a display and the dialog view)\n"
                 "formats: bmp, raw, jpeg (quality 100), jpeg70, jpeg20, png, tiff\n"
                 "settings: exposure (seconds), gain, blacklevel, gainmode, shortexposure,\n"
                 "          mirrorh, mirrorv, ioport,\n"
                 "          brightness, contrast, hue, saturation, sharpness, gamma,\n"
                 "          bayergainred, bayergaingreen, bayergainblue, bayergainauto,\n"
                 "          bayermode, graymode, graygainr, graygaing1, graygaing2, graygainb,\n"
                 "          grayoffsetr, grayoffsetg1, grayoffsetg2, grayoffsetb,\n"
                 "          autograybalance, dotfilter, maskfilter\n"
                 "with --product: info (sensor class, model code, sizes, depth, colour,\n"
                 "                exposure, gain, temperature), snap, stream [--frames N]\n"
                 "                [--bits 8|16]; the other commands need the C API\n"
                 "exit status: 0 success, 1 failure (no camera, value out of range, error),\n"
                 "             2 wrong command line (and an unknown product id)\n",
                 kMaxSimulated);
    return out == stderr ? kExitUsage : kExitOk;
}

void PrintVersion() {
    const int version = Velcor_GetDllVersion();
    std::printf("VelcorSdk_TX40 %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
                (version >> 8) & 0xFF, version & 0xFF);
}

// Empties the camera's error history and returns its error codes, oldest first. Success
// notices (code 0) read like the end of the history, so every entry is taken.
std::vector<int> TakeErrors(int camera) {
    std::vector<int> codes;
    for (int i = 0; i < kHistoryDepth; ++i) {
        const int code = Velcor_GetLastError(camera);
        if (code != VELCOR_ERR_NONE) codes.insert(codes.begin(), code);
    }
    return codes;
}

void PrintErrors(const std::vector<int>& codes, const char* what) {
    for (int code : codes)
        std::fprintf(stderr, "velcor: %s: error %d: %s\n", what, code, VelcorErrorText(code));
}

// Prints and empties the camera's error history; true when it held any error.
bool ReportErrors(int camera, const char* what) {
    const std::vector<int> codes = TakeErrors(camera);
    PrintErrors(codes, what);
    return !codes.empty();
}

// After a failed call: the errors the library recorded, or `fallback` when it recorded none.
int Failed(int camera, const char* what, const char* fallback) {
    if (!ReportErrors(camera, what)) std::fprintf(stderr, "velcor: %s: %s\n", what, fallback);
    return kExitFailure;
}

int PrintCameras(int camera) {
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);
    if (count <= 0) {
        std::printf("no cameras attached\n");
        return kExitOk;
    }
    for (int i = 0; i < count; ++i)
        std::printf("%d  %s\n", i, names[i]);
    return kExitOk;
}

// Opens the camera the command works on when more than one is attached (Velcor_Initialize
// opens the only one). False, with the reason printed, when no camera is open.
bool OpenCamera(int camera, int count, int device, const std::vector<int>& initialiseErrors) {
    if (count <= 0) {
        std::fprintf(stderr, "velcor: no camera is open (none attached?)\n");
        return false;
    }
    if (device >= count) {
        std::fprintf(stderr, "velcor: no camera is open: there is no camera %d (%d attached)\n",
                     device, count);
        return false;
    }
    if (count == 1) {
        for (int code : initialiseErrors) {
            if (code == VELCOR_ERR_NO_CAMERA || code == VELCOR_ERR_NOT_PRESENT) {
                std::fprintf(stderr, "velcor: no camera is open: camera 0 could not be opened\n");
                return false;
            }
        }
        return true;
    }
    if (!Velcor_SetDeviceNumber(camera, device)) {
        ReportErrors(camera, "open");
        std::fprintf(stderr, "velcor: no camera is open: camera %d could not be opened\n", device);
        return false;
    }
    return true;
}

// ---- Settings --------------------------------------------------------------------------------

enum class Range {
    kFixed,           // minimum..maximum below
    kCameraExposure,  // the camera's exposure bounds in seconds
    kCameraGain,      // the camera's global gain bounds
};

struct Setting {
    const char* name;
    int filterId;  // 0: not a filter value
    Range range;
    int minimum;
    int maximum;
};
constexpr Setting kSettings[] = {
    {"exposure", 0, Range::kCameraExposure, 0, 0},
    {"gain", VELCOR_FILTER_GLOBAL_GAIN, Range::kCameraGain, 0, 0},
    {"blacklevel", VELCOR_FILTER_BLACK_LEVEL, Range::kFixed, 0, 16383},  // 14 bits
    {"gainmode", VELCOR_FILTER_GAIN_MODE, Range::kFixed, 0, 1},
    {"shortexposure", VELCOR_FILTER_SHORT_EXPOSURE, Range::kFixed, 0, 1},
    {"mirrorh", 0, Range::kFixed, 0, 1},
    {"mirrorv", 0, Range::kFixed, 0, 1},
    {"ioport", 0, Range::kFixed, 0, 255},
    // Image adjustments of the frame conversion.
    {"brightness", VELCOR_FILTER_BRIGHTNESS, Range::kFixed, -255, 255},
    {"contrast", VELCOR_FILTER_CONTRAST, Range::kFixed, -127, 127},
    {"hue", VELCOR_FILTER_HUE, Range::kFixed, -360, 360},
    {"saturation", VELCOR_FILTER_SATURATION, Range::kFixed, -255, 255},
    {"sharpness", VELCOR_FILTER_SHARPNESS, Range::kFixed, 0, 30},
    {"gamma", VELCOR_FILTER_GAMMA, Range::kFixed, 0, 200},
    {"bayergainred", VELCOR_FILTER_BAYER_GAIN_RED, Range::kFixed, 0, 400},
    {"bayergaingreen", VELCOR_FILTER_BAYER_GAIN_GREEN, Range::kFixed, 0, 400},
    {"bayergainblue", VELCOR_FILTER_BAYER_GAIN_BLUE, Range::kFixed, 0, 400},
    {"bayergainauto", VELCOR_FILTER_BAYER_GAIN_AUTO, Range::kFixed, 0, 1},
    {"bayermode", VELCOR_FILTER_BAYER_MODE, Range::kFixed, 0, 3},
    {"graymode", VELCOR_FILTER_GRAY_MODE, Range::kFixed, 0, 2},
    {"graygainr", VELCOR_FILTER_GRAY_GAIN_R, Range::kFixed, 0, 255},
    {"graygaing1", VELCOR_FILTER_GRAY_GAIN_G1, Range::kFixed, 0, 255},
    {"graygaing2", VELCOR_FILTER_GRAY_GAIN_G2, Range::kFixed, 0, 255},
    {"graygainb", VELCOR_FILTER_GRAY_GAIN_B, Range::kFixed, 0, 255},
    {"grayoffsetr", VELCOR_FILTER_GRAY_OFFSET_R, Range::kFixed, -255, 255},
    {"grayoffsetg1", VELCOR_FILTER_GRAY_OFFSET_G1, Range::kFixed, -255, 255},
    {"grayoffsetg2", VELCOR_FILTER_GRAY_OFFSET_G2, Range::kFixed, -255, 255},
    {"grayoffsetb", VELCOR_FILTER_GRAY_OFFSET_B, Range::kFixed, -255, 255},
    {"autograybalance", VELCOR_FILTER_AUTO_GRAY_BALANCE, Range::kFixed, 0, 1},
    {"dotfilter", VELCOR_FILTER_DOT, Range::kFixed, 0, 1},
    {"maskfilter", VELCOR_FILTER_MASK, Range::kFixed, 0, 1},
};

const Setting* FindSetting(const std::string& name) {
    for (const Setting& s : kSettings) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

// A bound as people write it: "2", "0.000037125", "1e-12".
std::string FormatBound(double value) {
    char text[64];
    const double magnitude = std::fabs(value);
    if (magnitude != 0.0 && (magnitude < 1e-6 || magnitude >= 1e9)) {
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.9f", value);
    std::string result = text;
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.') result.pop_back();
    return result;
}

// The range the setting accepts on this camera; false, with the reason printed, when the
// camera does not tell.
bool SettingRange(int camera, const Setting& s, double* minimum, double* maximum) {
    if (s.range == Range::kFixed) {
        *minimum = s.minimum;
        *maximum = s.maximum;
        return true;
    }
    VELCORCAMERAINFO info{};
    info.size = sizeof info;
    if (!Velcor_GetCameraInfo(camera, &info)) {
        Failed(camera, s.name, "the camera does not tell its range");
        return false;
    }
    if (s.range == Range::kCameraExposure) {
        *minimum = info.exposureMinSeconds;
        *maximum = info.exposureMaxSeconds;
    } else {
        *minimum = info.globalGainMin;
        *maximum = info.globalGainMax;
    }
    return true;
}

int GetSetting(int camera, const Setting& s) {
    TakeErrors(camera);
    const std::string name = s.name;
    int ok = 0;
    if (name == "exposure") {
        const double seconds = Velcor_GetExposureTimeEx(camera, &ok);
        if (ok) std::printf("%.6f\n", seconds);
    } else if (name == "mirrorh" || name == "mirrorv") {
        // These reads have no success flag: an error in the history is the failure.
        const int on = name == "mirrorh" ? Velcor_GetMirrorH(camera) : Velcor_GetMirrorV(camera);
        const std::vector<int> errors = TakeErrors(camera);
        PrintErrors(errors, s.name);
        if (!errors.empty()) return kExitFailure;
        std::printf("%d\n", on);
        return kExitOk;
    } else if (name == "ioport") {
        BYTE port = 0;
        ok = Velcor_GetIOPort(camera, &port);
        if (ok) std::printf("0x%02X\n", port);
    } else {
        const int value = Velcor_GetFilterValue(camera, s.filterId, &ok);
        if (ok) std::printf("%d\n", value);
    }
    if (!ok) return Failed(camera, s.name, "could not be read");
    return kExitOk;
}

// The value of `set`: seconds for the exposure, a whole number (decimal or 0x hexadecimal)
// otherwise. False, with the reason printed, for text that is no such number. Numbers too large
// for their type come back as the type's limit, outside every range.
bool ParseValue(const Setting& s, const char* text, double* value) {
    const bool seconds = s.range == Range::kCameraExposure;
    char* end = nullptr;
    *value = seconds ? std::strtod(text, &end) : static_cast<double>(std::strtol(text, &end, 0));
    if (end != text && *end == '\0') return true;
    std::fprintf(stderr, "velcor: %s takes %s, not \"%s\"\n", s.name,
                 seconds ? "a number of seconds" : "a whole number", text);
    return false;
}

// Refuses a value outside the setting's range before the library sees it; `text` is the value
// as given, for the message.
int SetSetting(int camera, const Setting& s, double value, const char* text) {
    const std::string name = s.name;
    const bool seconds = s.range == Range::kCameraExposure;
    double minimum = 0;
    double maximum = 0;
    if (!SettingRange(camera, s, &minimum, &maximum)) return kExitFailure;
    // A camera without the setting reports an empty range; the library then says why it refuses.
    const bool ranged = s.range == Range::kFixed || maximum > 0;
    // Bounds in seconds are rounded in print: what is written as printed is inside.
    const double slack = seconds ? 1e-9 * maximum : 0.0;
    if (ranged && !(value >= minimum - slack && value <= maximum + slack)) {
        std::fprintf(stderr, "velcor: %s %s%s is out of range %s..%s%s\n", s.name, text,
                     seconds ? " s" : "", FormatBound(minimum).c_str(),
                     FormatBound(maximum).c_str(), seconds ? " s" : "");
        return kExitFailure;
    }

    TakeErrors(camera);
    const int v = static_cast<int>(value);
    int ok = 0;
    if (seconds) {
        ok = Velcor_SetExposureTimeEx(
            camera, ranged ? std::fmin(std::fmax(value, minimum), maximum) : value);
    } else if (name == "mirrorh") {
        ok = Velcor_SetMirrorH(camera, v);
    } else if (name == "mirrorv") {
        ok = Velcor_SetMirrorV(camera, v);
    } else if (name == "ioport") {
        ok = Velcor_SetIOPort(camera, static_cast<BYTE>(v));
    } else {
        ok = Velcor_SetFilterValue(camera, s.filterId, v);
    }
    if (!ok) return Failed(camera, s.name, "refused");
    return GetSetting(camera, s);
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

struct FileFormat {
    const char* name;
    int number;
    const char* extension;
};
constexpr FileFormat kFileFormats[] = {
    {"bmp", VELCOR_FILE_BMP, ".bmp"},       {"raw", VELCOR_FILE_RAW, ".raw"},
    {"jpeg", VELCOR_FILE_JPEG, ".jpg"},     {"jpeg70", VELCOR_FILE_JPEG70, ".jpg"},
    {"jpeg20", VELCOR_FILE_JPEG20, ".jpg"}, {"png", VELCOR_FILE_PNG, ".png"},
    {"tiff", VELCOR_FILE_TIFF, ".tif"},
};

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

int Snap(int camera, const std::string& path, const FileFormat& format) {
    TakeErrors(camera);
    if (!Velcor_SnapShot(camera, nullptr, 0, 1)) return Failed(camera, "snap", "no frame");
    if (!SaveFrame(camera, path, format)) return kExitFailure;
    std::printf("%s: %d x %d, %d bits per pixel, %s\n", path.c_str(), Velcor_Width(camera),
                Velcor_Height(camera), Velcor_GetColorMode(camera), format.name);
    return kExitOk;
}

// ---- Streaming -------------------------------------------------------------------------------

// CPU time of the process split by who spent it, in milliseconds: the library's own threads
// (acquisition, worker, recorder and the sensor drivers' workers, all named "velcor-..."), the
// simulated cameras' thread ("velcor-sim") and the whole process. The threads' figures come from
// /proc in clock ticks (10 ms on most systems), so they are meaningful over many frames only.
struct CpuSplit {
    double process = 0;
    double library = 0;
    double simulator = 0;
    bool threadsKnown = false;  // /proc told the threads apart
};

CpuSplit CpuNow() {
    CpuSplit cpu;
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    cpu.process = static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    std::error_code error;
    std::filesystem::directory_iterator tasks("/proc/self/task", error);
    if (error) return cpu;
    const double msPerTick = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    for (const auto& task : tasks) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // pid (name) state ... with utime and stime the 14th and 15th fields.
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        char state = 0;
        unsigned long long utime = 0, stime = 0;
        if (std::sscanf(line.c_str() + close + 1,
                        " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &utime,
                        &stime) != 3) {
            continue;
        }
        cpu.threadsKnown = true;
        const double ms = static_cast<double>(utime + stime) * msPerTick;
        if (name == "velcor-sim") {
            cpu.simulator += ms;
        } else if (name.rfind("velcor-", 0) == 0) {
            cpu.library += ms;
        }
    }
    return cpu;
}

// Frame counts of a stream: made by the camera into the library's ring, delivered to this
// process, lost (overwritten in the ring before the library took them) and failed (a frame
// message that carried an error).
struct StreamCounts {
    unsigned long long made = 0;
    unsigned long long delivered = 0;
    unsigned long long lost = 0;
    unsigned long long failed = 0;
};

void PrintStats(const char* label, const StreamCounts& counts, bool counted, double seconds,
                const CpuSplit& cpu) {
    char made[24] = "?";
    char lost[24] = "?";
    if (counted) {
        std::snprintf(made, sizeof made, "%llu", counts.made);
        std::snprintf(lost, sizeof lost, "%llu", counts.lost);
    }
    std::printf("%s %7.2f s: made %s, delivered %llu, lost %s, failed %llu", label, seconds, made,
                counts.delivered, lost, counts.failed);
    if (counts.delivered == 0) {
        std::printf("\n");
        return;
    }
    const double frames = static_cast<double>(counts.delivered);
    std::printf("; CPU per frame %.3f ms", cpu.process / frames);
    if (cpu.threadsKnown) {
        std::printf(" (library threads %.3f ms, simulator %.3f ms)", cpu.library / frames,
                    cpu.simulator / frames);
    }
    std::printf("\n");
    std::fflush(stdout);
}

CpuSplit CpuSince(const CpuSplit& then) {
    CpuSplit now = CpuNow();
    now.process -= then.process;
    now.library -= then.library;
    now.simulator -= then.simulator;
    now.threadsKnown = now.threadsKnown && then.threadsKnown;
    return now;
}

struct StreamOptions {
    int frames = 100;
    int bits = 8;
    std::string saveDir;  // where each frame goes (empty: frames are not saved)
    const FileFormat* format = nullptr;
    bool stats = false;      // a line per second and a summary
    bool fastScene = false;  // simulated cameras draw their scene the fast way
};

int Stream(int camera, int simulatedCamera, const StreamOptions& options) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, options.bits)) return Failed(camera, "stream", "refused");
    if (options.fastScene && simulatedCamera != 0) {
        VelcorSim_SetFastRender(simulatedCamera, TRUE);
    }
    HWND window = VelcorWin_CreateMessageWindow();
    Velcor_SetWaitTime(camera, 0);
    // No preview window: frames reach this process as messages only.
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    VELCORSIM_FRAMECOUNTERS before{};
    bool counted = VelcorSim_GetFrameCounters(camera, &before) != FALSE;
    if (!Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        VelcorWin_DestroyWindow(window);
        return Failed(camera, "stream", "could not start");
    }
    using Clock = std::chrono::steady_clock;
    constexpr auto kSilence = std::chrono::milliseconds(5000);  // no message: the stream is over
    const CpuSplit cpuStart = CpuNow();
    StreamCounts total;
    StreamCounts tick;  // since the last line
    VELCORSIM_FRAMECOUNTERS tickCounters = before;
    CpuSplit tickCpu = cpuStart;
    const auto start = Clock::now();
    auto lastMessage = start;
    auto nextLine = start + std::chrono::seconds(1);
    // Frames the camera made and lost since `from`, as the library's counters tell.
    auto cameraCounts = [&](const VELCORSIM_FRAMECOUNTERS& from, StreamCounts& counts,
                            VELCORSIM_FRAMECOUNTERS* now) {
        VELCORSIM_FRAMECOUNTERS current{};
        if (!counted || VelcorSim_GetFrameCounters(camera, &current) == FALSE) {
            counted = false;
            return;
        }
        counts.made = current.finished - from.finished;
        counts.lost = current.dropped - from.dropped;
        if (now != nullptr) *now = current;
    };
    auto printLine = [&](Clock::time_point now) {
        VELCORSIM_FRAMECOUNTERS current{};
        cameraCounts(tickCounters, tick, &current);
        PrintStats("stats", tick, counted, std::chrono::duration<double>(now - start).count(),
                   CpuSince(tickCpu));
        tickCounters = current;
        tickCpu = CpuNow();
        tick = StreamCounts{};
    };
    VELCORMSG m{};
    while (static_cast<int>(total.delivered) < options.frames) {
        auto now = Clock::now();
        if (now - lastMessage >= kSilence) break;
        auto wait = lastMessage + kSilence - now;
        if (options.stats && nextLine - now < wait)
            wait = std::max(nextLine - now, Clock::duration(0));
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        const bool got = VelcorWin_GetMessage(&m, window, 0, 0, static_cast<UINT>(waitMs)) != FALSE;
        now = Clock::now();
        if (options.stats && now >= nextLine) {
            printLine(now);
            while (nextLine <= now)
                nextLine += std::chrono::seconds(1);
        }
        if (!got) continue;
        lastMessage = now;
        if (m.message != VELCOR_WM_FRAME) continue;
        if (m.wParam != 0) {
            ++total.delivered;
            ++tick.delivered;
            if (!options.saveDir.empty()) {
                char name[32];
                std::snprintf(name, sizeof name, "frame_%06llu%s", total.delivered,
                              options.format->extension);
                if (!SaveFrame(camera, (std::filesystem::path(options.saveDir) / name).string(),
                               *options.format)) {
                    ++total.failed;
                    break;
                }
            }
        } else {
            ++total.failed;
            ++tick.failed;
            const int code = static_cast<int>(m.lParam);
            std::fprintf(stderr, "velcor: frame failed: error %d: %s\n", code,
                         VelcorErrorText(code));
            if (code == VELCOR_ERR_STOPPED) break;
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const CpuSplit cpu = CpuSince(cpuStart);
    Velcor_StopPreview(camera);
    VelcorWin_DestroyWindow(window);
    // Dropped: frames the camera finished into the library's ring that were overwritten
    // before the library handed them out.
    cameraCounts(before, total, nullptr);
    char dropped[32] = "unknown";
    if (counted) std::snprintf(dropped, sizeof dropped, "%llu", total.lost);
    const int received = static_cast<int>(total.delivered);
    if (options.stats) PrintStats("total", total, counted, elapsed, cpu);
    std::printf("%d frames in %.3f s: %.1f frames per second, %llu failed, %s dropped\n", received,
                elapsed, elapsed > 0 ? received / elapsed : 0.0, total.failed, dropped);
    return received == options.frames ? kExitOk : kExitFailure;
}

// ---- Recording -------------------------------------------------------------------------------

// What the film on disk says so far: the library writes the header first, appends the frames
// as they come and fills in the sizes, the frame count and the measured timing last.
struct FilmProgress {
    bool finished = false;
    long long frames = 0;
    uint32_t microsecondsPerFrame = 0;
    int width = 0;
    int height = 0;
};

uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

FilmProgress ReadFilmProgress(const std::string& path) {
    FilmProgress progress;
    std::ifstream in(path, std::ios::binary);
    unsigned char header[232];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return progress;
    in.seekg(0, std::ios::end);
    const long long size = static_cast<long long>(in.tellg());
    const uint32_t chunk = LittleEndian32(header + 60);  // suggested buffer: a frame chunk
    progress.finished = LittleEndian32(header + 4) != 0;
    progress.microsecondsPerFrame = LittleEndian32(header + 32);
    progress.width = static_cast<int>(LittleEndian32(header + 64));
    progress.height = static_cast<int>(LittleEndian32(header + 68));
    progress.frames = progress.finished ? LittleEndian32(header + 48)
                      : chunk != 0      ? (size - 232) / chunk
                                        : 0;
    return progress;
}

int Preview(int camera, int seconds, int bits) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, bits)) return Failed(camera, "preview", "refused");
    HWND window = VelcorWin_CreateMessageWindow();
    // The default placement: a top-level window of the capture's size.
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 1280, 1024);
    if (!Velcor_CallBackPreview(camera, window, nullptr, 0, 1)) {
        VelcorWin_DestroyWindow(window);
        return Failed(camera, "preview", "could not open the window (is DISPLAY set?)");
    }
    int shown = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    VELCORMSG m{};
    for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        if (!VelcorWin_GetMessage(&m, window, VELCOR_WM_FRAME, VELCOR_WM_FRAME,
                                  static_cast<int>(left.count()))) {
            continue;
        }
        if (m.wParam != 0) {
            ++shown;
            continue;
        }
        ++failed;
        const int code = static_cast<int>(m.lParam);
        std::fprintf(stderr, "velcor: frame failed: error %d: %s\n", code, VelcorErrorText(code));
        if (code == VELCOR_ERR_STOPPED) break;
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Close takes the window down with the preview.
    Velcor_Close(camera);
    VelcorWin_DestroyWindow(window);
    std::printf("%d frames shown in %.1f s: %.1f frames per second, %d failed\n", shown, elapsed,
                elapsed > 0 ? shown / elapsed : 0.0, failed);
    return failed == 0 ? kExitOk : kExitFailure;
}

int Record(int camera, const std::string& path, int seconds, int bits) {
    TakeErrors(camera);
    if (!Velcor_SetColorMode(camera, bits)) return Failed(camera, "record", "refused");
    Velcor_SetWaitTime(camera, 0);
    Velcor_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    if (!Velcor_Record(camera, path.c_str(), seconds * 1000, 0)) {
        return Failed(camera, "record", "could not start");
    }
    // A terminal shows one line that keeps changing; a log gets a line a second.
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    // The library finishes the film by itself; a camera that never delivers is given up
    // well after the film should have ended.
    const auto giveUp = start + std::chrono::seconds(seconds + 10);
    auto nextLine = start;
    FilmProgress progress;
    for (;;) {
        progress = ReadFilmProgress(path);
        const auto now = std::chrono::steady_clock::now();
        if (progress.finished || now >= giveUp) break;
        if (now >= nextLine) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            std::printf(terminal ? "\r%lld frames, %.1f s, %.1f frames per second   "
                                 : "%lld frames, %.1f s, %.1f frames per second\n",
                        progress.frames, elapsed, elapsed > 0 ? progress.frames / elapsed : 0.0);
            std::fflush(stdout);
            nextLine = now + std::chrono::milliseconds(terminal ? 200 : 1000);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (terminal) std::printf("\n");
    // Stopping finishes a film that is still open.
    Velcor_StopPreview(camera);
    const bool errors = ReportErrors(camera, "record");
    progress = ReadFilmProgress(path);
    if (!progress.finished) {
        std::fprintf(stderr, "velcor: record: %s was not finished\n", path.c_str());
        return kExitFailure;
    }
    const double fps = progress.microsecondsPerFrame != 0 ? 1e6 / progress.microsecondsPerFrame : 0;
    std::printf("%s: %lld frames of %d x %d, %.2f frames per second measured\n", path.c_str(),
                progress.frames, progress.width, progress.height, fps);
    return errors ? kExitFailure : kExitOk;
}

// ---- Pixel mask ------------------------------------------------------------------------------

// One step of the mask command: take a reference frame, or save or load the mask file.
struct MaskStep {
    std::string action;  // "dark", "bright", "save", "load"
    std::string path;    // save and load
};

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
int TakeMaskReference(int camera, int simulatedCamera, int kind) {
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

// ---- Stored settings -------------------------------------------------------------------------

// The stored tree of camera `number`: its "Camera_NN" key and the keys below it, one line per
// key and one indented line per value.
// Opens one of the library's settings dialogs over no window and waits until it is closed.
int ShowDialog(int camera, const std::string& which) {
    const int shown = which == "camera"   ? Velcor_SetCameraDlg(camera, nullptr)
                      : which == "analog" ? Velcor_SetAnalogDlg(camera, nullptr)
                                          : Velcor_SetImageDlg(camera, nullptr);
    if (!shown) return Failed(camera, "dialog", "the dialog could not be shown");
    ReportErrors(camera, "dialog");
    return kExitOk;
}

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

// A product id as hexadecimal with 0x (0x31B0) or decimal (12720).
bool ParseProductId(const char* text, int* out) {
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = hex ? text + 2 : text;
    // strtol would also take blanks and a sign; an id is digits alone.
    if (!std::isxdigit(static_cast<unsigned char>(digits[0]))) return false;
    char* end = nullptr;
    const long value = std::strtol(digits, &end, hex ? 16 : 10);
    if (*end != '\0' || value > 0xFFFF) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseInt(const char* text, int minimum, int maximum, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < minimum || value > maximum) return false;
    *out = static_cast<int>(value);
    return true;
}

// The options of the timed commands (record, preview): --seconds S and --bits 8|16.
bool ParseDurationOption(const std::string& option, const std::string& value, int* seconds,
                         int* bits) {
    if (option == "--seconds") return ParseInt(value.c_str(), 0, 86400, seconds);
    if (option == "--bits") {
        return ParseInt(value.c_str(), 8, 16, bits) && (*bits == 8 || *bits == 16);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int simulate = 0;
    int device = 0;
    int product = -1;  // -1: the C API's camera
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulate" && args.empty()) {
            if (i + 1 >= argc || !ParseInt(argv[++i], 0, kMaxSimulated, &simulate)) return Usage();
        } else if (arg == "--device" && args.empty()) {
            if (i + 1 >= argc || !ParseInt(argv[++i], 0, 31, &device)) return Usage();
        } else if (arg == "--product" && args.empty()) {
            if (i + 1 >= argc || !ParseProductId(argv[++i], &product)) return Usage();
            if (!velcor::tool::IsFamilyProduct(product)) {
                std::fprintf(stderr,
                             "velcor: product id 0x%04X is not a camera of the family; the "
                             "engine knows %s\n",
                             product, velcor::tool::FamilyProductList().c_str());
                return kExitUsage;
            }
        } else if (arg == "-h" || arg == "--help") {
            return Usage(stdout);
        } else {
            args.push_back(arg);
        }
    }
    const std::string command = args.empty() ? "" : args[0];

    // The command line is checked whole before any camera is touched.
    int frames = 100;
    int bits = 8;
    bool stats = false;
    bool fastScene = false;
    bool bitsGiven = false;  // the engine view's default depth is the product's own
    int seconds = -1;
    std::string path;
    std::string saveDir;
    const FileFormat* format = nullptr;
    const Setting* setting = nullptr;
    double value = 0;
    std::vector<MaskStep> maskSteps;
    if (command == "get" || command == "set") {
        if (args.size() != (command == "get" ? 2u : 3u)) return Usage();
        setting = FindSetting(args[1]);
        if (setting == nullptr) {
            std::fprintf(stderr, "velcor: no setting \"%s\"\n", args[1].c_str());
            return Usage();
        }
        if (command == "set" && !ParseValue(*setting, args[2].c_str(), &value)) return kExitUsage;
    } else if (command == "stream" || command == "snap") {
        const bool stream = command == "stream";
        for (size_t i = 1; i < args.size(); ++i) {
            if (!stream && args[i].rfind("--", 0) != 0) {
                if (!path.empty()) return Usage();
                path = args[i];
                continue;
            }
            if (stream && product < 0 && args[i] == "--stats") {
                stats = true;
                continue;
            }
            if (stream && product < 0 && args[i] == "--fast-scene") {
                fastScene = true;
                continue;
            }
            const bool hasValue = i + 1 < args.size();
            const std::string& option = args[i];
            bool parsed = false;
            if (!hasValue) {
            } else if (option == "--format") {
                format = FindFormat(args[i + 1]);
                parsed = format != nullptr;
            } else if (stream && option == "--frames") {
                parsed = ParseInt(args[i + 1].c_str(), 1, 1000000, &frames);
            } else if ((stream || product >= 0) && option == "--bits") {
                parsed = ParseInt(args[i + 1].c_str(), 8, 16, &bits) && (bits == 8 || bits == 16);
                bitsGiven = true;
            } else if (stream && option == "--save") {
                saveDir = args[i + 1];
                parsed = !saveDir.empty();
            }
            if (!parsed) return Usage();
            ++i;
        }
        if (!stream && path.empty()) return Usage();
        if (stream && format != nullptr && saveDir.empty()) return Usage();
        if (format == nullptr) {
            format = stream ? &kFileFormats[VELCOR_FILE_BMP] : FormatForPath(path);
        }
    } else if (command == "record") {
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i].rfind("--", 0) != 0) {
                if (!path.empty()) return Usage();
                path = args[i];
                continue;
            }
            if (i + 1 >= args.size() ||
                !ParseDurationOption(args[i], args[i + 1], &seconds, &bits)) {
                return Usage();
            }
            ++i;
        }
        if (path.empty() || seconds < 0) return Usage();
    } else if (command == "preview") {
        seconds = 10;
        for (size_t i = 1; i < args.size(); i += 2) {
            if (i + 1 >= args.size() ||
                !ParseDurationOption(args[i], args[i + 1], &seconds, &bits)) {
                return Usage();
            }
        }
    } else if (command == "mask") {
        if (!ParseMaskSteps(args, &maskSteps)) return Usage();
    } else if (command == "dialog") {
        if (args.size() != 2 ||
            (args[1] != "camera" && args[1] != "analog" && args[1] != "image")) {
            return Usage();
        }
    } else if (command == "list" || command == "info" || command == "settings") {
        if (args.size() != 1) return Usage();
    } else if (!command.empty()) {
        return Usage();
    }

    if (product >= 0) {
        // The engine's view has no camera object behind it: no stored settings, adjustments,
        // pixel mask, preview window, recorder or dialogs.
        if (command != "info" && command != "snap" && command != "stream") {
            std::fprintf(stderr,
                         "velcor: %s is not available on the engine's view of a product "
                         "(--product): it needs the C API, whose camera drives product 0x32C0; "
                         "with --product: info, snap, stream\n",
                         command.empty() ? "the overview (no command)" : command.c_str());
            return kExitUsage;
        }
        if (!saveDir.empty()) {
            std::fprintf(stderr,
                         "velcor: stream --save is not available on the engine's view of a "
                         "product (--product)\n");
            return kExitUsage;
        }
        const velcor::tool::ProductRun run{product, simulate, device};
        if (command == "info") return velcor::tool::ProductInfo(run);
        if (command == "snap") {
            return velcor::tool::ProductSnap(run, path, format->number, format->name,
                                             bitsGiven ? bits : 0);
        }
        return velcor::tool::ProductStream(run, frames, bitsGiven ? bits : 0);
    }

    std::vector<int> simulated;
    for (int i = 1; i <= simulate; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "SIM%04d", i);
        const int id = VelcorSim_AttachCamera(kProductRoze9701, serial);
        if (id == 0) {
            std::fprintf(stderr, "velcor: cannot attach simulated camera %s\n", serial);
            return kExitFailure;
        }
        simulated.push_back(id);
    }

    const int camera = Velcor_Initialize(nullptr);
    if (camera == 0) {
        std::fprintf(stderr, "velcor: the library could not make a camera object\n");
        return kExitFailure;
    }
    const std::vector<int> initialiseErrors = TakeErrors(camera);
    PrintErrors(initialiseErrors, "initialise");
    char names[10][256];
    const int count = Velcor_EnumDevice(camera, &names[0][0]);

    int result = kExitOk;
    if (command.empty()) {
        PrintVersion();
        PrintCameras(camera);
        if (count > 0) {
            std::printf("\n");
            result = OpenCamera(camera, count, device, initialiseErrors) ? PrintInfo(camera, device)
                                                                         : kExitFailure;
        }
    } else if (command == "list") {
        result = PrintCameras(camera);
    } else if (!OpenCamera(camera, count, device, initialiseErrors)) {
        result = kExitFailure;
    } else if (command == "info") {
        result = PrintInfo(camera, device);
    } else if (command == "settings") {
        // The number the camera is stored under: the one its name carries ("VelcorTX40_01" is
        // number 0); the only camera attached was opened whatever its number.
        const char* suffix = std::strrchr(names[count == 1 ? 0 : device], '_');
        const int number = suffix != nullptr ? std::atoi(suffix + 1) - 1 : device;
        result = PrintStoredSettings(count == 1 ? number : device);
    } else if (command == "get") {
        result = GetSetting(camera, *setting);
    } else if (command == "set") {
        result = SetSetting(camera, *setting, value, args[2].c_str());
    } else if (command == "snap") {
        result = Snap(camera, path, *format);
    } else if (command == "record") {
        result = Record(camera, path, seconds, bits);
    } else if (command == "dialog") {
        result = ShowDialog(camera, args[1]);
    } else if (command == "preview") {
        result = Preview(camera, seconds, bits);
    } else if (command == "mask") {
        // Simulated cameras are the only ones here when any were attached: camera I is the
        // I-th of them.
        const size_t index = static_cast<size_t>(device);
        result = Mask(camera, index < simulated.size() ? simulated[index] : 0, maskSteps);
    } else {
        StreamOptions options;
        options.frames = frames;
        options.bits = bits;
        options.saveDir = saveDir;
        options.format = format;
        options.stats = stats;
        options.fastScene = fastScene;
        // As for mask: camera I is the I-th simulated camera when any were attached.
        const size_t index = static_cast<size_t>(device);
        result = Stream(camera, index < simulated.size() ? simulated[index] : 0, options);
    }
    Velcor_Release(camera);
    return result;
}
