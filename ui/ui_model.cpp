#include "ui/ui_model.h"

#include <cmath>
#include <cstdio>

// Base layout at 100 %, in pixels.
static const float WIDTH = 880.0f, MARGIN = 12.0f, TITLE = 36.0f, BUTTON_H = 38.0f;
static const float DIAGRAM_H = 170.0f, BOX_W = 88.0f, BOX_H = 58.0f, GAP = 6.0f;
static const float GROUP_LABEL = 20.0f, GROUP_GAP = 14.0f;
// The response view's column, right of the controls.
static const float RESPONSE_W = 420.0f;

// Travel of one drag pixel, wheel step and arrow key, as a share of a
// control's range; shift divides it by ten.
static const float DRAG_PER_PIXEL = 1.0f / 200.0f, STEP = 1.0f / 50.0f, FINE = 0.1f;

// The groups in rows, as a musician reads them.
static const ControlGroup ROWS[][2] = {
    {GROUP_LEVELS, GROUP_ROOM},
    {GROUP_DIFFUSION, GROUP_FILTERS},
    {GROUP_DELAY_LINES, GROUP_NONE},
};

static bool is_slider(int port)
{
    return port >= PORT_DRY_DB && port < PORT_COUNT && port != PORT_MODE_SEL &&
           !PORT_TABLE[port].toggled;
}

// The switch in the title row.
static const float SWITCH_W = 110.0f, SWITCH_H = 26.0f;

float ui_clamp(const PortInfo& info, float value)
{
    if (!(value == value)) return info.default_value;
    return value < info.minimum ? info.minimum : (value > info.maximum ? info.maximum : value);
}

float ui_position(const PortInfo& info, float value)
{
    const float v = ui_clamp(info, value);
    if (info.maximum <= info.minimum) return 0.0f;
    if (info.logarithmic && info.minimum > 0.0f)
        return std::log(v / info.minimum) / std::log(info.maximum / info.minimum);
    return (v - info.minimum) / (info.maximum - info.minimum);
}

float ui_value_at(const PortInfo& info, float position)
{
    const float t = position < 0.0f ? 0.0f : (position > 1.0f ? 1.0f : position);
    float v;
    if (info.logarithmic && info.minimum > 0.0f)
        v = info.minimum * std::pow(info.maximum / info.minimum, t);
    else
        v = info.minimum + t * (info.maximum - info.minimum);
    return ui_clamp(info, v);
}

// At most three significant digits ("200 s", "11.4 s", "2.50 s"), and
// none after the point from 100 on.
static void three_digits(char* text, size_t size, float v, const char* unit)
{
    const float a = std::fabs(v);
    const char* format = a >= 99.95f ? "%.0f %s" : (a >= 9.995f ? "%.1f %s" : "%.2f %s");
    std::snprintf(text, size, format, v, unit);
}

void ui_format(const PortInfo& info, float value, char* text, size_t size)
{
    const float v = ui_clamp(info, value);
    switch (info.unit) {
    case UNIT_MS:
        if (v >= 1000.0f)
            three_digits(text, size, v / 1000.0f, "s");
        else
            std::snprintf(text, size, v < 10.0f ? "%.1f ms" : "%.0f ms", v);
        break;
    case UNIT_HZ:
        if (v >= 1000.0f)
            three_digits(text, size, v / 1000.0f, "kHz");
        else
            std::snprintf(text, size, "%.0f Hz", v);
        break;
    case UNIT_DB: std::snprintf(text, size, "%.1f dB", v); break;
    case UNIT_M: std::snprintf(text, size, "%.1f m", v); break;
    case UNIT_PC: std::snprintf(text, size, "%.0f %%", v); break;
    case UNIT_SEMITONE: std::snprintf(text, size, "%+.1f st", v); break;
    default: std::snprintf(text, size, "%.2f", v); break;
    }
}

