// The CLAP entry point: the project's boundary in front of the plugin
// framework's CLAP plugin. Everything a host sends is checked here before
// the framework sees it:
// - parameter events (in process and in params.flush): unknown ids, values
//   that are not finite numbers and events other than parameter values are
//   dropped, values are clamped to their range, and each parameter's last
//   value of the block is handed on, however many events the host sends;
// - the audio layout: anything but one bus of the declared channels in and
//   one stereo bus out, every buffer present, is refused; blocks longer than
//   activation announced run in announced parts;
// - the rate at activation (refused where no instance can be made);
// - the state: read whole through short reads, parsed completely before
//   anything changes (state_codec.h), written whole through short writes.
// It adds what the framework lacks: reset clears the tail, the tail
// extension, and preset discovery and preset load of the bundle's presets.
// The framework's own extensions (window, timer, latency) are handed on; the
// wrapper's plugin carries the framework's instance as its plugin_data, so
// they work on it unchanged.
#undef clap_entry  // the framework's entry is built under another name

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "DistrhoPluginInfo.h"
#include "clap_extensions.h"
#include "factory_presets.h"
#include "shell_link.h"
#include "state_codec.h"

extern "C" const clap_plugin_entry_t dpf_clap_entry;

namespace {

// The longest block handed to the framework; a host's longer blocks, or
// longer ones than it announced, run in parts.
enum : uint32_t { MAX_PART = 1u << 16 };
// The most events of one block looked at: past them a host is broken, and
// looking further could stall the audio thread.
enum : uint32_t { MAX_EVENTS_READ = 1u << 20 };

struct WrappedPlugin {
    clap_plugin_t plugin;  // first: the host's pointer is this record's
    const clap_plugin_t* inner;
    const clap_host_t* host;
    ShellLink* link;
    bool active;
    uint32_t max_part;       // frames handed to the framework at once
    uint32_t reported_tail;  // the tail the host last heard of
    const clap_host_tail_ext_t* host_tail;
    // One block's parameter values: the last of each parameter.
    clap_event_param_value_t values[PARAMETER_COUNT];
    uint32_t order[PARAMETER_COUNT];
    uint32_t count;
    clap_input_events_t events;
};

WrappedPlugin* wrapped(const clap_plugin_t* p)
{
    return reinterpret_cast<WrappedPlugin*>(const_cast<clap_plugin_t*>(p));
}

template <class T>
const T* inner_extension(const WrappedPlugin* w, const char* id)
{
    return static_cast<const T*>(w->inner->get_extension(w->inner, id));
}

template <class T>
const T* host_extension(const WrappedPlugin* w, const char* id)
{
    if (!w->host || !w->host->get_extension) return nullptr;
    return static_cast<const T*>(w->host->get_extension(w->host, id));
}

// --- Events

uint32_t kept_size(const clap_input_events_t* list)
{
    return static_cast<const WrappedPlugin*>(list->ctx)->count;
}

const clap_event_header_t* kept_get(const clap_input_events_t* list, uint32_t index)
{
    const WrappedPlugin* w = static_cast<const WrappedPlugin*>(list->ctx);
    if (index >= w->count) return nullptr;
    return &w->values[w->order[index]].header;
}

// Audio or main thread: the host's parameter values of one block, checked.
void gather(WrappedPlugin* w, const clap_input_events_t* in)
{
    bool present[PARAMETER_COUNT] = {};
    w->count = 0;
    if (!in || !in->size || !in->get) return;
    uint32_t n = in->size(in);
    if (n > MAX_EVENTS_READ) n = MAX_EVENTS_READ;
    for (uint32_t i = 0; i < n; ++i) {
        const clap_event_header_t* e = in->get(in, i);
        if (!e || e->space_id != CLAP_CORE_EVENT_SPACE_ID || e->type != CLAP_EVENT_PARAM_VALUE ||
            e->size < sizeof(clap_event_param_value_t))
            continue;
        const clap_event_param_value_t* event = reinterpret_cast<const clap_event_param_value_t*>(e);
        float value = 0.0f;
        if (!parameter_accept(event->param_id, event->value, &value)) continue;
        const uint32_t id = event->param_id;
        if (!present[id]) {
            present[id] = true;
            w->order[w->count++] = id;
        }
        clap_event_param_value_t& kept = w->values[id];
        kept = *event;
        kept.header.size = sizeof kept;
        kept.header.time = 0;  // the framework applies a block's values before it
        kept.header.flags = 0;
        kept.cookie = nullptr;
        kept.value = value;
    }
}

// --- Audio

bool layout_ok(const clap_process_t* p)
{
    if (p->audio_inputs_count != 1 || p->audio_outputs_count != 1 || !p->audio_inputs || !p->audio_outputs)
        return false;
    const clap_audio_buffer_t& in = p->audio_inputs[0];
    const clap_audio_buffer_t& out = p->audio_outputs[0];
    if (in.channel_count != DISTRHO_PLUGIN_NUM_INPUTS || out.channel_count != 2 || !in.data32 || !out.data32)
        return false;
    for (uint32_t c = 0; c < in.channel_count; ++c)
        if (!in.data32[c]) return false;
    return out.data32[0] && out.data32[1];
}

// A refused block still leaves silence where the host gave output buffers.
void silence_outputs(const clap_process_t* p)
{
    if (p->audio_outputs_count < 1 || !p->audio_outputs || !p->audio_outputs[0].data32) return;
    const clap_audio_buffer_t& out = p->audio_outputs[0];
    for (uint32_t c = 0; c < out.channel_count && c < 2; ++c)
        if (out.data32[c]) std::memset(out.data32[c], 0, sizeof(float) * p->frames_count);
}

uint32_t no_events_size(const clap_input_events_t*)
{
    return 0;
}
const clap_event_header_t* no_events_get(const clap_input_events_t*, uint32_t)
{
    return nullptr;
}
const clap_input_events_t NO_EVENTS = {nullptr, no_events_size, no_events_get};

bool push_nothing(const clap_output_events_t*, const clap_event_header_t*)
{
    return false;
}
const clap_output_events_t NO_OUTPUT_EVENTS = {nullptr, push_nothing};

// Audio thread.
clap_process_status process(const clap_plugin_t* p, const clap_process_t* process)
{
    WrappedPlugin* w = wrapped(p);
    if (!process) return CLAP_PROCESS_ERROR;
    if (!w->active || !layout_ok(process)) {
        silence_outputs(process);
        return CLAP_PROCESS_ERROR;
    }
    gather(w, process->in_events);

    const clap_audio_buffer_t& host_in = process->audio_inputs[0];
    const clap_audio_buffer_t& host_out = process->audio_outputs[0];
    float* in[DISTRHO_PLUGIN_NUM_INPUTS];
    float* out[2];
    clap_audio_buffer_t in_bus = host_in;
    clap_audio_buffer_t out_bus = host_out;
    in_bus.data32 = in;
    in_bus.data64 = nullptr;
    out_bus.data32 = out;
    out_bus.data64 = nullptr;
    clap_process_t part = *process;
    part.audio_inputs = &in_bus;
    part.audio_outputs = &out_bus;
    part.in_events = &w->events;
    if (!part.out_events) part.out_events = &NO_OUTPUT_EVENTS;

    clap_process_status status = CLAP_PROCESS_CONTINUE;
    uint32_t done = 0;
    do {
        const uint32_t left = process->frames_count - done;
        part.frames_count = left < w->max_part ? left : w->max_part;
        for (uint32_t c = 0; c < DISTRHO_PLUGIN_NUM_INPUTS; ++c) in[c] = host_in.data32[c] + done;
        for (uint32_t c = 0; c < 2; ++c) out[c] = host_out.data32[c] + done;
        status = w->inner->process(w->inner, &part);
        part.in_events = &NO_EVENTS;
        done += part.frames_count;
    } while (done < process->frames_count && status != CLAP_PROCESS_ERROR);

    const uint32_t tail = shell_link_tail_frames(w->link);
    if (tail != w->reported_tail) {
        w->reported_tail = tail;
        if (w->host_tail && w->host_tail->changed) w->host_tail->changed(w->host);
    }
    return status;
}

// --- Lifecycle

bool init(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    if (!w->inner->init(w->inner)) return false;
    if (!w->link) w->link = shell_link_take();
    w->host_tail = host_extension<clap_host_tail_ext_t>(w, CLAP_EXT_TAIL_ID);
    return w->link != nullptr;
}

void destroy(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    w->inner->destroy(w->inner);
    delete w;
}

// Main thread.
bool activate(const clap_plugin_t* p, double rate, uint32_t min_frames, uint32_t max_frames)
{
    WrappedPlugin* w = wrapped(p);
    if (w->active || !w->link || max_frames == 0 || !(rate >= 1.0 && rate <= 1e7)) return false;
    const uint32_t part = max_frames < MAX_PART ? max_frames : MAX_PART;
    if (!w->inner->activate(w->inner, rate, min_frames < part ? min_frames : part, part)) return false;
    if (!w->link->instance) {
        w->inner->deactivate(w->inner);
        return false;
    }
    w->max_part = part;
    w->active = true;
    return true;
}

void deactivate(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    if (!w->active) return;
    w->active = false;
    w->inner->deactivate(w->inner);
}

bool start_processing(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    return w->active && w->inner->start_processing(w->inner);
}

void stop_processing(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    if (w->active) w->inner->stop_processing(w->inner);
}

// Audio thread, active: the tail is cleared as at activation.
void reset(const clap_plugin_t* p)
{
    WrappedPlugin* w = wrapped(p);
    if (!w->active) return;
    w->inner->reset(w->inner);
    shell_link_reset(w->link);
}

void on_main_thread(const clap_plugin_t* p)
{
    wrapped(p)->inner->on_main_thread(wrapped(p)->inner);
}

// --- Parameters (main thread; flush also on the audio thread)

uint32_t params_count(const clap_plugin_t*)
{
    return PARAMETER_COUNT;
}

bool params_get_info(const clap_plugin_t* p, uint32_t index, clap_param_info_t* info)
{
    WrappedPlugin* w = wrapped(p);
    if (index >= PARAMETER_COUNT || !info) return false;
    return inner_extension<clap_plugin_params_t>(w, CLAP_EXT_PARAMS)->get_info(p, index, info);
}

bool params_get_value(const clap_plugin_t* p, clap_id id, double* value)
{
    WrappedPlugin* w = wrapped(p);
    if (id >= PARAMETER_COUNT || !value) return false;
    *value = w->link->values[id].load(std::memory_order_relaxed);
    return true;
}

bool params_value_to_text(const clap_plugin_t* p, clap_id id, double value, char* display, uint32_t size)
{
    WrappedPlugin* w = wrapped(p);
    float accepted = 0.0f;
    if (!display || size == 0 || !parameter_accept(id, value, &accepted)) return false;
    return inner_extension<clap_plugin_params_t>(w, CLAP_EXT_PARAMS)->value_to_text(p, id, accepted, display, size);
}

bool params_text_to_value(const clap_plugin_t* p, clap_id id, const char* display, double* value)
{
    WrappedPlugin* w = wrapped(p);
    if (id >= PARAMETER_COUNT || !display || !value) return false;
    double v = 0.0;
    float accepted = 0.0f;
    if (!inner_extension<clap_plugin_params_t>(w, CLAP_EXT_PARAMS)->text_to_value(p, id, display, &v) ||
        !parameter_accept(id, v, &accepted))
        return false;
    *value = accepted;
    return true;
}

void params_flush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out)
{
    WrappedPlugin* w = wrapped(p);
    gather(w, in);
    inner_extension<clap_plugin_params_t>(w, CLAP_EXT_PARAMS)
        ->flush(p, &w->events, out ? out : &NO_OUTPUT_EVENTS);
}

