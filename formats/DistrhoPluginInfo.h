// What the plugin framework needs to know of the VST3 and CLAP plugins at
// compile time. Each variant (mono input, stereo input) is built from the
// same sources into a library of its own; BRUMMKISTE_STEREO_INPUT chooses.
#pragma once

#include "control/identity.h"

#define DISTRHO_PLUGIN_BRAND BRUMMKISTE_BRAND
#ifdef BRUMMKISTE_STEREO_INPUT
#define DISTRHO_PLUGIN_NAME BRUMMKISTE_STEREO_NAME
#define DISTRHO_PLUGIN_URI BRUMMKISTE_STEREO_URI
#define DISTRHO_PLUGIN_CLAP_ID BRUMMKISTE_STEREO_CLAP_ID
#define DISTRHO_PLUGIN_NUM_INPUTS 2
#define DISTRHO_PLUGIN_CLAP_FEATURES "audio-effect", "reverb", "stereo"
#else
#define DISTRHO_PLUGIN_NAME BRUMMKISTE_PLUGIN_NAME
#define DISTRHO_PLUGIN_URI BRUMMKISTE_PLUGIN_URI
#define DISTRHO_PLUGIN_CLAP_ID BRUMMKISTE_PLUGIN_CLAP_ID
#define DISTRHO_PLUGIN_NUM_INPUTS 1
#define DISTRHO_PLUGIN_CLAP_FEATURES "audio-effect", "reverb", "mono"
#endif
#define DISTRHO_PLUGIN_NUM_OUTPUTS 2
#define DISTRHO_PLUGIN_VST3_CATEGORIES "Fx|Reverb|Stereo"

#define DISTRHO_PLUGIN_IS_RT_SAFE 1
#define DISTRHO_PLUGIN_IS_SYNTH 0
// The presets ship as VST3 preset files (tools/make-vst3-presets.py), not
// as programs: a program change makes the framework call back into the host
// from within the host's own call, where Ardour 7 waits on itself for good.
#define DISTRHO_PLUGIN_WANT_PROGRAMS 0
// No state keys: the parameters are the whole state. The flag gives CLAP
// its state extension, through which hosts save the parameters.
#define DISTRHO_PLUGIN_WANT_STATE 1
#define DISTRHO_PLUGIN_WANT_FULL_STATE 0
#define DISTRHO_PLUGIN_WANT_LATENCY 0
#define DISTRHO_PLUGIN_WANT_MIDI_INPUT 0
#define DISTRHO_PLUGIN_WANT_MIDI_OUTPUT 0
#define DISTRHO_PLUGIN_WANT_TIMEPOS 0
// One VST3 component for processor and controller: parameter ids stay the
// control indices (a separate controller would shift them), so saved
// automation reloads.
#define DISTRHO_PLUGIN_WANT_DIRECT_ACCESS 1

// The window: our own X11 window inside the host's parent window (none in
// a build without the window, such as the sanitizer build).
#ifdef BRUMMKISTE_FORMATS_WINDOW
#define DISTRHO_PLUGIN_HAS_UI 1
#define DISTRHO_PLUGIN_HAS_EXTERNAL_UI 1
#define DISTRHO_PLUGIN_HAS_EMBED_UI 1
#define DISTRHO_UI_USER_RESIZABLE 0
#else
#define DISTRHO_PLUGIN_HAS_UI 0
#endif
