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
// the declared range (and made whole where the parameter is).
constexpr bool parameter_accept(uint32_t index, double value, float* accepted)
{
    if (index >= PARAMETER_COUNT || !(value - value == 0.0)) return false;
    const double low = parameter_minimum(index);
    const double high = parameter_maximum(index);
    double v = value < low ? low : (value > high ? high : value);
    // A whole-number parameter takes the value the engine reads from it:
    // the mode its whole part, the bypass on from one half.
    if (port_of_parameter(index) == PORT_ENABLED) v = v >= 0.5 ? 1.0 : 0.0;
    else if (parameter_is_integer(index)) v = static_cast<double>(static_cast<int32_t>(v));
    *accepted = static_cast<float>(v);
    return true;
}

// The VST3 normalised value (0 ... 1) of a parameter value and back, as the
// plugin framework's linear ranges compute them: the bypass is on above one
// half, the mode the nearest whole number.
constexpr double parameter_to_normalised(uint32_t index, double value)
{
    const float low = parameter_minimum(index), high = parameter_maximum(index);
    const double n = (value - low) / (high - low);
    return n <= 0.0 ? 0.0 : (n >= 1.0 ? 1.0 : n);
}

inline float parameter_from_normalised(uint32_t index, double normalised)
{
    const float low = parameter_minimum(index), high = parameter_maximum(index);
    float v = static_cast<float>(normalised <= 0.0 ? low : (normalised >= 1.0 ? high : normalised * (high - low) + low));
    if (port_of_parameter(index) == PORT_ENABLED) return v > 0.5f ? 1.0f : 0.0f;
    if (parameter_is_integer(index)) return static_cast<float>(static_cast<int32_t>(v + 0.5f));
    return v;
}
