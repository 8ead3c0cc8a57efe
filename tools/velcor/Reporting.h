// How the tool ends and says why: its exit statuses and the messages made from a camera's error
// history.
#pragma once

#include <vector>

namespace velcor::tool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the camera or the library failed, or a file was not written
constexpr int kExitUsage = 2;    // the command line is wrong

constexpr unsigned short kProductRoze9701 = 0x32C0;

// Empties the camera's error history and returns its error codes, oldest first. Success
// notices (code 0) read like the end of the history, so every entry is taken.
std::vector<int> TakeErrors(int camera);

// "velcor: WHAT: error N (NAME, meaning): usual cause" on standard error, per code.
void PrintErrors(const std::vector<int>& codes, const char* what);

// Prints and empties the camera's error history; true when it held any error.
bool ReportErrors(int camera, const char* what);

// After a failed call: the errors the library recorded, or `fallback` when it recorded none.
// Returns kExitFailure.
int Failed(int camera, const char* what, const char* fallback);

}  // namespace velcor::tool
