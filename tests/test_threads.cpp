#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "harness.h"

namespace {

struct Job {
    int mode;
    double rate;
    uint32_t period;
    float jitter;
    std::vector<float> left, right;
};

void render(Job* job)
{
    Host host(job->rate, 1024);
    host.controls[PORT_MODE_SEL] = static_cast<float>(job->mode);
    host.controls[PORT_JITTER] = job->jitter;
    host.render(noise_burst(30000, 3000, static_cast<uint32_t>(job->mode + 1)), job->period,
                &job->left, &job->right);
}

}  // namespace

// Instances share nothing but the log level: several at once in several
// threads give exactly what each gives alone (also with jitter, which draws
// random numbers).
TEST(Threads, ConcurrentInstancesMatchTheirSoloRuns)
{
    std::vector<Job> solo = {{1, 48000.0, 256, 30.0f, {}, {}},
                             {2, 44100.0, 100, 50.0f, {}, {}},
                             {3, 96000.0, 512, 10.0f, {}, {}},
                             {4, 48000.0, 64, 70.0f, {}, {}}};
    std::vector<Job> together = solo;
    for (Job& job : solo) render(&job);
    std::vector<std::thread> threads;
    for (Job& job : together) threads.emplace_back(render, &job);
    for (std::thread& t : threads) t.join();
    for (size_t k = 0; k < solo.size(); ++k) {
        EXPECT_TRUE(same_bits(solo[k].left, together[k].left)) << k;
        EXPECT_TRUE(same_bits(solo[k].right, together[k].right)) << k;
    }
}
