// The tank's output forms with the eight lines in the lanes of one vector.
//
// A line reads what it wrote at least 101 samples ago, so eight samples can be
// read first: each line's eight samples are one row (in two pieces where the
// line wraps inside the span). Transposed, the rows give one vector of all
// lines per sample, and the filter recurrences run across lines, sample by
// sample. The mix is summed column by column over line-major rows of the
// previous outputs (each lane one sample), the writes of a line are one fused
// multiply-add and one row store, and the output forms add rows. Where a line
// changes its length inside a span (the buffer is resampled at the wrap), and
// for the last samples of a block that do not fill a span, the tank takes one
// tank_step per sample. The arithmetic of a sample (filters, mix, writes,
// output sums) is the step functions that tank_step calls, here over eight
// lanes; this file holds only what is about lanes: rows, transposes, spans,
// wraps and prefetch. With modulation on (a variant of its own), a line's
// row is read at its segment's whole offset and, after the transpose, passes
// the line's allpass sample by sample; a span lies inside one segment, whose
// offsets and coefficients are computed for all eight lines at once by the
// same step as tank_mod_segment's. Every sample is what tank_step gives, bit
// for bit.
#include <cmath>
#include <cstring>

#include "dsp/lanes/simd8.h"
#include "dsp/one_pole.h"
#include "dsp/tank.h"
#include "dsp/tank_steps.h"

#if DSP_HAVE_V8

enum { SPAN = 8, PREFETCH_AHEAD = 64 };

typedef enum { FORM_REPLACE, FORM_ADD, FORM_STEREO } TankForm;

// The tank's per-line state in lanes while spans run.
typedef struct {
    V8 line_out;
    V8 before_last;  // line_out before the last sample, for the stored mix
    V8 read_history; // the modulated reads' allpasses
    V8 gain;
    V8 hp_coefficient, hp_state, hp_mask;
    V8 lp_coefficient, lp_state, lp_mask;
} TankLanes;

// One sample's form from the tank's line outputs, as the reference takes it.
static inline void form_sample(TankForm form, const FdnTank* tank, float* a, float* b)
{
    switch (form) {
    case FORM_REPLACE: *a = tank_form_replace(tank->line_out); break;
    case FORM_ADD: *a = tank_form_add(*a, tank->line_out); break;
    case FORM_STEREO: tank_form_stereo(tank->cross_mix, tank->line_out, a, b); break;
    }
}

// Which lines of a bank filter: decides the loop variant once per call.
typedef enum { FILTERS_NONE, FILTERS_ALL, FILTERS_SOME } FilterSet;

static FilterSet filter_set(const bool on[TANK_LINES])
{
    int count = 0;
    for (int k = 0; k < TANK_LINES; ++k) count += on[k] ? 1 : 0;
    return count == 0 ? FILTERS_NONE : (count == TANK_LINES ? FILTERS_ALL : FILTERS_SOME);
}

template <bool MASKS>
static void lanes_load(const FdnTank* tank, TankLanes* v)
{
    v->line_out = v8_load(tank->line_out);
    v->before_last = v->line_out;
    v->gain = v8_load(tank->line_gain);
    v->read_history = v8_load(tank->read_history);
    v8_load_pairs(&tank->highpass[0].coefficient, &v->hp_coefficient, &v->hp_state);
    v8_load_pairs(&tank->lowpass[0].coefficient, &v->lp_coefficient, &v->lp_state);
    if (MASKS) {
        v->hp_mask = v8_mask(tank->highpass_on);
        v->lp_mask = v8_mask(tank->lowpass_on);
    }
}

