// The CLAP plugins, loaded as a CLAP host loads them: what they declare
// follows the control table, their output equals the LV2 plugin's bit for bit
// for the same input, parameter values and block sizes, a saved state
// brings back every parameter exactly, and the VST3 preset files hold the
// bundle's presets.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "clap_host.h"
#include "control/control_table.h"
#include "lilv_world.h"
#include "lv2/plugin_uri.h"

using clap_test::Instance;
using clap_test::Library;
using clap_test::ParamEvents;

namespace {

struct Variant {
    const char* clap_path;
    bool stereo;
    const char* id;
};

const Variant VARIANTS[] = {
    {CLAP_MONO, false, "audio.brummkiste.tiefgarten"},
    {CLAP_STEREO, true, "audio.brummkiste.tiefgarten-stereo"},
};

clap_id param_of(PortIndex port)
{
    return static_cast<clap_id>(port - PORT_DRY_DB);
}

// What the host sets, block by block: control values (the LV2 view; the
// bypass parameter is 1 - enabled), applied before the block.
typedef std::map<int, std::map<PortIndex, float>> Changes;

struct Render {
    std::vector<float> l, r;
};

std::vector<float> test_input(size_t n, uint32_t seed)
{
    std::vector<float> x(n, 0.0f);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(seed >> 8) - (1 << 23)) / (1 << 23);
        if (i < 3000) x[i] = 0.5f * noise;
        if (i % 20011 == 7000) x[i] = 0.9f;
    }
    return x;
}

// Both outputs as long as all the blocks, silent.
void silence(Render* out, const std::vector<uint32_t>& blocks)
{
    size_t total = 0;
    for (uint32_t n : blocks) total += n;
    out->l.assign(total, 0.0f);
    out->r.assign(total, 0.0f);
}

Render render_lv2(const Variant& v, double rate, const std::vector<uint32_t>& blocks,
                  const Changes& changes, const std::vector<float>& in_l,
                  const std::vector<float>& in_r)
{
    Render out;
    void* lib = dlopen(LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return out;
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(lib, "lv2_descriptor"));
    const LV2_Descriptor* d = entry(v.stereo ? 1 : 0);
    LV2_Handle h = d->instantiate(d, rate, "", nullptr);
    float controls[PORT_COUNT];
    for (const PortInfo& info : PORT_TABLE) {
        controls[info.index] = info.default_value;
        if (info.kind == PORT_KIND_CONTROL_IN)
            d->connect_port(h, v.stereo ? stereo_port_of(info.index) : static_cast<uint32_t>(info.index),
                           &controls[info.index]);
    }
    d->activate(h);
    silence(&out, blocks);
    size_t at = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
        auto it = changes.find(static_cast<int>(b));
        if (it != changes.end())
            for (const auto& [port, value] : it->second) controls[port] = value;
        if (v.stereo) {
            d->connect_port(h, STEREO_IN_L, const_cast<float*>(in_l.data() + at));
            d->connect_port(h, STEREO_IN_R, const_cast<float*>(in_r.data() + at));
            d->connect_port(h, STEREO_OUT_L, out.l.data() + at);
            d->connect_port(h, STEREO_OUT_R, out.r.data() + at);
        } else {
            d->connect_port(h, PORT_IN, const_cast<float*>(in_l.data() + at));
            d->connect_port(h, PORT_OUT_L, out.l.data() + at);
            d->connect_port(h, PORT_OUT_R, out.r.data() + at);
        }
        d->run(h, blocks[b]);
        at += blocks[b];
    }
    d->cleanup(h);
    dlclose(lib);
    return out;
}

