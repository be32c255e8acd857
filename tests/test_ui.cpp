// The plugin window in a real X server (Xvfb): loaded through its
// descriptor into a parent window, fed port events, and driven with
// synthesised pointer and key events (XTest). What must hold: the values
// written are in range, a double-click gives the default, shift makes finer
// steps, the mode buttons write the mode, host values change what is drawn
// and out-of-range ones are drawn clamped, and nothing breaks when two
// windows are open or one closes while values keep coming.
#include <gtest/gtest.h>  // before the X11 headers, whose macros it would trip over

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "lv2/plugin_uri.h"
#include "ui/routing.h"
#include "ui/ui_model.h"
#include "ui_host.h"

namespace {

struct PluginWindow : ::testing::Test {
    UiHost host;
    UiModel layout;  // the same layout the window uses, for where to click
    void SetUp() override
    {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "the UI tests need an X server (xvfb-run)";
        ASSERT_TRUE(host.open(BRUMMKISTE_UI_LIBRARY, BRUMMKISTE_PLUGIN_URI));
        ui_model_init(&layout, 1.0, nullptr, nullptr);
    }
    void move_to(float x, float y)
    {
        XTestFakeMotionEvent(host.display, -1, static_cast<int>(x), static_cast<int>(y), 0);
        host.pump();
    }
    void button(unsigned b, bool down)
    {
        XTestFakeButtonEvent(host.display, b, down, 0);
        host.pump();
    }
    void click(float x, float y)
    {
        move_to(x, y);
        button(1, true);
        button(1, false);
    }
    void key(KeySym sym, bool shift = false)
    {
        const KeyCode shift_code = XKeysymToKeycode(host.display, XK_Shift_L);
        if (shift) XTestFakeKeyEvent(host.display, shift_code, True, 0);
        XTestFakeKeyEvent(host.display, XKeysymToKeycode(host.display, sym), True, 0);
        XTestFakeKeyEvent(host.display, XKeysymToKeycode(host.display, sym), False, 0);
        if (shift) XTestFakeKeyEvent(host.display, shift_code, False, 0);
        host.pump();
    }
    // Drags the control up by `pixels`; returns the last value written.
    float drag(PortIndex port, int pixels, bool shift)
    {
        const UiRect& r = layout.control[port];
        const KeyCode shift_code = XKeysymToKeycode(host.display, XK_Shift_L);
        move_to(r.x + r.w / 2, r.y + r.h / 2);
        button(1, true);
        if (shift) XTestFakeKeyEvent(host.display, shift_code, True, 0);
        for (int i = 1; i <= 5; ++i) move_to(r.x + r.w / 2, r.y + r.h / 2 - pixels * i / 5.0f);
        if (shift) XTestFakeKeyEvent(host.display, shift_code, False, 0);
        button(1, false);
        return host.writes.empty() ? NAN : host.writes.back().second;
    }
    std::vector<uint32_t> drawn(PortIndex port)
    {
        const UiRect& r = port == PORT_ENABLED ? layout.enable_switch : layout.control[port];
        return host.pixels(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.w),
                           static_cast<int>(r.h));
    }
    void expect_writes_in_range()
    {
        for (const auto& [port, value] : host.writes) {
            ASSERT_GE(port, static_cast<uint32_t>(PORT_DRY_DB));
            ASSERT_LT(port, static_cast<uint32_t>(PORT_COUNT));
            const PortInfo& info = PORT_TABLE[port];
            EXPECT_GE(value, info.minimum) << info.symbol;
            EXPECT_LE(value, info.maximum) << info.symbol;
        }
    }
};

}  // namespace

