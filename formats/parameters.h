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
