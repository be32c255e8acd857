#include "dsp/tank_span.h"

#include <cmath>

void tank_spans_open(TankSpans* spans, FdnTank* tanks, int count)
{
    spans->count = count;
    spans->n = 0;
    for (int t = 0; t < count; ++t) {
        spans->slots[t].tank = &tanks[t];
        spans->slots[t].in_lanes = false;
        spans->slots[t].chunk = false;
    }
}

static void form_sample(TankForm form, const FdnTank* tank, float* a, float* b)
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

#if DSP_HAVE_V8

// Which lines of a bank filter: decides the loop variant once per span.
typedef enum { FILTERS_NONE, FILTERS_ALL, FILTERS_SOME } FilterSet;

static FilterSet filter_set(const bool on[TANK_LINES])
{
    int count = 0;
    for (int k = 0; k < TANK_LINES; ++k) count += on[k] ? 1 : 0;
    return count == 0 ? FILTERS_NONE : (count == TANK_LINES ? FILTERS_ALL : FILTERS_SOME);
}

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

// One sample of a bank over the lanes: every lane (ALL) or the masked ones.
template <FilterSet SET>
static inline V8 highpass_lanes(V8 coefficient, V8 mask, V8* state, V8 u)
{
    if (SET == FILTERS_NONE) return u;
    const V8 w = v8_mul(coefficient, v8_sub(*state, u));
    const V8 next = v8_add(u, w);
    const V8 out = v8_xor(w, v8_set1(-0.0f));
    if (SET == FILTERS_ALL) {
        *state = next;
        return out;
    }
    *state = v8_select(mask, *state, next);
    return v8_select(mask, u, out);
}

template <FilterSet SET>
static inline V8 lowpass_lanes(V8 coefficient, V8 mask, V8* state, V8 u)
{
    if (SET == FILTERS_NONE) return u;
    const V8 next = v8_fma(coefficient, v8_sub(*state, u), u);
    if (SET == FILTERS_ALL) {
        *state = next;
        return next;
    }
    *state = v8_select(mask, *state, next);
    return v8_select(mask, u, next);
}

// The outputs of the span for COUNT chunked slots: each line's eight reads
// are one row, transposed to one vector of all lines per sample; the filters
// run sample by sample with the tanks interleaved, so that their recurrences
// overlap, their states held in registers; then back to rows, and once more
// shifted by a sample for the mix.
template <FilterSet HP, FilterSet LP, int COUNT>
static void span_outputs(TankSlot* const chunked[])
{
    V8 hp_state[COUNT], lp_state[COUNT];
    for (int t = 0; t < COUNT; ++t) {
        TankSlot* s = chunked[t];
        for (int k = 0; k < TANK_LINES; ++k) {
            TankLine* line = &s->tank->lines[k];
            s->at[k] = line->buffer + line->write_pos;
            s->rows[k] = v8_load(s->at[k]);
        }
        v8_transpose(s->rows);  // rows[j]: sample j of every line
        s->shifted[0] = s->lanes.line_out;
        hp_state[t] = s->lanes.hp_state;
        lp_state[t] = s->lanes.lp_state;
    }
    for (int j = 0; j < TANK_SPAN; ++j) {
        for (int t = 0; t < COUNT; ++t) {
            TankSlot* s = chunked[t];
            const TankLanes& v = s->lanes;
            const V8 high = highpass_lanes<HP>(v.hp_coefficient, v.hp_mask, &hp_state[t], s->rows[j]);
            const V8 out = lowpass_lanes<LP>(v.lp_coefficient, v.lp_mask, &lp_state[t], high);
            s->rows[j] = out;
            if (j + 1 < TANK_SPAN) s->shifted[j + 1] = out;
        }
    }
    for (int t = 0; t < COUNT; ++t) {
        TankSlot* s = chunked[t];
        s->lanes.hp_state = hp_state[t];
        s->lanes.lp_state = lp_state[t];
        s->lanes.before_last = s->rows[TANK_SPAN - 2];
        s->lanes.line_out = s->rows[TANK_SPAN - 1];
        v8_transpose(s->rows);
        v8_transpose(s->shifted);
    }
}

typedef void (*SpanOutputs)(TankSlot* const[]);

template <FilterSet HP, FilterSet LP>
static void span_outputs_of(TankSlot* const chunked[], int count)
{
    static const SpanOutputs BY_COUNT[TANK_COUNT] = {
        span_outputs<HP, LP, 1>, span_outputs<HP, LP, 2>, span_outputs<HP, LP, 3>,
        span_outputs<HP, LP, 4>};
    BY_COUNT[count - 1](chunked);
}

typedef void (*SpanOutputsOf)(TankSlot* const[], int);

