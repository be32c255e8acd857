// The VST3 and CLAP plugins' saved state, checked before any of it acts.
// A state is a row of strings, each ending in a zero byte: an optional
// "__dpf_program__" and its number, an optional "__dpf_state_begin__" ...
// "__dpf_state_end__" section of key and value pairs (this plugin has no
// keys), then "__dpf_parameters_begin__", each parameter's symbol and value,
// "__dpf_parameters_end__", and a terminator string of one byte 0xFE. Hosts
// keep it in sessions and the VST3 preset files hold it, so the form stays.
//
// A state either parses completely or is refused: a value that is not a
// finite number, a string without its end, sections out of order or a state
// longer than STATE_MAX_BYTES change nothing. Values outside a parameter's
// range are clamped; a symbol this plugin does not know (a later version's
// parameter) is skipped; a parameter the state does not name takes its
// default (an earlier version's state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "parameters.h"

enum { STATE_MAX_BYTES = 1 << 16 };

// The symbol under which a state names a parameter.
const char* state_symbol(uint32_t parameter);

// `values` receives every parameter's value (parameter order) when the
// whole state parses; else it is left as it was and the answer is false.
bool state_parse(const char* bytes, size_t size, float values[PARAMETER_COUNT]);

// The state of these parameter values, in the form above, each value
// written so that it reads back to the same float.
std::vector<char> state_write(const float values[PARAMETER_COUNT]);

// A host's stream read to its end: `read(buffer, size)` returns the bytes it
// placed (0 at the end, negative on error). Short reads are taken as they
// come. False on an error, a count larger than asked, or more than
// STATE_MAX_BYTES.
template <class Read>
bool state_read_all(Read read, std::vector<char>* out)
{
    char chunk[4096];
    out->clear();
    for (;;) {
        const int64_t n = read(chunk, static_cast<int64_t>(sizeof chunk));
        if (n == 0) return true;
        if (n < 0 || n > static_cast<int64_t>(sizeof chunk)) return false;
        if (out->size() + static_cast<size_t>(n) > STATE_MAX_BYTES) return false;
        out->insert(out->end(), chunk, chunk + n);
    }
}

// Bytes written through a host's stream to the last: `write(buffer, size)`
// returns the bytes it took (negative on error). Short writes continue where
// they stopped; a write that takes nothing, fails or claims more than it was
// given is a failure.
template <class Write>
bool state_write_all(Write write, const std::vector<char>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t left = static_cast<int64_t>(bytes.size() - done);
        const int64_t n = write(bytes.data() + done, left);
        if (n <= 0 || n > left) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
