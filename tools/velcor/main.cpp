// velcor: lists, configures and captures from Velcor cameras through the C API.
//
//   velcor [--simulate N] [--device N | --serial S] [--product P] [COMMAND [ARGS]]
//
// --simulate N attaches N simulated ROZE9701 cameras (product id 0x32C0, serial numbers
// SIM0001, SIM0002, ...) before the command runs; they live as long as this process.
// --device N selects the camera by its device number (default 0), --serial S by its serial
// number. --product P works on a camera of product id P through the camera engine instead (info,
// snap and stream only): the engine's view of any product of the family, where the C API's
// camera object drives product 0x32C0 alone. --simulate N then attaches N simulated cameras of
// that product to the engine view's own simulator.
//
// Exit status: 0 success; 1 the camera or the library failed (no camera open, a setting
// refused, an error of the library, a file not written); 2 the command line is wrong.
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Capture.h"
#include "CommandLine.h"
#include "ErrorTable.h"
#include "Help.h"
#include "Reporting.h"
#include "engine/ProductView.h"

namespace velcor::tool {
namespace {

// --product: the engine's view has no camera object behind it: no stored settings,
// adjustments, pixel mask, preview window, recorder or dialogs.
int RunOnProduct(const Invocation& in) {
    const std::string& command = in.command;
    if (command != "info" && command != "snap" && command != "stream") {
        std::fprintf(stderr,
                     "velcor: %s is not available on the engine's view of a product "
                     "(--product): it needs the C API, whose camera drives product 0x32C0; "
                     "with --product: info, snap, stream\n",
                     command.empty() ? "the overview (no command)" : command.c_str());
        return kExitUsage;
    }
    if (!in.stream.saveDir.empty()) {
        std::fprintf(stderr,
                     "velcor: stream --save is not available on the engine's view of a "
                     "product (--product)\n");
        return kExitUsage;
    }
    if (!in.choice.serial.empty()) {
        std::fprintf(stderr, "velcor: --serial needs the C API; with --product use --device\n");
        return kExitUsage;
    }
    const ProductRun run{in.product, in.simulate, in.choice.device};
    if (command == "info") return ProductInfo(run);
    const int bits = in.bitsGiven ? in.bits : 0;
    if (command == "snap")
        return ProductSnap(run, in.path, in.format->number, in.format->name, bits);
    return ProductStream(run, in.stream.frames > 0 ? in.stream.frames : 100, bits);
}

// The command on the camera the command line chose, once it is open.
int RunOnCamera(int camera, int device, const Invocation& in, const std::vector<int>& simulated) {
    const std::string& command = in.command;
    // Simulated cameras are the only ones here when any were attached: device N is the N-th of
    // them.
    const size_t index = static_cast<size_t>(device);
    const int simulatedCamera = index < simulated.size() ? simulated[index] : 0;
    if (command == "info") return PrintInfo(camera, device);
    if (command == "features") return ListFeatures(camera);
    if (command == "get") return GetFeatures(camera, in.features);
    if (command == "set") return SetFeatures(camera, in.assignments);
    // The settings are stored under the camera's device number.
    if (command == "settings") return PrintStoredSettings(device);
    if (command == "snap") return Snap(camera, in.path, *in.format);
    if (command == "record") return Record(camera, in.path, in.seconds, in.bits);
    if (command == "dialog") return ShowDialog(camera, in.args[0]);
    if (command == "preview") return Preview(camera, in.seconds, in.bits);
    if (command == "mask") return Mask(camera, simulatedCamera, in.maskSteps);
    return Stream(camera, simulatedCamera, in.stream);
}

int Run(const Invocation& in) {
    if (in.command == "errors") {
        PrintErrorTable(stdout, in.markdown);
        return kExitOk;
    }
    if (in.product >= 0) return RunOnProduct(in);

    std::vector<int> simulated;
    for (int i = 1; i <= in.simulate; ++i) {
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

    int result = kExitOk;
    if (in.command.empty()) {
        PrintVersion();
        ListCameras(camera);
        if (!PresentCameras(camera).empty()) {
            std::printf("\n");
            const int device = OpenCamera(camera, in.choice, initialiseErrors);
            result = device >= 0 ? PrintInfo(camera, device) : kExitFailure;
        }
    } else if (in.command == "list") {
        result = ListCameras(camera);
    } else {
        const int device = OpenCamera(camera, in.choice, initialiseErrors);
        result = device >= 0 ? RunOnCamera(camera, device, in, simulated) : kExitFailure;
    }
    Velcor_Release(camera);
    return result;
}

}  // namespace
}  // namespace velcor::tool

int main(int argc, char** argv) {
    velcor::tool::Invocation invocation;
    const int status = velcor::tool::ParseCommandLine(argc, argv, &invocation);
    if (status >= 0) return status;
    return velcor::tool::Run(invocation);
}
