-- What every Ardour script of these tests shares. The test hands over its session folder in
-- QUENLIX_SESSION_DIR and reads back the lines this prints: "QX <name> <value>" for a figure,
-- "QXT <name> <text>" for a text, "QX_ERROR <text>" for a step that failed and "QX_END" when the
-- script ran to its end. The helpers live in the table qx, clear of the globals ardour7-lua defines.

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
if backend == nil then
  print("QX_ERROR Ardour offers no Dummy backend")
  return
end
-- The Dummy backend may run ahead of the clock: the 12 s a loudness reading needs take about 2 s.
backend:set_driver("10x Speed")

qx = {}

SESSION_DIR = os.getenv("QUENLIX_SESSION_DIR")
SESSION_NAME = "quenlix"
RATE = 48000

function qx.report(name, value)
  print(string.format("QX %s %.4f", name, value))
end

function qx.report_text(name, text)
  print(string.format("QXT %s %s", name, text))
end

function qx.fail(text)
  print("QX_ERROR " .. text)
end

-- Polls pred every 10 ms for at most wall_s seconds of real time.
function qx.wait_for(pred, wall_s)
  for _ = 1, wall_s * 100 do
    if pred() then return true end
    ARDOUR.LuaAPI.usleep(10000)
  end
  return pred()
end

function qx.new_session()
  if create_session(SESSION_DIR, SESSION_NAME, RATE) == nil then
    qx.fail("cannot create a session in " .. SESSION_DIR)
    return false
  end
  return true
end

function qx.open_session()
  if load_session(SESSION_DIR, SESSION_NAME) == nil then
    qx.fail("cannot load the session in " .. SESSION_DIR)
    return false
  end
  return true
end

-- A track of `channels` channels whose first processor is Ardour's own sine generator at gain_db dBFS
-- peak, then the Quenlix plug-in `uri`. Returns the plug-in's insert and the generator, nil on failure.
function qx.track_with_tone(name, channels, uri, gain_db)
  local tracks = Session:new_audio_track(channels, channels, nil, 1, name,
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
  if tracks:size() ~= 1 then qx.fail("cannot add a track") return nil end
  local track = tracks:front()
  local tone = ARDOUR.LuaAPI.new_luaproc(Session, "SinGen")
  if tone:isnil() then qx.fail("Ardour's SinGen generator is missing") return nil end
  track:add_processor_by_index(tone, 0, nil, true)
  ARDOUR.LuaAPI.set_processor_param(tone, 1, gain_db)
  local plug = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
  if plug:isnil() then qx.fail("Ardour cannot find " .. uri) return nil end
  track:add_processor_by_index(plug, 1, nil, true)
  return plug:to_insert(), tone
end

-- The insert of the Quenlix plug-in on track `name` of a loaded session.
function qx.quenlix_on(name)
  local route = Session:route_by_name(name)
  if route:isnil() then qx.fail("no track " .. name) return nil end
  local proc = route:nth_plugin(1)
  if proc:isnil() then qx.fail("no plug-in after the tone on " .. name) return nil end
  return proc:to_insert()
end

-- Controls are found by the port names the plug-in gives them, inputs and outputs alike.
function qx.port(insert, label)
  local plugin = insert:plugin(0)
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_label(i) == label then return i end
  end
  qx.fail("no port named " .. label)
  return -1
end

function qx.get(insert, label)
  local value = ARDOUR.LuaAPI.get_plugin_insert_param(insert, qx.port(insert, label), true)
  return value
end

function qx.set(insert, label, value)
  ARDOUR.LuaAPI.set_plugin_insert_param(insert, qx.port(insert, label), value)
end

function qx.roll()
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  if not qx.wait_for(function() return Session:transport_rolling() end, 10) then qx.fail("the transport does not roll") end
end

function qx.stop()
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  if not qx.wait_for(function() return not Session:transport_rolling() end, 10) then qx.fail("the transport does not stop") end
end

-- Rolls until the playhead has passed `seconds` of audio.
function qx.roll_to(seconds)
  if not qx.wait_for(function() return Session:transport_sample() >= seconds * RATE end, 60) then
    qx.fail(string.format("the playhead stays before %.1f s", seconds))
  end
end

-- Lets the engine process `seconds` of audio by its own count, rolling or not, however fast the
-- machine lets the Dummy backend run.
function qx.idle(seconds)
  local target = AudioEngine:processed_samples() + seconds * RATE
  if not qx.wait_for(function() return AudioEngine:processed_samples() >= target end, 10 + seconds * 2) then
    qx.fail(string.format("the engine does not process %.1f s of audio", seconds))
  end
end

-- Starts the measurements afresh with the plug-in's reset trigger, which reacts to a rising edge.
function qx.press_reset(insert)
  qx.set(insert, "Reset", 1)
  qx.idle(0.1)
  qx.set(insert, "Reset", 0)
end

-- How Ardour prints a control's value: the format it took from the port's unit.
function qx.value_format(insert, label)
  local pd = ARDOUR.ParameterDescriptor()
  local _, refs = insert:plugin(0):get_parameter_descriptor(qx.port(insert, label), pd)
  return refs[2].print_fmt
end

function qx.report_outputs(insert, prefix)
  for _, name in ipairs({"OUT:EBU IL", "OUT:EBU ML", "OUT:EBU SL", "OUT:EBU TP Max"}) do
    qx.report(prefix .. name:gsub("OUT:EBU ", ""):gsub(" ", "_"), qx.get(insert, name))
  end
end
