// A small X11 host for the plugin window: loads the UI library with dlopen,
// gives it a parent window on the X server of $DISPLAY, the idle interface,
// resize and a scale factor, records what it writes, and reads back what it
// draws. Used by the UI tests and the screenshot tool.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo/cairo.h>
#include <dlfcn.h>
#include <unistd.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct UiHost {
    Display* display = nullptr;
    Window parent = 0;
    Window child = 0;
    void* library = nullptr;
    const LV2UI_Descriptor* desc = nullptr;
    LV2UI_Handle ui = nullptr;
    const LV2UI_Idle_Interface* idle_iface = nullptr;
    std::vector<std::pair<uint32_t, float>> writes;  // (port, value) as written
    int width = 0, height = 0;                       // as asked through ui:resize
    std::map<std::string, LV2_URID> urids;
    float scale = 1.0f;
    float rate = 48000.0f;

    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto* ids = static_cast<std::map<std::string, LV2_URID>*>(handle);
        auto it = ids->find(uri);
        if (it != ids->end()) return it->second;
        const LV2_URID id = static_cast<LV2_URID>(ids->size() + 1);
        (*ids)[uri] = id;
        return id;
    }
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                      const void* buffer)
    {
        UiHost* host = static_cast<UiHost*>(controller);
        if (format != 0 || size != sizeof(float)) return;
        float v;
        std::memcpy(&v, buffer, sizeof v);
        host->writes.emplace_back(port, v);
    }
    static int resize(LV2UI_Feature_Handle handle, int w, int h)
    {
        UiHost* host = static_cast<UiHost*>(handle);
        host->width = w;
        host->height = h;
        if (host->display) XResizeWindow(host->display, host->parent, static_cast<unsigned>(w), static_cast<unsigned>(h));
        return 0;
    }

    // Loads the UI for plugin_uri; false when anything is missing.
    // sample_rate: the host's rate among the options (param:sampleRate); 0
    // leaves it out.
    bool open(const char* library_path, const char* plugin_uri, float scale_factor = 1.0f,
              float sample_rate = 48000.0f)
    {
        scale = scale_factor;
        rate = sample_rate;
        display = XOpenDisplay(nullptr);
        if (!display) return false;
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
        library = dlopen(library_path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!library) return false;
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
            dlsym(library, "lv2ui_descriptor"));
        if (!entry || !(desc = entry(0))) return false;
        LV2_URID_Map urid_map = {&urids, map};
        const LV2_URID float_type = map(&urids, "http://lv2plug.in/ns/ext/atom#Float");
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, map(&urids, LV2_UI__scaleFactor), sizeof(float), float_type,
             &scale},
            {LV2_OPTIONS_INSTANCE, 0, rate > 0 ? map(&urids, LV2_PARAMETERS__sampleRate) : 0u,
             sizeof(float), float_type, &rate},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
        };
        LV2UI_Resize resize_feature = {this, resize};
        const LV2_Feature parent_f = {LV2_UI__parent, reinterpret_cast<void*>(parent)};
        const LV2_Feature map_f = {LV2_URID__map, &urid_map};
        const LV2_Feature options_f = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        const LV2_Feature resize_f = {LV2_UI__resize, &resize_feature};
        const LV2_Feature idle_f = {LV2_UI__idleInterface, nullptr};
        const LV2_Feature* features[] = {&parent_f, &map_f, &options_f, &resize_f, &idle_f, nullptr};
        LV2UI_Widget widget = nullptr;
        ui = desc->instantiate(desc, plugin_uri, "", write, this, &widget, features);
        if (!ui) return false;
        child = reinterpret_cast<Window>(widget);
        idle_iface = static_cast<const LV2UI_Idle_Interface*>(desc->extension_data(LV2_UI__idleInterface));
        pump();
        return idle_iface != nullptr;
    }

    // Lets the UI handle what the server has for it, a few rounds.
    void pump(int rounds = 5)
    {
        for (int i = 0; i < rounds; ++i) {
            XSync(display, False);
            if (idle_iface) idle_iface->idle(ui);
        }
        XSync(display, False);
    }

    // Pumps for a while: the response view is computed on its own thread.
    void pump_for(int milliseconds)
    {
        for (int t = 0; t < milliseconds; t += 20) {
            pump(1);
            usleep(20000);
        }
        pump();
    }

    void port_event(uint32_t port, float value) { desc->port_event(ui, port, sizeof value, 0, &value); }

    // The child window's pixels in a rectangle, 0x00RRGGBB.
    std::vector<uint32_t> pixels(int x, int y, int w, int h)
    {
        std::vector<uint32_t> out;
        XImage* image = XGetImage(display, child, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  AllPlanes, ZPixmap);
        if (!image) return out;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) out.push_back(static_cast<uint32_t>(XGetPixel(image, i, j)) & 0xFFFFFFu);
        XDestroyImage(image);
        return out;
    }

    bool save_png(const char* path)
    {
        std::vector<uint32_t> px = pixels(0, 0, width, height);
        if (px.empty()) return false;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        uint32_t* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
        const int stride = cairo_image_surface_get_stride(s) / 4;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) data[j * stride + i] = px[static_cast<size_t>(j * width + i)];
        cairo_surface_mark_dirty(s);
        const bool ok = cairo_surface_write_to_png(s, path) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(s);
        return ok;
    }

    void close()
    {
        if (ui) desc->cleanup(ui);
        ui = nullptr;
        if (library) dlclose(library);
        library = nullptr;
        if (display) {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
        display = nullptr;
    }
    ~UiHost() { close(); }
};