// Back into the tank record: outputs, filter states and the last mix, as
// tank_step leaves them.
// The mix is left out (with_mix false) where a tank_step follows at once:
// it computes the mix anew before anything reads it.
static void lanes_store(const TankLanes* v, FdnTank* tank, bool with_mix)
{
    v8_store(tank->line_out, v->line_out);
    v8_store(tank->read_history, v->read_history);
    v8_store_pairs(&tank->highpass[0].coefficient, v->hp_coefficient, v->hp_state);
    v8_store_pairs(&tank->lowpass[0].coefficient, v->lp_coefficient, v->lp_state);
    if (!with_mix) return;
    // The mix of the last sample, from the outputs before it.
    float previous[TANK_LINES];
    v8_store(previous, v->before_last);
    float* mixed = tank->mixed;
    hadamard_mix(previous, [mixed](int c, float sum) { mixed[c] = sum; });
}

// A span in which a line wraps can still run in lanes when the line keeps
// its length: its reads and writes continue at position 0.
static bool wraps_keep_lengths(const FdnTank* tank)
{
    for (const TankLine& line : tank->lines)
        if (line.plan.length - line.write_pos < SPAN && line.plan.next_length != 0) return false;
    return true;
}

// A line's eight samples from its write position on, and back; where the line
// wraps inside the span, the rest comes from (goes to) position 0.
static V8 load_row(const TankLine* line)
{
    const uint64_t room = line->plan.length - line->write_pos;
    if (room >= SPAN) return v8_load(line->buffer + line->write_pos);
    float row[SPAN];
    for (uint64_t j = 0; j < SPAN; ++j)
        row[j] = line->buffer[j < room ? line->write_pos + j : j - room];
    return v8_load(row);
}

static void store_row(TankLine* line, V8 value)
{
    const uint64_t room = line->plan.length - line->write_pos;
    if (room >= SPAN) {
        v8_store(line->buffer + line->write_pos, value);
        return;
    }
    float row[SPAN];
    v8_store(row, value);
    for (uint64_t j = 0; j < SPAN; ++j) line->buffer[j < room ? line->write_pos + j : j - room] = row[j];
}

// A segment's read offsets for all eight lines at once: what
// tank_mod_segment computes line by line.
static void segment_lanes(FdnTank* tank)
{
    float depth[TANK_LINES], whole[TANK_LINES];
    tank_mod_depths(tank, depth);
    const V8 t_start = v8_phase_positions(tank->mod_phase);
    v8_phases_advance(tank->mod_phase, tank->mod_rate);
    const V8 t_end = v8_phase_positions(tank->mod_phase);
    V8 w, coef, slope;
    tank_mod_segment_step(t_start, t_end, v8_load(depth), &w, &coef, &slope);
    v8_store(whole, w);
    v8_store(tank->read_coef, coef);
    v8_store(tank->read_coef_slope, slope);
    tank_mod_store_wholes(tank, whole);
}

// With modulation on: a line's eight reads at its segment's whole offset
// (a row that wraps around the circle where it reaches its end), and into
// `before` the sample one before the first of them. After the transpose,
// the older sample of the allpass at sample j is the newer one of sample
// j - 1.
static inline V8 modulated_row(const TankLine* line, uint32_t whole, float* before)
{
    const uint64_t length = line->plan.length;
    const uint64_t at = line->write_pos + whole;
    if (at + SPAN <= length) {
        __builtin_prefetch(line->buffer + at + PREFETCH_AHEAD);
        *before = line->buffer[at - 1];
        return v8_load(line->buffer + at);
    }
    float row[SPAN];
    for (uint64_t j = 0; j < SPAN; ++j) {
        uint64_t i = at + j;
        while (i >= length) i -= length;
        row[j] = line->buffer[i];
        if (j == 0) *before = line->buffer[i == 0 ? length - 1 : i - 1];
    }
    return v8_load(row);
}

// A span reads all its samples before it writes any, which needs every line
// to be longer than a span. The length rules never plan one below 101
// samples; this only keeps that assumption honest.
static bool lines_longer_than_a_span(const FdnTank* tank)
{
    for (const TankLine& line : tank->lines)
        if (line.plan.length < SPAN) return false;
    return true;
}