// in_place: the left (or only) input is handed over in the left output's
// buffer, as hosts that process in place do.
Render render_clap(const Variant& v, double rate, const std::vector<uint32_t>& blocks,
                   const Changes& changes, const std::vector<float>& in_l,
                   const std::vector<float>& in_r, bool in_place)
{
    Render out;
    Library library(v.clap_path);
    Instance inst(library, v.stereo ? 2 : 1);
    if (!inst.plugin || !inst.start(rate, 4096)) return out;
    silence(&out, blocks);
    size_t at = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
        ParamEvents events;
        auto it = changes.find(static_cast<int>(b));
        if (it != changes.end())
            for (const auto& [port, value] : it->second)
                events.set(param_of(port), port == PORT_ENABLED ? 1.0 - value : value);
        float* outs[2] = {out.l.data() + at, out.r.data() + at};
        float* ins[2] = {const_cast<float*>(in_l.data() + at), const_cast<float*>(in_r.data() + at)};
        if (in_place) {
            std::memcpy(outs[0], ins[0], blocks[b] * sizeof(float));
            ins[0] = outs[0];
        }
        EXPECT_NE(inst.process(ins, outs, blocks[b], &events), CLAP_PROCESS_ERROR);
        at += blocks[b];
    }
    inst.stop();
    return out;
}

bool bit_equal(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(Clap, EntryFactoryAndParametersFollowTheControlTable)
{
    for (const Variant& v : VARIANTS) {
        Library library(v.clap_path);
        ASSERT_NE(library.factory, nullptr) << v.clap_path << ": " << dlerror();
        ASSERT_EQ(library.factory->get_plugin_count(library.factory), 1u);
        const clap_plugin_descriptor_t* d = library.factory->get_plugin_descriptor(library.factory, 0);
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->id, v.id);
        bool reverb = false;
        for (const char* const* f = d->features; f && *f; ++f) reverb |= !std::strcmp(*f, "reverb");
        EXPECT_TRUE(reverb);

        Instance inst(library, v.stereo ? 2 : 1);
        ASSERT_NE(inst.params, nullptr);
        ASSERT_EQ(inst.params->count(inst.plugin), static_cast<uint32_t>(CONTROL_COUNT));
        for (uint32_t i = 0; i < CONTROL_COUNT; ++i) {
            const PortInfo& info = PORT_TABLE[PORT_DRY_DB + i];
            clap_param_info_t p = {};
            ASSERT_TRUE(inst.params->get_info(inst.plugin, i, &p));
            EXPECT_EQ(p.id, i) << info.symbol;
            EXPECT_TRUE(p.flags & CLAP_PARAM_IS_AUTOMATABLE) << info.symbol;
            double value = -1;
            ASSERT_TRUE(inst.params->get_value(inst.plugin, p.id, &value));
            if (info.index == PORT_ENABLED) {
                // The host's bypass: 1 is bypassed, so 0 is the default.
                EXPECT_TRUE(p.flags & CLAP_PARAM_IS_BYPASS);
                EXPECT_EQ(p.default_value, 0.0);
                EXPECT_EQ(value, 0.0);
                continue;
            }
            EXPECT_STREQ(p.name, info.name);
            EXPECT_EQ(p.min_value, info.minimum) << info.symbol;
            EXPECT_EQ(p.max_value, info.maximum) << info.symbol;
            EXPECT_EQ(p.default_value, info.default_value) << info.symbol;
            EXPECT_EQ(value, info.default_value) << info.symbol;
            EXPECT_EQ((p.flags & CLAP_PARAM_IS_STEPPED) != 0, info.index == PORT_MODE_SEL) << info.symbol;
        }
        // The mode reads as its name.
        char text[CLAP_NAME_SIZE] = {};
        ASSERT_TRUE(inst.params->value_to_text(inst.plugin, param_of(PORT_MODE_SEL), 2.0, text, sizeof text));
        EXPECT_STREQ(text, MODE_LABELS[2]);
    }
}

