#include "tools/lv2_host.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> names;
};

LV2_URID map_uri(LV2_URID_Map_Handle handle, const char* uri)
{
    UridMap* m = static_cast<UridMap*>(handle);
    auto it = m->ids.find(uri);
    if (it != m->ids.end()) return it->second;
    m->names.push_back(uri);
    const LV2_URID id = static_cast<LV2_URID>(m->names.size());
    m->ids[uri] = id;
    return id;
}

const char* unmap_uri(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    UridMap* m = static_cast<UridMap*>(handle);
    return urid >= 1 && urid <= m->names.size() ? m->names[urid - 1].c_str() : nullptr;
}

// The worker runs the job at once, in the audio thread; the responses are
// delivered after the run call, as the worker extension requires.
struct Worker {
    LilvInstance* instance = nullptr;
    const LV2_Worker_Interface* iface = nullptr;
    std::vector<std::vector<char>> responses;
};

LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
{
    Worker* w = static_cast<Worker*>(handle);
    const char* bytes = static_cast<const char*>(data);
    w->responses.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
{
    Worker* w = static_cast<Worker*>(handle);
    if (!w->iface || !w->iface->work) return LV2_WORKER_ERR_UNKNOWN;
    return w->iface->work(lilv_instance_get_handle(w->instance), respond, w, size, data);
}

}  // namespace

struct HostWorld {
    LilvWorld* world = nullptr;
    double rate = 48000.0;
    uint32_t period = 256;
    float rate_f = 48000.0f;
    int32_t block = 256;
    UridMap urids;
    LV2_URID_Map map = {&urids, map_uri};
    LV2_URID_Unmap unmap = {&urids, unmap_uri};
    std::vector<LV2_Options_Option> options;
    LilvNode *audio_class, *control_class, *atom_class, *input_class, *optional, *preset_class,
        *label_pred;
};

struct HostPlugin {
    HostWorld* world = nullptr;
    LilvInstance* instance = nullptr;
    Worker worker;
    LV2_Worker_Schedule schedule = {nullptr, nullptr};
    std::vector<float> controls;
    std::vector<std::vector<float>> audio;
    std::vector<std::vector<uint64_t>> atoms;
    std::vector<size_t> inputs, outputs;
    std::map<std::string, size_t> symbols;
    LV2_URID sequence_type = 0;
};

HostSetup host_parse_setup(const std::string& arg)
{
    HostSetup e;
    const size_t eq = arg.find('=');
    e.name = arg.substr(0, eq);
    const std::string rest = eq == std::string::npos ? arg : arg.substr(eq + 1);
    size_t hash = rest.find('#');
    e.uri = rest.substr(0, hash);
    while (hash != std::string::npos) {
        const size_t next = rest.find('#', hash + 1);
        const std::string kv = rest.substr(hash + 1, next == std::string::npos ? std::string::npos
                                                                              : next - hash - 1);
        const size_t k = kv.find('=');
        if (kv.substr(0, k) == "preset")
            e.preset = kv.substr(k + 1);
        else
            e.settings.emplace_back(kv.substr(0, k), std::strtof(kv.c_str() + k + 1, nullptr));
        hash = next;
    }
    return e;
}

HostWorld* host_world_new(double rate, uint32_t period)
{
    HostWorld* w = new HostWorld;
    w->world = lilv_world_new();
    lilv_world_load_all(w->world);
    w->rate = rate;
    w->rate_f = static_cast<float>(rate);
    w->period = period;
    w->block = static_cast<int32_t>(period);
    const LV2_URID int_type = map_uri(&w->urids, LV2_ATOM__Int);
    const LV2_URID float_type = map_uri(&w->urids, LV2_ATOM__Float);
    w->options = {
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&w->urids, LV2_BUF_SIZE__minBlockLength),
         sizeof(int32_t), int_type, &w->block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&w->urids, LV2_BUF_SIZE__maxBlockLength),
         sizeof(int32_t), int_type, &w->block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&w->urids, LV2_BUF_SIZE__nominalBlockLength),
         sizeof(int32_t), int_type, &w->block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&w->urids, LV2_PARAMETERS__sampleRate), sizeof(float),
         float_type, &w->rate_f},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    w->audio_class = lilv_new_uri(w->world, LV2_CORE__AudioPort);
    w->control_class = lilv_new_uri(w->world, LV2_CORE__ControlPort);
    w->atom_class = lilv_new_uri(w->world, LV2_ATOM__AtomPort);
    w->input_class = lilv_new_uri(w->world, LV2_CORE__InputPort);
    w->optional = lilv_new_uri(w->world, LV2_CORE__connectionOptional);
    w->preset_class = lilv_new_uri(w->world, LV2_PRESETS__Preset);
    w->label_pred = lilv_new_uri(w->world, "http://www.w3.org/2000/01/rdf-schema#label");
    return w;
}

