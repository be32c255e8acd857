// A mode's routing as a picture: nodes and wires derived from the engine's
// wiring table, laid out in columns from the input to the two outputs. The
// window draws what this gives; nothing here knows cairo or X11.
#pragma once

#include "engine/mode_wiring.h"

enum { ROUTING_MAX_NODES = 24, ROUTING_MAX_WIRES = 40 };

typedef enum { NODE_INPUT, NODE_OUTPUT, NODE_BLOCK, NODE_SUM } NodeKind;

typedef struct {
    NodeKind kind;
    char label[24];
    Component component;  // COMPONENT_NONE for inputs, outputs, sums and scales
    bool heard;           // its signal reaches an output
    int column;           // 0 for the input, the last for the outputs
    int row, rows;        // position in its column, and how many share it
} RoutingNode;

typedef struct {
    int from, to;
} RoutingWire;

typedef struct {
    int node_count;
    RoutingNode nodes[ROUTING_MAX_NODES];
    int wire_count;
    RoutingWire wires[ROUTING_MAX_WIRES];
    int columns;
    bool cross_mix;  // the two outputs each take a share of the other
    int left, right; // the output nodes; Left is always above Right
} RoutingGraph;

// The routing of one wiring. Each stage's block is a node fed by what its
// source signal holds; a signal that holds several blocks' outputs becomes a
// sum where a stage reads it.
void routing_build(const ModeWiring* wiring, RoutingGraph* g);
