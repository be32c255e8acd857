// Writes the bundle's description of both plugins from the control table
// and the identity header, so that a control is described only there:
// brummkiste-tiefgarten.ttl (mono in) and brummkiste-tiefgarten-stereo.ttl
// (stereo in: four audio ports, the controls one index higher), and
// modgui.ttl, the pedal face of boards without the plugin window (the MOD
// boards), whose template and pictures are in the bundle's modgui folder.
// Built and run on the build machine, also when cross-compiling: the
// description is the same for every CPU.
//
// usage: make-ttl OUT_DIR MINOR_VERSION MICRO_VERSION
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "control/control_table.h"
#include "control/identity.h"

namespace {

std::string number(const PortInfo& info, float v)
{
    char text[32];
    if (info.toggled || info.index == PORT_MODE_SEL)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(v));
    else
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(v));
    return text;
}

struct Audio {
    const char* symbol;
    const char* name;
    bool input;
    const char* designation;
};

std::string audio_port(int index, const Audio& a, const std::string& uri)
{
    return std::string("[\n\t\ta lv2:AudioPort ,\n\t\t\tlv2:") + (a.input ? "Input" : "Output") +
           "Port ;\n\t\tlv2:index " + std::to_string(index) + " ;\n\t\tlv2:symbol \"" + a.symbol +
           "\" ;\n\t\tlv2:name \"" + a.name + "\" ;\n\t\tpg:group <" + uri + (a.input ? "#in" : "#out") +
           "> ;\n\t\tlv2:designation pg:" + a.designation + "\n\t]";
}

std::string control_port(int index, const PortInfo& info, bool stereo)
{
    std::string s = "[\n\t\ta lv2:InputPort ,\n\t\t\tlv2:ControlPort ;\n\t\tlv2:index " + std::to_string(index) +
                    " ;\n\t\tlv2:symbol \"" + info.symbol + "\" ;\n";
    if (info.logarithmic) s += "\t\tlv2:portProperty pprops:logarithmic ;\n";
    if (info.group != GROUP_NONE)
        s += std::string("\t\tpg:group <") + BRUMMKISTE_PLUGIN_URI "#" + GROUP_SYMBOLS[info.group] + "> ;\n";
    s += std::string("\t\tlv2:name \"") + info.name + "\" ;\n";
    const char* comment = stereo && info.stereo_comment ? info.stereo_comment : info.comment;
    s += std::string("\t\trdfs:comment \"") + comment + "\" ;\n";
    if (info.index == PORT_ENABLED) s += "\t\tlv2:designation lv2:enabled ;\n";
    if (info.toggled) s += "\t\tlv2:portProperty lv2:toggled ;\n";
    if (info.index == PORT_MODE_SEL) s += "\t\tlv2:portProperty lv2:integer ,\n\t\t\tlv2:enumeration ;\n";
    s += "\t\tlv2:default " + number(info, info.default_value) + " ;\n";
    s += "\t\tlv2:minimum " + number(info, info.minimum) + " ;\n";
    s += "\t\tlv2:maximum " + number(info, info.maximum);
    if (info.index == PORT_MODE_SEL) {
        s += " ;\n\t\tlv2:scalePoint ";
        for (int m = 0; m < MODE_COUNT; ++m) {
            if (m) s += " , ";
            s += std::string("[\n\t\t\trdfs:label \"") + MODE_LABELS[m] + "\" ;\n\t\t\trdf:value " +
                 std::to_string(m) + "\n\t\t]";
        }
    }
    if (info.unit != UNIT_NONE) s += std::string(" ;\n\t\tunits:unit units:") + UNIT_LV2_NAME[info.unit];
    return s + "\n\t]";
}

std::string group(const std::string& uri, const char* classes, const char* symbol, const char* label)
{
    return "<" + uri + "#" + symbol + ">\n\ta " + classes + " ;\n\tlv2:symbol \"" + symbol + "\" ;\n\tlv2:name \"" +
           label + "\" ;\n\trdfs:label \"" + label + "\" .\n\n";
}

