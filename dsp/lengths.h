// Length rules shared by every fixed delay: the prime-like length search and
// the step-by-step plan by which a resizable line moves to a new length.
#pragma once

#include <cstdint>

// Smallest odd n >= max(trunc(x), 100) that passes the trial-division test
// (divisors 5, 7 and every 6k-1, 6k+1 from 11 on; 3 is not tested). The
// truncated count is capped at 2^32 - 1 so that no argument can make the
// search run for long.
uint64_t next_prime_length(float x);

// The length fields of a resizable line.
typedef struct {
    uint64_t length;         // length in force
    uint64_t next_length;    // taken at the next wrap; 0 = no change planned
    uint64_t target_length;  // final length still to reach after that; 0 = none
} LengthPlan;

// Plan the move of `plan->length` toward min(requested, limit): at most a factor
// 0.75 down or 1.5 up per step.
void plan_length_change(LengthPlan* plan, uint64_t requested, uint64_t limit);