void ui_model_init(UiModel* m, double scale, UiWrite write, void* context)
{
    m->scale = scale > 0.0 ? scale : 1.0;
    m->write = write;
    m->context = context;
    m->focus = -1;
    m->dragging = -1;
    m->drag_y = 0.0f;
    for (const PortInfo& info : PORT_TABLE) m->values[info.index] = info.default_value;
    for (UiRect& r : m->control) r = UiRect{0, 0, 0, 0};
    for (UiRect& r : m->group) r = UiRect{0, 0, 0, 0};

    const float s = static_cast<float>(m->scale);
    const float inner = WIDTH - 2 * MARGIN;
    const float total = WIDTH + RESPONSE_W;
    m->enable_switch = UiRect{(total - MARGIN - SWITCH_W) * s, (MARGIN + (TITLE - 6.0f - SWITCH_H) / 2) * s,
                              SWITCH_W * s, SWITCH_H * s};
    float y = MARGIN + TITLE;
    const float button_w = (inner - (MODE_COUNT - 1) * GAP) / MODE_COUNT;
    for (int b = 0; b < MODE_COUNT; ++b)
        m->mode_button[b] = UiRect{(MARGIN + b * (button_w + GAP)) * s, y * s, button_w * s, BUTTON_H * s};
    y += BUTTON_H + GAP;
    m->diagram = UiRect{MARGIN * s, y * s, inner * s, DIAGRAM_H * s};
    y += DIAGRAM_H + GROUP_GAP;

    for (const auto& row : ROWS) {
        float x = MARGIN;
        for (ControlGroup g : row) {
            if (g == GROUP_NONE) continue;
            int count = 0;
            for (const PortInfo& info : PORT_TABLE) {
                if (info.kind != PORT_KIND_CONTROL_IN || info.group != g) continue;
                m->control[info.index] = UiRect{(x + count * (BOX_W + GAP)) * s,
                                                (y + GROUP_LABEL) * s, BOX_W * s, BOX_H * s};
                ++count;
            }
            const float w = count * (BOX_W + GAP) - GAP;
            m->group[g] = UiRect{x * s, y * s, w * s, (GROUP_LABEL + BOX_H) * s};
            x += w + GROUP_GAP;
        }
        y += GROUP_LABEL + BOX_H + GROUP_GAP;
    }
    m->width = total * s;
    m->height = (y - GROUP_GAP + MARGIN) * s;
    const float top = MARGIN + TITLE;
    m->response = UiRect{(WIDTH - MARGIN + GROUP_GAP) * s, top * s,
                         (RESPONSE_W - GROUP_GAP) * s, m->height - (top + MARGIN) * s};
}

void ui_model_relayout(UiModel* m, double scale, float dx, float dy)
{
    UiModel kept = *m;
    ui_model_init(m, scale, kept.write, kept.context);
    for (int p = 0; p < PORT_COUNT; ++p) m->values[p] = kept.values[p];
    m->focus = kept.focus;
    m->dragging = kept.dragging;
    m->drag_y = kept.drag_y;
    auto shift = [dx, dy](UiRect* r) {
        r->x += dx;
        r->y += dy;
    };
    for (UiRect& r : m->control) shift(&r);
    for (UiRect& r : m->mode_button) shift(&r);
    for (UiRect& r : m->group) shift(&r);
    shift(&m->diagram);
    shift(&m->response);
    shift(&m->enable_switch);
}

static bool inside(const UiRect& r, float x, float y)
{
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

int ui_hit(const UiModel* m, float x, float y)
{
    for (int b = 0; b < MODE_COUNT; ++b)
        if (inside(m->mode_button[b], x, y)) return PORT_MODE_SEL;
    if (inside(m->enable_switch, x, y)) return PORT_ENABLED;
    for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p)
        if (is_slider(p) && inside(m->control[p], x, y)) return p;
    return -1;
}

void ui_set_value(UiModel* m, PortIndex port, float value)
{
    if (port < PORT_DRY_DB || port >= PORT_COUNT) return;
    m->values[port] = ui_clamp(PORT_TABLE[port], value);
}

static void change(UiModel* m, PortIndex port, float value)
{
    const float v = ui_clamp(PORT_TABLE[port], value);
    m->values[port] = v;
    if (m->write) m->write(m->context, port, v);
}

