// A JACK client for the JACK programs' test: plays a raw float file into
// the program's inputs and records its two outputs, each from the same
// period on, then writes what it recorded (interleaved left, right).
//
// usage: jack_feeder CLIENT INPUTS PLAY.f32 RECORD.f32 SECONDS
//   CLIENT  the program's JACK client name; INPUTS 1 (in) or 2 (in_l, in_r)
//   PLAY    raw 32-bit floats, INPUTS channels interleaved
//   SECONDS how long to record
// Exit status 3: JACK reported an xrun while recording (a period lost on a
// busy machine), so the record is not the program's whole output; the test
// records again.
#include <jack/jack.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Feeder {
    jack_port_t* send[2] = {};
    jack_port_t* take[2] = {};
    int inputs = 1;
    std::vector<float> play;  // interleaved
    std::vector<float> record;
    size_t frames_played = 0, frames_recorded = 0, frames_wanted = 0;
    std::atomic<bool> start{false}, done{false}, xrun{false};
};

int on_xrun(void* arg)
{
    Feeder* f = static_cast<Feeder*>(arg);
    if (f->start.load()) f->xrun.store(true);
    return 0;
}

int process(jack_nframes_t n, void* arg)
{
    Feeder* f = static_cast<Feeder*>(arg);
    float* send[2] = {};
    for (int c = 0; c < f->inputs; ++c) send[c] = static_cast<float*>(jack_port_get_buffer(f->send[c], n));
    const float* take[2];
    for (int c = 0; c < 2; ++c) take[c] = static_cast<const float*>(jack_port_get_buffer(f->take[c], n));
    const bool on = f->start.load();
    const size_t play_frames = f->play.size() / static_cast<size_t>(f->inputs);
    for (jack_nframes_t i = 0; i < n; ++i) {
        for (int c = 0; c < f->inputs; ++c)
            send[c][i] = on && f->frames_played < play_frames
                             ? f->play[f->frames_played * static_cast<size_t>(f->inputs) + static_cast<size_t>(c)]
                             : 0.0f;
        if (on) ++f->frames_played;
        if (on && f->frames_recorded < f->frames_wanted) {
            f->record[2 * f->frames_recorded] = take[0][i];
            f->record[2 * f->frames_recorded + 1] = take[1][i];
            ++f->frames_recorded;
        }
    }
    if (on && f->frames_recorded == f->frames_wanted) f->done.store(true);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: jack_feeder CLIENT INPUTS PLAY.f32 RECORD.f32 SECONDS\n");
        return 2;
    }
    const std::string target = argv[1];
    static Feeder f;
    f.inputs = std::atoi(argv[2]) == 2 ? 2 : 1;
    FILE* in = std::fopen(argv[3], "rb");
    if (!in) {
        std::perror(argv[3]);
        return 1;
    }
    float chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, sizeof(float), 4096, in)) > 0) f.play.insert(f.play.end(), chunk, chunk + got);
    std::fclose(in);

    jack_client_t* client = jack_client_open("feeder", JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "jack_feeder: no JACK server\n");
        return 1;
    }
    f.frames_wanted = static_cast<size_t>(std::atof(argv[5]) * jack_get_sample_rate(client));
    f.record.assign(2 * f.frames_wanted, 0.0f);
    const char* sends[2] = {"send_l", "send_r"};
    const char* takes[2] = {"take_l", "take_r"};
    for (int c = 0; c < f.inputs; ++c)
        f.send[c] = jack_port_register(client, sends[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    for (int c = 0; c < 2; ++c)
        f.take[c] = jack_port_register(client, takes[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, process, &f);
    jack_set_xrun_callback(client, on_xrun, &f);
    if (jack_activate(client)) return 1;
    const std::string ins[2] = {f.inputs == 2 ? target + ":in_l" : target + ":in", target + ":in_r"};
    bool ok = true;
    for (int c = 0; c < f.inputs; ++c) ok = ok && !jack_connect(client, jack_port_name(f.send[c]), ins[c].c_str());
    ok = ok && !jack_connect(client, (target + ":out_l").c_str(), jack_port_name(f.take[0]));
    ok = ok && !jack_connect(client, (target + ":out_r").c_str(), jack_port_name(f.take[1]));
    if (!ok) {
        std::fprintf(stderr, "jack_feeder: cannot connect to %s\n", target.c_str());
        jack_client_close(client);
        return 1;
    }
    // Connections take effect between periods; a few periods later the
    // playing starts.
    const timespec settle = {0, 200 * 1000 * 1000};
    nanosleep(&settle, nullptr);
    f.start.store(true);
    const timespec tick = {0, 10 * 1000 * 1000};
    for (int waited = 0; !f.done.load(); ++waited) {
        if (waited > 3000 + static_cast<int>(f.frames_wanted / 48)) {
            std::fprintf(stderr, "jack_feeder: the server stopped processing\n");
            return 1;
        }
        nanosleep(&tick, nullptr);
    }
    jack_deactivate(client);
    jack_client_close(client);
    if (f.xrun.load()) {
        std::fprintf(stderr, "jack_feeder: an xrun while recording\n");
        return 3;
    }
    FILE* out = std::fopen(argv[4], "wb");
    if (!out || std::fwrite(f.record.data(), sizeof(float), f.record.size(), out) != f.record.size()) return 1;
    return std::fclose(out) == 0 ? 0 : 1;
}
