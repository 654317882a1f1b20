-- A session whose Quenlix has every setting away from its default, saved and closed.
if qx.new_session() then
  local q = qx.track_with_tone("Tone", 2, "urn:harbelwick:quenlix:stereo", -23)
  if q then
    for name, value in pairs(SETTINGS) do qx.set(q, name, value) end
    qx.idle(0.5)
    Session:save_state("", false, false, false, false, false)
  end
  close_session()
end
print("QX_END")
