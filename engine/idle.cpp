#include "engine/idle.h"

#include <cstring>

#include "dsp/convert.h"
#include "engine/modes.h"

namespace {

// A watched line: its index in the counts, its memory, circle and the
// position one past its latest write.
typedef struct {
    int index;
    const float* buffer;
    uint64_t length;
    uint64_t end;
} WatchedLine;

enum { DELAY_INDEX = 0, TANK_INDEX = MOD_DELAY_COUNT,
       DIFFUSER_INDEX = MOD_DELAY_COUNT + TANK_COUNT * TANK_LINES };

// What the selected mode runs, the diffusers only while the stage is not
// bypassed (then they neither read nor write).
uint32_t running(const DspState* dsp)
{
    uint32_t run = mode_run_components(dsp->mode);
    if (dsp->diffusion.diffusion == 0.0f) run &= ~(1u << COMPONENT_DIFFUSERS);
    return run;
}

// The lines the selected mode writes: its delay lines, its tanks' lines and
// the diffusers.
int mode_lines(const DspState* dsp, WatchedLine lines[WATCHED_LINES])
{
    const uint32_t run = running(dsp);
    int count = 0;
    if (run & (1u << COMPONENT_DIFFUSERS))
        for (int k = 0; k < DIFFUSER_COUNT; ++k) {
            const AllpassDiffuser& d = dsp->diffusion.diffusers[k];
            lines[count++] = WatchedLine{DIFFUSER_INDEX + k, d.buffer, d.length, d.index};
        }
    if (run & (1u << COMPONENT_DELAY_LINES))
        for (int k = 0; k < MOD_DELAY_COUNT; ++k) {
            const ModDelayLine& l = dsp->delay_lines[k];
            lines[count++] = WatchedLine{DELAY_INDEX + k, l.buffer, l.size, l.write_pos};
        }
    for (int t = 0; t < TANK_COUNT; ++t) {
        if (!(run & (1u << (COMPONENT_TANK_0 + t)))) continue;
        for (int k = 0; k < TANK_LINES; ++k) {
            const TankLine& l = dsp->tanks[t].lines[k];
            lines[count++] =
                WatchedLine{TANK_INDEX + t * TANK_LINES + k, l.buffer, l.plan.length, l.write_pos};
        }
    }
    return count;
}

// The latest m writes of a line (the last one just before `end`, wrapping
// around the circle) were all +0.
bool writes_silent(const WatchedLine& line, uint32_t m)
{
    if (line.length == 0) return true;
    const uint64_t end = line.end == 0 || line.end > line.length ? line.length : line.end;
    const uint64_t count = m < line.length ? m : line.length;
    const uint64_t direct = count < end ? count : end;
    uint32_t bits = 0;
    for (uint64_t i = end - direct; i < end; ++i) bits |= float_bits(line.buffer[i]);
    for (uint64_t i = line.length - (count - direct); i < line.length; ++i)
        bits |= float_bits(line.buffer[i]);
    return bits == 0;
}

// The state of what the mode runs that must rest, in a fixed order (0 in
// the places of what it does not run: a tank that stands still with a tail
// in it, for one, is not the mode's business until a mode runs it).
void gather_rest(const DspState* dsp, float out[IDLE_SNAPSHOT])
{
    std::memset(out, 0, IDLE_SNAPSHOT * sizeof(float));
    const uint32_t run = running(dsp);
    float* o = out;
    for (int t = 0; t < TANK_COUNT; ++t) {
        const FdnTank& tank = dsp->tanks[t];
        for (int k = 0; k < TANK_LINES; ++k, o += 5) {
            if (!(run & (1u << (COMPONENT_TANK_0 + t)))) continue;
            o[0] = tank.line_out[k];
            o[1] = tank.mixed[k];
            o[2] = tank.lowpass[k].state;
            o[3] = tank.highpass[k].state;
            o[4] = tank.read_history[k];
        }
    }
    if (run & (1u << COMPONENT_DELAY_LINES))
        for (int k = 0; k < MOD_DELAY_COUNT; ++k)
            std::memcpy(o + k * DELAY_LOWPASS_HISTORY, dsp->delay_lines[k].filter_history.history,
                        sizeof dsp->delay_lines[k].filter_history.history);
    o += MOD_DELAY_COUNT * DELAY_LOWPASS_HISTORY;
    if (run & (1u << COMPONENT_DIFFUSERS))
        for (int k = 0; k < DIFFUSER_COUNT; ++k) o[k] = dsp->diffusion.diffusers[k].damping_state;
}

const uint64_t QUIET_CAP = UINT64_C(1) << 40;

}  // namespace

