#include "CommandLine.h"

#include <velcor/VelcorSdk.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Help.h"
#include "Reporting.h"
#include "engine/ProductView.h"

namespace velcor::tool {
namespace {

constexpr int kMaxSimulated = 32;

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

bool ParseInt(const std::string& text, int minimum, int maximum, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || value < minimum || value > maximum) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseSeconds(const std::string& text, double* out) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value <= 0 ||
        value > 86400 * 365.0) {
        return false;
    }
    *out = value;
    return true;
}

bool ParseBits(const std::string& text, int* bits) {
    return ParseInt(text, 8, 16, bits) && (*bits == 8 || *bits == 16);
}

// A wrong option of a command: what is wrong, then the command's usage.
int BadOption(const std::string& command, const std::string& what) {
    std::fprintf(stderr, "velcor: %s: %s\n", command.c_str(), what.c_str());
    PrintSynopsis(command, stderr);
    return kExitUsage;
}

// snap FILE|- [--format F] [--bits 8|16]; stream [--frames N | --seconds S] [--bits 8|16]
// [--save DIR [--format F]] [--stats] [--fast-scene].
int ParseCaptureOptions(Invocation* in) {
    const bool stream = in->command == "stream";
    const std::vector<std::string>& args = in->args;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (!stream && (option == "-" || option.rfind("-", 0) != 0)) {
            if (!in->path.empty()) return BadOption(in->command, "one FILE only");
            in->path = option;
            continue;
        }
        if (stream && in->product < 0 && option == "--stats") {
            in->stream.stats = true;
            continue;
        }
        if (stream && in->product < 0 && option == "--fast-scene") {
            in->stream.fastScene = true;
            continue;
        }
        if (i + 1 >= args.size()) return BadOption(in->command, option + " needs a value");
        const std::string& value = args[++i];
        bool parsed = false;
        if (option == "--format") {
            in->format = FindFormat(value);
            if (in->format == nullptr) return kExitUsage;
            parsed = true;
        } else if (stream && option == "--frames") {
            parsed = ParseInt(value, 1, 1000000000, &in->stream.frames);
        } else if (stream && in->product < 0 && option == "--seconds") {
            parsed = ParseSeconds(value, &in->stream.seconds);
        } else if ((stream || in->product >= 0) && option == "--bits") {
            parsed = ParseBits(value, &in->bits);
            in->bitsGiven = true;
        } else if (stream && option == "--save") {
            in->stream.saveDir = value;
            parsed = !value.empty();
        } else {
            return BadOption(in->command, "no option " + option);
        }
        if (!parsed) return BadOption(in->command, "wrong value \"" + value + "\" of " + option);
    }
    if (!stream && in->path.empty()) return BadOption(in->command, "needs a FILE, or - ");
    if (stream && in->stream.frames > 0 && in->stream.seconds > 0) {
        return BadOption(in->command, "--frames or --seconds, not both");
    }
    if (stream && in->format != nullptr && in->stream.saveDir.empty()) {
        return BadOption(in->command, "--format goes with --save");
    }
    if (in->format == nullptr) {
        in->format = stream            ? &DefaultFormat(VELCOR_FILE_BMP)
                     : in->path == "-" ? &DefaultFormat(VELCOR_FILE_PNG)
                                       : FormatForPath(in->path);
    }
    in->stream.bits = in->bits;
    in->stream.format = in->format;
    return -1;
}

