// The five modes' wiring as data: for each mode, its stages in the order they
// run, which building block each stage uses, and which signal it reads and
// writes. The engine runs the modes from this table (engine/modes.cpp); the
// plugin window draws each mode's routing from it and dims what a mode does
// not hear. Constant data and nothing else, so that both can read it.
#pragma once

#include <cstdint>

// The five wirings, named as the mode control's menu names them.
typedef enum {
    MODE_DELAY_LINES = 0,       // "Delay lines only": no tank
    MODE_PARALLEL_TANKS = 1,    // "Four parallel tanks"
    MODE_TANKS_INTO_ONE = 2,    // "Three tanks into one"
    MODE_TANKS_IN_SERIES = 3,   // "Tanks in series"
    MODE_TANKS_INTO_DELAYS = 4, // "Tanks into delay chains"
    MODE_COUNT
} Mode;

// The signals a mode passes between its stages, each one block long: the
// cleaned input, a work block, and the left and right wet signals.
typedef enum { BUS_INPUT, BUS_WORK, BUS_LEFT, BUS_RIGHT, BUS_COUNT } Bus;

// The building blocks a stage can use.
typedef enum {
    COMPONENT_NONE = -1,
    COMPONENT_DIFFUSERS = 0,  // the four allpass diffusers in series
    COMPONENT_DELAY_LINES,    // the four modulated delay lines
    COMPONENT_TANK_0,
    COMPONENT_TANK_1,
    COMPONENT_TANK_2,
    COMPONENT_TANK_3,
    COMPONENT_COUNT
} Component;

typedef enum {
    STAGE_DIFFUSION,     // from -> to through the diffusion stage
    STAGE_DELAYS,        // to, in place: the four delay lines' outputs summed, times gain
    STAGE_DELAY_CHAINS,  // from -> to: chains 0 -> 1 and 3 -> 2, averaged
    STAGE_TANK_REPLACE,  // from -> to: the tank's line sum replaces to
    STAGE_TANK_ADD,      // from -> to: the tank's line sum is added to to
    STAGE_TANK_STEREO,   // from -> left and right: even and odd lines, cross-mixed
    STAGE_SCALE,         // from -> to, times gain
    STAGE_COPY,          // from -> to
    STAGE_CROSS_MIX,     // left and right each take cross_mix of the other
} StageKind;

typedef struct {
    StageKind kind;
    Component component;
    Bus from;
    Bus to;
    float gain;
} Stage;

enum { MODE_MAX_STAGES = 8 };

typedef struct {
    int count;
    Stage stages[MODE_MAX_STAGES];
} ModeWiring;

// How loud each mode plays against mode 1 at the same settings, in dB (RMS
// of the reverb on a drum-like click train, every other control at its
// default; measured by tests/test_levels.cpp, which fails when a mode moves
// more than 1 dB from its figure). The window shows them on the mode buttons
// and the README lists them.
inline constexpr float MODE_LOUDNESS_DB[5] = {-0.8f, 0.0f, -0.6f, 16.5f, 9.0f};

inline constexpr Stage stage_of(StageKind kind, Component component, Bus from, Bus to,
                                float gain = 1.0f)
{
    return Stage{kind, component, from, to, gain};
}

#define DIFFUSE(from, to) stage_of(STAGE_DIFFUSION, COMPONENT_DIFFUSERS, from, to)
#define DELAYS(bus, gain) stage_of(STAGE_DELAYS, COMPONENT_DELAY_LINES, bus, bus, gain)
#define TANK(kind, k, from, to) stage_of(kind, COMPONENT_TANK_##k, from, to)

