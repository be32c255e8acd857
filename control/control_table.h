// The plugin's ports and every fact about its controls, typed once:
// index, symbol, name, declared range and default (the bundle's Turtle file
// must say the same; a test compares them), unit, scale, group, the
// library's safety bound, whether the control glides through a gain ramp,
// and the order of the control scan. Constant data and nothing else: the
// plugin, the window, the tests and the tools read it without the engine.
// What each control does to the engine is bound in control/control_actions.h.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/mode_wiring.h"

typedef enum {
    PORT_IN = 0,
    PORT_OUT_L,
    PORT_OUT_R,
    PORT_DRY_DB,
    PORT_WET_A_DB,
    PORT_WET_B_DB,
    PORT_DECAY_MS,
    PORT_SIZE_MIN,
    PORT_SIZE_MAX,
    PORT_WIDTH,
    PORT_JITTER,
    PORT_SHAPE,
    PORT_DIFFUSION_PCT,
    PORT_MODE_SEL,
    PORT_MOD_DEPTH,
    PORT_PITCH_0,
    PORT_PITCH_1,
    PORT_PITCH_2,
    PORT_PITCH_3,
    PORT_DELAY_MIX,
    PORT_DELAY_FEEDBACK,
    PORT_DELAY_MS,
    PORT_XFADE_MS,
    PORT_HP_LOW,
    PORT_HP_HIGH,
    PORT_LP_LOW,
    PORT_LP_HIGH,
    PORT_ENABLED,   // added after the first 27 ports, so that their indices stay,
    PORT_TANK_MOD,  // and so on: a new port goes at the end
    PORT_COUNT
} PortIndex;

enum { CONTROL_COUNT = PORT_COUNT - PORT_DRY_DB };

// The stereo-input variant for sends and buses: four audio ports, then the
// same controls in the same order.
typedef enum {
    STEREO_IN_L = 0,
    STEREO_IN_R,
    STEREO_OUT_L,
    STEREO_OUT_R,
    STEREO_FIRST_CONTROL,
    STEREO_PORT_COUNT = STEREO_FIRST_CONTROL + CONTROL_COUNT
} StereoPortIndex;

inline constexpr const char* STEREO_AUDIO_SYMBOLS[STEREO_FIRST_CONTROL] = {"in_l", "in_r", "out_l",
                                                                          "out_r"};

// The one place that maps the two layouts onto each other. A control's index
// in the stereo variant:
constexpr uint32_t stereo_port_of(PortIndex control)
{
    return static_cast<uint32_t>(control) - PORT_DRY_DB + STEREO_FIRST_CONTROL;
}

// The mono plugin's port that a stereo-variant port stands for: the left
// input for in_l, the outputs for the outputs, the same control for a
// control; PORT_COUNT for in_r (the mono plugin has none) and for indices
// beyond the ports.
constexpr uint32_t mono_port_of_stereo(uint32_t port)
{
    switch (port) {
    case STEREO_IN_L: return PORT_IN;
    case STEREO_IN_R: return PORT_COUNT;
    case STEREO_OUT_L: return PORT_OUT_L;
    case STEREO_OUT_R: return PORT_OUT_R;
    default:
        return port < STEREO_PORT_COUNT ? port - STEREO_FIRST_CONTROL + PORT_DRY_DB
                                        : uint32_t{PORT_COUNT};
    }
}

typedef enum { PORT_KIND_AUDIO_IN, PORT_KIND_AUDIO_OUT, PORT_KIND_CONTROL_IN } PortKind;

typedef enum { UNIT_NONE, UNIT_DB, UNIT_MS, UNIT_M, UNIT_PC, UNIT_SEMITONE, UNIT_HZ } ControlUnit;

// The LV2 units vocabulary's name of each unit, and how people write it.
inline constexpr const char* UNIT_LV2_NAME[] = {"", "db", "ms", "m", "pc", "semitone12TET", "hz"};
inline constexpr const char* UNIT_LABEL[] = {"", "dB", "ms", "m", "%", "semitones", "Hz"};

