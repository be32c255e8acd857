// The VST3 entry point: the project's guards in front of the plugin
// framework's VST3 plugin. The framework's objects keep their interfaces;
// the few entries a host can reach with data that would crash them, lose a
// value or hang the host are replaced, per object, by the functions below,
// which check what the host sends and then call the framework's own:
// - process: refused (silence, an error) before setupProcessing, for a
//   layout other than the declared buses and channels or a missing buffer;
//   blocks longer than announced run in parts; parameter changes with
//   unknown ids or values that are not finite are dropped, the rest clamped
//   to 0 ... 1, so that one bad queue costs only itself; a host without an
//   output-parameter list gets an empty one;
// - setupProcessing: a rate the instance cannot use, a block size below 1
//   or 64-bit samples are refused; the framework is told a block size it can
//   work with (at least MIN_PART);
// - setState / getState: the state read and written whole through short
//   reads and writes, parsed completely before anything changes
//   (state_codec.h); the host's restartComponent is not called from inside
//   its own setState call, where Ardour waits on itself for good (a host
//   that loads a state knows the values changed);
// - the edit controller's setParamNormalized: checked, and kept as the
//   host's value even while nothing is processed, so that a state saved
//   right after it holds it;
// - getTailSamples: the reverb's tail from the decay settings, endless
//   while frozen.
#undef GetPluginFactory  // the framework's entry is built under another name

#include "travesty/audio_processor.h"
#include "travesty/bstream.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/factory.h"

#include <atomic>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "DistrhoPluginInfo.h"
#include "shell_link.h"
#include "state_codec.h"

extern "C" const void* dpf_get_plugin_factory(void);

