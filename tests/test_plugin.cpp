#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "harness.h"
#include "lv2/debug_log.h"
#include "instance/fp_guard.h"
#include "lv2/plugin_uri.h"

TEST(Descriptor, MonoAtZeroStereoAtOne)
{
    const LV2_Descriptor* d = lv2_descriptor(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(lv2_descriptor(0), d);
    ASSERT_NE(lv2_descriptor(1), nullptr);
    EXPECT_STREQ(lv2_descriptor(1)->URI, BRUMMKISTE_STEREO_URI);
    EXPECT_EQ(lv2_descriptor(2), nullptr);
    EXPECT_EQ(lv2_descriptor(4294967295u), nullptr);
    EXPECT_EQ(std::string(d->URI).substr(std::string(d->URI).find("/plugins/")),
              "/plugins/brummkiste-tiefgarten");
    EXPECT_EQ(d->extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);
    EXPECT_EQ(d->extension_data(""), nullptr);
}

TEST(Instance, CreationValuesAndRateValidation)
{
    const LV2_Descriptor* d = lv2_descriptor(0);
    for (double bad : {0.0, 0.5, -48000.0, double(NAN), double(INFINITY), 1e300})
        EXPECT_EQ(d->instantiate(d, bad, "", nullptr), nullptr) << bad;

    Host host(44100.0);
    ASSERT_NE(host.handle, nullptr);
    DspState* dsp = host.dsp();
    EXPECT_EQ(dsp->sample_rate, 44100.0f);
    EXPECT_EQ(dsp->tanks[2].sample_rate, 44100.0f);
    EXPECT_EQ(dsp->delay_lines[1].lfo_increment, 2.0833333e-05f);
    EXPECT_EQ(dsp->mode, 1);
    EXPECT_EQ(dsp->diffusion.diffusion, 0.0f);
    EXPECT_EQ(dsp->dry_gain, 1.0f);
    EXPECT_EQ(dsp->wet_gain_a, 0.7f);
    EXPECT_EQ(dsp->wet_gain_b, 1.0f);
    EXPECT_EQ(dsp->decay_time, 1000.0f);
    for (const FdnTank& tank : dsp->tanks)
        for (float g : tank.line_gain) EXPECT_EQ(g, 0.35355338f);
}

TEST(Ports, ConnectionOutOfRangeIgnoredAndReconnectTakesEffect)
{
    Host host;
    float* before[PORT_COUNT];
    std::memcpy(before, host.instance()->ports, sizeof before);
    float stray = 1.0f;
    host.desc->connect_port(host.handle, PORT_COUNT, &stray);
    EXPECT_EQ(0, std::memcmp(before, host.instance()->ports, sizeof before));

    host.controls[PORT_WET_A_DB] = -120.0f;
    host.controls[PORT_DRY_DB] = 0.0f;
    std::vector<float> other_in(64, 0.25f), other_out(64, 9.0f);
    host.in.assign(host.in.size(), 0.0f);
    host.run(64);
    host.desc->connect_port(host.handle, PORT_IN, other_in.data());
    host.desc->connect_port(host.handle, PORT_OUT_L, other_out.data());
    host.run(64);
    for (float v : other_out) EXPECT_NEAR(v, 0.25f, 1e-6f);
}

TEST(Run, ZeroCountAppliesControlsAndWritesNothing)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 3.0f;
    host.out_l.assign(host.out_l.size(), 7.0f);
    host.run(0);
    EXPECT_EQ(host.dsp()->mode, 3);
    EXPECT_EQ(host.out_l[0], 7.0f);
    // No block, no ramp step, but the start-up has put every ramp at its target.
    EXPECT_EQ(host.instance()->controls.ramps[RAMP_DECAY].current, 10000.0f);
}

TEST(Run, PartialBlocksStepEveryStageExactlyAndCountRamps)
{
    // One run of 37 samples equals 37 runs of one sample after the first
    // block (ramps held still) and touches nothing beyond the count.
    std::vector<float> input = noise_burst(4000, 300);
    Host whole, single;
    for (Host* h : {&whole, &single}) h->controls[PORT_MODE_SEL] = 2.0f;
    std::vector<float> wl, wr, sl, sr;
    whole.render(input, 16, &wl, &wr);
    single.render(input, 1, &sl, &sr);
    EXPECT_TRUE(same_bits(wl, sl));
    EXPECT_TRUE(same_bits(wr, sr));

    Host host;
    host.out_l.assign(host.out_l.size(), 5.0f);
    host.out_r.assign(host.out_r.size(), 5.0f);
    host.run(40);  // blocks of 16, 16, 8
    EXPECT_EQ(host.out_l[40], 5.0f);
    EXPECT_EQ(host.out_r[40], 5.0f);
    EXPECT_NE(host.out_l[39], 5.0f);
    // The ramps start at their targets; from there they glide.
    host.controls[PORT_DRY_DB] = -10.0f;
    host.run(40);
    EXPECT_FLOAT_EQ(host.instance()->controls.ramps[RAMP_DRY].current, -3.0f * 0.37333333f);
}