const clap_plugin_params_t PARAMS = {params_count, params_get_info, params_get_value, params_value_to_text,
                                     params_text_to_value, params_flush};

// --- State (main thread)

struct MemoryStream {
    const std::vector<char>* bytes;
    size_t at;
};

int64_t memory_read(const clap_istream_t* stream, void* buffer, uint64_t size)
{
    MemoryStream* m = static_cast<MemoryStream*>(stream->ctx);
    const size_t left = m->bytes->size() - m->at;
    const size_t n = size < left ? static_cast<size_t>(size) : left;
    if (n) std::memcpy(buffer, m->bytes->data() + m->at, n);
    m->at += n;
    return static_cast<int64_t>(n);
}

// Parameter values applied through the framework, which also tells the host
// and the window: only ever a complete, checked state.
bool load_values(WrappedPlugin* w, const float values[PARAMETER_COUNT])
{
    const std::vector<char> bytes = state_write(values);
    MemoryStream m = {&bytes, 0};
    const clap_istream_t stream = {&m, memory_read};
    return inner_extension<clap_plugin_state_t>(w, CLAP_EXT_STATE)->load(&w->plugin, &stream);
}

bool state_save(const clap_plugin_t* p, const clap_ostream_t* stream)
{
    WrappedPlugin* w = wrapped(p);
    if (!stream || !stream->write) return false;
    return state_write_all([stream](const char* b, int64_t n) { return stream->write(stream, b, static_cast<uint64_t>(n)); },
                           shell_link_state(w->link));
}

