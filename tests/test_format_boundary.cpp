// The VST3 and CLAP plugins driven as a careless host or a damaged session
// would: unknown ids, values that are not numbers, layouts and blocks the
// plugin does not offer, streams that read and write in pieces or fail,
// unusable rates. Each answer must be a refusal or a clamped value, never a
// crash (these tests run under the sanitizers too), a lost value or a
// print on the audio thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "clap_host.h"
#include "control/control_table.h"
#include "formats/clap_extensions.h"
#include "formats/parameters.h"
#include "formats/state_codec.h"
#include "vst3_host.h"

namespace {

uint32_t param_of(PortIndex port)
{
    return parameter_of_port(port);
}

// Noise, then silence: what the tests play through the plugins.
std::vector<float> noise_burst(size_t n)
{
    std::vector<float> x(n, 0.0f);
    uint32_t seed = 12345;
    for (size_t i = 0; i < n / 4; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x[i] = 0.5f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return x;
}

float peak(const std::vector<float>& x)
{
    float p = 0.0f;
    for (float v : x) p = std::isfinite(v) ? std::fmax(p, std::fabs(v)) : INFINITY;
    return p;
}

// Whatever `f` writes to stderr (the framework's assertions go there).
template <class F>
std::string stderr_of(F f)
{
    std::fflush(stderr);
    char path[] = "/tmp/brummkiste-stderr-XXXXXX";
    const int fd = mkstemp(path);
    const int saved = dup(2);
    dup2(fd, 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    char buffer[256];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    unlink(path);
    return text;
}

// Every parameter within its declared range.
template <class Get>
void expect_in_range(Get get)
{
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
        const double v = get(i);
        EXPECT_TRUE(v >= parameter_minimum(i) && v <= parameter_maximum(i)) << state_symbol(i) << " = " << v;
    }
}

// --- The state form

TEST(StateCodec, ReadsWhatItWritesAndRefusesWhatDoesNotParse)
{
    float values[PARAMETER_COUNT];
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) values[i] = parameter_default(i);
    values[param_of(PORT_DECAY_MS)] = 1234.5678f;
    values[param_of(PORT_WIDTH)] = -33.3f;
    values[param_of(PORT_MODE_SEL)] = 3.0f;
    const std::vector<char> bytes = state_write(values);
    float back[PARAMETER_COUNT] = {};
    ASSERT_TRUE(state_parse(bytes.data(), bytes.size(), back));
    EXPECT_EQ(0, std::memcmp(values, back, sizeof values));

    // Each cut short of its terminator is refused and changes nothing.
    for (size_t n = 0; n + 1 < bytes.size(); ++n) {
        float untouched[PARAMETER_COUNT] = {};
        EXPECT_FALSE(state_parse(bytes.data(), n, untouched)) << n;
        for (float v : untouched) ASSERT_EQ(0.0f, v);
    }

    auto state = [](const std::vector<std::string>& strings) {
        std::string s;
        for (const std::string& t : strings) s.append(t).push_back('\0');
        return s;
    };
    const std::string begin = "__dpf_parameters_begin__", end = "__dpf_parameters_end__", fin = "\xfe";
    float v[PARAMETER_COUNT];
    // Values that are not finite numbers refuse the state.
    for (const char* bad : {"nan", "inf", "-inf", "", "12abc", "1e999"}) {
        const std::string s = state({begin, "width", bad, end, fin});
        EXPECT_FALSE(state_parse(s.data(), s.size(), v)) << bad;
    }
    // Out of range: clamped; unknown symbols skipped; missing ones default;
    // an earlier build's program number and state keys are read past.
    const std::string s = state({"__dpf_program__", "0", "__dpf_state_begin__", "k", "v", "__dpf_state_end__",
                                 begin, "width", "1e30", "decay_ms", "-5", "later_control", "7", "mode_sel", "2.9",
                                 end, fin});
    ASSERT_TRUE(state_parse(s.data(), s.size(), v));
    EXPECT_EQ(100.0f, v[param_of(PORT_WIDTH)]);
    EXPECT_EQ(100.0f, v[param_of(PORT_DECAY_MS)]);
    EXPECT_EQ(2.0f, v[param_of(PORT_MODE_SEL)]);
    EXPECT_EQ(parameter_default(param_of(PORT_DRY_DB)), v[param_of(PORT_DRY_DB)]);
    // Out of order, doubled sections, a missing value, too long.
    for (const std::string& bad : {state({end, begin, fin}), state({begin, "width", end, fin}),
                                   state({begin, end, begin, end, fin}), state({"junk", fin})}) {
        EXPECT_FALSE(state_parse(bad.data(), bad.size(), v));
    }
    const std::string huge(STATE_MAX_BYTES + 1, 'a');
    EXPECT_FALSE(state_parse(huge.data(), huge.size(), v));
}

// --- CLAP

struct ClapVariant {
    const char* path;
    uint32_t inputs;
};
const ClapVariant CLAPS[] = {{CLAP_MONO, 1}, {CLAP_STEREO, 2}};

// One block's buffers for either format: a burst of noise in, outputs filled
// with 7 so that what a refusal leaves shows.
struct Block {
    std::vector<float> in_l, in_r, out_l, out_r;
    float* in[2];
    float* out[2];
    explicit Block(uint32_t frames)
        : in_l(noise_burst(frames)), in_r(noise_burst(frames)), out_l(frames, 7.0f), out_r(frames, 7.0f),
          in{in_l.data(), in_r.data()}, out{out_l.data(), out_r.data()}
    {
    }
};

double clap_value(const clap_test::Instance& c, uint32_t id)
{
    double v = NAN;
    c.params->get_value(c.plugin, id, &v);
    return v;
}

TEST(ClapBoundary, IdsAndValuesAreCheckedAndEachParametersLastValueHolds)
{
    for (const ClapVariant& v : CLAPS) {
        clap_test::Library lib(v.path);
        clap_test::Instance c(lib, v.inputs);
        ASSERT_TRUE(c.plugin && c.params && c.start(48000, 512));
        clap_test::ParamEvents events;
        for (uint32_t id : {PARAMETER_COUNT, PARAMETER_COUNT + 1, 1u << 31, 0xFFFFFFFFu}) events.set(id, 1.0);
        for (PortIndex port : {PORT_MODE_SEL, PORT_ENABLED, PORT_DECAY_MS}) {
            events.set(param_of(port), NAN);
            events.set(param_of(port), INFINITY);
        }
        events.set(param_of(PORT_WIDTH), 1e30);
        events.gesture(param_of(PORT_WIDTH), true);
        events.modulation(param_of(PORT_WIDTH), 5.0);
        // Far more events than any fixed list holds; the last one counts.
        for (int i = 0; i < 10000; ++i) events.set(param_of(PORT_DRY_DB), -60.0 + i % 50);
        events.set(param_of(PORT_DRY_DB), -7.0);
        Block b(512);
        const std::string printed = stderr_of([&] { EXPECT_EQ(CLAP_PROCESS_CONTINUE, c.process(b.in, b.out, 512, &events)); });
        EXPECT_EQ("", printed);
        EXPECT_EQ(-7.0, clap_value(c, param_of(PORT_DRY_DB)));
        EXPECT_EQ(100.0, clap_value(c, param_of(PORT_WIDTH)));
        EXPECT_EQ(1.0, clap_value(c, param_of(PORT_MODE_SEL)));
        expect_in_range([&](uint32_t i) { return clap_value(c, i); });
        for (int i = 0; i < 40; ++i) c.process(b.in, b.out, 512, nullptr);
        EXPECT_LT(peak(b.out_l), 4.0f);
        EXPECT_LT(peak(b.out_r), 4.0f);

        // The same through params.flush, without processing.
        c.stop();
        double out = 0;
        EXPECT_FALSE(c.params->get_value(c.plugin, PARAMETER_COUNT, &out));
        clap_param_info_t info;
        EXPECT_FALSE(c.params->get_info(c.plugin, PARAMETER_COUNT, &info));
        char text[64];
        EXPECT_FALSE(c.params->value_to_text(c.plugin, param_of(PORT_WIDTH), NAN, text, sizeof text));
        EXPECT_FALSE(c.params->value_to_text(c.plugin, 1u << 31, 1.0, text, sizeof text));
        EXPECT_FALSE(c.params->text_to_value(c.plugin, param_of(PORT_WIDTH), "nan", &out));
        c.params->flush(c.plugin, &events.list, &clap_test::NO_OUTPUT_EVENTS);
        EXPECT_EQ(-7.0, clap_value(c, param_of(PORT_DRY_DB)));
        expect_in_range([&](uint32_t i) { return clap_value(c, i); });
    }
}

TEST(ClapBoundary, LayoutsTheyDoNotOfferAreRefusedAndLongBlocksRunInParts)
{
    for (const ClapVariant& v : CLAPS) {
        clap_test::Library lib(v.path);
        clap_test::Instance c(lib, v.inputs);
        ASSERT_TRUE(c.plugin);
        Block b(3000);
        EXPECT_EQ(CLAP_PROCESS_ERROR, c.process(b.in, b.out, 64, nullptr)) << "before activation";
        EXPECT_EQ(0.0f, peak(std::vector<float>(b.out_l.begin(), b.out_l.begin() + 64)));
        ASSERT_TRUE(c.start(48000, 64));

        float* eight[8] = {b.in_l.data(), b.in_l.data(), b.in_l.data(), b.in_l.data(),
                           b.in_l.data(), b.in_l.data(), b.in_l.data(), b.in_l.data()};
        for (uint32_t channels : {0u, v.inputs + 1, v.inputs + 3, 8u}) {
            clap_audio_buffer_t in = {eight, nullptr, channels, 0, 0};
            clap_audio_buffer_t out = {b.out, nullptr, 2, 0, 0};
            clap_process_t p = {};
            p.frames_count = 64;
            p.audio_inputs = &in;
            p.audio_outputs = &out;
            p.audio_inputs_count = 1;
            p.audio_outputs_count = 1;
            EXPECT_EQ(CLAP_PROCESS_ERROR, c.plugin->process(c.plugin, &p)) << channels;
            p.audio_inputs_count = 0;
            EXPECT_EQ(CLAP_PROCESS_ERROR, c.plugin->process(c.plugin, &p));
        }
        float* none[2] = {nullptr, nullptr};
        EXPECT_EQ(CLAP_PROCESS_ERROR, c.process(none, b.out, 64, nullptr));
        EXPECT_EQ(CLAP_PROCESS_ERROR, c.process(b.in, none, 64, nullptr));
        EXPECT_EQ(CLAP_PROCESS_ERROR, c.plugin->process(c.plugin, nullptr));

        // 3000 frames after announcing 64 equal 3000 frames in parts of 64.
        clap_test::Instance e(lib, v.inputs), d(lib, v.inputs);
        ASSERT_TRUE(e.start(48000, 64) && d.start(48000, 64));
        Block whole(3000), parts(3000);
        EXPECT_EQ(CLAP_PROCESS_CONTINUE, e.process(whole.in, whole.out, 3000, nullptr));
        for (uint32_t at = 0; at < 3000; at += 64) {
            const uint32_t n = 3000 - at < 64 ? 3000 - at : 64;
            float* in[2] = {parts.in_l.data() + at, parts.in_r.data() + at};
            float* out[2] = {parts.out_l.data() + at, parts.out_r.data() + at};
            d.process(in, out, n, nullptr);
        }
        EXPECT_EQ(0, std::memcmp(whole.out_l.data(), parts.out_l.data(), 3000 * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(whole.out_r.data(), parts.out_r.data(), 3000 * sizeof(float)));
        EXPECT_GT(peak(parts.out_l), 0.0f);
    }
}

TEST(ClapBoundary, StatesReadAndWriteWholeThroughShortStreamsOrChangeNothing)
{
    clap_test::Library lib(CLAP_STEREO);
    clap_test::Instance a(lib, 2);
    ASSERT_TRUE(a.plugin && a.state);
    clap_test::ParamEvents events;
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
        events.set(i, parameter_minimum(i) + (parameter_maximum(i) - parameter_minimum(i)) * (i % 5 + 1) / 7.0);
    a.params->flush(a.plugin, &events.list, &clap_test::NO_OUTPUT_EVENTS);
    std::vector<double> expected(PARAMETER_COUNT);
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) expected[i] = clap_value(a, i);

    for (uint64_t chunk : {1, 7, 100, 511, 4096}) {
        clap_test::Stream saved;
        saved.chunk = chunk;
        const clap_ostream_t os = saved.out();
        ASSERT_TRUE(a.state->save(a.plugin, &os)) << chunk;
        clap_test::Instance b(lib, 2);
        const clap_istream_t is = saved.in();
        ASSERT_TRUE(b.state->load(b.plugin, &is)) << chunk;
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) EXPECT_EQ(expected[i], clap_value(b, i)) << chunk << " " << i;
    }

