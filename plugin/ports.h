// The plugin's 27 ports: index, symbol and kind. The one table that the
// plugin, the tests and the tools all use.
#pragma once

#include <cstdint>

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
    PORT_COUNT
} PortIndex;

typedef enum { PORT_KIND_AUDIO_IN, PORT_KIND_AUDIO_OUT, PORT_KIND_CONTROL_IN } PortKind;

typedef struct {
    PortIndex index;
    const char* symbol;
    PortKind kind;
} PortInfo;

static const PortInfo PORT_TABLE[PORT_COUNT] = {
    {PORT_IN, "in", PORT_KIND_AUDIO_IN},
    {PORT_OUT_L, "out_l", PORT_KIND_AUDIO_OUT},
    {PORT_OUT_R, "out_r", PORT_KIND_AUDIO_OUT},
    {PORT_DRY_DB, "dry_db", PORT_KIND_CONTROL_IN},
    {PORT_WET_A_DB, "wet_a_db", PORT_KIND_CONTROL_IN},
    {PORT_WET_B_DB, "wet_b_db", PORT_KIND_CONTROL_IN},
    {PORT_DECAY_MS, "decay_ms", PORT_KIND_CONTROL_IN},
    {PORT_SIZE_MIN, "size_min", PORT_KIND_CONTROL_IN},
    {PORT_SIZE_MAX, "size_max", PORT_KIND_CONTROL_IN},
    {PORT_WIDTH, "width", PORT_KIND_CONTROL_IN},
    {PORT_JITTER, "jitter", PORT_KIND_CONTROL_IN},
    {PORT_SHAPE, "shape", PORT_KIND_CONTROL_IN},
    {PORT_DIFFUSION_PCT, "diffusion_pct", PORT_KIND_CONTROL_IN},
    {PORT_MODE_SEL, "mode_sel", PORT_KIND_CONTROL_IN},
    {PORT_MOD_DEPTH, "mod_depth", PORT_KIND_CONTROL_IN},
    {PORT_PITCH_0, "pitch_0", PORT_KIND_CONTROL_IN},
    {PORT_PITCH_1, "pitch_1", PORT_KIND_CONTROL_IN},
    {PORT_PITCH_2, "pitch_2", PORT_KIND_CONTROL_IN},
    {PORT_PITCH_3, "pitch_3", PORT_KIND_CONTROL_IN},
    {PORT_DELAY_MIX, "delay_mix", PORT_KIND_CONTROL_IN},
    {PORT_DELAY_FEEDBACK, "delay_feedback", PORT_KIND_CONTROL_IN},
    {PORT_DELAY_MS, "delay_ms", PORT_KIND_CONTROL_IN},
    {PORT_XFADE_MS, "xfade_ms", PORT_KIND_CONTROL_IN},
    {PORT_HP_LOW, "hp_low", PORT_KIND_CONTROL_IN},
    {PORT_HP_HIGH, "hp_high", PORT_KIND_CONTROL_IN},
    {PORT_LP_LOW, "lp_low", PORT_KIND_CONTROL_IN},
    {PORT_LP_HIGH, "lp_high", PORT_KIND_CONTROL_IN},
};
