// The VST3 and CLAP parameters are the control table's controls in port
// order: parameter i is port PORT_DRY_DB + i. The host's bypass parameter
// counts the other way round from the "enabled" control: 1 is bypassed.
#pragma once

#include <cstdint>

#include "control/control_table.h"

inline constexpr uint32_t PARAMETER_COUNT = CONTROL_COUNT;

constexpr PortIndex port_of_parameter(uint32_t index)
{
    return index < PARAMETER_COUNT ? static_cast<PortIndex>(PORT_DRY_DB + index) : PORT_COUNT;
}

constexpr uint32_t parameter_of_port(PortIndex port)
{
    return static_cast<uint32_t>(port) - PORT_DRY_DB;
}

// The parameter's value for a control value, and back.
constexpr float parameter_value(PortIndex port, float value)
{
    return port == PORT_ENABLED ? 1.0f - value : value;
}

constexpr float control_value(PortIndex port, float parameter)
{
    return port == PORT_ENABLED ? 1.0f - parameter : parameter;
}

// A parameter's declared range and default, as the host sees it.
constexpr float parameter_minimum(uint32_t index)
{
    return port_of_parameter(index) == PORT_ENABLED ? 0.0f : PORT_TABLE[port_of_parameter(index)].minimum;
}

constexpr float parameter_maximum(uint32_t index)
{
    return port_of_parameter(index) == PORT_ENABLED ? 1.0f : PORT_TABLE[port_of_parameter(index)].maximum;
}

constexpr float parameter_default(uint32_t index)
{
    const PortIndex port = port_of_parameter(index);
    return parameter_value(port, PORT_TABLE[port].default_value);
}

// Whole numbers only: the mode and the bypass.
constexpr bool parameter_is_integer(uint32_t index)
{
    const PortIndex port = port_of_parameter(index);
    return port == PORT_MODE_SEL || PORT_TABLE[port].toggled;
}

// What a value from a host, a state or a preset sets: false for an unknown
// parameter and for a value that is not a finite number, which change
// nothing (as the LV2 control scan ignores them); else the value clamped to
// the declared range.
constexpr bool parameter_accept(uint32_t index, double value, float* accepted)
{
    if (index >= PARAMETER_COUNT || !(value - value == 0.0)) return false;
    const double low = parameter_minimum(index);
    const double high = parameter_maximum(index);
    *accepted = static_cast<float>(value < low ? low : (value > high ? high : value));
    return true;
}
