// The CLAP entry point: the plugin framework's own, with one change. Its
// process handles parameter gesture, modulation and transport events by
// reporting a failed assertion on stderr, a system call on the audio thread
// for every such event a host sends (hosts send gestures whenever their own
// controls move). This plugin uses none of them, so they never reach it: the
// host's event list is handed on without them. Everything else is the
// framework's: the wrapper's plugin carries the framework's instance as its
// plugin_data, so the framework's extensions work on it unchanged.
#undef clap_entry  // the framework's entry is built under another name

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>

#include <cstdint>
#include <cstring>
#include <new>

extern "C" const clap_plugin_entry_t dpf_clap_entry;

namespace {

// The most events of one block handed on; a host with more loses the rest
// of that block's parameter changes (none known sends that many).
enum { MAX_EVENTS = 4096 };

struct WrappedPlugin {
    clap_plugin_t plugin;  // first: the host's pointer is this record's
    const clap_plugin_t* inner;
    // One block's kept events: their indices in the host's list.
    const clap_input_events_t* host_events;
    uint32_t kept[MAX_EVENTS];
    uint32_t count;
    clap_input_events_t events;
};

bool used(const clap_event_header_t* e)
{
    if (e->space_id != CLAP_CORE_EVENT_SPACE_ID) return false;
    return e->type == CLAP_EVENT_PARAM_VALUE;
}

uint32_t kept_size(const clap_input_events_t* list)
{
    return static_cast<const WrappedPlugin*>(list->ctx)->count;
}

const clap_event_header_t* kept_get(const clap_input_events_t* list, uint32_t index)
{
    const WrappedPlugin* w = static_cast<const WrappedPlugin*>(list->ctx);
    if (index >= w->count) return nullptr;
    return w->host_events->get(w->host_events, w->kept[index]);
}

const WrappedPlugin* wrapped(const clap_plugin_t* p)
{
    return reinterpret_cast<const WrappedPlugin*>(p);
}

// Audio thread.
clap_process_status process(const clap_plugin_t* p, const clap_process_t* process)
{
    WrappedPlugin* w = const_cast<WrappedPlugin*>(wrapped(p));
    clap_process_t copy = *process;
    w->count = 0;
    w->host_events = process->in_events;
    if (process->in_events) {
        const uint32_t n = process->in_events->size(process->in_events);
        for (uint32_t i = 0; i < n && w->count < MAX_EVENTS; ++i) {
            const clap_event_header_t* e = process->in_events->get(process->in_events, i);
            if (e && used(e)) w->kept[w->count++] = i;
        }
        copy.in_events = &w->events;
    }
    return w->inner->process(w->inner, &copy);
}

bool init(const clap_plugin_t* p)
{
    return wrapped(p)->inner->init(wrapped(p)->inner);
}

void destroy(const clap_plugin_t* p)
{
    const WrappedPlugin* w = wrapped(p);
    w->inner->destroy(w->inner);
    delete w;
}

bool activate(const clap_plugin_t* p, double rate, uint32_t min_frames, uint32_t max_frames)
{
    return wrapped(p)->inner->activate(wrapped(p)->inner, rate, min_frames, max_frames);
}

void deactivate(const clap_plugin_t* p)
{
    wrapped(p)->inner->deactivate(wrapped(p)->inner);
}

bool start_processing(const clap_plugin_t* p)
{
    return wrapped(p)->inner->start_processing(wrapped(p)->inner);
}

void stop_processing(const clap_plugin_t* p)
{
    wrapped(p)->inner->stop_processing(wrapped(p)->inner);
}

void reset(const clap_plugin_t* p)
{
    wrapped(p)->inner->reset(wrapped(p)->inner);
}

const void* get_extension(const clap_plugin_t* p, const char* id)
{
    return wrapped(p)->inner->get_extension(wrapped(p)->inner, id);
}

void on_main_thread(const clap_plugin_t* p)
{
    wrapped(p)->inner->on_main_thread(wrapped(p)->inner);
}

const clap_plugin_factory_t* inner_factory = nullptr;

uint32_t plugin_count(const clap_plugin_factory_t*)
{
    return inner_factory->get_plugin_count(inner_factory);
}

const clap_plugin_descriptor_t* plugin_descriptor(const clap_plugin_factory_t*, uint32_t index)
{
    return inner_factory->get_plugin_descriptor(inner_factory, index);
}

const clap_plugin_t* create_plugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                   const char* id)
{
    const clap_plugin_t* inner = inner_factory->create_plugin(inner_factory, host, id);
    if (!inner) return nullptr;
    WrappedPlugin* w = new (std::nothrow) WrappedPlugin;
    if (!w) {
        inner->destroy(inner);
        return nullptr;
    }
    w->inner = inner;
    w->host_events = nullptr;
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
    if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) != 0) return dpf_clap_entry.get_factory(id);
    inner_factory = static_cast<const clap_plugin_factory_t*>(dpf_clap_entry.get_factory(id));
    return inner_factory ? &FACTORY : nullptr;
}

}  // namespace

// Any thread (the host's rules for each function).
extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION, entry_init, entry_deinit,
                                                              entry_get_factory};
