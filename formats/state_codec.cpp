#include "state_codec.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const PROGRAM = "__dpf_program__";
const char* const KEYS_BEGIN = "__dpf_state_begin__";
const char* const KEYS_END = "__dpf_state_end__";
const char* const PARAMETERS_BEGIN = "__dpf_parameters_begin__";
const char* const PARAMETERS_END = "__dpf_parameters_end__";
const char TERMINATOR[] = "\xfe";

// The next string of the state: false if it has no end within the bytes.
bool next_string(const char* bytes, size_t size, size_t* at, const char** out)
{
    if (*at >= size) return false;
    const void* end = std::memchr(bytes + *at, '\0', size - *at);
    if (!end) return false;
    *out = bytes + *at;
    *at = static_cast<size_t>(static_cast<const char*>(end) - bytes) + 1;
    return true;
}

// A whole string that is a finite number.
bool number(const char* text, double* value)
{
    if (*text == '\0') return false;
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return *end == '\0' && std::isfinite(*value);
}

uint32_t parameter_of_symbol(const char* symbol)
{
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
        if (std::strcmp(symbol, state_symbol(i)) == 0) return i;
    return PARAMETER_COUNT;
}

}  // namespace

const char* state_symbol(uint32_t parameter)
{
    // The host's bypass parameter has the framework's symbol for it.
    const PortIndex port = port_of_parameter(parameter);
    return port == PORT_ENABLED ? "dpf_bypass" : PORT_TABLE[port].symbol;
}

bool state_parse(const char* bytes, size_t size, float values[PARAMETER_COUNT])
{
    if (!bytes || size > STATE_MAX_BYTES) return false;
    float parsed[PARAMETER_COUNT];
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) parsed[i] = parameter_default(i);

    size_t at = 0;
    const char* s = nullptr;
    if (!next_string(bytes, size, &at, &s)) return false;
    if (std::strcmp(s, PROGRAM) == 0) {
        double program = 0;
        if (!next_string(bytes, size, &at, &s) || !number(s, &program)) return false;
        if (!next_string(bytes, size, &at, &s)) return false;
    }
    if (std::strcmp(s, KEYS_BEGIN) == 0) {
        // Keys of a build that had some: skipped, as this one has none.
        for (;;) {
            if (!next_string(bytes, size, &at, &s)) return false;
            if (std::strcmp(s, KEYS_END) == 0) break;
            if (!next_string(bytes, size, &at, &s)) return false;
        }
        if (!next_string(bytes, size, &at, &s)) return false;
    }
    if (std::strcmp(s, PARAMETERS_BEGIN) == 0) {
        for (;;) {
            if (!next_string(bytes, size, &at, &s)) return false;
            if (std::strcmp(s, PARAMETERS_END) == 0) break;
            const uint32_t parameter = parameter_of_symbol(s);
            double value = 0;
            if (!next_string(bytes, size, &at, &s) || !number(s, &value)) return false;
            // Whole-number parameters read as the framework reads them.
            if (parameter < PARAMETER_COUNT && parameter_is_integer(parameter)) value = std::trunc(value);
            if (parameter < PARAMETER_COUNT) parameter_accept(parameter, value, &parsed[parameter]);
        }
        if (!next_string(bytes, size, &at, &s)) return false;
    }
    // What follows the terminator (padding a host may add) is not read.
    if (std::strcmp(s, TERMINATOR) != 0) return false;
    std::memcpy(values, parsed, sizeof parsed);
    return true;
}

std::vector<char> state_write(const float values[PARAMETER_COUNT])
{
    std::string out;
    auto put = [&out](const char* s) { out.append(s, std::strlen(s) + 1); };
    put(PARAMETERS_BEGIN);
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
        char text[32];
        float v = parameter_default(i);
        parameter_accept(i, values[i], &v);
        if (parameter_is_integer(i))
            std::snprintf(text, sizeof text, "%d", static_cast<int>(std::lround(v)));
        else
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
        put(state_symbol(i));
        put(text);
    }
    put(PARAMETERS_END);
    put(TERMINATOR);
    return std::vector<char>(out.begin(), out.end());
}
