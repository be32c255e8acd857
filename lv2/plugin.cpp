// LV2 entry point: the two descriptors (mono input; stereo input for sends)
// and their lifecycle functions, shared but for instantiate and connect_port.
#include <lv2/core/lv2.h>

#include "lv2/debug_log.h"
#include "instance/instance.h"
#include "lv2/plugin_uri.h"

// Host's non-realtime thread.
static LV2_Handle instantiate(const LV2_Descriptor*, double sample_rate, const char*,
                              const LV2_Feature* const*)
{
    read_log_level();
    return instance_create(sample_rate, false);
}

static LV2_Handle instantiate_stereo(const LV2_Descriptor*, double sample_rate, const char*,
                                     const LV2_Feature* const*)
{
    read_log_level();
    return instance_create(sample_rate, true);
}

// Audio thread (or any thread between run calls): store the buffer pointer.
static void connect_port(LV2_Handle handle, uint32_t port, void* data)
{
    PluginInstance* self = static_cast<PluginInstance*>(handle);
    if (port < PORT_COUNT) self->ports[port] = static_cast<float*>(data);
}

// The stereo variant's ports onto the mono plugin's; in_r has its own slot.
static void connect_port_stereo(LV2_Handle handle, uint32_t port, void* data)
{
    PluginInstance* self = static_cast<PluginInstance*>(handle);
    float* buffer = static_cast<float*>(data);
    if (port == STEREO_IN_R) {
        self->in_r = buffer;
        return;
    }
    const uint32_t mono = mono_port_of_stereo(port);
    if (mono < PORT_COUNT) self->ports[mono] = buffer;
}

// Host's non-realtime thread: back to the state right after instantiate
// (port connections kept), so a host can flush the tail, e.g. after a locate.
static void activate(LV2_Handle handle)
{
    instance_reset(static_cast<PluginInstance*>(handle));
}

// Audio thread.
static void run(LV2_Handle handle, uint32_t sample_count)
{
    instance_run(static_cast<PluginInstance*>(handle), sample_count);
}

// Host's non-realtime thread: nothing to do; the state stays as it is.
static void deactivate(LV2_Handle) {}

// Host's non-realtime thread.
static void cleanup(LV2_Handle handle)
{
    instance_destroy(static_cast<PluginInstance*>(handle));
}

// Any thread: no extension is offered.
static const void* extension_data(const char*)
{
    return nullptr;
}

static const LV2_Descriptor DESCRIPTOR = {
    BRUMMKISTE_PLUGIN_URI, instantiate, connect_port, activate, run, deactivate, cleanup,
    extension_data,
};

static const LV2_Descriptor STEREO_DESCRIPTOR = {
    BRUMMKISTE_STEREO_URI, instantiate_stereo, connect_port_stereo, activate, run, deactivate,
    cleanup, extension_data,
};

// Any thread.
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    switch (index) {
    case 0: return &DESCRIPTOR;
    case 1: return &STEREO_DESCRIPTOR;
    default: return nullptr;
    }
}