// Rates, block sizes from 1 to 4096, parameter changes between blocks (the
// mode, the room, the bypass), separate and in-place buffers.
TEST(Clap, OutputEqualsTheLv2PluginBitForBit)
{
    std::vector<uint32_t> blocks = {1, 4096, 17, 256, 1000, 3, 64, 4096, 2048, 16, 15, 512};
    while (blocks.size() < 48) blocks.push_back(blocks[blocks.size() % 12] | 1);
    size_t total = 0;
    for (uint32_t n : blocks) total += n;
    const std::vector<float> in_l = test_input(total, 1), in_r = test_input(total, 2);
    Changes changes;
    changes[0] = {{PORT_DECAY_MS, 3333.3f}, {PORT_SIZE_MAX, 60.5f}, {PORT_MODE_SEL, 2.0f},
                  {PORT_WIDTH, -30.0f},     {PORT_PITCH_0, 7.0f},   {PORT_DELAY_MIX, 30.0f},
                  {PORT_WET_A_DB, -12.0f}};
    changes[5] = {{PORT_MODE_SEL, 4.0f}, {PORT_DECAY_MS, 8000.0f}, {PORT_HP_LOW, 200.0f}};
    changes[9] = {{PORT_ENABLED, 0.0f}, {PORT_SIZE_MIN, 3.25f}};
    changes[14] = {{PORT_ENABLED, 1.0f}, {PORT_MODE_SEL, 0.0f}};
    changes[20] = {{PORT_MODE_SEL, 1.0f}, {PORT_JITTER, 80.0f}};
    for (const Variant& v : VARIANTS)
        for (double rate : {44100.0, 48000.0, 96000.0}) {
            const Render lv2 = render_lv2(v, rate, blocks, changes, in_l, in_r);
            ASSERT_EQ(lv2.l.size(), total);
            for (bool in_place : {false, true}) {
                const Render clap = render_clap(v, rate, blocks, changes, in_l, in_r, in_place);
                EXPECT_TRUE(bit_equal(lv2.l, clap.l) && bit_equal(lv2.r, clap.r))
                    << v.id << " at " << rate << " Hz" << (in_place ? ", in place" : "");
            }
        }
}

TEST(Clap, SavedStateBringsBackEveryParameterExactly)
{
    for (const Variant& v : VARIANTS) {
        Library library(v.clap_path);
        clap_test::Stream saved;
        std::vector<double> set(CONTROL_COUNT);
        {
            Instance inst(library, v.stereo ? 2 : 1);
            ASSERT_NE(inst.state, nullptr);
            ASSERT_TRUE(inst.start(48000.0, 512));
            ParamEvents events;
            for (uint32_t i = 0; i < CONTROL_COUNT; ++i) {
                const PortInfo& info = PORT_TABLE[PORT_DRY_DB + i];
                // Values that need every digit of a float, inside the range.
                float x = info.minimum + 0.6180339887f * (info.maximum - info.minimum);
                if (info.index == PORT_MODE_SEL) x = 3.0f;
                if (info.index == PORT_ENABLED) x = 1.0f;  // bypassed
                set[i] = x;
                events.set(i, x);
            }
            std::vector<float> l(64, 0.0f), r(64, 0.0f), in(64, 0.0f);
            float* ins[2] = {in.data(), in.data()};
            float* outs[2] = {l.data(), r.data()};
            inst.process(ins, outs, 64, &events);
            inst.stop();
            clap_ostream_t os = {&saved, clap_test::Stream::write};
            ASSERT_TRUE(inst.state->save(inst.plugin, &os));
        }
        Instance restored(library, v.stereo ? 2 : 1);
        clap_istream_t is = {&saved, clap_test::Stream::read};
        ASSERT_TRUE(restored.state->load(restored.plugin, &is));
        for (uint32_t i = 0; i < CONTROL_COUNT; ++i) {
            double value = -1;
            ASSERT_TRUE(restored.params->get_value(restored.plugin, i, &value));
            EXPECT_EQ(static_cast<float>(value), static_cast<float>(set[i]))
                << v.id << ": " << PORT_TABLE[PORT_DRY_DB + i].symbol;
        }
    }
}

