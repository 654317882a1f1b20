-- The factory presets in Ardour's preset menu of the 6-channel plug-in: each loaded in turn, its
-- settings read back. Before each, every setting is moved away from what the preset gives it.
if qx.new_session() then
  local q = qx.track_with_tone("Tone", 6, "urn:harbelwick:quenlix:6ch", -23)
  if q then
    local plugin = q:plugin(0)
    for _, entry in ipairs(PRESETS) do
      local label, other_type = entry[1], entry[2]
      for name, value in pairs(SCRAMBLED) do qx.set(q, name, value) end
      qx.set(q, "Type", other_type)
      qx.idle(0.1)
      local preset = plugin:preset_by_label(label)
      if preset == nil or preset.label ~= label then
        qx.fail("Ardour does not offer the preset " .. label)
      elseif not plugin:load_preset(preset) then
        qx.fail("Ardour cannot load " .. label)
      end
      qx.idle(0.1)
      for _, name in ipairs({"Type", "Sync", "RMS Channel Config", "RMS Meter Mode", "RMS Window",
                             "EBU Channel Config"}) do
        qx.report(((label .. "/" .. name):gsub(" ", "_")), qx.get(q, name))
      end
    end
  end
  close_session()
end
print("QX_END")