static const SpanOutputsOf SPAN_OUTPUTS[3][3] = {
    {span_outputs_of<FILTERS_NONE, FILTERS_NONE>, span_outputs_of<FILTERS_NONE, FILTERS_ALL>,
     span_outputs_of<FILTERS_NONE, FILTERS_SOME>},
    {span_outputs_of<FILTERS_ALL, FILTERS_NONE>, span_outputs_of<FILTERS_ALL, FILTERS_ALL>,
     span_outputs_of<FILTERS_ALL, FILTERS_SOME>},
    {span_outputs_of<FILTERS_SOME, FILTERS_NONE>, span_outputs_of<FILTERS_SOME, FILTERS_ALL>,
     span_outputs_of<FILTERS_SOME, FILTERS_SOME>},
};

void tank_spans_begin(TankSpans* spans, uint32_t n)
{
    spans->n = n;
    TankSlot* chunked[TANK_COUNT];
    int count = 0;
    FilterSet hp = FILTERS_NONE, lp = FILTERS_NONE;
    for (int t = 0; t < spans->count; ++t) {
        TankSlot* s = &spans->slots[t];
        s->chunk = n == TANK_SPAN && room_before_wrap(s->tank) >= TANK_SPAN;
        if (s->chunk) {
            if (!s->in_lanes) lanes_load(s->tank, &s->lanes);
            s->in_lanes = true;
            // The filter controls set all tanks alike; should they ever
            // differ, the masked variant serves every combination.
            const FilterSet h = filter_set(s->tank->highpass_on);
            const FilterSet l = filter_set(s->tank->lowpass_on);
            hp = count == 0 || h == hp ? h : FILTERS_SOME;
            lp = count == 0 || l == lp ? l : FILTERS_SOME;
            chunked[count++] = s;
        } else if (s->in_lanes) {
            lanes_store(&s->lanes, s->tank);
            s->in_lanes = false;
        }
    }
    if (count > 0) SPAN_OUTPUTS[hp][lp](chunked, count);
}

// The writes of a chunked span: column c of the mix over the eight samples,
// summed from line 0 upward (a -1 entry subtracts, which rounds exactly as
// adding the negated value), times the line's gain plus the input, in one
// fused multiply-add, stored as one row.
static void span_writes(TankSlot* s, const float* in)
{
    const V8 input = v8_load(in);
    float gains[TANK_LINES];
    v8_store(gains, s->lanes.gain);
    for (int c = 0; c < TANK_LINES; ++c) {
        V8 sum = s->shifted[0];
        for (int k = 1; k < TANK_LINES; ++k)
            sum = HADAMARD[k][c] > 0.0f ? v8_add(sum, s->shifted[k]) : v8_sub(sum, s->shifted[k]);
        v8_store(s->at[c], v8_fma(sum, v8_set1(gains[c]), input));
    }
    for (TankLine& line : s->tank->lines) {
        line.write_pos += TANK_SPAN;
        if (line.write_pos >= line.plan.length) {
            line.write_pos = 0;
            if (line.plan.next_length != 0) tank_line_change_length(&line);
        }
    }
}

// The output forms over a chunk's rows, in the sums' stated order.
static void form_rows(TankForm form, const FdnTank* tank, const V8 r[TANK_LINES], float* a,
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

void tank_span_output(TankSpans* spans, int slot, const float* in, TankForm form, float* a,
                      float* b)
{
    TankSlot* s = &spans->slots[slot];
    if (s->chunk) {
        span_writes(s, in);
        form_rows(form, s->tank, s->rows, a, b);
        return;
    }
    for (uint32_t i = 0; i < spans->n; ++i) {
        tank_step(s->tank, in[i]);
        form_sample(form, s->tank, a + i, b ? b + i : nullptr);
    }
}

void tank_spans_close(TankSpans* spans)
{
    for (int t = 0; t < spans->count; ++t) {
        TankSlot* s = &spans->slots[t];
        if (s->in_lanes) lanes_store(&s->lanes, s->tank);
        s->in_lanes = false;
    }
}

#else

void tank_spans_begin(TankSpans* spans, uint32_t n)
{
    spans->n = n;
}

void tank_span_output(TankSpans* spans, int slot, const float* in, TankForm form, float* a,
                      float* b)
{
    FdnTank* tank = spans->slots[slot].tank;
    for (uint32_t i = 0; i < spans->n; ++i) {
        tank_step(tank, in[i]);
        form_sample(form, tank, a + i, b ? b + i : nullptr);
    }
}

void tank_spans_close(TankSpans*) {}

#endif

// One tank over n samples, span by span.
static void tank_alone(FdnTank* tank, const float* in, TankForm form, float* a, float* b,
                       uint32_t n)
{
    TankSpans spans;
    tank_spans_open(&spans, tank, 1);
    for (uint32_t i = 0; i < n; i += TANK_SPAN) {
        const uint32_t m = n - i < TANK_SPAN ? n - i : uint32_t{TANK_SPAN};
        tank_spans_begin(&spans, m);
        tank_span_output(&spans, 0, in + i, form, a + i, b ? b + i : nullptr);
    }
    tank_spans_close(&spans);
}

void tank_add(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_alone(tank, in, FORM_ADD, out, nullptr, n);
}

void tank_replace(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    tank_alone(tank, in, FORM_REPLACE, out, nullptr, n);
}

void tank_stereo(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    tank_alone(tank, in, FORM_STEREO, left, right, n);
}