// Samples every line can take before the first wrap.
static uint64_t room_before_wrap(const FdnTank* tank)
{
    uint64_t room = UINT64_MAX;
    for (const TankLine& line : tank->lines) {
        const uint64_t r = line.plan.length - line.write_pos;
        room = r < room ? r : room;
    }
    return room;
}

// Whether the wraps after a span keep every line's circle as it is (no line
// at its end takes a new length, which resamples its content).
static bool wraps_keep_lengths_after(const FdnTank* tank)
{
    for (const TankLine& line : tank->lines)
        if (line.write_pos >= line.plan.length && line.plan.next_length != 0) return false;
    return true;
}

// After a span that reached a wrap: the lines at their end start over and
// take their planned length.
static void wrap_lines(FdnTank* tank)
{
    for (TankLine& line : tank->lines) {
        if (line.write_pos >= line.plan.length) {
            line.write_pos = 0;
            if (line.plan.next_length != 0) tank_line_change_length(&line);
        }
    }
}

// One sample of a filter bank over the lanes: every lane (ALL) or the
// masked ones, the others passing their input and keeping their state.
// `step(state, u)` is the bank's filter step.
template <FilterSet SET, typename Step>
static inline V8 bank_lanes(Step step, V8 mask, V8* state, V8 u)
{
    if (SET == FILTERS_NONE) return u;
    if (SET == FILTERS_ALL) return step(state, u);
    V8 next = *state;
    const V8 out = step(&next, u);
    *state = v8_select(mask, next, *state);
    return v8_select(mask, out, u);
}

// The output forms over line-major rows (each lane one sample).
static inline void form_rows(TankForm form, const FdnTank* tank, const V8 r[TANK_LINES], float* a,
                             float* b)
{
    switch (form) {
    case FORM_REPLACE: v8_store(a, tank_form_replace(r)); break;
    case FORM_ADD: v8_store(a, tank_form_add(v8_load(a), r)); break;
    case FORM_STEREO: {
        V8 left, right;
        tank_form_stereo(v8_set1(tank->cross_mix), r, &left, &right);
        v8_store(a, left);
        v8_store(b, right);
        break;
    }
    }
}

// ---- One tank over a whole block, its lanes in registers. ----

// The mix over line-major rows s[0..7] of the previous outputs (each lane a
// sample); each column times its line's gain plus the input is stored as
// the line's eight writes.
template <bool CONTIGUOUS>
static DSP_ALWAYS_INLINE void mix_and_write(const V8 s[TANK_LINES], const float gains[TANK_LINES], V8 input,
                                 TankLine* lines)
{
    hadamard_mix(s, [&](int c, V8 sum) {
        const V8 value = tank_line_write(sum, v8_set1(gains[c]), input);
        if (CONTIGUOUS)
            v8_store(lines[c].buffer + lines[c].write_pos, value);
        else
            store_row(&lines[c], value);
    });
}

// A tank over a block in spans of eight samples, its state in lanes.
// The forms of a span are taken from its rows shifted by one sample (the
// rows the mix needs anyway), which spares a transpose: they give samples
// i - 1 ... i + 6, and sample i + 7 is owed until the next span or the end.
// Where sample i - 1 is not owed (the first span of a call, or after single
// steps), its lane is neither read nor written.
template <TankForm FORM>
static inline void form_shifted(const FdnTank* tank, const V8 s[TANK_LINES], float* a, float* b,
                                uint32_t i, bool owed)
{
    if (owed) {
        form_rows(FORM, tank, s, a + i - 1, b ? b + i - 1 : nullptr);
        return;
    }
    float ta[SPAN], tb[SPAN];
    ta[0] = tb[0] = 0.0f;
    std::memcpy(ta + 1, a + i, (SPAN - 1) * sizeof(float));
    form_rows(FORM, tank, s, ta, tb);
    std::memcpy(a + i, ta + 1, (SPAN - 1) * sizeof(float));
    if (b) std::memcpy(b + i, tb + 1, (SPAN - 1) * sizeof(float));
}

