// The plugin window: an Xlib child window drawn with cairo into memory and
// put into the window (no drawing state of cairo is tied to the X
// connection).
#include "ui/x11_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo/cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "ui/response_draw.h"
#include "ui/ui_draw.h"

struct UiWindow {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    cairo_surface_t* surface = nullptr;  // drawn here, then put into the window
    XImage* image = nullptr;             // the window's view of the surface's pixels
    UiModel model;
    UiWrite write = nullptr;  // the owner's callback for changed values
    void* context = nullptr;
    // What the next idle call repaints: everything, or the union of the
    // regions whose values moved (one control under automation repaints and
    // sends only its own box).
    bool dirty = true;
    bool dirty_all = true;
    UiRect damage = {0, 0, 0, 0};
    bool closed = false;
    double base_scale = 1.0;       // the scale the window opened with (its minimum)
    float base_width = 0, base_height = 0;
    Time last_click = 0;
    int last_click_port = -1;
    const char* title = "";
    // The response view: its worker, the newest result and its picture.
    ResponseWorker* worker = nullptr;
    ResponseResult* result = nullptr;
    cairo_surface_t* picture = nullptr;
    double rate = RESPONSE_DEFAULT_RATE;
    bool rate_from_host = false;
    bool shown_busy = false;  // what the view last drew
};

