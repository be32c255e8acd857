// The reverb as a JACK client, for a board or a PC without a plugin host:
// the plugin's instance on JACK's process thread, its window (where an X
// server is there) on the main thread, which also waits for a signal.
// Built twice: the mono-input program, and with BRUMMKISTE_STEREO_INPUT the
// stereo-input one.
#include <jack/jack.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "control/identity.h"
#include "instance/instance.h"
#include "jack/options.h"
#ifdef BRUMMKISTE_JACK_WINDOW
#include "jack/window.h"
#endif

namespace {

#ifdef BRUMMKISTE_STEREO_INPUT
constexpr bool STEREO = true;
constexpr const char* TITLE = BRUMMKISTE_STEREO_NAME;
#else
constexpr bool STEREO = false;
constexpr const char* TITLE = BRUMMKISTE_PLUGIN_NAME;
#endif

static_assert(std::atomic<float>::is_always_lock_free, "the process thread reads the controls without a lock");

typedef struct {
    PluginInstance* instance;
    jack_port_t* in[2];  // the second only in the stereo program
    jack_port_t* out[2];
    // What the window (or the command line) asks for, read by the process
    // thread at the start of each period into the values the instance reads.
    std::atomic<float> wanted[PORT_COUNT];
    float controls[PORT_COUNT];
} Program;

volatile std::sig_atomic_t g_signal = 0;
std::atomic<bool> g_server_gone{false};

void on_signal(int number) { g_signal = number; }

// JACK's library reports a missing server in several lines of its own; the
// program says it once, plainly.
void quiet(const char*) {}
void jack_message(const char* text) { std::fprintf(stderr, "JACK: %s\n", text); }

// JACK's process thread: one period.
int process(jack_nframes_t frames, void* arg)
{
    Program* p = static_cast<Program*>(arg);
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN)
            p->controls[info.index] = p->wanted[info.index].load(std::memory_order_relaxed);
    PluginInstance* self = p->instance;
    self->ports[PORT_IN] = static_cast<float*>(jack_port_get_buffer(p->in[0], frames));
    if (STEREO) self->in_r = static_cast<float*>(jack_port_get_buffer(p->in[1], frames));
    self->ports[PORT_OUT_L] = static_cast<float*>(jack_port_get_buffer(p->out[0], frames));
    self->ports[PORT_OUT_R] = static_cast<float*>(jack_port_get_buffer(p->out[1], frames));
    instance_run(self, frames);
    return 0;
}

// A JACK thread, when the server stops or throws the client out.
void on_shutdown(void*) { g_server_gone.store(true); }

// A JACK thread: the rate the instance was made for is the only one it
// plays in tune at; another one stops the program instead of detuning it.
std::atomic<bool> g_rate_changed{false};
int on_sample_rate(jack_nframes_t rate, void* arg)
{
    if (static_cast<double>(rate) != static_cast<Program*>(arg)->instance->host_rate) g_rate_changed.store(true);
    return 0;
}

#ifdef BRUMMKISTE_JACK_WINDOW
// Main thread: a value the musician changed in the window.
void window_write(void* context, PortIndex port, float value)
{
    Program* p = static_cast<Program*>(context);
    if (port < PORT_COUNT && PORT_TABLE[port].kind == PORT_KIND_CONTROL_IN)
        p->wanted[port].store(value, std::memory_order_relaxed);
}
#endif