    clap_test::Stream good;
    const clap_ostream_t os = good.out();
    ASSERT_TRUE(a.state->save(a.plugin, &os));
    // A save through a stream that fails is reported.
    clap_test::Stream failing;
    failing.chunk = 10;
    failing.fail_after = 50;
    const clap_ostream_t fos = failing.out();
    EXPECT_FALSE(a.state->save(a.plugin, &fos));

    // Truncated, failing after part of it, claiming more than asked: refused,
    // nothing changed.
    clap_test::Instance b(lib, 2);
    std::vector<clap_test::Stream> bad(3, good);
    bad[0].bytes.resize(good.bytes.size() / 2);
    bad[1].fail_after = good.bytes.size() / 2;
    bad[1].chunk = 16;
    bad[2].overclaim = true;
    for (clap_test::Stream& s : bad) {
        const clap_istream_t is = s.in();
        EXPECT_FALSE(b.state->load(b.plugin, &is));
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) EXPECT_EQ(parameter_default(i), clap_value(b, i)) << i;
    }
    EXPECT_FALSE(b.state->load(b.plugin, nullptr));
}

TEST(ClapBoundary, RatesAreCheckedResetClearsTheTailAndTheTailIsReported)
{
    clap_test::Library lib(CLAP_MONO);
    clap_test::Instance c(lib, 1);
    ASSERT_TRUE(c.plugin);
    for (double rate : {0.0, -48000.0, double(NAN), double(INFINITY), 0.5})
        EXPECT_FALSE(c.plugin->activate(c.plugin, rate, 1, 512)) << rate;
    EXPECT_FALSE(c.plugin->activate(c.plugin, 48000, 1, 0));
    ASSERT_TRUE(c.start(48000, 512));

    const auto* tail = static_cast<const clap_plugin_tail_ext_t*>(c.plugin->get_extension(c.plugin, CLAP_EXT_TAIL_ID));
    ASSERT_TRUE(tail);
    EXPECT_GT(tail->get(c.plugin), 2u * 48000 * 2500 / 1000);  // two decay times at the default
    clap_test::ParamEvents frozen;
    frozen.set(param_of(PORT_DECAY_MS), 200000.0);
    Block b(512);
    c.process(b.in, b.out, 512, &frozen);
    EXPECT_EQ(static_cast<uint32_t>(INT32_MAX), tail->get(c.plugin));

    // After reset, silence in gives silence out: no tail of the noise.
    c.plugin->reset(c.plugin);
    std::fill(b.in_l.begin(), b.in_l.end(), 0.0f);
    for (int i = 0; i < 4; ++i) {
        c.process(b.in, b.out, 512, nullptr);
        EXPECT_EQ(0.0f, peak(b.out_l));
        EXPECT_EQ(0.0f, peak(b.out_r));
    }
}