TEST(Run, ModesOutsideTheRangeGiveOnlyTheDryMix)
{
    for (float sel : {5.0f, -1.0f, 1e10f}) {
        Host host;
        host.controls[PORT_DRY_DB] = -6.0f;
        host.controls[PORT_MODE_SEL] = sel;
        std::vector<float> input = noise_burst(512, 512), l, r;
        host.render(input, 64, &l, &r);
        const float dry = host.dsp()->dry_gain;  // the ramp has arrived after 17 blocks
        for (size_t i = 300; i < input.size(); ++i) {
            EXPECT_EQ(l[i], dry * input[i]);
            EXPECT_EQ(r[i], dry * input[i]);
        }
        const ModDelayLine& line = host.dsp()->delay_lines[0];
        EXPECT_EQ(line.write_pos, 0u) << "no building block advanced";
    }
}

TEST(Run, AliasedBuffersGiveTheSameSamples)
{
    std::vector<float> input = noise_burst(3000, 500);
    Host reference;
    std::vector<float> rl, rr;
    reference.render(input, 100, &rl, &rr);

    // in place on the left output
    Host inplace;
    std::vector<float> buf(100), l, r;
    inplace.desc->connect_port(inplace.handle, PORT_IN, buf.data());
    inplace.desc->connect_port(inplace.handle, PORT_OUT_L, buf.data());
    for (size_t s = 0; s < input.size(); s += 100) {
        std::memcpy(buf.data(), &input[s], 100 * sizeof(float));
        inplace.run(100);
        l.insert(l.end(), buf.begin(), buf.end());
        r.insert(r.end(), inplace.out_r.begin(), inplace.out_r.begin() + 100);
    }
    EXPECT_TRUE(same_bits(l, rl));
    EXPECT_TRUE(same_bits(r, rr));

    // both outputs on one buffer: it holds the right channel
    Host shared;
    std::vector<float> both(100), sr;
    shared.desc->connect_port(shared.handle, PORT_OUT_L, both.data());
    shared.desc->connect_port(shared.handle, PORT_OUT_R, both.data());
    for (size_t s = 0; s < input.size(); s += 100) {
        std::memcpy(shared.in.data(), &input[s], 100 * sizeof(float));
        shared.run(100);
        sr.insert(sr.end(), both.begin(), both.end());
    }
    EXPECT_TRUE(same_bits(sr, rr));
}

TEST(Run, BadInputSamplesDoNotPoisonTheTail)
{
    Host host;
    std::vector<float> input = noise_burst(48000, 2000);
    input[100] = NAN;
    input[101] = INFINITY;
    input[102] = 3e38f;
    std::vector<float> l, r;
    host.render(input, 256, &l, &r);
    EXPECT_TRUE(std::isnan(l[100]));  // the dry path passes the host's sample
    for (size_t i = 200; i < l.size(); ++i) {
        ASSERT_TRUE(std::isfinite(l[i])) << i;
        ASSERT_TRUE(std::isfinite(r[i])) << i;
    }
    EXPECT_NE(l.back(), 0.0f);
}

// The control bits of the register; x86-64 keeps sticky status flags in the
// low six bits of MXCSR, which any arithmetic may set.
static uint64_t control_bits()
{
#if defined(__x86_64__)
    return fp_control_read() & ~UINT64_C(0x3F);
#else
    return fp_control_read();
#endif
}

TEST(Run, FloatingPointRegisterIsRestoredAndFlushesInside)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 9.0f;  // the output is exactly dry_gain * input
    host.run(16);
    // Subnormal input stays subnormal outside run ...
    volatile float tiny = 1e-39f;
    const float outside = tiny * 1.0f;
    ASSERT_NE(outside, 0.0f);
    ASSERT_TRUE(std::fpclassify(outside) == FP_SUBNORMAL);
    // ... and is flushed to zero inside it, with the caller's register restored.
    const uint64_t before = control_bits();
    for (int i = 0; i < 16; ++i) host.in[i] = tiny;
    host.run(16);
    EXPECT_EQ(control_bits(), before);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(host.out_l[i], 0.0f);
        EXPECT_EQ(host.out_r[i], 0.0f);
    }
    const float after = tiny * 1.0f;
    EXPECT_TRUE(std::fpclassify(after) == FP_SUBNORMAL) << "flush-to-zero leaked out of run";
}

