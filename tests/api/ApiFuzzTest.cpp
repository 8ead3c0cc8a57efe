// Hostile calls through every exported function, drawn from a seeded random generator: unknown
// and released handles, null pointers, negative and huge sizes and indices, non-finite and huge
// doubles, out-of-range modes, buffers exactly as small as the size they claim (so
// AddressSanitizer sees any overrun), long paths and wide strings that do not convert, mixed
// with plausible values that reach the deeper code. Runs cover handles with and without a
// simulated camera, calls serialised per handle and calls overlapping on one handle. A call
// must not crash or hang, a BOOL result is 0 or 1, an unknown handle gives the empty result, and
// the error a camera records is one of the documented codes.
//
// VELCOR_API_FUZZ_SEED replays a run; VELCOR_API_FUZZ_CALLS sets the number of calls per run.
#include <gtest/gtest.h>

#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "api/ApiFuzzSupport.h"
#include "dialogs/DialogHost.h"
#include "sim/SimTestSupport.h"
#include "support/Sanitizers.h"

namespace velcor {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kDefaultSeed = 20240611;
constexpr unsigned long long kDefaultCalls = 1000;
constexpr int kFrameBytes = 1280 * 1024;

// Buffer sizes the fuzzer hands out, each buffer allocated at exactly its size: too small for
// any frame, a strip of rows, one byte short of a whole frame and whole frames at 8 and 16 bits.
constexpr int kImageSizes[] = {1,
                               12,
                               1280 * 16,
                               1280 * 16 * 2,
                               kFrameBytes - 1,
                               kFrameBytes,
                               2 * kFrameBytes - 1,
                               2 * kFrameBytes};
constexpr int kTextSizes[] = {1, 2, 12, 13, 14, 31, 32, 33, 64, 256};

bool DocumentedError(int code) {
    return (code >= VELCOR_ERR_NONE && code <= VELCOR_ERR_ARGUMENT) ||
           (code >= VELCOR_ERR_UNSUPPORTED && code <= VELCOR_ERR_MASK_FILE);
}

// Exactly-sized buffers kept per size, so that a run does not allocate on every call.
template <typename T>
class SizedBuffers {
  public:
    T* Get(int size) {
        std::vector<T>& buffer = buffers_[size];
        if (buffer.size() != static_cast<size_t>(size))
            buffer.assign(static_cast<size_t>(size), T{});
        return buffer.data();
    }

  private:
    std::map<int, std::vector<T>> buffers_;
};

// What one run shares between its threads. Everything here is set up before the threads start
// and only read while they run; the buffers of callback preview and trigger mode are written by
// the library's worker, which may go on after the call that handed them over: they live until
// the handles are released.
struct FuzzRun {
    unsigned seed = 0;
    std::vector<int> handles;
    std::vector<HWND> windows;
    std::vector<std::unique_ptr<std::mutex>> turns;
    std::vector<std::unique_ptr<SizedBuffers<BYTE>>> frameTargets;
    bool serialise = true;
    int camera = 0;  // the simulated camera, 0 without one
    int staleHandle = 0;
    HWND staleWindow = nullptr;
    int staleCamera = 0;
    std::filesystem::path directory;
    std::atomic<int> failures{0};
    std::atomic<unsigned long long> calls{0};
    std::atomic<int> temporarySerial{0};
    // Time spent in each export of the table, to show where a run's time goes.
    std::map<const char*, std::pair<long long, long long>> spent;  // microseconds, calls
    std::mutex spentLock;

    bool Live(int handle) const {
        for (int h : handles) {
            if (h == handle) return true;
        }
        return false;
    }
};

// The arguments of one call and the checks of its result.
class Call {
  public:
    Call(FuzzRun& run, std::mt19937& random, SizedBuffers<BYTE>& bytes, SizedBuffers<char>& chars,
         SizedBuffers<wchar_t>& wide, const char* name)
        : run_(run), r_(random), bytes_(bytes), chars_(chars), wide_(wide), name_(name) {
        if (!run.handles.empty() && Chance(80)) {
            slot = static_cast<int>(r_() % run.handles.size());
            h = run.handles[static_cast<size_t>(slot)];
        } else {
            h = UnknownHandle();
        }
    }

    FuzzRun& run() { return run_; }
    std::mt19937& random() { return r_; }
    bool Valid() const { return slot >= 0; }
    HWND HandleWindow() const {
        return Valid() ? run_.windows[static_cast<size_t>(slot)] : run_.staleWindow;
    }

    bool Chance(int percent) { return static_cast<int>(r_() % 100) < percent; }
    template <typename T, size_t n>
    T Pick(const T (&values)[n]) {
        return values[r_() % n];
    }
    int Between(int low, int high) {
        return low + static_cast<int>(r_() % (static_cast<unsigned>(high - low) + 1u));
    }

    // A handle no live camera object has: 0, -1, extremes, a released one or a random number.
    int UnknownHandle() {
        for (;;) {
            int candidate = 0;
            switch (r_() % 6) {
                case 0:
                    candidate = 0;
                    break;
                case 1:
                    candidate = -1;
                    break;
                case 2:
                    candidate = INT_MAX;
                    break;
                case 3:
                    candidate = INT_MIN;
                    break;
                case 4:
                    candidate = run_.staleHandle;
                    break;
                default:
                    candidate = static_cast<int>(r_());
                    break;
            }
            if (!run_.Live(candidate)) return candidate;
        }
    }

    // Half of the time a value of low..high, else one of the values that break careless code.
    int Int(int low, int high) {
        if (Chance(50)) return Between(low, high);
        static constexpr int kHostile[] = {0,           -1,          1,      INT_MIN, INT_MAX,
                                           INT_MIN + 1, INT_MAX - 1, 0x7FFF, 0x8000,  0xFFFF,
                                           0x10000,     -0x10000,    255,    256,     -256};
        switch (r_() % 4) {
            case 0:
                return low - 1;
            case 1:
                return high + 1;
            case 2:
                return static_cast<int>(r_());
            default:
                return Pick(kHostile);
        }
    }

    double Seconds() {
        if (Chance(40)) return 0.0001 * Between(1, 20000);
        static constexpr double kHostile[] = {std::numeric_limits<double>::quiet_NaN(),
                                              std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              DBL_MAX,
                                              -DBL_MAX,
                                              DBL_MIN,
                                              std::numeric_limits<double>::denorm_min(),
                                              1e300,
                                              -1.0,
                                              -0.0,
                                              0.0,
                                              0.00001,
                                              2.0,
                                              2.0001,
                                              2147.4836,
                                              2147.5,
                                              34982.0,
                                              214748.3647,
                                              214748.37,
                                              1e10};
        return Pick(kHostile);
    }

    // A window for the library to post to: none, the handle's own, another run window, a
    // destroyed one or a value no window ever had.
    HWND Window() {
        switch (r_() % 6) {
            case 0:
                return nullptr;
            case 1:
                return run_.staleWindow;
            case 2:
                return reinterpret_cast<HWND>(static_cast<uintptr_t>(Pick(kBogusWindows)));
            case 3:
                return run_.windows.empty() ? nullptr : run_.windows[r_() % run_.windows.size()];
            default:
                return HandleWindow();
        }
    }