// A host that keeps what the plugin tells it of preset loads.
struct PresetHost {
    int loaded = 0, errors = 0;
    clap_host_t host;
    clap_host_preset_load_ext_t ext = {on_error, loaded_cb};
    PresetHost() : host(clap_test::HOST)
    {
        host.host_data = this;
        host.get_extension = get_extension;
    }
    static PresetHost* of(const clap_host_t* h) { return static_cast<PresetHost*>(h->host_data); }
    static const void* get_extension(const clap_host_t* h, const char* id)
    {
        return std::strcmp(id, CLAP_EXT_PRESET_LOAD_ID) == 0 ? &of(h)->ext : nullptr;
    }
    static void on_error(const clap_host_t* h, uint32_t, const char*, const char*, int32_t, const char*)
    {
        ++of(h)->errors;
    }
    static void loaded_cb(const clap_host_t* h, uint32_t, const char*, const char*) { ++of(h)->loaded; }
};

// What a host's preset indexer hears.
struct Indexer {
    std::vector<std::string> names, keys, ids;
    std::vector<uint32_t> kinds;
    clap_preset_discovery_indexer_ext_t indexer = {
        CLAP_VERSION_INIT, "tests", "", "", "", this, nullptr, declare_location, nullptr, nullptr};
    clap_preset_discovery_metadata_receiver_ext_t receiver = {
        this,    nullptr, begin_preset, add_plugin_id, nullptr, nullptr, nullptr, nullptr, nullptr,
        nullptr, nullptr};
    static Indexer* of(const void* data) { return static_cast<Indexer*>(const_cast<void*>(data)); }
    static bool declare_location(const clap_preset_discovery_indexer_ext_t* i,
                                 const clap_preset_discovery_location_ext_t* location)
    {
        of(i->indexer_data)->kinds.push_back(location->kind);
        return true;
    }
    static bool begin_preset(const clap_preset_discovery_metadata_receiver_ext_t* r, const char* name,
                             const char* key)
    {
        of(r->receiver_data)->names.push_back(name);
        of(r->receiver_data)->keys.push_back(key);
        return true;
    }
    static void add_plugin_id(const clap_preset_discovery_metadata_receiver_ext_t* r,
                              const clap_universal_plugin_id_ext_t* id)
    {
        of(r->receiver_data)->ids.push_back(id->id);
    }
};

