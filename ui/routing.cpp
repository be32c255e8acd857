#include "ui/routing.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

enum { MAX_FEEDS = 8 };

// What each bus holds while the stages are followed: the nodes whose
// outputs it carries, summed.
typedef struct {
    RoutingGraph* g;
    int feeds[BUS_COUNT][MAX_FEEDS];
    int feed_count[BUS_COUNT];
} Builder;

int add_node(Builder* b, NodeKind kind, const char* label, Component component = COMPONENT_NONE)
{
    RoutingGraph* g = b->g;
    if (g->node_count >= ROUTING_MAX_NODES) return -1;
    RoutingNode& n = g->nodes[g->node_count];
    n = RoutingNode{};
    n.kind = kind;
    std::snprintf(n.label, sizeof n.label, "%s", label);
    n.component = component;
    return g->node_count++;
}

void connect(Builder* b, int from, int to)
{
    RoutingGraph* g = b->g;
    if (from < 0 || to < 0 || g->wire_count >= ROUTING_MAX_WIRES) return;
    g->wires[g->wire_count++] = RoutingWire{from, to};
}

void set_bus(Builder* b, Bus bus, int node)
{
    b->feed_count[bus] = 0;
    if (node >= 0) b->feeds[bus][b->feed_count[bus]++] = node;
}

void add_to_bus(Builder* b, Bus bus, int node)
{
    if (node >= 0 && b->feed_count[bus] < MAX_FEEDS) b->feeds[bus][b->feed_count[bus]++] = node;
}

// The node that stands for a bus's signal: its one feed, or a sum of them.
int read_bus(Builder* b, Bus bus)
{
    if (b->feed_count[bus] == 0) return -1;
    if (b->feed_count[bus] == 1) return b->feeds[bus][0];
    const int sum = add_node(b, NODE_SUM, "+");
    for (int i = 0; i < b->feed_count[bus]; ++i) connect(b, b->feeds[bus][i], sum);
    set_bus(b, bus, sum);
    return sum;
}

int block(Builder* b, const char* label, Component component, Bus from)
{
    const int source = read_bus(b, from);  // a sum is made before what it feeds
    const int node = add_node(b, NODE_BLOCK, label, component);
    connect(b, source, node);
    return node;
}

void follow_stage(Builder* b, const Stage& s)
{
    char label[24];
    if (s.component >= COMPONENT_TANK_0)
        std::snprintf(label, sizeof label, "Tank %d", s.component - COMPONENT_TANK_0 + 1);
    switch (s.kind) {
    case STAGE_DIFFUSION: set_bus(b, s.to, block(b, "Diffusers", s.component, s.from)); break;
    case STAGE_DELAYS: set_bus(b, s.to, block(b, "4 delays", s.component, s.to)); break;
    case STAGE_DELAY_CHAINS: {
        const int source = read_bus(b, s.from);
        const int first = add_node(b, NODE_BLOCK, "Delay 1 > 2", s.component);
        const int second = add_node(b, NODE_BLOCK, "Delay 4 > 3", s.component);
        const int average = add_node(b, NODE_BLOCK, "Average");
        connect(b, source, first);
        connect(b, source, second);
        connect(b, first, average);
        connect(b, second, average);
        set_bus(b, s.to, average);
        break;
    }
    case STAGE_TANK_REPLACE: set_bus(b, s.to, block(b, label, s.component, s.from)); break;
    case STAGE_TANK_ADD: add_to_bus(b, s.to, block(b, label, s.component, s.from)); break;
    case STAGE_TANK_STEREO: {
        const int node = block(b, label, s.component, s.from);
        set_bus(b, BUS_LEFT, node);
        set_bus(b, BUS_RIGHT, node);
        break;
    }
    case STAGE_SCALE: {
        // A scaled sum is one node: "Sum / 3".
        const float divisor = s.gain != 0.0f ? 1.0f / s.gain : 0.0f;
        char text[24];
        if (divisor > 1.0f && std::fabs(divisor - std::round(divisor)) < 1e-3f)
            std::snprintf(text, sizeof text, "%s/ %.0f", b->feed_count[s.from] > 1 ? "Sum " : "",
                          divisor);
        else
            std::snprintf(text, sizeof text, "x %.2f", s.gain);
        const int node = add_node(b, NODE_BLOCK, text);
        for (int i = 0; i < b->feed_count[s.from]; ++i) connect(b, b->feeds[s.from][i], node);
        set_bus(b, s.to, node);
        break;
    }
    case STAGE_COPY:
        b->feed_count[s.to] = b->feed_count[s.from];
        std::memcpy(b->feeds[s.to], b->feeds[s.from], sizeof b->feeds[s.from]);
        break;
    case STAGE_CROSS_MIX: b->g->cross_mix = true; break;
    }
}

