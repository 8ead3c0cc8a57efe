#include "Reporting.h"

#include <velcor/VelcorErrors.h>
#include <velcor/VelcorSdk.h>

#include <cstdio>

#include "ErrorTable.h"

namespace velcor::tool {

namespace {
constexpr int kHistoryDepth = 20;  // entries of a camera's error history
}  // namespace

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
        std::fprintf(stderr, "velcor: %s: %s\n", what, DescribeError(code).c_str());
}

bool ReportErrors(int camera, const char* what) {
    const std::vector<int> codes = TakeErrors(camera);
    PrintErrors(codes, what);
    return !codes.empty();
}

int Failed(int camera, const char* what, const char* fallback) {
    if (!ReportErrors(camera, what)) std::fprintf(stderr, "velcor: %s: %s\n", what, fallback);
    return kExitFailure;
}

}  // namespace velcor::tool
