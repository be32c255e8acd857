// Per-instance random generator that reproduces, number for number, glibc's
// default rand(): the additive feedback generator r[i] = r[i-3] + r[i-31]
// seeded by a Lehmer sequence, returning values in 0 ... 2^31 - 1.
//
// Each instance owns one, so reseeding it never touches the process-wide
// generator of the host or another instance, and no lock is taken.
#pragma once

#include <cstdint>

typedef struct {
    int32_t state[31];
    int front;  // index of r[i-3]'s successor slot (glibc's fptr)
    int rear;   // glibc's rptr
} Rng;

void rng_seed(Rng* rng, uint32_t seed);
int32_t rng_next(Rng* rng);