TEST(ClapBoundary, PresetsAreListedAndLoad)
{
    clap_test::Library lib(CLAP_MONO);
    ASSERT_TRUE(lib.entry);
    const auto* factory = static_cast<const clap_preset_discovery_factory_ext_t*>(
        lib.entry->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_TRUE(factory);
    ASSERT_EQ(1u, factory->count(factory));
    Indexer indexer;
    const clap_preset_discovery_provider_ext_t* provider =
        factory->create(factory, &indexer.indexer, factory->get_descriptor(factory, 0)->id);
    ASSERT_TRUE(provider && provider->init(provider));
    ASSERT_EQ(std::vector<uint32_t>{CLAP_PRESET_LOCATION_PLUGIN}, indexer.kinds);
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_LOCATION_PLUGIN, nullptr, &indexer.receiver));
    provider->destroy(provider);
    ASSERT_EQ(24u, indexer.names.size());
    EXPECT_EQ("Small room", indexer.names[0]);
    EXPECT_EQ(std::vector<std::string>(24, "audio.brummkiste.tiefgarten"), indexer.ids);

    PresetHost host;
    clap_test::Instance c(lib, 1, &host.host);
    const auto* load = static_cast<const clap_plugin_preset_load_ext_t*>(
        c.plugin->get_extension(c.plugin, CLAP_EXT_PRESET_LOAD_ID));
    ASSERT_TRUE(load);
    for (const std::string& key : indexer.keys)
        EXPECT_TRUE(load->from_location(c.plugin, CLAP_PRESET_LOCATION_PLUGIN, nullptr, key.c_str())) << key;
    EXPECT_EQ(24, host.loaded);
    ASSERT_TRUE(load->from_location(c.plugin, CLAP_PRESET_LOCATION_PLUGIN, nullptr, "Small room"));
    EXPECT_EQ(700.0, clap_value(c, param_of(PORT_DECAY_MS)));
    EXPECT_EQ(14.0, clap_value(c, param_of(PORT_SIZE_MAX)));
    EXPECT_EQ(1.0, clap_value(c, param_of(PORT_MODE_SEL)));
    EXPECT_FALSE(load->from_location(c.plugin, CLAP_PRESET_LOCATION_PLUGIN, nullptr, "No such preset"));
    EXPECT_FALSE(load->from_location(c.plugin, CLAP_PRESET_LOCATION_FILE, "/tmp/x", "Small room"));
    EXPECT_EQ(2, host.errors);
    EXPECT_EQ(700.0, clap_value(c, param_of(PORT_DECAY_MS)));
}