inline constexpr ModeWiring MODE_WIRINGS[MODE_COUNT] = {
    // 0: no tank; the delay stage's plain sum on both sides.
    {3,
     {DIFFUSE(BUS_INPUT, BUS_LEFT), DELAYS(BUS_LEFT, 1.0f),
      stage_of(STAGE_COPY, COMPONENT_NONE, BUS_LEFT, BUS_RIGHT)}},
    // 1: tanks 0 + 1 make the right side, 2 + 3 the left, then each side
    // takes cross_mix of the other.
    {7,
     {DIFFUSE(BUS_INPUT, BUS_WORK), DELAYS(BUS_WORK, 0.25f),
      TANK(STAGE_TANK_REPLACE, 0, BUS_WORK, BUS_RIGHT), TANK(STAGE_TANK_ADD, 1, BUS_WORK, BUS_RIGHT),
      TANK(STAGE_TANK_REPLACE, 2, BUS_WORK, BUS_LEFT), TANK(STAGE_TANK_ADD, 3, BUS_WORK, BUS_LEFT),
      stage_of(STAGE_CROSS_MIX, COMPONENT_NONE, BUS_LEFT, BUS_RIGHT)}},
    // 2: tanks 0, 1, 2 in parallel, their average into the stereo tank 3.
    {7,
     {DIFFUSE(BUS_INPUT, BUS_WORK), DELAYS(BUS_WORK, 0.25f),
      TANK(STAGE_TANK_REPLACE, 0, BUS_WORK, BUS_RIGHT), TANK(STAGE_TANK_ADD, 1, BUS_WORK, BUS_RIGHT),
      TANK(STAGE_TANK_ADD, 2, BUS_WORK, BUS_RIGHT),
      stage_of(STAGE_SCALE, COMPONENT_NONE, BUS_RIGHT, BUS_WORK, 0.33333334f),
      TANK(STAGE_TANK_STEREO, 3, BUS_WORK, BUS_LEFT)}},
    // 3: tanks 1 and 2 in series, each adding its reverb to what it gets,
    // into the stereo tank 3. Tank 0 runs too, so that it keeps advancing as
    // in the other tank modes; tank 3 overwrites what it wrote.
    {6,
     {DIFFUSE(BUS_INPUT, BUS_WORK), DELAYS(BUS_WORK, 0.25f),
      TANK(STAGE_TANK_REPLACE, 0, BUS_WORK, BUS_RIGHT), TANK(STAGE_TANK_ADD, 1, BUS_WORK, BUS_WORK),
      TANK(STAGE_TANK_ADD, 2, BUS_WORK, BUS_WORK), TANK(STAGE_TANK_STEREO, 3, BUS_WORK, BUS_LEFT)}},
    // 4: diffusion, tanks 0, 1, 2 summed, two chains of delay lines
    // (0 -> 1 and 3 -> 2) averaged, into the stereo tank 3.
    {6,
     {DIFFUSE(BUS_INPUT, BUS_WORK), TANK(STAGE_TANK_REPLACE, 0, BUS_WORK, BUS_RIGHT),
      TANK(STAGE_TANK_ADD, 1, BUS_WORK, BUS_RIGHT), TANK(STAGE_TANK_ADD, 2, BUS_WORK, BUS_RIGHT),
      stage_of(STAGE_DELAY_CHAINS, COMPONENT_DELAY_LINES, BUS_RIGHT, BUS_WORK),
      TANK(STAGE_TANK_STEREO, 3, BUS_WORK, BUS_LEFT)}},
};

#undef DIFFUSE
#undef DELAYS
#undef TANK

// The building blocks whose output reaches the wet signal in a mode (bit k
// for component k), followed through the buses; a block that runs but is
// overwritten later (tank 0 in mode 3) is not heard.
constexpr uint32_t mode_heard_components(int mode)
{
    if (mode < 0 || mode >= MODE_COUNT) return 0;
    uint32_t bus[BUS_COUNT] = {0, 0, 0, 0};
    const ModeWiring& w = MODE_WIRINGS[mode];
    for (int i = 0; i < w.count; ++i) {
        const Stage& s = w.stages[i];
        const uint32_t own = s.component == COMPONENT_NONE ? 0u : 1u << s.component;
        switch (s.kind) {
        case STAGE_DELAYS: bus[s.to] |= own; break;
        case STAGE_TANK_ADD: bus[s.to] |= bus[s.from] | own; break;
        case STAGE_TANK_STEREO: bus[BUS_LEFT] = bus[BUS_RIGHT] = bus[s.from] | own; break;
        case STAGE_CROSS_MIX: bus[BUS_LEFT] = bus[BUS_RIGHT] = bus[BUS_LEFT] | bus[BUS_RIGHT]; break;
        default: bus[s.to] = bus[s.from] | own; break;
        }
    }
    return bus[BUS_LEFT] | bus[BUS_RIGHT];
}

// The building blocks a mode runs (bit k for component k), heard or not:
// the ones whose state moves while the mode plays.
constexpr uint32_t mode_run_components(int mode)
{
    if (mode < 0 || mode >= MODE_COUNT) return 0;
    uint32_t run = 0;
    const ModeWiring& w = MODE_WIRINGS[mode];
    for (int i = 0; i < w.count; ++i)
        if (w.stages[i].component != COMPONENT_NONE) run |= 1u << w.stages[i].component;
    return run;
}
