-- Sync on: nothing integrates while the transport stands, the meter follows while it rolls and keeps
-- its integrated reading once it stops, even when the tone then gets 10 dB louder.
if qx.new_session() then
  local q, tone = qx.track_with_tone("Tone", 2, "urn:harbelwick:quenlix:stereo", -23)
  if q then
    qx.set(q, "Type", 1)
    qx.set(q, "Sync", 1)
    qx.idle(5)
    qx.report("stopped_IL", qx.get(q, "OUT:EBU IL"))
    qx.report("stopped_ML", qx.get(q, "OUT:EBU ML"))
    qx.roll()
    qx.roll_to(6)
    qx.report("rolling_IL", qx.get(q, "OUT:EBU IL"))
    qx.stop()
    ARDOUR.LuaAPI.set_processor_param(tone, 1, -13)
    qx.idle(5)
    qx.report("stopped_again_IL", qx.get(q, "OUT:EBU IL"))
    qx.report("stopped_again_ML", qx.get(q, "OUT:EBU ML"))
  end
  close_session()
end
print("QX_END")
