#include "platform/DisplayWindows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/MessageWindows.h"
#include "platform/NoDestructor.h"
#include "platform/X11Connection.h"

namespace velcor::platform {

namespace {

constexpr uint32_t kStyleChild = 0x40000000;
constexpr uint32_t kStyleVisible = 0x10000000;

// A window of the library with the connection it lives on.
struct DisplayWindow {
    std::unique_ptr<X11Connection> connection;
    Window window = 0;
    HWND handle = nullptr;

    ~DisplayWindow() {
        if (!connection || window == 0 || connection->Dead()) return;
        std::lock_guard lock(connection->Mutex());
        XDestroyWindow(connection->Get(), window);
        connection->SyncAndTakeError();
    }
};

// How one colour channel of the visual sits in a pixel value: the value of each 8-bit level.
using ChannelTable = std::array<unsigned long, 256>;

ChannelTable BuildChannelTable(unsigned long mask) {
    ChannelTable table{};
    if (mask == 0) return table;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    int width = 0;
    while (shift + width < 64 && ((mask >> (shift + width)) & 1) != 0)
        ++width;
    for (unsigned level = 0; level < 256; ++level) {
        const unsigned long scaled =
            width >= 8 ? static_cast<unsigned long>(level) << (width - 8) : level >> (8 - width);
        table[level] = (scaled << shift) & mask;
    }
    return table;
}

// The image of an XImage is memory of ours: Xlib frees data it owns with free().
struct XImageRelease {
    void operator()(XImage* image) const {
        image->data = nullptr;
        XDestroyImage(image);
    }
};

}  // namespace

struct DeviceContext {
    std::shared_ptr<DisplayWindow> owner;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    // 32 bits per pixel with the channels at 0xFF0000, 0xFF00, 0xFF in host order: the DIB's
    // blue, green, red bytes are the pixel's low three bytes.
    bool fastPath = false;
    ChannelTable red{}, green{}, blue{};
    // The transfer image, kept from frame to frame and made anew only when the size changes.
    std::unique_ptr<XImage, XImageRelease> image;
    std::vector<char> imageMemory;
    // The pixel values of an 8-bit image's colour table, made per blit.
    std::array<unsigned long, 256> palette{};

    ~DeviceContext() {
        image.reset();
        if (gc == nullptr) return;
        // Freed even on a connection the server dropped: Xlib sends nothing on a broken
        // connection but still releases the GC's client-side record.
        std::lock_guard lock(owner->connection->Mutex());
        XFreeGC(owner->connection->Get(), gc);
        owner->connection->SyncAndTakeError();
    }

