// The plugin's identity, typed once: what every format, the bundle's
// description and the tools call it. Macros of plain strings, so that the
// plugin framework's compile-time settings can use them and CMake and the
// scripts can read them (tools/identity.cmake); the version is the
// project's (CMakeLists.txt).
#pragma once

#define BRUMMKISTE_BRAND "Brummkiste"
#define BRUMMKISTE_MAKER "Brummkiste Audio"
#define BRUMMKISTE_HOMEPAGE "https://brummkiste.audio/"
#define BRUMMKISTE_MAKER_URI "http://brummkiste.audio/people/brummkiste"
#define BRUMMKISTE_LICENSE "ISC"
#define BRUMMKISTE_LICENSE_URI "http://opensource.org/licenses/isc"

// The mono-in plugin and the stereo-in variant.
#define BRUMMKISTE_PLUGIN_URI "http://brummkiste.audio/plugins/brummkiste-tiefgarten"
#define BRUMMKISTE_STEREO_URI "http://brummkiste.audio/plugins/brummkiste-tiefgarten-stereo"
#define BRUMMKISTE_UI_URI "http://brummkiste.audio/plugins/brummkiste-tiefgarten#ui"
#define BRUMMKISTE_PLUGIN_NAME "Brummkiste Tiefgarten"
#define BRUMMKISTE_STEREO_NAME "Brummkiste Tiefgarten Stereo"
// Pedal boards show at most 16 characters.
#define BRUMMKISTE_PLUGIN_LABEL "Tiefgarten"
#define BRUMMKISTE_STEREO_LABEL "Tiefgarten St"
#define BRUMMKISTE_PLUGIN_COMMENT                                                                  \
    "A mono-in, stereo-out reverb: allpass diffusers, four pitch-shifting modulated delay lines " \
    "and four 8-line feedback delay networks in five wirings."
#define BRUMMKISTE_STEREO_COMMENT                                                                   \
    "A stereo-in, stereo-out reverb for sends and buses: the mid signal feeds allpass diffusers, " \
    "four pitch-shifting modulated delay lines and four 8-line feedback delay networks in five "   \
    "wirings."

// VST3 and CLAP: the labels, the CLAP ids and the four-character unique ids
// (the VST3 class ids, which the VST3 preset files name).
#define BRUMMKISTE_PLUGIN_FORMAT_LABEL "Tiefgarten"
#define BRUMMKISTE_STEREO_FORMAT_LABEL "TiefgartenStereo"
#define BRUMMKISTE_PLUGIN_CLAP_ID "audio.brummkiste.tiefgarten"
#define BRUMMKISTE_STEREO_CLAP_ID "audio.brummkiste.tiefgarten-stereo"
#define BRUMMKISTE_PLUGIN_UNIQUE_ID "BkTg"
#define BRUMMKISTE_STEREO_UNIQUE_ID "BkTs"