// --- VST3

struct Vst3Variant {
    const char* path;
    int32_t inputs;
};
const Vst3Variant VST3S[] = {{VST3_MONO, 1}, {VST3_STEREO, 2}};

using vst3_test::Changes;

TEST(Vst3Boundary, IdsAndValuesAreCheckedAndOneBadQueueCostsOnlyItself)
{
    for (const Vst3Variant& v : VST3S) {
        vst3_test::Library lib(v.path);
        vst3_test::Instance p(lib, v.inputs);
        ASSERT_TRUE(p.processor && p.controller && p.start(48000, 512));
        Changes changes;
        changes.hole();
        changes.set(PARAMETER_COUNT, 0.5);
        changes.set(0x7FFFFFFF, 0.5);
        changes.set(param_of(PORT_MODE_SEL), NAN);
        changes.set(param_of(PORT_ENABLED), NAN);
        changes.set(param_of(PORT_DECAY_MS), INFINITY);
        changes.queues.back().broken = true;
        changes.set(param_of(PORT_WIDTH), 7.0);  // beyond 1: the top of the range
        changes.set(param_of(PORT_DRY_DB), p.to_normalised(param_of(PORT_DRY_DB), -12.0));
        Block b(512);
        float* in[2] = {b.in[0], b.in[1]};
        std::string printed = stderr_of([&] { EXPECT_EQ(V3_OK, p.process(in, b.out, 512, &changes)); });
        // No output-parameter list: an empty one stands in, without a word.
        printed += stderr_of([&] {
            for (int i = 0; i < 20; ++i) p.process(in, b.out, 512, nullptr);
        });
        EXPECT_EQ("", printed);
        EXPECT_NEAR(-12.0, p.plain(param_of(PORT_DRY_DB)), 1e-4);
        EXPECT_EQ(100.0, p.plain(param_of(PORT_WIDTH)));
        expect_in_range([&](uint32_t i) { return p.plain(i); });
        EXPECT_LT(peak(b.out_l), 4.0f);

        EXPECT_NE(V3_OK, v3_cpp_obj(p.controller)->set_parameter_normalised(p.controller, PARAMETER_COUNT, 0.5));
        EXPECT_NE(V3_OK, v3_cpp_obj(p.controller)->set_parameter_normalised(p.controller, 0, NAN));

        // The guards' normalisation is the framework's.
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
            for (double n = 0.0; n <= 1.0; n += 1.0 / 64) {
                ASSERT_EQ(static_cast<float>(v3_cpp_obj(p.controller)->normalised_parameter_to_plain(p.controller, i, n)),
                          parameter_from_normalised(i, n)) << i << " " << n;
                const double plain = parameter_from_normalised(i, n);
                ASSERT_EQ(p.to_normalised(i, plain), parameter_to_normalised(i, plain)) << i << " " << n;
            }

        // Set on the controller while nothing runs, then a queue takes the
        // value back to what was last processed: that change holds.
        const uint32_t width = param_of(PORT_WIDTH);
        Changes to_a;
        to_a.set(width, 0.25);
        p.process(in, b.out, 64, &to_a);
        ASSERT_EQ(-50.0, p.plain(width));
        v3_cpp_obj(p.controller)->set_parameter_normalised(p.controller, width, 0.75);
        ASSERT_EQ(50.0, p.plain(width));
        p.process(in, b.out, 64, &to_a);
        EXPECT_EQ(-50.0, p.plain(width));
    }
}

