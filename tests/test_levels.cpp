// Levels a musician meets: the reverb against the dry signal with the
// declared defaults, and each mode's loudness against mode 1. The figures are
// printed for docs/development.md; the default must sit 12 to 18 dB below the dry.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdio>
#include <vector>

#include "control/control_table.h"
#include "engine/modes.h"
#include "lilv_world.h"
#include "lv2/plugin_uri.h"
#include "signals.h"

namespace {

// Renders `input` in periods of 256 through the plugin with `controls`.
void render(const LilvPlugin* plugin, std::vector<float> controls, const std::vector<float>& input,
            std::vector<float>* l, std::vector<float>* r)
{
    LilvInstance* inst = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
    ASSERT_NE(inst, nullptr);
    l->assign(input.size(), 0.0f);
    r->assign(input.size(), 0.0f);
    std::vector<float> in = input;
    for (uint32_t p = PORT_DRY_DB; p < PORT_COUNT; ++p) lilv_instance_connect_port(inst, p, &controls[p]);
    lilv_instance_activate(inst);
    for (size_t s = 0; s < input.size(); s += 256) {
        lilv_instance_connect_port(inst, PORT_IN, &in[s]);
        lilv_instance_connect_port(inst, PORT_OUT_L, &(*l)[s]);
        lilv_instance_connect_port(inst, PORT_OUT_R, &(*r)[s]);
        lilv_instance_run(inst, static_cast<uint32_t>(std::min<size_t>(256, input.size() - s)));
    }
    lilv_instance_deactivate(inst);
    lilv_instance_free(inst);
}

}  // namespace

TEST(Levels, DefaultReverbSitsBelowTheDryAndModesAreMeasured)
{
    const LilvPluginWorld w(BRUMMKISTE_PLUGIN_URI);
    const LilvPlugin* plugin = w.plugin;
    ASSERT_NE(plugin, nullptr);
    const std::vector<float>& def = w.def;
    const std::vector<float>& min = w.min;

    const std::vector<float> hits = click_train();
    std::vector<float> l, r;
    std::vector<float> dry_only = def;
    dry_only[PORT_WET_A_DB] = min[PORT_WET_A_DB];
    render(plugin, dry_only, hits, &l, &r);
    const double dry = rms_db(l, r);

    double wet[MODE_COUNT];
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        std::vector<float> c = def;
        c[PORT_DRY_DB] = min[PORT_DRY_DB];
        c[PORT_MODE_SEL] = static_cast<float>(mode);
        render(plugin, c, hits, &l, &r);
        wet[mode] = rms_db(l, r);
    }
    const int default_mode = static_cast<int>(def[PORT_MODE_SEL]);
    std::printf("dry %.1f dBFS RMS; reverb at the defaults %.1f dB below it\n", dry,
                dry - wet[default_mode]);
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        std::printf("mode %d: %+.1f dB against mode 1\n", mode, wet[mode] - wet[1]);
        // The figure the window and docs/development.md give.
        EXPECT_NEAR(wet[mode] - wet[1], MODE_LOUDNESS_DB[mode], 1.0) << "mode " << mode;
    }
    EXPECT_GE(dry - wet[default_mode], 12.0);
    EXPECT_LE(dry - wet[default_mode], 18.0);
}
