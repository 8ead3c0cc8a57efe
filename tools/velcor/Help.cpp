#include "Help.h"

#include <velcor/VelcorSdk.h>

#include "Features.h"
#include "Reporting.h"

#ifndef VELCOR_TOOL_VERSION
#define VELCOR_TOOL_VERSION "unknown"
#endif

namespace velcor::tool {
namespace {

struct CommandText {
    const char* name;
    const char* synopsis;  // after "velcor [OPTIONS] "
    const char* summary;   // one line for the usage
    const char* text;      // what it does, its options
};

constexpr CommandText kCommands[] = {
    {"list", "list", "the attached cameras: number, name, serial number, present",
     "The attached cameras of product 0x32C0: device number, name, serial number and whether\n"
     "the camera is present (a camera unplugged during the run keeps its number). Reading the\n"
     "serial numbers opens each present camera in turn.\n"},
    {"info", "info", "name, serial number, versions, window, exposure, gain...",
     "Name, serial number, product, FPGA version, sensor size, window, exposure, gain, black\n"
     "level, temperature and output depth of the camera.\n"},
    {"features", "features", "every setting: value, range, unit, meaning",
     "Every setting with its current value, its range on this camera, its unit and what it\n"
     "does: the names that get and set take. A setting the camera lacks shows (not supported).\n"},
    {"get", "get NAME...", "print settings",
     "Prints settings: one NAME prints its bare value, several print NAME=VALUE lines.\n"
     "Exposure is in seconds, window is WIDTHxHEIGHT+X+Y, ioport is hexadecimal.\n"},
    {"set", "set NAME=VALUE... | set NAME VALUE",
     "change settings; values outside their range are refused",
     "Changes settings, e.g. velcor set exposure=0.01 gain=20. Every value is checked against\n"
     "its range first and nothing changes when one is outside it (exit status 2, the setting\n"
     "and its range named); then they are applied in the order given and read back, as get\n"
     "prints them. Whole numbers may be written 0x hexadecimal; exposure takes seconds. The\n"
     "library stores what set changes for the camera's next run.\n"},
    {"settings", "settings", "the camera's settings as the library stores them between runs",
     "The camera's settings as the library stores them between runs, from\n"
     "$XDG_CONFIG_HOME/velcor/registry.reg.\n"},
    {"snap", "snap FILE|- [--format F] [--bits 8|16]",
     "take one frame into FILE, or to standard output",
     "Takes one frame and saves it to FILE. The format comes from the extension (.bmp .raw\n"
     ".jpg .jpeg .png .tif .tiff; others raw) unless --format names it: bmp, raw, jpeg\n"
     "(quality 100), jpeg70, jpeg20, png, tiff. FILE - writes the image to standard output\n"
     "(png unless --format names another) and the line about it to standard error.\n"
     "--bits (with --product only): 16 for 16-bit mono or 48-bit colour.\n"},
    {"stream",
     "stream [--frames N | --seconds S] [--bits 8|16] [--save DIR [--format F]]\n"
     "       [--stats] [--fast-scene]",
     "stream frames: a line a second and a summary; Ctrl-C stops it",
     "Streams frames and prints one line per second (frames/s, MiB/s, dropped, failed) and a\n"
     "summary at the end: N frames, S seconds, or until Ctrl-C (SIGINT stops the stream\n"
     "cleanly, prints the summary and exits with 0). Dropped frames were finished by the\n"
     "camera but overwritten in the library's frame ring before it handed them out.\n"
     "--save DIR writes every frame to DIR/frame_000001.bmp, ... (--format as for snap).\n"
     "--stats adds a line per second and a total line with the frames made, delivered, lost\n"
     "and failed and the CPU time per frame, split into the library's threads and the\n"
     "simulator's. --fast-scene makes a simulated camera copy its frames from a picture drawn\n"
     "once, so the figures are the library's rather than the simulator's.\n"},
    {"preview", "preview [--seconds S] [--bits 8|16]",
     "show the live picture in the library's window",
     "Shows the live picture in the library's own window on the X11 display for S seconds\n"
     "(default 10).\n"},
    {"record", "record FILE.avi --seconds S [--bits 8|16]", "record an uncompressed AVI film",
     "Records the preview for S seconds into an uncompressed AVI film, with the frames, time\n"
     "and rate as it goes.\n"},
    {"mask", "mask STEP...",
     "take, save and load the pixel mask: dark, bright, save FILE, load FILE",
     "Pixel mask steps, in order: dark (take the dark reference), bright (the bright one),\n"
     "save FILE, load FILE; e.g. velcor mask dark bright save camera.mask.\n"},
    {"dialog", "dialog camera|analog|image", "open one of the library's settings dialogs",
     "Opens the camera's stream format, analog or image settings dialog (needs a display and\n"
     "the dialog view).\n"},
    {"errors", "errors", "the error codes: name, meaning, usual cause",
     "The library's error codes: name, meaning and usual cause (as in docs/errors.md).\n"},
};

// The setting names, wrapped to the usage's width after `lead`.
std::string WrappedNames(const std::string& lead) {
    const std::string names = FeatureNames();
    std::string text = lead;
    size_t column = lead.size();
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(", ", start);
        end = end == std::string::npos ? names.size() : end + 2;
        const std::string word = names.substr(start, end - start);
        if (column + word.size() > 92) {
            text.pop_back();  // the blank after the comma
            text += "\n" + std::string(lead.size(), ' ');
            column = lead.size();
        }
        text += word;
        column += word.size();
        start = end;
    }
    return text + "\n";
}

const CommandText* FindCommand(const std::string& command) {
    for (const CommandText& c : kCommands) {
        if (command == c.name) return &c;
    }
    return nullptr;
}

constexpr const char* kExitStatus =
    "exit status: 0 success; 1 the camera or the library failed (no camera, a setting refused,\n"
    "             an error of the library, a file not written); 2 the command line is wrong\n"
    "             (unknown command, option or setting, a value of the wrong form or out of\n"
    "             range)\n";

}  // namespace

int Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: velcor [OPTIONS] [COMMAND [ARGS]]\n"
                 "       velcor COMMAND --help | velcor --help | velcor --version\n"
                 "options:\n"
                 "  --simulate N   attach N simulated ROZE9701 cameras first (0..32), serial\n"
                 "                 numbers SIM0001, SIM0002, ...\n"
                 "  --device N     the camera with device number N (as list shows; default 0)\n"
                 "  --serial S     the camera with serial number S\n"
                 "  --product P    the engine's view of a camera of product id P (0x31B0 or\n"
                 "                 decimal) for info, snap and stream: the camera engine drives\n"
                 "                 it without the C API (no stored settings, adjustments or\n"
                 "                 pixel mask); --simulate N attaches cameras of product P\n"
                 "commands (velcor COMMAND --help tells more):\n"
                 "  (none)             library version, cameras and the first camera's info\n");
    for (const CommandText& c : kCommands) {
        const std::string synopsis = c.synopsis;
        if (synopsis.size() <= 18 && synopsis.find('\n') == std::string::npos) {
            std::fprintf(out, "  %-18s %s\n", c.synopsis, c.summary);
        } else {
            std::fprintf(out, "  %s\n  %18s %s\n", c.synopsis, "", c.summary);
        }
    }
    std::fprintf(out, "%s%s", WrappedNames("settings: ").c_str(), kExitStatus);
    return out == stderr ? kExitUsage : kExitOk;
}

bool IsCommand(const std::string& command) {
    return FindCommand(command) != nullptr;
}

int CommandHelp(const std::string& command) {
    const CommandText* c = FindCommand(command);
    if (c == nullptr) return Usage();
    std::printf("usage: velcor [OPTIONS] %s\n\n%s", c->synopsis, c->text);
    if (command == "get" || command == "set") {
        std::printf("%s", WrappedNames("settings: ").c_str());
    }
    std::printf("%s", kExitStatus);
    return kExitOk;
}

void PrintSynopsis(const std::string& command, std::FILE* out) {
    const CommandText* c = FindCommand(command);
    if (c == nullptr) return;
    std::fprintf(out, "usage: velcor [OPTIONS] %s\n(velcor %s --help tells more)\n", c->synopsis,
                 c->name);
}

int PrintVersion() {
    const int version = Velcor_GetDllVersion();
    std::printf("velcor %s\nlibrary VelcorSdk_TX40 %d.%d.%d.%d\n", VELCOR_TOOL_VERSION,
                (version >> 24) & 0xFF, (version >> 16) & 0xFF, (version >> 8) & 0xFF,
                version & 0xFF);
    return kExitOk;
}

}  // namespace velcor::tool
