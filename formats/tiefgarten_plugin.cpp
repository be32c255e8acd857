// The reverb as a VST3 or CLAP plugin (one variant per library; see
// DistrhoPluginInfo.h). The framework calls these methods; each one hands
// the host's values and buffers to the same instance, control scan and
// engine as the LV2 plugin, so that equal input, parameter values and block
// sizes give the LV2 plugin's output bit for bit.
#include "DistrhoPlugin.hpp"

#include <cstring>

#include "instance/instance.h"
#include "parameters.h"
#include "shell_link.h"

START_NAMESPACE_DISTRHO

namespace {

#ifdef BRUMMKISTE_STEREO_INPUT
constexpr bool STEREO_INPUT = true;
#else
constexpr bool STEREO_INPUT = false;
#endif

}  // namespace

class TiefgartenPlugin : public Plugin {
public:
    // Host's non-realtime thread.
    TiefgartenPlugin() : Plugin(PARAMETER_COUNT, 0, 0)
    {
        // Hosts do not send the defaults: the controls start at them, as an
        // LV2 host's ports do.
        shell_link_init(&link);
        for (const PortInfo& info : PORT_TABLE) values[info.index] = info.default_value;
        make_instance(getSampleRate());
    }

    ~TiefgartenPlugin() override { instance_destroy(instance); }

protected:
    const char* getLabel() const override
    {
        return STEREO_INPUT ? BRUMMKISTE_STEREO_FORMAT_LABEL : BRUMMKISTE_PLUGIN_FORMAT_LABEL;
    }
    const char* getDescription() const override
    {
        return STEREO_INPUT ? BRUMMKISTE_STEREO_COMMENT : BRUMMKISTE_PLUGIN_COMMENT;
    }
    // The maker names the folder of the VST3 preset files.
    const char* getMaker() const override { return BRUMMKISTE_BRAND; }
    const char* getHomePage() const override { return BRUMMKISTE_HOMEPAGE; }
    const char* getLicense() const override { return BRUMMKISTE_LICENSE; }
    uint32_t getVersion() const override
    {
        return d_version(BRUMMKISTE_VERSION_MAJOR, BRUMMKISTE_VERSION_MINOR, BRUMMKISTE_VERSION_PATCH);
    }
    // Also the VST3 class id, which the VST3 preset files name: each
    // variant has its own (four characters).
    int64_t getUniqueId() const override
    {
        static_assert(sizeof BRUMMKISTE_PLUGIN_UNIQUE_ID == 5 && sizeof BRUMMKISTE_STEREO_UNIQUE_ID == 5,
                      "a unique id has four characters");
        const char* code = STEREO_INPUT ? BRUMMKISTE_STEREO_UNIQUE_ID : BRUMMKISTE_PLUGIN_UNIQUE_ID;
        return d_cconst(code[0], code[1], code[2], code[3]);
    }

    void initAudioPort(bool input, uint32_t index, AudioPort& port) override
    {
        if (input && !STEREO_INPUT) {
            port.name = "In";
            port.symbol = "in";
            port.groupId = kPortGroupMono;
            return;
        }
        static const char* const NAMES[2][2] = {{"Out left", "Out right"}, {"In left", "In right"}};
        static const char* const SYMBOLS[2][2] = {{"out_l", "out_r"}, {"in_l", "in_r"}};
        port.name = NAMES[input][index & 1];
        port.symbol = SYMBOLS[input][index & 1];
        port.groupId = kPortGroupStereo;
    }