template <FilterSet HP, FilterSet LP, TankForm FORM, bool MOVING>
static void tank_block(FdnTank* tank, const float* in, float* a, float* b, uint32_t n)
{
    const bool masks = HP == FILTERS_SOME || LP == FILTERS_SOME;
    TankLanes v;
    lanes_load<masks>(tank, &v);
    float gains[TANK_LINES];
    v8_store(gains, v.gain);
    uint64_t room = room_before_wrap(tank);
    bool long_lines = lines_longer_than_a_span(tank);
    bool in_lanes = true;
    bool owed = false;  // the form of sample i - 1
    uint32_t i = 0;
    const bool moving = MOVING;  // modulated reads (a separate variant, so that plain reads run as lean)
    // The last sample's newer reads, which are the next span's first older
    // ones while the spans follow each other in one segment with every
    // line's circle unchanged.
    V8 carried = v8_set1(0.0f);
    bool carrying = false;
    while (i < n) {
        // Lanes for eight samples unless a line changes its length inside
        // them, or they would cross the end of a modulation segment.
        const bool contiguous = room >= SPAN;
        const bool in_segment = !moving || tank->mod_index + SPAN <= TANK_MOD_SEGMENT;
        if (n - i >= SPAN && long_lines && in_segment && (contiguous || wraps_keep_lengths(tank))) {
            if (!in_lanes) lanes_load<masks>(tank, &v);
            in_lanes = true;
            V8 r[TANK_LINES], s[TANK_LINES];
            V8 older = v8_set1(0.0f), coef_start = older, coef_slope = older;
            float first_index = 0.0f;
            const TankLine* lines = tank->lines;
            if (moving) {
                if (tank->mod_index == 0) {
                    segment_lanes(tank);
                    carrying = false;
                }
                float before[TANK_LINES];
                for (int k = 0; k < TANK_LINES; ++k)
                    r[k] = modulated_row(&lines[k], tank->read_whole[k], &before[k]);
                older = carrying ? carried : v8_load(before);
                coef_start = v8_load(tank->read_coef);
                coef_slope = v8_load(tank->read_coef_slope);
                first_index = static_cast<float>(tank->mod_index);
                tank->mod_index = (tank->mod_index + SPAN) % TANK_MOD_SEGMENT;
            } else if (contiguous) {
                for (int k = 0; k < TANK_LINES; ++k) {
                    const float* at = lines[k].buffer + lines[k].write_pos;
                    r[k] = v8_load(at);
                    // The lines are streams through 4 MB: ask for the memory
                    // of a few spans ahead now.
                    __builtin_prefetch(at + PREFETCH_AHEAD);
                }
            } else {
                for (int k = 0; k < TANK_LINES; ++k) r[k] = load_row(&lines[k]);
            }
            v8_transpose(r);  // r[j]: sample j of every line
            s[0] = v.line_out;
            const V8 input = v8_load(in + i);
            V8 hp_state = v.hp_state, lp_state = v.lp_state;
            for (int j = 0; j < SPAN; ++j) {
                if (moving) {
                    const V8 newer = r[j];
                    const V8 coef = tank_mod_coef(v8_set1(first_index + static_cast<float>(j)), coef_slope, coef_start);
                    r[j] = tank_mod_allpass(coef, newer, older, &v.read_history);
                    older = newer;
                }
                if (moving && j == SPAN - 1) carried = older;
                if (HP == FILTERS_ALL && LP == FILTERS_ALL) {
                    r[j] = highpass_lowpass_step(v.hp_coefficient, v.lp_coefficient, &hp_state,
                                                 &lp_state, r[j]);
                } else {
                    const V8 hc = v.hp_coefficient, lc = v.lp_coefficient;
                    const V8 high = bank_lanes<HP>(
                        [hc](V8* st, V8 x) { return highpass_step(hc, st, x); }, v.hp_mask,
                        &hp_state, r[j]);
                    r[j] = bank_lanes<LP>([lc](V8* st, V8 x) { return lowpass_step(lc, st, x); },
                                          v.lp_mask, &lp_state, high);
                }
                if (j + 1 < SPAN) s[j + 1] = r[j];
            }
            v.hp_state = hp_state;
            v.lp_state = lp_state;
            v.before_last = r[SPAN - 2];
            v.line_out = r[SPAN - 1];
            v8_transpose(s);  // s[k]: line k's outputs one sample earlier
            if (contiguous) {
                mix_and_write<true>(s, gains, input, tank->lines);
                for (TankLine& line : tank->lines) line.write_pos += SPAN;
                room -= SPAN;
            } else {
                mix_and_write<false>(s, gains, input, tank->lines);
                for (TankLine& line : tank->lines) {
                    const uint64_t left = line.plan.length - line.write_pos;
                    line.write_pos = left >= SPAN ? line.write_pos + SPAN : SPAN - left;
                }
                room = 0;
            }
            carrying = moving;
            if (room == 0) {
                carrying = carrying && wraps_keep_lengths_after(tank);
                wrap_lines(tank);
                room = room_before_wrap(tank);
                long_lines = lines_longer_than_a_span(tank);
            }
            form_shifted<FORM>(tank, s, a, b, i, owed);
            owed = true;
            i += SPAN;
        } else {
            if (in_lanes) lanes_store(&v, tank, false);
            in_lanes = false;
            carrying = false;
            if (owed) form_sample(FORM, tank, a + i - 1, b ? b + i - 1 : nullptr);
            owed = false;
            tank_step(tank, in[i]);
            form_sample(FORM, tank, a + i, b ? b + i : nullptr);
            room = room_before_wrap(tank);
            long_lines = lines_longer_than_a_span(tank);
            i += 1;
        }
    }
    if (in_lanes) lanes_store(&v, tank, true);
    if (owed) form_sample(FORM, tank, a + n - 1, b ? b + n - 1 : nullptr);
}

