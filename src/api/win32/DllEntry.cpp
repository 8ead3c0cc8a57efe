// The library's entry point. When the process exits (the detach comes with a non-null reserved
// pointer), the system has already ended every other thread and holds the loader's lock: the
// static objects torn down after this call must not wait for the capture, recording and frame
// threads, nor for locks those threads held. An unload through FreeLibrary leaves the threads
// running and the owners stop them as usual.
#include <windows.h>

#include "platform/Thread.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) velcor::platform::MarkProcessEnding();
    return TRUE;
}