// The four controls that glide block by block instead of jumping.
typedef enum { RAMP_DRY, RAMP_WET_A, RAMP_WET_B, RAMP_DECAY, RAMP_COUNT, RAMP_NONE = RAMP_COUNT } RampIndex;

// The groups in which hosts and the plugin window show the controls.
typedef enum {
    GROUP_NONE,
    GROUP_LEVELS,
    GROUP_ROOM,
    GROUP_DIFFUSION,
    GROUP_DELAY_LINES,
    GROUP_FILTERS,
    GROUP_COUNT
} ControlGroup;

inline constexpr const char* GROUP_SYMBOLS[GROUP_COUNT] = {"", "levels", "room", "diffusion",
                                                           "delay_lines", "filters"};
inline constexpr const char* GROUP_LABELS[GROUP_COUNT] = {"", "Levels", "Room", "Diffusion",
                                                          "Pitch delay lines", "Filters"};

typedef struct {
    PortIndex index;
    const char* symbol;
    const char* name;
    PortKind kind;
    // Declared to hosts in the Turtle file.
    float minimum;
    float default_value;
    float maximum;
    ControlUnit unit;
    bool logarithmic;
    // Safety bound: hosts, scripts and automation may send anything; values
    // beyond it would turn a feedback path unstable or non-finite for good
    // (infinite read speed, unstable filter pole, overflowing mix, endless
    // gain). Applied before the action.
    float bound_low;
    float bound_high;
    RampIndex ramp;
    ControlGroup group;
    bool toggled;  // on (1) or off (0) only
    // The building blocks the control acts on (bits of Component); 0 for
    // the levels, the mode and the bypass, which act in every mode. A
    // control whose blocks a mode does not hear does nothing there.
    uint32_t acts_on;
    // What hosts show as the control's description (rdfs:comment), and the
    // stereo variant's where it differs (else null).
    const char* comment;
    const char* stereo_comment;
} PortInfo;

enum : uint32_t {
    ACTS_ALWAYS = 0,
    ACTS_DIFFUSERS = 1u << COMPONENT_DIFFUSERS,
    ACTS_DELAY_LINES = 1u << COMPONENT_DELAY_LINES,
    ACTS_TANKS = (1u << COMPONENT_TANK_0) | (1u << COMPONENT_TANK_1) | (1u << COMPONENT_TANK_2) |
                 (1u << COMPONENT_TANK_3),
};

inline constexpr float NO_BOUND = std::numeric_limits<float>::infinity();

// The delay line's lowpass peaks at 1.4125 (+3.0 dB), so its loop gain is
// |feedback| * 0.0075001875 * 1.4125: above 1 from 94.4 %.
inline constexpr float FEEDBACK_BOUND = 94.0f;

#define AUDIO(i, sym, nm, kind) \
    {i, sym, nm, kind, 0, 0, 0, UNIT_NONE, false, 0, 0, RAMP_NONE, GROUP_NONE, false, ACTS_ALWAYS, nullptr, nullptr}