bool state_load(const clap_plugin_t* p, const clap_istream_t* stream)
{
    WrappedPlugin* w = wrapped(p);
    if (!stream || !stream->read) return false;
    std::vector<char> bytes;
    float values[PARAMETER_COUNT];
    if (!state_read_all([stream](char* b, int64_t n) { return stream->read(stream, b, static_cast<uint64_t>(n)); },
                        &bytes) ||
        !state_parse(bytes.data(), bytes.size(), values))
        return false;
    return load_values(w, values);
}

const clap_plugin_state_t STATE = {state_save, state_load};

// --- Audio ports (main thread)

uint32_t ports_count(const clap_plugin_t* p, bool is_input)
{
    return inner_extension<clap_plugin_audio_ports_t>(wrapped(p), CLAP_EXT_AUDIO_PORTS)->count(p, is_input);
}

bool ports_get(const clap_plugin_t* p, uint32_t index, bool is_input, clap_audio_port_info_t* info)
{
    if (index != 0 || !info) return false;
    return inner_extension<clap_plugin_audio_ports_t>(wrapped(p), CLAP_EXT_AUDIO_PORTS)->get(p, index, is_input, info);
}

const clap_plugin_audio_ports_t AUDIO_PORTS = {ports_count, ports_get};

// --- Tail (main and audio thread)

