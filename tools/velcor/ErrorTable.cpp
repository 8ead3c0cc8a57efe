#include "ErrorTable.h"

#include <velcor/VelcorErrors.h>

namespace velcor::tool {
namespace {

// Code 10 is never produced, so it has no row.
constexpr ErrorEntry kErrors[] = {
    {VELCOR_ERR_NONE, "VELCOR_ERR_NONE",
     "not a failure: reading the temperature, the short exposure mode or the black level "
     "succeeded"},
    {VELCOR_ERR_NO_CAMERA, "VELCOR_ERR_NO_CAMERA",
     "no camera was opened, a capture was asked for while another runs, or an image was saved "
     "before any frame"},
    {VELCOR_ERR_NOT_PRESENT, "VELCOR_ERR_NOT_PRESENT",
     "the camera is unplugged, used by another program, or the device number is wrong"},
    {VELCOR_ERR_THREAD, "VELCOR_ERR_THREAD",
     "the system refused a thread or event: too many threads or too little memory"},
    {VELCOR_ERR_WINDOW, "VELCOR_ERR_WINDOW",
     "no display (DISPLAY unset) or no dialog view for a window or dialog; no stored size "
     "preset for a capture window"},
    {VELCOR_ERR_MEMORY, "VELCOR_ERR_MEMORY",
     "too little memory for an image, or a buffer smaller than the image"},
    {VELCOR_ERR_DEVICE, "VELCOR_ERR_DEVICE",
     "the camera did not answer a register access: a loose cable or a camera in a bad state"},
    {VELCOR_ERR_WINDOW_RANGE, "VELCOR_ERR_WINDOW_RANGE",
     "the capture window does not fit on the sensor (start plus size beyond 1280 x 1024)"},
    {VELCOR_ERR_ACQUISITION, "VELCOR_ERR_ACQUISITION",
     "no frame came in time: the camera stalled, the USB link dropped, or the trigger never "
     "fired"},
    {VELCOR_ERR_ARGUMENT, "VELCOR_ERR_ARGUMENT",
     "a value outside the setting's range, a colour mode or window width the sensor does not "
     "offer, or an empty file name"},
    {VELCOR_ERR_UNSUPPORTED, "VELCOR_ERR_UNSUPPORTED",
     "this camera lacks the feature (Peltier cooler, temperature filter, text channel, ...)"},
    {VELCOR_ERR_CONVERSION, "VELCOR_ERR_CONVERSION",
     "a film could not start (folder missing, disk full, preview busy), the temperature could "
     "not be read, or a text did not convert"},
    {VELCOR_ERR_STOPPED, "VELCOR_ERR_STOPPED",
     "the camera was unplugged or lost power while streaming"},
    {VELCOR_ERR_MASK_FILE, "VELCOR_ERR_MASK_FILE",
     "the mask file is missing, unreadable, not a pixel mask file, or its folder cannot be "
     "written"},
};

}  // namespace

const ErrorEntry* FindError(int code) {
    for (const ErrorEntry& entry : kErrors) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

std::string DescribeError(int code) {
    const ErrorEntry* entry = FindError(code);
    std::string text = "error " + std::to_string(code);
    if (entry == nullptr) return text + " (unknown to this tool)";
    return text + " (" + entry->name + ", " + VelcorErrorText(code) + "): " + entry->cause;
}

void PrintErrorTable(std::FILE* out, bool markdown) {
    if (markdown) {
        std::fprintf(out, "| Code | Name | Meaning | Usual cause |\n|---|---|---|---|\n");
        for (const ErrorEntry& entry : kErrors) {
            std::fprintf(out, "| %d | `%s` | %s | %s |\n", entry.code, entry.name,
                         VelcorErrorText(entry.code), entry.cause);
        }
        return;
    }
    for (const ErrorEntry& entry : kErrors) {
        std::fprintf(out, "%2d  %-24s %s\n    %s\n", entry.code, entry.name,
                     VelcorErrorText(entry.code), entry.cause);
    }
}

}  // namespace velcor::tool