    // A byte buffer and the size claimed for it: null with any size, an exact-size buffer, or a
    // small buffer with a negative size.
    BYTE* Bytes(int* size) {
        switch (r_() % 5) {
            case 0:
                *size = Int(0, 2 * kFrameBytes);
                return nullptr;
            case 1:
                *size = Chance(50) ? -1 : INT_MIN;
                return bytes_.Get(1);
            default:
                *size = Pick(kImageSizes);
                return bytes_.Get(*size);
        }
    }
    // The same from buffers that outlive the call: the library may keep writing frames there.
    BYTE* FrameTarget(int* size) {
        SizedBuffers<BYTE>& targets = *run_.frameTargets[static_cast<size_t>(Valid() ? slot : 0)];
        switch (r_() % 5) {
            case 0:
                *size = Int(0, 2 * kFrameBytes);
                return nullptr;
            case 1:
                *size = Chance(50) ? -1 : INT_MIN;
                return targets.Get(1);
            default:
                *size = Pick(kImageSizes);
                return targets.Get(*size);
        }
    }
    char* Chars(int* size) {
        if (Chance(15)) {
            *size = Chance(50) ? Int(0, 256) : -1;
            return *size < 0 ? chars_.Get(1) : nullptr;
        }
        *size = Pick(kTextSizes);
        return chars_.Get(*size);
    }
    wchar_t* Wide(int* size) {
        if (Chance(15)) {
            *size = Chance(50) ? Int(0, 256) : -1;
            return *size < 0 ? wide_.Get(1) : nullptr;
        }
        *size = Pick(kTextSizes);
        return wide_.Get(*size);
    }

    // A path inside the run's directory (existing file, missing file, the directory itself, a
    // missing folder, a name longer than any file system takes) or null. `empty` adds "".
    std::string PathText(bool* isNull, bool empty = true) {
        *isNull = false;
        const std::string dir = run_.directory.string();
        switch (r_() % (empty ? 8 : 7)) {
            case 0:
                *isNull = true;
                return {};
            case 1:
                return dir + "/config.cfg";
            case 2:
                return dir + "/short.cfg";
            case 3:
                return dir + "/missing.cfg";
            case 4:
                return dir;
            case 5:
                return dir + "/no-such-folder/image.bmp";
            case 6:
                return dir + "/" + std::string(5000, 'a') + ".bmp";
            default:
                return {};
        }
    }
    // Where a save may write: its own file, or names that cannot be written.
    std::string SavePathText(bool* isNull) {
        bool missing = false;
        const std::string other = PathText(&missing);
        if (!missing && other.find(".cfg") != std::string::npos) {
            return run_.directory.string() + "/saved.image";
        }
        *isNull = missing;
        return other;
    }
    // Wide paths add characters that have no narrow form: a lone surrogate and one beyond
    // Unicode.
    std::wstring WidePathText(bool* isNull, bool empty = true) {
        const std::string narrow = PathText(isNull, empty);
        std::wstring wide(narrow.begin(), narrow.end());
        if (!*isNull && !narrow.empty() && Chance(30)) {
            wide += Chance(50) ? static_cast<wchar_t>(0xD800) : static_cast<wchar_t>(0x110000);
        }
        return wide;
    }

    // ---- Checks ------------------------------------------------------------------------------

    void Fail(const std::string& what) {
        if (run_.failures.fetch_add(1) < 20) {
            ADD_FAILURE() << name_ << ": " << what << " (handle " << h
                          << (Valid() ? ", live" : ", unknown")
                          << ", VELCOR_API_FUZZ_SEED=" << run_.seed << ")";
        }
    }
    // A BOOL result of a camera-handle function: 0 or 1, and 0 for an unknown handle.
    void Bool(int result) {
        if (result != 0 && result != 1) Fail("BOOL result " + std::to_string(result));
        if (!Valid() && result != 0) Fail("unknown handle answered " + std::to_string(result));
    }
    // A BOOL result of a function without a camera handle.
    void Flag(int result) {
        if (result != 0 && result != 1) Fail("BOOL result " + std::to_string(result));
    }
    // The empty result an unknown handle must give.
    template <typename T>
    void Empty(T result, T empty) {
        if (!Valid() && !(result == empty)) Fail("unknown handle did not give the empty result");
    }
    // A success flag through a pointer: untouched (still kUnset) or 0/1.
    static constexpr int kUnset = 0x5A5A5A5A;
    int* Ok() { return Chance(20) ? nullptr : &ok_; }
    void CheckOk() {
        if (ok_ != kUnset && ok_ != 0 && ok_ != 1) Fail("success flag " + std::to_string(ok_));
        ok_ = kUnset;
    }

    int slot = -1;  // index of the live handle, -1 for an unknown one
    int h = 0;

  private:
    static constexpr uintptr_t kBogusWindows[] = {1, 0x1000, UINTPTR_MAX, 0xDEADBEEF};