namespace {

// Two clicks on the same control within this time are a double-click.
const Time DOUBLE_CLICK_MS = 400;

void damage_all(UiWindow* ui)
{
    ui->dirty = ui->dirty_all = true;
}

void damage_rect(UiWindow* ui, const UiRect& r);

// The region a value of `port` is drawn in: its box, the bypass switch, or
// for the mode everything (the buttons, the routing, the dimmed controls).
void damage_port(UiWindow* ui, PortIndex port)
{
    if (port == PORT_MODE_SEL) {
        damage_all(ui);
        return;
    }
    damage_rect(ui, port == PORT_ENABLED ? ui->model.enable_switch : ui->model.control[port]);
}

void damage_rect(UiWindow* ui, const UiRect& r)
{
    if (!ui->dirty) {
        ui->damage = r;
    } else if (!ui->dirty_all) {
        const float x0 = std::min(ui->damage.x, r.x), y0 = std::min(ui->damage.y, r.y);
        const float x1 = std::max(ui->damage.x + ui->damage.w, r.x + r.w);
        const float y1 = std::max(ui->damage.y + ui->damage.h, r.y + r.h);
        ui->damage = UiRect{x0, y0, x1 - x0, y1 - y0};
    }
    ui->dirty = true;
}

// The settings on screen, to the response view's worker (the bypass does
// not change the response).
void request_response(UiWindow* ui, PortIndex port)
{
    if (port == PORT_ENABLED) return;
    ResponseSettings settings;
    for (int p = 0; p < PORT_COUNT; ++p) settings.values[p] = ui->model.values[p];
    settings.values[PORT_ENABLED] = 1.0f;
    settings.rate = ui->rate;
    response_worker_request(ui->worker, &settings);
}

void write_port(void* context, PortIndex port, float value)
{
    UiWindow* ui = static_cast<UiWindow*>(context);
    damage_port(ui, port);
    request_response(ui, port);
    if (ui->write) ui->write(ui->context, port, value);
}

void redraw(UiWindow* ui)
{
    if (!ui->surface || !ui->image) return;
    int x = 0, y = 0, w = ui->image->width, h = ui->image->height;
    if (!ui->dirty_all) {
        // Whole pixels around the damaged region, within the window.
        x = std::max(0, static_cast<int>(std::floor(ui->damage.x)));
        y = std::max(0, static_cast<int>(std::floor(ui->damage.y)));
        w = std::min(ui->image->width, static_cast<int>(std::ceil(ui->damage.x + ui->damage.w))) - x;
        h = std::min(ui->image->height, static_cast<int>(std::ceil(ui->damage.y + ui->damage.h))) - y;
    }
    if (w > 0 && h > 0) {
        cairo_t* cr = cairo_create(ui->surface);
        cairo_rectangle(cr, x, y, w, h);
        cairo_clip(cr);
        ui_draw(cr, &ui->model, ui->title);
        const ResponseView view = {ui->result, ui->picture, ui->shown_busy, ui->rate_from_host};
        response_draw(cr, &ui->model, &view);
        cairo_destroy(cr);
        cairo_surface_flush(ui->surface);
        XPutImage(ui->display, ui->window, ui->gc, ui->image, x, y, x, y, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
        XFlush(ui->display);
    }
    ui->dirty = ui->dirty_all = false;
}

// The pixels the window shows: a cairo image of the window's size, seen by
// X as an XImage. Needs a 24-bit true-colour screen, the usual one;
// elsewhere the window stays blank.
void make_image(UiWindow* ui, int width, int height)
{
    if (ui->image) {
        ui->image->data = nullptr;  // the pixels belong to the cairo surface
        XDestroyImage(ui->image);
        ui->image = nullptr;
    }
    if (ui->surface) cairo_surface_destroy(ui->surface);
    ui->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const int screen = DefaultScreen(ui->display);
    Visual* visual = DefaultVisual(ui->display, screen);
    if (DefaultDepth(ui->display, screen) >= 24 && visual->c_class == TrueColor &&
        cairo_surface_status(ui->surface) == CAIRO_STATUS_SUCCESS) {
        ui->image = XCreateImage(ui->display, visual, 24, ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(ui->surface)),
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                                 cairo_image_surface_get_stride(ui->surface));
    }
}

// The host gave the window another size: the content grows with it, keeping
// its aspect (never below the size it opened with), centred.
void follow_size(UiWindow* ui, int width, int height)
{
    if (width <= 0 || height <= 0) return;
    if (ui->image && width == ui->image->width && height == ui->image->height) return;
    double factor = std::min(width / ui->base_width, height / ui->base_height);
    if (factor < 1.0) factor = 1.0;
    const double scale = ui->base_scale * factor;
    const float content_w = static_cast<float>(ui->base_width * factor);
    const float content_h = static_cast<float>(ui->base_height * factor);
    const float dx = std::max(0.0f, (static_cast<float>(width) - content_w) / 2);
    const float dy = std::max(0.0f, (static_cast<float>(height) - content_h) / 2);
    ui_model_relayout(&ui->model, scale, std::floor(dx), std::floor(dy));
    make_image(ui, width, height);
    damage_all(ui);
}

UiKey key_of(KeySym sym, bool* known)
{
    *known = true;
    switch (sym) {
    case XK_Up:
    case XK_Right: return UI_KEY_UP;
    case XK_Down:
    case XK_Left: return UI_KEY_DOWN;
    case XK_Tab: return UI_KEY_TAB;
    case XK_ISO_Left_Tab: return UI_KEY_BACKTAB;
    case XK_Home: return UI_KEY_HOME;
    default: *known = false; return UI_KEY_UP;
    }
}

void handle_event(UiWindow* ui, XEvent* e)
{
    UiModel* m = &ui->model;
    switch (e->type) {
    case Expose:
        if (e->xexpose.count == 0) damage_all(ui);
        break;
    case ConfigureNotify: follow_size(ui, e->xconfigure.width, e->xconfigure.height); break;
    case ButtonPress: {
        const bool fine = e->xbutton.state & ShiftMask;
        const float x = static_cast<float>(e->xbutton.x), y = static_cast<float>(e->xbutton.y);
        if (e->xbutton.button == Button4 || e->xbutton.button == Button5) {
            ui_scroll(m, x, y, e->xbutton.button == Button4 ? 1 : -1, fine);
        } else if (e->xbutton.button == Button1) {
            XSetInputFocus(ui->display, ui->window, RevertToParent, CurrentTime);
            const int port = ui_hit(m, x, y);
            const bool twice = port >= 0 && port == ui->last_click_port &&
                               e->xbutton.time - ui->last_click < DOUBLE_CLICK_MS;
            ui->last_click = e->xbutton.time;
            ui->last_click_port = twice ? -1 : port;
            ui_press(m, x, y, twice);
        }
        damage_all(ui);  // the focus may have moved
        break;
    }
    case ButtonRelease:
        if (e->xbutton.button == Button1) ui_release(m);
        break;
    case MotionNotify:
        // A press that became a drag does not start a double-click.
        if (m->dragging >= 0 && static_cast<float>(e->xmotion.y) != m->drag_y) ui->last_click_port = -1;
        ui_motion(m, static_cast<float>(e->xmotion.x), static_cast<float>(e->xmotion.y),
                  e->xmotion.state & ShiftMask);
        break;
    case KeyPress: {
        const KeySym sym = XLookupKeysym(&e->xkey, 0);
        bool known;
        const UiKey key = key_of(sym, &known);
        const bool shift = e->xkey.state & ShiftMask;
        if (known) ui_key(m, sym == XK_Tab && shift ? UI_KEY_BACKTAB : key, shift);
        damage_all(ui);  // the focus may have moved
        break;
    }
    default: break;
    }
}

// A finished response replaces the shown one; the view also repaints when
// the work starts or ends (its "updating" note).
void take_response(UiWindow* ui)
{
    ResponseResult* r = response_worker_take(ui->worker);
    const bool busy = response_worker_busy(ui->worker);
    if (!r && busy == ui->shown_busy) return;
    if (r) {
        // The view draws from the analysis; the samples (up to 30 s of two
        // channels) need not stay.
        std::vector<float>().swap(r->left);
        std::vector<float>().swap(r->right);
        delete ui->result;
        ui->result = r;
        if (ui->picture) cairo_surface_destroy(ui->picture);
        ui->picture = response_picture(r);
    }
    ui->shown_busy = busy;
    damage_rect(ui, ui->model.response);
}

}  // namespace

