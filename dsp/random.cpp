#include "dsp/random.h"

int32_t rng_next(Rng* rng)
{
    uint32_t sum = static_cast<uint32_t>(rng->state[rng->front]) +
                   static_cast<uint32_t>(rng->state[rng->rear]);
    rng->state[rng->front] = static_cast<int32_t>(sum);
    const int32_t result = static_cast<int32_t>(sum >> 1);
    if (++rng->front >= 31) rng->front = 0;
    if (++rng->rear >= 31) rng->rear = 0;
    return result;
}

void rng_seed(Rng* rng, uint32_t seed)
{
    if (seed == 0) seed = 1;
    int32_t word = static_cast<int32_t>(seed);
    rng->state[0] = word;
    for (int i = 1; i < 31; ++i) {
        // 16807 * word mod (2^31 - 1) without overflow (Schrage's method).
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        rng->state[i] = word;
    }
    rng->front = 3;
    rng->rear = 0;
    for (int i = 0; i < 310; ++i) rng_next(rng);
}
