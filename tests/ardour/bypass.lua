-- A mono track with the mono plugin, fed a sine from the dummy backend; the
-- master exported with the plugin playing and bypassed the way the processor
-- box bypasses it (PluginInsert:enable, which uses a designated enable port).
-- Run by tools/test-ardour.sh.
local dir = os.getenv("SESSION_DIR")
local out = os.getenv("OUT_DIR")
local uri = os.getenv("PLUGIN_URI")
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Sine Wave")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(256)
AudioEngine:start(false)
local s = create_session(dir, "bypass", 48000)
assert(s, "no session")
local t = s:new_audio_track(1, 2, nil, 1, "voice", -1, ARDOUR.TrackMode.Normal, true, false):front()
t:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
t:input():disconnect_all(nil)
t:input():audio(0):connect("system:capture_1")
local p = ARDOUR.LuaAPI.new_plugin(s, uri, ARDOUR.PluginType.LV2, "")
assert(not p:isnil(), "plugin not found")
t:add_processor_by_index(p, 0, nil, true)
ARDOUR.LuaAPI.usleep(200000)

local function export(name)
  local e = s:simple_export()
  e:set_name(name)
  e:set_folder(out)
  e:set_range(0, 96000)
  e:set_preset("75969a1c-3133-4694-864b-a1fa50e43348")
  assert(e:check_outputs(), "export outputs")
  e:run_export()
  print("exported", name)
end
export("active")
p:to_insert():enable(false)  -- the bypass a musician gets from the processor box
ARDOUR.LuaAPI.usleep(200000)
export("bypassed")
s:save_state("", false, false, false, false, false)
print("done")
