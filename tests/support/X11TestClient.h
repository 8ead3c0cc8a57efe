// A connection of the test's own to the X server under test, to look at the library's windows
// from outside: the window tree, names and properties, attributes and screenshots.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velcor::test {

class X11TestClient {
  public:
    X11TestClient() : display_(XOpenDisplay(nullptr)) {}
    ~X11TestClient() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    bool Connected() const { return display_ != nullptr; }
    Display* Get() const { return display_; }
    Window Root() const { return DefaultRootWindow(display_); }

    // A mapped window of the application, inside the root window.
    Window CreateAppWindow(int x, int y, int width, int height) {
        const Window w = XCreateSimpleWindow(display_, Root(), x, y, width, height, 0, 0, 0);
        XMapWindow(display_, w);
        XSync(display_, False);
        return w;
    }

    std::vector<Window> Children(Window parent) {
        Window root = 0, up = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> list;
        if (XQueryTree(display_, parent, &root, &up, &children, &count) != 0) {
            list.assign(children, children + count);
            if (children != nullptr) XFree(children);
        }
        return list;
    }

    std::string ClassName(Window w) {
        XClassHint hint{};
        if (XGetClassHint(display_, w, &hint) == 0) return "";
        std::string name = hint.res_class != nullptr ? hint.res_class : "";
        if (hint.res_name != nullptr) XFree(hint.res_name);
        if (hint.res_class != nullptr) XFree(hint.res_class);
        return name;
    }

    std::string Title(Window w) {
        char* name = nullptr;
        if (XFetchName(display_, w, &name) == 0 || name == nullptr) return "";
        std::string title = name;
        XFree(name);
        return title;
    }

    // The cardinal property of the window; -1 when it has none.
    long CardinalProperty(Window w, const char* property) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom atom = XInternAtom(display_, property, False);
        if (XGetWindowProperty(display_, w, atom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &after, &data) != Success ||
            data == nullptr) {
            return -1;
        }
        const long value = items == 1 ? *reinterpret_cast<long*>(data) : -1;
        XFree(data);
        return value;
    }

    // The children of parent whose WM_CLASS starts with the library's window class prefix.
    std::vector<Window> PreviewWindows(Window parent) {
        std::vector<Window> found;
        for (Window w : Children(parent)) {
            if (ClassName(w).rfind("VideoRenderer_", 0) == 0) found.push_back(w);
        }
        return found;
    }

    XWindowAttributes Attributes(Window w) {
        XWindowAttributes a{};
        XGetWindowAttributes(display_, w, &a);
        return a;
    }

    // The window's content as 0xRRGGBB values, row by row; empty when it cannot be read.
    std::vector<uint32_t> Screenshot(Window w, int width, int height) {
        XSync(display_, False);
        XImage* image = XGetImage(display_, w, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        if (image == nullptr) return pixels;
        pixels.reserve(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
        }
        XDestroyImage(image);
        return pixels;
    }

  private:
    Display* display_;
};

inline uint32_t Gray(uint8_t v) {
    return (uint32_t{v} << 16) | (uint32_t{v} << 8) | v;
}

}  // namespace velcor::test