    // Everything from the control table.
    void initParameter(uint32_t index, Parameter& parameter) override
    {
        const PortIndex port = port_of_parameter(index);
        if (port == PORT_COUNT) return;
        const PortInfo& info = PORT_TABLE[port];
        if (port == PORT_ENABLED) {
            parameter.initDesignation(kParameterDesignationBypass);
            return;
        }
        parameter.hints = kParameterIsAutomatable;
        if (info.logarithmic) parameter.hints |= kParameterIsLogarithmic;
        if (info.toggled) parameter.hints |= kParameterIsBoolean | kParameterIsInteger;
        parameter.name = info.name;
        parameter.symbol = info.symbol;
        parameter.unit = UNIT_LABEL[info.unit];
        parameter.ranges.min = info.minimum;
        parameter.ranges.max = info.maximum;
        parameter.ranges.def = info.default_value;
        if (info.group != GROUP_NONE) parameter.groupId = static_cast<uint32_t>(info.group) - 1;
        if (port == PORT_MODE_SEL) {
            parameter.hints |= kParameterIsInteger;
            // The framework owns and frees the array.
            ParameterEnumerationValue* modes = new ParameterEnumerationValue[MODE_COUNT];
            for (int m = 0; m < MODE_COUNT; ++m) {
                modes[m].value = static_cast<float>(m);
                modes[m].label = MODE_LABELS[m];
            }
            parameter.enumValues.count = MODE_COUNT;
            parameter.enumValues.restrictedMode = true;
            parameter.enumValues.values = modes;
        }
    }

    void initPortGroup(uint32_t group_id, PortGroup& group) override
    {
        const uint32_t group_index = group_id + 1;
        if (group_index >= GROUP_COUNT) return;
        group.name = GROUP_LABELS[group_index];
        group.symbol = GROUP_SYMBOLS[group_index];
    }

    // The value the host last set, processed or not (what a state saves).
    float getParameterValue(uint32_t index) const override
    {
        return index < PARAMETER_COUNT ? link.values[index].load(std::memory_order_relaxed) : 0.0f;
    }

    // Any thread. The value is kept, clamped to its range (one that is not
    // a finite number is ignored); the next run takes it and its control
    // scan applies it exactly as it would an LV2 port's.
    void setParameterValue(uint32_t index, float value) override { shell_link_set(&link, index, value); }

    void initState(uint32_t, State&) override {}
    void setState(const char*, const char*) override {}

    // Host's non-realtime thread, before processing starts: the state right
    // after creation, as the LV2 plugin's activate gives it.
    void activate() override
    {
        if (instance) instance_reset(instance);
    }

    // Audio thread.
    void run(const float** inputs, float** outputs, uint32_t frames) override
    {
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
            const PortIndex port = port_of_parameter(i);
            values[port] = control_value(port, link.values[i].load(std::memory_order_relaxed));
        }
        if (!instance) {
            // The rate was unusable: silence.
            for (uint32_t i = 0; i < frames; ++i) outputs[0][i] = outputs[1][i] = 0.0f;
            return;
        }
        instance->ports[PORT_IN] = const_cast<float*>(inputs[0]);
        instance->in_r = STEREO_INPUT ? const_cast<float*>(inputs[DISTRHO_PLUGIN_NUM_INPUTS - 1]) : nullptr;
        instance->ports[PORT_OUT_L] = outputs[0];
        instance->ports[PORT_OUT_R] = outputs[1];
        instance_run(instance, frames);
    }

    // Host's non-realtime thread, while not processing.
    void sampleRateChanged(double rate) override { make_instance(rate); }

private:
    void make_instance(double rate)
    {
        instance_destroy(instance);
        instance = instance_create(rate, STEREO_INPUT);
        link.instance = instance;
        link.rate = instance ? rate : 0.0;
        if (!instance) return;
        for (const PortInfo& info : PORT_TABLE)
            if (info.kind == PORT_KIND_CONTROL_IN) instance->ports[info.index] = &values[info.index];
    }

    PluginInstance* instance = nullptr;
    ShellLink link;
    float values[PORT_COUNT];  // each control's value for this block, as the engine reads it

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TiefgartenPlugin)
};

Plugin* createPlugin()
{
    return new TiefgartenPlugin();
}

END_NAMESPACE_DISTRHO
