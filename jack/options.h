// The JACK programs' command line: a preset, single control settings and
// the switches, read into plain values before anything starts, so that a
// mistake is refused with a message instead of playing something else.
#pragma once

#include <string>

#include "control/control_table.h"

typedef struct {
    bool help;
    bool version;
    bool list_presets;
    bool connect;  // to the system's capture and playback ports
    bool window;   // where an X server is there
    std::string client_name;
    // Every control port's value (the LV2 control values: "enabled" 1 is
    // on), the defaults overlaid by the preset, then by each --set in turn.
    float controls[PORT_COUNT];
} CommandLine;

// Reads the arguments (argv[1] on). False with a message in `error` for an
// unknown option, a missing argument, an unknown preset or control, or a
// value that is not a finite number. A value beyond a control's range is
// clamped, and `notes` says so.
bool command_line_parse(int argc, const char* const* argv, bool stereo, CommandLine* out,
                        std::string* error, std::string* notes);

// The factory preset of a name, matched without regard to case, with spaces
// or hyphens ("Small room", "small-room"); -1 if there is none.
int jack_preset_find(const char* name);

// The control values of a factory preset: the defaults, then the preset's
// values. False if the preset's stored state does not parse.
bool jack_preset_controls(int preset, float controls[PORT_COUNT]);

// "symbol=value" applied to the controls: false with a message for an
// unknown symbol (an audio port included) or a value that is not a number;
// a value beyond the range is clamped and `notes` says so.
bool jack_setting_apply(const char* setting, float controls[PORT_COUNT], std::string* error,
                        std::string* notes);

// The usage text, and the preset list ("Bank: Label" lines).
std::string jack_usage(const char* program, bool stereo);
std::string jack_preset_list();
