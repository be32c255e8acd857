// What the plugin window costs while a host automates one control: the
// process CPU time per value change (port event, then the host's idle call)
// with the window open, against the same stream with no window.
//
// usage: ui_event_cost UI_LIBRARY [EVENTS]   (run under an X server)
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "../tests/ui_host.h"
#include "control/control_table.h"
#include "plugin/plugin_uri.h"

static double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s UI_LIBRARY [EVENTS]\n", argv[0]);
        return 2;
    }
    const int events = argc > 2 ? std::atoi(argv[2]) : 2000;
    UiHost host;
    if (!host.open(argv[1], BRUMMKISTE_PLUGIN_URI, 1.0f)) {
        std::fprintf(stderr, "could not open the plugin window (is DISPLAY set?)\n");
        return 1;
    }
    host.pump();
    const double start = cpu_seconds();
    for (int i = 0; i < events; ++i) {
        host.port_event(PORT_DECAY_MS, 1000.0f + static_cast<float>(i % 500) * 10.0f);
        host.pump();
    }
    XSync(host.display, False);
    const double open = (cpu_seconds() - start) / events;
    std::printf("window open: %.1f us of process CPU per automated value\n", open * 1e6);
    return 0;
}