void host_world_free(HostWorld* w)
{
    if (!w) return;
    for (LilvNode* node : {w->audio_class, w->control_class, w->atom_class, w->input_class,
                           w->optional, w->preset_class, w->label_pred})
        lilv_node_free(node);
    lilv_world_free(w->world);
    delete w;
}

namespace {


void take_preset_value(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type)
{
    (void)type;
    if (size == sizeof(float)) (*static_cast<std::map<std::string, float>*>(data))[symbol] = *static_cast<const float*>(value);
}

// The plugin's preset with this label, loaded; null for none.
const LilvNode* find_preset(HostWorld* w, const LilvPlugin* plugin, const std::string& label,
                            LilvNodes** presets)
{
    *presets = lilv_plugin_get_related(plugin, w->preset_class);
    LILV_FOREACH (nodes, it, *presets) {
        const LilvNode* preset = lilv_nodes_get(*presets, it);
        lilv_world_load_resource(w->world, preset);
        LilvNode* name = lilv_world_get(w->world, preset, w->label_pred, nullptr);
        const bool match = name && label == lilv_node_as_string(name);
        lilv_node_free(name);
        if (match) return preset;
    }
    return nullptr;
}

// The preset with this label among the plugin's, as symbol -> value.
bool preset_values(HostWorld* w, const LilvPlugin* plugin, const std::string& label,
                   std::map<std::string, float>* values)
{
    LilvNodes* presets = nullptr;
    const LilvNode* preset = find_preset(w, plugin, label, &presets);
    LilvState* state = preset ? lilv_state_new_from_world(w->world, &w->map, preset) : nullptr;
    const bool found = state != nullptr;
    if (state) {
        lilv_state_restore(state, nullptr, take_preset_value, values, 0, nullptr);
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
    return found;
}

}  // namespace

HostPlugin* host_plugin_new(HostWorld* w, const HostSetup& setup, std::string* why)
{
    LilvNode* uri = lilv_new_uri(w->world, setup.uri.c_str());
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w->world), uri);
    lilv_node_free(uri);
    if (!plugin) {
        *why = "not installed";
        return nullptr;
    }
    std::map<std::string, float> preset;
    if (!setup.preset.empty() && !preset_values(w, plugin, setup.preset, &preset)) {
        *why = "no preset \"" + setup.preset + "\"";
        return nullptr;
    }
    HostPlugin* p = new HostPlugin;
    p->world = w;
    p->schedule = {&p->worker, schedule};
    const LV2_Feature map_f = {LV2_URID__map, &w->map};
    const LV2_Feature unmap_f = {LV2_URID__unmap, &w->unmap};
    const LV2_Feature options_f = {LV2_OPTIONS__options, w->options.data()};
    const LV2_Feature bounded_f = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    const LV2_Feature sched_f = {LV2_WORKER__schedule, &p->schedule};
    const LV2_Feature* features[] = {&map_f, &unmap_f, &options_f, &bounded_f, &sched_f, nullptr};
    p->instance = lilv_plugin_instantiate(plugin, w->rate, features);
    if (!p->instance) {
        *why = "instantiate failed (a required feature missing?)";
        delete p;
        return nullptr;
    }
    p->worker.instance = p->instance;
    p->worker.iface = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(p->instance, LV2_WORKER__interface));
    p->sequence_type = map_uri(&w->urids, LV2_ATOM__Sequence);
    const uint32_t n = lilv_plugin_get_num_ports(plugin);
    std::vector<float> min(n), max(n), def(n);
    lilv_plugin_get_port_ranges_float(plugin, min.data(), max.data(), def.data());
    p->controls.assign(n, 0.0f);
    p->audio.resize(n);
    p->atoms.resize(n);
    for (uint32_t k = 0; k < n; ++k) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, k);
        const bool in = lilv_port_is_a(plugin, port, w->input_class);
        if (lilv_port_is_a(plugin, port, w->control_class)) {
            p->controls[k] = std::isnan(def[k]) ? 0.0f : def[k];
            const char* sym = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
            p->symbols[sym] = k;
            if (preset.count(sym)) p->controls[k] = preset[sym];
            for (const auto& [s, v] : setup.settings)
                if (s == sym) p->controls[k] = v;
            lilv_instance_connect_port(p->instance, k, &p->controls[k]);
        } else if (lilv_port_is_a(plugin, port, w->audio_class)) {
            p->audio[k].assign(w->period, 0.0f);
            (in ? p->inputs : p->outputs).push_back(k);
            lilv_instance_connect_port(p->instance, k, p->audio[k].data());
        } else if (lilv_port_is_a(plugin, port, w->atom_class)) {
            // An empty sequence in, room for 8 KiB of events out.
            p->atoms[k].assign(1024, 0);
            LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(p->atoms[k].data());
            seq->atom.type = in ? p->sequence_type : map_uri(&w->urids, LV2_ATOM__Chunk);
            seq->atom.size = in ? sizeof(LV2_Atom_Sequence_Body) : 8192 - sizeof(LV2_Atom);
            lilv_instance_connect_port(p->instance, k, seq);
        } else if (!lilv_port_has_property(plugin, port, w->optional)) {
            *why = "has a port kind this host does not feed";
            host_plugin_free(p);
            return nullptr;
        }
    }
    if (p->inputs.empty() || p->outputs.empty()) {
        *why = "no audio input or output";
        host_plugin_free(p);
        return nullptr;
    }
    lilv_instance_activate(p->instance);
    return p;
}

