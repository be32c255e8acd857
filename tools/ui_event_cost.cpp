// What the plugin window costs while a host automates one control: the
// process CPU time per value change (port event, then the host's idle call)
// with the window open; then what it costs at rest (the host's idle calls
// at 30 per second, nothing changing, the response view's picture done).
//
// usage: ui_event_cost UI_LIBRARY [EVENTS]   (run under an X server)
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "../tests/ui_host.h"
#include "control/control_table.h"
#include "ui/ui_model.h"
#include "lv2/plugin_uri.h"

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

    host.pump_for(1500);  // the last value's response picture

    // How soon a change shows in the response view: the decay moved to
    // 2.5 s, pumped every 5 ms (faster than hosts call) until the view's
    // pixels change.
    UiModel layout;
    ui_model_init(&layout, 1.0, nullptr, nullptr);
    const UiRect& v = layout.response;
    auto view = [&] {
        return host.pixels(static_cast<int>(v.x), static_cast<int>(v.y), static_cast<int>(v.w),
                           static_cast<int>(v.h));
    };
    for (int round = 0; round < 5; ++round) {
        host.port_event(PORT_DECAY_MS, round % 2 ? 2500.0f : 2400.0f);
        host.pump_for(1000);
        const std::vector<uint32_t> before = view();
        timespec t0, t1;
        clock_gettime(CLOCK_MONOTONIC, &t0);
        host.port_event(PORT_DECAY_MS, round % 2 ? 2400.0f : 2500.0f);
        // The view changes twice: the "updating" note, then the picture;
        // the last change within a second is the picture.
        std::vector<uint32_t> shown = before;
        double last_change = 0.0;
        for (;;) {
            host.pump(1);
            usleep(5000);
            clock_gettime(CLOCK_MONOTONIC, &t1);
            const double ms = 1e3 * static_cast<double>(t1.tv_sec - t0.tv_sec) +
                              1e-6 * static_cast<double>(t1.tv_nsec - t0.tv_nsec);
            std::vector<uint32_t> now = view();
            if (now != shown) {
                shown = now;
                last_change = ms;
            }
            if (ms > 1000.0) break;
        }
        std::printf("response view: new picture %.0f ms after the change\n", last_change);
    }
    host.pump_for(1000);

    const double rest_start = cpu_seconds();
    timespec wall0, wall1;
    clock_gettime(CLOCK_MONOTONIC, &wall0);
    for (int i = 0; i < 150; ++i) {
        host.pump(1);
        usleep(33333);
    }
    clock_gettime(CLOCK_MONOTONIC, &wall1);
    const double wall = static_cast<double>(wall1.tv_sec - wall0.tv_sec) + 1e-9 * static_cast<double>(wall1.tv_nsec - wall0.tv_nsec);
    std::printf("window at rest: %.3f %% of one core (%.1f ms of process CPU in %.1f s)\n",
                100.0 * (cpu_seconds() - rest_start) / wall, 1e3 * (cpu_seconds() - rest_start), wall);
    return 0;
}
