// The plugin as a real host sees it: discovered and loaded by lilv from the
// build tree (LV2_PATH), its description data checked against the port
// table, and instances created through the descriptor that lilv hands out.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cmath>
#include <string>
#include <vector>

#include "lv2/plugin_uri.h"
#include "control/control_table.h"
#include "engine/modes.h"
#include "lilv_world.h"

namespace {

#define LV2_CORE "http://lv2plug.in/ns/lv2core#"

struct World : LilvPluginWorld {
    World() : LilvPluginWorld(BRUMMKISTE_PLUGIN_URI) {}
    bool is_a(const LilvPort* port, const char* cls) const
    {
        LilvNode* node = lilv_new_uri(world, cls);
        const bool result = lilv_port_is_a(plugin, port, node);
        lilv_node_free(node);
        return result;
    }
};

struct Ranges {
    std::vector<float> min, max, def;
    explicit Ranges(const LilvPlugin* plugin)
        : min(PORT_COUNT), max(PORT_COUNT), def(PORT_COUNT)
    {
        lilv_plugin_get_port_ranges_float(plugin, min.data(), max.data(), def.data());
    }
};

struct Peaks {
    float early = 0.0f;  // while the input plays and shortly after
    float late = 0.0f;   // the last half second
};

// Renders `seconds` of a noise burst followed by silence with the given
// controls; a non-finite sample gives infinite peaks.
Peaks render_peaks(const World& w, const std::vector<float>& controls, double seconds)
{
    Peaks peaks;
    LilvInstance* inst = lilv_plugin_instantiate(w.plugin, 48000.0, nullptr);
    if (!inst) return Peaks{NAN, NAN};
    std::vector<float> c = controls;
    std::vector<float> in(512), l(512), r(512);
    for (uint32_t p = 0; p < PORT_COUNT; ++p) lilv_instance_connect_port(inst, p, &c[p]);
    lilv_instance_connect_port(inst, PORT_IN, in.data());
    lilv_instance_connect_port(inst, PORT_OUT_L, l.data());
    lilv_instance_connect_port(inst, PORT_OUT_R, r.data());
    lilv_instance_activate(inst);
    uint32_t seed = 1;
    const size_t periods = static_cast<size_t>(seconds * 48000.0 / 512.0);
    const size_t late_start = periods - 47;
    for (size_t b = 0; b < periods; ++b) {
        for (float& x : in) {
            seed = seed * 1664525u + 1013904223u;
            x = b < 20 ? static_cast<float>(static_cast<int32_t>(seed)) * (0.5f / 2147483648.0f) : 0.0f;
        }
        lilv_instance_run(inst, 512);
        float peak = 0.0f;
        for (size_t i = 0; i < 512; ++i) {
            if (!std::isfinite(l[i]) || !std::isfinite(r[i])) peak = INFINITY;
            peak = std::fmax(peak, std::fmax(std::fabs(l[i]), std::fabs(r[i])));
        }
        float& slot = b >= late_start ? peaks.late : peaks.early;
        slot = std::fmax(slot, peak);
    }
    lilv_instance_deactivate(inst);
    lilv_instance_free(inst);
    return peaks;
}

}  // namespace

TEST(Host, DiscoversThePluginWithThePortTable)
{
    World w;
    ASSERT_NE(w.plugin, nullptr) << "plugin not found; LV2_PATH=" << getenv("LV2_PATH");
    ASSERT_EQ(lilv_plugin_get_num_ports(w.plugin), static_cast<uint32_t>(PORT_COUNT));
    for (const PortInfo& info : PORT_TABLE) {
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, info.index);
        ASSERT_NE(port, nullptr);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(w.plugin, port)), info.symbol);
        const bool audio = info.kind != PORT_KIND_CONTROL_IN;
        EXPECT_EQ(w.is_a(port, LV2_CORE "AudioPort"), audio) << info.symbol;
        EXPECT_EQ(w.is_a(port, LV2_CORE "ControlPort"), !audio) << info.symbol;
        EXPECT_EQ(w.is_a(port, LV2_CORE "OutputPort"), info.kind == PORT_KIND_AUDIO_OUT)
            << info.symbol;
        EXPECT_EQ(w.is_a(port, LV2_CORE "InputPort"), info.kind != PORT_KIND_AUDIO_OUT)
            << info.symbol;
    }
}

