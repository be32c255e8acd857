#pragma once

#define BRUMMKISTE_PLUGIN_URI "http://brummkiste.audio/plugins/brummkiste-tiefgarten"
#define BRUMMKISTE_STEREO_URI "http://brummkiste.audio/plugins/brummkiste-tiefgarten-stereo"
