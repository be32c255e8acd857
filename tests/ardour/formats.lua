-- The VST3 plugin against the LV2 plugin in Ardour: two mono tracks fed the
-- same noise from the dummy backend (through a third track), one with each plugin, the same settings
-- on both; the VST3 track's polarity inverted at its input. The plugin is
-- linear, so where both give the same bits the master sums to exact zeros.
-- Exported: the sum, and the LV2 track alone (float WAV, no dither): the
-- sum is silent and the LV2 track is not only if the VST3 track plays the
-- same bits, negated.
-- Run twice by tools/test-ardour.sh: PHASE=setup makes and saves the
-- session; PHASE=render loads it, so that both plugins start in the same
-- processing cycle and have heard the same samples when the export begins.
local dir = os.getenv("SESSION_DIR")
local out = os.getenv("OUT_DIR")
local uri = os.getenv("PLUGIN_URI")
local vst3 = os.getenv("VST3_NAME")
local preset = os.getenv("EXPORT_PRESET")
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Gaussian White Noise")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(256)
AudioEngine:start(false)
if os.getenv("PHASE") == "render" then
  local s = load_session(dir, "formats")
  assert(s, "no session")
  local function route(name) return s:route_by_name(name) end
  -- The source's input stays unconnected while the session comes up (a
  -- track's polarity, a plugin's values may arrive a few cycles after the
  -- plugins start), so both plugins hear exact silence until then.
  ARDOUR.LuaAPI.usleep(500000)
  -- Every connection of the source made anew: Ardour connects a new
  -- track's ports to the system and the master by itself, from another
  -- thread, and that could land after the setup phase took them apart
  -- (the dry noise then reached the master: no exact zeros, a louder LV2).
  local src = route("source")
  src:output():disconnect_all(nil)
  src:input():disconnect_all(nil)
  for _, name in ipairs({ "lv2", "vst3" }) do
    route(name):input():disconnect_all(nil)
    route(name):input():audio(0):connect(src:output():audio(0):name())
  end
  src:input():audio(0):connect("system:capture_1")
  ARDOUR.LuaAPI.usleep(200000)
  local pa, pb = route("lv2"):nth_plugin(0), route("vst3"):nth_plugin(0)
  for i = 0, 23 do
    local ok
    local va, vb = ARDOUR.LuaAPI.get_processor_param(pa, i, ok), ARDOUR.LuaAPI.get_processor_param(pb, i, ok)
    print("restored", i, va, vb, va == vb and "" or "DIFFERENT")
  end
  local function export(name)
    local e = s:simple_export()
    e:set_name(name)
    e:set_folder(out)
    e:set_range(0, 96000)
    e:set_preset(preset)
    assert(e:check_outputs(), "export outputs")
    e:run_export()
    print("exported", name)
  end
  local function mute(name, on)
    route(name):mute_control():set_value(on and 1 or 0, PBD.GroupControlDisposition.NoGroup)
  end
  export("sum")
  mute("vst3", true)
  export("lv2")
  print("done")
  return
end

local s = create_session(dir, "formats", 48000)
assert(s, "no session")

-- The backend's generator gives each reader of a port its own noise: one
-- source track reads it and feeds both plugin tracks.
local src = s:new_audio_track(1, 1, nil, 1, "source", -1, ARDOUR.TrackMode.Normal, true, false):front()
-- Ardour connects a new track's ports by itself, from another thread: let
-- it finish before taking them apart.
ARDOUR.LuaAPI.usleep(1000000)
src:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
src:input():disconnect_all(nil)  -- connected by the render phase
src:output():disconnect_all(nil)

local function track(name, plugin, kind)
  local t = s:new_audio_track(1, 2, nil, 1, name, -1, ARDOUR.TrackMode.Normal, true, false):front()
  ARDOUR.LuaAPI.usleep(1000000)
  t:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
  t:input():disconnect_all(nil)
  t:input():audio(0):connect(src:output():audio(0):name())
  local p = ARDOUR.LuaAPI.new_plugin(s, plugin, kind, "")
  assert(not p:isnil(), name .. ": plugin not found")
  t:add_processor_by_index(p, 0, nil, true)
  return t, p
end
local a, pa = track("lv2", uri, ARDOUR.PluginType.LV2)
local b, pb = track("vst3", vst3, ARDOUR.PluginType.VST3)

-- The same parameters by index on both (the controls in port order):
-- reverb level, decay, width, mode 2 (three tanks into one), high cut.
-- Ardour keeps a VST3 parameter's normalised value (0 ... 1 over the range)
-- in single precision, so a value reaches the VST3 plugin unchanged only
-- where its place in the range is exact in single precision: these are at
-- 7/8, 1/64, 3/8, 1/2 and 1/2 of their ranges. Ardour restores the two
-- plugins' values at different moments, so only settings whose outcome does
-- not depend on that moment change here: the tanks' paths are fixed once set
-- (a change of size, jitter or shape draws random lengths anew each time),
-- while the delay lines keep time from the moment their mode starts (their
-- modulation, heads and pending lengths), so they stay out of the mode.
local settings = { [1] = -9.75, [3] = 3223.4375, [6] = -25, [10] = 2, [22] = 10100 }
for i, v in pairs(settings) do
  assert(ARDOUR.LuaAPI.set_processor_param(pa, i, v), "lv2 parameter " .. i)
  assert(ARDOUR.LuaAPI.set_processor_param(pb, i, v), "vst3 parameter " .. i)
end
for i = 0, 23 do
  local ok
  local va = ARDOUR.LuaAPI.get_processor_param(pa, i, ok)
  local vb = ARDOUR.LuaAPI.get_processor_param(pb, i, ok)
  print("parameter", i, pa:to_insert():plugin(0):parameter_label(i), va, vb)
end
b:phase_control():set_phase_invert(0, true)
-- The VST3 reports for saving the values it last applied in processing.
ARDOUR.LuaAPI.usleep(300000)
s:save_state("", false, false, false, false, false)
print("saved")
