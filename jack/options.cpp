#include "jack/options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "control/identity.h"
#include "factory_presets.h"
#include "formats/parameters.h"
#include "formats/state_codec.h"

namespace {

constexpr int PRESET_COUNT = static_cast<int>(sizeof FACTORY_PRESETS / sizeof FACTORY_PRESETS[0]);

// Lower case, with spaces, hyphens and underscores as one separator.
std::string folded(const char* s)
{
    std::string out;
    for (; *s; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        if (c == ' ' || c == '-' || c == '_') out += '-';
        else out += static_cast<char>(std::tolower(c));
    }
    return out;
}

PortIndex control_of_symbol(const char* symbol, size_t length)
{
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN && std::strlen(info.symbol) == length &&
            std::strncmp(info.symbol, symbol, length) == 0)
            return info.index;
    return PORT_COUNT;
}

std::string number_text(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

void defaults(float controls[PORT_COUNT])
{
    for (const PortInfo& info : PORT_TABLE)
        controls[info.index] = info.kind == PORT_KIND_CONTROL_IN ? info.default_value : 0.0f;
}

}  // namespace

int jack_preset_find(const char* name)
{
    const std::string wanted = folded(name);
    for (int i = 0; i < PRESET_COUNT; ++i)
        if (folded(FACTORY_PRESETS[i].label) == wanted) return i;
    return -1;
}

bool jack_preset_controls(int preset, float controls[PORT_COUNT])
{
    if (preset < 0 || preset >= PRESET_COUNT) return false;
    float values[PARAMETER_COUNT];  // every one set by a state that parses
    if (!state_parse(FACTORY_PRESETS[preset].state, FACTORY_PRESETS[preset].state_size, values)) return false;
    defaults(controls);
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
        controls[port_of_parameter(i)] = control_value(port_of_parameter(i), values[i]);
    return true;
}

bool jack_setting_apply(const char* setting, float controls[PORT_COUNT], std::string* error,
                        std::string* notes)
{
    const char* equals = std::strchr(setting, '=');
    if (!equals) {
        *error = std::string("--set wants symbol=value, not \"") + setting + "\"";
        return false;
    }
    const PortIndex port = control_of_symbol(setting, static_cast<size_t>(equals - setting));
    if (port == PORT_COUNT) {
        *error = "no control \"" + std::string(setting, equals) + "\" (--help lists them)";
        return false;
    }
    const char* text = equals + 1;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value)) {
        *error = std::string("the value of ") + PORT_TABLE[port].symbol + " is not a number: \"" + text + "\"";
        return false;
    }
    const uint32_t parameter = parameter_of_port(port);
    float accepted = 0.0f;
    parameter_accept(parameter, parameter_value(port, static_cast<float>(value)), &accepted);
    controls[port] = control_value(port, accepted);
    if (static_cast<double>(controls[port]) != value)
        *notes += std::string(PORT_TABLE[port].symbol) + " " + text + " taken as " +
                  number_text(controls[port]) + " (its range is " + number_text(parameter_minimum(parameter)) +
                  " to " + number_text(parameter_maximum(parameter)) + ")\n";
    return true;
}