// The Turtle files say to hosts what the control table says to the code:
// name, declared range, default, unit, scale, group and the mode menu, for the
// mono plugin and for the stereo-input variant (its controls one index up).
TEST(Host, TurtleDescriptionsMatchTheControlTable)
{
    World w;
    ASSERT_NE(w.plugin, nullptr);
    LilvNode* unit_pred = lilv_new_uri(w.world, "http://lv2plug.in/ns/extensions/units#unit");
    LilvNode* group_pred = lilv_new_uri(w.world, "http://lv2plug.in/ns/ext/port-groups#group");
    LilvNode* symbol_pred = lilv_new_uri(w.world, LV2_CORE "symbol");
    LilvNode* name_pred = lilv_new_uri(w.world, LV2_CORE "name");
    LilvNode* logarithmic = lilv_new_uri(w.world, "http://lv2plug.in/ns/ext/port-props#logarithmic");
    LilvNode* stereo_uri = lilv_new_uri(w.world, BRUMMKISTE_STEREO_URI);
    const LilvPlugin* stereo = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w.world), stereo_uri);
    ASSERT_NE(stereo, nullptr) << "the stereo variant is not in the bundle";
    ASSERT_EQ(lilv_plugin_get_num_ports(stereo), static_cast<uint32_t>(STEREO_PORT_COUNT));
    for (int k = 0; k < STEREO_FIRST_CONTROL; ++k) {
        const LilvPort* port = lilv_plugin_get_port_by_index(stereo, k);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(stereo, port)), STEREO_AUDIO_SYMBOLS[k]);
    }

    for (const LilvPlugin* plugin : {w.plugin, stereo}) {
        std::vector<float> min(lilv_plugin_get_num_ports(plugin)), max(min.size()), def(min.size());
        lilv_plugin_get_port_ranges_float(plugin, min.data(), max.data(), def.data());
        for (const PortInfo& info : PORT_TABLE) {
            if (info.kind != PORT_KIND_CONTROL_IN) continue;
            const uint32_t index = plugin == stereo ? stereo_port_of(info.index) : uint32_t{info.index};
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
            EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), info.symbol);
            LilvNode* name = lilv_port_get_name(plugin, port);
            EXPECT_STREQ(lilv_node_as_string(name), info.name);
            lilv_node_free(name);
            EXPECT_EQ(min[index], info.minimum) << info.symbol;
            EXPECT_EQ(def[index], info.default_value) << info.symbol;
            EXPECT_EQ(max[index], info.maximum) << info.symbol;
            EXPECT_LE(info.minimum, info.default_value) << info.symbol;
            EXPECT_LE(info.default_value, info.maximum) << info.symbol;
            EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic), info.logarithmic)
                << info.symbol;
            LilvNodes* units = lilv_port_get_value(plugin, port, unit_pred);
            const std::string unit =
                units ? lilv_node_as_uri(lilv_nodes_get_first(units)) : std::string();
            lilv_nodes_free(units);
            EXPECT_EQ(unit, info.unit == UNIT_NONE ? std::string()
                                                   : std::string("http://lv2plug.in/ns/extensions/units#") +
                                                         UNIT_LV2_NAME[info.unit])
                << info.symbol;
            LilvNodes* groups = lilv_port_get_value(plugin, port, group_pred);
            std::string group, group_name;
            if (groups) {
                const LilvNode* g = lilv_nodes_get_first(groups);
                LilvNode* sym = lilv_world_get(w.world, g, symbol_pred, nullptr);
                group = sym ? lilv_node_as_string(sym) : "?";
                lilv_node_free(sym);
                // Generic host views (jalv) head a group with its lv2:name.
                LilvNode* gname = lilv_world_get(w.world, g, name_pred, nullptr);
                group_name = gname ? lilv_node_as_string(gname) : "(none)";
                lilv_node_free(gname);
                EXPECT_EQ(group_name, GROUP_LABELS[info.group]) << info.symbol;
            }
            lilv_nodes_free(groups);
            EXPECT_EQ(group, GROUP_SYMBOLS[info.group]) << info.symbol;
        }

        // The bypass carries the designation hosts look for.
        LilvNode* input_class = lilv_new_uri(w.world, LV2_CORE "InputPort");
        LilvNode* enabled = lilv_new_uri(w.world, LV2_CORE "enabled");
        const LilvPort* bypass = lilv_plugin_get_port_by_designation(plugin, input_class, enabled);
        ASSERT_NE(bypass, nullptr);
        EXPECT_EQ(lilv_port_get_index(plugin, bypass),
                  plugin == stereo ? stereo_port_of(PORT_ENABLED) : uint32_t{PORT_ENABLED});
        LilvNode* toggled = lilv_new_uri(w.world, LV2_CORE "toggled");
        EXPECT_TRUE(lilv_port_has_property(plugin, bypass, toggled));
        for (LilvNode* n : {input_class, enabled, toggled}) lilv_node_free(n);

        const LilvPort* mode = lilv_plugin_get_port_by_index(
            plugin, plugin == stereo ? stereo_port_of(PORT_MODE_SEL) : uint32_t{PORT_MODE_SEL});
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, mode);
        ASSERT_EQ(lilv_scale_points_size(points), static_cast<unsigned>(MODE_COUNT));
        LILV_FOREACH (scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            const int value = lilv_node_as_int(lilv_scale_point_get_value(point));
            ASSERT_TRUE(value >= 0 && value < MODE_COUNT);
            EXPECT_STREQ(lilv_node_as_string(lilv_scale_point_get_label(point)), MODE_LABELS[value]);
        }
        lilv_scale_points_free(points);
    }
    for (LilvNode* n : {unit_pred, group_pred, symbol_pred, name_pred, logarithmic, stereo_uri})
        lilv_node_free(n);
}

