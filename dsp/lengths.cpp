#include "dsp/lengths.h"

#include <cmath>

#include "dsp/convert.h"

static bool passes_trial_division(uint64_t n)
{
    const uint64_t b = to_u64(std::sqrt(static_cast<double>(n)));
    if (b <= 4) return true;
    if (n % 5 == 0 || n % 7 == 0) return false;
    for (uint64_t i = 5; i + 6 <= b; i += 6) {
        if (n % (i + 6) == 0 || n % (i + 8) == 0) return false;
    }
    return true;
}

uint64_t next_prime_length(float x)
{
    uint64_t n = to_u64(x);
    if (n > UINT64_C(4294967295)) n = UINT64_C(4294967295);
    if (n < 100) n = 100;
    n |= 1;
    while (!passes_trial_division(n)) n += 2;
    return n;
}

void plan_length_change(LengthPlan* plan, uint64_t requested, uint64_t limit)
{
    const uint64_t target = requested < limit ? requested : limit;
    const float length = static_cast<float>(plan->length);
    if (plan->length >= target) {
        const uint64_t s = to_u64(length * 0.75f);
        if (target < s) {
            plan->next_length = s;
            plan->target_length = target;
        } else {
            plan->next_length = target;
            plan->target_length = 0;
        }
    } else {
        const uint64_t s = to_u64(length * 1.5f);
        if (s < target) {
            plan->next_length = s;
            plan->target_length = target;
        } else {
            plan->next_length = target;
            plan->target_length = 0;
        }
    }
}