TEST(Vst3Boundary, LayoutsBlocksAndSetupsTheyCannotTakeAreRefused)
{
    for (const Vst3Variant& v : VST3S) {
        vst3_test::Library lib(v.path);
        vst3_test::Instance p(lib, v.inputs);
        ASSERT_TRUE(p.processor);
        Block b(70000);
        EXPECT_EQ(V3_NOT_INITIALIZED, p.process(b.in, b.out, 256)) << "before setupProcessing";
        EXPECT_EQ(0.0f, peak(std::vector<float>(b.out_l.begin(), b.out_l.begin() + 256)));
        for (int32_t max_block : {0, -1, -100000}) EXPECT_NE(V3_OK, p.setup(48000, max_block)) << max_block;
        for (double rate : {0.0, -1.0, double(NAN), double(INFINITY)}) EXPECT_NE(V3_OK, p.setup(rate, 512)) << rate;
        EXPECT_NE(V3_OK, p.setup(48000, 512, V3_SAMPLE_64));
        EXPECT_EQ(V3_NOT_INITIALIZED, p.process(b.in, b.out, 256));

        // Announced 1, sent far more: runs, in parts where it must.
        ASSERT_TRUE(p.start(48000, 1));
        EXPECT_EQ(V3_OK, p.process(b.in, b.out, 70000));
        EXPECT_GT(peak(b.out_l), 0.0f);
        EXPECT_LT(peak(b.out_l), 4.0f);

        float* eight[8] = {b.in[0], b.in[0], b.in[0], b.in[0], b.in[0], b.in[0], b.in[0], b.in[0]};
        float* none[2] = {nullptr, nullptr};
        v3_audio_bus_buffers out = {};
        out.num_channels = 2;
        out.channel_buffers_32 = b.out;
        for (int32_t channels : {0, v.inputs + 1, 8}) {
            v3_audio_bus_buffers in = {};
            in.num_channels = channels;
            in.channel_buffers_32 = eight;
            EXPECT_EQ(V3_INVALID_ARG, p.process_buses(&in, 1, &out, 1, 64, nullptr, nullptr)) << channels;
        }
        v3_audio_bus_buffers in = {};
        in.num_channels = v.inputs;
        in.channel_buffers_32 = none;
        EXPECT_EQ(V3_INVALID_ARG, p.process_buses(&in, 1, &out, 1, 64, nullptr, nullptr));
        in.channel_buffers_32 = nullptr;
        EXPECT_EQ(V3_INVALID_ARG, p.process_buses(&in, 1, &out, 1, 64, nullptr, nullptr));
        EXPECT_EQ(V3_INVALID_ARG, p.process_buses(nullptr, 0, &out, 1, 64, nullptr, nullptr));
        EXPECT_EQ(V3_INVALID_ARG, p.process(b.in, none, 64));
        EXPECT_EQ(V3_INVALID_ARG, p.process(b.in, b.out, -5));
        // A block of no frames carries parameter changes alone.
        Changes changes;
        changes.set(param_of(PORT_WIDTH), 0.25);
        EXPECT_EQ(V3_OK, p.process_buses(nullptr, 0, nullptr, 0, 0, &changes, nullptr));
        EXPECT_EQ(-50.0, p.plain(param_of(PORT_WIDTH)));
    }
}