void idle_watch_block(DspState* dsp, const float* wet_l, const float* wet_r, uint32_t m)
{
    IdleWatch* w = &dsp->watch;
    if (!w->enabled) return;
    if (!w->counting) {
        // Counting starts with the next block: this one's writes may still
        // carry what the input brought.
        std::memset(w->quiet, 0, sizeof w->quiet);
        std::memset(w->circle, 0, sizeof w->circle);
        w->have_snapshot = false;
        w->counting = true;
        return;
    }
    WatchedLine lines[WATCHED_LINES];
    const int count = mode_lines(dsp, lines);
    bool all_silent = count > 0;
    for (int i = 0; i < count; ++i) {
        const WatchedLine& line = lines[i];
        uint64_t* quiet = &w->quiet[line.index];
        if (w->circle[line.index] != line.length) {
            // A new length: what the circle holds is counted from here on.
            w->circle[line.index] = line.length;
            *quiet = 0;
        } else if (writes_silent(line, m)) {
            *quiet = *quiet + m < QUIET_CAP ? *quiet + m : QUIET_CAP;
        } else {
            *quiet = 0;
        }
        all_silent = all_silent && *quiet >= line.length;
    }
    if (!all_silent || m == 0) {
        w->have_snapshot = false;
        return;
    }
    // Every circle holds +0. The rest must be zeros that one processed
    // block left exactly as they were, the wet signal one constant.
    float now[IDLE_SNAPSHOT];
    gather_rest(dsp, now);
    now[IDLE_SNAPSHOT - 2] = wet_l[m - 1];
    now[IDLE_SNAPSHOT - 1] = wet_r[m - 1];
    bool at_rest = true;
    for (float x : now) at_rest = at_rest && x == 0.0f;
    for (uint32_t i = 0; i < m; ++i)
        at_rest = at_rest && float_bits(wet_l[i]) == float_bits(wet_l[m - 1]) &&
                  float_bits(wet_r[i]) == float_bits(wet_r[m - 1]);
    if (!at_rest) {
        w->have_snapshot = false;
        return;
    }
    if (w->have_snapshot && std::memcmp(now, w->snapshot, sizeof now) == 0) {
        w->idle = true;
        w->pending = 0;
        w->wet_l = wet_l[m - 1];
        w->wet_r = wet_r[m - 1];
        return;
    }
    std::memcpy(w->snapshot, now, sizeof now);
    w->have_snapshot = true;
}

void idle_count(DspState* dsp, uint32_t n)
{
    IdleWatch* w = &dsp->watch;
    w->pending += n;
    if (w->pending >= IDLE_KEEP_TIME_EVERY) engine_keep_time(dsp);
}

void idle_block(DspState* dsp, float* wet_l, float* wet_r, uint32_t m)
{
    idle_count(dsp, m);
    const IdleWatch* w = &dsp->watch;
    for (uint32_t i = 0; i < m; ++i) {
        wet_l[i] = w->wet_l;
        wet_r[i] = w->wet_r;
    }
}

void engine_keep_time(DspState* dsp)
{
    IdleWatch* w = &dsp->watch;
    if (w->pending == 0) return;
    mode_keep_time(dsp, w->pending);
    w->pending = 0;
}

void engine_wake(DspState* dsp)
{
    IdleWatch* w = &dsp->watch;
    if (!w->idle) return;
    engine_keep_time(dsp);
    w->idle = false;
    // The mode's circles are silent at this moment: counted as written
    // through at their present lengths, so that the instance can rest again
    // as soon as its resting point is confirmed.
    WatchedLine lines[WATCHED_LINES];
    const int count = mode_lines(dsp, lines);
    for (int i = 0; i < count; ++i) {
        w->circle[lines[i].index] = lines[i].length;
        w->quiet[lines[i].index] = lines[i].length;
    }
}
