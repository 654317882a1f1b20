-- A 6-channel track, the same -23 dBFS tone on every channel, the 6-channel Quenlix after it.
if qx.new_session() then
  local q = qx.track_with_tone("Tone", 6, "urn:harbelwick:quenlix:6ch", -23)
  if q then
    qx.report("RMS_Channel_Config", qx.get(q, "RMS Channel Config"))
    qx.report("EBU_Channel_Config", qx.get(q, "EBU Channel Config"))
    qx.set(q, "Type", 1)
    qx.idle(3)
    qx.press_reset(q)
    qx.roll()
    qx.roll_to(12)
    qx.report_outputs(q, "")
    qx.stop()
  end
  close_session()
end
print("QX_END")