// The options of the timed commands (record, preview): --seconds S and --bits 8|16.
int ParseTimedOptions(Invocation* in) {
    const bool record = in->command == "record";
    if (!record) in->seconds = 10;
    const std::vector<std::string>& args = in->args;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (record && option.rfind("--", 0) != 0) {
            if (!in->path.empty()) return BadOption(in->command, "one FILE only");
            in->path = option;
            continue;
        }
        if (i + 1 >= args.size()) return BadOption(in->command, option + " needs a value");
        const std::string& value = args[++i];
        bool parsed = false;
        if (option == "--seconds") {
            parsed = ParseInt(value, 0, 86400, &in->seconds);
        } else if (option == "--bits") {
            parsed = ParseBits(value, &in->bits);
        } else {
            return BadOption(in->command, "no option " + option);
        }
        if (!parsed) return BadOption(in->command, "wrong value \"" + value + "\" of " + option);
    }
    if (record && (in->path.empty() || in->seconds < 0)) {
        return BadOption(in->command, "needs FILE.avi and --seconds S");
    }
    return -1;
}

int ParseCommandArgs(Invocation* in) {
    const std::string& c = in->command;
    const std::vector<std::string>& args = in->args;
    if (c == "get") return ParseFeatureNames(args, &in->features) == kExitOk ? -1 : kExitUsage;
    if (c == "set") return ParseAssignments(args, &in->assignments) == kExitOk ? -1 : kExitUsage;
    if (c == "snap" || c == "stream") return ParseCaptureOptions(in);
    if (c == "record" || c == "preview") return ParseTimedOptions(in);
    if (c == "mask") {
        std::vector<std::string> steps = {c};
        steps.insert(steps.end(), args.begin(), args.end());
        return ParseMaskSteps(steps, &in->maskSteps) ? -1 : BadOption(c, "wrong steps");
    }
    if (c == "dialog") {
        if (args.size() == 1 &&
            (args[0] == "camera" || args[0] == "analog" || args[0] == "image")) {
            return -1;
        }
        return BadOption(c, "camera, analog or image");
    }
    if (c == "errors") {
        // --markdown prints the table of docs/errors.md, which a test compares.
        if (args.empty()) return -1;
        if (args.size() == 1 && args[0] == "--markdown") {
            in->markdown = true;
            return -1;
        }
        return BadOption(c, "takes no arguments");
    }
    if (!args.empty()) return BadOption(c, "takes no arguments");
    return -1;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, Invocation* in) {
    bool haveCommand = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (haveCommand) {
            if (arg == "--help" || arg == "-h") {
                in->help = true;
            } else {
                in->args.push_back(arg);
            }
            continue;
        }
        const bool hasValue = i + 1 < argc;
        if (arg == "--simulate") {
            if (!hasValue || !ParseInt(argv[++i], 0, kMaxSimulated, &in->simulate)) return Usage();
        } else if (arg == "--device") {
            if (!hasValue || !ParseInt(argv[++i], 0, 31, &in->choice.device)) return Usage();
        } else if (arg == "--serial") {
            if (!hasValue || argv[i + 1][0] == '\0') return Usage();
            in->choice.serial = argv[++i];
        } else if (arg == "--product") {
            if (!hasValue || !ParseProductId(argv[++i], &in->product)) return Usage();
            if (!IsFamilyProduct(in->product)) {
                std::fprintf(stderr,
                             "velcor: product id 0x%04X is not a camera of the family; the "
                             "engine knows %s\n",
                             in->product, FamilyProductList().c_str());
                return kExitUsage;
            }
        } else if (arg == "-h" || arg == "--help") {
            in->help = true;
        } else if (arg == "--version") {
            in->version = true;
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "velcor: no option %s\n", arg.c_str());
            return Usage();
        } else if (arg == "help") {
            // `velcor help [COMMAND]` as `velcor [COMMAND] --help`.
            in->help = true;
            if (hasValue) {
                in->command = argv[++i];
                haveCommand = true;
            }
        } else {
            in->command = arg;
            haveCommand = true;
        }
    }
    if (in->version) return PrintVersion();
    if (in->help) return in->command.empty() ? Usage(stdout) : CommandHelp(in->command);
    if (!in->command.empty() && !IsCommand(in->command)) {
        std::fprintf(stderr, "velcor: no command \"%s\"\n", in->command.c_str());
        return Usage();
    }
    return ParseCommandArgs(in);
}

}  // namespace velcor::tool