static void move(UiModel* m, PortIndex port, float travel)
{
    const PortInfo& info = PORT_TABLE[port];
    change(m, port, ui_value_at(info, ui_position(info, m->values[port]) + travel));
}

void ui_press(UiModel* m, float x, float y, bool double_click)
{
    const int hit = ui_hit(m, x, y);
    if (hit == PORT_MODE_SEL) {
        for (int b = 0; b < MODE_COUNT; ++b)
            if (inside(m->mode_button[b], x, y)) change(m, PORT_MODE_SEL, static_cast<float>(b));
        return;
    }
    if (hit == PORT_ENABLED) {
        change(m, PORT_ENABLED, m->values[PORT_ENABLED] >= 0.5f ? 0.0f : 1.0f);
        return;
    }
    m->focus = hit;
    if (hit < 0) return;
    const PortIndex port = static_cast<PortIndex>(hit);
    if (double_click) {
        change(m, port, PORT_TABLE[port].default_value);
        m->dragging = -1;
        return;
    }
    m->dragging = hit;
    m->drag_y = y;
}

void ui_motion(UiModel* m, float x, float y, bool fine)
{
    (void)x;
    if (m->dragging < 0) return;
    const float pixels = (m->drag_y - y) / static_cast<float>(m->scale);
    m->drag_y = y;
    if (pixels == 0.0f) return;
    move(m, static_cast<PortIndex>(m->dragging), pixels * DRAG_PER_PIXEL * (fine ? FINE : 1.0f));
}

void ui_release(UiModel* m)
{
    m->dragging = -1;
}

void ui_scroll(UiModel* m, float x, float y, int steps, bool fine)
{
    const int hit = ui_hit(m, x, y);
    if (hit == PORT_MODE_SEL) {
        const float mode = m->values[PORT_MODE_SEL] + static_cast<float>(steps > 0 ? 1 : -1);
        change(m, PORT_MODE_SEL, mode);
        return;
    }
    if (hit < 0 || hit == PORT_ENABLED) return;
    move(m, static_cast<PortIndex>(hit), static_cast<float>(steps) * STEP * (fine ? FINE : 1.0f));
}

void ui_key(UiModel* m, UiKey key, bool fine)
{
    if (key == UI_KEY_TAB || key == UI_KEY_BACKTAB) {
        const int step = key == UI_KEY_TAB ? 1 : -1;
        int p = m->focus < 0 ? (step > 0 ? PORT_DRY_DB - 1 : PORT_COUNT) : m->focus;
        do {
            p += step;
            if (p >= PORT_COUNT) p = PORT_DRY_DB;
            if (p < PORT_DRY_DB) p = PORT_COUNT - 1;
        } while (!is_slider(p));
        m->focus = p;
        return;
    }
    if (m->focus < 0) return;
    const PortIndex port = static_cast<PortIndex>(m->focus);
    if (key == UI_KEY_HOME) {
        change(m, port, PORT_TABLE[port].default_value);
        return;
    }
    change(m, port, ui_key_step(PORT_TABLE[port], m->values[port], key == UI_KEY_UP ? 1 : -1, fine));
}

float ui_key_step(const PortInfo& info, float value, int direction, bool fine)
{
    const float v = ui_clamp(info, value);
    if (info.logarithmic && info.minimum > 0.0f) {
        // Ratios: a semitone's worth (6 %), a tenth of that with shift.
        const float ratio = fine ? 1.0057929f : 1.0594631f;
        return ui_clamp(info, direction > 0 ? v * ratio : v / ratio);
    }
    // Steps a musician counts in: half a dB, a metre, a per cent, a
    // semitone; a tenth of that with shift.
    float step;
    switch (info.unit) {
    case UNIT_DB: step = 0.5f; break;
    case UNIT_M: step = 1.0f; break;
    case UNIT_PC: step = 1.0f; break;
    case UNIT_SEMITONE: step = 1.0f; break;
    default: step = (info.maximum - info.minimum) * STEP; break;
    }
    if (fine) step *= FINE;
    return ui_clamp(info, v + static_cast<float>(direction) * step);
}
