// The tool's command line, checked whole before any camera is touched.
#pragma once

#include <string>
#include <vector>

#include "CameraCommands.h"
#include "Features.h"
#include "Stream.h"

namespace velcor::tool {

struct Invocation {
    int simulate = 0;
    CameraChoice choice;
    int product = -1;  // -1: the C API's camera; else the engine's view of this product id
    std::string command;
    std::vector<std::string> args;  // after the command

    bool help = false;      // the command's --help, or the whole usage without a command
    bool version = false;   // --version
    bool markdown = false;  // errors --markdown

    // snap, stream, record, preview
    std::string path;
    const FileFormat* format = nullptr;
    int bits = 8;
    bool bitsGiven = false;  // the engine view's default depth is the product's own
    int seconds = -1;
    StreamOptions stream;

    std::vector<const Feature*> features;  // get
    std::vector<Assignment> assignments;   // set
    std::vector<MaskStep> maskSteps;
};

// Fills `out`; returns -1 when the command is to run, else the exit status to end with (2 for a
// wrong command line, the reason printed).
int ParseCommandLine(int argc, char** argv, Invocation* out);

}  // namespace velcor::tool
