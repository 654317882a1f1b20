-- The saved session in a fresh Ardour: the settings as they were saved, and the meter measuring.
if qx.open_session() then
  local q = qx.quenlix_on("Tone")
  if q then
    for name, _ in pairs(SETTINGS) do qx.report((name:gsub(" ", "_")), qx.get(q, name)) end
    qx.roll()
    qx.roll_to(6)
    qx.report("IL", qx.get(q, "OUT:EBU IL"))
    qx.stop()
  end
  close_session()
end
print("QX_END")