// The VST3 preset files are the bundle's presets: each file names the
// variant's class id and holds a state that, loaded into the plugin (the
// VST3 and CLAP plugins save and load the same form), sets every control to
// the value that lilv reads from presets.ttl.
TEST(Clap, Vst3PresetFilesAreTheBundlesPresets)
{
    const LilvPluginWorld w(BRUMMKISTE_PLUGIN_URI, LV2_BUNDLE "/");
    LilvWorld* world = w.world;
    LilvNode* preset_class = lilv_new_uri(world, "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNode* port_pred = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#port");
    LilvNode* symbol_pred = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#symbol");
    LilvNode* value_pred = lilv_new_uri(world, "http://lv2plug.in/ns/ext/presets#value");
    LilvNode* label_pred = lilv_new_uri(world, "http://www.w3.org/2000/01/rdf-schema#label");
    LilvNode* type_pred = lilv_new_uri(world, "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
    // label -> symbol -> value
    std::map<std::string, std::map<std::string, float>> presets;
    LilvNodes* all = lilv_world_find_nodes(world, nullptr, type_pred, preset_class);
    LILV_FOREACH (nodes, it, all) {
        const LilvNode* preset = lilv_nodes_get(all, it);
        lilv_world_load_resource(world, preset);
        LilvNode* label = lilv_world_get(world, preset, label_pred, nullptr);
        ASSERT_NE(label, nullptr);
        auto& values = presets[lilv_node_as_string(label)];
        lilv_node_free(label);
        LilvNodes* ports = lilv_world_find_nodes(world, preset, port_pred, nullptr);
        LILV_FOREACH (nodes, p, ports) {
            LilvNode* sym = lilv_world_get(world, lilv_nodes_get(ports, p), symbol_pred, nullptr);
            LilvNode* val = lilv_world_get(world, lilv_nodes_get(ports, p), value_pred, nullptr);
            values[lilv_node_as_string(sym)] = lilv_node_as_float(val);
            lilv_node_free(sym);
            lilv_node_free(val);
        }
        lilv_nodes_free(ports);
    }
    lilv_nodes_free(all);
    for (LilvNode* n : {preset_class, port_pred, symbol_pred, value_pred, label_pred, type_pred})
        lilv_node_free(n);
    ASSERT_EQ(presets.size(), 24u);

    const char* const CLASS_IDS[2] = {"2046504473616C6367546B4200000000",
                                      "2046504473616C6373546B4200000000"};
    for (int variant = 0; variant < 2; ++variant) {
        const Variant& v = VARIANTS[variant];
        Library library(v.clap_path);
        for (const auto& [label, values] : presets) {
            const std::string path = std::string(VST3_PRESETS) + "/" +
                                     (v.stereo ? "Brummkiste Tiefgarten Stereo/" : "Brummkiste Tiefgarten/") +
                                     label + ".vstpreset";
            std::ifstream file(path, std::ios::binary);
            ASSERT_TRUE(file) << path;
            const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            // Header: "VST3", version 1, class id, offset of the chunk list;
            // the list: "List", one entry "Comp" with its offset and size.
            ASSERT_GT(bytes.size(), 48u);
            EXPECT_EQ(std::string(bytes.data(), 4), "VST3");
            EXPECT_EQ(std::string(bytes.data() + 8, 32), CLASS_IDS[variant]);
            int64_t list = 0, offset = 0, size = 0;
            std::memcpy(&list, bytes.data() + 40, 8);
            ASSERT_LE(static_cast<size_t>(list) + 28, bytes.size());
            EXPECT_EQ(std::string(bytes.data() + list, 4), "List");
            EXPECT_EQ(std::string(bytes.data() + list + 8, 4), "Comp");
            std::memcpy(&offset, bytes.data() + list + 12, 8);
            std::memcpy(&size, bytes.data() + list + 20, 8);
            ASSERT_LE(static_cast<size_t>(offset + size), bytes.size());

            Instance inst(library, v.stereo ? 2 : 1);
            ASSERT_NE(inst.state, nullptr);
            clap_test::Stream state;
            state.bytes.assign(bytes.begin() + offset, bytes.begin() + offset + size);
            clap_istream_t is = {&state, clap_test::Stream::read};
            ASSERT_TRUE(inst.state->load(inst.plugin, &is)) << path;
            EXPECT_EQ(values.size(), static_cast<size_t>(CONTROL_COUNT - 1)) << label;
            for (uint32_t i = 0; i < CONTROL_COUNT; ++i) {
                const PortInfo& info = PORT_TABLE[PORT_DRY_DB + i];
                double held = NAN;
                ASSERT_TRUE(inst.params->get_value(inst.plugin, i, &held));
                auto it = values.find(info.symbol);
                // The bypass is no preset's business: it stays off.
                const float expected = it != values.end() ? it->second : 0.0f;
                EXPECT_EQ(static_cast<float>(held), expected) << path << ": " << info.symbol;
            }
        }
    }
}