    FuzzRun& run_;
    std::mt19937& r_;
    SizedBuffers<BYTE>& bytes_;
    SizedBuffers<char>& chars_;
    SizedBuffers<wchar_t>& wide_;
    const char* name_;
    int ok_ = kUnset;
};

// Getter and setter of a named filter value: any value, mostly within -512..512.
#define FILTER_PAIR(Name)                                                                       \
    {"Velcor_Get" #Name, 4,                                                                     \
     [](Call& c) {                                                                              \
         const int v = Velcor_Get##Name(c.h, c.Ok());                                           \
         c.Empty(v, 0);                                                                         \
         c.CheckOk();                                                                           \
     }},                                                                                        \
    {                                                                                           \
        "Velcor_Set" #Name, 4, [](Call& c) { c.Bool(Velcor_Set##Name(c.h, c.Int(-512, 512))); } \
    }

// Functions that need no camera handle but are drawn with one ignore it.
struct Export {
    const char* name;
    int weight;  // relative frequency; slow calls (ROM reads and writes, opening) come rarely
    void (*fuzz)(Call&);
};

// Attaches a simulated camera with a serial number of the fuzzer's own and detaches it again,
// or tries serial numbers that must be refused. Only cameras attached here are detached.
void FuzzAttach(Call& c) {
    static constexpr unsigned short kProducts[] = {0x32C0, 0x32C0, 0x3180, 0, 0xFFFF};
    const unsigned short product = c.Pick(kProducts);
    int id = 0;
    switch (c.random()() % 6) {
        case 0:
            id = VelcorSim_AttachCamera(product, nullptr);
            break;
        case 1:
            id = VelcorSim_AttachCamera(product, "");
            break;
        case 2:
            id = VelcorSim_AttachCamera(product, std::string(4000, 'S').c_str());
            break;
        case 3:
            id = VelcorSim_AttachCamera(product, "FUZ\x01\x7F");
            break;
        default: {
            // Two serial numbers in turn: the device table reuses their entries.
            const std::string serial =
                "FUZZTMP" + std::to_string(c.run().temporarySerial.fetch_add(1) % 2);
            id = VelcorSim_AttachCamera(product, serial.c_str());
            break;
        }
    }
    if (id < 0) c.Fail("camera id " + std::to_string(id));
    if (id > 0 && VelcorSim_DetachCamera(id) != TRUE) c.Fail("attached camera did not detach");
}

// Camera ids that are not the run's camera.
int UnknownCamera(Call& c) {
    const int ids[] = {0, -1, INT_MAX, INT_MIN, c.run().staleCamera};
    return c.Pick(ids);
}
// The run's camera most of the time.
int SomeCamera(Call& c) {
    return c.run().camera != 0 && c.Chance(70) ? c.run().camera : UnknownCamera(c);
}

const Export kExports[] = {
    // ---- Lifecycle ----
    // Makes a camera object (which opens the one attached camera) and releases it again.
    {"Velcor_Initialize", 1,
     [](Call& c) {
         const int handle = Velcor_Initialize(c.Window());
         if (handle == 0) return c.Fail("no handle");
         for (int code = Velcor_GetLastError(handle), n = 0; code != 0 && n < 25;
              code = Velcor_GetLastError(handle), ++n) {
             if (!DocumentedError(code)) c.Fail("new handle recorded " + std::to_string(code));
         }
         if (Velcor_Release(handle) != TRUE) c.Fail("new handle did not release");
     }},
    // Releases only handles of its own or unknown ones: the run's handles stay.
    {"Velcor_Release", 2,
     [](Call& c) {
         if (c.Chance(30)) {
             const int handle = Velcor_Initialize(nullptr);
             if (Velcor_Release(handle) != TRUE) c.Fail("new handle did not release");
             if (Velcor_Release(handle) != FALSE) c.Fail("released twice");
             if (Velcor_GetColorMode(handle) != -1) c.Fail("released handle still answers");
             return;
         }
         if (Velcor_Release(c.UnknownHandle()) != FALSE) c.Fail("unknown handle released");
     }},
    {"Velcor_GetDllVersion", 4,
     [](Call& c) {
         if (Velcor_GetDllVersion() != VELCOR_DLL_VERSION) c.Fail("version");
     }},
    {"Velcor_GetLastError", 4,
     [](Call& c) {
         const int code = Velcor_GetLastError(c.h);
         if (!DocumentedError(code)) c.Fail("code " + std::to_string(code));
         c.Empty(code, 0);
     }},
    {"Velcor_GetStatus", 4,
     [](Call& c) {
         if (Velcor_GetStatus(c.h, c.Int(0, 1)) != 0) c.Fail("status is always 0");
     }},

    // ---- Device selection and identity ----
    {"Velcor_EnumDevice", 4,
     [](Call& c) {
         std::vector<char> names(c.Chance(20) ? 0 : 10 * 256);
         const int n = Velcor_EnumDevice(c.h, names.empty() ? nullptr : names.data());
         if (n < 0 || n > 10) c.Fail("count " + std::to_string(n));
         c.Empty(n, 0);
     }},
    {"Velcor_EnumDeviceW", 4,
     [](Call& c) {
         std::vector<wchar_t> names(c.Chance(20) ? 0 : 10 * 256);
         const int n = Velcor_EnumDeviceW(c.h, names.empty() ? nullptr : names.data());
         if (n < 0 || n > 10) c.Fail("count " + std::to_string(n));
         c.Empty(n, 0);
     }},
    {"Velcor_GetDeviceName", 4,
     [](Call& c) {
         int size = 0;
         char* buffer = c.Chars(&size);
         c.Bool(Velcor_GetDeviceName(c.h, c.Int(0, 2), buffer, size));
     }},
    {"Velcor_GetDeviceNameW", 4,
     [](Call& c) {
         int size = 0;
         wchar_t* buffer = c.Wide(&size);
         c.Bool(Velcor_GetDeviceNameW(c.h, c.Int(0, 2), buffer, size));
     }},
    {"Velcor_SetDeviceNumber", 1,
     [](Call& c) { c.Bool(Velcor_SetDeviceNumber(c.h, c.Int(0, 1))); }},
    // The record is allocated at exactly the size it claims; a lying size field comes only
    // with a whole record.
    {"Velcor_GetCameraInfo", 4,
     [](Call& c) {
         if (c.Chance(15)) return c.Bool(Velcor_GetCameraInfo(c.h, nullptr));
         if (c.Chance(30)) {
             VELCORCAMERAINFO info{};
             info.size = c.Int(0, static_cast<int>(sizeof info));
             return c.Bool(Velcor_GetCameraInfo(c.h, &info));
         }
         static constexpr int kSizes[] = {4, 35, 36, 40, 55, 56};
         const int size = c.Pick(kSizes);
         std::vector<unsigned char> bytes(static_cast<size_t>(size));
         std::memcpy(bytes.data(), &size, sizeof size);
         c.Bool(Velcor_GetCameraInfo(c.h, reinterpret_cast<VELCORCAMERAINFO*>(bytes.data())));
     }},
    {"Velcor_ReadSerialNumberA", 1,
     [](Call& c) {
         int size = 0;
         char* buffer = c.Chars(&size);
         c.Bool(Velcor_ReadSerialNumberA(c.h, buffer, size));
     }},
    {"Velcor_ReadSerialNumberW", 1,
     [](Call& c) {
         int size = 0;
         wchar_t* buffer = c.Wide(&size);
         c.Bool(Velcor_ReadSerialNumberW(c.h, buffer, size));
     }},

    // ---- Capture, preview, callback, recording and images ----
    {"Velcor_Preview", 3, [](Call& c) { c.Bool(Velcor_Preview(c.h)); }},
    {"Velcor_StartPreview", 3, [](Call& c) { c.Bool(Velcor_StartPreview(c.h)); }},
    {"Velcor_StopPreview", 4, [](Call& c) { c.Bool(Velcor_StopPreview(c.h)); }},
    {"Velcor_Close", 4, [](Call& c) { c.Bool(Velcor_Close(c.h)); }},
    {"Velcor_Capture", 3, [](Call& c) { c.Bool(Velcor_Capture(c.h)); }},
    // Waits for one frame at most for the snapshot's frame time-out; the simulated camera
    // delivers at once (fast frames), so the wait is short unless the camera is gone.
    {"Velcor_SnapShot", 3,
     [](Call& c) {
         int size = 0;
         BYTE* buffer = c.Bytes(&size);
         c.Bool(Velcor_SnapShot(c.h, buffer, size, c.Int(0, 1)));
     }},
    {"Velcor_GetImage", 4,
     [](Call& c) {
         int size = 0;
         BYTE* buffer = c.Bytes(&size);
         c.Bool(Velcor_GetImage(c.h, buffer, size, c.Int(0, 1)));
     }},
    {"Velcor_CallBackPreview", 3,
     [](Call& c) {
         int size = 0;
         BYTE* buffer = c.FrameTarget(&size);
         c.Bool(Velcor_CallBackPreview(c.h, c.Window(), buffer, size, c.Int(0, 1)));
     }},
    {"Velcor_Trigger", 3,
     [](Call& c) {
         int size = 0;
         BYTE* buffer = c.FrameTarget(&size);
         c.Bool(Velcor_Trigger(c.h, c.Window(), buffer, size, c.Int(0, 1)));
     }},
    // Mostly the placement that lets preview run without the library's window.
    {"Velcor_SetPreviewWindow", 4,
     [](Call& c) {
         if (c.Chance(60)) return c.Bool(Velcor_SetPreviewWindow(c.h, nullptr, 0, 0, 0, 0));
         c.Bool(Velcor_SetPreviewWindow(c.h, c.Window(), c.Int(0, 1280), c.Int(0, 1024),
                                        c.Int(0, 1280), c.Int(0, 1024)));
     }},
    // A recording runs for durationMs beside the preview; like the saves, it writes over a
    // file of its own, never over the configuration files.
    {"Velcor_Record", 2,
     [](Call& c) {
         bool isNull = false;
         const std::string path = c.SavePathText(&isNull);
         c.Bool(Velcor_Record(c.h, isNull ? nullptr : path.c_str(), c.Int(0, 50), c.Int(0, 1)));
     }},
    {"Velcor_RecordW", 2,
     [](Call& c) {
         bool isNull = false;
         const std::string narrow = c.SavePathText(&isNull);
         std::wstring path(narrow.begin(), narrow.end());
         if (!isNull && !narrow.empty() && c.Chance(30)) path += static_cast<wchar_t>(0xD800);
         c.Bool(Velcor_RecordW(c.h, isNull ? nullptr : path.c_str(), c.Int(0, 50), c.Int(0, 1)));
     }},
    // Saves write over a file of their own, never over the configuration files the other
    // calls load; format 7 is not a format.
    {"Velcor_SaveImage", 3,
     [](Call& c) {
         bool isNull = false;
         const std::string path = c.SavePathText(&isNull);
         c.Bool(Velcor_SaveImage(c.h, isNull ? nullptr : path.c_str(), c.Int(0, 7)));
     }},
    {"Velcor_SaveImageW", 3,
     [](Call& c) {
         bool isNull = false;
         const std::string narrow = c.SavePathText(&isNull);
         const std::wstring path(narrow.begin(), narrow.end());
         c.Bool(Velcor_SaveImageW(c.h, isNull ? nullptr : path.c_str(), c.Int(0, 7)));
     }},

    // ---- Image geometry and format ----
    {"Velcor_Width", 4,
     [](Call& c) {
         const int v = Velcor_Width(c.h);
         if (v < 0 || v > 1280) c.Fail("width " + std::to_string(v));
         c.Empty(v, 0);
     }},
    {"Velcor_Height", 4,
     [](Call& c) {
         const int v = Velcor_Height(c.h);
         if (v < 0 || v > 1024) c.Fail("height " + std::to_string(v));
         c.Empty(v, 0);
     }},
    {"Velcor_GetColorMode", 4,
     [](Call& c) {
         const int bits = Velcor_GetColorMode(c.h);
         const bool known =
             bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
         if (c.Valid() ? !known : bits != -1) c.Fail("colour mode " + std::to_string(bits));
     }},
    {"Velcor_SetColorMode", 4,
     [](Call& c) {
         static constexpr int kBits[] = {8, 16, 8, 16, 24, 32, 48, 64, 12, 0, -8, 128, INT_MIN};
         c.Bool(Velcor_SetColorMode(c.h, c.Chance(70) ? c.Pick(kBits) : c.Int(0, 64)));
     }},
    {"Velcor_GetSubSample", 4, [](Call& c) { c.Empty(Velcor_GetSubSample(c.h), -1); }},
    {"Velcor_SetSubSample", 4, [](Call& c) { c.Bool(Velcor_SetSubSample(c.h, c.Int(0, 0))); }},
    {"Velcor_SetCaptureWindow", 4,
     [](Call& c) { c.Bool(Velcor_SetCaptureWindow(c.h, c.Int(0, 1280), c.Int(0, 1024))); }},
    // Mostly full-width windows, the only ones this sensor reads.
    {"Velcor_SetCaptureWindowEx", 4,
     [](Call& c) {
         if (c.Chance(50)) {
             const int height = c.Between(1, 1024);
             return c.Bool(Velcor_SetCaptureWindowEx(c.h, 1280, 0, 1280, 1024,
                                                     c.Between(0, 1024 - height), height));
         }
         c.Bool(Velcor_SetCaptureWindowEx(c.h, c.Int(0, 1280), c.Int(0, 1280), c.Int(0, 1280),
                                          c.Int(0, 1024), c.Int(0, 1024), c.Int(0, 1024)));
     }},
    {"Velcor_GetCaptureWindowEx", 4,
     [](Call& c) {
         int v[6] = {};
         auto some = [&](int i) { return c.Chance(20) ? nullptr : &v[i]; };
         c.Bool(
             Velcor_GetCaptureWindowEx(c.h, some(0), some(1), some(2), some(3), some(4), some(5)));
     }},
    {"Velcor_GetWaitTime", 4, [](Call& c) { c.Empty(Velcor_GetWaitTime(c.h), -1); }},
    // The preview loop pauses this long between frames; stopping must not wait out the pause.
    {"Velcor_SetWaitTime", 4, [](Call& c) { c.Bool(Velcor_SetWaitTime(c.h, c.Int(0, 20))); }},
    {"Velcor_SetMirrorH", 4, [](Call& c) { c.Bool(Velcor_SetMirrorH(c.h, c.Int(0, 1))); }},
    {"Velcor_SetMirrorV", 4, [](Call& c) { c.Bool(Velcor_SetMirrorV(c.h, c.Int(0, 1))); }},
    {"Velcor_GetMirrorH", 4,
     [](Call& c) {
         const int v = Velcor_GetMirrorH(c.h);
         if (v != 0 && v != 1) c.Fail("mirror " + std::to_string(v));
         c.Empty(v, 0);
     }},
    {"Velcor_GetMirrorV", 4,
     [](Call& c) {
         const int v = Velcor_GetMirrorV(c.h);
         if (v != 0 && v != 1) c.Fail("mirror " + std::to_string(v));
         c.Empty(v, 0);
     }},

    // ---- Exposure, temperature and sensor extras ----
    {"Velcor_GetExposureTimeEx", 4,
     [](Call& c) {
         const double s = Velcor_GetExposureTimeEx(c.h, c.Ok());
         if (!std::isfinite(s)) c.Fail("exposure not finite");
         c.Empty(s, 0.0);
         c.CheckOk();
     }},
    {"Velcor_SetExposureTimeEx", 4,
     [](Call& c) { c.Bool(Velcor_SetExposureTimeEx(c.h, c.Seconds())); }},
    {"Velcor_GetRealExposureTime", 4,
     [](Call& c) {
         const int us = Velcor_GetRealExposureTime(c.h, c.Ok());
         if (us < 0) c.Fail("negative exposure " + std::to_string(us));
         c.Empty(us, 0);
         c.CheckOk();
     }},
    {"Velcor_SetRealExposureTime", 4,
     [](Call& c) { c.Bool(Velcor_SetRealExposureTime(c.h, c.Int(0, 2000000))); }},
    {"Velcor_GetTemperatureEx", 4,
     [](Call& c) {
         const double celsius = Velcor_GetTemperatureEx(c.h, c.Ok());
         if (!std::isfinite(celsius)) c.Fail("temperature not finite");
         c.Empty(celsius, 0.0);
         c.CheckOk();
     }},
    {"Velcor_SetSamplingRate", 4,
     [](Call& c) { c.Bool(Velcor_SetSamplingRate(c.h, c.Int(0, 3))); }},
    {"Velcor_GetAutoIris", 4,
     [](Call& c) {
         const int mode = Velcor_GetAutoIris(c.h, c.Ok());
         if (mode < 0 || mode > 2) c.Fail("mode " + std::to_string(mode));
         c.Empty(mode, 0);
         c.CheckOk();
     }},
    {"Velcor_SetAutoIris", 4, [](Call& c) { c.Bool(Velcor_SetAutoIris(c.h, c.Int(0, 2))); }},

    // ---- Registers, ROM, IO port and configuration ----
    // Writes put back the value just read: hostile address bits above those the register file
    // decodes, and no change to the camera that would leave it unusable for the rest of the run.
    {"Velcor_Fpga_ReadRegister", 4,
     [](Call& c) {
         c.Empty(Velcor_Fpga_ReadRegister(c.h, c.Int(0, 255), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_Fpga_WriteRegister", 2,
     [](Call& c) {
         int ok = 0;
         const int address = c.Between(0, 255);
         const int value = Velcor_Fpga_ReadRegister(c.h, address, &ok);
         const int high = c.Chance(50) ? 0 : static_cast<int>(c.random()() & 0xFFFFFF00u);
         c.Bool(Velcor_Fpga_WriteRegister(c.h, address | high, ok ? value : 0));
     }},
    {"Velcor_ReadRegister", 4,
     [](Call& c) {
         c.Empty(Velcor_ReadRegister(c.h, c.Int(0, 255), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_ReadRegisterEx", 4,
     [](Call& c) {
         c.Empty(Velcor_ReadRegisterEx(c.h, c.Int(0, 0x1FF), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_WriteRegister", 2,
     [](Call& c) {
         int ok = 0;
         const int address = c.Between(0, 255);
         const int value = Velcor_ReadRegister(c.h, address, &ok);
         const int high = c.Chance(50) ? 0 : static_cast<int>(c.random()() & 0xFFFF0000u);
         if (ok) c.Bool(Velcor_WriteRegister(c.h, address | (high & 0x7FFFFF00), value | high));
     }},
    {"Velcor_WriteRegisterEx", 2,
     [](Call& c) {
         static constexpr int kOutside[] = {0x200, 0x1000, 0xFFFF, 0x10000, -1, INT_MIN, INT_MAX};
         if (c.Chance(50)) {
             return c.Bool(Velcor_WriteRegisterEx(c.h, c.Pick(kOutside), c.Int(0, 255)));
         }
         int ok = 0;
         const int address = c.Between(0, 0x1FF);
         const int value = Velcor_ReadRegisterEx(c.h, address, &ok);
         if (ok) c.Bool(Velcor_WriteRegisterEx(c.h, address, value));
     }},
    {"Velcor_ReadSromID", 4,
     [](Call& c) {
         c.Empty(Velcor_ReadSromID(c.h, c.Int(0, 0xFFF), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_WriteSromID", 1,
     [](Call& c) {
         int ok = 0;
         const int address = c.Between(0, 0xFFF);
         const int value = Velcor_ReadSromID(c.h, address, &ok);
         if (ok)
             c.Bool(Velcor_WriteSromID(c.h, address,
                                       value | static_cast<int>(c.random()() & 0xFF00u)));
     }},
    {"Velcor_GetIOPort", 4,
     [](Call& c) {
         BYTE value = 0;
         c.Bool(Velcor_GetIOPort(c.h, c.Chance(20) ? nullptr : &value));
     }},
    {"Velcor_SetIOPort", 4,
     [](Call& c) { c.Bool(Velcor_SetIOPort(c.h, static_cast<BYTE>(c.random()()))); }},
    // Paths inside the run's directory, or null.
    {"Velcor_LoadConfigFileA", 3,
     [](Call& c) {
         bool isNull = false;
         const std::string path = c.PathText(&isNull, false);
         c.Bool(Velcor_LoadConfigFileA(c.h, isNull ? nullptr : path.c_str()));
     }},
    {"Velcor_LoadConfigFileW", 3,
     [](Call& c) {
         bool isNull = false;
         const std::wstring path = c.WidePathText(&isNull, false);
         c.Bool(Velcor_LoadConfigFileW(c.h, isNull ? nullptr : path.c_str()));
     }},

    // ---- Settings dialogs ----
    // A dialog would wait for the user: the runs put a user in place of the view who closes
    // each dialog at once (see ApiFuzz::SetUp).
    {"Velcor_SetCameraDlg", 2, [](Call& c) { c.Bool(Velcor_SetCameraDlg(c.h, c.Window())); }},
    {"Velcor_SetAnalogDlg", 2, [](Call& c) { c.Bool(Velcor_SetAnalogDlg(c.h, c.Window())); }},
    {"Velcor_SetImageDlg", 2, [](Call& c) { c.Bool(Velcor_SetImageDlg(c.h, c.Window())); }},

    // ---- Pixel mask ----
    {"Velcor_LoadMaskFile", 3,
     [](Call& c) {
         bool isNull = false;
         const std::string path = c.PathText(&isNull);
         c.Bool(Velcor_LoadMaskFile(c.h, isNull ? nullptr : path.c_str()));
     }},
    {"Velcor_LoadMaskFileW", 3,
     [](Call& c) {
         bool isNull = false;
         const std::wstring path = c.WidePathText(&isNull);
         c.Bool(Velcor_LoadMaskFileW(c.h, isNull ? nullptr : path.c_str()));
     }},
    {"Velcor_SaveMaskFile", 3,
     [](Call& c) {
         bool isNull = false;
         const std::string path = c.PathText(&isNull);
         c.Bool(Velcor_SaveMaskFile(c.h, isNull ? nullptr : path.c_str()));
     }},
    {"Velcor_SaveMaskFileW", 3,
     [](Call& c) {
         bool isNull = false;
         const std::wstring path = c.WidePathText(&isNull);
         c.Bool(Velcor_SaveMaskFileW(c.h, isNull ? nullptr : path.c_str()));
     }},
    {"Velcor_UpdateMaskData", 3, [](Call& c) { c.Bool(Velcor_UpdateMaskData(c.h, c.Int(0, 1))); }},

    // ---- Filter values ----
    {"Velcor_GetFilterValue", 6,
     [](Call& c) {
         c.Empty(
             Velcor_GetFilterValue(c.h, c.Chance(70) ? c.Between(1, 28) : c.Int(100, 106), c.Ok()),
             0);
         c.CheckOk();
     }},
    {"Velcor_SetFilterValue", 8,
     [](Call& c) {
         const int id = c.Chance(70) ? c.Between(1, 28) : c.Int(100, 106);
         c.Bool(Velcor_SetFilterValue(c.h, id, c.Int(-400, 400)));
     }},
    FILTER_PAIR(Brightness),
    FILTER_PAIR(Contrast),
    FILTER_PAIR(Hue),
    FILTER_PAIR(Saturation),
    FILTER_PAIR(Sharpness),
    FILTER_PAIR(BayerGainRGB),
    FILTER_PAIR(BayerGainRed),
    FILTER_PAIR(BayerGainGreen),
    FILTER_PAIR(BayerGainBlue),
    FILTER_PAIR(BayerGainAuto),
    FILTER_PAIR(Gamma),
    FILTER_PAIR(BayerMode),
    FILTER_PAIR(GlobalGain),
    FILTER_PAIR(ColorGainRed),
    FILTER_PAIR(ColorGainGreen1),
    FILTER_PAIR(ColorGainGreen2),
    FILTER_PAIR(ColorGainBlue),
    FILTER_PAIR(GrayMode),
    FILTER_PAIR(GrayGainR),
    FILTER_PAIR(GrayGainG1),
    FILTER_PAIR(GrayGainG2),
    FILTER_PAIR(GrayGainB),
    FILTER_PAIR(GrayOffsetR),
    FILTER_PAIR(GrayOffsetG1),
    FILTER_PAIR(GrayOffsetG2),
    FILTER_PAIR(GrayOffsetB),
    FILTER_PAIR(Peltier),
    FILTER_PAIR(DotFilter),
    FILTER_PAIR(MaskFilter),
    {"Velcor_GetExposureTime", 4,
     [](Call& c) {
         c.Empty(Velcor_GetExposureTime(c.h, c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_SetExposureTime", 4,
     [](Call& c) { c.Bool(Velcor_SetExposureTime(c.h, c.Int(1, 20000))); }},
    {"Velcor_GetTemperature", 4,
     [](Call& c) {
         c.Empty(Velcor_GetTemperature(c.h, c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_GetChannelGain", 4,
     [](Call& c) {
         c.Empty(Velcor_GetChannelGain(c.h, c.Int(1, 4), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_SetChannelGain", 4,
     [](Call& c) { c.Bool(Velcor_SetChannelGain(c.h, c.Int(1, 4), c.Int(0, 255))); }},
    {"Velcor_GetChannelOffset", 4,
     [](Call& c) {
         c.Empty(Velcor_GetChannelOffset(c.h, c.Int(1, 4), c.Ok()), 0);
         c.CheckOk();
     }},
    {"Velcor_SetChannelOffset", 4,
     [](Call& c) { c.Bool(Velcor_SetChannelOffset(c.h, c.Int(1, 4), c.Int(-255, 255))); }},

    // ---- Not supported by this camera ----
    {"Velcor_Fps", 2,
     [](Call& c) {
         if (Velcor_Fps(c.h) != 0) c.Fail("not 0");
     }},
    {"Velcor_GetHalfClock", 2,
     [](Call& c) {
         if (Velcor_GetHalfClock(c.h, c.Ok()) != 0) c.Fail("not 0");
         c.CheckOk();
     }},
    {"Velcor_SetHalfClock", 2, [](Call& c) { c.Bool(Velcor_SetHalfClock(c.h, c.Int(0, 1))); }},
    {"Velcor_GetInternalCorrection", 2,
     [](Call& c) {
         if (Velcor_GetInternalCorrection(c.h, c.Ok()) != 0) c.Fail("not 0");
         c.CheckOk();
     }},
    {"Velcor_SetInternalCorrection", 2,
     [](Call& c) { c.Bool(Velcor_SetInternalCorrection(c.h, c.Int(0, 1))); }},
    {"Velcor_SetCrossbar", 2,
     [](Call& c) { c.Bool(Velcor_SetCrossbar(c.h, c.Int(0, 3), c.Int(0, 3))); }},
    {"Velcor_GetSamplingRate", 2,
     [](Call& c) {
         int rate = 7;
         const bool pass = c.Chance(80);
         if (Velcor_GetSamplingRate(c.h, pass ? &rate : nullptr) != 0) c.Fail("not 0");
         if (pass && c.Valid() && rate != 0) c.Fail("rate not 0");
     }},
    {"Velcor_GetVideoFormat", 2,
     [](Call& c) {
         int format = 7;
         const bool pass = c.Chance(80);
         if (Velcor_GetVideoFormat(c.h, pass ? &format : nullptr) != 0) c.Fail("not 0");
         if (pass && c.Valid() && format != 0) c.Fail("format not 0");
     }},
    {"Velcor_SendText", 2,
     [](Call& c) {
         int size = 0;
         char* text = c.Chars(&size);
         if (text != nullptr) std::memset(text, 'x', static_cast<size_t>(size > 0 ? size : 1));
         if (Velcor_SendText(c.h, text, size) != 0) c.Fail("not 0");
     }},
    {"Velcor_ReceiveText", 2,
     [](Call& c) {
         int size = 0;
         char* buffer = c.Chars(&size);
         if (Velcor_ReceiveText(c.h, buffer, size) != 0) c.Fail("not 0");
     }},
    {"Velcor_GetConfigFilter", 2,
     [](Call& c) {
         if (Velcor_GetConfigFilter(c.h) != (c.Valid() ? -1 : 0)) c.Fail("result");
     }},
    {"Velcor_SetConfigFilter", 2,
     [](Call& c) {
         if (Velcor_SetConfigFilter(c.h, c.Int(0, 1)) != (c.Valid() ? -1 : 0)) c.Fail("result");
     }},

    // ---- Message windows ----
    {"VelcorWin_CreateMessageWindow", 2,
     [](Call& c) {
         HWND window = VelcorWin_CreateMessageWindow();
         if (window == nullptr) return c.Fail("no window");
         if (VelcorWin_DestroyWindow(window) != TRUE) c.Fail("new window did not go");
     }},
    // Destroys only windows of its own, or ones that never were or are gone.
    {"VelcorWin_DestroyWindow", 2,
     [](Call& c) {
         if (c.Chance(30)) {
             HWND window = VelcorWin_CreateMessageWindow();
             c.Flag(VelcorWin_DestroyWindow(window));
             if (VelcorWin_DestroyWindow(window) != FALSE) c.Fail("destroyed twice");
             return;
         }
         HWND hostile[] = {nullptr, c.run().staleWindow, reinterpret_cast<HWND>(uintptr_t{1}),
                           reinterpret_cast<HWND>(UINTPTR_MAX)};
         if (VelcorWin_DestroyWindow(c.Pick(hostile)) != FALSE) c.Fail("unknown window went");
     }},
    // A null window means every window: such a read only looks, so that it cannot take the
    // message another thread's unlimited wait below counts on.
    {"VelcorWin_PeekMessage", 4,
     [](Call& c) {
         VELCORMSG m{};
         HWND window = c.Window();
         const UINT remove = window != nullptr ? static_cast<UINT>(c.Int(0, 1)) : 0;
         c.Flag(VelcorWin_PeekMessage(c.Chance(20) ? nullptr : &m, window,
                                      static_cast<UINT>(c.Int(0, 0x8003)),
                                      static_cast<UINT>(c.Int(0, 0x8003)), remove));
     }},
    // Waits at most a few milliseconds, or without limit only on a window of its own that
    // holds a message already. Never on every window at once (null), which takes messages.
    {"VelcorWin_GetMessage", 3,
     [](Call& c) {
         VELCORMSG m{};
         if (c.Chance(20)) {
             HWND own = VelcorWin_CreateMessageWindow();
             VelcorWin_PostMessage(own, 0x400, 1, 2);
             if (VelcorWin_GetMessage(c.Chance(20) ? nullptr : &m, own, 0, 0,
                                      VELCOR_WAIT_INFINITE) != TRUE) {
                 c.Fail("queued message not taken");
             }
             VelcorWin_DestroyWindow(own);
             return;
         }
         HWND window = c.Window();
         c.Flag(VelcorWin_GetMessage(c.Chance(20) ? nullptr : &m,
                                     window != nullptr ? window : c.HandleWindow(),
                                     static_cast<UINT>(c.Int(0, 0x8003)),
                                     static_cast<UINT>(c.Int(0, 0x8003)), c.Between(0, 2)));
     }},
    // Any id gives a handle that stays the same; nothing is asked of an X server.
    {"VelcorWin_FromX11Window", 2,
     [](Call& c) {
         const unsigned long id = c.Chance(10) ? 0 : 0x7f000000UL + c.Between(0, 15);
         HWND window = VelcorWin_FromX11Window(id);
         if ((window == nullptr) != (id == 0)) return c.Fail("handle");
         if (VelcorWin_FromX11Window(id) != window) c.Fail("another handle for the same id");
     }},
    {"VelcorWin_PostMessage", 4,
     [](Call& c) {
         c.Flag(VelcorWin_PostMessage(c.Window(), static_cast<UINT>(c.random()()),
                                      static_cast<WPARAM>(c.random()()),
                                      static_cast<LPARAM>(c.random()())));
     }},

    // ---- Simulated cameras ----
    {"VelcorSim_AttachCamera", 1, FuzzAttach},
    {"VelcorSim_DetachCamera", 2,
     [](Call& c) {
         if (VelcorSim_DetachCamera(UnknownCamera(c)) != FALSE) c.Fail("unknown camera went");
     }},
    // Only faults that the camera recovers from at once: no stalled transfers (they pend until
    // aborted), no busy FPGA and no unplug, which would end the run's camera.
    {"VelcorSim_InjectFault", 2,
     [](Call& c) {
         static constexpr int kFaults[] = {VELCORSIM_FAULT_CONTROL_FAIL, VELCORSIM_FAULT_I2C_NACK,
                                           VELCORSIM_FAULT_SHORT_FRAME,
                                           VELCORSIM_FAULT_HEADER_LOST};
         static constexpr int kUnknown[] = {0, 9, -1, INT_MIN, INT_MAX};
         if (c.Chance(50)) {
             c.Flag(VelcorSim_InjectFault(SomeCamera(c), c.Pick(kFaults), c.Between(0, 2)));
             return;
         }
         const int camera = SomeCamera(c);
         const bool known = c.Chance(50);
         if (VelcorSim_InjectFault(camera, known ? c.Pick(kFaults) : c.Pick(kUnknown),
                                   known ? c.Pick({-1, INT_MIN}) : 1) != FALSE) {
             c.Fail("fault accepted");
         }
     }},
    {"VelcorSim_GetRegister", 4,
     [](Call& c) {
         const int v = VelcorSim_GetRegister(SomeCamera(c), c.Int(1, 3), c.Int(0, 0x1FF));
         if (v < -1 || v > 255) c.Fail("register " + std::to_string(v));
     }},
    // Writes only what the camera must refuse: a value or address out of range.
    {"VelcorSim_SetRegister", 2,
     [](Call& c) {
         const bool badValue = c.Chance(50);
         const int value = badValue ? c.Pick({256, -1, INT_MIN, INT_MAX}) : c.Between(0, 255);
         const int address = badValue ? c.Between(0, 255) : c.Pick({-1, 0x10000, INT_MIN});
         if (VelcorSim_SetRegister(SomeCamera(c), c.Int(1, 3), address, value) != FALSE) {
             c.Fail("register write accepted");
         }
     }},
    {"VelcorSim_SetScene", 2,
     [](Call& c) { c.Flag(VelcorSim_SetScene(SomeCamera(c), c.Int(0, 3))); }},
    {"VelcorSim_FireTrigger", 4, [](Call& c) { c.Flag(VelcorSim_FireTrigger(SomeCamera(c))); }},
    {"VelcorSim_SetDefects", 2,
     [](Call& c) {
         c.Flag(VelcorSim_SetDefects(SomeCamera(c), c.Int(0, 100), c.Int(0, 100),
                                     static_cast<unsigned>(c.random()())));
     }},
    // Slow frames run at the sensor's rate, up to seconds per frame: only other cameras get
    // them.
    {"VelcorSim_SetFastFrames", 2,
     [](Call& c) {
         if (c.Chance(50) && c.run().camera != 0) {
             c.Flag(VelcorSim_SetFastFrames(c.run().camera, TRUE));
             return;
         }
         if (VelcorSim_SetFastFrames(UnknownCamera(c), c.Int(0, 1)) != FALSE) {
             c.Fail("unknown camera accepted");
         }
     }},
    {"VelcorSim_SetFastRender", 2,
     [](Call& c) {
         if (c.Chance(50) && c.run().camera != 0) {
             c.Flag(VelcorSim_SetFastRender(c.run().camera, c.Int(0, 1)));
             return;
         }
         if (VelcorSim_SetFastRender(UnknownCamera(c), c.Int(0, 1)) != FALSE) {
             c.Fail("unknown camera accepted");
         }
     }},
    {"VelcorSim_ListDevices", 3,
     [](Call& c) {
         if (c.Chance(20)) {
             const int n = VelcorSim_ListDevices(nullptr, c.Chance(50) ? 0 : c.Int(0, 4));
             if (n < 0) c.Fail("count " + std::to_string(n));
             return;
         }
         const int capacity = c.Between(1, 4);
         std::vector<VELCORSIM_DEVICE> devices(static_cast<size_t>(capacity));
         const int n = VelcorSim_ListDevices(devices.data(), c.Chance(80) ? capacity : -1);
         if (n < 0) c.Fail("count " + std::to_string(n));
     }},
    {"VelcorSim_GetFrameCounters", 3,
     [](Call& c) {
         VELCORSIM_FRAMECOUNTERS counters{};
         const int result = VelcorSim_GetFrameCounters(c.h, c.Chance(20) ? nullptr : &counters);
         c.Bool(result);
     }},
};

#undef FILTER_PAIR

class ApiFuzz : public testing::SimTest {
  protected:
    struct Options {
        bool camera = false;     // attach a simulated camera before the live handles
        int handlesWithout = 0;  // handles made while no camera is attached
        int handlesWith = 0;     // handles made with the camera attached
        int threads = 3;
        bool serialise = true;  // calls on one handle take turns in the test
    };

    void SetUp() override {
        testing::SimTest::SetUp();
        seed_ = static_cast<unsigned>(
            testing::NumberFromEnvironment("VELCOR_API_FUZZ_SEED", kDefaultSeed));
        calls_ = testing::NumberFromEnvironment("VELCOR_API_FUZZ_CALLS", kDefaultCalls);
        char pattern[] = "/tmp/velcor-api-fuzz-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        run_.directory = pattern;
        std::ofstream(run_.directory / "config.cfg", std::ios::binary)
            << std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x04\0\0\0\x05", 17);
        std::ofstream(run_.directory / "short.cfg", std::ios::binary) << "abc";
        dialogs::SetDialogRunnerForTesting([](dialogs::DialogModel& dialog) {
            dialog.Close();
            return dialog.Result();
        });
    }
    void TearDown() override {
        dialogs::SetDialogRunnerForTesting(nullptr);
        for (size_t i = 0; i < run_.handles.size(); ++i) {
            EXPECT_EQ(Velcor_Release(run_.handles[i]), TRUE);
            VelcorWin_DestroyWindow(run_.windows[i]);
        }
        run_.handles.clear();
        std::error_code ignored;
        std::filesystem::remove_all(run_.directory, ignored);
        testing::SimTest::TearDown();
    }

    void AddHandle() {
        HWND window = VelcorWin_CreateMessageWindow();
        ASSERT_NE(window, nullptr);
        const int handle = Velcor_Initialize(window);
        ASSERT_NE(handle, 0);
        // Preview runs without the library's window, as applications on this platform use it.
        Velcor_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
        while (Velcor_GetLastError(handle) != 0) {
        }
        run_.handles.push_back(handle);
        run_.windows.push_back(window);
        run_.turns.push_back(std::make_unique<std::mutex>());
        run_.frameTargets.push_back(std::make_unique<SizedBuffers<BYTE>>());
        for (int size : kImageSizes)
            run_.frameTargets.back()->Get(size);
    }

    void Fuzz(const Options& options) {
        run_.seed = seed_;
        run_.serialise = options.serialise;
        run_.staleHandle = Velcor_Initialize(nullptr);
        Velcor_Release(run_.staleHandle);
        run_.staleWindow = VelcorWin_CreateMessageWindow();
        VelcorWin_DestroyWindow(run_.staleWindow);
        run_.staleCamera = VelcorSim_AttachCamera(0x32C0, "FUZZGONE");
        VelcorSim_DetachCamera(run_.staleCamera);

        for (int i = 0; i < options.handlesWithout; ++i)
            AddHandle();
        if (options.camera) {
            run_.camera = VelcorSim_AttachCamera(0x32C0, "FUZZ0001");
            ASSERT_GT(run_.camera, 0);
            ASSERT_TRUE(VelcorSim_SetFastFrames(run_.camera, TRUE));
        }
        for (int i = 0; i < options.handlesWith; ++i)
            AddHandle();
        if (HasFatalFailure()) return;

        int total = 0;
        for (const Export& e : kExports)
            total += e.weight;
        const auto limit = std::chrono::milliseconds(test::kUnderSanitizer ? 60000 : 20000);
        testing::CallWatchdog watchdog(options.threads, limit, seed_);
        const auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int t = 0; t < options.threads; ++t) {
            const unsigned long long share =
                calls_ / static_cast<unsigned>(options.threads) +
                (static_cast<unsigned long long>(t) <
                         calls_ % static_cast<unsigned>(options.threads)
                     ? 1
                     : 0);
            threads.emplace_back([&, t, share] {
                std::mt19937 random(seed_ * 2654435761u + static_cast<unsigned>(t));
                SizedBuffers<BYTE> bytes;
                SizedBuffers<char> chars;
                SizedBuffers<wchar_t> wide;
                for (unsigned long long n = 0; n < share; ++n) {
                    int pick = static_cast<int>(random() % static_cast<unsigned>(total));
                    const Export* e = kExports;
                    while (pick >= e->weight) {
                        pick -= e->weight;
                        ++e;
                    }
                    Call call(run_, random, bytes, chars, wide, e->name);
                    std::unique_lock<std::mutex> turn;
                    if (call.Valid() && run_.serialise) {
                        turn = std::unique_lock(*run_.turns[static_cast<size_t>(call.slot)]);
                    }
                    watchdog.Enter(t, e->name);
                    const auto callStart = Clock::now();
                    e->fuzz(call);
                    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                                        Clock::now() - callStart)
                                        .count();
                    {
                        const std::lock_guard lock(run_.spentLock);
                        auto& entry = run_.spent[e->name];
                        entry.first += us;
                        ++entry.second;
                    }
                    if (call.Valid()) {
                        const int code = Velcor_GetLastError(call.h);
                        if (!DocumentedError(code)) {
                            call.Fail("recorded undocumented error " + std::to_string(code));
                        }
                    }
                    watchdog.Leave(t);
                    run_.calls.fetch_add(1, std::memory_order_relaxed);
                    // Frames and errors pile up in the windows' queues: take them now and then.
                    if (n % 32 == 0) {
                        VELCORMSG m{};
                        for (HWND window : run_.windows) {
                            while (VelcorWin_PeekMessage(&m, window, 0, 0, VELCOR_PM_REMOVE)) {
                            }
                        }
                    }
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        std::printf("api fuzz: %llu calls on %d threads in %lld ms, VELCOR_API_FUZZ_SEED=%u\n",
                    static_cast<unsigned long long>(run_.calls.load()), options.threads,
                    static_cast<long long>(ms), seed_);
        std::vector<std::pair<long long, const char*>> slowest;
        for (const auto& [name, entry] : run_.spent)
            slowest.emplace_back(entry.first, name);
        std::sort(slowest.rbegin(), slowest.rend());
        for (size_t i = 0; i < slowest.size() && i < 5; ++i) {
            std::printf("  %s: %lld ms in %lld calls\n", slowest[i].second, slowest[i].first / 1000,
                        run_.spent[slowest[i].second].second);
        }
        // The handles still answer after everything the run did to them.
        for (int handle : run_.handles)
            EXPECT_NE(Velcor_GetColorMode(handle), -1);
    }

    unsigned seed_ = kDefaultSeed;
    unsigned long long calls_ = kDefaultCalls;
    FuzzRun run_;
};

TEST(ApiFuzzTable, CoversEveryExportOfThePublicHeaders) {
    const std::set<std::string> declared = testing::DeclaredExports(VELCOR_INCLUDE_DIR);
    ASSERT_GT(declared.size(), 149u) << "headers not found in " << VELCOR_INCLUDE_DIR;
    std::set<std::string> fuzzed;
    for (const Export& e : kExports) {
        EXPECT_TRUE(fuzzed.insert(e.name).second) << e.name << " has two entries";
        EXPECT_GT(e.weight, 0) << e.name;
    }
    std::string missing;
    for (const std::string& name : declared) {
        if (fuzzed.count(name) == 0) missing += " " + name;
    }
    EXPECT_EQ(missing, "") << "exports without a fuzzer entry";
    std::string unknown;
    for (const std::string& name : fuzzed) {
        if (declared.count(name) == 0) unknown += " " + name;
    }
    EXPECT_EQ(unknown, "") << "fuzzer entries for functions no header declares";
}

TEST_F(ApiFuzz, HandlesWithoutCamera) {
    Options options;
    options.handlesWithout = 2;
    Fuzz(options);
}

TEST_F(ApiFuzz, HandlesWithAndWithoutCameraSerialisedPerHandle) {
    Options options;
    options.camera = true;
    options.handlesWithout = 1;
    options.handlesWith = 2;
    Fuzz(options);
}

TEST_F(ApiFuzz, OverlappingCallsOnOneHandleWithCamera) {
    Options options;
    options.camera = true;
    options.handlesWith = 1;
    options.serialise = false;
    Fuzz(options);
}

}  // namespace
}  // namespace velcor