TEST_F(PluginWindow, PointerAndKeysWriteValuesInRange)
{
    EXPECT_GT(host.width, 0);  // asked for its size through ui:resize

    // A drag up raises the value; the same drag with shift moves a tenth as far.
    const PortInfo& decay = PORT_TABLE[PORT_DECAY_MS];
    const float coarse = drag(PORT_DECAY_MS, 40, false);
    ASSERT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_DECAY_MS));
    const float coarse_travel = ui_position(decay, coarse) - ui_position(decay, decay.default_value);
    EXPECT_NEAR(coarse_travel, 0.2f, 0.02f);
    const float before = coarse;
    const float fine = drag(PORT_DECAY_MS, 40, true);
    EXPECT_NEAR(ui_position(decay, fine) - ui_position(decay, before), coarse_travel / 10, 0.005f);

    // Far beyond the end of the travel: held at the maximum.
    drag(PORT_DELAY_FEEDBACK, 2000, false);
    EXPECT_EQ(host.writes.back().second, PORT_TABLE[PORT_DELAY_FEEDBACK].maximum);

    // Double-click: back to the default.
    const UiRect& r = layout.control[PORT_DELAY_FEEDBACK];
    click(r.x + 10, r.y + 10);
    click(r.x + 10, r.y + 10);
    EXPECT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_DELAY_FEEDBACK));
    EXPECT_EQ(host.writes.back().second, PORT_TABLE[PORT_DELAY_FEEDBACK].default_value);

    // The wheel over a control; the arrow keys on the one clicked last.
    const UiRect& w = layout.control[PORT_WIDTH];
    click(w.x + 10, w.y + 10);
    button(4, true);
    button(4, false);
    EXPECT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_WIDTH));
    EXPECT_GT(host.writes.back().second, PORT_TABLE[PORT_WIDTH].default_value);
    const float after_wheel = host.writes.back().second;
    key(XK_Down);
    EXPECT_LT(host.writes.back().second, after_wheel);
    key(XK_Home);
    EXPECT_EQ(host.writes.back().second, PORT_TABLE[PORT_WIDTH].default_value);

    // The bypass switch toggles the enable port.
    const UiRect& sw = layout.enable_switch;
    click(sw.x + sw.w / 2, sw.y + sw.h / 2);
    EXPECT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_ENABLED));
    EXPECT_EQ(host.writes.back().second, 0.0f);
    click(sw.x + sw.w / 2 + 3, sw.y + sw.h / 2);  // not a double-click's default
    EXPECT_EQ(host.writes.back().second, 1.0f);

    // The mode buttons write the mode.
    for (int mode : {3, 0, 4}) {
        const UiRect& b = layout.mode_button[mode];
        click(b.x + b.w / 2, b.y + b.h / 2);
        EXPECT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_MODE_SEL));
        EXPECT_EQ(host.writes.back().second, static_cast<float>(mode));
    }
    expect_writes_in_range();
}

// Automation repaints only the moved control's box; what the window then
// shows is what a full repaint draws, pixel for pixel.
TEST_F(PluginWindow, PartialRepaintsMatchAFullOne)
{
    const PortIndex moved[] = {PORT_DECAY_MS, PORT_LP_LOW, PORT_PITCH_2, PORT_WET_A_DB, PORT_ENABLED,
                               PORT_MODE_SEL, PORT_JITTER};
    for (int i = 0; i < 40; ++i) {
        const PortInfo& info = PORT_TABLE[moved[i % 7]];
        host.port_event(info.index, ui_value_at(info, static_cast<float>(i % 5) / 4.0f));
        host.pump(1);
    }
    host.pump_for(1500);  // the response view's last picture
    const std::vector<uint32_t> partial = host.pixels(0, 0, host.width, host.height);
    XClearArea(host.display, host.child, 0, 0, 0, 0, True);  // an expose: everything anew
    host.pump();
    EXPECT_EQ(host.pixels(0, 0, host.width, host.height), partial);
}

