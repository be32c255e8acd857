#include <cmath>

#include "dsp/convert.h"
#include "dsp/simd.h"
#include "dsp/tank.h"

// Sylvester's 8x8 Hadamard matrix: entry (r, c) is -1 to the number of bits
// set in r AND c. Symmetric; the 1/sqrt(8) normalisation is in the line gains.
static const float HADAMARD[TANK_LINES][TANK_LINES] = {
    {1, 1, 1, 1, 1, 1, 1, 1},     {1, -1, 1, -1, 1, -1, 1, -1},
    {1, 1, -1, -1, 1, 1, -1, -1}, {1, -1, -1, 1, 1, -1, -1, 1},
    {1, 1, 1, 1, -1, -1, -1, -1}, {1, -1, 1, -1, -1, 1, -1, 1},
    {1, 1, -1, -1, -1, -1, 1, 1}, {1, -1, -1, 1, -1, 1, 1, -1},
};

void tank_line_change_length(TankLine* line)
{
    const uint64_t old_length = line->plan.length;
    const uint64_t new_length = line->plan.next_length;
    float* buffer = line->buffer;
    const double ratio = static_cast<double>(old_length) / static_cast<double>(new_length);
    // The samples behind the old end let the last position interpolate
    // toward the start of the circle.
    for (uint64_t j = 0; j < 4; ++j) buffer[old_length + j] = buffer[j];
    if (new_length >= 2) {
        // Shrinking reads ahead of the write (q >= j), growing behind it
        // (q <= j), so each direction works in place.
        const bool shrinking = ratio > 1.0;
        for (uint64_t step = 1; step < new_length; ++step) {
            const uint64_t j = shrinking ? step : new_length - step;
            const double t = static_cast<double>(j) * ratio;
            const uint64_t q = to_u64(t);
            const float f = static_cast<float>(t - static_cast<double>(q));
            const float a = buffer[q];
            const float b = buffer[q + 1];
            buffer[j] = std::fma(f, b - a, a);
        }
    }
    line->plan.length = new_length;
    if (line->plan.target_length == 0)
        line->plan.next_length = 0;
    else
        plan_length_change(&line->plan, line->plan.target_length, TANK_MAX_LENGTH);
}

void tank_step(FdnTank* tank, float x)
{
    // Mix the previous outputs column by column, summed from line 0 upward.
    const float* out = tank->line_out;
    for (int c = 0; c < TANK_LINES; ++c) {
        float sum = out[0] * HADAMARD[0][c];
        for (int k = 1; k < TANK_LINES; ++k) sum = sum + out[k] * HADAMARD[k][c];
        tank->mixed[c] = sum;
    }
    for (int k = 0; k < TANK_LINES; ++k) {
        TankLine* line = &tank->lines[k];
        const uint64_t p = line->write_pos;
        float u = line->buffer[p];
        line->buffer[p] = std::fma(tank->mixed[k], tank->line_gain[k], x);
        line->write_pos = p + 1;
        if (line->write_pos >= line->plan.length) {
            line->write_pos = 0;
            if (line->plan.next_length != 0) tank_line_change_length(line);
        }
        if (tank->highpass_on[k]) u = one_pole_highpass(&tank->highpass[k], u);
        if (tank->lowpass_on[k]) u = one_pole_lowpass(&tank->lowpass[k], u);
        tank->line_out[k] = u;
    }
}

// ---- The scalar reference: one tank_step per sample. ----

void tank_add_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    const float* l = tank->line_out;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        float sum = out[i];
        for (int k = 0; k < TANK_LINES; ++k) sum = sum + l[k];
        out[i] = sum;
    }
}

void tank_replace_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    const float* l = tank->line_out;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        out[i] = ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
    }
}

void tank_stereo_reference(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    const float* l = tank->line_out;
    const float c = tank->cross_mix;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        const float even = (l[0] + l[2]) + (l[4] + l[6]);
        const float odd = (l[1] + l[3]) + (l[5] + l[7]);
        left[i] = std::fma(c, odd, even);
        right[i] = std::fma(c, even, odd);
    }
}