uint32_t tail_get(const clap_plugin_t* p)
{
    const uint32_t frames = shell_link_tail_frames(wrapped(p)->link);
    return frames < INT32_MAX ? frames : INT32_MAX;
}

const clap_plugin_tail_ext_t TAIL = {tail_get};

// --- Presets

const FactoryPreset* find_preset(const char* key)
{
    if (!key) return nullptr;
    for (const FactoryPreset& preset : FACTORY_PRESETS)
        if (std::strcmp(preset.label, key) == 0) return &preset;
    return nullptr;
}

// Main thread: a preset of the plugin's own, by its label.
bool preset_from_location(const clap_plugin_t* p, uint32_t kind, const char* location, const char* key)
{
    WrappedPlugin* w = wrapped(p);
    const clap_host_preset_load_ext_t* host = host_extension<clap_host_preset_load_ext_t>(w, CLAP_EXT_PRESET_LOAD_ID);
    if (!host) host = host_extension<clap_host_preset_load_ext_t>(w, CLAP_EXT_PRESET_LOAD_COMPAT_ID);
    const FactoryPreset* preset = kind == CLAP_PRESET_LOCATION_PLUGIN ? find_preset(key) : nullptr;
    float values[PARAMETER_COUNT];
    const bool loaded = preset && state_parse(preset->state, preset->state_size, values) && load_values(w, values);
    if (!loaded) {
        if (host && host->on_error) host->on_error(w->host, kind, location, key, 0, "no such preset");
        return false;
    }
    if (host && host->loaded) host->loaded(w->host, kind, location, key);
    return true;
}

const clap_plugin_preset_load_ext_t PRESET_LOAD = {preset_from_location};

const void* get_extension(const clap_plugin_t* p, const char* id)
{
    WrappedPlugin* w = wrapped(p);
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &PARAMS;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &STATE;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &AUDIO_PORTS;
    if (std::strcmp(id, CLAP_EXT_TAIL_ID) == 0) return &TAIL;
    if (std::strcmp(id, CLAP_EXT_PRESET_LOAD_ID) == 0 || std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT_ID) == 0)
        return &PRESET_LOAD;
    return w->inner->get_extension(w->inner, id);
}

// --- Preset discovery: the presets live inside the plugin.

const clap_preset_discovery_provider_descriptor_ext_t PROVIDER = {
    CLAP_VERSION_INIT, DISTRHO_PLUGIN_CLAP_ID ".presets", DISTRHO_PLUGIN_NAME " presets", DISTRHO_PLUGIN_BRAND};

struct Provider {
    clap_preset_discovery_provider_ext_t provider;
    const clap_preset_discovery_indexer_ext_t* indexer;
};

bool provider_init(const clap_preset_discovery_provider_ext_t* p)
{
    const clap_preset_discovery_indexer_ext_t* indexer = static_cast<const Provider*>(p->provider_data)->indexer;
    if (!indexer || !indexer->declare_location) return false;
    const clap_preset_discovery_location_ext_t location = {CLAP_PRESET_IS_FACTORY_CONTENT, DISTRHO_PLUGIN_NAME,
                                                           CLAP_PRESET_LOCATION_PLUGIN, nullptr};
    return indexer->declare_location(indexer, &location);
}

void provider_destroy(const clap_preset_discovery_provider_ext_t* p)
{
    delete static_cast<Provider*>(p->provider_data);
}

