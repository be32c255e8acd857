#include "control/control_actions.h"

typedef struct {
    PortIndex port;
    ControlAction action;
} Binding;

// In port order; checked below, so that a control added to the table without
// its action, or out of order, does not build.
static constexpr Binding BINDINGS[PORT_COUNT] = {
    {PORT_IN, nullptr},
    {PORT_OUT_L, nullptr},
    {PORT_OUT_R, nullptr},
    {PORT_DRY_DB, engine_set_dry_db},
    {PORT_WET_A_DB, engine_set_wet_a_db},
    {PORT_WET_B_DB, engine_set_wet_b_db},
    {PORT_DECAY_MS, engine_set_decay_ms},
    {PORT_SIZE_MIN, engine_set_size_min},
    {PORT_SIZE_MAX, engine_set_size_max},
    {PORT_WIDTH, engine_set_width},
    {PORT_JITTER, engine_set_jitter},
    {PORT_SHAPE, engine_set_shape},
    {PORT_DIFFUSION_PCT, engine_set_diffusion},
    {PORT_MODE_SEL, engine_set_mode},
    {PORT_MOD_DEPTH, engine_set_mod_depth},
    {PORT_PITCH_0, engine_set_pitch_0},
    {PORT_PITCH_1, engine_set_pitch_1},
    {PORT_PITCH_2, engine_set_pitch_2},
    {PORT_PITCH_3, engine_set_pitch_3},
    {PORT_DELAY_MIX, engine_set_delay_mix},
    {PORT_DELAY_FEEDBACK, engine_set_delay_feedback},
    {PORT_DELAY_MS, engine_set_delay_ms},
    {PORT_XFADE_MS, engine_set_xfade_ms},
    {PORT_HP_LOW, engine_set_hp_low},
    {PORT_HP_HIGH, engine_set_hp_high},
    {PORT_LP_LOW, engine_set_lp_low},
    {PORT_LP_HIGH, engine_set_lp_high},
    {PORT_ENABLED, engine_set_enabled},
    {PORT_TANK_MOD, engine_set_tank_mod},
};

constexpr bool bindings_complete()
{
    for (int p = 0; p < PORT_COUNT; ++p) {
        if (BINDINGS[p].port != p) return false;
        const bool control = PORT_TABLE[p].kind == PORT_KIND_CONTROL_IN;
        if (control != (BINDINGS[p].action != nullptr)) return false;
    }
    return true;
}
static_assert(bindings_complete(), "every control port has its action, in port order");

ControlAction control_action(PortIndex port)
{
    return static_cast<uint32_t>(port) < PORT_COUNT ? BINDINGS[port].action : nullptr;
}