namespace {

// The block sizes handed to the framework: at least MIN_PART (a host that
// announces less and sends more runs unsplit), at most MAX_PART.
enum : int32_t { MIN_PART = 4096, MAX_PART = 1 << 16 };
enum { INPUTS = DISTRHO_PLUGIN_NUM_INPUTS };
enum : uint32_t { INFINITE_TAIL = UINT32_MAX };

// --- Parameter changes handed to the framework: the valid ones only.

struct PointQueue {
    const v3_param_value_queue_cpp* vtable;  // first: the host-side pointer is this record's
    v3_param_id id;
    int32_t count;  // 1 or 2: the block's first and last valid points
    int32_t offset[2];
    double value[2];
};

struct ChangeList {
    const v3_param_changes_cpp* vtable;
    PointQueue queues[PARAMETER_COUNT];
    int32_t used[PARAMETER_COUNT];  // index of each parameter's queue, -1 if none
    int32_t count;
};

v3_result V3_API no_interface(void*, const v3_tuid, void** obj)
{
    if (obj) *obj = nullptr;
    return V3_NO_INTERFACE;
}
uint32_t V3_API static_ref(void*)
{
    return 1;
}

v3_param_id V3_API queue_id(void* self)
{
    return static_cast<PointQueue*>(self)->id;
}
int32_t V3_API queue_count(void* self)
{
    return static_cast<PointQueue*>(self)->count;
}
v3_result V3_API queue_point(void* self, int32_t index, int32_t* offset, double* value)
{
    const PointQueue* q = static_cast<PointQueue*>(self);
    if (index < 0 || index >= q->count || !offset || !value) return V3_INVALID_ARG;
    *offset = q->offset[index];
    *value = q->value[index];
    return V3_OK;
}
// Output points: taken and forgotten (the plugin reports none of its own).
v3_result V3_API queue_add(void*, int32_t, double, int32_t* index)
{
    if (index) *index = 0;
    return V3_OK;
}

const v3_param_value_queue_cpp QUEUE_VTABLE = {{no_interface, static_ref, static_ref},
                                               {queue_id, queue_count, queue_point, queue_add}};

int32_t V3_API list_count(void* self)
{
    return static_cast<ChangeList*>(self)->count;
}
v3_param_value_queue** V3_API list_data(void* self, int32_t index)
{
    ChangeList* list = static_cast<ChangeList*>(self);
    if (index < 0 || index >= list->count) return nullptr;
    return reinterpret_cast<v3_param_value_queue**>(&list->queues[index]);
}
// The empty output list: every queue asked for is one that forgets.
v3_param_value_queue** V3_API list_add(void* self, v3_param_id* id, int32_t* index)
{
    ChangeList* list = static_cast<ChangeList*>(self);
    list->queues[0].id = id ? *id : 0;
    list->queues[0].count = 0;
    if (index) *index = 0;
    return reinterpret_cast<v3_param_value_queue**>(&list->queues[0]);
}

const v3_param_changes_cpp LIST_VTABLE = {{no_interface, static_ref, static_ref},
                                          {list_count, list_data, list_add}};

void list_init(ChangeList* list)
{
    list->vtable = &LIST_VTABLE;
    list->count = 0;
    for (PointQueue& q : list->queues) q = {&QUEUE_VTABLE, 0, 0, {0, 0}, {0, 0}};
}

// --- A memory stream, for handing the framework a checked state.

struct StreamVtable : v3_funknown {
    v3_bstream stream;
};

struct MemoryStream {
    const StreamVtable* vtable;
    const std::vector<char>* bytes;
    size_t at;
};

v3_result V3_API memory_read(void* self, void* buffer, int32_t size, int32_t* read)
{
    MemoryStream* m = static_cast<MemoryStream*>(self);
    const size_t left = m->bytes->size() - m->at;
    const size_t n = size < 0 ? 0 : (static_cast<size_t>(size) < left ? static_cast<size_t>(size) : left);
    if (n) std::memcpy(buffer, m->bytes->data() + m->at, n);
    m->at += n;
    if (read) *read = static_cast<int32_t>(n);
    return V3_OK;
}
v3_result V3_API memory_write(void*, void*, int32_t, int32_t*)
{
    return V3_NOT_IMPLEMENTED;
}
v3_result V3_API memory_seek(void*, int64_t, int32_t, int64_t*)
{
    return V3_NOT_IMPLEMENTED;
}
v3_result V3_API memory_tell(void* self, int64_t* pos)
{
    if (pos) *pos = static_cast<int64_t>(static_cast<MemoryStream*>(self)->at);
    return V3_OK;
}

const StreamVtable STREAM_VTABLE = {{no_interface, static_ref, static_ref},
                                    {memory_read, memory_write, memory_seek, memory_tell}};

// --- One instance's guard.

struct HandlerVtable : v3_funknown {
    v3_component_handler handler;
};

struct Guard;

struct HandlerProxy {
    const HandlerVtable* vtable;
    Guard* guard;
};

struct Guard {
    void* component;  // the host's pointers to the framework's objects
    void* processor;
    void* controller;
    ShellLink* link;
    bool ready;    // setupProcessing succeeded
    int32_t part;  // the longest block handed on
    bool loading;  // inside the host's setState call
    v3_component_handler** host_handler;
    HandlerProxy handler;
    ChangeList in_changes;
    ChangeList out_changes;
};

// Which guard serves which of the framework's objects: written on the main
// thread under a lock, read without one on the audio thread.
enum { SLOTS = 4096 };
void* const REMOVED = reinterpret_cast<void*>(1);
std::atomic<void*> slot_key[SLOTS];
Guard* slot_guard[SLOTS];
std::mutex slots_lock;

size_t slot_of(const void* key)
{
    return (reinterpret_cast<uintptr_t>(key) >> 4) * 2654435761u % SLOTS;
}

Guard* guard_of(void* key)
{
    for (size_t n = 0, i = slot_of(key); n < SLOTS; ++n, i = (i + 1) % SLOTS) {
        void* k = slot_key[i].load(std::memory_order_acquire);
        if (k == key) return slot_guard[i];
        if (!k) return nullptr;
    }
    return nullptr;
}

bool remember(void* key, Guard* guard)
{
    std::lock_guard<std::mutex> hold(slots_lock);
    size_t free_slot = SLOTS;
    for (size_t n = 0, i = slot_of(key); n < SLOTS; ++n, i = (i + 1) % SLOTS) {
        void* k = slot_key[i].load(std::memory_order_relaxed);
        if (k == key) {
            slot_guard[i] = guard;
            return true;
        }
        if (k == REMOVED && free_slot == SLOTS) free_slot = i;
        if (!k) {
            if (free_slot == SLOTS) free_slot = i;
            break;
        }
    }
    if (free_slot == SLOTS) return false;
    slot_guard[free_slot] = guard;
    slot_key[free_slot].store(key, std::memory_order_release);
    return true;
}

void forget(void* key)
{
    if (!key) return;
    std::lock_guard<std::mutex> hold(slots_lock);
    for (size_t n = 0, i = slot_of(key); n < SLOTS; ++n, i = (i + 1) % SLOTS) {
        void* k = slot_key[i].load(std::memory_order_relaxed);
        if (!k) return;
        if (k == key) {
            slot_key[i].store(REMOVED, std::memory_order_release);
            return;
        }
    }
}

// The framework's own functions, taken from the first object of each kind.
struct Originals {
    v3_funknown component_funknown;
    v3_plugin_base component_base;
    v3_component component;
    v3_audio_processor processor;
    v3_edit_controller controller;
};
Originals original;

// Audio thread: the host's changes of one block, checked.
void gather(Guard* guard, v3_param_changes** host, int32_t frames)
{
    ChangeList* list = &guard->in_changes;
    list->count = 0;
    for (int32_t& u : list->used) u = -1;
    if (!host || !*host) return;
    const int32_t n = v3_cpp_obj(host)->get_param_count(host);
    for (int32_t i = 0; i < n && i < (1 << 16); ++i) {
        v3_param_value_queue** queue = v3_cpp_obj(host)->get_param_data(host, i);
        if (!queue || !*queue) continue;
        const v3_param_id id = v3_cpp_obj(queue)->get_param_id(queue);
        if (id >= PARAMETER_COUNT) continue;
        const int32_t points = v3_cpp_obj(queue)->get_point_count(queue);
        for (int32_t j = 0; j < points && j < (1 << 16); ++j) {
            int32_t offset = 0;
            double value = 0.0;
            if (v3_cpp_obj(queue)->get_point(queue, j, &offset, &value) != V3_OK || !(value - value == 0.0))
                continue;
            value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
            offset = offset < 0 ? 0 : (offset >= frames ? (frames > 0 ? frames - 1 : 0) : offset);
            if (list->used[id] < 0) {
                list->used[id] = list->count;
                PointQueue& q = list->queues[list->count++];
                q.id = id;
                q.count = 1;
                q.offset[0] = offset;
                q.value[0] = value;
                continue;
            }
            PointQueue& q = list->queues[list->used[id]];
            q.count = 2;
            q.offset[1] = offset;
            q.value[1] = value;
        }
    }
}

// Audio thread, before a block with frames. The framework keeps its own
// copy of each value and drops a change equal to that copy; values that
// reached the plugin outside processing (the edit controller, a block
// without frames) are not in it. So the block's values at its start are
// set here as well, and values set elsewhere are handed to the framework,
// so that its copy, and the window it informs, follow.
void apply_before(Guard* guard)
{
    ChangeList* list = &guard->in_changes;
    for (int32_t i = 0; i < list->count; ++i) {
        const PointQueue& q = list->queues[i];
        if (q.offset[0] == 0) shell_link_set(guard->link, q.id, parameter_from_normalised(q.id, q.value[0]));
    }
    if (!guard->controller) return;
    for (uint32_t id = 0; id < PARAMETER_COUNT; ++id) {
        if (list->used[id] >= 0) continue;
        const double n = parameter_to_normalised(id, guard->link->values[id].load(std::memory_order_relaxed));
        const double known = original.controller.get_parameter_normalised(guard->controller, id);
        if (std::fabs(n - known) < 1e-7) continue;
        list->used[id] = list->count;
        PointQueue& q = list->queues[list->count++];
        q.id = id;
        q.count = 1;
        q.offset[0] = 0;
        q.value[0] = n;
    }
}

// Audio thread: after the block's first part, the values the framework
// takes at its end (a last point later than its start).
void apply_after(Guard* guard)
{
    const ChangeList* list = &guard->in_changes;
    for (int32_t i = 0; i < list->count; ++i) {
        const PointQueue& q = list->queues[i];
        if (q.offset[q.count - 1] != 0)
            shell_link_set(guard->link, q.id, parameter_from_normalised(q.id, q.value[q.count - 1]));
    }
}

// Audio thread: a block without frames, which the framework ignores,
// still sets its values.
void apply_without_frames(Guard* guard)
{
    const ChangeList* list = &guard->in_changes;
    for (int32_t i = 0; i < list->count; ++i) {
        const PointQueue& q = list->queues[i];
        shell_link_set(guard->link, q.id, parameter_from_normalised(q.id, q.value[q.count - 1]));
    }
}

// --- The host's component handler, as the framework sees it.

v3_result V3_API handler_query(void* self, const v3_tuid iid, void** obj)
{
    v3_component_handler** host = static_cast<HandlerProxy*>(self)->guard->host_handler;
    return host ? v3_cpp_obj_query_interface(host, iid, reinterpret_cast<v3_funknown***>(obj)) : no_interface(self, iid, obj);
}
v3_result V3_API handler_begin(void* self, v3_param_id id)
{
    v3_component_handler** host = static_cast<HandlerProxy*>(self)->guard->host_handler;
    return host ? v3_cpp_obj(host)->begin_edit(host, id) : V3_NOT_INITIALIZED;
}
v3_result V3_API handler_perform(void* self, v3_param_id id, double value)
{
    v3_component_handler** host = static_cast<HandlerProxy*>(self)->guard->host_handler;
    return host ? v3_cpp_obj(host)->perform_edit(host, id, value) : V3_NOT_INITIALIZED;
}
v3_result V3_API handler_end(void* self, v3_param_id id)
{
    v3_component_handler** host = static_cast<HandlerProxy*>(self)->guard->host_handler;
    return host ? v3_cpp_obj(host)->end_edit(host, id) : V3_NOT_INITIALIZED;
}
v3_result V3_API handler_restart(void* self, int32_t flags)
{
    Guard* guard = static_cast<HandlerProxy*>(self)->guard;
    if (guard->loading) return V3_OK;  // the host is loading this state itself
    v3_component_handler** host = guard->host_handler;
    return host ? v3_cpp_obj(host)->restart_component(host, flags) : V3_NOT_INITIALIZED;
}

const HandlerVtable HANDLER_VTABLE = {{handler_query, static_ref, static_ref},
                                      {handler_begin, handler_perform, handler_end, handler_restart}};

// --- Audio processor

bool bus_ok(const v3_audio_bus_buffers* buses, int32_t count, int32_t channels)
{
    if (count != 1 || !buses || buses[0].num_channels != channels || !buses[0].channel_buffers_32) return false;
    for (int32_t c = 0; c < channels; ++c)
        if (!buses[0].channel_buffers_32[c]) return false;
    return true;
}

void silence(v3_process_data* data)
{
    if (data->nframes <= 0 || data->num_output_buses < 1 || !data->outputs) return;
    const v3_audio_bus_buffers& out = data->outputs[0];
    if (!out.channel_buffers_32 || data->symbolic_sample_size != V3_SAMPLE_32) return;
    for (int32_t c = 0; c < out.num_channels && c < 2; ++c)
        if (out.channel_buffers_32[c])
            std::memset(out.channel_buffers_32[c], 0, sizeof(float) * static_cast<size_t>(data->nframes));
}

// Audio thread.
v3_result V3_API guarded_process(void* self, v3_process_data* data)
{
    Guard* guard = guard_of(self);
    if (!data) return V3_INVALID_ARG;
    if (!guard || !guard->ready) {
        silence(data);
        return V3_NOT_INITIALIZED;
    }
    if (data->symbolic_sample_size != V3_SAMPLE_32 || data->nframes < 0) return V3_INVALID_ARG;
    gather(guard, data->input_params, data->nframes);

    v3_process_data part = *data;
    part.input_params = reinterpret_cast<v3_param_changes**>(&guard->in_changes);
    if (!part.output_params) part.output_params = reinterpret_cast<v3_param_changes**>(&guard->out_changes);
    if (data->nframes == 0) {
        // A host's way to hand over parameter changes alone.
        apply_without_frames(guard);
        return V3_OK;
    }
    apply_before(guard);
    if (!bus_ok(data->inputs, data->num_input_buses, INPUTS) || !bus_ok(data->outputs, data->num_output_buses, 2)) {
        silence(data);
        return V3_INVALID_ARG;
    }
    float* in[INPUTS];
    float* out[2];
    v3_audio_bus_buffers in_bus = data->inputs[0];
    v3_audio_bus_buffers out_bus = data->outputs[0];
    in_bus.channel_buffers_32 = in;
    out_bus.channel_buffers_32 = out;
    part.inputs = &in_bus;
    part.outputs = &out_bus;
    v3_result result = V3_OK;
    for (int32_t done = 0; done < data->nframes && result == V3_OK;) {
        part.nframes = data->nframes - done < guard->part ? data->nframes - done : guard->part;
        for (int c = 0; c < INPUTS; ++c) in[c] = data->inputs[0].channel_buffers_32[c] + done;
        for (int c = 0; c < 2; ++c) out[c] = data->outputs[0].channel_buffers_32[c] + done;
        result = original.processor.process(self, &part);
        if (done == 0) apply_after(guard);
        guard->in_changes.count = 0;  // a block's changes go with its first part
        done += part.nframes;
    }
    return result;
}

// Host's non-realtime thread, while not processing.
v3_result V3_API guarded_setup(void* self, v3_process_setup* setup)
{
    Guard* guard = guard_of(self);
    if (!guard || !setup || setup->symbolic_sample_size != V3_SAMPLE_32 || setup->max_block_size < 1 ||
        !(setup->sample_rate >= 1.0 && setup->sample_rate <= 1e9))
        return V3_INVALID_ARG;
    v3_process_setup announced = *setup;
    const int32_t n = setup->max_block_size;
    announced.max_block_size = n < MIN_PART ? MIN_PART : (n > MAX_PART ? MAX_PART : n);
    guard->ready = false;
    const v3_result result = original.processor.setup_processing(self, &announced);
    if (result != V3_OK) return result;
    if (!guard->link || !guard->link->instance) return V3_INVALID_ARG;
    guard->part = announced.max_block_size;
    guard->ready = true;
    return V3_OK;
}

uint32_t V3_API guarded_tail(void* self)
{
    Guard* guard = guard_of(self);
    return guard ? shell_link_tail_frames(guard->link) : 0;
}

// --- Edit controller (host's UI thread)

v3_result V3_API guarded_set_normalised(void* self, v3_param_id id, double normalised)
{
    Guard* guard = guard_of(self);
    if (!guard || id >= PARAMETER_COUNT || !(normalised - normalised == 0.0)) return V3_INVALID_ARG;
    normalised = normalised < 0.0 ? 0.0 : (normalised > 1.0 ? 1.0 : normalised);
    const v3_result result = original.controller.set_parameter_normalised(self, id, normalised);
    if (result != V3_OK) return result;
    shell_link_set(guard->link, id, original.controller.normalised_parameter_to_plain(self, id, normalised));
    return V3_OK;
}

double V3_API guarded_get_normalised(void* self, v3_param_id id)
{
    Guard* guard = guard_of(self);
    if (!guard || id >= PARAMETER_COUNT) return 0.0;
    const float plain = guard->link->values[id].load(std::memory_order_relaxed);
    return original.controller.plain_parameter_to_normalised(self, id, plain);
}

v3_result V3_API guarded_set_handler(void* self, v3_component_handler** handler)
{
    Guard* guard = guard_of(self);
    if (!guard) return V3_NOT_INITIALIZED;
    guard->host_handler = handler;
    return original.controller.set_component_handler(
        self, handler ? reinterpret_cast<v3_component_handler**>(&guard->handler) : nullptr);
}

// --- Component (host's non-realtime thread)

v3_result V3_API guarded_set_state(void* self, v3_bstream** stream)
{
    Guard* guard = guard_of(self);
    if (!guard || !guard->link || !stream || !*stream) return V3_INVALID_ARG;
    std::vector<char> bytes;
    float values[PARAMETER_COUNT];
    const auto read = [stream](char* buffer, int64_t size) -> int64_t {
        int32_t n = -1;
        if (v3_cpp_obj(stream)->read(stream, buffer, static_cast<int32_t>(size), &n) != V3_OK) return -1;
        return n;
    };
    if (!state_read_all(read, &bytes) || !state_parse(bytes.data(), bytes.size(), values)) return V3_INVALID_ARG;
    const std::vector<char> checked = state_write(values);
    MemoryStream memory = {&STREAM_VTABLE, &checked, 0};
    guard->loading = true;
    const v3_result result = original.component.set_state(self, reinterpret_cast<v3_bstream**>(&memory));
    guard->loading = false;
    return result;
}

v3_result V3_API guarded_get_state(void* self, v3_bstream** stream)
{
    Guard* guard = guard_of(self);
    if (!guard || !guard->link || !stream || !*stream) return V3_INVALID_ARG;
    const auto write = [stream](const char* buffer, int64_t size) -> int64_t {
        int32_t n = -1;
        const int32_t ask = size < INT32_MAX ? static_cast<int32_t>(size) : INT32_MAX;
        if (v3_cpp_obj(stream)->write(stream, const_cast<char*>(buffer), ask, &n) != V3_OK) return -1;
        return n;
    };
    return state_write_all(write, shell_link_state(guard->link)) ? V3_OK : V3_INTERNAL_ERR;
}

v3_result V3_API guarded_initialize(void* self, v3_funknown** context)
{
    Guard* guard = guard_of(self);
    shell_link_take();  // none left from the framework's own probing
    const v3_result result = original.component_base.initialize(self, context);
    if (guard && result == V3_OK) guard->link = shell_link_take();
    return result;
}

void patch_processor(void* iface, Guard* guard)
{
    v3_audio_processor_cpp* p = *static_cast<v3_audio_processor_cpp**>(iface);
    if (p->proc.process != guarded_process) {
        original.processor = p->proc;
        p->proc.process = guarded_process;
        p->proc.setup_processing = guarded_setup;
        p->proc.get_tail_samples = guarded_tail;
    }
    guard->processor = iface;
    remember(iface, guard);
}

void patch_controller(void* iface, Guard* guard)
{
    v3_edit_controller_cpp* c = *static_cast<v3_edit_controller_cpp**>(iface);
    if (c->ctrl.set_parameter_normalised != guarded_set_normalised) {
        original.controller = c->ctrl;
        c->ctrl.set_parameter_normalised = guarded_set_normalised;
        c->ctrl.get_parameter_normalised = guarded_get_normalised;
        c->ctrl.set_component_handler = guarded_set_handler;
    }
    guard->controller = iface;
    remember(iface, guard);
}

v3_result V3_API guarded_query(void* self, const v3_tuid iid, void** iface)
{
    const v3_result result = original.component_funknown.query_interface(self, iid, iface);
    Guard* guard = guard_of(self);
    if (result != V3_OK || !guard || !iface || !*iface) return result;
    if (v3_tuid_match(iid, v3_audio_processor_iid)) patch_processor(*iface, guard);
    if (v3_tuid_match(iid, v3_edit_controller_iid)) patch_controller(*iface, guard);
    return result;
}

uint32_t V3_API guarded_unref(void* self)
{
    Guard* guard = guard_of(self);
    const uint32_t left = original.component_funknown.unref(self);
    if (left == 0 && guard) {
        forget(guard->component);
        forget(guard->processor);
        forget(guard->controller);
        delete guard;
    }
    return left;
}

void patch_component(void* instance, Guard* guard)
{
    v3_component_cpp* c = *static_cast<v3_component_cpp**>(instance);
    if (c->comp.set_state != guarded_set_state) {
        original.component_funknown = {c->query_interface, c->ref, c->unref};
        original.component_base = c->base;
        original.component = c->comp;
    }
    c->query_interface = guarded_query;
    c->unref = guarded_unref;
    c->base.initialize = guarded_initialize;
    c->comp.set_state = guarded_set_state;
    c->comp.get_state = guarded_get_state;
    guard->component = instance;
    remember(instance, guard);
}

// --- Factory

v3_result (V3_API* original_create)(void*, const v3_tuid, const v3_tuid, void**) = nullptr;

v3_result V3_API guarded_create(void* self, const v3_tuid class_id, const v3_tuid iid, void** instance)
{
    if (!class_id || !iid || !instance) return V3_INVALID_ARG;
    const v3_result result = original_create(self, class_id, iid, instance);
    if (result != V3_OK || !*instance) return result;
    Guard* guard = new (std::nothrow) Guard;
    if (!guard) {
        v3_cpp_obj_unref(static_cast<v3_funknown**>(*instance));
        *instance = nullptr;
        return V3_NOMEM;
    }
    *guard = {};
    guard->part = MIN_PART;
    guard->handler = {&HANDLER_VTABLE, guard};
    list_init(&guard->in_changes);
    list_init(&guard->out_changes);
    guard->out_changes.count = 0;
    patch_component(*instance, guard);
    return V3_OK;
}

}  // namespace

// Host's non-realtime thread, once per load.
extern "C" __attribute__((visibility("default"))) const void* GetPluginFactory(void)
{
    const void* factory = dpf_get_plugin_factory();
    if (!factory) return nullptr;
    v3_plugin_factory_cpp* f = *static_cast<v3_plugin_factory_cpp* const*>(factory);
    if (f->v1.create_instance != guarded_create) {
        original_create = f->v1.create_instance;
        f->v1.create_instance = guarded_create;
    }
    return factory;
}
