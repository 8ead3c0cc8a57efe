#include "support/X11Windows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

namespace velcor::test {
namespace {

// A request on a window that is not viewable fails with BadMatch; Xlib's default handler
// would end the process.
int IgnoreError(Display*, XErrorEvent*) {
    return 0;
}

// Bits of one colour channel, scaled to 8 bits from its mask.
uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0;
}

}  // namespace

Screenshot SaveWindowPng(unsigned long window, const std::string& path) {
    Screenshot shot;
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) {
        shot.error = "cannot open the display";
        return shot;
    }
    XWindowAttributes attributes{};
    auto* previous = XSetErrorHandler(IgnoreError);
    XImage* image = nullptr;
    if (XGetWindowAttributes(display.get(), window, &attributes) != 0) {
        image = XGetImage(display.get(), window, 0, 0, static_cast<unsigned>(attributes.width),
                          static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    }
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    if (image == nullptr) {
        shot.error = "cannot read the window";
        return shot;
    }
    const auto destroy = [](XImage* i) { XDestroyImage(i); };
    std::unique_ptr<XImage, decltype(destroy)> owned(image, destroy);
    shot.width = image->width;
    shot.height = image->height;
    std::vector<uint8_t>& rgb = shot.rgb;
    rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
    std::set<unsigned long> colours;
    uint8_t* out = rgb.data();
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            if (colours.size() < 1000) colours.insert(pixel);
            *out++ = Channel(pixel, image->red_mask);
            *out++ = Channel(pixel, image->green_mask);
            *out++ = Channel(pixel, image->blue_mask);
        }
    }
    shot.colours = static_cast<int>(colours.size());
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    shot.saved = WritePng(path, shot.width, shot.height, rgb);
    if (!shot.saved) shot.error = "cannot write " + path;
    return shot;
}

unsigned long TransientFor(unsigned long window) {
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) return 0;
    Window parent = 0;
    auto* previous = XSetErrorHandler(IgnoreError);
    const Status found = XGetTransientForHint(display.get(), window, &parent);
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    return found != 0 ? parent : 0;
}

X11TopWindow::X11TopWindow() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    display_ = display;
    window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 200, 0, 0, 0);
    XMapWindow(display, window_);
    XSync(display, False);
}

X11TopWindow::~X11TopWindow() {
    if (display_ == nullptr) return;
    auto* display = static_cast<Display*>(display_);
    XDestroyWindow(display, window_);
    XCloseDisplay(display);
}

}  // namespace velcor::test
