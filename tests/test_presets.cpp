// Every preset shipped in the bundle, loaded through lilv the way hosts load
// them, sets every control and renders a phrase into finite, audible sound;
// on the same phrase all presets are about equally loud.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "lv2/plugin_uri.h"
#include "control/control_table.h"
#include "lilv_world.h"
#include "signals.h"

#define PSET "http://lv2plug.in/ns/ext/presets#"
#define LV2_CORE "http://lv2plug.in/ns/lv2core#"

TEST(Presets, EveryPresetSetsEveryControlAndRenders)
{
    const LilvPluginWorld w(BRUMMKISTE_PLUGIN_URI);
    LilvWorld* world = w.world;
    const LilvPlugin* plugin = w.plugin;
    ASSERT_NE(plugin, nullptr);
    LilvNode* preset_class = lilv_new_uri(world, PSET "Preset");
    LilvNode* port_pred = lilv_new_uri(world, LV2_CORE "port");
    LilvNode* symbol_pred = lilv_new_uri(world, LV2_CORE "symbol");
    LilvNode* value_pred = lilv_new_uri(world, PSET "value");
    LilvNode* label_pred = lilv_new_uri(world, "http://www.w3.org/2000/01/rdf-schema#label");

    std::vector<double> loudness;
    LilvNodes* presets = lilv_plugin_get_related(plugin, preset_class);
    EXPECT_GE(lilv_nodes_size(presets), 8u);
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(world, preset);
        LilvNode* label = lilv_world_get(world, preset, label_pred, nullptr);
        const std::string name = label ? lilv_node_as_string(label) : "?";
        lilv_node_free(label);

        std::vector<float> controls(PORT_COUNT, NAN);
        LilvNodes* ports = lilv_world_find_nodes(world, preset, port_pred, nullptr);
        LILV_FOREACH (nodes, p, ports) {
            const LilvNode* port = lilv_nodes_get(ports, p);
            LilvNode* sym = lilv_world_get(world, port, symbol_pred, nullptr);
            LilvNode* val = lilv_world_get(world, port, value_pred, nullptr);
            ASSERT_TRUE(sym && val) << name;
            for (const PortInfo& info : PORT_TABLE)
                if (std::string(lilv_node_as_string(sym)) == info.symbol)
                    controls[info.index] = lilv_node_as_float(val);
            lilv_node_free(sym);
            lilv_node_free(val);
        }
        lilv_nodes_free(ports);
        // Every control but the bypass: a preset never switches the plugin off.
        for (const PortInfo& info : PORT_TABLE) {
            if (info.kind != PORT_KIND_CONTROL_IN) continue;
            EXPECT_EQ(std::isnan(controls[info.index]), info.toggled) << name << ": " << info.symbol;
        }
        controls[PORT_ENABLED] = 1.0f;

        LilvInstance* inst = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
        ASSERT_NE(inst, nullptr);
        const std::vector<float> input = phrase();
        std::vector<float> in(480), l(480), r(480), all_l, all_r;
        for (uint32_t k = 0; k < PORT_COUNT; ++k) lilv_instance_connect_port(inst, k, &controls[k]);
        lilv_instance_connect_port(inst, PORT_IN, in.data());
        lilv_instance_connect_port(inst, PORT_OUT_L, l.data());
        lilv_instance_connect_port(inst, PORT_OUT_R, r.data());
        lilv_instance_activate(inst);
        bool finite = true;
        double tail_energy = 0.0;
        for (size_t b = 0; b < input.size() / 480; ++b) {
            std::copy(&input[b * 480], &input[b * 480] + 480, in.begin());
            lilv_instance_run(inst, 480);
            for (size_t i = 0; i < 480; ++i) {
                finite = finite && std::isfinite(l[i]) && std::isfinite(r[i]);
                if (b >= 360) tail_energy += double(l[i]) * l[i] + double(r[i]) * r[i];
            }
            all_l.insert(all_l.end(), l.begin(), l.end());
            all_r.insert(all_r.end(), r.begin(), r.end());
        }
        EXPECT_TRUE(finite) << name;
        EXPECT_GT(tail_energy, 1e-6) << name << " is silent after its input";
        loudness.push_back(rms_db(all_l, all_r));
        std::printf("%-20s %6.1f dBFS RMS\n", name.c_str(), loudness.back());
        lilv_instance_deactivate(inst);
        lilv_instance_free(inst);
    }
    lilv_nodes_free(presets);
    // On the same phrase no preset is more than 3 dB louder than another.
    const auto [quiet, loud] = std::minmax_element(loudness.begin(), loudness.end());
    EXPECT_LE(*loud - *quiet, 3.0);
    for (LilvNode* n : {preset_class, port_pred, symbol_pred, value_pred, label_pred}) lilv_node_free(n);
}