    unsigned long Pixel(uint8_t b, uint8_t g, uint8_t r) const {
        return red[r] | green[g] | blue[b];
    }
};

namespace {

struct DisplayRegistry {
    std::mutex mutex;
    std::set<std::string> classes;
    std::map<HWND, std::shared_ptr<DisplayWindow>> windows;
    std::map<HDC, std::shared_ptr<DeviceContext>> contexts;
};

DisplayRegistry& Registry() {
    static NoDestructor<DisplayRegistry> registry;
    return registry.get();
}

std::shared_ptr<DisplayWindow> FindWindow(HWND handle) {
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto found = r.windows.find(handle);
    return found != r.windows.end() ? found->second : nullptr;
}

std::shared_ptr<DeviceContext> FindContext(HDC dc) {
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto found = r.contexts.find(dc);
    return found != r.contexts.end() ? found->second : nullptr;
}

// Runs use(connection, window) under the window's connection lock; false for an unknown
// window or a server that is gone.
template <typename Use>
bool WithWindow(HWND handle, Use&& use) {
    std::shared_ptr<DisplayWindow> w = FindWindow(handle);
    if (!w || w->connection->Dead()) return false;
    std::lock_guard lock(w->connection->Mutex());
    return use(*w->connection, w->window) && !w->connection->Dead();
}

bool GetAttributes(HWND handle, XWindowAttributes* attributes) {
    return WithWindow(handle, [&](X11Connection& c, Window window) {
        return XGetWindowAttributes(c.Get(), window, attributes) != 0;
    });
}

void StorePixel(char* at, int bytes, bool mostSignificantFirst, unsigned long value) {
    for (int i = 0; i < bytes; ++i) {
        at[mostSignificantFirst ? bytes - 1 - i : i] = static_cast<char>(value >> (8 * i));
    }
}

bool HostIsLittleEndian() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

// Puts width x height of the image at (x, y) of the window; screen row j shows memory row j
// (turned over) or height - 1 - j (as a bottom-up bitmap shows).
bool Put(HDC handle, int x, int y, int width, int height, const DibPixels& dib, bool turnedOver) {
    if (dib.pixels == nullptr || dib.width <= 0 || dib.height <= 0) return false;
    if (dib.bits != 8 && dib.bits != 24 && dib.bits != 32) return false;
    if (dib.bits == 8 && dib.colours == nullptr) return false;
    std::shared_ptr<DeviceContext> dc = FindContext(handle);
    if (!dc) return false;
    X11Connection& c = *dc->owner->connection;
    if (c.Dead()) return false;
    width = std::min(width, dib.width);
    height = std::min(height, dib.height);
    if (width <= 0 || height <= 0) return true;

    std::lock_guard lock(c.Mutex());
    if (!dc->image || dc->image->width != width || dc->image->height != height) {
        dc->image.reset();
        XImage* image =
            XCreateImage(c.Get(), dc->visual, static_cast<unsigned>(dc->depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
        if (image == nullptr) return false;
        dc->image.reset(image);
        dc->imageMemory.assign(static_cast<size_t>(image->bytes_per_line) * height, 0);
        image->data = dc->imageMemory.data();
    }
    XImage& image = *dc->image;
    const int bytesPerPixel = dib.bits / 8;
    if (dib.bits == 8) {
        for (int i = 0; i < 256; ++i) {
            const uint8_t* q = dib.colours + 4 * i;
            dc->palette[i] = dc->Pixel(q[0], q[1], q[2]);
        }
    }
    const bool fast = dc->fastPath && image.bits_per_pixel == 32 &&
                      image.byte_order == (HostIsLittleEndian() ? LSBFirst : MSBFirst);
    const bool bytewise = image.bits_per_pixel % 8 == 0 && image.bits_per_pixel <= 32;
    const int outBytes = image.bits_per_pixel / 8;
    const bool msbFirst = image.byte_order == MSBFirst;
    for (int row = 0; row < height; ++row) {
        const int memoryRow = turnedOver ? row : dib.height - 1 - row;
        const uint8_t* s = dib.pixels + static_cast<size_t>(memoryRow) * dib.stride;
        char* d = image.data + static_cast<size_t>(row) * image.bytes_per_line;
        if (fast && dib.bits != 8) {
            for (int col = 0; col < width; ++col, s += bytesPerPixel, d += 4) {
                d[0] = static_cast<char>(s[0]);
                d[1] = static_cast<char>(s[1]);
                d[2] = static_cast<char>(s[2]);
                d[3] = 0;
            }
            continue;
        }
        for (int col = 0; col < width; ++col, s += bytesPerPixel) {
            const unsigned long value =
                dib.bits == 8 ? dc->palette[*s] : dc->Pixel(s[0], s[1], s[2]);
            if (bytewise) {
                StorePixel(d + static_cast<size_t>(col) * outBytes, outBytes, msbFirst, value);
            } else {
                XPutPixel(&image, col, row, value);
            }
        }
    }
    XPutImage(c.Get(), dc->owner->window, dc->gc, &image, 0, 0, x, y, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    // Each frame reaches the screen before the next is drawn, and a window that went away
    // shows as a failure here.
    return c.SyncAndTakeError() == 0;
}

}  // namespace

bool RegisterWindowClass(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return r.classes.insert(name).second;
}

bool UnregisterWindowClass(const char* name) {
    if (name == nullptr) return false;
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return r.classes.erase(name) != 0;
}

HWND CreateDisplayWindow(const char* className, const char* title, uint32_t style, int x, int y,
                         int width, int height, HWND parent, int controlId) {
    {
        DisplayRegistry& r = Registry();
        std::lock_guard lock(r.mutex);
        if (className == nullptr || r.classes.count(className) == 0) return nullptr;
    }
    const bool child = (style & kStyleChild) != 0;
    unsigned long parentId = 0;
    if (parent != nullptr) {
        parentId = X11WindowOf(parent);
        if (parentId == 0) return nullptr;
    } else if (child) {
        return nullptr;
    }
    auto w = std::make_shared<DisplayWindow>();
    w->connection = X11Connection::Open();
    if (!w->connection) return nullptr;
    X11Connection& c = *w->connection;
    Display* d = c.Get();
    {
        std::lock_guard lock(c.Mutex());
        const int screen = DefaultScreen(d);
        if (parentId == 0) parentId = RootWindow(d, screen);
        // X11 windows are at least 1 x 1: an empty one stays unmapped, so nothing is drawn.
        const bool empty = width <= 0 || height <= 0;
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(d, screen);
        attributes.bit_gravity = NorthWestGravity;
        w->window =
            XCreateWindow(d, parentId, x, y, static_cast<unsigned>(std::max(width, 1)),
                          static_cast<unsigned>(std::max(height, 1)), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixel | CWBitGravity, &attributes);
        if (c.SyncAndTakeError() != 0) {
            // The window, if any, went with the parent that was not there.
            w->window = 0;
            return nullptr;
        }
        XStoreName(d, w->window, title != nullptr ? title : "");
        std::string name = className;
        XClassHint hint{name.data(), name.data()};
        XSetClassHint(d, w->window, &hint);
        if (child) {
            const long id = controlId;
            XChangeProperty(d, w->window, XInternAtom(d, "_VELCOR_CONTROL_ID", False), XA_CARDINAL,
                            32, PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
        } else {
            // Ask the window manager to keep the place chosen here.
            XSizeHints hints{};
            hints.flags = USPosition | PPosition | PSize;
            hints.x = x;
            hints.y = y;
            hints.width = width;
            hints.height = height;
            XSetWMNormalHints(d, w->window, &hints);
        }
        if ((style & kStyleVisible) != 0 && !empty) XMapWindow(d, w->window);
        if (c.SyncAndTakeError() != 0) return nullptr;
    }
    w->handle = WindowForX11(w->window);
    if (w->handle == nullptr) return nullptr;
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    r.windows.emplace(w->handle, w);
    return w->handle;
}

bool DestroyDisplayWindow(HWND window) {
    std::shared_ptr<DisplayWindow> w;
    {
        DisplayRegistry& r = Registry();
        std::lock_guard lock(r.mutex);
        auto found = r.windows.find(window);
        if (found == r.windows.end()) return false;
        w = std::move(found->second);
        r.windows.erase(found);
    }
    DestroyWindow(window);
    // The X11 window goes with the last reference: a device context still held keeps it.
    return true;
}

bool AdjustWindowRectEx(WindowRect* rect, uint32_t, bool, uint32_t) {
    return rect != nullptr;
}

bool PrimaryScreenSize(int* width, int* height) {
    std::unique_ptr<X11Connection> c = X11Connection::Open();
    if (!c) return false;
    std::lock_guard lock(c->Mutex());
    const int screen = DefaultScreen(c->Get());
    *width = DisplayWidth(c->Get(), screen);
    *height = DisplayHeight(c->Get(), screen);
    return true;
}

bool SetFocus(HWND window) {
    // A window that is not viewable yet (the window manager has not mapped it) cannot take the
    // focus; the window manager gives it to new top-level windows itself.
    return WithWindow(window, [](X11Connection& c, Window w) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(c.Get(), w, &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            return false;
        }
        XSetInputFocus(c.Get(), w, RevertToParent, CurrentTime);
        return c.SyncAndTakeError() == 0;
    });
}

bool ShowWindow(HWND window) {
    return WithWindow(window, [](X11Connection& c, Window w) {
        XMapWindow(c.Get(), w);
        XFlush(c.Get());
        return true;
    });
}

bool UpdateWindow(HWND window) {
    return WithWindow(window, [](X11Connection& c, Window) { return c.SyncAndTakeError() == 0; });
}

bool GetClientRect(HWND window, WindowRect* rect) {
    XWindowAttributes attributes{};
    if (rect == nullptr || !GetAttributes(window, &attributes)) return false;
    *rect = WindowRect{0, 0, attributes.width, attributes.height};
    return true;
}

bool IsWindowVisible(HWND window) {
    XWindowAttributes attributes{};
    return GetAttributes(window, &attributes) && attributes.map_state == IsViewable;
}

HDC GetDC(HWND window) {
    std::shared_ptr<DisplayWindow> w = FindWindow(window);
    if (!w || w->connection->Dead()) return nullptr;
    auto dc = std::make_shared<DeviceContext>();
    dc->owner = w;
    {
        X11Connection& c = *w->connection;
        std::lock_guard lock(c.Mutex());
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(c.Get(), w->window, &attributes) == 0) return nullptr;
        Visual* visual = attributes.visual;
        // Only visuals whose pixels carry the colour channels directly can take the images.
        if (visual == nullptr || visual->c_class != TrueColor) return nullptr;
        dc->visual = visual;
        dc->depth = attributes.depth;
        dc->red = BuildChannelTable(visual->red_mask);
        dc->green = BuildChannelTable(visual->green_mask);
        dc->blue = BuildChannelTable(visual->blue_mask);
        dc->fastPath = visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                       visual->blue_mask == 0xFF;
        dc->gc = XCreateGC(c.Get(), w->window, 0, nullptr);
        if (c.SyncAndTakeError() != 0) return nullptr;
    }
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    HDC handle = dc.get();
    r.contexts.emplace(handle, std::move(dc));
    return handle;
}

bool ReleaseDC(HWND, HDC dc) {
    std::shared_ptr<DeviceContext> released;
    DisplayRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto found = r.contexts.find(dc);
    if (found == r.contexts.end()) return false;
    released = std::move(found->second);
    r.contexts.erase(found);
    return true;
}

bool StretchBltFlipped(HDC dc, const DibPixels& image) {
    return Put(dc, 0, 0, image.width, image.height, image, true);
}

bool BitBlt(HDC dc, int x, int y, int width, int height, const DibPixels& image) {
    return Put(dc, x, y, width, height, image, false);
}

}  // namespace velcor::platform
