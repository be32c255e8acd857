// The JACK programs' command line: what it sets, and what it refuses
// before anything starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "factory_presets.h"
#include "jack/options.h"

namespace {

struct Parsed {
    bool ok;
    CommandLine line;
    std::string error, notes;
};

Parsed parse(std::vector<const char*> args, bool stereo = false)
{
    args.insert(args.begin(), "brummkiste-tiefgarten-jack");
    Parsed p;
    p.ok = command_line_parse(static_cast<int>(args.size()), args.data(), stereo, &p.line, &p.error, &p.notes);
    return p;
}

TEST(JackOptions, NothingGivenIsTheDefaultsConnectedWithAWindow)
{
    const Parsed p = parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.line.connect);
    EXPECT_TRUE(p.line.window);
    EXPECT_EQ(p.line.client_name, "brummkiste-tiefgarten");
    EXPECT_EQ(parse({}, true).line.client_name, "brummkiste-tiefgarten-stereo");
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN) {
            EXPECT_EQ(p.line.controls[info.index], info.default_value) << info.symbol;
        }
    const Parsed q = parse({"--no-connect", "--no-window", "-n", "reverb"});
    ASSERT_TRUE(q.ok);
    EXPECT_FALSE(q.line.connect);
    EXPECT_FALSE(q.line.window);
    EXPECT_EQ(q.line.client_name, "reverb");
}

TEST(JackOptions, PresetsAreFoundByTheirNameWrittenAnyWay)
{
    const int hall = jack_preset_find("Large hall");
    ASSERT_GE(hall, 0);
    EXPECT_EQ(jack_preset_find("large-hall"), hall);
    EXPECT_EQ(jack_preset_find("LARGE_HALL"), hall);
    EXPECT_EQ(jack_preset_find("large"), -1);
    EXPECT_EQ(jack_preset_find(""), -1);
    // Every factory preset loads, inside the ranges.
    for (int i = 0; i < static_cast<int>(sizeof FACTORY_PRESETS / sizeof FACTORY_PRESETS[0]); ++i) {
        float controls[PORT_COUNT];
        ASSERT_TRUE(jack_preset_controls(i, controls)) << FACTORY_PRESETS[i].label;
        for (const PortInfo& info : PORT_TABLE) {
            if (info.kind != PORT_KIND_CONTROL_IN) continue;
            EXPECT_GE(controls[info.index], info.index == PORT_ENABLED ? 0.0f : info.minimum);
            EXPECT_LE(controls[info.index], info.index == PORT_ENABLED ? 1.0f : info.maximum);
        }
        EXPECT_EQ(controls[PORT_ENABLED], 1.0f) << "a preset that starts bypassed: " << FACTORY_PRESETS[i].label;
    }
    EXPECT_FALSE(jack_preset_controls(-1, nullptr));
}

TEST(JackOptions, SettingsGoOverThePresetInWhateverOrder)
{
    float hall[PORT_COUNT];
    ASSERT_TRUE(jack_preset_controls(jack_preset_find("Large hall"), hall));
    for (const auto& args : {std::vector<const char*>{"--set", "decay_ms=1000", "--preset", "Large hall"},
                             std::vector<const char*>{"--preset=Large hall", "-s", "decay_ms=1000"}}) {
        const Parsed p = parse(args);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(p.line.controls[PORT_DECAY_MS], 1000.0f);
        EXPECT_EQ(p.line.controls[PORT_SIZE_MAX], hall[PORT_SIZE_MAX]);
        EXPECT_TRUE(p.notes.empty());
    }
    // The later of two settings of one control holds.
    EXPECT_EQ(parse({"-s", "width=10", "-s", "width=20"}).line.controls[PORT_WIDTH], 20.0f);
}

TEST(JackOptions, ValuesAreClampedAndMadeWholeAsAHostsWouldBe)
{
    Parsed p = parse({"--set", "decay_ms=1e9", "--set", "mode_sel=2.7", "--set", "enabled=0",
                      "--set", "width=-400"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.line.controls[PORT_DECAY_MS], 200000.0f);
    EXPECT_EQ(p.line.controls[PORT_MODE_SEL], 2.0f);
    EXPECT_EQ(p.line.controls[PORT_ENABLED], 0.0f);
    EXPECT_EQ(p.line.controls[PORT_WIDTH], -100.0f);
    EXPECT_NE(p.notes.find("decay_ms 1e9 taken as 200000"), std::string::npos) << p.notes;
    EXPECT_NE(p.notes.find("width -400 taken as -100"), std::string::npos) << p.notes;
    EXPECT_EQ(p.notes.find("enabled"), std::string::npos) << "a value in range is no news";
}

TEST(JackOptions, MistakesAreRefusedWithAReason)
{
    const struct {
        std::vector<const char*> args;
        const char* says;
    } cases[] = {
        {{"--set", "loudness=3"}, "no control \"loudness\""},
        {{"--set", "in=1"}, "no control \"in\""},  // an audio port is no control
        {{"--set", "decay_ms"}, "symbol=value"},
        {{"--set", "decay_ms="}, "not a number"},
        {{"--set", "decay_ms=12ms"}, "not a number"},
        {{"--set", "decay_ms=nan"}, "not a number"},
        {{"--set", "decay_ms=inf"}, "not a number"},
        {{"--set"}, "--set wants"},
        {{"--preset"}, "--preset wants"},
        {{"--preset", "Cathedral of sound"}, "no preset \"Cathedral of sound\""},
        {{"--name="}, "--name wants"},
        {{"--connect"}, "unknown option \"--connect\""},
        {{"decay_ms=100"}, "unknown option"},
    };
    for (const auto& c : cases) {
        const Parsed p = parse(c.args);
        EXPECT_FALSE(p.ok) << c.args[0];
        EXPECT_NE(p.error.find(c.says), std::string::npos) << p.error;
    }
}

TEST(JackOptions, TheHelpNamesEveryControlAndTheListEveryPreset)
{
    const std::string help = jack_usage("brummkiste-tiefgarten-jack", false);
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN) {
            EXPECT_NE(help.find(std::string("  ") + info.symbol + " "), std::string::npos) << info.symbol;
        }
    const std::string list = jack_preset_list();
    for (const FactoryPreset& p : FACTORY_PRESETS)
        EXPECT_NE(list.find(std::string(p.bank) + ": " + p.label + "\n"), std::string::npos);
    EXPECT_TRUE(parse({"--help"}).line.help);
    EXPECT_TRUE(parse({"--list-presets"}).line.list_presets);
    EXPECT_TRUE(parse({"--version"}).line.version);
}

}  // namespace
