// The plugin window as an LV2 X11 UI, for both plugins. It talks to the
// plugin only through the control ports: values go out through
// write_function and come in through port_event; the host's idle calls drive
// it.
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <new>

#include "lv2/plugin_uri.h"
#include "ui/x11_window.h"


namespace {

struct LvUi {
    UiWindow* window = nullptr;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    bool stereo = false;  // the stereo variant: controls one index up
};

void write_port(void* context, PortIndex port, float value)
{
    LvUi* ui = static_cast<LvUi*>(context);
    if (!ui->write) return;
    const uint32_t index = ui->stereo ? stereo_port_of(port) : static_cast<uint32_t>(port);
    ui->write(ui->controller, index, sizeof value, 0, &value);
}

// A number among the host's options (float, double or int), 0 if absent.
double host_option(const LV2_Feature* const* features, const char* key_uri)
{
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (int i = 0; features && features[i]; ++i) {
        if (!std::strcmp(features[i]->URI, LV2_URID__map))
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
        else if (!std::strcmp(features[i]->URI, LV2_OPTIONS__options))
            options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
    if (!map || !options) return 0.0;
    const LV2_URID key = map->map(map->handle, key_uri);
    const LV2_URID float_type = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID double_type = map->map(map->handle, LV2_ATOM__Double);
    const LV2_URID int_type = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key; ++o) {
        if (o->key != key || !o->value) continue;
        if (o->type == float_type && o->size == sizeof(float)) return *static_cast<const float*>(o->value);
        if (o->type == double_type && o->size == sizeof(double)) return *static_cast<const double*>(o->value);
        if (o->type == int_type && o->size == sizeof(int32_t)) return *static_cast<const int32_t*>(o->value);
    }
    return 0.0;
}

// The host's scale factor, if it offers one; 0 (the screen's) otherwise.
double host_scale(const LV2_Feature* const* features)
{
    const double f = host_option(features, LV2_UI__scaleFactor);
    return f >= 0.5 && f <= 4.0 ? f : 0.0;
}

// Host's UI thread.
LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* plugin_uri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    uintptr_t parent = 0;
    const LV2UI_Resize* resize = nullptr;
    for (int i = 0; features && features[i]; ++i) {
        if (!std::strcmp(features[i]->URI, LV2_UI__parent))
            parent = reinterpret_cast<uintptr_t>(features[i]->data);
        else if (!std::strcmp(features[i]->URI, LV2_UI__resize))
            resize = static_cast<const LV2UI_Resize*>(features[i]->data);
    }
    if (!parent) return nullptr;
    LvUi* ui = new (std::nothrow) LvUi;
    if (!ui) return nullptr;
    ui->write = write;
    ui->controller = controller;
    ui->stereo = plugin_uri && !std::strcmp(plugin_uri, BRUMMKISTE_STEREO_URI);
    const char* title = ui->stereo ? "Brummkiste Tiefgarten Stereo" : "Brummkiste Tiefgarten";
    ui->window = ui_window_open(parent, host_scale(features), title, write_port, ui,
                                host_option(features, LV2_PARAMETERS__sampleRate));
    if (!ui->window) {
        delete ui;
        return nullptr;
    }
    if (resize)
        resize->ui_resize(resize->handle, ui_window_width(ui->window), ui_window_height(ui->window));
    *widget = reinterpret_cast<LV2UI_Widget>(ui_window_id(ui->window));
    return ui;
}

// Host's UI thread.
void cleanup(LV2UI_Handle handle)
{
    LvUi* ui = static_cast<LvUi*>(handle);
    if (!ui) return;
    ui_window_close(ui->window);
    delete ui;
}

// Host's UI thread: a control value from the plugin (automation, presets,
// the host's own controls).
void port_event(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
                const void* buffer)
{
    LvUi* ui = static_cast<LvUi*>(handle);
    if (!ui || format != 0 || size != sizeof(float) || !buffer) return;
    const uint32_t mono = ui->stereo ? mono_port_of_stereo(port) : port;
    if (mono < PORT_DRY_DB || mono >= PORT_COUNT) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    ui_window_set_value(ui->window, static_cast<PortIndex>(mono), value);
}

// Host's UI thread, regularly.
int idle(LV2UI_Handle handle)
{
    LvUi* ui = static_cast<LvUi*>(handle);
    if (!ui) return 1;
    ui_window_idle(ui->window);
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
