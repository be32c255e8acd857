#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/diffuser.h"
#include "harness.h"

TEST(Diffuser, CreationLengthsIgnoreTheHostRate)
{
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        Host host(rate);
        const AllpassDiffuser* d = host.dsp()->diffusion.diffusers;
        EXPECT_EQ(d[0].length, 211u);
        EXPECT_EQ(d[1].length, 163u);
        EXPECT_EQ(d[2].length, 563u);
        EXPECT_EQ(d[3].length, 409u);
    }
}

TEST(Diffuser, WrapsInsideACallAndLeavesTheEndIndex)
{
    DiffusionStage stage;
    diffusion_stage_setup(&stage);
    AllpassDiffuser* d = &stage.diffusers[1];
    d->index = 160;
    float in[16] = {}, out[16];
    diffuser_process(d, in, out, 16);
    EXPECT_EQ(d->index, 13u);

    // A call ending on the last position leaves index == length; the next
    // call starts from 0.
    d->index = 147;
    diffuser_process(d, in, out, 16);
    EXPECT_EQ(d->index, 163u);
    diffuser_process(d, in, out, 1);
    EXPECT_EQ(d->index, 1u);
}

TEST(Diffuser, ZeroCoefficientAndDampingIsAPureDelay)
{
    AllpassDiffuser d;
    diffuser_setup(&d, 3.3958333f);
    d.coefficient = 0.0f;
    d.damping = 0.0f;
    std::vector<float> in(400, 0.0f), out(400);
    in[3] = 1.0f;
    in[10] = -0.5f;
    for (size_t s = 0; s < in.size(); s += 16) diffuser_process(&d, &in[s], &out[s], 16);
    for (size_t i = 0; i < out.size(); ++i) {
        const float expected = i >= d.length ? in[i - d.length] : 0.0f;
        EXPECT_EQ(out[i], expected) << i;
    }
}

TEST(Diffuser, InPlaceEqualsSeparateBuffers)
{
    AllpassDiffuser a, b;
    diffuser_setup(&a, 4.395833f);
    diffuser_setup(&b, 4.395833f);
    std::vector<float> input = noise_burst(1024, 700);
    std::vector<float> separate(1024), inplace = input;
    for (size_t s = 0; s < 1024; s += 16) {
        diffuser_process(&a, &input[s], &separate[s], 16);
        diffuser_process(&b, &inplace[s], &inplace[s], 16);
    }
    EXPECT_TRUE(same_bits(separate, inplace));
}

TEST(Diffuser, SetDiffusionClampsAndScales)
{
    DiffusionStage stage;
    diffusion_stage_setup(&stage);
    set_diffusion(&stage, 100.0f);
    EXPECT_EQ(stage.diffusion, 0.9999f);
    EXPECT_EQ(stage.diffusers[0].coefficient, 0.9999f);
    EXPECT_EQ(stage.diffusers[1].coefficient, 0.9999f);
    EXPECT_EQ(stage.diffusers[2].coefficient, 0.9999f * 0.8333334f);
    EXPECT_NEAR(stage.diffusers[3].coefficient, 0.83325f, 1e-6f);
    EXPECT_EQ(stage.diffusers[3].gain, 1.0f);
    set_diffusion(&stage, -200.0f);
    EXPECT_EQ(stage.diffusers[0].coefficient, -0.9999f);
    EXPECT_NEAR(stage.diffusers[2].coefficient, -0.83325f, 1e-6f);
}

TEST(Diffuser, BypassKeepsContentsAndResumes)
{
    DiffusionStage on, toggled;
    diffusion_stage_setup(&on);
    diffusion_stage_setup(&toggled);
    set_diffusion(&on, 60.0f);
    set_diffusion(&toggled, 60.0f);
    std::vector<float> input = noise_burst(64, 64);
    float work_on[16], work_toggled[16];
    diffusion_stage_process(&on, &input[0], work_on, 16);
    diffusion_stage_process(&toggled, &input[0], work_toggled, 16);

    // Bypassed: the block is copied and the diffusers do not move.
    set_diffusion(&toggled, 0.0f);
    diffusion_stage_process(&toggled, &input[16], work_toggled, 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(work_toggled[i], input[16 + i]);
    EXPECT_EQ(toggled.diffusers[0].index, 16u);

    // Back on: it continues exactly where the always-on stage was after one block.
    set_diffusion(&toggled, 60.0f);
    diffusion_stage_process(&on, &input[32], work_on, 16);
    diffusion_stage_process(&toggled, &input[32], work_toggled, 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(work_on[i], work_toggled[i]);
}

TEST(Diffuser, BadDiffusionValuesRunSafely)
{
    for (float v : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f}) {
        DiffusionStage stage;
        diffusion_stage_setup(&stage);
        set_diffusion(&stage, v);
        if (!std::isnan(v)) {
            EXPECT_LE(std::fabs(stage.diffusion), 0.9999f);
        }
        std::vector<float> input = noise_burst(64, 64), work(64);
        for (int b = 0; b < 100; ++b) diffusion_stage_process(&stage, &input[(b % 4) * 16], &work[0], 16);
        for (const AllpassDiffuser& d : stage.diffusers) EXPECT_LE(d.index, d.length);
    }
}