// Which nodes reach an output. Wires run from earlier to later nodes (a node
// is made after what feeds it), so one pass from the last node back suffices.
void mark_heard(RoutingGraph* g)
{
    for (int i = g->node_count - 1; i >= 0; --i) {
        RoutingNode& n = g->nodes[i];
        n.heard = n.kind == NODE_OUTPUT;
        for (int w = 0; w < g->wire_count && !n.heard; ++w)
            n.heard = g->wires[w].from == i && g->nodes[g->wires[w].to].heard;
    }
}

// Columns by the longest path from the input (nodes are created after what
// feeds them); the outputs in the last column.
void place_columns(RoutingGraph* g)
{
    int last = 0;
    for (int i = 0; i < g->node_count; ++i) {
        RoutingNode& n = g->nodes[i];
        n.column = 0;
        if (n.kind == NODE_OUTPUT) continue;
        for (int w = 0; w < g->wire_count; ++w)
            if (g->wires[w].to == i && g->nodes[g->wires[w].from].column + 1 > n.column)
                n.column = g->nodes[g->wires[w].from].column + 1;
        if (n.column > last) last = n.column;
    }
    g->columns = last + 2;
    g->nodes[g->left].column = g->nodes[g->right].column = last + 1;
}

// Rows from the outputs backwards: each node sits near the nodes it feeds
// (the mean of their heights), ties in the order of the stages; a node
// heard nowhere goes to the top.
void place_rows(RoutingGraph* g)
{
    float height[ROUTING_MAX_NODES];
    g->nodes[g->left].row = 0;
    g->nodes[g->right].row = 1;
    g->nodes[g->left].rows = g->nodes[g->right].rows = 2;
    height[g->left] = 0.25f;
    height[g->right] = 0.75f;
    for (int c = g->columns - 2; c >= 0; --c) {
        int members[ROUTING_MAX_NODES];
        float key[ROUTING_MAX_NODES];
        int count = 0;
        for (int i = 0; i < g->node_count; ++i) {
            if (g->nodes[i].column != c || g->nodes[i].kind == NODE_OUTPUT) continue;
            float sum = 0.0f;
            int fed = 0;
            for (int w = 0; w < g->wire_count; ++w) {
                if (g->wires[w].from != i) continue;
                sum += height[g->wires[w].to];
                ++fed;
            }
            members[count] = i;
            key[count] = fed ? sum / static_cast<float>(fed) : -1.0f;
            ++count;
        }
        // Stable insertion sort by key.
        for (int a = 1; a < count; ++a) {
            for (int j = a; j > 0 && key[j] < key[j - 1]; --j) {
                const float k = key[j];
                key[j] = key[j - 1];
                key[j - 1] = k;
                const int m = members[j];
                members[j] = members[j - 1];
                members[j - 1] = m;
            }
        }
        for (int r = 0; r < count; ++r) {
            RoutingNode& n = g->nodes[members[r]];
            n.row = r;
            n.rows = count;
            height[members[r]] = (static_cast<float>(r) + 0.5f) / static_cast<float>(count);
        }
    }
}

}  // namespace

void routing_build(const ModeWiring* wiring, RoutingGraph* g)
{
    *g = RoutingGraph{};
    Builder b;
    b.g = g;
    for (int& n : b.feed_count) n = 0;
    set_bus(&b, BUS_INPUT, add_node(&b, NODE_INPUT, "In"));
    for (int i = 0; i < wiring->count; ++i) follow_stage(&b, wiring->stages[i]);
    g->left = add_node(&b, NODE_OUTPUT, "Left");
    g->right = add_node(&b, NODE_OUTPUT, "Right");
    for (int i = 0; i < b.feed_count[BUS_LEFT]; ++i) connect(&b, b.feeds[BUS_LEFT][i], g->left);
    for (int i = 0; i < b.feed_count[BUS_RIGHT]; ++i) connect(&b, b.feeds[BUS_RIGHT][i], g->right);
    mark_heard(g);
    place_columns(g);
    place_rows(g);
}