// ---- The fast path: eight samples at a time, the eight lines in lanes. ----
//
// Between two wraps a line reads what it wrote at least 101 samples ago, so
// the reads of eight samples can all be taken first: each line's eight
// samples are one row load. Transposed, the rows give one vector of the eight
// lines per sample, and the filter recurrences run across lines, sample by
// sample. The Hadamard mix is summed column by column over line-major rows of
// the previous outputs (each lane one sample, line 0 upward as in tank_step),
// and each line's eight writes are one fused multiply-add and one row store.
// Every lane does exactly what tank_step does for its line and sample.

#if DSP_HAVE_V8

enum { CHUNK = 8 };

typedef enum { FORM_REPLACE, FORM_ADD, FORM_STEREO } OutputForm;

// Which lines of a bank filter: decides the loop variant once per call.
typedef enum { FILTERS_NONE, FILTERS_ALL, FILTERS_SOME } FilterSet;

static FilterSet filter_set(const bool on[TANK_LINES])
{
    int count = 0;
    for (int k = 0; k < TANK_LINES; ++k) count += on[k] ? 1 : 0;
    return count == 0 ? FILTERS_NONE : (count == TANK_LINES ? FILTERS_ALL : FILTERS_SOME);
}

// The tank's per-line state in lanes while chunks run.
typedef struct {
    V8 line_out;
    V8 before_last;  // line_out before the last sample, for the stored mix
    V8 gain;
    V8 hp_coefficient, hp_state, hp_mask;
    V8 lp_coefficient, lp_state, lp_mask;
} TankLanes;

static void lanes_load(const FdnTank* tank, TankLanes* v)
{
    v->line_out = v8_load(tank->line_out);
    v->before_last = v->line_out;
    v->gain = v8_load(tank->line_gain);
    v8_load_pairs(&tank->highpass[0].coefficient, &v->hp_coefficient, &v->hp_state);
    v8_load_pairs(&tank->lowpass[0].coefficient, &v->lp_coefficient, &v->lp_state);
    v->hp_mask = v8_mask(tank->highpass_on);
    v->lp_mask = v8_mask(tank->lowpass_on);
}