// A host that enlarges the window gets the content scaled up with its
// aspect kept and centred; it still answers where it is drawn.
TEST_F(PluginWindow, FollowsTheHostsSizeKeepingItsAspect)
{
    const int w = static_cast<int>(layout.width) * 3 / 2, h = static_cast<int>(layout.height) * 6 / 5;
    XResizeWindow(host.display, host.parent, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XResizeWindow(host.display, host.child, static_cast<unsigned>(w), static_cast<unsigned>(h));
    host.pump();
    const double factor = std::min(w / layout.width, h / layout.height);
    UiModel big;
    ui_model_init(&big, factor, nullptr, nullptr);
    ui_model_relayout(&big, factor, std::floor((static_cast<float>(w) - big.width) / 2),
                      std::floor((static_cast<float>(h) - big.height) / 2));
    for (int mode : {3, 1}) {
        const UiRect& b = big.mode_button[mode];
        click(b.x + b.w / 2, b.y + b.h / 2);
        EXPECT_EQ(host.writes.back().first, static_cast<uint32_t>(PORT_MODE_SEL));
        EXPECT_EQ(host.writes.back().second, static_cast<float>(mode));
    }
    // The content fills the height; the sides beyond it are background.
    EXPECT_GT(big.width, layout.width);
    const std::vector<uint32_t> left_edge = host.pixels(0, h / 2, 2, 1);
    ASSERT_EQ(left_edge.size(), 2u);
    EXPECT_EQ(left_edge[0], left_edge[1]);
}

TEST_F(PluginWindow, HostValuesAreDrawnClamped)
{
    const std::vector<uint32_t> at_default = drawn(PORT_LP_LOW);
    host.port_event(PORT_LP_LOW, 2000.0f);
    host.pump();
    EXPECT_NE(drawn(PORT_LP_LOW), at_default) << "a host value changes what is drawn";

    host.port_event(PORT_LP_LOW, PORT_TABLE[PORT_LP_LOW].maximum);
    host.pump();
    const std::vector<uint32_t> at_maximum = drawn(PORT_LP_LOW);
    for (float wild : {1e9f, INFINITY}) {
        host.port_event(PORT_LP_LOW, wild);
        host.pump();
        EXPECT_EQ(drawn(PORT_LP_LOW), at_maximum) << wild;
    }
    host.port_event(PORT_LP_LOW, NAN);
    host.port_event(PORT_COUNT + 5, 1.0f);  // no such port
    host.pump();

    // The switch follows the host's bypass.
    const std::vector<uint32_t> switch_on = drawn(PORT_ENABLED);
    host.port_event(PORT_ENABLED, 0.0f);
    host.pump();
    EXPECT_NE(drawn(PORT_ENABLED), switch_on);
    host.port_event(PORT_ENABLED, 1.0f);
    host.pump();
    EXPECT_EQ(drawn(PORT_ENABLED), switch_on);

    // The mode drawing follows the mode.
    const UiRect& d = layout.diagram;
    const std::vector<uint32_t> before =
        host.pixels(static_cast<int>(d.x), static_cast<int>(d.y), static_cast<int>(d.w), static_cast<int>(d.h));
    host.port_event(PORT_MODE_SEL, 4.0f);
    host.pump();
    EXPECT_NE(host.pixels(static_cast<int>(d.x), static_cast<int>(d.y), static_cast<int>(d.w),
                          static_cast<int>(d.h)),
              before);
}

TEST(PluginWindows, StereoVariantTwoWindowsAndClosingWhileValuesCome)
{
    UiHost mono, stereo;
    ASSERT_TRUE(mono.open(BRUMMKISTE_UI_LIBRARY, BRUMMKISTE_PLUGIN_URI));
    ASSERT_TRUE(stereo.open(BRUMMKISTE_UI_LIBRARY, BRUMMKISTE_STEREO_URI));
    UiModel layout;
    ui_model_init(&layout, 1.0, nullptr, nullptr);
    // The stereo window writes the stereo plugin's port indices.
    const UiRect& b = layout.mode_button[2];
    XTestFakeMotionEvent(stereo.display, -1, static_cast<int>(b.x + 5), static_cast<int>(b.y + 5), 0);
    XTestFakeButtonEvent(stereo.display, 1, True, 0);
    XTestFakeButtonEvent(stereo.display, 1, False, 0);
    stereo.pump();
    mono.pump();
    ASSERT_FALSE(stereo.writes.empty());
    EXPECT_EQ(stereo.writes.back().first, stereo_port_of(PORT_MODE_SEL));
    EXPECT_EQ(stereo.writes.back().second, 2.0f);
    // Values for both, then one window closed in the middle of a stream.
    for (int i = 0; i < 200; ++i) {
        mono.port_event(PORT_DECAY_MS, static_cast<float>(i * 1000));
        stereo.port_event(stereo_port_of(PORT_DECAY_MS), static_cast<float>(i) * 1e6f);
        if (i == 100) stereo.close();
        if (i % 20 == 0) mono.pump(1);
    }
    mono.pump();
    mono.close();
}

// The response view's worker is mid-computation (a 30 s tail) when the
// window closes: it stops and is joined; under valgrind nothing leaks and
// nothing is touched after its end.
TEST(PluginWindows, ClosingWhileTheResponseIsComputed)
{
    for (int round = 1; round <= 2; ++round) {
        UiHost host;
        ASSERT_TRUE(host.open(BRUMMKISTE_UI_LIBRARY, BRUMMKISTE_PLUGIN_URI));
        host.port_event(PORT_MODE_SEL, 3.0f);
        host.port_event(PORT_DECAY_MS, 60000.0f);
        host.pump(1);
        usleep(static_cast<useconds_t>(round * 60000));  // past the 40 ms the worker waits
        host.close();
    }
}

// The routing drawn for each mode comes from the engine's wiring table: every
// block a mode runs is drawn, dimmed exactly where the mode does not hear
// it, every wire runs forward, and Left is always above Right.
TEST(Routing, EveryModeDrawsItsBlocksFromTheWiringTable)
{
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        RoutingGraph g;
        routing_build(&MODE_WIRINGS[mode], &g);
        uint32_t drawn = 0, drawn_heard = 0;
        for (int i = 0; i < g.node_count; ++i) {
            const RoutingNode& n = g.nodes[i];
            if (n.component == COMPONENT_NONE) continue;
            drawn |= 1u << n.component;
            if (n.heard) drawn_heard |= 1u << n.component;
        }
        uint32_t used = 0;
        for (int s = 0; s < MODE_WIRINGS[mode].count; ++s)
            if (MODE_WIRINGS[mode].stages[s].component != COMPONENT_NONE)
                used |= 1u << MODE_WIRINGS[mode].stages[s].component;
        EXPECT_EQ(drawn, used) << mode;
        EXPECT_EQ(drawn_heard, mode_heard_components(mode)) << mode;
        for (int w = 0; w < g.wire_count; ++w)
            EXPECT_LT(g.nodes[g.wires[w].from].column, g.nodes[g.wires[w].to].column) << mode;
        EXPECT_EQ(g.nodes[g.left].column, g.nodes[g.right].column);
        EXPECT_LT(g.nodes[g.left].row, g.nodes[g.right].row) << mode;
        EXPECT_EQ(g.cross_mix, mode == MODE_PARALLEL_TANKS);
    }
}