std::string description(bool stereo, const char* minor, const char* micro)
{
    const std::string uri = stereo ? BRUMMKISTE_STEREO_URI : BRUMMKISTE_PLUGIN_URI;
    std::string s =
        "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
        "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
        "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix mod:   <http://moddevices.com/ns/mod#> .\n"
        "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
        "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
        "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n"
        "<" BRUMMKISTE_MAKER_URI ">\n\ta foaf:Person ;\n\tfoaf:name \"" BRUMMKISTE_MAKER
        "\" ;\n\tfoaf:homepage <" BRUMMKISTE_HOMEPAGE "> .\n\n";
    s += group(uri, stereo ? "pg:StereoGroup ,\n\t\tpg:InputGroup" : "pg:MonoGroup ,\n\t\tpg:InputGroup", "in",
               "Input");
    s += group(uri, "pg:StereoGroup ,\n\t\tpg:OutputGroup", "out", "Output");
    for (int g = 1; g < GROUP_COUNT; ++g) s += group(BRUMMKISTE_PLUGIN_URI, "pg:Group", GROUP_SYMBOLS[g], GROUP_LABELS[g]);
    s += "<" + uri + ">\n\ta lv2:Plugin ,\n\t\tlv2:ReverbPlugin ,\n\t\tdoap:Project ;\n\tdoap:name \"" +
         (stereo ? BRUMMKISTE_STEREO_NAME : BRUMMKISTE_PLUGIN_NAME) +
         "\" ;\n\tdoap:license <" BRUMMKISTE_LICENSE_URI "> ;\n\tdoap:maintainer <" BRUMMKISTE_MAKER_URI
         "> ;\n\tlv2:minorVersion " + minor + " ;\n\tlv2:microVersion " + micro +
         " ;\n\tmod:brand \"" BRUMMKISTE_BRAND "\" ;\n\tmod:label \"" +
         (stereo ? BRUMMKISTE_STEREO_LABEL : BRUMMKISTE_PLUGIN_LABEL) + "\" ;\n\trdfs:comment \"" +
         (stereo ? BRUMMKISTE_STEREO_COMMENT : BRUMMKISTE_PLUGIN_COMMENT) +
         "\" ;\n\tlv2:optionalFeature lv2:hardRTCapable ;\n\tpg:mainInput <" + uri + "#in> ;\n\tpg:mainOutput <" +
         uri + "#out> ;\n\tlv2:port ";
    const Audio mono[] = {{"in", "In", true, "center"}, {"out_l", "Out left", false, "left"},
                          {"out_r", "Out right", false, "right"}};
    const Audio pair[] = {{"in_l", "In left", true, "left"}, {"in_r", "In right", true, "right"},
                          {"out_l", "Out left", false, "left"}, {"out_r", "Out right", false, "right"}};
    int index = 0;
    for (const Audio& a : stereo ? std::vector<Audio>(pair, pair + 4) : std::vector<Audio>(mono, mono + 3)) {
        if (index) s += " , ";
        s += audio_port(index++, a, uri);
    }
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN) s += " , " + control_port(index++, info, stereo);
    return s + " .\n";
}

// The face's controls for the template, in its order (lv2:index is the
// place in the face, which the template names as controls.0, controls.1 ...).
std::string face(bool stereo)
{
    const std::string uri = stereo ? BRUMMKISTE_STEREO_URI : BRUMMKISTE_PLUGIN_URI;
    const std::string variant = stereo ? "brummkiste-tiefgarten-stereo" : "brummkiste-tiefgarten";
    std::string s = "<" + uri +
                    ">\n\tmodgui:gui [\n"
                    "\t\tmodgui:resourcesDirectory <modgui> ;\n"
                    "\t\tmodgui:iconTemplate <modgui/icon-brummkiste-tiefgarten.html> ;\n"
                    "\t\tmodgui:stylesheet <modgui/stylesheet-brummkiste-tiefgarten.css> ;\n"
                    "\t\tmodgui:screenshot <modgui/screenshot-" + variant + ".png> ;\n"
                    "\t\tmodgui:thumbnail <modgui/thumbnail-" + variant + ".png> ;\n"
                    "\t\tmodgui:brand \"" BRUMMKISTE_BRAND "\" ;\n"
                    "\t\tmodgui:label \"" + (stereo ? BRUMMKISTE_STEREO_LABEL : BRUMMKISTE_PLUGIN_LABEL) +
                    "\" ;\n\t\tmodgui:port ";
    int place = 0;
    for (const FaceControl& c : PEDAL_FACE) {
        if (place) s += " , ";
        s += "[\n\t\t\tlv2:index " + std::to_string(place++) + " ;\n\t\t\tlv2:symbol \"" +
             PORT_TABLE[c.port].symbol + "\" ;\n\t\t\tlv2:name \"" + c.title + "\"\n\t\t]";
    }
    return s + "\n\t] .\n\n";
}

std::string faces()
{
    return "@prefix lv2:    <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix modgui: <http://moddevices.com/ns/modgui#> .\n\n" +
           face(false) + face(true);
}

bool write(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make-ttl OUT_DIR MINOR_VERSION MICRO_VERSION\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!write(dir + "/brummkiste-tiefgarten.ttl", description(false, argv[2], argv[3])) ||
        !write(dir + "/brummkiste-tiefgarten-stereo.ttl", description(true, argv[2], argv[3])) ||
        !write(dir + "/modgui.ttl", faces())) {
        std::perror("make-ttl");
        return 1;
    }
    return 0;
}