// Back into the tank record: outputs, filter states and the last mix, as
// tank_step leaves them.
static void lanes_store(const TankLanes* v, FdnTank* tank)
{
    v8_store(tank->line_out, v->line_out);
    v8_store_pairs(&tank->highpass[0].coefficient, v->hp_coefficient, v->hp_state);
    v8_store_pairs(&tank->lowpass[0].coefficient, v->lp_coefficient, v->lp_state);
    float previous[TANK_LINES];
    v8_store(previous, v->before_last);
    // mixed[c]: previous[k] * H[k][c] summed from k = 0 upward, all columns at once.
    V8 sum = v8_set1(previous[0]);
    for (int k = 1; k < TANK_LINES; ++k) {
        float signs[TANK_LINES];
        for (int c = 0; c < TANK_LINES; ++c) signs[c] = HADAMARD[k][c] > 0.0f ? 0.0f : -0.0f;
        sum = v8_add(sum, v8_xor(v8_set1(previous[k]), v8_load(signs)));
    }
    v8_store(tank->mixed, sum);
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

// One bank's step over the lanes: every lane (ALL) or the masked ones (SOME).
template <FilterSet SET>
static inline V8 highpass_lanes(TankLanes* v, V8 u)
{
    if (SET == FILTERS_NONE) return u;
    const V8 w = v8_mul(v->hp_coefficient, v8_sub(v->hp_state, u));
    const V8 state = v8_add(u, w);
    const V8 out = v8_xor(w, v8_set1(-0.0f));
    if (SET == FILTERS_ALL) {
        v->hp_state = state;
        return out;
    }
    v->hp_state = v8_select(v->hp_mask, v->hp_state, state);
    return v8_select(v->hp_mask, u, out);
}

template <FilterSet SET>
static inline V8 lowpass_lanes(TankLanes* v, V8 u)
{
    if (SET == FILTERS_NONE) return u;
    const V8 state = v8_fma(v->lp_coefficient, v8_sub(v->lp_state, u), u);
    if (SET == FILTERS_ALL) {
        v->lp_state = state;
        return state;
    }
    v->lp_state = v8_select(v->lp_mask, v->lp_state, state);
    return v8_select(v->lp_mask, u, state);
}

// Eight samples of input x through the tank; rows[k] gets line k's eight
// outputs. Needs room_before_wrap >= 8.
template <FilterSet HP, FilterSet LP>
static void tank_chunk(FdnTank* tank, TankLanes* v, const float* x, V8 rows[TANK_LINES])
{
    float* at[TANK_LINES];
    for (int k = 0; k < TANK_LINES; ++k) {
        at[k] = tank->lines[k].buffer + tank->lines[k].write_pos;
        rows[k] = v8_load(at[k]);
    }
    const V8 input = v8_load(x);
    V8 shifted[TANK_LINES];  // becomes, per line, the outputs of samples -1 ... 6
    shifted[0] = v->line_out;
    if (HP != FILTERS_NONE || LP != FILTERS_NONE) {
        v8_transpose(rows);  // rows[j]: sample j of every line
        for (int j = 0; j < CHUNK; ++j) {
            rows[j] = lowpass_lanes<LP>(v, highpass_lanes<HP>(v, rows[j]));
            if (j + 1 < CHUNK) shifted[j + 1] = rows[j];
        }
        v->before_last = rows[CHUNK - 2];
        v->line_out = rows[CHUNK - 1];
        v8_transpose(rows);
    } else {
        // Unfiltered, the reads are the outputs: rows stay line-major.
        V8 columns[TANK_LINES];
        for (int k = 0; k < TANK_LINES; ++k) columns[k] = rows[k];
        v8_transpose(columns);
        for (int j = 1; j < CHUNK; ++j) shifted[j] = columns[j - 1];
        v->before_last = columns[CHUNK - 2];
        v->line_out = columns[CHUNK - 1];
    }
    v8_transpose(shifted);

    // Column c of the mix, over the eight samples, summed from line 0 upward;
    // a -1 entry subtracts, which rounds exactly as adding the negated value.
    float gains[TANK_LINES];
    v8_store(gains, v->gain);
    for (int c = 0; c < TANK_LINES; ++c) {
        V8 sum = shifted[0];
        for (int k = 1; k < TANK_LINES; ++k)
            sum = HADAMARD[k][c] > 0.0f ? v8_add(sum, shifted[k]) : v8_sub(sum, shifted[k]);
        v8_store(at[c], v8_fma(sum, v8_set1(gains[c]), input));
    }
}

// After chunks that reached a wrap: the lines at their end start over and
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

// The three output forms over a chunk's rows, in the sums' stated order.
static void form_chunk(OutputForm form, const FdnTank* tank, const V8 r[TANK_LINES], float* a,
                       float* b)
{
    switch (form) {
    case FORM_REPLACE:
        v8_store(a, v8_add(v8_add(v8_add(r[0], r[1]), v8_add(r[2], r[3])),
                           v8_add(v8_add(r[4], r[5]), v8_add(r[6], r[7]))));
        break;
    case FORM_ADD: {
        V8 sum = v8_load(a);
        for (int k = 0; k < TANK_LINES; ++k) sum = v8_add(sum, r[k]);
        v8_store(a, sum);
        break;
    }
    case FORM_STEREO: {
        const V8 even = v8_add(v8_add(r[0], r[2]), v8_add(r[4], r[6]));
        const V8 odd = v8_add(v8_add(r[1], r[3]), v8_add(r[5], r[7]));
        const V8 c = v8_set1(tank->cross_mix);
        v8_store(a, v8_fma(c, odd, even));
        v8_store(b, v8_fma(c, even, odd));
        break;
    }
    }
}

static void form_sample(OutputForm form, const FdnTank* tank, float* a, float* b)
{
    const float* l = tank->line_out;
    switch (form) {
    case FORM_REPLACE:
        *a = ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
        break;
    case FORM_ADD: {
        float sum = *a;
        for (int k = 0; k < TANK_LINES; ++k) sum = sum + l[k];
        *a = sum;
        break;
    }
    case FORM_STEREO: {
        const float even = (l[0] + l[2]) + (l[4] + l[6]);
        const float odd = (l[1] + l[3]) + (l[5] + l[7]);
        *a = std::fma(tank->cross_mix, odd, even);
        *b = std::fma(tank->cross_mix, even, odd);
        break;
    }
    }
}

// Chunks wherever eight samples fit before the next wrap, single samples
// through tank_step around the wraps. Every line is at least 101 samples
// long, so a chunk never reads what it writes.
template <FilterSet HP, FilterSet LP>
static void tank_run(FdnTank* tank, const float* in, float* a, float* b, uint32_t n,
                     OutputForm form)
{
    TankLanes lanes;
    bool in_lanes = false;
    uint64_t room = room_before_wrap(tank);
    uint32_t i = 0;
    while (i < n) {
        if (n - i >= CHUNK && room >= CHUNK) {
            if (!in_lanes) lanes_load(tank, &lanes);
            in_lanes = true;
            V8 rows[TANK_LINES];
            tank_chunk<HP, LP>(tank, &lanes, in + i, rows);
            for (TankLine& line : tank->lines) line.write_pos += CHUNK;
            room -= CHUNK;
            if (room == 0) {
                wrap_lines(tank);
                room = room_before_wrap(tank);
            }
            form_chunk(form, tank, rows, a + i, b ? b + i : nullptr);
            i += CHUNK;
        } else {
            if (in_lanes) lanes_store(&lanes, tank);
            in_lanes = false;
            tank_step(tank, in[i]);
            form_sample(form, tank, a + i, b ? b + i : nullptr);
            room = room_before_wrap(tank);
            i += 1;
        }
    }
    if (in_lanes) lanes_store(&lanes, tank);
}

typedef void (*TankRun)(FdnTank*, const float*, float*, float*, uint32_t, OutputForm);

static const TankRun TANK_RUNS[3][3] = {
    {tank_run<FILTERS_NONE, FILTERS_NONE>, tank_run<FILTERS_NONE, FILTERS_ALL>,
     tank_run<FILTERS_NONE, FILTERS_SOME>},
    {tank_run<FILTERS_ALL, FILTERS_NONE>, tank_run<FILTERS_ALL, FILTERS_ALL>,
     tank_run<FILTERS_ALL, FILTERS_SOME>},
    {tank_run<FILTERS_SOME, FILTERS_NONE>, tank_run<FILTERS_SOME, FILTERS_ALL>,
     tank_run<FILTERS_SOME, FILTERS_SOME>},
};

static void tank_process(FdnTank* tank, const float* in, float* a, float* b, uint32_t n,
                         OutputForm form)
{
    TANK_RUNS[filter_set(tank->highpass_on)][filter_set(tank->lowpass_on)](tank, in, a, b, n, form);
}

void tank_add(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_process(tank, in, out, nullptr, n, FORM_ADD);
}

void tank_replace(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_process(tank, in, out, nullptr, n, FORM_REPLACE);
}

void tank_stereo(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    tank_process(tank, in, left, right, n, FORM_STEREO);
}

#else

void tank_add(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_add_reference(tank, in, out, n);
}

void tank_replace(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_replace_reference(tank, in, out, n);
}

void tank_stereo(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    tank_stereo_reference(tank, in, left, right, n);
}

#endif