bool provider_get_metadata(const clap_preset_discovery_provider_ext_t*, uint32_t kind, const char*,
                           const clap_preset_discovery_metadata_receiver_ext_t* receiver)
{
    if (kind != CLAP_PRESET_LOCATION_PLUGIN || !receiver || !receiver->begin_preset) return false;
    const clap_universal_plugin_id_ext_t id = {"clap", DISTRHO_PLUGIN_CLAP_ID};
    for (const FactoryPreset& preset : FACTORY_PRESETS) {
        if (!receiver->begin_preset(receiver, preset.label, preset.label)) break;
        if (receiver->add_plugin_id) receiver->add_plugin_id(receiver, &id);
        if (receiver->set_flags) receiver->set_flags(receiver, CLAP_PRESET_IS_FACTORY_CONTENT);
        if (receiver->add_creator) receiver->add_creator(receiver, DISTRHO_PLUGIN_BRAND);
        if (receiver->set_description) receiver->set_description(receiver, preset.comment);
        if (receiver->add_feature) receiver->add_feature(receiver, preset.bank);
    }
    return true;
}

const void* provider_get_extension(const clap_preset_discovery_provider_ext_t*, const char*)
{
    return nullptr;
}

uint32_t discovery_count(const clap_preset_discovery_factory_ext_t*)
{
    return 1;
}

const clap_preset_discovery_provider_descriptor_ext_t* discovery_descriptor(
    const clap_preset_discovery_factory_ext_t*, uint32_t index)
{
    return index == 0 ? &PROVIDER : nullptr;
}

const clap_preset_discovery_provider_ext_t* discovery_create(const clap_preset_discovery_factory_ext_t*,
                                                             const clap_preset_discovery_indexer_ext_t* indexer,
                                                             const char* id)
{
    if (!id || std::strcmp(id, PROVIDER.id) != 0) return nullptr;
    Provider* p = new (std::nothrow) Provider;
    if (!p) return nullptr;
    p->indexer = indexer;
    p->provider = {&PROVIDER, p, provider_init, provider_destroy, provider_get_metadata, provider_get_extension};
    return &p->provider;
}

const clap_preset_discovery_factory_ext_t PRESET_DISCOVERY = {discovery_count, discovery_descriptor,
                                                              discovery_create};

// --- The plugin factory

const clap_plugin_factory_t* inner_factory = nullptr;

uint32_t plugin_count(const clap_plugin_factory_t*)
{
    return inner_factory->get_plugin_count(inner_factory);
}

const clap_plugin_descriptor_t* plugin_descriptor(const clap_plugin_factory_t*, uint32_t index)
{
    return inner_factory->get_plugin_descriptor(inner_factory, index);
}

const clap_plugin_t* create_plugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id)
{
    if (!host || !id || std::strcmp(id, DISTRHO_PLUGIN_CLAP_ID) != 0) return nullptr;
    shell_link_take();  // none left from an earlier failure
    const clap_plugin_t* inner = inner_factory->create_plugin(inner_factory, host, id);
    if (!inner) return nullptr;
    WrappedPlugin* w = new (std::nothrow) WrappedPlugin;
    if (!w) {
        inner->destroy(inner);
        return nullptr;
    }
    w->inner = inner;
    w->host = host;
    w->link = shell_link_take();  // if the framework made the plugin already
    w->active = false;
    w->max_part = MAX_PART;
    w->reported_tail = 0;
    w->host_tail = nullptr;
    w->count = 0;
    w->events = {w, kept_size, kept_get};
    w->plugin = {inner->desc, inner->plugin_data, init, destroy, activate, deactivate,
                 start_processing, stop_processing, reset, process, get_extension, on_main_thread};
    return &w->plugin;
}

const clap_plugin_factory_t FACTORY = {plugin_count, plugin_descriptor, create_plugin};

bool entry_init(const char* path)
{
    return dpf_clap_entry.init(path);
}

void entry_deinit(void)
{
    dpf_clap_entry.deinit();
}

const void* entry_get_factory(const char* id)
{
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
        std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_COMPAT_ID) == 0)
        return &PRESET_DISCOVERY;
    if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) != 0) return dpf_clap_entry.get_factory(id);
    inner_factory = static_cast<const clap_plugin_factory_t*>(dpf_clap_entry.get_factory(id));
    return inner_factory ? &FACTORY : nullptr;
}

}  // namespace

// Any thread (the host's rules for each function).
extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entry_init, entry_deinit,
                                                              entry_get_factory};
