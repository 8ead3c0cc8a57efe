// The commands that open, identify and take single frames from a camera of the C API.
#pragma once

#include <string>
#include <vector>

namespace velcor::tool {

// Which camera the command works on: --device N, or --serial S when given.
struct CameraChoice {
    int device = 0;
    std::string serial;  // empty: by device number
};

// The device numbers of the cameras present now, in order.
std::vector<int> PresentCameras(int camera);

// Opens the chosen camera (Velcor_Initialize opened it already when it is the only one).
// Returns its device number, or -1 with the reason printed.
int OpenCamera(int camera, const CameraChoice& choice, const std::vector<int>& initialiseErrors);

int ListCameras(int camera);
int PrintInfo(int camera, int device);

struct FileFormat {
    const char* name;
    int number;
    const char* extension;
};
// The format of a name, or nullptr with the reason printed.
const FileFormat* FindFormat(const std::string& name);
// The format a file name's extension asks for; raw for any other name.
const FileFormat* FormatForPath(const std::string& path);
const FileFormat& DefaultFormat(int number);

// Saves the camera's last frame; false with the reason printed.
bool SaveFrame(int camera, const std::string& path, const FileFormat& format);
// One frame to `path`, or to standard output for "-".
int Snap(int camera, const std::string& path, const FileFormat& format);

int PrintStoredSettings(int number);
int ShowDialog(int camera, const std::string& which);

// One step of the mask command: take a reference frame, or save or load the mask file.
struct MaskStep {
    std::string action;  // "dark", "bright", "save", "load"
    std::string path;    // save and load
};
bool ParseMaskSteps(const std::vector<std::string>& args, std::vector<MaskStep>* steps);
int Mask(int camera, int simulatedCamera, const std::vector<MaskStep>& steps);

}  // namespace velcor::tool