TEST(Lifecycle, ActivateAfterDeactivateEqualsAFreshInstance)
{
    std::vector<float> input = noise_burst(20000, 3000);
    Host fresh;
    std::vector<float> fl, fr;
    fresh.render(input, 128, &fl, &fr);

    Host used;
    used.controls[PORT_MODE_SEL] = 4.0f;
    used.controls[PORT_JITTER] = 60.0f;
    std::vector<float> ul, ur;
    used.render(noise_burst(10000, 10000, 99), 100, &ul, &ur);
    used.desc->deactivate(used.handle);
    used.desc->activate(used.handle);
    lively_test_controls(used.controls);
    used.render(input, 128, &ul, &ur);
    EXPECT_TRUE(same_bits(ul, fl));
    EXPECT_TRUE(same_bits(ur, fr));
}

// ---- debug log ----

namespace {
struct TempLog {
    std::string path;
    TempLog()
    {
        char name[] = "/tmp/brummkiste-test-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path = name;
        unlink(name);
    }
    ~TempLog() { unlink(path.c_str()); }
    void write(const std::string& text) const { std::ofstream(path) << text; }
    std::string read() const
    {
        std::ifstream f(path);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    bool exists() const
    {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }
};
const std::string BANNER = "### log is active now ### \n";
}  // namespace

TEST(DebugLog, NoFileMeansOffAndNothingCreated)
{
    TempLog log;
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), 0);
    EXPECT_FALSE(log.exists());
}

TEST(DebugLog, NumberSetsTheLevelAndBannersAccumulate)
{
    TempLog log;
    log.write("3\n");
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), 3);
    read_log_level(log.path.c_str());
    EXPECT_EQ(log.read(), "3\n" + BANNER + BANNER);
    debug_log_write(log.path.c_str(), 4, "hidden %d", 4);
    debug_log_write(log.path.c_str(), 3, "shown %d", 3);
    EXPECT_EQ(log.read(), "3\n" + BANNER + BANNER + "shown 3\n");
}

TEST(DebugLog, EmptyNegativeAndHugeLevels)
{
    TempLog log;
    log.write("");
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), 1);
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), 1);
    EXPECT_EQ(log.read(), BANNER + BANNER);

    log.write("-1");
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), -1);
    EXPECT_EQ(log.read(), "-1");

    log.write("99999999999999999999");
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), INT32_MAX);
    log.write("  -99999999999999999999 x");
    read_log_level(log.path.c_str());
    EXPECT_EQ(debug_log_level(), INT32_MIN);
}

TEST(DebugLog, SymbolicLinksAreRefused)
{
    TempLog target, link;
    target.write("5\n");
    ASSERT_EQ(symlink(target.path.c_str(), link.path.c_str()), 0);
    read_log_level(link.path.c_str());
    EXPECT_EQ(debug_log_level(), 0);
    debug_log_write(link.path.c_str(), -100, "must not arrive");
    EXPECT_EQ(target.read(), "5\n");
}


