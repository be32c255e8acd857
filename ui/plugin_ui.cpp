// The plugin window as an LV2 X11 UI, for both plugins: an Xlib child window
// of the host's parent window, drawn with cairo, driven by the host's idle
// calls. It talks to the plugin only through the control ports: values go
// out through write_function and come in through port_event. It opens its
// own connection to the X server, so it shares no toolkit state with the
// host.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo/cairo.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/plugin_uri.h"
#include "ui/ui_draw.h"

#define BRUMMKISTE_UI_URI BRUMMKISTE_PLUGIN_URI "#ui"

namespace {

// Two clicks on the same control within this time are a double-click.
const Time DOUBLE_CLICK_MS = 400;

struct PluginUi {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    cairo_surface_t* surface = nullptr;  // drawn here, then put into the window
    XImage* image = nullptr;             // the window's view of the surface's pixels
    UiModel model;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    bool stereo = false;  // the stereo variant: controls one index up
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
    const char* title = "Brummkiste Tiefgarten";
};

void damage_all(PluginUi* ui)
{
    ui->dirty = ui->dirty_all = true;
}

// The region a value of `port` is drawn in: its box, the bypass switch, or
// for the mode everything (the buttons, the routing, the dimmed controls).
void damage_port(PluginUi* ui, PortIndex port)
{
    if (port == PORT_MODE_SEL) {
        damage_all(ui);
        return;
    }
    const UiRect r = port == PORT_ENABLED ? ui->model.enable_switch : ui->model.control[port];
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

void write_port(void* context, PortIndex port, float value)
{
    PluginUi* ui = static_cast<PluginUi*>(context);
    damage_port(ui, port);
    if (!ui->write) return;
    const uint32_t index = ui->stereo ? stereo_port_of(port) : static_cast<uint32_t>(port);
    ui->write(ui->controller, index, sizeof value, 0, &value);
}

// The host's scale factor, if it offers one; else the X server's resolution.
double scale_factor(const LV2_Feature* const* features, Display* display)
{
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (int i = 0; features && features[i]; ++i) {
        if (!std::strcmp(features[i]->URI, LV2_URID__map))
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
        else if (!std::strcmp(features[i]->URI, LV2_OPTIONS__options))
            options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
    if (map && options) {
        const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
        const LV2_URID float_type = map->map(map->handle, "http://lv2plug.in/ns/ext/atom#Float");
        for (const LV2_Options_Option* o = options; o->key; ++o)
            if (o->key == key && o->type == float_type && o->value) {
                const float f = *static_cast<const float*>(o->value);
                if (f >= 0.5f && f <= 4.0f) return f;
            }
    }
    const char* env = std::getenv("BRUMMKISTE_UI_SCALE");
    if (env) {
        const double f = std::atof(env);
        if (f >= 0.5 && f <= 4.0) return f;
    }
    const int screen = DefaultScreen(display);
    const double dpi = DisplayWidth(display, screen) * 25.4 / DisplayWidthMM(display, screen);
    return dpi >= 144.0 ? 2.0 : 1.0;
}

void redraw(PluginUi* ui)
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
void make_image(PluginUi* ui, int width, int height)
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
void follow_size(PluginUi* ui, int width, int height)
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

void handle_event(PluginUi* ui, XEvent* e)
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

// Host's UI thread.
LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* plugin_uri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    Window parent = 0;
    const LV2UI_Resize* resize = nullptr;
    for (int i = 0; features && features[i]; ++i) {
        if (!std::strcmp(features[i]->URI, LV2_UI__parent))
            parent = reinterpret_cast<Window>(features[i]->data);
        else if (!std::strcmp(features[i]->URI, LV2_UI__resize))
            resize = static_cast<const LV2UI_Resize*>(features[i]->data);
    }
    if (!parent) return nullptr;
    PluginUi* ui = new (std::nothrow) PluginUi;
    if (!ui) return nullptr;
    ui->display = XOpenDisplay(nullptr);
    if (!ui->display) {
        delete ui;
        return nullptr;
    }
    ui->write = write;
    ui->controller = controller;
    ui->stereo = plugin_uri && !std::strcmp(plugin_uri, BRUMMKISTE_STEREO_URI);
    if (ui->stereo) ui->title = "Brummkiste Tiefgarten Stereo";
    ui_model_init(&ui->model, scale_factor(features, ui->display), write_port, ui);

    const int screen = DefaultScreen(ui->display);
    const unsigned width = static_cast<unsigned>(ui->model.width);
    const unsigned height = static_cast<unsigned>(ui->model.height);
    ui->window = XCreateSimpleWindow(ui->display, parent, 0, 0, width, height, 0,
                                     BlackPixel(ui->display, screen), BlackPixel(ui->display, screen));
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
    // Drawn into memory and put into the window: no drawing state of cairo
    // is tied to the X connection.
    ui->gc = XCreateGC(ui->display, ui->window, 0, nullptr);
    make_image(ui, static_cast<int>(width), static_cast<int>(height));
    XFlush(ui->display);
    if (resize) resize->ui_resize(resize->handle, static_cast<int>(width), static_cast<int>(height));
    *widget = reinterpret_cast<LV2UI_Widget>(ui->window);
    return ui;
}

// Host's UI thread.
void cleanup(LV2UI_Handle handle)
{
    PluginUi* ui = static_cast<PluginUi*>(handle);
    if (!ui) return;
    ui->closed = true;
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

// Host's UI thread: a control value from the plugin (automation, presets,
// the host's own controls). Out-of-range values are shown clamped.
void port_event(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
                const void* buffer)
{
    PluginUi* ui = static_cast<PluginUi*>(handle);
    if (!ui || ui->closed || format != 0 || size != sizeof(float) || !buffer) return;
    const uint32_t mono = ui->stereo ? mono_port_of_stereo(port) : port;
    if (mono < PORT_DRY_DB || mono >= PORT_COUNT) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    ui_set_value(&ui->model, static_cast<PortIndex>(mono), value);
    damage_port(ui, static_cast<PortIndex>(mono));
}

// Host's UI thread, regularly: the window's events, then a redraw if
// anything changed.
int idle(LV2UI_Handle handle)
{
    PluginUi* ui = static_cast<PluginUi*>(handle);
    if (!ui || ui->closed) return 1;
    while (XPending(ui->display) > 0) {
        XEvent e;
        XNextEvent(ui->display, &e);
        if (e.xany.window == ui->window) handle_event(ui, &e);
    }
    if (ui->dirty) redraw(ui);
    return 0;
}

const LV2UI_Idle_Interface IDLE = {idle};

const void* extension_data(const char* uri)
{
    return std::strcmp(uri, LV2_UI__idleInterface) ? nullptr : &IDLE;
}

const LV2UI_Descriptor DESCRIPTOR = {BRUMMKISTE_UI_URI, instantiate, cleanup, port_event,
                                     extension_data};

}  // namespace

// Any thread.
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &DESCRIPTOR : nullptr;
}
