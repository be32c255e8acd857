// Screenshots of the plugin window, one PNG per mode, as a host shows it
// (run under an X server, e.g. xvfb-run).
//
// usage: ui_screenshot UI_LIBRARY OUT_PREFIX [SCALE]   (writes OUT_PREFIX-modeN.png)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/ui_host.h"
#include "control/control_table.h"
#include "lv2/plugin_uri.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s UI_LIBRARY OUT_PREFIX [SCALE]\n", argv[0]);
        return 2;
    }
    UiHost host;
    if (!host.open(argv[1], BRUMMKISTE_PLUGIN_URI, argc > 3 ? std::strtof(argv[3], nullptr) : 1.0f)) {
        std::fprintf(stderr, "could not open the plugin window (is DISPLAY set?)\n");
        return 1;
    }
    for (int mode = 0; mode < 5; ++mode) {
        host.port_event(PORT_MODE_SEL, static_cast<float>(mode));
        host.pump_for(1500);  // the response view
        const std::string path = std::string(argv[2]) + "-mode" + std::to_string(mode) + ".png";
        if (!host.save_png(path.c_str())) return 1;
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
