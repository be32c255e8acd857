#include "jack/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <new>

#include "ui/x11_window.h"

struct StandaloneWindow {
    Display* display;  // the frame's connection; the plugin window has its own
    Window frame;
    Atom delete_window;
    UiWindow* ui;
};

StandaloneWindow* standalone_window_open(const char* title, UiWrite write, void* context,
                                         double sample_rate)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    StandaloneWindow* w = new (std::nothrow) StandaloneWindow;
    if (!w) {
        XCloseDisplay(display);
        return nullptr;
    }
    w->display = display;
    const int screen = DefaultScreen(display);
    w->frame = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 100, 100, 0,
                                   BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, w->frame, title);
    XClassHint class_hint = {const_cast<char*>("brummkiste-tiefgarten"), const_cast<char*>("Brummkiste")};
    XSetClassHint(display, w->frame, &class_hint);
    w->delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, w->frame, &w->delete_window, 1);
    XSelectInput(display, w->frame, StructureNotifyMask);
    // The frame must exist on the server before the plugin window's own
    // connection makes a child of it.
    XSync(display, False);
    w->ui = ui_window_open(static_cast<uintptr_t>(w->frame), 0.0, title, write, context, sample_rate);
    if (!w->ui) {
        XDestroyWindow(display, w->frame);
        XCloseDisplay(display);
        delete w;
        return nullptr;
    }
    // The plugin window's size is the smallest; larger frames scale it up.
    const int width = ui_window_width(w->ui), height = ui_window_height(w->ui);
    XSizeHints hints = {};
    hints.flags = PMinSize | PAspect;
    hints.min_width = width;
    hints.min_height = height;
    hints.min_aspect.x = hints.max_aspect.x = width;
    hints.min_aspect.y = hints.max_aspect.y = height;
    XSetWMNormalHints(display, w->frame, &hints);
    XResizeWindow(display, w->frame, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XMapRaised(display, w->frame);
    XFlush(display);
    return w;
}

bool standalone_window_idle(StandaloneWindow* w)
{
    bool open = true;
    while (XPending(w->display)) {
        XEvent e;
        XNextEvent(w->display, &e);
        if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == w->delete_window)
            open = false;
        else if (e.type == DestroyNotify && e.xdestroywindow.window == w->frame)
            open = false;
        else if (e.type == ConfigureNotify && e.xconfigure.window == w->frame)
            XResizeWindow(w->display, static_cast<Window>(ui_window_id(w->ui)),
                          static_cast<unsigned>(e.xconfigure.width), static_cast<unsigned>(e.xconfigure.height));
    }
    XFlush(w->display);
    ui_window_idle(w->ui);
    return open;
}

void standalone_window_set_value(StandaloneWindow* w, PortIndex port, float value)
{
    ui_window_set_value(w->ui, port, value);
}

void standalone_window_close(StandaloneWindow* w)
{
    if (!w) return;
    ui_window_close(w->ui);
    XDestroyWindow(w->display, w->frame);
    XCloseDisplay(w->display);
    delete w;
}