TEST(Host, InstanceThroughLilvRendersAReverb)
{
    World w;
    ASSERT_NE(w.plugin, nullptr);
    Ranges ranges(w.plugin);
    const Peaks peaks = render_peaks(w, ranges.def, 1.5);
    EXPECT_TRUE(std::isfinite(peaks.early));
    EXPECT_GT(peaks.early, 0.01f);
    EXPECT_LT(peaks.late, peaks.early);
}

// Inside the declared ranges no setting may make the output grow without
// bound: after the input stops, the tail never climbs above twice its early peak.
TEST(Host, EveryControlAtItsDeclaredExtremesStaysBounded)
{
    World w;
    ASSERT_NE(w.plugin, nullptr);
    Ranges ranges(w.plugin);
    for (int mode = 0; mode <= 4; ++mode) {
        for (const PortInfo& info : PORT_TABLE) {
            if (info.kind != PORT_KIND_CONTROL_IN || info.index == PORT_MODE_SEL) continue;
            for (bool high : {false, true}) {
                std::vector<float> c = ranges.def;
                c[PORT_MODE_SEL] = static_cast<float>(mode);
                c[info.index] = high ? ranges.max[info.index] : ranges.min[info.index];
                const Peaks peaks = render_peaks(w, c, 2.0);
                EXPECT_TRUE(std::isfinite(peaks.early));
                EXPECT_LE(peaks.late, 2.0f * peaks.early + 1e-6f)
                    << "mode " << mode << " " << info.symbol << " = " << c[info.index];
            }
        }
    }
}

TEST(Host, ExtremeCombinationsOfTheDelayLinesStayBounded)
{
    World w;
    ASSERT_NE(w.plugin, nullptr);
    Ranges ranges(w.plugin);
    for (int mode = 0; mode <= 4; ++mode) {
        for (float feedback : {ranges.min[PORT_DELAY_FEEDBACK], ranges.max[PORT_DELAY_FEEDBACK]}) {
            for (float pitch : {ranges.min[PORT_PITCH_0], 0.0f, 7.0f, ranges.max[PORT_PITCH_0]}) {
                std::vector<float> c = ranges.def;
                c[PORT_MODE_SEL] = static_cast<float>(mode);
                c[PORT_DELAY_FEEDBACK] = feedback;
                c[PORT_DELAY_MIX] = ranges.max[PORT_DELAY_MIX];
                c[PORT_MOD_DEPTH] = ranges.max[PORT_MOD_DEPTH];
                c[PORT_XFADE_MS] = ranges.min[PORT_XFADE_MS];
                c[PORT_DELAY_MS] = ranges.min[PORT_DELAY_MS];
                for (int k = 0; k < 4; ++k) c[PORT_PITCH_0 + k] = k % 2 ? -pitch : pitch;
                c[PORT_WET_A_DB] = ranges.max[PORT_WET_A_DB];
                c[PORT_WET_B_DB] = ranges.max[PORT_WET_B_DB];
                c[PORT_DECAY_MS] = 170000.0f;
                const Peaks peaks = render_peaks(w, c, 4.0);
                EXPECT_TRUE(std::isfinite(peaks.early));
                EXPECT_LE(peaks.late, 2.0f * peaks.early)
                    << "mode " << mode << " feedback " << feedback << " pitch " << pitch;
            }
        }
    }
}