double ui_window_screen_scale(void)
{
    const char* env = std::getenv("BRUMMKISTE_UI_SCALE");
    if (env) {
        const double f = std::atof(env);
        if (f >= 0.5 && f <= 4.0) return f;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1.0;
    const int screen = DefaultScreen(display);
    const double dpi = DisplayWidth(display, screen) * 25.4 / DisplayWidthMM(display, screen);
    XCloseDisplay(display);
    return dpi >= 144.0 ? 2.0 : 1.0;
}

UiWindow* ui_window_open(uintptr_t parent, double scale, const char* title, UiWrite write,
                         void* context, double sample_rate)
{
    if (!parent) return nullptr;
    if (!(scale >= 0.5 && scale <= 4.0)) scale = ui_window_screen_scale();
    UiWindow* ui = new (std::nothrow) UiWindow;
    if (!ui) return nullptr;
    ui->display = XOpenDisplay(nullptr);
    if (!ui->display) {
        delete ui;
        return nullptr;
    }
    ui->write = write;
    ui->context = context;
    ui->title = title;
    ui->rate_from_host = sample_rate >= 1.0 && sample_rate <= 1e6;
    if (ui->rate_from_host) ui->rate = sample_rate;
    ui_model_init(&ui->model, scale, write_port, ui);
    ui->worker = response_worker_start();
    request_response(ui, PORT_DRY_DB);

    const int screen = DefaultScreen(ui->display);
    const unsigned width = static_cast<unsigned>(ui->model.width);
    const unsigned height = static_cast<unsigned>(ui->model.height);
    ui->window = XCreateSimpleWindow(ui->display, static_cast<Window>(parent), 0, 0, width, height,
                                     0, BlackPixel(ui->display, screen),
                                     BlackPixel(ui->display, screen));
    XSelectInput(ui->display, ui->window,
                 ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask | StructureNotifyMask);
    // The size it opens with is its smallest; a host that enlarges it gets
    // the content scaled up (aspect kept) and centred.
    XSizeHints hints = {};
    hints.flags = PMinSize | PAspect;
    hints.min_width = static_cast<int>(width);
    hints.min_height = static_cast<int>(height);
    hints.min_aspect.x = hints.max_aspect.x = static_cast<int>(width);
    hints.min_aspect.y = hints.max_aspect.y = static_cast<int>(height);
    XSetWMNormalHints(ui->display, ui->window, &hints);
    XMapRaised(ui->display, ui->window);
    ui->base_scale = ui->model.scale;
    ui->base_width = ui->model.width;
    ui->base_height = ui->model.height;
    ui->gc = XCreateGC(ui->display, ui->window, 0, nullptr);
    make_image(ui, static_cast<int>(width), static_cast<int>(height));
    XFlush(ui->display);
    return ui;
}

void ui_window_close(UiWindow* ui)
{
    if (!ui) return;
    ui->closed = true;
    response_worker_stop(ui->worker);  // stops the work in hand, joins
    delete ui->result;
    if (ui->picture) cairo_surface_destroy(ui->picture);
    if (ui->image) {
        ui->image->data = nullptr;  // the pixels belong to the cairo surface
        XDestroyImage(ui->image);
    }
    if (ui->surface) cairo_surface_destroy(ui->surface);
    if (ui->gc) XFreeGC(ui->display, ui->gc);
    if (ui->window) XDestroyWindow(ui->display, ui->window);
    XCloseDisplay(ui->display);
    delete ui;
}

uintptr_t ui_window_id(const UiWindow* ui)
{
    return static_cast<uintptr_t>(ui->window);
}

int ui_window_width(const UiWindow* ui)
{
    return static_cast<int>(ui->base_width);
}

int ui_window_height(const UiWindow* ui)
{
    return static_cast<int>(ui->base_height);
}

void ui_window_set_value(UiWindow* ui, PortIndex port, float value)
{
    if (!ui || ui->closed || port < PORT_DRY_DB || port >= PORT_COUNT) return;
    const float before = ui->model.values[port];
    ui_set_value(&ui->model, port, value);
    damage_port(ui, port);
    if (ui->model.values[port] != before) request_response(ui, port);
}

void ui_window_idle(UiWindow* ui)
{
    if (!ui || ui->closed) return;
    while (XPending(ui->display) > 0) {
        XEvent e;
        XNextEvent(ui->display, &e);
        if (e.xany.window == ui->window) handle_event(ui, &e);
    }
    take_response(ui);
    if (ui->dirty) redraw(ui);
}

bool ui_window_response_current(UiWindow* ui)
{
    return ui && ui->result && !response_worker_busy(ui->worker);
}
