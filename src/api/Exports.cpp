// The exported C API: each function finds the camera object of its handle and forwards to it.
#include <velcor/VelcorSdk.h>

extern "C" {

VELCOR_API int VELCOR_CALL Velcor_GetDllVersion(void) { return VELCOR_DLL_VERSION; }

}  // extern "C"