bool command_line_parse(int argc, const char* const* argv, bool stereo, CommandLine* out,
                        std::string* error, std::string* notes)
{
    out->help = out->version = out->list_presets = false;
    out->connect = out->window = true;
    out->client_name = stereo ? "brummkiste-tiefgarten-stereo" : "brummkiste-tiefgarten";
    defaults(out->controls);
    const char* preset = nullptr;
    std::vector<const char*> settings;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        // --option value, or --option=value
        auto argument = [&](const char* name, const char** value) {
            const size_t n = std::strlen(name);
            if (std::strncmp(a, name, n) != 0) return false;
            if (a[n] == '=') {
                *value = a + n + 1;
                return true;
            }
            if (a[n] != '\0') return false;
            *value = i + 1 < argc ? argv[++i] : nullptr;
            return true;
        };
        const char* value = nullptr;
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) out->help = true;
        else if (!std::strcmp(a, "--version")) out->version = true;
        else if (!std::strcmp(a, "--list-presets")) out->list_presets = true;
        else if (!std::strcmp(a, "--no-connect")) out->connect = false;
        else if (!std::strcmp(a, "--no-window")) out->window = false;
        else if (argument("--preset", &value) || argument("-p", &value)) {
            if (!value) {
                *error = "--preset wants a preset's name (--list-presets lists them)";
                return false;
            }
            preset = value;
        } else if (argument("--set", &value) || argument("-s", &value)) {
            if (!value) {
                *error = "--set wants symbol=value";
                return false;
            }
            settings.push_back(value);
        } else if (argument("--name", &value) || argument("-n", &value)) {
            if (!value || !*value) {
                *error = "--name wants the JACK client's name";
                return false;
            }
            out->client_name = value;
        } else {
            *error = std::string("unknown option \"") + a + "\" (--help lists them)";
            return false;
        }
    }
    // The preset first, then the single settings over it, whatever the order
    // on the command line.
    if (preset) {
        const int found = jack_preset_find(preset);
        if (found < 0) {
            *error = std::string("no preset \"") + preset + "\" (--list-presets lists them)";
            return false;
        }
        if (!jack_preset_controls(found, out->controls)) {
            *error = std::string("the preset \"") + preset + "\" is damaged";
            return false;
        }
    }
    for (const char* setting : settings)
        if (!jack_setting_apply(setting, out->controls, error, notes)) return false;
    return true;
}

std::string jack_preset_list()
{
    std::string out;
    for (const FactoryPreset& p : FACTORY_PRESETS) out += std::string(p.bank) + ": " + p.label + "\n";
    return out;
}

std::string jack_usage(const char* program, bool stereo)
{
    std::string s = std::string("usage: ") + program + " [OPTION]...\n" +
                    (stereo ? BRUMMKISTE_STEREO_NAME : BRUMMKISTE_PLUGIN_NAME) +
                    " as a JACK client: " + (stereo ? "two inputs" : "one input") +
                    ", two outputs, connected to the system's ports.\n\n"
                    "  -p, --preset NAME     start with a factory preset (--list-presets)\n"
                    "  -s, --set SYMBOL=VALUE\n"
                    "                        set one control (after the preset; repeatable)\n"
                    "  -n, --name NAME       the JACK client's name (default " +
                    (stereo ? "brummkiste-tiefgarten-stereo" : "brummkiste-tiefgarten") +
                    ")\n"
                    "      --no-connect      leave the ports unconnected\n"
                    "      --no-window       no window, also where an X server is there\n"
                    "      --list-presets    print the factory presets and exit\n"
                    "      --version         print the version and exit\n"
                    "  -h, --help            print this and exit\n\n"
                    "Controls (symbol, range, default):\n";
    for (const PortInfo& info : PORT_TABLE) {
        if (info.kind != PORT_KIND_CONTROL_IN) continue;
        const uint32_t parameter = parameter_of_port(info.index);
        const float low = parameter_minimum(parameter), high = parameter_maximum(parameter);
        char line[160];
        std::snprintf(line, sizeof line, "  %-16s %g ... %g%s%s, default %g  (%s)\n", info.symbol,
                      static_cast<double>(low), static_cast<double>(high), *UNIT_LABEL[info.unit] ? " " : "",
                      UNIT_LABEL[info.unit], static_cast<double>(info.default_value), info.name);
        s += line;
    }
    s += "\nMode (mode_sel): ";
    for (size_t m = 0; m < sizeof MODE_LABELS / sizeof MODE_LABELS[0]; ++m)
        s += (m ? ", " : "") + std::to_string(m) + " " + MODE_LABELS[m];
    s += ".\nStops on Ctrl-C (SIGINT), SIGTERM or when the window is closed.\n";
    return s;
}
