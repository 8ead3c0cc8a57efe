// The camera's settings as the tool names them: one table gives each setting its C API calls,
// its range and unit, and drives `features`, `get` and `set`.
#pragma once

#include <string>
#include <vector>

namespace velcor::tool {

struct Feature;

// A capture window as written on the command line: WIDTHxHEIGHT+X+Y.
struct WindowValue {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};

// One NAME=VALUE of `set`, checked for its syntax; the range is checked on the camera.
struct Assignment {
    const Feature* feature = nullptr;
    std::string text;  // the value as given, for messages
    double number = 0;
    WindowValue window;
};

// The settings `get` names, or exit status 2 with the unknown name printed.
int ParseFeatureNames(const std::vector<std::string>& names, std::vector<const Feature*>* out);
// The assignments of `set`: NAME=VALUE..., or the single NAME VALUE of earlier versions.
// Exit status 2 with the reason printed for an unknown name or a value of the wrong form.
int ParseAssignments(const std::vector<std::string>& words, std::vector<Assignment>* out);

// The commands on an open camera, each returning the tool's exit status.
int ListFeatures(int camera);
int GetFeatures(int camera, const std::vector<const Feature*>& features);
// Every value is checked against its range before the first is applied; then they are applied
// in the order given and read back.
int SetFeatures(int camera, const std::vector<Assignment>& assignments);

// The names of the table, comma separated, for the usage text.
std::string FeatureNames();

}  // namespace velcor::tool
