// A minimal VST3 host for the tests, on the plugin framework's own VST3
// headers: loads a bundle's library as a host does (ModuleEntry,
// GetPluginFactory), makes the component, its audio processor and its edit
// controller, and hands over parameter changes, streams and blocks that the
// tests shape, honest or not.
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "travesty/audio_processor.h"
#include "travesty/bstream.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/factory.h"

namespace vst3_test {

inline v3_result V3_API no_interface(void*, const v3_tuid, void** obj)
{
    *obj = nullptr;
    return V3_NO_INTERFACE;
}
inline uint32_t V3_API one(void*)
{
    return 1;
}

struct Library {
    void* handle = nullptr;
    v3_plugin_factory** factory = nullptr;

    explicit Library(const std::string& path)
    {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
        auto get = reinterpret_cast<const void* (*)()>(dlsym(handle, "GetPluginFactory"));
        if (!entry || !get || !entry(handle)) return;
        factory = static_cast<v3_plugin_factory**>(const_cast<void*>(get()));
    }
    ~Library()
    {
        if (factory) v3_cpp_obj_unref(factory);
        if (!handle) return;
        auto exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
        if (exit) exit();
        dlclose(handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

// One parameter's points in a block.
struct Queue {
    const v3_param_value_queue_cpp* vtable = &VTABLE;
    v3_param_id id = 0;
    std::vector<std::pair<int32_t, double>> points;
    bool broken = false;  // get_point fails

    static v3_param_id V3_API get_id(void* self) { return static_cast<Queue*>(self)->id; }
    static int32_t V3_API count(void* self) { return static_cast<int32_t>(static_cast<Queue*>(self)->points.size()); }
    static v3_result V3_API point(void* self, int32_t i, int32_t* offset, double* value)
    {
        Queue* q = static_cast<Queue*>(self);
        if (q->broken || i < 0 || i >= count(self)) return V3_INVALID_ARG;
        *offset = q->points[i].first;
        *value = q->points[i].second;
        return V3_OK;
    }
    static v3_result V3_API add(void* self, int32_t offset, double value, int32_t* index)
    {
        Queue* q = static_cast<Queue*>(self);
        q->points.emplace_back(offset, value);
        *index = count(self) - 1;
        return V3_OK;
    }
    static constexpr v3_param_value_queue_cpp VTABLE = {{no_interface, one, one}, {get_id, count, point, add}};
};

// A block's parameter changes; a null entry stands for a queue the host
// reports but cannot give.
struct Changes {
    const v3_param_changes_cpp* vtable = &VTABLE;
    std::vector<Queue> queues;
    std::vector<bool> missing;

    void set(v3_param_id id, double normalised, int32_t offset = 0)
    {
        Queue q;
        q.id = id;
        q.points.emplace_back(offset, normalised);
        queues.push_back(q);
        missing.push_back(false);
    }
    void hole()
    {
        queues.emplace_back();
        missing.push_back(true);
    }
    v3_param_changes** list() { return reinterpret_cast<v3_param_changes**>(this); }

    static int32_t V3_API count(void* self) { return static_cast<int32_t>(static_cast<Changes*>(self)->queues.size()); }
    static v3_param_value_queue** V3_API data(void* self, int32_t i)
    {
        Changes* c = static_cast<Changes*>(self);
        if (i < 0 || i >= count(self) || c->missing[i]) return nullptr;
        return reinterpret_cast<v3_param_value_queue**>(&c->queues[i]);
    }
    static v3_param_value_queue** V3_API add(void* self, v3_param_id* id, int32_t* index)
    {
        Changes* c = static_cast<Changes*>(self);
        c->set(*id, 0.0);
        c->queues.back().points.clear();
        *index = count(self) - 1;
        return reinterpret_cast<v3_param_value_queue**>(&c->queues.back());
    }
    static constexpr v3_param_changes_cpp VTABLE = {{no_interface, one, one}, {count, data, add}};
};

// A host's stream: reads and writes at most `chunk` bytes at a time; after
// `fail_after` bytes every call fails; `overclaim` reports more bytes read
// than asked for.
struct Stream {
    const struct Vtable : v3_funknown {
        v3_bstream stream;
    }* vtable = &VTABLE;
    std::vector<char> bytes;
    size_t at = 0;
    int32_t chunk = 1 << 30;
    size_t fail_after = SIZE_MAX;
    bool overclaim = false;

    v3_bstream** stream() { return reinterpret_cast<v3_bstream**>(this); }

    static v3_result V3_API read(void* self, void* buffer, int32_t size, int32_t* done)
    {
        Stream* s = static_cast<Stream*>(self);
        if (s->at >= s->fail_after) return V3_INTERNAL_ERR;
        size_t n = s->bytes.size() - s->at;
        if (n > static_cast<size_t>(size)) n = static_cast<size_t>(size);
        if (n > static_cast<size_t>(s->chunk)) n = static_cast<size_t>(s->chunk);
        if (n) std::memcpy(buffer, s->bytes.data() + s->at, n);
        s->at += n;
        *done = s->overclaim && n > 0 ? size + 1 : static_cast<int32_t>(n);
        return V3_OK;
    }
    static v3_result V3_API write(void* self, void* buffer, int32_t size, int32_t* done)
    {
        Stream* s = static_cast<Stream*>(self);
        if (s->bytes.size() >= s->fail_after) return V3_INTERNAL_ERR;
        const int32_t n = size < s->chunk ? size : s->chunk;
        const char* b = static_cast<const char*>(buffer);
        s->bytes.insert(s->bytes.end(), b, b + n);
        *done = n;
        return V3_OK;
    }
    static v3_result V3_API seek(void*, int64_t, int32_t, int64_t*) { return V3_NOT_IMPLEMENTED; }
    static v3_result V3_API tell(void* self, int64_t* pos)
    {
        *pos = static_cast<int64_t>(static_cast<Stream*>(self)->at);
        return V3_OK;
    }
    static constexpr Vtable VTABLE = {{no_interface, one, one}, {read, write, seek, tell}};
};

// The host's component handler: counts what the plugin asks of it.
struct Handler {
    const struct Vtable : v3_funknown {
        v3_component_handler handler;
    }* vtable = &VTABLE;
    int restarts = 0;
    int edits = 0;

    static v3_result V3_API begin(void*, v3_param_id) { return V3_OK; }
    static v3_result V3_API perform(void* self, v3_param_id, double)
    {
        ++static_cast<Handler*>(self)->edits;
        return V3_OK;
    }
    static v3_result V3_API end(void*, v3_param_id) { return V3_OK; }
    static v3_result V3_API restart(void* self, int32_t)
    {
        ++static_cast<Handler*>(self)->restarts;
        return V3_OK;
    }
    static constexpr Vtable VTABLE = {{no_interface, one, one}, {begin, perform, end, restart}};
};

struct Instance {
    v3_component** component = nullptr;
    v3_audio_processor** processor = nullptr;
    v3_edit_controller** controller = nullptr;
    int32_t inputs = 1;

    Instance(const Library& library, int32_t input_channels) : inputs(input_channels)
    {
        if (!library.factory) return;
        v3_class_info info;
        if (v3_cpp_obj(library.factory)->get_class_info(library.factory, 0, &info) != V3_OK) return;
        void* object = nullptr;
        if (v3_cpp_obj(library.factory)->create_instance(library.factory, info.class_id, v3_component_iid,
                                                         &object) != V3_OK)
            return;
        component = static_cast<v3_component**>(object);
        if (v3_cpp_obj_initialize(component, nullptr) != V3_OK) return;
        v3_cpp_obj_query_interface(component, v3_audio_processor_iid, &processor);
        v3_cpp_obj_query_interface(component, v3_edit_controller_iid, &controller);
    }
    ~Instance()
    {
        if (processor) v3_cpp_obj_unref(processor);
        if (controller) v3_cpp_obj_unref(controller);
        if (component) {
            v3_cpp_obj_terminate(component);
            v3_cpp_obj_unref(component);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    v3_result setup(double rate, int32_t max_block, int32_t sample_size = V3_SAMPLE_32)
    {
        v3_process_setup s = {V3_REALTIME, sample_size, max_block, rate};
        return v3_cpp_obj(processor)->setup_processing(processor, &s);
    }
    bool start(double rate, int32_t max_block)
    {
        return setup(rate, max_block) == V3_OK && v3_cpp_obj(component)->set_active(component, 1) == V3_OK &&
               v3_cpp_obj(processor)->set_processing(processor, 1) == V3_OK;
    }

    // One block: `in` holds `inputs` channel pointers, `out` two.
    v3_result process(float** in, float** out, int32_t frames, Changes* changes = nullptr,
                      Changes* out_changes = nullptr)
    {
        v3_audio_bus_buffers input = {};
        input.num_channels = inputs;
        input.channel_buffers_32 = in;
        v3_audio_bus_buffers output = {};
        output.num_channels = 2;
        output.channel_buffers_32 = out;
        return process_buses(&input, 1, &output, 1, frames, changes, out_changes);
    }
    v3_result process_buses(v3_audio_bus_buffers* in, int32_t in_count, v3_audio_bus_buffers* out,
                            int32_t out_count, int32_t frames, Changes* changes, Changes* out_changes)
    {
        v3_process_data d = {};
        d.process_mode = V3_REALTIME;
        d.symbolic_sample_size = V3_SAMPLE_32;
        d.nframes = frames;
        d.num_input_buses = in_count;
        d.num_output_buses = out_count;
        d.inputs = in;
        d.outputs = out;
        d.input_params = changes ? changes->list() : nullptr;
        d.output_params = out_changes ? out_changes->list() : nullptr;
        return v3_cpp_obj(processor)->process(processor, &d);
    }

    double normalised(v3_param_id id) { return v3_cpp_obj(controller)->get_parameter_normalised(controller, id); }
    double plain(v3_param_id id)
    {
        return v3_cpp_obj(controller)->normalised_parameter_to_plain(controller, id, normalised(id));
    }
    double to_normalised(v3_param_id id, double plain_value)
    {
        return v3_cpp_obj(controller)->plain_parameter_to_normalised(controller, id, plain_value);
    }
};

}  // namespace vst3_test