typedef void (*TankBlock)(FdnTank*, const float*, float*, float*, uint32_t);

// The variant for the tank's modulation and filter flags, chosen once per call.
template <TankForm FORM>
static void tank_alone(FdnTank* tank, const float* in, float* a, float* b, uint32_t n)
{
#define TANK_BLOCKS(MOVING)                                                                          \
    {{tank_block<FILTERS_NONE, FILTERS_NONE, FORM, MOVING>, tank_block<FILTERS_NONE, FILTERS_ALL, FORM, MOVING>, \
      tank_block<FILTERS_NONE, FILTERS_SOME, FORM, MOVING>},                                                 \
     {tank_block<FILTERS_ALL, FILTERS_NONE, FORM, MOVING>, tank_block<FILTERS_ALL, FILTERS_ALL, FORM, MOVING>,   \
      tank_block<FILTERS_ALL, FILTERS_SOME, FORM, MOVING>},                                                  \
     {tank_block<FILTERS_SOME, FILTERS_NONE, FORM, MOVING>, tank_block<FILTERS_SOME, FILTERS_ALL, FORM, MOVING>, \
      tank_block<FILTERS_SOME, FILTERS_SOME, FORM, MOVING>}}
    static const TankBlock BY_SETS[2][3][3] = {TANK_BLOCKS(false), TANK_BLOCKS(true)};
#undef TANK_BLOCKS
    BY_SETS[tank->mod_depth > 0.0f][filter_set(tank->highpass_on)][filter_set(tank->lowpass_on)](tank, in, a, b, n);
}

void tank_add_lanes(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_alone<FORM_ADD>(tank, in, out, nullptr, n);
}

void tank_replace_lanes(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_alone<FORM_REPLACE>(tank, in, out, nullptr, n);
}

void tank_stereo_lanes(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    tank_alone<FORM_STEREO>(tank, in, left, right, n);
}


#else

void tank_add_lanes(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_add_reference(tank, in, out, n);
}

void tank_replace_lanes(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_replace_reference(tank, in, out, n);
}

void tank_stereo_lanes(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    tank_stereo_reference(tank, in, left, right, n);
}

#endif