inline constexpr PortInfo PORT_TABLE[PORT_COUNT] = {
    AUDIO(PORT_IN, "in", "In", PORT_KIND_AUDIO_IN),
    AUDIO(PORT_OUT_L, "out_l", "Out left", PORT_KIND_AUDIO_OUT),
    AUDIO(PORT_OUT_R, "out_r", "Out right", PORT_KIND_AUDIO_OUT),
    // index, symbol, name, kind,
    //   minimum, default, maximum, unit, logarithmic, bound low, bound high, ramp, group, toggled,
    //   acts on, comment, the stereo variant's comment
    {PORT_DRY_DB, "dry_db", "Dry level", PORT_KIND_CONTROL_IN,
     -120, 0, 6, UNIT_DB, false, -120, 40, RAMP_DRY, GROUP_LEVELS, false, ACTS_ALWAYS,
     "Level of the unprocessed input in both outputs.",
     "Level of the unprocessed input, each side in its own output."},
    {PORT_WET_A_DB, "wet_a_db", "Reverb level", PORT_KIND_CONTROL_IN,
     -120, -27, 6, UNIT_DB, false, -120, 40, RAMP_WET_A, GROUP_LEVELS, false, ACTS_ALWAYS,
     "Level of the reverberated signal.", nullptr},
    {PORT_WET_B_DB, "wet_b_db", "Reverb trim", PORT_KIND_CONTROL_IN,
     -60, 0, 6, UNIT_DB, false, -120, 40, RAMP_WET_B, GROUP_LEVELS, false, ACTS_ALWAYS,
     "Second level control of the reverberated signal, multiplied with the reverb level.", nullptr},
    {PORT_DECAY_MS, "decay_ms", "Decay time", PORT_KIND_CONTROL_IN,
     100, 2500, 200000, UNIT_MS, true, -NO_BOUND, NO_BOUND, RAMP_DECAY, GROUP_ROOM, false, ACTS_TANKS,
     "Time in which the tail falls by 60 dB. Above 170000 ms the tail is frozen and sustains indefinitely.", nullptr},
    {PORT_SIZE_MIN, "size_min", "Room size, shortest path", PORT_KIND_CONTROL_IN,
     0, 8, 200, UNIT_M, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_ROOM, false, ACTS_TANKS,
     "Distance of the shortest feedback path of each tank.", nullptr},
    {PORT_SIZE_MAX, "size_max", "Room size, longest path", PORT_KIND_CONTROL_IN,
     0, 45, 200, UNIT_M, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_ROOM, false, ACTS_TANKS,
     "Distance toward which the longest feedback paths spread.", nullptr},
    {PORT_WIDTH, "width", "Stereo width", PORT_KIND_CONTROL_IN,
     -100, 80, 100, UNIT_PC, false, -100, 100, RAMP_NONE, GROUP_ROOM, false, ACTS_TANKS,
     "100 % keeps left and right apart, 0 % is mono, negative values blend in more of the opposite side.", nullptr},
    {PORT_JITTER, "jitter", "Path jitter", PORT_KIND_CONTROL_IN,
     0, 25, 100, UNIT_PC, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_ROOM, false, ACTS_TANKS,
     "Random spread of the feedback path lengths; it also makes the four tanks differ, which gives the stereo image.", nullptr},
    {PORT_SHAPE, "shape", "Path spread shape", PORT_KIND_CONTROL_IN,
     -100, 0, 100, UNIT_PC, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_ROOM, false, ACTS_TANKS,
     "Curvature of the spread of path lengths between the shortest and the longest: positive values crowd the long paths, negative values the short ones.", nullptr},
    {PORT_DIFFUSION_PCT, "diffusion_pct", "Diffusion", PORT_KIND_CONTROL_IN,
     -99, 60, 99, UNIT_PC, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_DIFFUSION, false, ACTS_DIFFUSERS,
     "Strength of the four allpass diffusers that smear transients before the reverb. Exactly 0 bypasses them.", nullptr},
    {PORT_MODE_SEL, "mode_sel", "Mode", PORT_KIND_CONTROL_IN,
     0, 1, 4, UNIT_NONE, false, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_NONE, false, ACTS_ALWAYS,
     "Wiring of the building blocks. Loudness against mode 1 at the same settings: mode 0 -0.8 dB, mode 2 -0.6 dB, mode 3 +16.5 dB, mode 4 +9.0 dB; lower the reverb level before choosing mode 3 or 4.", nullptr},
    {PORT_MOD_DEPTH, "mod_depth", "Modulation depth", PORT_KIND_CONTROL_IN,
     0, 4, 100, UNIT_PC, false, 0, 100, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Depth of the slow modulation of the four pitch delay lines.", nullptr},
    {PORT_PITCH_0, "pitch_0", "Pitch, delay line 1", PORT_KIND_CONTROL_IN,
     -24, 0, 24, UNIT_SEMITONE, false, -48, 48, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Pitch shift of the first delay line.", nullptr},
    {PORT_PITCH_1, "pitch_1", "Pitch, delay line 2", PORT_KIND_CONTROL_IN,
     -24, 0, 24, UNIT_SEMITONE, false, -48, 48, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Pitch shift of the second delay line.", nullptr},
    {PORT_PITCH_2, "pitch_2", "Pitch, delay line 3", PORT_KIND_CONTROL_IN,
     -24, 0, 24, UNIT_SEMITONE, false, -48, 48, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Pitch shift of the third delay line.", nullptr},
    {PORT_PITCH_3, "pitch_3", "Pitch, delay line 4", PORT_KIND_CONTROL_IN,
     -24, 0, 24, UNIT_SEMITONE, false, -48, 48, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Pitch shift of the fourth delay line.", nullptr},
    {PORT_DELAY_MIX, "delay_mix", "Delay line mix", PORT_KIND_CONTROL_IN,
     0, 0, 100, UNIT_PC, false, -100, 200, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Share of the delayed, pitch-shifted signal in the output of the delay lines; 0 passes the signal straight through.", nullptr},
    {PORT_DELAY_FEEDBACK, "delay_feedback", "Delay line feedback", PORT_KIND_CONTROL_IN,
     -90, 20, 90, UNIT_PC, false, -FEEDBACK_BOUND, FEEDBACK_BOUND, RAMP_NONE,
     GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Feedback of the four delay lines.", nullptr},
    {PORT_DELAY_MS, "delay_ms", "Delay line time", PORT_KIND_CONTROL_IN,
     1, 120, 600, UNIT_MS, true, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Delay time of the four delay lines (spread from 0.9 to 1.07 times this value); at most 32000 samples.", nullptr},
    {PORT_XFADE_MS, "xfade_ms", "Pitch crossfade", PORT_KIND_CONTROL_IN,
     1, 20, 100, UNIT_MS, true, -NO_BOUND, NO_BOUND, RAMP_NONE, GROUP_DELAY_LINES, false, ACTS_DELAY_LINES,
     "Length of the crossfade when a pitch-shifting read head jumps.", nullptr},
    {PORT_HP_LOW, "hp_low", "Low cut, shortest path", PORT_KIND_CONTROL_IN,
     10, 40, 2000, UNIT_HZ, true, 0, 24000, RAMP_NONE, GROUP_FILTERS, false, ACTS_TANKS,
     "High-pass cutoff of the shortest feedback path of each tank; below 21 Hz a path's high-pass is off.", nullptr},
    {PORT_HP_HIGH, "hp_high", "Low cut, spread end", PORT_KIND_CONTROL_IN,
     10, 120, 2000, UNIT_HZ, true, 0, 24000, RAMP_NONE, GROUP_FILTERS, false, ACTS_TANKS,
     "End point of the high-pass cutoffs spread over the paths.", nullptr},
    {PORT_LP_LOW, "lp_low", "High cut, shortest path", PORT_KIND_CONTROL_IN,
     200, 9000, 20000, UNIT_HZ, true, 0, 24000, RAMP_NONE, GROUP_FILTERS, false, ACTS_TANKS,
     "Low-pass cutoff of the shortest feedback path of each tank; above 17950 Hz a path's low-pass is off.", nullptr},
    {PORT_LP_HIGH, "lp_high", "High cut, spread end", PORT_KIND_CONTROL_IN,
     200, 4000, 20000, UNIT_HZ, true, 0, 24000, RAMP_NONE, GROUP_FILTERS, false, ACTS_TANKS,
     "End point of the low-pass cutoffs spread over the paths.", nullptr},
    // The host's bypass (lv2:enabled): off plays the dry input, faded.
    {PORT_ENABLED, "enabled", "Enabled", PORT_KIND_CONTROL_IN,
     0, 1, 1, UNIT_NONE, false, 0, 1, RAMP_NONE, GROUP_NONE, true, ACTS_ALWAYS,
     "Off bypasses the reverb without a click: the dry input on both outputs, faded over 5 ms; the reverb keeps running underneath.", nullptr},
    {PORT_TANK_MOD, "tank_mod", "Tank modulation", PORT_KIND_CONTROL_IN,
     0, 0, 100, UNIT_PC, false, 0, 100, RAMP_NONE, GROUP_DIFFUSION, false, ACTS_TANKS,
     "Slow movement of the feedback paths' lengths: the tail's resonances drift instead of ringing in place, for a smooth, unmetallic tail. 0 keeps the paths still.", nullptr},
};

#undef AUDIO

// Every row sits at its own index: the shells index the table by port.
constexpr bool port_rows_in_order()
{
    for (int i = 0; i < PORT_COUNT; ++i)
        if (PORT_TABLE[i].index != i) return false;
    return true;
}
static_assert(port_rows_in_order(), "a control table row is not at its index");

// The order in which a run's control scan applies the controls that changed.
// It is behaviour: the size, jitter and shape updates each end with a full
// recomputation of the tank lines, so when several change at once the last in
// this order decides which random numbers a jittered length draws; and the
// crossfade setter recomputes the delay lines' guards from the old pitches
// before the pitch setters recompute them from the new ones.
inline constexpr PortIndex SCAN_ORDER[CONTROL_COUNT] = {
    PORT_DRY_DB,   PORT_WET_A_DB,  PORT_WET_B_DB,  PORT_DECAY_MS,       PORT_SIZE_MIN,
    PORT_SIZE_MAX, PORT_WIDTH,     PORT_JITTER,    PORT_SHAPE,          PORT_DIFFUSION_PCT,
    PORT_MODE_SEL, PORT_MOD_DEPTH, PORT_DELAY_MIX, PORT_DELAY_FEEDBACK, PORT_DELAY_MS,
    PORT_XFADE_MS, PORT_HP_LOW,    PORT_HP_HIGH,   PORT_LP_LOW,         PORT_LP_HIGH,
    PORT_PITCH_0,  PORT_PITCH_1,   PORT_PITCH_2,   PORT_PITCH_3,  PORT_ENABLED,
    PORT_TANK_MOD,
};

// The mode control's menu, in mode order.
inline constexpr const char* MODE_LABELS[] = {
    "Delay lines only", "Four parallel tanks", "Three tanks into one", "Tanks in series",
    "Tanks into delay chains",
};

// The pedal face that boards without the plugin window show (the MOD
// boards' interface): the mode as a selector first, then the knobs a player
// reaches for, each with the short title the face prints. The other
// controls are in the board's own list.
typedef struct {
    PortIndex port;
    const char* title;
} FaceControl;

inline constexpr FaceControl PEDAL_FACE[] = {
    {PORT_MODE_SEL, "Mode"},      {PORT_DRY_DB, "Dry"},        {PORT_WET_A_DB, "Reverb"},
    {PORT_DECAY_MS, "Decay"},     {PORT_SIZE_MIN, "Room min"}, {PORT_SIZE_MAX, "Room max"},
    {PORT_WIDTH, "Width"},        {PORT_DIFFUSION_PCT, "Diffusion"}, {PORT_TANK_MOD, "Tank mod"},
};

// The port each ramp serves, found in the table.
constexpr PortIndex ramp_port(RampIndex ramp)
{
    for (const PortInfo& info : PORT_TABLE)
        if (info.ramp == ramp) return info.index;
    return PORT_COUNT;
}

// Whether a control changes anything in a mode (it always takes effect; in
// a mode that does not hear its blocks it waits for the mode to change).
constexpr bool control_acts_in_mode(const PortInfo& info, int mode)
{
    return info.acts_on == ACTS_ALWAYS || (info.acts_on & mode_heard_components(mode)) != 0;
}

inline float bounded(float v, const PortInfo& info)
{
    return v < info.bound_low ? info.bound_low : (v > info.bound_high ? info.bound_high : v);
}
