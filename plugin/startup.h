// Start-up line lengths. At the first run the lines hold only zeros, so every
// tank line and early line can take its planned final length at once instead
// of gliding there from its creation length wrap by wrap (which would leave a
// new instance silent in its tanks for 32000 samples and then play a room that
// shrinks for seconds).
#pragma once

#include "flow/dsp_state.h"

inline void take_final_length(LengthPlan* plan)
{
    if (plan->target_length != 0)
        plan->length = plan->target_length;
    else if (plan->next_length != 0)
        plan->length = plan->next_length;
    plan->next_length = 0;
    plan->target_length = 0;
}

inline void take_planned_lengths(DspState* dsp)
{
    for (FdnTank& tank : dsp->tanks)
        for (TankLine& line : tank.lines) take_final_length(&line.plan);
    for (EarlyLine& line : dsp->early_lines) take_final_length(&line.plan);
}