// What a musician reads and steps: at most three significant digits, and
// arrow keys in the control's own scale (ratios on the logarithmic ones).
TEST(ValuesAndSteps, ReadableValuesAndMusicalSteps)
{
    char text[32];
    const PortInfo& decay = PORT_TABLE[PORT_DECAY_MS];
    const struct {
        const PortInfo& info;
        float value;
        const char* shown;
    } shown[] = {{decay, 200000.0f, "200 s"},          {decay, 11400.0f, "11.4 s"},
                 {decay, 2500.0f, "2.50 s"},           {decay, 640.0f, "640 ms"},
                 {PORT_TABLE[PORT_LP_LOW], 9000.0f, "9.00 kHz"},
                 {PORT_TABLE[PORT_LP_LOW], 20000.0f, "20.0 kHz"},
                 {PORT_TABLE[PORT_HP_LOW], 40.0f, "40 Hz"}};
    for (const auto& c : shown) {
        ui_format(c.info, c.value, text, sizeof text);
        EXPECT_STREQ(text, c.shown);
    }
    const PortInfo& size = PORT_TABLE[PORT_SIZE_MIN];
    EXPECT_EQ(ui_key_step(size, 8.0f, 1, false), 9.0f);
    EXPECT_FLOAT_EQ(ui_key_step(size, 8.0f, -1, true), 7.9f);
    EXPECT_EQ(ui_key_step(size, size.maximum, 1, false), size.maximum);
    EXPECT_EQ(ui_key_step(PORT_TABLE[PORT_WET_A_DB], -27.0f, 1, false), -26.5f);
    EXPECT_FLOAT_EQ(ui_key_step(decay, 2500.0f, 1, false) / 2500.0f, 1.0594631f);
    EXPECT_FLOAT_EQ(2500.0f / ui_key_step(decay, 2500.0f, -1, true), 1.0057929f);
}

// Every control's box lies inside the window, clear of the response view
// and of every other box: a control added to a full group must not vanish
// under the picture.
TEST(Layout, EveryControlIsVisibleAndApart)
{
    UiModel m;
    ui_model_init(&m, 1.0, nullptr, nullptr);
    auto apart = [](const UiRect& a, const UiRect& b) {
        return a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
    };
    for (const PortInfo& info : PORT_TABLE) {
        if (info.kind != PORT_KIND_CONTROL_IN || info.index == PORT_MODE_SEL || info.index == PORT_ENABLED)
            continue;
        const UiRect& box = m.control[info.index];
        EXPECT_GT(box.w, 0.0f) << info.symbol;
        EXPECT_GE(box.x, 0.0f) << info.symbol;
        EXPECT_LE(box.y + box.h, m.height) << info.symbol;
        EXPECT_TRUE(apart(box, m.response)) << info.symbol << " lies under the response view";
        for (const PortInfo& other : PORT_TABLE) {
            if (other.index < info.index && other.kind == PORT_KIND_CONTROL_IN &&
                other.index != PORT_MODE_SEL && other.index != PORT_ENABLED) {
                EXPECT_TRUE(apart(box, m.control[other.index])) << info.symbol << " and " << other.symbol;
            }
        }
    }
}
