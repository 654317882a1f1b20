-- A stereo track, its tone at -23 dBFS, Quenlix after it set to EBU R128, rolled for 12 s.
if qx.new_session() then
  local q = qx.track_with_tone("Tone", 2, "urn:harbelwick:quenlix:stereo", -23)
  if q then
    qx.set(q, "Type", 1)
    qx.idle(0.3)  -- the generator glides to its gain; the measurement starts after that
    qx.press_reset(q)
    qx.roll()
    qx.roll_to(12)
    qx.report_outputs(q, "")
    qx.stop()
  end
  close_session()
end
print("QX_END")
