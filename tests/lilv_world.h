// The plugin as an LV2 host finds it: a lilv world with every bundle on
// LV2_PATH (or one bundle), the plugin of a URI in it, and its declared
// control ranges in port order. For the tests that read the bundle's
// description as hosts do.
#pragma once

#include <lilv/lilv.h>

#include <vector>

#include "control/control_table.h"

struct LilvPluginWorld {
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
    std::vector<float> min, max, def;  // each port's declared range and default

    // `bundle`: a bundle folder's path ending in "/"; null loads LV2_PATH.
    explicit LilvPluginWorld(const char* uri, const char* bundle = nullptr)
        : min(PORT_COUNT), max(PORT_COUNT), def(PORT_COUNT)
    {
        if (bundle) {
            LilvNode* b = lilv_new_file_uri(world, nullptr, bundle);
            lilv_world_load_bundle(world, b);
            lilv_node_free(b);
        } else {
            lilv_world_load_all(world);
        }
        LilvNode* u = lilv_new_uri(world, uri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), u);
        lilv_node_free(u);
        if (plugin && lilv_plugin_get_num_ports(plugin) == PORT_COUNT)
            lilv_plugin_get_port_ranges_float(plugin, min.data(), max.data(), def.data());
    }
    ~LilvPluginWorld() { lilv_world_free(world); }
    LilvPluginWorld(const LilvPluginWorld&) = delete;
    LilvPluginWorld& operator=(const LilvPluginWorld&) = delete;
};
