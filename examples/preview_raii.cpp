// C++: the camera handle and the message window as owning objects, and callback preview into a
// std::vector whose size follows from the window and the colour mode.
//
//   preview_raii [--simulate]
//
// Destruction order matters: the camera (which stops its worker thread) goes before the buffer
// the worker writes into and before the window it posts to, so they are declared in the
// opposite order. --simulate (or VELCOR_SIMULATE=1) attaches a simulated camera when no real one
// is present.
#include <velcor/VelcorSdk.h>
#include <velcor/VelcorSim.h>
#include <velcor/VelcorWin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int SimulateIfAsked(int argc, char** argv) {
    const char* env = std::getenv("VELCOR_SIMULATE");
    bool asked = env != nullptr && std::strcmp(env, "0") != 0;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--simulate") == 0) asked = true;
    if (!asked) return 0;
    VELCORSIM_DEVICE devices[16];
    const int count = VelcorSim_ListDevices(devices, 16);
    for (int i = 0; i < count && i < 16; ++i)
        if (devices[i].productId == 0x32C0 && devices[i].present) return 0;  // a real camera
    return VelcorSim_AttachCamera(0x32C0, "SIM0001");
}

struct WindowCloser {
    void operator()(VelcorWindowTag* window) const { VelcorWin_DestroyWindow(window); }
};
using MessageWindow = std::unique_ptr<VelcorWindowTag, WindowCloser>;

class Camera {
  public:
    explicit Camera(HWND notify) : handle_(Velcor_Initialize(notify)) {
        char names[10][256];
        if (handle_ == 0 || Velcor_EnumDevice(handle_, &names[0][0]) == 0) {
            if (handle_ != 0) Velcor_Release(handle_);
            throw std::runtime_error("no camera");
        }
    }
    ~Camera() { Velcor_Release(handle_); }  // stops the stream and stores the settings
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    int handle() const { return handle_; }
    // Throws with the camera's own reason when a call fails.
    void check(VELCOR_BOOL ok, const char* what) const {
        if (ok) return;
        const int code = Velcor_GetLastError(handle_);
        throw std::runtime_error(std::string(what) + ": " + VelcorErrorText(code));
    }
    size_t imageBytes() const {
        const size_t stride = (static_cast<size_t>(Velcor_Width(handle_)) *
                                   static_cast<size_t>(Velcor_GetColorMode(handle_)) / 8 +
                               3) &
                              ~size_t{3};
        return stride * static_cast<size_t>(Velcor_Height(handle_));
    }

  private:
    int handle_;
};

}  // namespace

int main(int argc, char** argv) try {
    SimulateIfAsked(argc, argv);
    const MessageWindow window(VelcorWin_CreateMessageWindow());
    std::vector<BYTE> image;
    const Camera camera(window.get());

    camera.check(Velcor_SetColorMode(camera.handle(), 16), "colour mode");
    image.resize(camera.imageBytes());
    Velcor_SetPreviewWindow(camera.handle(), nullptr, 0, 0, 0, 0);
    camera.check(Velcor_CallBackPreview(camera.handle(), window.get(), image.data(),
                                        static_cast<int>(image.size()), 1),
                 "callback preview");
    int frames = 0;
    VELCORMSG msg{};
    while (frames < 10 &&
           VelcorWin_GetMessage(&msg, window.get(), VELCOR_WM_FRAME, VELCOR_WM_FRAME, 5000)) {
        if (msg.wParam == 0)
            throw std::runtime_error(VelcorErrorText(static_cast<int>(msg.lParam)));
        const auto* info = reinterpret_cast<const VELCORFRAMEINFO*>(msg.wParam);
        ++frames;
        std::printf("frame %d: %d x %d, %d bits into %zu bytes\n", frames, info->width,
                    info->height, info->bitsPerPixel, image.size());
    }
    return frames == 10 ? 0 : 1;
} catch (const std::exception& e) {
    std::fprintf(stderr, "preview_raii: %s\n", e.what());
    return 1;
}