// Equal sides are the mono plugin fed that signal, bit for bit; each output
// keeps its own side's dry signal; in place and aliased buffers give the same.
TEST(Stereo, MidIntoTheReverbDryPerSide)
{
    const std::vector<float> x = noise_burst(4096, 1500, 5);
    Host mono;
    std::vector<float> ml, mr;
    mono.render(x, 256, &ml, &mr);

    StereoHost st;
    std::copy(x.begin(), x.end(), st.in_l.begin());
    std::copy(x.begin(), x.end(), st.in_r.begin());
    st.desc->run(st.handle, 4096);
    EXPECT_EQ(0, std::memcmp(st.out_l.data(), ml.data(), 4096 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(st.out_r.data(), mr.data(), 4096 * sizeof(float)));

    // Reverb off: only the dry term, each side its own.
    StereoHost dry;
    dry.controls[PORT_WET_A_DB] = -120.0f;
    dry.controls[PORT_WET_B_DB] = -120.0f;
    for (size_t i = 0; i < 512; ++i) {
        dry.in_l[i] = 0.5f;
        dry.in_r[i] = -0.25f;
    }
    dry.desc->run(dry.handle, 512);
    EXPECT_NEAR(dry.out_l[300], 0.5f, 1e-6f);
    EXPECT_NEAR(dry.out_r[300], -0.25f, 1e-6f);

    // In place: the outputs overwrite the inputs.
    const std::vector<float> y = noise_burst(4096, 700, 9);
    StereoHost ref, inplace;
    std::copy(x.begin(), x.end(), ref.in_l.begin());
    std::copy(y.begin(), y.end(), ref.in_r.begin());
    ref.desc->run(ref.handle, 4096);
    std::vector<float> a(x.begin(), x.end()), b(y.begin(), y.end());
    a.resize(4096);
    b.resize(4096);
    inplace.connect(a.data(), b.data(), a.data(), b.data());
    inplace.desc->run(inplace.handle, 4096);
    EXPECT_EQ(0, std::memcmp(a.data(), ref.out_l.data(), 4096 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(b.data(), ref.out_r.data(), 4096 * sizeof(float)));
}

namespace {

// A steady tone with the reverb at its defaults, rendered in 64-sample
// periods; `enabled` gives the bypass control per period.
std::vector<float> tone(size_t n)
{
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = 0.5f * std::sin(0.0575958f * static_cast<float>(i));
    return x;
}

void render_switched(Host* h, const std::vector<float>& x, float (*enabled)(size_t period),
                     std::vector<float>* l, std::vector<float>* r)
{
    l->clear();
    r->clear();
    for (size_t s = 0, period = 0; s < x.size(); s += 64, ++period) {
        h->controls[PORT_ENABLED] = enabled(period);
        std::memcpy(h->in.data(), x.data() + s, 64 * sizeof(float));
        h->run(64);
        l->insert(l->end(), h->out_l.begin(), h->out_l.begin() + 64);
        r->insert(r->end(), h->out_r.begin(), h->out_r.begin() + 64);
    }
}

float largest_step(const std::vector<float>& v, size_t from, size_t to)
{
    float step = 0.0f;
    for (size_t i = from + 1; i < to; ++i) step = std::max(step, std::fabs(v[i] - v[i - 1]));
    return step;
}

}  // namespace

// The host's bypass: off fades to the dry input on both sides (bit for bit
// once the fade is done), on fades back; the reverb runs on underneath, so
// that after the fade back the output is exactly the never-bypassed one; no
// switch makes a step larger than the tone itself makes.
TEST(Bypass, FadesToTheDryInputAndBackWithoutAClick)
{
    const size_t n = 64 * 400;
    const std::vector<float> x = tone(n);
    Host plain, switched;
    std::vector<float> pl, pr, sl, sr;
    render_switched(&plain, x, [](size_t) { return 1.0f; }, &pl, &pr);
    // Off from period 100 to 199, on again from 200.
    render_switched(&switched, x, [](size_t p) { return p >= 100 && p < 200 ? 0.0f : 1.0f; }, &sl,
                    &sr);
    const size_t off = 100 * 64, on = 200 * 64, fade = 240;  // 5 ms at 48 kHz
    EXPECT_EQ(0, std::memcmp(sl.data(), pl.data(), off * sizeof(float)));
    for (size_t i = off + fade; i < on; ++i) {
        ASSERT_EQ(float_bits(sl[i]), float_bits(x[i])) << i;
        ASSERT_EQ(float_bits(sr[i]), float_bits(x[i])) << i;
    }
    EXPECT_EQ(0, std::memcmp(sl.data() + on + fade, pl.data() + on + fade,
                             (n - on - fade) * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(sr.data() + on + fade, pr.data() + on + fade,
                             (n - on - fade) * sizeof(float)));
    // No click: around each switch no larger step than the steady signals make.
    const float steady = std::max(largest_step(pl, 2000, off), largest_step(x, 0, off));
    EXPECT_LE(largest_step(sl, off - 64, off + 2 * fade), 1.1f * steady);
    EXPECT_LE(largest_step(sl, on - 64, on + 2 * fade), 1.1f * steady);
    EXPECT_LE(largest_step(sr, off - 64, off + 2 * fade), 1.1f * steady);
    EXPECT_LE(largest_step(sr, on - 64, on + 2 * fade), 1.1f * steady);
}

// A plugin that starts bypassed plays the dry input from its first sample;
// the stereo variant's bypass keeps each side's own input.
TEST(Bypass, StartsBypassedAndKeepsEachSideInTheStereoVariant)
{
    Host mono;
    mono.controls[PORT_ENABLED] = 0.0f;
    const std::vector<float> x = noise_burst(1024, 1024, 3);
    std::vector<float> l, r;
    mono.render(x, 128, &l, &r);
    EXPECT_TRUE(same_bits(l, x));
    EXPECT_TRUE(same_bits(r, x));

    StereoHost st;
    st.controls[PORT_ENABLED] = 0.0f;
    const std::vector<float> y = noise_burst(1024, 1024, 4);
    std::copy(x.begin(), x.end(), st.in_l.begin());
    std::copy(y.begin(), y.end(), st.in_r.begin());
    st.desc->run(st.handle, 1024);
    EXPECT_EQ(0, std::memcmp(st.out_l.data(), x.data(), 1024 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(st.out_r.data(), y.data(), 1024 * sizeof(float)));
}
