-- A stereo track, its tone at -23 dBFS, Quenlix after it set to EBU R128, rolled for 12 s; and the
-- formats Ardour shows the outputs with.
if qx.new_session() then
  local q = qx.track_with_tone("Tone", 2, "urn:harbelwick:quenlix:stereo", -23)
  if q then
    qx.set(q, "Type", 1)
    qx.idle(3)  -- the generator glides to its gain; the measurement starts after that
    qx.press_reset(q)
    qx.roll()
    qx.roll_to(12)
    qx.report_outputs(q, "")
    for _, name in ipairs({"OUT:EBU IL", "OUT:EBU TP Max", "OUT:EBU LRA"}) do
      qx.report_text((name:gsub("OUT:EBU ", ""):gsub(" ", "_")), qx.value_format(q, name))
    end
    qx.stop()
  end
  close_session()
end
print("QX_END")
