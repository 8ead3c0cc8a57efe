// velcor: lists, configures and captures from Velcor cameras through the C API.
#include <velcor/VelcorSdk.h>

#include <cstdio>

int main() {
    const int version = Velcor_GetDllVersion();
    std::printf("VelcorSdk_TX40 %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
                (version >> 8) & 0xFF, version & 0xFF);
    return 0;
}