TEST(Vst3Boundary, StatesReadAndWriteWholeAndLoadingOneDoesNotCallBackIntoTheHost)
{
    vst3_test::Library lib(VST3_STEREO);
    vst3_test::Instance a(lib, 2);
    ASSERT_TRUE(a.controller);
    vst3_test::Handler handler;
    ASSERT_EQ(V3_OK, v3_cpp_obj(a.controller)->set_component_handler(
                         a.controller, reinterpret_cast<v3_component_handler**>(&handler)));
    // Set on the controller, never processed: the state still holds them.
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
        v3_cpp_obj(a.controller)->set_parameter_normalised(a.controller, i, (i % 5 + 1) / 7.0);
    std::vector<double> expected(PARAMETER_COUNT);
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) expected[i] = a.plain(i);

    for (int32_t chunk : {1, 7, 100, 511}) {
        vst3_test::Stream saved;
        saved.chunk = chunk;
        ASSERT_EQ(V3_OK, v3_cpp_obj(a.component)->get_state(a.component, saved.stream())) << chunk;
        vst3_test::Instance b(lib, 2);
        vst3_test::Handler bh;
        v3_cpp_obj(b.controller)->set_component_handler(b.controller, reinterpret_cast<v3_component_handler**>(&bh));
        ASSERT_EQ(V3_OK, v3_cpp_obj(b.component)->set_state(b.component, saved.stream())) << chunk;
        EXPECT_EQ(0, bh.restarts) << "no call back from inside the host's own setState";
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) EXPECT_EQ(expected[i], b.plain(i)) << chunk << " " << i;
    }

    vst3_test::Stream good;
    ASSERT_EQ(V3_OK, v3_cpp_obj(a.component)->get_state(a.component, good.stream()));
    vst3_test::Stream failing;
    failing.chunk = 10;
    failing.fail_after = 40;
    EXPECT_NE(V3_OK, v3_cpp_obj(a.component)->get_state(a.component, failing.stream()));

    vst3_test::Instance b(lib, 2);
    std::vector<vst3_test::Stream> bad(3, good);
    bad[0].bytes.resize(good.bytes.size() - 3);
    bad[1].fail_after = good.bytes.size() / 2;
    bad[1].chunk = 16;
    bad[2].overclaim = true;
    for (vst3_test::Stream& s : bad) {
        s.at = 0;
        EXPECT_NE(V3_OK, v3_cpp_obj(b.component)->set_state(b.component, s.stream()));
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
            EXPECT_NEAR(parameter_default(i), b.plain(i), 1e-3 * (1 + std::fabs(parameter_default(i)))) << i;
    }
    EXPECT_NE(V3_OK, v3_cpp_obj(b.component)->set_state(b.component, nullptr));
}

TEST(Vst3Boundary, TheTailFollowsTheDecayAndIsEndlessWhenFrozen)
{
    vst3_test::Library lib(VST3_MONO);
    vst3_test::Instance p(lib, 1);
    ASSERT_TRUE(p.start(48000, 512));
    const uint32_t tail = v3_cpp_obj(p.processor)->get_tail_samples(p.processor);
    EXPECT_GT(tail, 2u * 48000 * 2500 / 1000);
    EXPECT_LT(tail, 60u * 48000);
    Changes frozen;
    frozen.set(param_of(PORT_DECAY_MS), 1.0);
    Block b(512);
    p.process(b.in, b.out, 512, &frozen);
    EXPECT_EQ(UINT32_MAX, v3_cpp_obj(p.processor)->get_tail_samples(p.processor));
}

}  // namespace
