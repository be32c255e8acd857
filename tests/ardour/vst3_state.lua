-- The VST3 plugin's presets and saved state in Ardour. PHASE=setup: a track
-- with the VST3 plugin loads each of the bundle's preset files that Ardour
-- lists (Ardour 7.3 waited on itself for good when a plugin called back into
-- it from inside its own load), then the plugin is deactivated in the
-- processor box (not processing) and given new values, and the session is
-- saved. PHASE=reload: the session comes back with those values. Run by
-- tools/test-ardour.sh, which gives each phase a time limit.
local dir = os.getenv("SESSION_DIR")
local vst3 = os.getenv("VST3_NAME")
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Silence")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(256)
AudioEngine:start(false)

-- Indices in the VST3 plugin's parameter order and the values set while
-- deactivated: reverb level, decay, width, mode, tank modulation (after the
-- bypass parameter, 24, which Ardour keeps to itself).
local settings = { [1] = -20, [3] = 5000, [6] = -40, [10] = 3, [25] = 60 }

local function values(p)
  local out = {}
  for i, _ in pairs(settings) do
    local ok
    out[i] = ARDOUR.LuaAPI.get_processor_param(p, i, ok)
  end
  return out
end

if os.getenv("PHASE") == "reload" then
  local s = load_session(dir, "vst3state")
  assert(s, "no session")
  ARDOUR.LuaAPI.usleep(300000)
  local p = s:route_by_name("reverb"):nth_plugin(0)
  for i, v in pairs(values(p)) do print("reloaded", i, v, settings[i]) end
  print("done")
  return
end

local s = create_session(dir, "vst3state", 48000)
assert(s, "no session")
local t = s:new_audio_track(1, 2, nil, 1, "reverb", -1, ARDOUR.TrackMode.Normal, true, false):front()
local p = ARDOUR.LuaAPI.new_plugin(s, vst3, ARDOUR.PluginType.VST3, "")
assert(not p:isnil(), "plugin not found")
t:add_processor_by_index(p, 0, nil, true)
ARDOUR.LuaAPI.usleep(200000)

local plugin = p:to_insert():plugin(0)
local count = 0
for preset in plugin:get_info():get_presets(false):iter() do
  count = count + 1
  assert(plugin:load_preset(preset), "preset " .. preset.label)
  local ok
  print("preset", preset.label, "decay", ARDOUR.LuaAPI.get_processor_param(p, 3, ok))
end
print("presets", count)

p:deactivate()  -- deactivated in the processor box: nothing is processed
ARDOUR.LuaAPI.usleep(200000)
for i, v in pairs(settings) do
  assert(ARDOUR.LuaAPI.set_processor_param(p, i, v), "parameter " .. i)
end
ARDOUR.LuaAPI.usleep(200000)
s:save_state("", false, false, false, false, false)
print("saved")