// The system's physical ports of one direction, each of ours to the next.
void connect_system(jack_client_t* client, jack_port_t* const* ours, int count, bool inputs)
{
    const char** system = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsPhysical | (inputs ? JackPortIsOutput : JackPortIsInput));
    int i = 0;
    for (; system && system[i] && i < count; ++i) {
        const char* own = jack_port_name(ours[i]);
        const int error = inputs ? jack_connect(client, system[i], own) : jack_connect(client, own, system[i]);
        if (error) std::fprintf(stderr, "could not connect %s and %s\n", system[i], own);
    }
    if (i < count)
        std::fprintf(stderr, "%d of our %s not connected: the system has no more %s ports\n", count - i,
                     inputs ? "inputs" : "outputs", inputs ? "capture" : "playback");
    jack_free(system);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 0 && argv[0] ? argv[0] : "brummkiste-tiefgarten-jack";
    CommandLine options;
    std::string error, notes;
    if (!command_line_parse(argc, argv, STEREO, &options, &error, &notes)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(jack_usage(program, STEREO).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", TITLE, BRUMMKISTE_VERSION);
        return 0;
    }
    if (options.list_presets) {
        std::fputs(jack_preset_list().c_str(), stdout);
        return 0;
    }
    if (!notes.empty()) std::fprintf(stderr, "%s", notes.c_str());

    jack_status_t status;
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_client_t* client = jack_client_open(options.client_name.c_str(), JackNoStartServer, &status);
    jack_set_error_function(jack_message);
    if (!client) {
        std::fprintf(stderr,
                     "%s: cannot connect to a JACK server%s; start one first (jackd, qjackctl or "
                     "the board's own settings)\n",
                     program, (status & JackServerFailed) ? " (none is running)" : "");
        return 1;
    }
    static Program p;  // large and shared with the process thread: not on the stack
    p.instance = instance_create(jack_get_sample_rate(client), STEREO);
    if (!p.instance) {
        std::fprintf(stderr, "%s: JACK's sample rate %u Hz is not usable\n", program, jack_get_sample_rate(client));
        jack_client_close(client);
        return 1;
    }
    for (const PortInfo& info : PORT_TABLE) {
        p.controls[info.index] = options.controls[info.index];
        p.wanted[info.index].store(options.controls[info.index]);
        if (info.kind == PORT_KIND_CONTROL_IN) p.instance->ports[info.index] = &p.controls[info.index];
    }
    const int inputs = STEREO ? 2 : 1;
    const char* in_names[2] = {STEREO ? "in_l" : "in", "in_r"};
    const char* out_names[2] = {"out_l", "out_r"};
    bool ports_ok = true;
    for (int i = 0; i < inputs; ++i) {
        p.in[i] = jack_port_register(client, in_names[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        ports_ok = ports_ok && p.in[i];
    }
    for (int i = 0; i < 2; ++i) {
        p.out[i] = jack_port_register(client, out_names[i], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        ports_ok = ports_ok && p.out[i];
    }
    if (!ports_ok || jack_set_process_callback(client, process, &p) != 0) {
        std::fprintf(stderr, "%s: JACK refused our ports\n", program);
        jack_client_close(client);
        instance_destroy(p.instance);
        return 1;
    }
    jack_on_shutdown(client, on_shutdown, nullptr);
    jack_set_sample_rate_callback(client, on_sample_rate, &p);

    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (jack_activate(client) != 0) {
        std::fprintf(stderr, "%s: JACK did not start our client\n", program);
        jack_client_close(client);
        instance_destroy(p.instance);
        return 1;
    }
    if (options.connect) {
        connect_system(client, p.in, inputs, true);
        connect_system(client, p.out, 2, false);
    }
    std::fprintf(stderr, "%s: running as JACK client \"%s\" at %u Hz; Ctrl-C stops\n", program,
                 jack_get_client_name(client), jack_get_sample_rate(client));

#ifdef BRUMMKISTE_JACK_WINDOW
    StandaloneWindow* window = nullptr;
    // A board without a display has no DISPLAY: no window, and no news.
    const char* display = std::getenv("DISPLAY");
    if (options.window && display && *display) {
        window = standalone_window_open(TITLE, window_write, &p, jack_get_sample_rate(client));
        if (window) {
            for (const PortInfo& info : PORT_TABLE)
                if (info.kind == PORT_KIND_CONTROL_IN)
                    standalone_window_set_value(window, info.index, options.controls[info.index]);
        } else {
            std::fprintf(stderr, "%s: no X server at %s: running without a window\n", program, display);
        }
    }
#endif
    bool window_closed = false;
    while (!g_signal && !g_server_gone.load() && !g_rate_changed.load() && !window_closed) {
#ifdef BRUMMKISTE_JACK_WINDOW
        if (window && !standalone_window_idle(window)) window_closed = true;
#endif
        const timespec pause = {0, 30 * 1000 * 1000};  // the window's frame rate
        nanosleep(&pause, nullptr);
    }
#ifdef BRUMMKISTE_JACK_WINDOW
    standalone_window_close(window);
#endif
    const bool gone = g_server_gone.load();
    if (!gone) jack_deactivate(client);
    jack_client_close(client);
    instance_destroy(p.instance);
    if (gone) {
        std::fprintf(stderr, "%s: the JACK server stopped\n", program);
        return 1;
    }
    if (g_rate_changed.load()) {
        std::fprintf(stderr, "%s: JACK changed its sample rate; start the program again\n", program);
        return 1;
    }
    std::fprintf(stderr, "%s: stopped\n", program);
    return 0;
}