void host_plugin_free(HostPlugin* p)
{
    if (!p) return;
    if (p->instance) {
        lilv_instance_deactivate(p->instance);
        lilv_instance_free(p->instance);
    }
    delete p;
}

size_t host_input_count(const HostPlugin* p)
{
    return p->inputs.size();
}

float* host_input(HostPlugin* p, size_t channel)
{
    return p->audio[p->inputs[channel]].data();
}

const float* host_output(const HostPlugin* p, size_t channel)
{
    return p->audio[p->outputs[channel < p->outputs.size() ? channel : 0]].data();
}

void host_run(HostPlugin* p)
{
    for (auto& atom : p->atoms) {
        if (atom.empty()) continue;
        LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(atom.data());
        seq->atom.size = seq->atom.type == p->sequence_type ? sizeof(LV2_Atom_Sequence_Body)
                                                            : 8192 - sizeof(LV2_Atom);
    }
    lilv_instance_run(p->instance, p->world->period);
    if (p->worker.iface && !p->worker.responses.empty()) {
        for (auto& r : p->worker.responses)
            p->worker.iface->work_response(lilv_instance_get_handle(p->instance),
                                           static_cast<uint32_t>(r.size()), r.data());
        p->worker.responses.clear();
    }
    if (p->worker.iface && p->worker.iface->end_run)
        p->worker.iface->end_run(lilv_instance_get_handle(p->instance));
}

float host_control(const HostPlugin* p, const std::string& symbol)
{
    const auto it = p->symbols.find(symbol);
    return it == p->symbols.end() ? NAN : p->controls[it->second];
}

std::string host_preset_bank(HostWorld* w, const HostSetup& setup)
{
    if (setup.preset.empty()) return "";
    LilvNode* uri = lilv_new_uri(w->world, setup.uri.c_str());
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w->world), uri);
    lilv_node_free(uri);
    if (!plugin) return "";
    LilvNodes* presets = nullptr;
    const LilvNode* preset = find_preset(w, plugin, setup.preset, &presets);
    std::string label;
    LilvNode* bank_pred = lilv_new_uri(w->world, LV2_PRESETS__bank);
    LilvNode* bank = preset ? lilv_world_get(w->world, preset, bank_pred, nullptr) : nullptr;
    LilvNode* name = bank ? lilv_world_get(w->world, bank, w->label_pred, nullptr) : nullptr;
    if (name) label = lilv_node_as_string(name);
    for (LilvNode* n : {bank_pred, bank, name}) lilv_node_free(n);
    lilv_nodes_free(presets);
    return label;
}

bool host_render(HostWorld* w, const HostSetup& setup, const std::vector<float>& in,
                 std::vector<float>* left, std::vector<float>* right, std::string* why)
{
    HostPlugin* p = host_plugin_new(w, setup, why);
    if (!p) return false;
    const size_t period = w->period;
    left->assign(in.size(), 0.0f);
    right->assign(in.size(), 0.0f);
    for (size_t at = 0; at < in.size(); at += period) {
        const size_t n = std::min(period, in.size() - at);
        for (size_t c = 0; c < host_input_count(p); ++c) {
            float* buffer = host_input(p, c);
            std::memset(buffer, 0, period * sizeof(float));
            std::memcpy(buffer, in.data() + at, n * sizeof(float));
        }
        host_run(p);
        std::memcpy(left->data() + at, host_output(p, 0), n * sizeof(float));
        std::memcpy(right->data() + at, host_output(p, 1), n * sizeof(float));
    }
    host_plugin_free(p);
    return true;
}
