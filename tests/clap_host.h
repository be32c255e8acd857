// A minimal CLAP host for the tests: loads a .clap file as a host does
// (dlopen, clap_entry, the plugin factory), makes instances, sends parameter
// values as events and runs blocks with one input and one output bus.
#pragma once

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/plugin-factory.h>
#include <clap/process.h>
#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

namespace clap_test {

inline const void* host_extension(const clap_host_t*, const char*)
{
    return nullptr;
}
inline void host_request(const clap_host_t*) {}

inline const clap_host_t HOST = {CLAP_VERSION, nullptr, "brummkiste tests", "Brummkiste", "", "1",
                                 host_extension, host_request, host_request, host_request};

struct Library {
    void* handle = nullptr;
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;

    explicit Library(const std::string& path)
    {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        entry = static_cast<const clap_plugin_entry_t*>(dlsym(handle, "clap_entry"));
        if (!entry || !entry->init(path.c_str())) {
            entry = nullptr;
            return;
        }
        factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    }
    ~Library()
    {
        if (entry) entry->deinit();
        if (handle) dlclose(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

// The input events of one block: parameter values at frame 0.
struct ParamEvents {
    std::vector<clap_event_param_value_t> events;
    clap_input_events_t list = {this, size, get};

    void set(clap_id id, double value)
    {
        clap_event_param_value_t e = {};
        e.header = {sizeof e, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param_id = id;
        e.note_id = -1;
        e.port_index = -1;
        e.channel = -1;
        e.key = -1;
        e.value = value;
        events.push_back(e);
    }
    // A gesture (begin or end) on a parameter, or a modulation amount: events
    // hosts send that the plugin does not use. Stored in the same array: the
    // gesture's fields are the value event's first ones.
    void gesture(clap_id id, bool begin)
    {
        set(id, 0.0);
        events.back().header.size = sizeof(clap_event_param_gesture_t);
        events.back().header.type = begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END;
    }
    void modulation(clap_id id, double amount)
    {
        set(id, amount);
        events.back().header.type = CLAP_EVENT_PARAM_MOD;
    }

    static uint32_t size(const clap_input_events_t* list)
    {
        return static_cast<uint32_t>(static_cast<const ParamEvents*>(list->ctx)->events.size());
    }
    static const clap_event_header_t* get(const clap_input_events_t* list, uint32_t i)
    {
        return &static_cast<const ParamEvents*>(list->ctx)->events[i].header;
    }
};

inline bool push_nothing(const clap_output_events_t*, const clap_event_header_t*)
{
    return true;
}
inline const clap_output_events_t NO_OUTPUT_EVENTS = {nullptr, push_nothing};

struct Instance {
    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    uint32_t inputs = 1;  // input channels

    Instance(const Library& library, uint32_t input_channels, const clap_host_t* host = &HOST)
        : inputs(input_channels)
    {
        if (!library.factory) return;
        const clap_plugin_descriptor_t* d = library.factory->get_plugin_descriptor(library.factory, 0);
        if (!d) return;
        plugin = library.factory->create_plugin(library.factory, host, d->id);
        if (!plugin || !plugin->init(plugin)) return;
        params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
        state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    }
    ~Instance()
    {
        if (plugin) plugin->destroy(plugin);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool start(double rate, uint32_t max_frames)
    {
        return plugin->activate(plugin, rate, 1, max_frames) && plugin->start_processing(plugin);
    }
    void stop()
    {
        plugin->stop_processing(plugin);
        plugin->deactivate(plugin);
    }

    // One block: `in` holds `inputs` channel pointers, `out` two.
    clap_process_status process(float** in, float** out, uint32_t frames, const ParamEvents* events)
    {
        clap_audio_buffer_t input = {in, nullptr, inputs, 0, 0};
        clap_audio_buffer_t output = {out, nullptr, 2, 0, 0};
        static const ParamEvents none;
        clap_process_t p = {};
        p.steady_time = -1;
        p.frames_count = frames;
        p.audio_inputs = &input;
        p.audio_outputs = &output;
        p.audio_inputs_count = 1;
        p.audio_outputs_count = 1;
        p.in_events = events ? &events->list : &none.list;
        p.out_events = &NO_OUTPUT_EVENTS;
        return plugin->process(plugin, &p);
    }
};

// The state as bytes, through the host's streams: at most `chunk` bytes
// a call (short reads and writes are legal); past `fail_after` bytes every
// call fails; `overclaim` reports more bytes read than asked for.
struct Stream {
    std::vector<char> bytes;
    size_t read_at = 0;
    uint64_t chunk = UINT64_MAX;
    size_t fail_after = SIZE_MAX;
    bool overclaim = false;

    static int64_t write(const clap_ostream_t* s, const void* buffer, uint64_t size)
    {
        Stream* self = static_cast<Stream*>(s->ctx);
        if (self->bytes.size() >= self->fail_after) return -1;
        const uint64_t n = size < self->chunk ? size : self->chunk;
        const char* b = static_cast<const char*>(buffer);
        self->bytes.insert(self->bytes.end(), b, b + n);
        return static_cast<int64_t>(n);
    }
    static int64_t read(const clap_istream_t* s, void* buffer, uint64_t size)
    {
        Stream* self = static_cast<Stream*>(s->ctx);
        if (self->read_at >= self->fail_after) return -1;
        const uint64_t left = self->bytes.size() - self->read_at;
        uint64_t n = size < left ? size : left;
        if (n > self->chunk) n = self->chunk;
        if (n) std::memcpy(buffer, self->bytes.data() + self->read_at, n);
        self->read_at += n;
        return self->overclaim && n > 0 ? static_cast<int64_t>(size + 1) : static_cast<int64_t>(n);
    }
    clap_ostream_t out() { return {this, write}; }
    clap_istream_t in()
    {
        read_at = 0;
        return {this, read};
    }
};

}  // namespace clap_test
