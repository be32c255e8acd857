// A small LV2 host for comparing the cost of reverbs in one process: it
// loads each plugin through lilv, offers what common plugins ask for (URID
// map, options with the block lengths and the sample rate, bounded block
// lengths, a worker that runs in the same thread), feeds the same white noise
// at 48 kHz and times whole periods. Repetitions are interleaved across the
// plugins so that a busy moment of the machine hits all of them alike.
//
// usage: peer_host PERIOD REPETITIONS SECONDS NAME=URI[#symbol=value...] ...
// Prints one line per entry: name, median ns per sample, or why it was skipped.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const double RATE = 48000.0;

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

struct Entry {
    std::string name;
    std::string uri;
    std::vector<std::pair<std::string, float>> settings;
    LilvInstance* instance = nullptr;
    Worker worker;
    std::vector<float> controls;
    std::vector<std::vector<float>> audio;
    std::vector<std::vector<uint64_t>> atoms;
    std::vector<double> ns_per_sample;
    std::string skipped;
};

// NAME=URI#sym=v#sym=v
Entry parse(const std::string& arg)
{
    Entry e;
    const size_t eq = arg.find('=');
    e.name = arg.substr(0, eq);
    std::string rest = arg.substr(eq + 1);
    size_t hash = rest.find('#');
    e.uri = rest.substr(0, hash);
    while (hash != std::string::npos) {
        const size_t next = rest.find('#', hash + 1);
        const std::string kv = rest.substr(hash + 1, next == std::string::npos ? std::string::npos
                                                                              : next - hash - 1);
        const size_t k = kv.find('=');
        e.settings.emplace_back(kv.substr(0, k), std::strtof(kv.c_str() + k + 1, nullptr));
        hash = next;
    }
    return e;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PERIOD REPETITIONS SECONDS NAME=URI[#sym=v...] ...\n", argv[0]);
        return 2;
    }
    const uint32_t period = static_cast<uint32_t>(std::atoi(argv[1]));
    const int repetitions = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const uint32_t periods = static_cast<uint32_t>(seconds * RATE / period);

    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    const LilvPlugins* all = lilv_world_get_all_plugins(world);

    UridMap urids;
    LV2_URID_Map map = {&urids, map_uri};
    LV2_URID_Unmap unmap = {&urids, unmap_uri};
    const int32_t block = static_cast<int32_t>(period);
    const float rate_f = static_cast<float>(RATE);
    const LV2_URID int_type = map_uri(&urids, LV2_ATOM__Int);
    const LV2_URID float_type = map_uri(&urids, LV2_ATOM__Float);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&urids, LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
         int_type, &block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&urids, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
         int_type, &block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&urids, LV2_BUF_SIZE__nominalBlockLength),
         sizeof(int32_t), int_type, &block},
        {LV2_OPTIONS_INSTANCE, 0, map_uri(&urids, LV2_PARAMETERS__sampleRate), sizeof(float),
         float_type, &rate_f},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };

    LilvNode* audio_class = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* control_class = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* atom_class = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input_class = lilv_new_uri(world, LV2_CORE__InputPort);
    LilvNode* optional = lilv_new_uri(world, LV2_CORE__connectionOptional);

    std::vector<Entry> entries;
    for (int a = 4; a < argc; ++a) entries.push_back(parse(argv[a]));
    uint32_t seed = 1;
    std::vector<float> noise(period);
    for (float& x : noise) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f;
    }

    for (Entry& e : entries) {
        LilvNode* uri = lilv_new_uri(world, e.uri.c_str());
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(all, uri);
        lilv_node_free(uri);
        if (!plugin) {
            e.skipped = "not installed";
            continue;
        }
        LV2_Worker_Schedule sched = {&e.worker, schedule};
        const LV2_Feature map_f = {LV2_URID__map, &map};
        const LV2_Feature unmap_f = {LV2_URID__unmap, &unmap};
        const LV2_Feature options_f = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        const LV2_Feature bounded_f = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
        const LV2_Feature sched_f = {LV2_WORKER__schedule, &sched};
        const LV2_Feature* features[] = {&map_f, &unmap_f, &options_f, &bounded_f, &sched_f, nullptr};
        e.instance = lilv_plugin_instantiate(plugin, RATE, features);
        if (!e.instance) {
            e.skipped = "instantiate failed (a required feature missing?)";
            continue;
        }
        e.worker.instance = e.instance;
        e.worker.iface = static_cast<const LV2_Worker_Interface*>(
            lilv_instance_get_extension_data(e.instance, LV2_WORKER__interface));
        const uint32_t n = lilv_plugin_get_num_ports(plugin);
        std::vector<float> min(n), max(n), def(n);
        lilv_plugin_get_port_ranges_float(plugin, min.data(), max.data(), def.data());
        e.controls.assign(n, 0.0f);
        e.audio.resize(n);
        e.atoms.resize(n);
        for (uint32_t p = 0; p < n; ++p) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
            if (lilv_port_is_a(plugin, port, control_class)) {
                e.controls[p] = std::isnan(def[p]) ? 0.0f : def[p];
                const char* sym = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
                for (auto& [k, v] : e.settings)
                    if (k == sym) e.controls[p] = v;
                lilv_instance_connect_port(e.instance, p, &e.controls[p]);
            } else if (lilv_port_is_a(plugin, port, audio_class)) {
                e.audio[p] = lilv_port_is_a(plugin, port, input_class) ? noise : std::vector<float>(period);
                lilv_instance_connect_port(e.instance, p, e.audio[p].data());
            } else if (lilv_port_is_a(plugin, port, atom_class)) {
                // An empty sequence in, room for 8 KiB of events out.
                e.atoms[p].assign(1024, 0);
                LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(e.atoms[p].data());
                const bool in = lilv_port_is_a(plugin, port, input_class);
                seq->atom.type = map_uri(&urids, in ? LV2_ATOM__Sequence : LV2_ATOM__Chunk);
                seq->atom.size = in ? sizeof(LV2_Atom_Sequence_Body) : 8192 - sizeof(LV2_Atom);
                lilv_instance_connect_port(e.instance, p, seq);
            } else if (!lilv_port_has_property(plugin, port, optional)) {
                e.skipped = "has a port kind this host does not feed";
            }
        }
        if (!e.skipped.empty()) continue;
        lilv_instance_activate(e.instance);
    }

    auto run_once = [&](Entry& e) {
        for (size_t p = 0; p < e.atoms.size(); ++p) {
            if (e.atoms[p].empty()) continue;
            LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(e.atoms[p].data());
            if (seq->atom.type == map_uri(&urids, LV2_ATOM__Sequence))
                seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            else
                seq->atom.size = 8192 - sizeof(LV2_Atom);
        }
        lilv_instance_run(e.instance, period);
        if (e.worker.iface && !e.worker.responses.empty()) {
            for (auto& r : e.worker.responses)
                e.worker.iface->work_response(lilv_instance_get_handle(e.instance),
                                              static_cast<uint32_t>(r.size()), r.data());
            e.worker.responses.clear();
        }
        if (e.worker.iface && e.worker.iface->end_run)
            e.worker.iface->end_run(lilv_instance_get_handle(e.instance));
    };

    // Warm up: one second through each, so tails and caches are in use.
    for (Entry& e : entries)
        if (e.skipped.empty())
            for (uint32_t i = 0; i < static_cast<uint32_t>(RATE / period); ++i) run_once(e);

    for (int rep = 0; rep < repetitions; ++rep) {
        for (Entry& e : entries) {
            if (!e.skipped.empty()) continue;
            const auto t0 = std::chrono::steady_clock::now();
            for (uint32_t i = 0; i < periods; ++i) run_once(e);
            const auto t1 = std::chrono::steady_clock::now();
            e.ns_per_sample.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() /
                                      (static_cast<double>(periods) * period));
        }
    }

    for (Entry& e : entries) {
        if (!e.skipped.empty()) {
            std::printf("%s skipped: %s\n", e.name.c_str(), e.skipped.c_str());
            continue;
        }
        std::sort(e.ns_per_sample.begin(), e.ns_per_sample.end());
        std::printf("%s %.1f\n", e.name.c_str(), e.ns_per_sample[e.ns_per_sample.size() / 2]);
        lilv_instance_deactivate(e.instance);
        lilv_instance_free(e.instance);
    }
    for (LilvNode* node : {audio_class, control_class, atom_class, input_class, optional})
        lilv_node_free(node);
    lilv_world_free(world);
    return 0;
}
